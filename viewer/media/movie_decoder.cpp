#include "viewer/media/movie_decoder.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "viewer/media/movie_container.h"

namespace kestrel {
namespace {

// Files up to this size have their length measured by reading every packet.
constexpr size_t kMaxScannedBytes = size_t{64} << 20;
// Most bytes read to open a movie or to show one frame; more counts as the
// movie's end. Playing never comes near it; a demuxer looking for its
// next chunk through gigabytes of something else stops there.
constexpr int64_t kMaxBytesPerRequest = int64_t{256} << 20;
// A decoder may swallow this many packets without a picture (B-frame
// delay, damaged data) before the file counts as undecodable at that point.
constexpr int kMaxPacketsWithoutFrame = 4096;
// Row alignment of the scaler's output: its widest vector stores.
constexpr size_t kScaleAlign = 64;

}  // namespace

struct MovieDecoder::Impl {
  MovieContainer container;  // outlives the decoder's own parts below
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwsContext* scaler = nullptr;
  uint8_t* scaled = nullptr;  // the scaler's output, rows padded (convert)
  size_t scaledBytes = 0;
  AVPacket* packet = nullptr;
  AVFrame* current = nullptr;
  AVFrame* next = nullptr;
  int stream = -1;
  double timeBase = 0, duration = -1;
  int64_t streamStart = 0;
  bool haveCurrent = false, haveNext = false, draining = false, ended = false;
  double currentTime = 0, nextTime = 0, lastTime = -1;
  uint64_t decoded = 0;
  MovieFrame shown;

  ~Impl() {
    sws_freeContext(scaler);
    av_freep(&scaled);
    av_frame_free(&current);
    av_frame_free(&next);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
  }

  bool open(std::unique_ptr<MovieInput> input, std::string& why);
  double scanDuration();
  bool decodeInto(AVFrame* frame, double& seconds);
  void seekTo(double seconds);
  bool convert();
  bool framesHaveAlpha() const;
};

bool MovieDecoder::Impl::open(std::unique_ptr<MovieInput> input, std::string& why) {
  input->limitReads(kMaxBytesPerRequest);
  if (!container.open(std::move(input), why)) return false;
  format = container.format();
  packet = av_packet_alloc();
  current = av_frame_alloc();
  next = av_frame_alloc();
  if (!packet || !current || !next) {
    why = "out of memory";
    return false;
  }
  // Only the picture is read: the length scan and playing never look at
  // sound or subtitles.
  const AVCodec* decoder = nullptr;
  stream = container.onlyStream(AVMEDIA_TYPE_VIDEO, decoder);
  if (stream < 0) {
    why = stream == AVERROR_DECODER_NOT_FOUND ? "no decoder for its video" : "no video in the file";
    return false;
  }
  const AVStream* s = format->streams[stream];
  if (s->codecpar->width > kMaxMovieSide || s->codecpar->height > kMaxMovieSide) {
    why = "frames larger than " + std::to_string(kMaxMovieSide) + " pixels a side";
    return false;
  }
  codec = container.openDecoder(stream, decoder, "video", why);
  if (!codec) return false;
  timeBase = av_q2d(s->time_base);
  streamStart = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
  const int64_t size = container.size();
  if (size >= 0 && uint64_t(size) <= kMaxScannedBytes)
    duration = scanDuration();
  else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
    duration = double(format->duration) / AV_TIME_BASE;
  else if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
    duration = double(s->duration) * timeBase;
  haveCurrent = decodeInto(current, currentTime);
  if (!haveCurrent || !convert()) {
    why = "no frame of it decodes";
    return false;
  }
  shown.alpha = framesHaveAlpha();
  return true;
}

// Whether the movie's frames carry alpha, judged from the first one: its
// pixel format has an alpha channel. A palette (and GIF, decoded to RGBA
// whatever its colours) may give every colour full alpha: then only a
// texel of the first frame that is not opaque tells.
bool MovieDecoder::Impl::framesHaveAlpha() const {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(current->format));
  if (!d || !(d->flags & AV_PIX_FMT_FLAG_ALPHA)) return false;
  if (!(d->flags & AV_PIX_FMT_FLAG_PAL) && codec->codec_id != AV_CODEC_ID_GIF) return true;
  for (size_t i = 3; i < shown.rgba.size(); i += 4)
    if (shown.rgba[i] != 255) return true;
  return false;
}

