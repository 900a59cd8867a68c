// Any bytes read as an image file (PNG, JPEG, GIF, or TGA by its footer: told apart by content): the
// decoders must end, refuse what they cannot read and hand back exactly
// width x height RGBA pixels when they succeed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/memory_file.h"
#include "viewer/browser/render/gl/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kestrel::fuzzing::MemoryFile file;
  if (!file.replace(data, size)) return 0;
  kestrel::RgbaImage image;
  std::string error;
  if (!kestrel::readImageFile(file.path(), image, &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (image.width <= 0 || image.height <= 0) __builtin_trap();
  if (image.pixels.size() != size_t(image.width) * size_t(image.height) * 4) __builtin_trap();
  return 0;
}
