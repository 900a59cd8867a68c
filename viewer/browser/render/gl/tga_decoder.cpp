// Truevision TGA: true-colour (24 or 32 bits) and grey (8 bits) images, raw
// or run-length encoded, the kinds 3D modelling tools write for textures
// with alpha. Colour-mapped and 16-bit images are refused with a reason.
// The size is checked against the limits before pixels are allocated; every
// read is bounded by the file, so a short or damaged file is refused.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/browser/render/gl/image_decoders.h"

namespace kestrel {
namespace {

constexpr size_t kHeaderBytes = 18;
constexpr uint8_t kTrueColour = 2, kGrey = 3, kRleTrueColour = 10, kRleGrey = 11;
constexpr uint8_t kTopOrigin = 0x20, kRightOrigin = 0x10;

struct TgaHeader {
  uint8_t idLength, colourMapType, type;
  int width, height, bits;
  uint8_t descriptor;
};

TgaHeader readHeader(std::string_view b) {
  auto u8 = [&](size_t i) { return static_cast<uint8_t>(b[i]); };
  return {u8(0),       u8(1), u8(2), u8(12) | u8(13) << 8, u8(14) | u8(15) << 8,
          u8(16), u8(17)};
}

std::string headerProblem(const TgaHeader& h) {
  bool grey = h.type == kGrey || h.type == kRleGrey;
  bool colour = h.type == kTrueColour || h.type == kRleTrueColour;
  if (h.colourMapType != 0 || !(grey || colour)) {
    return "TGA image type " + std::to_string(h.type) + " is not read (true colour or grey only)";
  }
  if ((grey && h.bits != 8) || (colour && h.bits != 24 && h.bits != 32)) {
    return "TGA with " + std::to_string(h.bits) + " bits a pixel is not read";
  }
  if (h.descriptor & kRightOrigin) return "TGA stored right to left is not read";
  if (h.width == 0 || h.height == 0) return "TGA of no pixels";
  return imageSizeProblem(h.width, h.height);
}

// Reads the file's pixels in storage order as RGBA; false when the data
// ends early.
bool readPixels(std::string_view data, const TgaHeader& h, std::vector<uint8_t>& out) {
  const size_t step = size_t(h.bits) / 8, count = size_t(h.width) * size_t(h.height);
  const bool rle = h.type == kRleTrueColour || h.type == kRleGrey;
  size_t pos = 0, done = 0;
  auto put = [&](const char* p) {
    uint8_t* o = &out[done++ * 4];
    if (step == 1) {
      o[0] = o[1] = o[2] = static_cast<uint8_t>(p[0]);
      o[3] = 255;
    } else {  // stored as blue, green, red (, alpha)
      o[0] = static_cast<uint8_t>(p[2]);
      o[1] = static_cast<uint8_t>(p[1]);
      o[2] = static_cast<uint8_t>(p[0]);
      o[3] = step == 4 ? static_cast<uint8_t>(p[3]) : 255;
    }
  };
  while (done < count) {
    size_t run = 1;
    bool repeat = false;
    if (rle) {
      if (pos >= data.size()) return false;
      uint8_t packet = static_cast<uint8_t>(data[pos++]);
      run = (packet & 0x7F) + 1u;
      repeat = packet & 0x80;
      if (run > count - done) return false;
    }
    size_t need = repeat ? step : run * step;
    if (data.size() - pos < need) return false;
    for (size_t i = 0; i < run; ++i) put(data.data() + pos + (repeat ? 0 : i * step));
    pos += need;
  }
  return true;
}

}  // namespace

bool decodeTga(std::string_view bytes, RgbaImage& image, std::string& error) {
  if (bytes.size() < kHeaderBytes) {
    error = "TGA file too short for its header";
    return false;
  }
  const TgaHeader h = readHeader(bytes);
  if (std::string why = headerProblem(h); !why.empty()) {
    error = why;
    return false;
  }
  std::vector<uint8_t> stored(size_t(h.width) * size_t(h.height) * 4);
  const size_t start = std::min(bytes.size(), kHeaderBytes + h.idLength);
  if (!readPixels(bytes.substr(start), h, stored)) {
    error = "TGA pixel data ends early";
    return false;
  }
  image.width = h.width;
  image.height = h.height;
  image.grey = h.bits == 8;
  image.alphaChannel = h.bits == 32;
  image.pixels.resize(stored.size());
  // Rows come bottom first unless the descriptor says top first.
  const size_t row = size_t(h.width) * 4;
  for (int y = 0; y < h.height; ++y) {
    int from = (h.descriptor & kTopOrigin) ? y : h.height - 1 - y;
    std::copy_n(&stored[size_t(from) * row], row, &image.pixels[size_t(y) * row]);
  }
  return true;
}

bool looksLikeTga(std::string_view path, std::string_view bytes) {
  static constexpr std::string_view kFooter("TRUEVISION-XFILE.\0", 18);
  if (bytes.ends_with(kFooter)) return true;
  if (path.size() < 4) return false;
  std::string ext(path.substr(path.size() - 4));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".tga";
}

}  // namespace kestrel
