// Videos written by VideoEncoder and read back with FFmpeg's decoders: the
// container, codec, size, frame count and duration, and where a moving red
// square is in the decoded frames.
#include "viewer/media/video_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "testing/test_support.h"

namespace kestrel {
namespace {

constexpr int kWidth = 64, kHeight = 48, kFps = 10, kFrames = 12;

// Frame I: black with a red 8x8 square whose left edge is at 4 * I.
std::vector<uint8_t> movingSquare(int i) {
  std::vector<uint8_t> rgba(size_t(kWidth * kHeight * 4), 0);
  for (int y = 20; y < 28; ++y) {
    for (int x = 4 * i; x < 4 * i + 8; ++x) {
      uint8_t* p = &rgba[size_t(y * kWidth + x) * 4];
      p[0] = 255, p[3] = 255;
    }
  }
  return rgba;
}

struct DecodedVideo {
  std::string format, codec;
  int width = 0, height = 0;
  double seconds = 0;
  std::vector<std::vector<uint8_t>> frames;  // RGBA
};

// Decodes every frame of PATH into RGBA with libavformat and libavcodec.
bool decodeVideo(const std::string& path, DecodedVideo& out) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
  bool ok = avformat_find_stream_info(format, nullptr) >= 0 && format->nb_streams == 1;
  AVCodecContext* codec = nullptr;
  if (ok) {
    AVStream* stream = format->streams[0];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    codec = avcodec_alloc_context3(decoder);
    ok = decoder && avcodec_parameters_to_context(codec, stream->codecpar) >= 0 &&
         avcodec_open2(codec, decoder, nullptr) >= 0;
    out.format = format->iformat->name;
    out.codec = decoder ? decoder->name : "";
    out.width = stream->codecpar->width;
    out.height = stream->codecpar->height;
    out.seconds = double(format->duration) / AV_TIME_BASE;
  }
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* scale = nullptr;
  auto receive = [&] {
    while (avcodec_receive_frame(codec, frame) == 0) {
      scale = sws_getCachedContext(scale, frame->width, frame->height,
                                   AVPixelFormat(frame->format), frame->width, frame->height,
                                   AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
      std::vector<uint8_t> rgba(size_t(frame->width * frame->height * 4));
      uint8_t* planes[1] = {rgba.data()};
      int strides[1] = {frame->width * 4};
      sws_scale(scale, frame->data, frame->linesize, 0, frame->height, planes, strides);
      out.frames.push_back(std::move(rgba));
    }
  };
  while (ok && av_read_frame(format, packet) >= 0) {
    ok = avcodec_send_packet(codec, packet) >= 0;
    av_packet_unref(packet);
    receive();
  }
  if (ok) {
    avcodec_send_packet(codec, nullptr);
    receive();
  }
  sws_freeContext(scale);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return ok;
}

// The mean column of the reddish pixels of a decoded frame; -1 when none.
double redColumn(const std::vector<uint8_t>& rgba) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = &rgba[size_t(y * kWidth + x) * 4];
      if (p[0] > 150 && p[1] < 90 && p[2] < 90) sum += x, ++count;
    }
  }
  return count ? sum / count : -1;
}

void writeAndCheck(const std::string& path, const std::string& wantedFormat,
                   const std::string& wantedCodec) {
  std::string error;
  std::unique_ptr<VideoEncoder> encoder = VideoEncoder::open(path, kWidth, kHeight, kFps, &error);
  ASSERT_TRUE(encoder) << error;
  EXPECT_EQ(encoder->note(), "");
  for (int i = 0; i < kFrames; ++i) {
    ASSERT_TRUE(encoder->addFrame(movingSquare(i).data(), &error)) << error;
  }
  ASSERT_TRUE(encoder->finish(&error)) << error;
  EXPECT_EQ(encoder->framesWritten(), kFrames);

  DecodedVideo video;
  ASSERT_TRUE(decodeVideo(path, video)) << path;
  EXPECT_NE(video.format.find(wantedFormat), std::string::npos) << video.format;
  EXPECT_EQ(video.codec.rfind(wantedCodec, 0), 0u) << video.codec;
  EXPECT_EQ(video.width, kWidth);
  EXPECT_EQ(video.height, kHeight);
  EXPECT_NEAR(video.seconds, double(kFrames) / kFps, 0.051);
  ASSERT_EQ(video.frames.size(), size_t(kFrames));
  for (int i : {0, 5, 11}) EXPECT_NEAR(redColumn(video.frames[size_t(i)]), 4 * i + 3.5, 1.0) << i;
}

TEST(VideoEncoder, Mp4HoldsH264AndWebmVp9WithEveryFrameInPlace) {
  testing::TempDir dir(false);
  writeAndCheck(dir.file("out.mp4"), "mp4", "h264");
  writeAndCheck(dir.file("out.WEBM"), "webm", "vp9");
}

TEST(VideoEncoder, RefusesOddSizesAndUnwritablePlaces) {
  testing::TempDir dir(false);
  std::string error;
  EXPECT_FALSE(VideoEncoder::open(dir.file("odd.mp4"), 63, 48, kFps, &error));
  EXPECT_EQ(error, "a video needs an even width and height and a frame rate above 0");
  EXPECT_FALSE(VideoEncoder::open(dir.file("none/x.mp4"), kWidth, kHeight, kFps, &error));
  EXPECT_EQ(error, "cannot open " + dir.file("none/x.mp4") + ": No such file or directory");
}

}  // namespace
}  // namespace kestrel
