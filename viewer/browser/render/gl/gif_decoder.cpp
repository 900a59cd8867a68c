// GIF through giflib's record-level API: only the first frame is decoded
// (animations show their first picture), its size is checked against the
// limits before any pixels are allocated, and its transparent colour (from
// a graphic control extension) becomes alpha 0.
#include <gif_lib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "viewer/browser/render/gl/image_decoders.h"

namespace kestrel {
namespace {

constexpr unsigned char kGraphicControl = 0xF9;

struct GifSource {
  std::string_view bytes;
  size_t pos = 0;
};

int readGifBytes(GifFileType* gif, GifByteType* out, int count) {
  auto* source = static_cast<GifSource*>(gif->UserData);
  size_t n = std::min(size_t(count), source->bytes.size() - source->pos);
  std::memcpy(out, source->bytes.data() + source->pos, n);
  source->pos += n;
  return int(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
  }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

std::string gifError(const GifFileType* gif) {
  const char* text = GifErrorString(gif->Error);
  return std::string("bad GIF: ") + (text ? text : "unreadable data");
}

// Reads a graphic control extension's transparent colour into TRANSPARENT
// (-1 when none) and skips every other extension.
bool readExtension(GifFileType* gif, int& transparent) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  if (code == kGraphicControl && block != nullptr && block[0] >= 4) {
    transparent = (block[1] & 0x01) ? block[4] : -1;
  }
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

// The rows of the frame in file order: interlaced frames store every 8th
// row from 0, every 8th from 4, every 4th from 2, then every 2nd from 1.
std::vector<int> rowOrder(int height, bool interlaced) {
  std::vector<int> order;
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
    for (int y = start; y < height; y += step) order.push_back(y);
  }
  return order;
}

bool readFirstFrame(GifFileType* gif, int transparent, RgbaImage& img, std::string& error) {
  if (DGifGetImageDesc(gif) == GIF_ERROR) return (error = gifError(gif), false);
  const GifImageDesc& d = gif->Image;
  const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
  if (map == nullptr) return (error = "bad GIF: no colour table", false);
  if (d.Width <= 0 || d.Height <= 0) return (error = "bad GIF: empty frame", false);
  // The picture is the logical screen; a frame outside it widens it.
  int width = std::max(int(gif->SWidth), d.Left + d.Width);
  int height = std::max(int(gif->SHeight), d.Top + d.Height);
  if (std::string problem = imageSizeProblem(uint64_t(width), uint64_t(height));
      !problem.empty()) {
    return (error = "GIF refused: " + problem, false);
  }
  img.width = width;
  img.height = height;
  img.alphaChannel = transparent >= 0;
  img.pixels.assign(size_t(width) * size_t(height) * 4, 0);  // outside the frame: clear
  std::vector<GifPixelType> line(size_t(d.Width));
  for (int y : rowOrder(d.Height, d.Interlace)) {
    if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) {
      return (error = gifError(gif), false);
    }
    uint8_t* out = &img.pixels[(size_t(d.Top + y) * size_t(width) + size_t(d.Left)) * 4];
    for (int x = 0; x < d.Width; ++x, out += 4) {
      int index = line[size_t(x)];
      if (index == transparent) continue;
      if (index >= map->ColorCount) index = 0;
      const GifColorType& c = map->Colors[index];
      out[0] = c.Red;
      out[1] = c.Green;
      out[2] = c.Blue;
      out[3] = 255;
    }
  }
  return true;
}

}  // namespace

bool decodeGif(std::string_view bytes, RgbaImage& img, std::string& error) {
  GifSource source{bytes, 0};
  int status = 0;
  GifPtr gif(DGifOpen(&source, readGifBytes, &status));
  if (!gif) {
    const char* text = GifErrorString(status);
    error = std::string("bad GIF: ") + (text ? text : "unreadable header");
    return false;
  }
  if (std::string problem = imageSizeProblem(uint64_t(gif->SWidth), uint64_t(gif->SHeight));
      !problem.empty()) {
    error = "GIF refused: " + problem;
    return false;
  }
  int transparent = -1;
  while (true) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) break;
    if (record == EXTENSION_RECORD_TYPE) {
      if (!readExtension(gif.get(), transparent)) break;
    } else if (record == IMAGE_DESC_RECORD_TYPE) {
      if (readFirstFrame(gif.get(), transparent, img, error)) return true;
      img = RgbaImage{};
      return false;
    } else if (record == TERMINATE_RECORD_TYPE) {
      error = "bad GIF: no image in the file";
      return false;
    }
  }
  error = gifError(gif.get());
  return false;
}

}  // namespace kestrel
