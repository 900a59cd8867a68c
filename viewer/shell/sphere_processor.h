// SphereProcessor: turns the lines of a sphere file into the pieces of one
// data block. A sphere line is "x y z radius colour", fields separated by
// single blanks, the colour being everything after the fourth blank. Each
// sphere is drawn with a line from the origin to its centre; consecutive
// spheres of one colour share a material, a colour that comes back later
// gets a new one.
//
// Lives for one file; not thread-safe.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

class SphereProcessor {
 public:
  // Starts over for the object NAME.
  void reset(const std::string& name);
  // Appends the pieces of LINE to PIECES; false (nothing appended) when the
  // line has fewer than four blanks.
  bool convertLine(const std::string& line, std::vector<std::string>& pieces);
  // Appends the piece that closes the block.
  static void finish(std::vector<std::string>& pieces) { pieces.emplace_back("]}"); }

  int acceptedLines() const { return accepted_; }
  int materialCount() const { return materials_; }
  const std::string& materialName() const { return material_; }

 private:
  std::string name_;
  int accepted_ = 0;
  int materials_ = 0;
  std::string lastColor_;
  std::string material_;
};

}  // namespace kestrel
