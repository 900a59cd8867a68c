#include "viewer/shell/sphere_processor.h"

namespace kestrel {
namespace {

// The position of the Nth blank of TEXT (1-based), or npos.
size_t nthBlank(const std::string& text, int n) {
  size_t at = std::string::npos;
  for (int i = 0; i < n; ++i) {
    at = text.find(' ', at == std::string::npos ? 0 : at + 1);
    if (at == std::string::npos) return at;
  }
  return at;
}

}  // namespace

void SphereProcessor::reset(const std::string& name) {
  name_ = name;
  accepted_ = 0;
  materials_ = 0;
  lastColor_.clear();
  material_ = "Mat_" + name;
}

bool SphereProcessor::convertLine(const std::string& line, std::vector<std::string>& pieces) {
  size_t third = nthBlank(line, 3);
  size_t fourth = nthBlank(line, 4);
  if (fourth == std::string::npos) return false;
  std::string position = line.substr(0, third);
  std::string radius = line.substr(third + 1, fourth - third - 1);
  std::string color = line.substr(fourth + 1);

  if (++accepted_ == 1) {
    pieces.emplace_back(
        "Transform { children [ DirectionalLight { direction 0 -1 0 ambientIntensity 1 }");
  }
  if (color != lastColor_) {
    ++materials_;
    lastColor_ = color;
    material_ = materials_ == 1 ? "Mat_" + name_
                                : "Mat_" + name_ + "_" + std::to_string(materials_);
    pieces.push_back("Transform { translation " + position +
                     " children [ Shape { appearance Appearance { material DEF " + material_ +
                     " Material { diffuseColor " + color + " emissiveColor " + color +
                     " }} geometry Sphere { radius " + radius +
                     " }}]} Shape { appearance Appearance { material USE " + material_ +
                     " } geometry IndexedLineSet { coord Coordinate { point [ 0 0 0 " + position +
                     " ] } coordIndex [ 0 1 ] }}");
  } else {
    pieces.push_back("Transform { translation " + position +
                     " children [ Shape { appearance Appearance { material USE " + material_ +
                     " } geometry Sphere { radius " + radius +
                     " }}]} Shape { appearance Appearance { material USE " + material_ +
                     " } geometry IndexedLineSet { coord Coordinate { point [ 0 0 0 " + position +
                     " ] } coordIndex [ 0 1 ] }}");
  }
  return true;
}

}  // namespace kestrel
