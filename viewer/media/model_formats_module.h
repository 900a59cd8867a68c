// The importer behind model_formats.h, for the module's entry point and for
// programs that link the importer directly.
#pragma once

#include "viewer/media/model_formats.h"

namespace kestrel {

ModelFormats* theModelFormats();

}  // namespace kestrel

extern "C" kestrel::ModelFormats* kestrel_model_formats();
