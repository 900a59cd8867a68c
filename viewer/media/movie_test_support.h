// Test movies made on the spot with FFmpeg's encoders: one solid colour
// per frame, so a test can tell from a pixel which frame it sees.
// Optionally the top rows are noise (a file that does not compress, large
// enough that a reader holds only part of it) and the left columns clear
// (alpha 0, for a pixel format with alpha).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace kestrel {

using Colour = std::array<uint8_t, 3>;

struct TestMovie {
  const char* container = "avi";     // libavformat's muxer name
  AVCodecID codec = AV_CODEC_ID_MPEG4;
  int fps = 2;
  int framesPerColour = 1;
  int keyEvery = 2;                  // frames between key frames
  int width = 64, height = 48;
  AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
  int noiseRows = 0;     // rows at the top of random grey
  int clearColumns = 0;  // columns at the left with alpha 0
  // A sound track in this codec (16-bit samples: PCM, MP2): a sine of
  // toneHz, mono at 22050 Hz, as long as the picture.
  AVCodecID soundCodec = AV_CODEC_ID_NONE;
  int toneHz = 440;
};

// MPEG-1 in an MPEG program stream at 25 frames a second, a second a
// colour, a key frame every 12.
inline TestMovie mpeg1TestMovie() {
  TestMovie spec;
  spec.container = "mpeg";
  spec.codec = AV_CODEC_ID_MPEG1VIDEO;
  spec.fps = 25;
  spec.framesPerColour = 25;
  spec.keyEvery = 12;
  return spec;
}

namespace movie_test_detail {

inline bool drain(AVCodecContext* c, AVFormatContext* out, AVStream* st, AVPacket* pkt) {
  while (avcodec_receive_packet(c, pkt) == 0) {
    // One frame long: a QuickTime muxer drops a last packet without a length.
    if (pkt->duration <= 0) pkt->duration = 1;
    av_packet_rescale_ts(pkt, c->time_base, st->time_base);
    pkt->stream_index = st->index;
    if (av_interleaved_write_frame(out, pkt) < 0) return false;
  }
  return true;
}

inline void fill(AVFrame* frame, SwsContext* sws, const Colour& colour, const TestMovie& spec,
                 uint32_t& noise) {
  const int w = spec.width, h = spec.height;
  std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgba[(size_t(y) * size_t(w) + size_t(x)) * 4];
      noise = noise * 1664525u + 1013904223u;
      const auto grey = uint8_t(noise >> 24);
      for (int i = 0; i < 3; ++i) p[i] = y < spec.noiseRows ? grey : colour[size_t(i)];
      p[3] = x < spec.clearColumns ? 0 : 255;
    }
  }
  const uint8_t* src[4] = {rgba.data(), nullptr, nullptr, nullptr};
  int stride[4] = {w * 4, 0, 0, 0};
  sws_scale(sws, src, stride, 0, h, frame->data, frame->linesize);
}

// The sound track of a test movie.
class ToneTrack {
 public:
  ~ToneTrack() { avcodec_free_context(&c_); }

