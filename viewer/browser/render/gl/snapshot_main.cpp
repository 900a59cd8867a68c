// kestrel_snapshot SCENE.wrl OUT.png [W H [FRAMES]]: renders one frame of a
// scene file off screen and writes it as a PNG. With FRAMES, renders and
// writes that many frames in a row (the last one stays), for timing.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "viewer/browser/render/gl/snapshot.h"

namespace {

bool number(const char* text, int lo, int hi, int& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: kestrel_snapshot SCENE.wrl OUT.png [WIDTH HEIGHT [FRAMES]]\n");
    return 2;
  }
  int width = 640, height = 480, frames = 1;
  if (argc >= 5 && (!number(argv[3], 1, 16384, width) || !number(argv[4], 1, 16384, height))) {
    std::fprintf(stderr, "kestrel_snapshot: bad size %s x %s\n", argv[3], argv[4]);
    return 2;
  }
  if (argc == 6 && !number(argv[5], 1, 100000, frames)) {
    std::fprintf(stderr, "kestrel_snapshot: bad frame count %s\n", argv[5]);
    return 2;
  }
  kestrel::CVrmlBrowser browser;
  kestrel::VrmlContent content;
  if (!browser.createFromFile(argv[1], content) || !browser.appendToRoot(content)) {
    std::fprintf(stderr, "kestrel_snapshot: %s: %s\n", argv[1],
                 browser.lastError().message.c_str());
    return 1;
  }
  std::string error;
  int rc = frames == 1 ? kestrel::renderSnapshot(browser, width, height, argv[2], &error)
                       : kestrel::renderSnapshotFrames(browser.scene(), width, height, argv[2],
                                                       frames, &error);
  if (rc != 0) {
    std::fprintf(stderr, "kestrel_snapshot: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
