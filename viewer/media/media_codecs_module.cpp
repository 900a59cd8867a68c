// The media codecs behind media_codecs.h: the decoders, the sound player and
// the video encoder, wrapped in its interface. Built into the module
// libkestrel_media_codecs.so, and into programs that link the codecs
// directly (media_codecs_builtin.cpp).
#include "viewer/media/media_codecs_module.h"

#include "viewer/media/audio_movie_lengths.h"
#include "viewer/media/sound_device.h"
#include "viewer/media/sound_player.h"
#include "viewer/media/video_encoder.h"

namespace kestrel {
namespace {

class DecodedMovie final : public MoviePlayback {
 public:
  explicit DecodedMovie(std::unique_ptr<MovieDecoder> decoder) : decoder_(std::move(decoder)) {}
  double duration() const override { return decoder_->duration(); }
  const MovieFrame& frameAt(double seconds) override { return decoder_->frameAt(seconds); }

 private:
  std::unique_ptr<MovieDecoder> decoder_;
};

class EncodedVideo final : public VideoWriter {
 public:
  explicit EncodedVideo(std::unique_ptr<VideoEncoder> encoder) : encoder_(std::move(encoder)) {}
  bool addFrame(const uint8_t* rgba, std::string* error) override {
    return encoder_->addFrame(rgba, error);
  }
  bool finish(std::string* error) override { return encoder_->finish(error); }
  std::string note() const override { return encoder_->note(); }

 private:
  std::unique_ptr<VideoEncoder> encoder_;
};

class PlayedSound final : public SoundOutput {
 public:
  explicit PlayedSound(const std::string& renderRoot)
      : device_(SoundDevice::open()), player_(device_.get(), renderRoot) {}
  void update(const CVrmlBrowser& browser, const Camera& camera) override {
    player_.update(browser, camera);
  }
  size_t playing() const override { return player_.playing(); }
  void reset() override { player_.reset(); }

 private:
  std::unique_ptr<SoundDevice> device_;
  SoundPlayer player_;  // goes before the device
};

class Codecs final : public MediaCodecs {
 public:
  std::unique_ptr<MoviePlayback> openMovie(const std::string& path, std::string& why) override {
    std::unique_ptr<MovieDecoder> decoder = MovieDecoder::open(path, why);
    if (!decoder) return nullptr;
    return std::make_unique<DecodedMovie>(std::move(decoder));
  }
  std::unique_ptr<VideoWriter> openVideo(const std::string& path, int width, int height, int fps,
                                         std::string* error) override {
    std::unique_ptr<VideoEncoder> encoder = VideoEncoder::open(path, width, height, fps, error);
    if (!encoder) return nullptr;
    return std::make_unique<EncodedVideo>(std::move(encoder));
  }
  std::unique_ptr<SoundOutput> openSound(const std::string& renderRoot) override {
    return std::make_unique<PlayedSound>(renderRoot);
  }
  double mediaFileLength(const std::string& path, NodeKind kind) override {
    return kestrel::mediaFileLength(path, kind);
  }
};

}  // namespace

MediaCodecs* theMediaCodecs() {
  static Codecs codecs;
  return &codecs;
}

}  // namespace kestrel

extern "C" kestrel::MediaCodecs* kestrel_media_codecs() { return kestrel::theMediaCodecs(); }
