#include "viewer/media/movie_container.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
}

namespace kestrel {
namespace {

int readInput(void* opaque, uint8_t* buf, int size) {
  return static_cast<MovieInput*>(opaque)->read(buf, size);
}

int64_t seekInput(void* opaque, int64_t offset, int whence) {
  return static_cast<MovieInput*>(opaque)->seek(offset, whence);
}

// FFmpeg's names (a demuxer with several, as "mov,mp4,m4a,...", matches
// by any of them).
constexpr const char* kMovieDemuxers =
    "mpeg,mpegts,mpegvideo,avi,mov,mp4,matroska,webm,ogg,asf,flv,gif,apng,m4v,h261,h263,h264,"
    "hevc,vc1,ivf,obu,av1,dv,mxf,nut,rm,mjpeg,yuv4mpegpipe,flic,"
    "wav,aiff,au,mp3,flac";

constexpr int kIoBufferBytes = 32 * 1024;

}  // namespace

MovieContainer::~MovieContainer() {
  avformat_close_input(&format_);
  if (io_) av_freep(&io_->buffer);
  avio_context_free(&io_);
}

bool MovieContainer::open(std::unique_ptr<MovieInput> input, std::string& why) {
  av_log_set_level(AV_LOG_QUIET);  // refusals are reported by the caller, once
  input_ = std::move(input);
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
  io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, input_.get(), readInput, nullptr, seekInput);
  AVFormatContext* format = avformat_alloc_context();
  if (!buffer || !io_ || !format) {
    if (!io_) av_free(buffer);
    avformat_free_context(format);
    why = "out of memory";
    return false;
  }
  format->pb = io_;
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  const AVInputFormat* demuxer = nullptr;
  if (av_probe_input_buffer2(io_, &demuxer, "", nullptr, 0, 0) < 0 || !demuxer) {
    avformat_free_context(format);
    why = "not a movie file FFmpeg can read";
    return false;
  }
  if (av_match_list(demuxer->name, kMovieDemuxers, ',') <= 0) {
    avformat_free_context(format);
    why = std::string("not a movie container (") + demuxer->name + ")";
    return false;
  }
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "none", 0);  // no other file or URL
  av_dict_set(&options, "format_whitelist", kMovieDemuxers, 0);
  const int r = avformat_open_input(&format, nullptr, demuxer, &options);  // frees it on failure
  av_dict_free(&options);
  if (r < 0) {
    why = "not a movie file FFmpeg can read";
    return false;
  }
  format_ = format;
  if (avformat_find_stream_info(format_, nullptr) < 0) {
    why = "damaged movie file";
    return false;
  }
  return true;
}

int MovieContainer::onlyStream(int kind, const AVCodec*& decoder) {
  decoder = nullptr;
  const int stream = av_find_best_stream(format_, AVMediaType(kind), -1, -1, &decoder, 0);
  if (stream < 0) return stream;
  for (unsigned i = 0; i < format_->nb_streams; ++i)
    if (int(i) != stream) format_->streams[i]->discard = AVDISCARD_ALL;
  return stream;
}

AVCodecContext* MovieContainer::openDecoder(int stream, const AVCodec* decoder, const char* what,
                                            std::string& why) {
  AVCodecContext* codec = avcodec_alloc_context3(decoder);
  if (!codec || avcodec_parameters_to_context(codec, format_->streams[stream]->codecpar) < 0) {
    avcodec_free_context(&codec);
    why = "out of memory";
    return nullptr;
  }
  codec->thread_count = 1;
  if (avcodec_open2(codec, decoder, nullptr) < 0) {
    avcodec_free_context(&codec);
    why = std::string("its ") + what + " decoder does not start";
    return nullptr;
  }
  return codec;
}

}  // namespace kestrel
