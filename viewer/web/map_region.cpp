#include "viewer/web/map_region.h"

#include <cstdio>
#include <cstdlib>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/form_values.h"

namespace kestrel {

namespace {

constexpr float kDegreesPerPixel = 0.066667f;

float letterSign(char letter) { return letter == 'N' || letter == 'W' ? -1.0f : 1.0f; }

// The number from the third character on ("N 50.0" -> 50.0); 0 when short.
float coordinate(const std::string& text) {
  return text.size() > 2 ? std::strtof(text.c_str() + 2, nullptr) : 0.0f;
}

int integer(const std::string& text) {
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (v > 1000000) v = 1000000;  // keeps the box arithmetic far from overflow
  if (v < -1000000) v = -1000000;
  return static_cast<int>(v);
}

std::string hiddenInput(const char* name, int value) {
  return std::string("<input type=\"hidden\" name=\"") + name + "\" value=\"" +
         std::to_string(value) + "\">\n";
}

// Separators would let the image name leave its directory.
std::string fileSafe(std::string text) {
  for (char& c : text) {
    if (c == '/' || c == '\\') c = '_';
  }
  return text;
}

}  // namespace

std::optional<MapForm> readMapForm(const FormValues& form) {
  auto which = form.lookup("whichMap");
  auto boxX = form.lookup("boxX");
  auto boxY = form.lookup("boxY");
  auto boxWidth = form.lookup("boxWidth");
  auto boxHeight = form.lookup("boxHeight");
  auto latitude = form.lookup("boxLatitude");
  auto longitude = form.lookup("boxLongitude");
  if (!which || !boxX || !boxY || !boxWidth || !boxHeight || !latitude || !longitude) {
    logLine("doPost: didn't get expected form field values");
    return std::nullopt;
  }
  MapForm out;
  MapBox& box = out.box;
  int x = integer(*boxX), y = integer(*boxY), w = integer(*boxWidth), h = integer(*boxHeight);
  box.latitudeLetter = latitude->empty() ? '\0' : (*latitude)[0];
  box.longitudeLetter = longitude->empty() ? '\0' : (*longitude)[0];
  box.latitudeStart = coordinate(*latitude);
  box.latitudeEnd = box.latitudeStart +
                    static_cast<float>(h) * letterSign(box.latitudeLetter) * kDegreesPerPixel;
  box.longitudeStart = coordinate(*longitude);
  box.longitudeEnd = box.longitudeStart +
                     static_cast<float>(w) * letterSign(box.longitudeLetter) * kDegreesPerPixel;
  logText("got whichMap", which->c_str());
  logText("got x", boxX->c_str());
  logText("got y", boxY->c_str());
  logText("got width", boxWidth->c_str());
  logText("got height", boxHeight->c_str());
  char line[200];
  std::snprintf(line, sizeof line, "latitude %f to %f, longitude %f to %f",
                static_cast<double>(box.latitudeStart), static_cast<double>(box.latitudeEnd),
                static_cast<double>(box.longitudeStart), static_cast<double>(box.longitudeEnd));
  logLine(line);
  box.width = w;
  box.height = h;
  out.whichMap = *which;
  out.imageName = "generated/" + fileSafe(*which) + "_" + fileSafe(*boxX) + "_" +
                  fileSafe(*boxY) + "_" + fileSafe(*boxWidth) + "_" + fileSafe(*boxHeight) +
                  ".GIF";
  int x1 = x / 3 - 200;
  int y1 = 100 - y / 3;
  int x2 = x1 + w / 3;
  int y2 = y1 - h / 3;
  logNumber("y before anything:", y);
  logNumber("rescaled Y: ", y / 3);
  logNumber("remapped to go from 200 to -200", y1);
  box.hiddenBlock = hiddenInput("x1", x1) + hiddenInput("y1", y1) + hiddenInput("x2", x2) +
                    hiddenInput("y2", y2);
  return out;
}

MapBox MapRegion::get() const {
  MutexLock lock(mutex_);
  return box_;
}

void MapRegion::set(const MapBox& box) {
  MutexLock lock(mutex_);
  box_ = box;
}

MapRegion& mapRegion() {
  static MapRegion* region = new MapRegion;  // never destroyed: threads may outlive main
  return *region;
}

}  // namespace kestrel
