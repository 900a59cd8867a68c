// Linked into a program (tests) that carries the media codecs itself: it
// uses them from the start and opens no module.
#include "viewer/media/media_codecs_module.h"

namespace {

const bool registered = [] {
  kestrel::useBuiltInMediaCodecs(kestrel::theMediaCodecs());
  return true;
}();

}  // namespace
