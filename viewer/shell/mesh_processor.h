// MeshProcessor: turns a mesh file into the pieces of one data block. The
// file has a header line "word rows columns" and then one line per vertex,
// row by row. Without a current image file the mesh is drawn as one
// polyline per row and one per column; with one it is a textured face set
// (the texture runs right to left within each row, so the image appears
// mirrored left to right across the mesh).
//
// Lives for one file; not thread-safe.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrel {

class MeshProcessor {
 public:
  void reset(const std::string& name);
  // One line of the file: a header while rows or columns is 0 (a line with
  // fewer than two blanks is skipped), a point line afterwards.
  void addLine(const std::string& line);
  // Appends the mesh's pieces to PIECES, textured with IMAGE_FILE when there
  // is one. False (nothing appended, a log line) when no header with
  // positive rows and columns was read, or when the header asks for more
  // vertices than the point lines give, which would index points that do
  // not exist.
  bool generate(const std::optional<std::string>& imageFile, std::vector<std::string>& pieces);

  int rows() const { return rows_; }
  int columns() const { return columns_; }
  size_t pointLines() const { return points_.size(); }

 private:
  void generateTextured(const std::string& imageFile, std::vector<std::string>& pieces) const;
  void generatePlain(std::vector<std::string>& pieces) const;
  long long numbersGiven() const;

  std::string name_;
  int rows_ = 0;
  int columns_ = 0;
  std::vector<std::string> points_;
};

}  // namespace kestrel
