#include "viewer/engine/state_file.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "viewer/engine/file_replacement.h"
#include "viewer/engine/text_values.h"
#include "viewer/engine/visual_object_registry.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// The text with every carriage return and line feed turned into a blank.
std::string oneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

void writeVec3(std::FILE* f, const SFVec3fHandle& h) {
  Vec3f v;
  if (h.valid() && h.get(v)) {
    std::fprintf(f, "%f %f %f\n", static_cast<double>(v.x), static_cast<double>(v.y),
                 static_cast<double>(v.z));
  } else {
    std::fputs("0 0 0\n", f);
  }
}

void writeRecord(std::FILE* f, const std::string& name, const VisualObject& object) {
  std::fprintf(f, "%s\n", oneLine(name).c_str());
  writeVec3(f, object.translation);
  writeVec3(f, object.scale);
  float t = 0;
  if (object.transparency.valid() && object.transparency.get(t)) {
    std::fprintf(f, "%f\n", static_cast<double>(t));
  } else {
    std::fputs("0\n", f);
  }
  writeVec3(f, object.diffuseColor);
  writeVec3(f, object.emissiveColor);
  Rotation r;
  if (object.rotation.valid() && object.rotation.get(r)) {
    std::fprintf(f, "%f %f %f\n%f\n", static_cast<double>(r.x), static_cast<double>(r.y),
                 static_cast<double>(r.z), static_cast<double>(r.angle));
  } else {
    std::fputs("0 0 0\n0\n", f);
  }
  std::fprintf(f, "%s\n", object.infoText() ? oneLine(*object.infoText()).c_str() : "");
}

// "x y z": the text up to the first blank, between the first and second
// blank, and the rest; fewer than two blanks do not parse.
std::optional<Vec3f> parseThree(const std::string& line) {
  size_t first = line.find(' ');
  if (first == std::string::npos) return std::nullopt;
  size_t second = line.find(' ', first + 1);
  if (second == std::string::npos) return std::nullopt;
  return Vec3f{realValue(line.substr(0, first).c_str()),
               realValue(line.substr(first + 1, second - first - 1).c_str()),
               realValue(line.substr(second + 1).c_str())};
}

// The object whose name (with line breaks as blanks, as the file has it)
// is NAME.
VisualObject* objectNamed(const VisualObjectRegistry& registry, const std::string& name) {
  if (VisualObject* exact = registry.objectAt(registry.find(name))) return exact;
  for (int i = 0; i < registry.size(); ++i) {
    if (oneLine(registry.nameAt(i)) == name) return registry.objectAt(i);
  }
  return nullptr;
}

void applyRecord(std::FILE* f, VisualObject& object, int version) {
  std::optional<std::string> line;
  if ((line = readTextLine(f))) {
    if (auto v = parseThree(*line)) object.translation.set(*v);
  }
  if ((line = readTextLine(f))) {
    if (auto v = parseThree(*line)) object.scale.set(*v);
  }
  if ((line = readTextLine(f))) object.transparency.set(realValue(line->c_str()));
  if ((line = readTextLine(f))) {
    if (auto v = parseThree(*line)) object.diffuseColor.set(*v);
  }
  if ((line = readTextLine(f))) {
    if (auto v = parseThree(*line)) object.emissiveColor.set(*v);
  }
  if ((line = readTextLine(f))) {
    if (auto axis = parseThree(*line)) {
      if ((line = readTextLine(f))) {
        object.rotation.set(Rotation{axis->x, axis->y, axis->z, realValue(line->c_str())});
      }
    }
  }
  if (version == 2 && (line = readTextLine(f))) object.setInfoText(*line);
}

}  // namespace

bool saveState(const VisualObjectRegistry& registry, const std::string& path) {
  auto writeRecords = [&registry](std::FILE* f) {
    std::fputs("2\n", f);
    for (int i = 0; i < registry.size() && !std::ferror(f); ++i) {
      writeRecord(f, registry.nameAt(i), *registry.objectAt(i));
    }
    return !std::ferror(f);
  };
  std::string why;
  if (replaceFile(path, writeRecords, &why)) return true;
  std::string message = "state file not saved, the old one is kept: " + why;
  errorLine(message.c_str());
  logLine(message.c_str());
  return false;
}

bool loadState(VisualObjectRegistry& registry, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  std::optional<std::string> first = readTextLine(f);
  int version = first ? integerValue(first->c_str()) : 0;
  if (version != 1 && version != 2) {
    logNumber("Unexpected version", version);
    std::fclose(f);
    return false;
  }
  logLine("Loading state information");
  while (std::optional<std::string> name = readTextLine(f)) {
    if (VisualObject* object = objectNamed(registry, *name)) applyRecord(f, *object, version);
  }
  std::fclose(f);
  return true;
}

}  // namespace kestrel
