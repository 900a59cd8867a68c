// The viewer's door to the media libraries (FFmpeg for movies and video
// files, OpenAL Soft and libsndfile for sound), which live in a module of
// their own, libkestrel_media_codecs.so, opened on first use.
//
// Most runs show no movie, play no sound and write no video: they start
// without mapping those libraries (over a hundred shared objects and their
// initialisers). Where the module is looked for: program_modules.h. When
// it cannot be opened, mediaCodecs() writes one log line with the reason and returns
// null: movies then show nothing, sound stays off and video export fails.
//
// A program that links the module's code itself (tests do) uses that
// instead and opens nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "viewer/browser/node_type.h"
#include "viewer/media/movie_decoder.h"

namespace kestrel {

class CVrmlBrowser;
struct Camera;

// One movie being played (MovieDecoder's contract).
class MoviePlayback {
 public:
  virtual ~MoviePlayback() = default;
  virtual double duration() const = 0;
  virtual const MovieFrame& frameAt(double seconds) = 0;
};

// One video file being written (VideoEncoder's contract).
class VideoWriter {
 public:
  virtual ~VideoWriter() = default;
  virtual bool addFrame(const uint8_t* rgba, std::string* error) = 0;
  virtual bool finish(std::string* error) = 0;
  virtual std::string note() const = 0;
};

// The sound output and the player of the scene's Sounds (SoundPlayer's
// contract; without a device it stays silent).
class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  virtual void update(const CVrmlBrowser& browser, const Camera& camera) = 0;
  virtual size_t playing() const = 0;
  virtual void reset() = 0;
};

class MediaCodecs {
 public:
  virtual ~MediaCodecs() = default;
  // Null with WHY set to one line when the file is no movie.
  virtual std::unique_ptr<MoviePlayback> openMovie(const std::string& path, std::string& why) = 0;
  // Null with the reason in *ERROR.
  virtual std::unique_ptr<VideoWriter> openVideo(const std::string& path, int width, int height,
                                                 int fps, std::string* error) = 0;
  // Opens the default sound device (one log line when there is none).
  virtual std::unique_ptr<SoundOutput> openSound(const std::string& renderRoot) = 0;
  // Seconds of sound or film in the file at PATH, -1 when unknown.
  virtual double mediaFileLength(const std::string& path, NodeKind kind) = 0;
};

// The media codecs, the module opened on the first call; null (after one
// log line, once) when it cannot be. Thread-safe.
MediaCodecs* mediaCodecs();

// The browser's media probe through the module: -1 without it.
double probeMediaFileLength(const std::string& path, NodeKind kind);

// The file name of the module.
inline constexpr const char* kMediaCodecsModule = "libkestrel_media_codecs.so";
// The module's entry point, an extern "C" function returning MediaCodecs*.
inline constexpr const char* kMediaCodecsEntry = "kestrel_media_codecs";

// For the module's code linked into a program: use CODECS (which must live
// as long as the process) instead of opening the module.
void useBuiltInMediaCodecs(MediaCodecs* codecs);

}  // namespace kestrel