// The end of the last video packet. Containers guess their length from
// the first and last time stamps they find near the ends, which an MPEG
// stream with one stamp per pack gets wrong; packets without a
// presentation stamp are placed by the offset from their decoding stamp
// seen on the others.
double MovieDecoder::Impl::scanDuration() {
  int64_t end = AV_NOPTS_VALUE, offset = 0;
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == stream) {
      if (packet->pts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE)
        offset = packet->pts - packet->dts;
      int64_t ts = packet->pts != AV_NOPTS_VALUE   ? packet->pts
                   : packet->dts != AV_NOPTS_VALUE ? packet->dts + offset
                                                   : AV_NOPTS_VALUE;
      if (ts != AV_NOPTS_VALUE) end = std::max(end, ts + std::max<int64_t>(packet->duration, 0));
    }
    av_packet_unref(packet);
  }
  if (av_seek_frame(format, stream, streamStart, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
  return end == AV_NOPTS_VALUE ? -1 : std::max(double(end - streamStart) * timeBase, 0.0);
}

bool MovieDecoder::Impl::decodeInto(AVFrame* frame, double& seconds) {
  for (int idle = 0; idle < kMaxPacketsWithoutFrame;) {
    int r = avcodec_receive_frame(codec, frame);
    if (r == 0) {
      int64_t ts = frame->best_effort_timestamp;
      double t = ts == AV_NOPTS_VALUE ? lastTime + 1.0 / 25 : double(ts - streamStart) * timeBase;
      seconds = lastTime = std::max(t, 0.0);
      return true;
    }
    if (r != AVERROR(EAGAIN) || draining) return false;
    if (av_read_frame(format, packet) < 0) {
      draining = true;
      avcodec_send_packet(codec, nullptr);
      continue;
    }
    if (packet->stream_index == stream) {
      avcodec_send_packet(codec, packet);  // a damaged packet is skipped
      ++idle;
    }
    av_packet_unref(packet);
  }
  return false;
}

void MovieDecoder::Impl::seekTo(double seconds) {
  auto target = int64_t(seconds / timeBase) + streamStart;
  if (av_seek_frame(format, stream, target, AVSEEK_FLAG_BACKWARD) < 0 &&
      av_seek_frame(format, stream, streamStart, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
  avcodec_flush_buffers(codec);
  draining = false;
  haveNext = false;
  lastTime = -1;
  double t = 0;
  if (decodeInto(current, t)) {
    haveCurrent = true;
    currentTime = t;
    ++decoded;
  }
}

bool MovieDecoder::Impl::convert() {
  const AVFrame* f = current;
  if (f->width <= 0 || f->height <= 0 || f->width > kMaxMovieSide || f->height > kMaxMovieSide)
    return false;
  scaler = sws_getCachedContext(scaler, f->width, f->height, AVPixelFormat(f->format), f->width,
                                f->height, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr,
                                nullptr);
  if (!scaler) return false;
  // swscale writes whole vectors, past the end of a row that is not a
  // multiple of them (60 bytes past a 1-pixel row): it scales into rows
  // padded to 64 bytes, then the rows are copied out.
  const size_t row = size_t(f->width) * 4;
  const size_t paddedRow = (row + kScaleAlign - 1) / kScaleAlign * kScaleAlign;
  if (!scaled || scaledBytes < paddedRow * size_t(f->height)) {
    av_freep(&scaled);
    scaledBytes = paddedRow * size_t(f->height);
    scaled = static_cast<uint8_t*>(av_malloc(scaledBytes + kScaleAlign));
    if (!scaled) return false;
  }
  uint8_t* planes[4] = {scaled, nullptr, nullptr, nullptr};
  int strides[4] = {int(paddedRow), 0, 0, 0};
  sws_scale(scaler, f->data, f->linesize, 0, f->height, planes, strides);
  shown.width = f->width;
  shown.height = f->height;
  shown.rgba.resize(row * size_t(f->height));
  for (int y = 0; y < f->height; ++y)
    std::memcpy(shown.rgba.data() + row * size_t(y), scaled + paddedRow * size_t(y), row);
  shown.time = currentTime;
  ++shown.serial;
  return true;
}

MovieDecoder::MovieDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MovieDecoder::~MovieDecoder() = default;

std::unique_ptr<MovieDecoder> MovieDecoder::fromInput(std::unique_ptr<MovieInput> input,
                                                     std::string& why) {
  auto impl = std::make_unique<Impl>();
  if (!impl->open(std::move(input), why)) return nullptr;
  return std::unique_ptr<MovieDecoder>(new MovieDecoder(std::move(impl)));
}

std::unique_ptr<MovieDecoder> MovieDecoder::fromBytes(std::string bytes, std::string& why) {
  return fromInput(movieInputFromBytes(std::move(bytes)), why);
}

std::unique_ptr<MovieDecoder> MovieDecoder::open(const std::string& path, std::string& why) {
  std::unique_ptr<MovieInput> input = openMovieInput(path, why);
  return input ? fromInput(std::move(input), why) : nullptr;
}

double MovieDecoder::duration() const { return impl_->duration; }

const MovieFrame& MovieDecoder::frameAt(double seconds) {
  Impl& m = *impl_;
  seconds = std::max(seconds, 0.0);
  if (m.duration > 0) seconds = std::min(seconds, m.duration);
  const uint64_t before = m.decoded;
  m.container.limitReads(kMaxBytesPerRequest);
  // Back in time (a loop or a backwards movie), or far ahead: start from
  // the key frame before SECONDS instead of decoding every frame between.
  if (seconds + 1e-6 < m.currentTime || (m.haveNext && seconds > m.nextTime + 2.0))
    m.seekTo(seconds);
  for (;;) {
    if (!m.haveNext) m.haveNext = m.decodeInto(m.next, m.nextTime);
    if (!m.haveNext || m.nextTime > seconds + 1e-6) break;
    std::swap(m.current, m.next);
    m.currentTime = m.nextTime;
    m.haveNext = false;
    ++m.decoded;
  }
  if (m.decoded != before) m.convert();
  return m.shown;
}

double movieDuration(const std::string& path) {
  std::string why;
  auto movie = MovieDecoder::open(path, why);
  return movie ? movie->duration() : -1;
}

}  // namespace kestrel
