// The clock of the nodes that play a file: AudioClip and MovieTexture.
//
// They follow the time-dependent node rules a TimeSensor does, with the
// file's length as the cycle: a clip starts at startTime, plays for
// duration / rate seconds (rate: an AudioClip's pitch, a MovieTexture's
// speed, whose sign says forwards or backwards; speed 0 holds the frame and
// runs until stopTime), starts over when it loops and ends at stopTime when
// stopTime > startTime. The browser core only keeps time; decoding and
// playing happen outside it, from the position kept here. Window thread only.
#pragma once

#include "viewer/browser/events.h"

namespace kestrel {

// One clip's state between clock ticks.
struct MediaClock {
  double duration = -1;        // seconds of the file; -1: not known (yet)
  bool durationSent = false;   // duration_changed went out for this duration
  bool everActive = false;
  double position = 0;         // seconds into the file the clip is at
};

// True for the node types this clock drives.
bool isMediaClip(const Node& node);

// Advances CLIP to the cascade's time: sends isActive when it starts or
// stops and duration_changed once the duration is known, and updates
// CLOCK's position (frozen where the clip stopped; the first frame, or for
// a negative speed the last, before it ever ran).
void tickMediaClip(const NodePtr& clip, MediaClock& clock, Cascade& cascade);

}  // namespace kestrel
