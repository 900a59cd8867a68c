// The viewer without a window: the two command port threads and a loop on
// the calling thread that runs one engine tick per millisecond, until
// SIGINT or SIGTERM; then what is queued runs and --save-state is written.
#pragma once

#include "viewer/shell/viewer_options.h"

namespace kestrel {

// Makes SIGINT and SIGTERM set a flag that stopSignalled() reads (the
// one-shot runs end early but cleanly), and ignores SIGPIPE.
void installSignalHandlers();
bool stopSignalled();

// Runs the viewer headless; returns the process exit status. A command port
// that cannot be bound is written to "kestrel.err" and standard error and
// gives a non-zero status.
int runHeadless(const ViewerOptions& options);

// kestrel --snapshot: builds the scene from the start-up files and the
// named files without serving any port, renders one frame from the bound or
// default viewpoint into options.snapshotPath and returns 0; 1 when the
// picture cannot be made or written.
int runSnapshot(const ViewerOptions& options);

// --replay FILE --headless: runs the last run of the journal on a fresh
// engine at the recorded pace times --speed, from --from (what comes before
// runs at once) to --to, then writes the state file of --save-state and
// ends. No command port is served while it runs. Changed files are named on
// standard error and in kestrel.log. Returns 2 when the journal cannot be
// read.
int runReplay(const ViewerOptions& options);

}  // namespace kestrel
