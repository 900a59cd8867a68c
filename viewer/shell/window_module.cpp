#include "viewer/shell/window_module.h"

#include <cstdio>
#include <string>

#include "viewer/media/program_modules.h"

namespace kestrel {

int runWindowModule(const ViewerOptions& options, int argc, char** argv) {
  using Entry = int (*)(const ViewerOptions*, int, char**);
  std::string why;
  auto entry = reinterpret_cast<Entry>(openProgramModule(kWindowModule, kWindowEntry, why));
  if (!entry) {
    std::fprintf(stderr, "kestrel: cannot run the window: %s\n", why.c_str());
    return kNoWindowStatus;
  }
  return entry(&options, argc, argv);
}

}  // namespace kestrel
