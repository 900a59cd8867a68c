// Linked into a program (tests) that carries the model importer itself: it
// uses it from the start and opens no module.
#include "viewer/media/model_formats_module.h"

namespace {

const bool registered = [] {
  kestrel::useBuiltInModelFormats(kestrel::theModelFormats());
  return true;
}();

}  // namespace
