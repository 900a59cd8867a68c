// Any bytes decoded as GIF, PNG and JPEG: each decoder gives an image of
// the size it states within the limits, or fails with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "viewer/browser/render/gl/image_decoders.h"

namespace {

using Decoder = bool (*)(std::string_view, kestrel::RgbaImage&, std::string&);

void check(Decoder decode, std::string_view bytes) {
  kestrel::RgbaImage img;
  std::string error;
  if (!decode(bytes, img, error)) {
    if (error.empty()) std::abort();
    return;
  }
  if (img.width <= 0 || img.height <= 0 || img.width > kestrel::kMaxImageSide ||
      img.height > kestrel::kMaxImageSide ||
      img.pixels.size() != size_t(img.width) * size_t(img.height) * 4) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check(kestrel::decodeGif, bytes);
  check(kestrel::decodePng, bytes);
  check(kestrel::decodeJpeg, bytes);
  return 0;
}
