#include "viewer/browser/gzip_input.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>

#include "viewer/browser/file_input.h"

namespace kestrel {
namespace {

// Window bits for zlib: 15-bit window, gzip wrapper only.
constexpr int kGzipWindowBits = 15 + 16;
constexpr size_t kOutputStep = 64 * 1024;

class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit2(&z_, kGzipWindowBits) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&z_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
  bool ok_ = false;
};

// Inflates one member starting at IN into TEXT; sets USED to the bytes the
// member took.
Inflate inflateMember(std::string_view in, size_t maxBytes, std::string& text, size_t& used) {
  InflateStream stream;
  if (!stream.ok()) return Inflate::kDamaged;
  z_stream& z = stream.z();
  // zlib's interface is not const-correct; it never writes through next_in.
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(std::min<size_t>(in.size(), 0x7fffffff));
  char buffer[kOutputStep];
  while (true) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    int status = inflate(&z, Z_NO_FLUSH);
    size_t produced = sizeof buffer - z.avail_out;
    if (text.size() + produced > maxBytes) return Inflate::kTooLarge;
    text.append(buffer, produced);
    if (status == Z_STREAM_END) {
      used = in.size() - z.avail_in;
      return Inflate::kOk;
    }
    // Z_BUF_ERROR with input left over cannot happen (output was free), so
    // it means the input ended inside the member.
    if (status != Z_OK) return Inflate::kDamaged;
  }
}

}  // namespace

bool isGzip(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
         static_cast<unsigned char>(bytes[1]) == 0x8b;
}

bool isGzipFile(const std::string& path) {
  FileRead opened;
  int fd = openRegularFile(path, opened);
  if (fd < 0) return false;
  char magic[2];
  ssize_t n = ::read(fd, magic, sizeof magic);
  ::close(fd);
  return n == 2 && isGzip(std::string_view(magic, 2));
}

Inflate inflateGzip(std::string_view compressed, size_t maxBytes, std::string& text) {
  text.clear();
  Inflate result = Inflate::kDamaged;
  while (isGzip(compressed)) {
    size_t used = 0;
    result = inflateMember(compressed, maxBytes, text, used);
    if (result != Inflate::kOk) break;
    compressed.remove_prefix(used);
  }
  if (result != Inflate::kOk) {
    text.clear();
    text.shrink_to_fit();
  }
  return result;
}

}  // namespace kestrel
