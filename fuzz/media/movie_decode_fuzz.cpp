// Any bytes read as a movie file: the decoder must end, refuse what it
// cannot read with a reason, and every frame it shows must be exactly
// width x height RGBA pixels, also after seeking back as a loop does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/media/movie_decoder.h"

namespace {

void check(const kestrel::MovieFrame& f) {
  if (f.width <= 0 || f.height <= 0) __builtin_trap();
  if (f.rgba.size() != size_t(f.width) * size_t(f.height) * 4) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string why;
  auto movie = kestrel::MovieDecoder::fromBytes(
      std::string(reinterpret_cast<const char*>(data), size), why);
  if (!movie) {
    if (why.empty()) __builtin_trap();
    return 0;
  }
  const double length = movie->duration() > 0 ? movie->duration() : 1;
  check(movie->frameAt(0));
  check(movie->frameAt(length / 2));
  check(movie->frameAt(length));
  check(movie->frameAt(0));
  return 0;
}
