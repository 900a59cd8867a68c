// Driving the browser clock to a chosen time instead of the live one, for
// pictures made off line (a snapshot at a given time, the frames of a video).
// The clock moves in frame-sized steps, so events that lead from one frame
// to the next (a TimeSensor started by another's cycleTime) happen as they
// would in a window running at that frame rate.
#pragma once

namespace kestrel {

class CVrmlBrowser;

// The step of a window drawing 60 frames a second.
inline constexpr double kClockFrameStep = 1.0 / 60.0;

// Moves the clock of BROWSER from where it is to SECONDS, STEP seconds at a
// time, ending exactly at SECONDS. A clock already at or past SECONDS stays
// where it is (the clock never goes back).
void runClockTo(CVrmlBrowser& browser, double seconds, double step = kClockFrameStep);

}  // namespace kestrel
