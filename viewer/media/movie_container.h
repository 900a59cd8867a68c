// A movie file's container opened by FFmpeg over a MovieInput, shared by
// the picture decoder and the sound track reader. FFmpeg may open no other
// file or URL, and only the demuxers of movie containers and raw video
// streams are used (sound files too, to be told from movies by their
// streams): a url names any file, and FFmpeg's probe would as gladly take
// a playlist, a concat script or an image sequence, which go on to open
// other files. Not thread-safe.
#pragma once

#include <memory>
#include <string>

#include "viewer/media/movie_input.h"

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVIOContext;

namespace kestrel {

class MovieContainer {
 public:
  MovieContainer() = default;
  ~MovieContainer();
  MovieContainer(const MovieContainer&) = delete;
  MovieContainer& operator=(const MovieContainer&) = delete;

  // Opens the container in INPUT and reads its streams' parameters; false
  // with WHY set to one line ("not a movie container (hls)", ...).
  bool open(std::unique_ptr<MovieInput> input, std::string& why);

  // The best stream of KIND (an AVMediaType) with its DECODER, or FFmpeg's
  // error (AVERROR_STREAM_NOT_FOUND, AVERROR_DECODER_NOT_FOUND). The other
  // streams are discarded: demuxers skip their payloads.
  int onlyStream(int kind, const AVCodec*& decoder);
  // DECODER opened for STREAM on this thread alone; null with WHY set to
  // "out of memory" or "its WHAT decoder does not start". The caller frees
  // it (avcodec_free_context).
  AVCodecContext* openDecoder(int stream, const AVCodec* decoder, const char* what,
                              std::string& why);

  // The opened container; null before open succeeds.
  AVFormatContext* format() const { return format_; }
  // MovieInput::limitReads.
  void limitReads(int64_t bytes) {
    if (input_) input_->limitReads(bytes);
  }
  // Bytes in the input now, -1 when unknown.
  int64_t size() const { return input_ ? input_->size() : -1; }

 private:
  std::unique_ptr<MovieInput> input_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
};

}  // namespace kestrel
