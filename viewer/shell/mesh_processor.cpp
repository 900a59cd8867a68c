#include "viewer/shell/mesh_processor.h"

#include <cstdio>

#include "viewer/engine/text_values.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

std::string faceText(long long a, long long b, long long c, long long d) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%lld %lld %lld %lld -1", a, b, c, d);
  return buffer;
}

std::string texturePoint(double s, double t) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%f %f", s, t);
  return buffer;
}

}  // namespace

void MeshProcessor::reset(const std::string& name) {
  name_ = name;
  rows_ = 0;
  columns_ = 0;
  points_.clear();
}

void MeshProcessor::addLine(const std::string& line) {
  if (rows_ != 0 && columns_ != 0) {
    points_.push_back(line);
    return;
  }
  size_t first = line.find(' ');
  size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
  if (second == std::string::npos) return;
  rows_ = integerValue(line.c_str() + first + 1);
  columns_ = integerValue(line.c_str() + second + 1);
}

long long MeshProcessor::numbersGiven() const {
  long long numbers = 0;
  for (const std::string& line : points_) {
    bool inNumber = false;
    for (char c : line) {
      bool blank = c == ' ' || c == '\t' || c == ',' || c == '\r';
      if (!blank && !inNumber) ++numbers;
      inNumber = !blank;
    }
  }
  return numbers;
}

bool MeshProcessor::generate(const std::optional<std::string>& imageFile,
                             std::vector<std::string>& pieces) {
  logText("MeshProcessor::generate", name_.c_str());
  if (rows_ <= 0 || columns_ <= 0) {
    logText("NOT QUEUED, MESH FILE HAS NO ROWS AND COLUMNS HEADER:", name_.c_str());
    return false;
  }
  long long vertices = static_cast<long long>(rows_) * columns_;
  if (vertices > numbersGiven() / 3) {
    logText("NOT QUEUED, MESH HAS FEWER POINTS THAN ROWS TIMES COLUMNS:", name_.c_str());
    return false;
  }
  if (imageFile) {
    pieces.push_back(
        "DirectionalLight {  direction 0 -1 0     ambientIntensity .7 } Shape { appearance "
        "Appearance { material DEF Mat_" + name_ +
        " Material { diffuseColor .4 .8 .5 }         texture ImageTexture { url [ \"" +
        *imageFile + "\" ] }}");
    pieces.emplace_back("geometry IndexedFaceSet { coord Coordinate { point [");
  } else {
    pieces.push_back("Shape { appearance Appearance { material DEF Mat_" + name_ +
                     " Material { emissiveColor 1 1 1 }}");
    pieces.emplace_back("geometry IndexedLineSet { coord Coordinate { point [");
  }
  pieces.insert(pieces.end(), points_.begin(), points_.end());
  logLine("] } coordIndex [");
  pieces.emplace_back("] } coordIndex [");
  if (imageFile) {
    generateTextured(*imageFile, pieces);
  } else {
    generatePlain(pieces);
  }
  return true;
}

void MeshProcessor::generateTextured(const std::string&, std::vector<std::string>& pieces) const {
  const long long r = rows_, c = columns_;
  for (long long q = 0; q + 1 < r; ++q) {
    for (long long k = c - 1; k >= 1; --k) {
      pieces.push_back(faceText(q * c + k - 1, q * c + k, (q + 1) * c + k, (q + 1) * c + k - 1));
    }
  }
  pieces.emplace_back("] texCoord TextureCoordinate { point [ ");
  // A single row or column has no extent to spread the image over: it
  // takes the image's first column (s = 0) or top row (t = 1).
  for (long long q = 0; q < r; ++q) {
    double t = r > 1 ? 1.0 - static_cast<double>(q) / static_cast<double>(r - 1) : 1.0;
    for (long long k = c - 1; k >= 0; --k) {
      double s = c > 1 ? static_cast<double>(k) / static_cast<double>(c - 1) : 0.0;
      pieces.push_back(texturePoint(s, t));
    }
  }
  pieces.emplace_back("]}}}");
}

void MeshProcessor::generatePlain(std::vector<std::string>& pieces) const {
  const long long r = rows_, c = columns_;
  for (long long q = 0; q < r; ++q) {
    std::string row;
    for (long long k = 0; k < c; ++k) row += std::to_string(q * c + k) + " ";
    pieces.push_back(row + "-1");
  }
  for (long long k = 0; k < c; ++k) {
    std::string column;
    for (long long q = 0; q < r; ++q) column += std::to_string(q * c + k) + " ";
    pieces.push_back(column + "-1");
  }
  pieces.emplace_back("] }}");
}

}  // namespace kestrel
