// Where a movie's bytes come from while FFmpeg demuxes it: a file read at
// FFmpeg's position as it asks (only the decoder's buffers are in memory,
// however long the movie), or a whole file already in memory. FFmpeg
// reaches them through read and seek callbacks with its own conventions
// (AVERROR_EOF at the end, AVSEEK_SIZE for the length).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrel {

class MovieInput {
 public:
  virtual ~MovieInput() = default;

  // Bytes in the input now (a file may have been cut short since it was
  // opened), -1 when unknown.
  virtual int64_t size() const = 0;

  // FFmpeg's read callback: up to SIZE bytes at the position into BUF,
  // AVERROR_EOF at the end (also when a file ends earlier than it did) and
  // once the reads allowed by limitReads are used up.
  int read(uint8_t* buf, int size);
  // FFmpeg's seek callback: SEEK_SET, SEEK_CUR, SEEK_END (AVSEEK_FORCE
  // ignored) or AVSEEK_SIZE; the new position, or -1 outside the input.
  int64_t seek(int64_t offset, int whence);

  // Allows BYTES more to be read (from now on, whatever was allowed
  // before). Some demuxers look byte by byte through whatever follows the
  // data they know for the next chunk; a limit per request keeps a file
  // with gigabytes of that from holding the caller for minutes.
  void limitReads(int64_t bytes) { allowed_ = bytes; }

 protected:
  // Up to N bytes at OFFSET into BUF: how many, 0 at the end, -1 on failure.
  virtual int64_t readAt(int64_t offset, uint8_t* buf, size_t n) = 0;

 private:
  int64_t pos_ = 0;
  int64_t allowed_ = INT64_MAX;
};

// BYTES, a whole movie file, in memory.
std::unique_ptr<MovieInput> movieInputFromBytes(std::string bytes);

// The regular file at PATH, kept open and read as FFmpeg asks; null with
// WHY set to one line ("cannot be read", "not a regular file").
std::unique_ptr<MovieInput> openMovieInput(const std::string& path, std::string& why);

}  // namespace kestrel
