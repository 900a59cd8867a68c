// The PNG, JPEG, GIF and TGA decoders behind readImageFile: whole files in memory in,
// RGBA8 rows (top first) out. Both refuse images over the limits of
// image_io.h before they allocate pixels.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <string>
#include <string_view>

#include "viewer/browser/render/gl/image_io.h"

namespace kestrel {

bool decodePng(std::string_view bytes, RgbaImage& image, std::string& error);
bool decodeJpeg(std::string_view bytes, RgbaImage& image, std::string& error);
// The first frame of a GIF; its transparent colour has alpha 0.
bool decodeGif(std::string_view bytes, RgbaImage& image, std::string& error);
// A TGA of true colour (24 or 32 bits, the 32-bit ones with alpha) or grey,
// raw or run-length encoded.
bool decodeTga(std::string_view bytes, RgbaImage& image, std::string& error);
// TGA has no magic bytes: a file is taken as one when it ends with the TGA 2
// footer or its name ends in .tga.
bool looksLikeTga(std::string_view path, std::string_view bytes);

// libpng's error handling, reading and writing alike: pass a PngErrorTrap
// as the error pointer with pngTrapError and pngIgnoreWarning; on an error
// the message is kept and control jumps back to the setjmp on `jump`.
struct PngErrorTrap {
  std::jmp_buf jump;
  char message[256] = {};
};
void pngTrapError(png_structp png, png_const_charp message);
void pngIgnoreWarning(png_structp png, png_const_charp message);

// Empty when a WIDTH x HEIGHT image is within kMaxImageSide and
// kMaxImagePixels; otherwise why not, naming the limit.
std::string imageSizeProblem(uint64_t width, uint64_t height);

}  // namespace kestrel
