// Video export speed: frames per second of kestrel --replay --video for the
// bundled demo scene (share/kestrel, as scripts/demo.sh starts it) at
// 1280x720, H.264 in MP4 and VP9 in WebM. The demo's start-up files are run
// once with a journal in a copy of the demo directory; the export replays
// that journal over ten seconds at 25 frames a second.
//
//   bench_video [SECONDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/video_export.h"
#include "viewer/shell/viewer_core.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs the demo's start-up files until the scene is built, journalling.
bool recordDemo(const std::string& journal) {
  kestrel::ViewerOptions options;
  options.journalPath = journal;
  kestrel::ViewerCore core(options);
  std::string error;
  if (!core.openJournal(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  core.readStartupFiles();
  for (int quiet = 0, tick = 0; quiet < 100 && tick < 1000000; ++tick) {
    core.step();
    quiet = core.busy() ? 0 : quiet + 1;
  }
  return core.finish();
}

void exportVideo(const std::string& journal, const std::string& out, int seconds) {
  kestrel::ViewerOptions options;
  options.replayPath = journal;
  options.videoPath = out;
  options.snapshotWidth = 1280;
  options.snapshotHeight = 720;
  options.videoFps = 25;
  options.replayToMs = seconds * 1000;
  auto start = Clock::now();
  int status = kestrel::runVideoExport(options);
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  double frames = static_cast<double>(kestrel::videoFramesFor(0, options.replayToMs, 25).count);
  std::printf("%-5s 1280x720, %.0f frames in %.2f s: %.1f frames/s, %.0f KiB%s\n",
              fs::path(out).extension().c_str() + 1, frames, elapsed, frames / elapsed,
              static_cast<double>(fs::file_size(out)) / 1024, status == 0 ? "" : " (failed)");
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  char dir[] = "/tmp/kestrel-video-bench-XXXXXX";
  if (::mkdtemp(dir) == nullptr) return 1;
  fs::copy(KESTREL_DEMO_DIR, dir, fs::copy_options::recursive);
  if (::chdir(dir) != 0) return 1;
  kestrel::openLogIn(dir);
  const std::string journal = std::string(dir) + "/demo.journal";
  if (!recordDemo(journal)) return 1;
  exportVideo(journal, std::string(dir) + "/demo.mp4", seconds);
  exportVideo(journal, std::string(dir) + "/demo.webm", seconds);
  fs::remove_all(dir);
  return 0;
}
