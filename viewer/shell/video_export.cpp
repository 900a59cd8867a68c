#include "viewer/shell/video_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "viewer/browser/render/gl/snapshot.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/media/media_codecs.h"
#include "viewer/shell/headless_run.h"
#include "viewer/shell/replay_session.h"
#include "viewer/shell/viewer_core.h"

namespace kestrel {
namespace {

// "video: frame 12 of 250, 31 s left", rewritten in place at most five
// times a second, and at the last frame, ended with a line feed.
class ProgressLine {
 public:
  explicit ProgressLine(int64_t total) : total_(total), start_(clock::now()) {}
  void show(int64_t done) {
    auto now = clock::now();
    if (done < total_ && now - shown_ < std::chrono::milliseconds(200)) return;
    shown_ = now;
    double elapsed = std::chrono::duration<double>(now - start_).count();
    double left = done > 0 ? elapsed / static_cast<double>(done) *
                                 static_cast<double>(total_ - done)
                           : 0;
    std::fprintf(stderr, "\rvideo: frame %lld of %lld, %.0f s left   ",
                 static_cast<long long>(done), static_cast<long long>(total_), std::ceil(left));
    if (done == total_) std::fputc('\n', stderr);
    std::fflush(stderr);
  }
  void end() { std::fputc('\n', stderr); }

 private:
  using clock = std::chrono::steady_clock;
  int64_t total_;
  clock::time_point start_;
  clock::time_point shown_{};
};

int failWith(const std::string& message) {
  std::fprintf(stderr, "kestrel: %s\n", message.c_str());
  errorLine(message.c_str());
  return 1;
}

void reportChangedFiles(ReplaySession& session) {
  for (const std::string& message : session.takeChangedFiles()) {
    logLine(message.c_str());
    std::fprintf(stderr, "kestrel: %s\n", message.c_str());
  }
}

}  // namespace

VideoFrames videoFramesFor(int64_t fromMs, int64_t toMs, int fps) {
  VideoFrames frames;
  frames.fromMs = fromMs;
  frames.fps = fps;
  const double span = static_cast<double>(std::max<int64_t>(toMs - fromMs, 0));
  frames.count = std::max<int64_t>(1, std::llround(span * fps / 1000.0));
  return frames;
}

int runVideoExport(const ViewerOptions& options) {
  // SIGINT and SIGTERM end the video early but still complete the file, so
  // what was made so far plays.
  installSignalHandlers();
  std::string error;
  std::unique_ptr<ReplaySession> session = ReplaySession::open(options, &error);
  if (!session) {
    std::fprintf(stderr, "kestrel: %s\n", error.c_str());
    return 2;
  }
  const int64_t to = options.replayToMs >= 0 ? options.replayToMs : session->endTime();
  if (to < options.replayFromMs) return failWith("--to comes before --from");
  const VideoFrames frames = videoFramesFor(options.replayFromMs, to, options.videoFps);
  const int width = options.snapshotWidth, height = options.snapshotHeight;
  MediaCodecs* codecs = mediaCodecs();
  if (!codecs) return failWith("cannot make videos: the media codecs are missing (see kestrel.log)");
  std::unique_ptr<VideoWriter> encoder =
      codecs->openVideo(options.videoPath, width, height, frames.fps, &error);
  if (!encoder) return failWith("cannot make the video " + options.videoPath + ": " + error);
  if (!encoder->note().empty()) std::fprintf(stderr, "kestrel: %s\n", encoder->note().c_str());
  std::unique_ptr<FrameRenderer> renderer =
      FrameRenderer::create(session->core().renderRoot(), &error);
  if (!renderer) return failWith("cannot render the video's frames: " + error);
  RgbaImage image;
  ProgressLine progress(frames.count);
  int64_t frame = 0;
  for (; frame < frames.count && !stopSignalled(); ++frame) {
    session->seekTo(static_cast<int64_t>(std::floor(frames.timeOf(frame))));
    reportChangedFiles(*session);
    if (!renderer->render(session->core().engine().browser(), width, height, image, &error) ||
        !encoder->addFrame(image.pixels.data(), &error)) {
      progress.end();
      return failWith("cannot make the video " + options.videoPath + ": " + error);
    }
    progress.show(frame + 1);
  }
  if (frame < frames.count) {
    progress.end();
    std::fprintf(stderr, "kestrel: stopped; the video ends after frame %lld of %lld\n",
                 static_cast<long long>(frame), static_cast<long long>(frames.count));
  }
  if (!encoder->finish(&error)) {
    return failWith("cannot complete the video " + options.videoPath + ": " + error);
  }
  return session->finish() ? 0 : 1;
}

}  // namespace kestrel
