// The codecs of the media module (media_codecs.h), for the module's entry
// point and for programs that link the codecs directly.
#pragma once

#include "viewer/media/media_codecs.h"

namespace kestrel {

MediaCodecs* theMediaCodecs();

}  // namespace kestrel

extern "C" kestrel::MediaCodecs* kestrel_media_codecs();
