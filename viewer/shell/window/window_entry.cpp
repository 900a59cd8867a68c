// The entry point of the window module, libkestrel_window.so
// (window_module.h): the program calls it instead of linking Qt.
#include "viewer/shell/viewer_options.h"
#include "viewer/shell/window/window_run.h"

extern "C" int kestrel_run_window(const kestrel::ViewerOptions* options, int argc, char** argv) {
  return kestrel::runWindow(*options, argc, argv);
}