  // Adds the stream to OUT (before its header is written).
  bool add(AVFormatContext* out, AVCodecID codec) {
    const AVCodec* enc = avcodec_find_encoder(codec);
    st_ = avformat_new_stream(out, nullptr);
    c_ = enc && st_ ? avcodec_alloc_context3(enc) : nullptr;
    if (!c_) return false;
    c_->sample_fmt = AV_SAMPLE_FMT_S16;
    c_->sample_rate = kRate;
    c_->bit_rate = 128000;
    av_channel_layout_default(&c_->ch_layout, 1);
    c_->time_base = {1, kRate};
    if (out->oformat->flags & AVFMT_GLOBALHEADER) c_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c_, enc, nullptr) < 0) return false;
    st_->time_base = c_->time_base;
    return avcodec_parameters_from_context(st_->codecpar, c_) >= 0;
  }

  // Encodes SECONDS of a sine of HZ into OUT.
  bool write(AVFormatContext* out, AVPacket* pkt, double seconds, int hz) {
    const int per = c_->frame_size > 0 ? c_->frame_size : 1024;
    AVFrame* frame = av_frame_alloc();
    bool ok = frame != nullptr;
    const auto total = int64_t(seconds * kRate);
    for (int64_t at = 0; ok && at < total; at += per) {
      frame->format = c_->sample_fmt;
      frame->sample_rate = kRate;
      frame->nb_samples = per;
      ok = av_channel_layout_copy(&frame->ch_layout, &c_->ch_layout) >= 0 &&
           av_frame_get_buffer(frame, 0) >= 0;
      auto* samples = ok ? reinterpret_cast<int16_t*>(frame->data[0]) : nullptr;
      for (int i = 0; ok && i < per; ++i)
        samples[i] = int16_t(12000 * std::sin(2 * M_PI * hz * double(at + i) / kRate));
      frame->pts = at;
      ok = ok && avcodec_send_frame(c_, frame) >= 0 && drain(c_, out, st_, pkt);
      av_frame_unref(frame);
    }
    ok = ok && avcodec_send_frame(c_, nullptr) >= 0 && drain(c_, out, st_, pkt);
    av_frame_free(&frame);
    return ok;
  }

  static constexpr int kRate = 22050;

 private:
  AVCodecContext* c_ = nullptr;
  AVStream* st_ = nullptr;
};

}  // namespace movie_test_detail

// Writes PATH as a movie of SPEC showing COLOURS in turn; false on any failure.
inline bool writeTestMovie(const std::string& path, const std::vector<Colour>& colours,
                           const TestMovie& spec = {}) {
  using namespace movie_test_detail;
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, spec.container, path.c_str()) < 0) return false;
  const AVCodec* enc = avcodec_find_encoder(spec.codec);
  AVStream* st = avformat_new_stream(out, nullptr);
  AVCodecContext* c = enc ? avcodec_alloc_context3(enc) : nullptr;
  bool ok = st && c;
  if (ok) {
    c->width = spec.width;
    c->height = spec.height;
    c->pix_fmt = spec.pixelFormat;
    c->time_base = {1, spec.fps};
    c->framerate = {spec.fps, 1};
    c->gop_size = spec.keyEvery;
    c->max_b_frames = 0;
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * 2;
    if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    ok = avcodec_open2(c, enc, nullptr) == 0 && avcodec_parameters_from_context(st->codecpar, c) >= 0;
  }
  ToneTrack tone;
  if (ok && spec.soundCodec != AV_CODEC_ID_NONE) ok = tone.add(out, spec.soundCodec);
  if (ok) {
    st->time_base = c->time_base;
    ok = avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 &&
         avformat_write_header(out, nullptr) >= 0;
  }
  AVFrame* frame = av_frame_alloc();
  AVPacket* pkt = av_packet_alloc();
  SwsContext* sws = sws_getContext(spec.width, spec.height, AV_PIX_FMT_RGBA, spec.width,
                                   spec.height, spec.pixelFormat, SWS_BILINEAR, nullptr,
                                   nullptr, nullptr);
  if (ok) {
    frame->format = spec.pixelFormat;
    frame->width = spec.width;
    frame->height = spec.height;
    ok = av_frame_get_buffer(frame, 0) >= 0;
  }
  int64_t pts = 0;
  uint32_t noise = 1;
  for (const Colour& colour : colours) {
    for (int i = 0; ok && i < spec.framesPerColour; ++i) {
      ok = av_frame_make_writable(frame) >= 0;
      fill(frame, sws, colour, spec, noise);
      frame->pts = pts++;
      ok = ok && avcodec_send_frame(c, frame) >= 0 && drain(c, out, st, pkt);
    }
  }
  if (ok) ok = avcodec_send_frame(c, nullptr) >= 0 && drain(c, out, st, pkt);
  if (ok && spec.soundCodec != AV_CODEC_ID_NONE)
    ok = tone.write(out, pkt, double(pts) / spec.fps, spec.toneHz);
  if (ok) ok = av_write_trailer(out) >= 0;
  if (out->pb) avio_closep(&out->pb);
  sws_freeContext(sws);
  av_packet_free(&pkt);
  av_frame_free(&frame);
  avcodec_free_context(&c);
  avformat_free_context(out);
  return ok;
}

}  // namespace kestrel
