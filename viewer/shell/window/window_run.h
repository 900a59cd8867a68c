// The viewer as a window program: CPrismApp, the frame, document and view.
#pragma once

#include "viewer/shell/viewer_options.h"

namespace kestrel {

// Runs the window until it is closed; returns the exit status.
int runWindow(const ViewerOptions& options, int argc, char** argv);

}  // namespace kestrel
