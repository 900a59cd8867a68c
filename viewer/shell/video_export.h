// kestrel --replay FILE --video OUT.mp4: the journal replayed frame by frame
// at the recorded times, not in real time, so no frame is dropped however
// slow the rendering: for each frame the replay runs fast up to the frame's
// time, the world clock is set to it, and the scene is rendered off screen
// and encoded. A progress line on standard error is rewritten in place.
#pragma once

#include <cstdint>

#include "viewer/shell/viewer_options.h"

namespace kestrel {

// The frames from --from to --to (else the journal's last step): one every
// 1/--fps seconds, the first at --from, as many as fill the span (at least
// one). Frame I shows the scene at FROM + I / FPS seconds.
struct VideoFrames {
  int64_t fromMs = 0;
  int64_t count = 1;
  int fps = 25;
  double timeOf(int64_t frame) const {
    return static_cast<double>(fromMs) + static_cast<double>(frame) * 1000.0 / fps;
  }
};
VideoFrames videoFramesFor(int64_t fromMs, int64_t toMs, int fps);

// Writes the video of OPTIONS.replayPath to OPTIONS.videoPath at
// OPTIONS.snapshotWidth x snapshotHeight; then --save-state, if given, as
// the replay stands at the last frame. Returns 0; 2 when the journal cannot
// be read; 1 when the video cannot be made (the reason on standard error).
int runVideoExport(const ViewerOptions& options);

}  // namespace kestrel
