// Writing a video file frame by frame with FFmpeg's libraries: H.264 in MP4
// (libx264), or in WebM VP9 (libvpx-vp9, else VP8) when the file name ends
// in .webm. Frames come as RGBA pixels, top row first, all of the size the
// encoder was opened with; they are shown 1/FPS seconds apart.
//
// Where the FFmpeg build has no H.264 encoder the MP4 holds MPEG-4 part 2
// instead, and note() says so.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrel {

class VideoEncoder {
 public:
  // Opens PATH for writing; WIDTH and HEIGHT must be even. Null with the
  // reason in *ERROR when the file or an encoder cannot be opened.
  static std::unique_ptr<VideoEncoder> open(const std::string& path, int width, int height,
                                            int fps, std::string* error);
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Encodes one frame of WIDTH x HEIGHT RGBA pixels (4 bytes each, rows
  // tightly packed, top row first). False with the reason in *ERROR.
  bool addFrame(const uint8_t* rgba, std::string* error);
  // Drains the encoder and completes the file; without it the file is not
  // playable. False with the reason in *ERROR.
  bool finish(std::string* error);

  // The encoder in use ("libx264", "libvpx-vp9", ...).
  const std::string& codecName() const { return codecName_; }
  // A sentence for the user when the encoder is a fallback; empty otherwise.
  const std::string& note() const { return note_; }
  int64_t framesWritten() const { return frames_; }

 private:
  VideoEncoder() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string codecName_;
  std::string note_;
  int64_t frames_ = 0;
};

}  // namespace kestrel
