#include "viewer/media/movie_sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "viewer/media/movie_container.h"

namespace kestrel {
namespace {

template <class T>
T sampleAt(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

int16_t fromFloat(double v) { return int16_t(std::lround(std::clamp(v, -1.0, 1.0) * 32767)); }

// One sample at P, of packed format FORMAT, as 16 bits; false for a format
// not read here.
bool toInt16(AVSampleFormat format, const uint8_t* p, int16_t& out) {
  switch (format) {
    case AV_SAMPLE_FMT_U8: out = int16_t((int(*p) - 128) * 256); return true;
    case AV_SAMPLE_FMT_S16: out = sampleAt<int16_t>(p); return true;
    case AV_SAMPLE_FMT_S32: out = int16_t(sampleAt<int32_t>(p) >> 16); return true;
    case AV_SAMPLE_FMT_S64: out = int16_t(sampleAt<int64_t>(p) >> 48); return true;
    case AV_SAMPLE_FMT_FLT: out = fromFloat(sampleAt<float>(p)); return true;
    case AV_SAMPLE_FMT_DBL: out = fromFloat(sampleAt<double>(p)); return true;
    default: return false;
  }
}

// The decoder of a movie's sound track and what it has made so far.
class TrackReader {
 public:
  ~TrackReader() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
  }

  bool open(const std::string& path, std::string& why);
  // Decodes the whole track into CLIP.
  bool decode(AudioClipData& clip, std::string& why);

 private:
  bool receive(AudioClipData& clip, std::string& why);
  bool append(AudioClipData& clip, std::string& why) const;

  MovieContainer container_;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int stream_ = -1;
};

bool TrackReader::open(const std::string& path, std::string& why) {
  std::unique_ptr<MovieInput> input = openMovieInput(path, why);
  if (!input) return false;
  // The track is read whole: at most four times what a sound file may be
  // (the picture's payloads are skipped, not read).
  input->limitReads(int64_t(kMaxSoundFileBytes) * 4);
  if (!container_.open(std::move(input), why)) return false;
  const AVCodec* decoder = nullptr;
  stream_ = container_.onlyStream(AVMEDIA_TYPE_AUDIO, decoder);
  if (stream_ < 0) {
    why = stream_ == AVERROR_DECODER_NOT_FOUND ? "no decoder for its sound" : "no sound in the file";
    return false;
  }
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (!packet_ || !frame_) {
    why = "out of memory";
    return false;
  }
  codec_ = container_.openDecoder(stream_, decoder, "sound", why);
  if (!codec_) return false;
  if (codec_->sample_rate <= 0) {
    why = "its sound decoder does not start";
    return false;
  }
  return true;
}

// Appends the decoded frame's samples, the first two channels of more.
bool TrackReader::append(AudioClipData& clip, std::string& why) const {
  const int channels = frame_->ch_layout.nb_channels;
  if (channels <= 0 || frame_->nb_samples <= 0) return true;
  if (clip.channels == 0) {
    clip.channels = std::min(channels, 2);
    clip.rate = frame_->sample_rate > 0 ? frame_->sample_rate : codec_->sample_rate;
  }
  const auto count = size_t(frame_->nb_samples) * size_t(clip.channels);
  if (count > kMaxSoundSamples - std::min(clip.samples.size(), kMaxSoundSamples)) {
    why = "more than " + std::to_string(kMaxSoundSamples) + " samples of sound";
    return false;
  }
  const auto format = AVSampleFormat(frame_->format);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  const AVSampleFormat packed = av_get_packed_sample_fmt(format);
  const int bytes = av_get_bytes_per_sample(format);
  for (int i = 0; i < frame_->nb_samples; ++i) {
    for (int c = 0; c < clip.channels; ++c) {
      // A mono frame in a track that began in stereo fills both ears.
      const int from = std::min(c, channels - 1);
      const uint8_t* p = planar ? frame_->extended_data[from] + size_t(i) * size_t(bytes)
                                : frame_->extended_data[0] +
                                      (size_t(i) * size_t(channels) + size_t(from)) * size_t(bytes);
      int16_t v = 0;
      if (!toInt16(packed, p, v)) {
        why = "its sound's sample format is not read";
        return false;
      }
      clip.samples.push_back(v);
    }
  }
  return true;
}

bool TrackReader::receive(AudioClipData& clip, std::string& why) {
  while (avcodec_receive_frame(codec_, frame_) == 0) {
    const bool ok = append(clip, why);
    av_frame_unref(frame_);
    if (!ok) return false;
  }
  return true;
}

bool TrackReader::decode(AudioClipData& clip, std::string& why) {
  clip = AudioClipData{};
  while (av_read_frame(container_.format(), packet_) >= 0) {
    if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);  // damage skipped
    av_packet_unref(packet_);
    if (!receive(clip, why)) return false;
  }
  avcodec_send_packet(codec_, nullptr);
  if (!receive(clip, why)) return false;
  if (clip.samples.empty()) {
    why = "no sound of it decodes";
    return false;
  }
  return true;
}

}  // namespace

bool decodeMovieSound(const std::string& path, AudioClipData& clip, std::string& why) {
  TrackReader reader;
  return reader.open(path, why) && reader.decode(clip, why);
}

}  // namespace kestrel
