// The scene text the viewer writes itself: text labels, terrain inlines,
// flat maps (made at once, inside the tick that runs their command) and the
// "*" generators (queued as data blocks for a later tick).
//
// Engine thread only; the map inputs source may be called on it at any
// time and must do its own locking.
#pragma once

#include <functional>
#include <string>

namespace kestrel {

class Engine;
class InternalCommandQueue;

// The geographic box a flat map covers, as the web page's map form sets it.
struct MapInputs {
  int width = 0;
  int height = 0;
  double longitudeStart = 0;
  double longitudeEnd = 0;
  double latitudeStart = 0;
  double latitudeEnd = 0;
  char longitudeLetter = 'x';
  char latitudeLetter = 'X';
};

class VrmlTextBuilders {
 public:
  using MapSource = std::function<MapInputs()>;

  // ENGINE and PRIMARY must outlive the builders.
  VrmlTextBuilders(Engine& engine, InternalCommandQueue& primary);

  // Where flat maps take their box from; without one, the start values.
  void setMapSource(MapSource source) { mapSource_ = std::move(source); }

  // A label object "label_N" (N counts from 1) showing TEXT.
  void label(const std::string& text);
  // An unnamed object holding an Inline of the terrain FILE.
  void inlineScene(const std::string& file);
  // A flat map object NAME from the "flatmap" template; nothing without it.
  void flatMap(const std::string& name);
  // A "*" line (without the "*"): queues the generated block.
  void starLine(const std::string& text);

 private:
  Engine& engine_;
  InternalCommandQueue& primary_;
  MapSource mapSource_;
  int labelCounter_ = 0;
};

}  // namespace kestrel
