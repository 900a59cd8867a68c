#include "viewer/media/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace kestrel {
namespace {

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return false;
}

bool endsWithWebm(const std::string& path) {
  if (path.size() < 5) return false;
  std::string tail = path.substr(path.size() - 5);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".webm";
}

struct CodecChoice {
  const AVCodec* codec = nullptr;
  std::string note;
};

// The software encoders by name: a hardware one found by codec id first
// (NVENC, VAAPI) would fail to open on most machines.
CodecChoice chooseCodec(bool webm) {
  if (webm) {
    if (const AVCodec* vp9 = avcodec_find_encoder_by_name("libvpx-vp9")) return {vp9, {}};
    if (const AVCodec* vp8 = avcodec_find_encoder_by_name("libvpx")) {
      return {vp8, "this FFmpeg has no VP9 encoder; the video is VP8"};
    }
    return {};
  }
  if (const AVCodec* h264 = avcodec_find_encoder_by_name("libx264")) return {h264, {}};
  if (const AVCodec* mpeg4 = avcodec_find_encoder(AV_CODEC_ID_MPEG4)) {
    return {mpeg4, "this FFmpeg has no H.264 encoder (libx264); the video is MPEG-4 part 2"};
  }
  return {};
}

// Quality over size within reason, and fast: a video is made to be looked at.
void tuneEncoder(AVCodecContext* context, const AVCodec* codec) {
  const std::string name = codec->name;
  if (name == "libx264") {
    av_opt_set(context->priv_data, "preset", "veryfast", 0);
    av_opt_set(context->priv_data, "crf", "20", 0);
  } else if (name == "libvpx-vp9" || name == "libvpx") {
    av_opt_set(context->priv_data, "deadline", "realtime", 0);
    av_opt_set(context->priv_data, "cpu-used", "8", 0);
    av_opt_set(context->priv_data, "crf", "30", 0);
    context->bit_rate = 4'000'000;
  } else {
    context->bit_rate = 4'000'000;
  }
}

}  // namespace

struct VideoEncoder::Impl {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scale = nullptr;
  int width = 0, height = 0;

  ~Impl() {
    sws_freeContext(scale);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }

  bool openCodec(const AVCodec* chosen, int fps, std::string* error) {
    codec = avcodec_alloc_context3(chosen);
    if (!codec) return fail(error, "out of memory");
    codec->width = width;
    codec->height = height;
    codec->time_base = AVRational{1, fps};
    codec->framerate = AVRational{fps, 1};
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->gop_size = fps * 2;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    tuneEncoder(codec, chosen);
    int status = avcodec_open2(codec, chosen, nullptr);
    if (status < 0) {
      return fail(error, std::string("cannot open the encoder ") + chosen->name + ": " +
                             avError(status));
    }
    stream->time_base = codec->time_base;
    return avcodec_parameters_from_context(stream->codecpar, codec) >= 0 ||
           fail(error, "cannot describe the video stream");
  }

  bool openFrame(std::string* error) {
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (!frame || !packet) return fail(error, "out of memory");
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0) return fail(error, "out of memory");
    scale = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, AV_PIX_FMT_YUV420P,
                           SWS_BILINEAR, nullptr, nullptr, nullptr);
    return scale != nullptr || fail(error, "cannot convert RGBA to YUV 4:2:0");
  }

  // Writes every packet the encoder has ready.
  bool drain(std::string* error) {
    for (;;) {
      int status = avcodec_receive_packet(codec, packet);
      if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
      if (status < 0) return fail(error, "encoding failed: " + avError(status));
      if (packet->duration == 0) packet->duration = 1;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      status = av_interleaved_write_frame(format, packet);
      if (status < 0) return fail(error, "cannot write the video: " + avError(status));
    }
  }
};

std::unique_ptr<VideoEncoder> VideoEncoder::open(const std::string& path, int width,
                                                 int height, int fps, std::string* error) {
  if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0 || fps <= 0) {
    fail(error, "a video needs an even width and height and a frame rate above 0");
    return nullptr;
  }
  // The encoders' own statistics would mix with the viewer's progress line.
  av_log_set_level(AV_LOG_ERROR);
  const bool webm = endsWithWebm(path);
  CodecChoice choice = chooseCodec(webm);
  if (!choice.codec) {
    fail(error, webm ? "this FFmpeg has no VP9 or VP8 encoder" : "this FFmpeg has no H.264 "
                                                                  "or MPEG-4 encoder");
    return nullptr;
  }
  std::unique_ptr<VideoEncoder> encoder(new VideoEncoder);
  encoder->impl_ = std::make_unique<Impl>();
  Impl& impl = *encoder->impl_;
  impl.width = width;
  impl.height = height;
  int status = avformat_alloc_output_context2(&impl.format, nullptr, webm ? "webm" : "mp4",
                                              path.c_str());
  if (status < 0 || !impl.format) {
    fail(error, "cannot make a " + std::string(webm ? "WebM" : "MP4") + " file: " +
                    avError(status));
    return nullptr;
  }
  impl.stream = avformat_new_stream(impl.format, nullptr);
  if (!impl.stream) {
    fail(error, "out of memory");
    return nullptr;
  }
  if (!impl.openCodec(choice.codec, fps, error) || !impl.openFrame(error)) return nullptr;
  status = avio_open(&impl.format->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (status < 0) {
    fail(error, "cannot open " + path + ": " + avError(status));
    return nullptr;
  }
  status = avformat_write_header(impl.format, nullptr);
  if (status < 0) {
    fail(error, "cannot write the header of " + path + ": " + avError(status));
    return nullptr;
  }
  encoder->codecName_ = choice.codec->name;
  encoder->note_ = choice.note;
  return encoder;
}

VideoEncoder::~VideoEncoder() = default;

bool VideoEncoder::addFrame(const uint8_t* rgba, std::string* error) {
  Impl& impl = *impl_;
  if (av_frame_make_writable(impl.frame) < 0) return fail(error, "out of memory");
  const uint8_t* planes[1] = {rgba};
  const int strides[1] = {impl.width * 4};
  sws_scale(impl.scale, planes, strides, 0, impl.height, impl.frame->data, impl.frame->linesize);
  impl.frame->pts = frames_;
  int status = avcodec_send_frame(impl.codec, impl.frame);
  if (status < 0) return fail(error, "encoding failed: " + avError(status));
  ++frames_;
  return impl.drain(error);
}

bool VideoEncoder::finish(std::string* error) {
  Impl& impl = *impl_;
  int status = avcodec_send_frame(impl.codec, nullptr);
  if (status < 0 && status != AVERROR_EOF) return fail(error, "encoding failed: " + avError(status));
  if (!impl.drain(error)) return false;
  status = av_write_trailer(impl.format);
  if (status < 0) return fail(error, "cannot complete the video: " + avError(status));
  status = avio_closep(&impl.format->pb);
  return status >= 0 || fail(error, "cannot complete the video: " + avError(status));
}

}  // namespace kestrel
