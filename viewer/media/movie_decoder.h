// Reading the frames of a movie file (MPEG-1, AVI and whatever else
// FFmpeg's libavformat/libavcodec decode) as RGBA pictures, for
// MovieTexture; a movie with alpha keeps it.
//
// The file is opened through openRegularFile (a FIFO or device is
// refused) and read as FFmpeg asks for its bytes (movie_input.h), so a
// long movie costs only the decoder's buffers. FFmpeg opens no file or URL
// itself and demuxes only movie containers, so a playlist, a concat script
// or an image sequence cannot reach other files. A file without a video
// stream, or whose first frame does not decode, is refused with a one-line
// reason. One decoder per movie; not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {

class MovieInput;

// Largest frame decoded (pixels a side), as for images.
inline constexpr int kMaxMovieSide = 8192;

struct MovieFrame {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // rows top first, 4 bytes a pixel
  double time = 0;            // seconds from the movie's start
  uint64_t serial = 0;        // changes whenever another frame is shown
  // The movie has alpha (its pixel format has an alpha channel): rgba's
  // fourth bytes are the movie's, a texture of four components. Otherwise
  // the movie is drawn opaque, whatever the fourth bytes say.
  bool alpha = false;
};

class MovieDecoder {
 public:
  ~MovieDecoder();
  MovieDecoder(const MovieDecoder&) = delete;
  MovieDecoder& operator=(const MovieDecoder&) = delete;

  // The movie in the file at PATH, or null with WHY set to one line.
  static std::unique_ptr<MovieDecoder> open(const std::string& path, std::string& why);
  // The movie in BYTES (a whole file's contents), demuxed from memory.
  static std::unique_ptr<MovieDecoder> fromBytes(std::string bytes, std::string& why);

  // Length in seconds; -1 when the file does not say.
  double duration() const;
  // The frame on screen SECONDS into the movie (clamped to the movie):
  // decodes forwards, seeks back when asked for an earlier time (a loop).
  // After the last frame it stays.
  const MovieFrame& frameAt(double seconds);

 private:
  struct Impl;
  explicit MovieDecoder(std::unique_ptr<Impl> impl);
  static std::unique_ptr<MovieDecoder> fromInput(std::unique_ptr<MovieInput> input,
                                                 std::string& why);
  std::unique_ptr<Impl> impl_;
};

// The length in seconds of the movie at PATH, -1 when it cannot be read.
double movieDuration(const std::string& path);

}  // namespace kestrel
