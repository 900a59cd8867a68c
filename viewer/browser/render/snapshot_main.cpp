// kestrel_snapshot SCENE.wrl OUT.png [W H]: renders one frame of a scene
// file off screen and writes it as a PNG.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "viewer/browser/render/snapshot.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: kestrel_snapshot SCENE.wrl OUT.png [WIDTH HEIGHT]\n");
    return 2;
  }
  int width = 640, height = 480;
  if (argc == 5) {
    width = std::atoi(argv[3]);
    height = std::atoi(argv[4]);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
      std::fprintf(stderr, "kestrel_snapshot: bad size %s x %s\n", argv[3], argv[4]);
      return 2;
    }
  }
  kestrel::CVrmlBrowser browser;
  kestrel::VrmlContent content;
  if (!browser.createFromFile(argv[1], content) || !browser.appendToRoot(content)) {
    std::fprintf(stderr, "kestrel_snapshot: %s: %s\n", argv[1],
                 browser.lastError().message.c_str());
    return 1;
  }
  std::string error;
  if (kestrel::renderSnapshot(browser, width, height, argv[2], &error) != 0) {
    std::fprintf(stderr, "kestrel_snapshot: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
