#include "viewer/shell/scene_file_loaders.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "viewer/browser/file_input.h"
#include "viewer/browser/gzip_input.h"
#include "viewer/engine/engine.h"
#include "viewer/engine/state_file.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/media/model_formats.h"
#include "viewer/shell/mesh_processor.h"
#include "viewer/shell/scene_block.h"
#include "viewer/shell/sphere_processor.h"
#include "viewer/shell/text_files.h"

namespace kestrel {
namespace {

bool endsWith(const std::string& path, const char* suffix, bool anyCase = false) {
  std::string s(suffix);
  if (path.size() < s.size()) return false;
  std::string end = path.substr(path.size() - s.size());
  if (!anyCase) return end == s;
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == s;
}

bool hasSeparator(const std::string& path) { return path.find_first_of("/\\") != std::string::npos; }

// Whether PATH names a VRML world by its suffix: ".wrl" and the compressed
// ".wrl.gz" and ".wrz", in any letter case.
bool isVrmlName(const std::string& path) {
  return endsWith(path, ".wrl", true) || endsWith(path, ".wrl.gz", true) ||
         endsWith(path, ".wrz", true);
}

// The lines of TEXT without their "\n" or "\r\n" endings.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = std::min(text.find('\n', start), text.size());
    size_t stop = end > start && text[end - 1] == '\r' ? end - 1 : end;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

// The lines of the VRML file PATH, inflated when it is gzip-compressed; an
// empty optional with the reason in WHY when it cannot be read.
std::optional<std::vector<std::string>> readVrmlLines(const std::string& path, uint64_t maxBytes,
                                                      std::string& why) {
  if (isGzipFile(path)) {
    if (!withinLoadSize(path, maxBytes, &why)) return std::nullopt;
    size_t limit = static_cast<size_t>(std::min<uint64_t>(maxBytes, kMaxSceneFileBytes));
    std::string text;
    FileRead read = readSceneText(path, limit, text);
    if (read == FileRead::kOk) return splitLines(text);
    why = read == FileRead::kInflatedTooLarge
              ? "expands to more than " + std::to_string(limit) +
                    " bytes when uncompressed (--max-load-size)"
              : refusalText(read, limit);
    if (why.empty()) why = "cannot be read";
    return std::nullopt;
  }
  TextFile file = openTextFile(path, &why, maxBytes);
  if (!file) return std::nullopt;
  std::vector<std::string> lines;
  while (std::optional<std::string> line = readWholeLine(file.get())) {
    lines.push_back(std::move(*line));
  }
  return lines;
}

void logCannotRead(const char* what, const std::string& path, const std::string& why) {
  std::string message = std::string("could not read ") + what + " (" + why + "):";
  logText(message.c_str(), path.c_str());
}

}  // namespace

SceneFileLoaders::SceneFileLoaders(Engine& engine, InternalCommandQueue& primary,
                                   std::string renderRoot)
    : engine_(engine),
      primary_(primary),
      resolver_(std::move(renderRoot)),
      maxLoadSize_(kDefaultMaxLoadSize) {}

std::string SceneFileLoaders::localPath(const std::string& path) const {
  std::string folded = path.substr(0, 17);
  for (char& c : folded) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string local;
  if (folded == "c:/corvid/render/" && resolver_.resolve(path, "", local)) return local;
  return path;
}

void SceneFileLoaders::openSceneFile(const std::string& path) {
  logText("OPEN FILE:", path.c_str());
  if (path.size() > 4) {
    if (isVrmlName(path)) {
      loadVrmlFile(path);
      logLine("WRL FILE LINES HAVE BEEN QUEUED");
      return;
    }
    if (endsWith(path, ".sphere")) {
      logLine("Opening sphere file");
      return loadSphereFile(path);
    }
    if (endsWith(path, ".state")) {
      logLine("Opening state file");
      return loadStateFile(path);
    }
    if (endsWith(path, ".mesh")) {
      logLine("Opening mesh file");
      return loadMeshFile(path);
    }
    if (endsWith(path, ".jpg") || endsWith(path, ".JPG")) {
      logLine("Opening jpg file");
      return setImageFile(path);
    }
    if (endsWith(path, ".png") || endsWith(path, ".PNG")) {
      logLine("Opening png file");
      return setImageFile(path);
    }
  }
  if (isModelFileName(path)) {
    logLine("Opening model file");
    return loadModelFile(path);
  }
  // Compressed VRML under any other name.
  if (isGzipFile(localPath(path))) {
    loadVrmlFile(path);
    logLine("WRL FILE LINES HAVE BEEN QUEUED");
    return;
  }
  loadCommandFile(path);
}

std::string SceneFileLoaders::vrmlSetInfo() {
  if (const std::optional<std::string>& v = engine_.infoText()) {
    logText("Creating a setInfo based on last label value", v->c_str());
    return "info " + *v;
  }
  logLine("setInfo but no real value");
  return "not set";
}

void SceneFileLoaders::loadVrmlFile(const std::string& path) {
  engine_.setFastMode(true);
  logLine("Adding openvrml file command");
  logLine(path.c_str());
  SceneBlock block;
  block.setInfo = vrmlSetInfo();
  std::string first = localPath(path), fallback, why;
  std::optional<std::vector<std::string>> lines = readVrmlLines(first, maxLoadSize_, why);
  std::string source = first;
  if (!lines && !hasSeparator(path)) {
    fallback = localPath("C:/corvid/render/vrml/" + path);
    lines = readVrmlLines(fallback, maxLoadSize_, why);
    source = fallback;
  }
  if (!lines) {
    if (fallback.empty()) {
      logCannotRead("VRML file", first, why);
    } else {
      std::string message = "could not read VRML file (" + why + "), tried:";
      logTexts(message.c_str(), first.c_str(), fallback.c_str());
    }
    primary_.put(cmd::kSetInfo, block.setInfo->c_str());
    return;
  }
  block.name = baseName(path);
  std::string image = engine_.currentImageFile();
  for (std::string& line : *lines) {
    if (line != "addtexture") {
      block.pieces.push_back(std::move(line));
    } else if (!image.empty()) {
      block.pieces.push_back("texture ImageTexture { url \"" + image + "\" }");
    }
  }
  queueSceneBlock(primary_, BlockRoute::kSuspended, block, source);
}

void SceneFileLoaders::loadSphereFile(const std::string& path) {
  std::string why;
  TextFile file = openTextFile(localPath(path), &why, maxLoadSize_);
  if (!file) return logCannotRead("sphere file", path, why);
  SceneBlock block{path, baseName(path), {}};
  SphereProcessor processor;
  processor.reset(block.name);
  engine_.setCurrentObjectName(block.name);
  while (std::optional<std::string> line = readWholeLine(file.get())) {
    processor.convertLine(*line, block.pieces);
  }
  SphereProcessor::finish(block.pieces);
  queueSceneBlock(primary_, BlockRoute::kPriority, block);
  logLine("DONE WITH PUTTING SPHERE IN COMMAND QUEUE");
}

void SceneFileLoaders::loadMeshFile(const std::string& path) {
  std::string why;
  TextFile file = openTextFile(localPath(path), &why, maxLoadSize_);
  if (!file) return logCannotRead("mesh file", path, why);
  SceneBlock block{path, baseName(path), {}};
  MeshProcessor mesh;
  mesh.reset(block.name);
  while (std::optional<std::string> line = readWholeLine(file.get())) mesh.addLine(*line);
  file.reset();
  std::string image = engine_.currentImageFile();
  if (!mesh.generate(image.empty() ? std::nullopt : std::optional(image), block.pieces)) return;
  queueSceneBlock(primary_, BlockRoute::kPriority, block);
  logLine("DONE WITH PUTTING MESH IN COMMAND QUEUE");
}

void SceneFileLoaders::setImageFile(const std::string& path) {
  std::string image = hasSeparator(path) ? path : "C:/corvid/render/textures/" + path;
  engine_.setCurrentImageFile(image);
  logText("image file: ", image.c_str());
}

void SceneFileLoaders::loadStateFile(const std::string& path) {
  std::string why;
  if (!withinLoadSize(localPath(path), maxLoadSize_, &why)) {
    return logCannotRead("state file", path, why);
  }
  if (!loadState(engine_.registry(), localPath(path))) {
    logText("could not load state file", path.c_str());
  }
}

void SceneFileLoaders::loadCommandFile(const std::string& path) {
  const std::optional<std::string>& last = engine_.lastCommandFile();
  if (last && *last == path) {
    logText("NOT OPENING, FILE ALREADY OPEN", last->c_str());
    return;
  }
  std::string why;
  std::string local = localPath(path);
  if (!openTextFile(local, &why, maxLoadSize_)) return logCannotRead("command file", path, why);
  engine_.setLastCommandFile(path);
  CommandFileFeed feed;
  if (!feed.open(local, engine_.commandFileDepth() + 1)) return;
  feeds_.push_back(std::move(feed));
  continueReading();
}

float SceneFileLoaders::modelScale() const {
  std::optional<std::string> text = engine_.info().lookupText("model_scale");
  if (!text) return 1;
  char* end = nullptr;
  float scale = std::strtof(text->c_str(), &end);
  if (end != text->c_str() && std::isfinite(scale) && scale > 0) return scale;
  logText("model_scale is no positive number, models are not scaled:", text->c_str());
  return 1;
}

void SceneFileLoaders::loadModelFile(const std::string& path) {
  ModelImportOptions options;
  options.maxFileBytes = static_cast<size_t>(maxLoadSize_);
  options.objectName = baseName(path);
  options.textureCacheDir = kModelTextureCache;
  options.scale = modelScale();
  ModelVrml model;
  std::string why;
  if (!importModelFile(localPath(path), options, model, why)) {
    return logCannotRead("model file", path, why);
  }
  engine_.setFastMode(true);
  SceneBlock block{vrmlSetInfo(), options.objectName, std::move(model.pieces)};
  queueSceneBlock(primary_, BlockRoute::kSuspended, block);
  logNumber("MODEL FILE HAS BEEN QUEUED AS VRML, TRIANGLES:", static_cast<int>(model.triangles));
}

SceneTextReader sceneTextReader(bool writeImages) {
  return [writeImages](const std::string& path, SceneText& text, std::string& problem) {
    if (!isModelFileName(path)) return readSceneTextOrSayWhy(path, text, problem);
    ModelImportOptions options;
    options.maxFileBytes = kMaxSceneFileBytes;
    options.objectName = baseName(path);
    if (writeImages) options.textureCacheDir = kModelTextureCache;
    ModelVrml model;
    if (!importModelFile(path, options, model, problem)) return false;
    text = blockText(model.pieces);
    return true;
  };
}

void SceneFileLoaders::continueReading() {
  while (!feeds_.empty()) {
    if (feeds_.front().feed(primary_, kLoadPieceBytes)) return;
    feeds_.pop_front();
  }
}

}  // namespace kestrel
