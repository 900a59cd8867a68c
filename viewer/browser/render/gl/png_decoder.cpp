// PNG through libpng's own API (not the simplified one), so that its user
// limits apply: a tiny file may declare a huge image, and libpng would
// allocate and inflate all of it before finding the data missing.
#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <vector>

#include "viewer/browser/render/gl/image_decoders.h"

namespace kestrel {
namespace {

// Largest ancillary chunk libpng may allocate (text, ICC profiles...).
constexpr png_alloc_size_t kMaxPngChunkBytes = 8u << 20;
// zlib's deflate cannot compress better than about 1032:1, so image data
// shorter than the raw rows divided by this cannot hold the whole image.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr size_t kPngSignatureBytes = 8;

uint32_t bigEndian32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

struct PngHeader {
  uint32_t width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  uint64_t imageDataBytes = 0;  // all IDAT chunks together
};

// The header and the IDAT total, walking the chunks without decoding.
// False when the chunk list has no IHDR first.
bool scanPngChunks(std::string_view bytes, PngHeader& header) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t pos = kPngSignatureBytes;
  bool first = true;
  while (pos + 8 <= bytes.size()) {
    uint32_t length = bigEndian32(p + pos);
    std::string_view type(bytes.data() + pos + 4, 4);
    if (first) {
      if (type != "IHDR" || length < 13 || pos + 8 + 13 > bytes.size()) return false;
      header.width = bigEndian32(p + pos + 8);
      header.height = bigEndian32(p + pos + 12);
      header.bitDepth = p[pos + 16];
      header.colorType = p[pos + 17];
      first = false;
    } else if (type == "IDAT") {
      // Only the bytes present count: a length may promise more than the file holds.
      header.imageDataBytes += std::min<uint64_t>(length, bytes.size() - pos - 8);
    } else if (type == "IEND") {
      break;
    }
    pos += 12 + uint64_t(length);
  }
  return !first;
}

int channelsOf(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;  // gray, palette
  }
}

// Empty when the header is within the limits and the image data could
// inflate to the rows it declares.
std::string declaredSizeProblem(const PngHeader& h) {
  std::string problem = imageSizeProblem(h.width, h.height);
  if (!problem.empty()) return problem;
  uint64_t rowBits = uint64_t(h.width) * uint64_t(channelsOf(h.colorType)) * uint64_t(h.bitDepth);
  uint64_t rawBytes = uint64_t(h.height) * (1 + (rowBits + 7) / 8);
  if (h.imageDataBytes * kMaxDeflateRatio < rawBytes) {
    return std::to_string(h.width) + "x" + std::to_string(h.height) + " pixels declared in " +
           std::to_string(h.imageDataBytes) + " bytes of image data, which cannot hold them";
  }
  return "";
}

struct PngReadState {
  std::string_view bytes;
  size_t pos = kPngSignatureBytes;
  PngErrorTrap trap;
};

void pngReadBytes(png_structp png, png_bytep out, png_size_t count) {
  auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
  if (count > state->bytes.size() - state->pos) png_error(png, "file ends early");
  std::memcpy(out, state->bytes.data() + state->pos, count);
  state->pos += count;
}

// Every PNG to 8-bit RGBA, gamma corrected to sRGB.
void requestRgba8(png_structp png, png_infop info) {
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  if (!(png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) &&
      !png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_gamma(png, PNG_DEFAULT_sRGB, PNG_DEFAULT_sRGB);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

// Decodes into IMG; false with STATE.trap.message on a libpng error. Nothing
// here owns resources a longjmp could skip but the png structs, freed by
// the caller, and IMG and ROWS, owned by it.
bool readPngRows(png_structp png, png_infop info, PngReadState& state, RgbaImage& img,
                 std::vector<png_bytep>& rows) {
  if (setjmp(state.trap.jump)) return false;
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  png_set_sig_bytes(png, int(kPngSignatureBytes));
  png_set_read_fn(png, &state, pngReadBytes);
  png_read_info(png, info);
  img.grey = !(png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR);
  img.alphaChannel = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) ||
                     png_get_valid(png, info, PNG_INFO_tRNS);
  requestRgba8(png, info);
  img.width = int(png_get_image_width(png, info));
  img.height = int(png_get_image_height(png, info));
  if (png_get_rowbytes(png, info) != size_t(img.width) * 4) png_error(png, "unexpected row size");
  img.pixels.resize(size_t(img.width) * size_t(img.height) * 4);
  rows.resize(size_t(img.height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = &img.pixels[y * size_t(img.width) * 4];
  png_read_image(png, rows.data());
  return true;
}

}  // namespace

void pngTrapError(png_structp png, png_const_charp message) {
  auto* trap = static_cast<PngErrorTrap*>(png_get_error_ptr(png));
  std::snprintf(trap->message, sizeof trap->message, "%s", message);
  std::longjmp(trap->jump, 1);
}

void pngIgnoreWarning(png_structp, png_const_charp) {}

bool decodePng(std::string_view bytes, RgbaImage& img, std::string& error) {
  PngHeader header;
  const auto* signature = reinterpret_cast<png_const_bytep>(bytes.data());
  if (bytes.size() < kPngSignatureBytes || png_sig_cmp(signature, 0, kPngSignatureBytes) != 0 ||
      !scanPngChunks(bytes, header)) {
    error = "bad PNG: no image header";
    return false;
  }
  if (std::string problem = declaredSizeProblem(header); !problem.empty()) {
    error = "PNG refused: " + problem;
    return false;
  }
  PngReadState state;
  state.bytes = bytes;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &state.trap, pngTrapError, pngIgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_bytep> rows;
  bool ok = info != nullptr && readPngRows(png, info, state, img, rows);
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (!ok) {
    img = RgbaImage{};
    const char* why = state.trap.message[0] ? state.trap.message : "out of memory";
    error = std::string("bad PNG: ") + why;
  }
  return ok;
}

}  // namespace kestrel
