// The pointing-device sensors (TouchSensor, PlaneSensor, SphereSensor,
// CylinderSensor) and Anchors, driven by the pointer: where it is, what it
// hits, and its button going down and up. No window is needed: a window
// (or a test) picks the geometry under the pointer and hands the ray and
// the hit in.
//
// Which sensors a hit reaches: going up from the geometry, the first
// grouping node (or the scene's top level) whose children hold enabled
// pointing-device sensors, or which is an Anchor; every enabled sensor
// among those children gets the events. Lower sensors hide higher ones.
// A press on them makes them active; while the button is held every event
// goes to the sensors the press reached, wherever the pointer is, until
// the release.
//
// TouchSensor: isOver as the pointer comes and goes; hitPoint_changed,
// hitNormal_changed and hitTexCoord_changed (in the sensor's coordinates)
// while it is over; isActive on press and release; touchTime when the
// button comes up over it. Drag sensors: see drag_sensors.h.
#pragma once

#include <memory>
#include <vector>

#include "viewer/browser/drag_sensors.h"

namespace kestrel {

// Where the pointer is: its ray (world) and what the ray hits first (no
// path: nothing), with the scene's top-level nodes it was picked among.
struct PointerSample {
  PickRay ray;
  PickHit hit;
  const std::vector<NodePtr>* roots = nullptr;
};

// One sensor a hit reaches, with the local-to-world matrix of its
// coordinate system.
struct ReachedSensor {
  NodePtr sensor;  // the node itself (a PROTO instance's body node)
  Mat4 frame;
};

struct SensorsReached {
  std::vector<ReachedSensor> sensors;
  NodePtr anchor;  // the Anchor at that level, if any
  bool empty() const { return sensors.empty() && !anchor; }
};

// The sensors SAMPLE's hit reaches (none when it hits nothing).
SensorsReached sensorsReached(const PointerSample& sample);

class PointingSensors {
 public:
  // The pointer moved (button up or down).
  void move(const PointerSample& sample, Cascade& cascade);
  // The button went down; true when sensors or an Anchor took the press
  // (then the view must not move with the drag).
  bool press(const PointerSample& sample, Cascade& cascade);
  // The button came up. Returns the Anchor that was clicked (pressed and
  // released over it), for the caller to follow; null otherwise.
  NodePtr release(const PointerSample& sample, Cascade& cascade);

  // True while a press is held on sensors or an Anchor.
  bool active() const { return pressed_; }
  // What the pointer is over now (for the cursor and the status line).
  bool overSensor() const { return !over_.empty(); }
  const NodePtr& anchorUnder() const { return over_.anchor; }

  // Forgets every sensor (the scene was replaced); sends nothing.
  void reset();

 private:
  void touchOver(const SensorsReached& now, const PointerSample& sample, Cascade& cascade);
  void activeMove(const PointerSample& sample, Cascade& cascade);

  SensorsReached over_;            // what the pointer is over (no press held)
  std::vector<NodePtr> overTouch_; // TouchSensors told isOver TRUE
  bool pressed_ = false;
  SensorsReached pressedOn_;
  struct ActiveDrag {
    Drag drag;
    Mat4 toLocal;  // world to the sensor's coordinates, fixed at the press
  };
  std::vector<ActiveDrag> drags_;
};

}  // namespace kestrel
