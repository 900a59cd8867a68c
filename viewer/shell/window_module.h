// The window (Qt 6, viewer/shell/window/) lives in a module of its own,
// libkestrel_window.so, which the viewer opens only when it runs the window
// (program_modules.h says where it is looked for). Every other run (--check,
// --print, --headless, --snapshot, --video, a headless replay) starts
// without mapping Qt and the libraries it pulls in.
#pragma once

#include "viewer/shell/viewer_options.h"

namespace kestrel {

// The file name of the module.
inline constexpr const char* kWindowModule = "libkestrel_window.so";
// The module's entry point: extern "C" int (const ViewerOptions*, int argc,
// char** argv), runWindow's contract (window/window_run.h).
inline constexpr const char* kWindowEntry = "kestrel_run_window";

// The exit status when the window cannot be run for want of its module.
inline constexpr int kNoWindowStatus = 2;

// Runs the window from the module and returns its exit status; when the
// module cannot be opened, one "kestrel: ..." line on standard error naming
// the file and the reason, and kNoWindowStatus.
int runWindowModule(const ViewerOptions& options, int argc, char** argv);

}  // namespace kestrel
