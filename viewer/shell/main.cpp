// kestrel: the scene viewer.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <iostream>

#include "viewer/browser/scene_check.h"
#include "viewer/shell/headless_run.h"
#include "viewer/shell/one_shot_arena.h"
#include "viewer/shell/one_shot_heap.h"
#include "viewer/shell/scene_file_loaders.h"
#include "viewer/shell/video_export.h"
#include "viewer/shell/viewer_options.h"
#include "viewer/shell/window_module.h"

int main(int argc, char** argv) {
  kestrel::ViewerOptions options;
  std::string error;
  if (!kestrel::parseViewerOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "kestrel: %s\n%s", error.c_str(), kestrel::viewerUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(kestrel::viewerUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs("kestrel " KESTREL_VERSION "\n", stdout);
    return 0;
  }
  if (options.check || options.print) {
    // Both parse and exit: the heap need not be frugal, and what the
    // parse makes is never freed.
    const size_t heap = kestrel::heapForSceneFiles(options.files);
    // A parse of many small nodes fills about three times its file.
    kestrel::startOneShotArena(heap, heap / 16 * 3);
    kestrel::reserveHugePageHeap(heap);
    // The threads of a parse in parts take their few large blocks from
    // that heap too, rather than each from a heap of its own.
    kestrel::shareMainHeapWithThreads();
  }
  if (options.check) {
    return kestrel::checkSceneFiles(options.files, std::cout, kestrel::sceneTextReader(false),
                                    kestrel::SceneDisposal::kKeepUntilExit);
  }
  if (options.print) {
    return kestrel::printSceneFile(options.files.front(), std::cout,
                                   kestrel::sceneTextReader(true),
                                   kestrel::SceneDisposal::kKeepUntilExit);
  }
  // Snapshot paths name places where the user started, not below -C.
  if (!options.snapshotPath.empty()) {
    options.snapshotPath = std::filesystem::absolute(options.snapshotPath).string();
  }
  if (!options.videoPath.empty()) {
    options.videoPath = std::filesystem::absolute(options.videoPath).string();
  }
  if (!options.replayPath.empty()) {
    options.replayPath = std::filesystem::absolute(options.replayPath).string();
  }
  if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) {
    std::fprintf(stderr, "kestrel: cannot work in %s: %s\n", options.workingDirectory.c_str(),
                 std::strerror(errno));
    return 2;
  }
  if (!options.snapshotPath.empty()) return kestrel::runSnapshot(options);
  if (!options.videoPath.empty()) return kestrel::runVideoExport(options);
#ifdef KESTREL_HAVE_WINDOW
  if (!options.replayPath.empty() && options.headless) return kestrel::runReplay(options);
  if (!options.headless) return kestrel::runWindowModule(options, argc, argv);
#else
  if (!options.headless) {
    std::fputs("kestrel: this build has no window; running headless\n", stderr);
  }
  if (!options.replayPath.empty()) return kestrel::runReplay(options);
#endif
  return kestrel::runHeadless(options);
}
