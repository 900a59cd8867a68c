// MapRegion: the geographic box that the web page's map form chose, with
// the hidden inputs that carry it back into the page, and the reading of a
// map form into it.
//
// Threads: connection threads write it and the engine's flat-map builder
// reads it; every access takes the region's mutex and works on a copy.
#pragma once

#include <optional>
#include <string>
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

class FormValues;

struct MapBox {
  char latitudeLetter = 'X';
  char longitudeLetter = 'x';
  float latitudeStart = 0, latitudeEnd = 0;
  float longitudeStart = 0, longitudeEnd = 0;
  int width = 0, height = 0;
  std::string hiddenBlock;  // empty before the first map form
};

// The box a map form describes, and the image name it makes; nullopt (and
// the log line "doPost: didn't get expected form field values") when one of
// whichMap, boxX, boxY, boxWidth, boxHeight, boxLatitude, boxLongitude is
// missing.
struct MapForm {
  MapBox box;
  std::string whichMap;
  std::string imageName;  // "generated/<whichMap>_<x>_<y>_<w>_<h>.GIF"
};
std::optional<MapForm> readMapForm(const FormValues& form);

class MapRegion {
 public:
  MapBox get() const;
  void set(const MapBox& box);

 private:
  mutable Mutex mutex_;
  MapBox box_ GUARDED_BY(mutex_);
};

// The process-wide region.
MapRegion& mapRegion();

}  // namespace kestrel
