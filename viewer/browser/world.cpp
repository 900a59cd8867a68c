#include "viewer/browser/world.h"

#include "viewer/browser/events.h"
#include "viewer/browser/file_input.h"
#include "viewer/browser/parser.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// Inlines may include Inlines; a file that includes itself stops here.
constexpr int kMaxInlineDepth = 16;
// Files loaded for one piece of content, so Inlines that include each other
// twice over cannot multiply without end.
constexpr int kMaxInlineLoads = 1000;

// Every node of ROOTS, including the bodies of PROTO instances.
template <class Visit>
void forEachLiveNode(const std::vector<NodePtr>& roots, Visit&& visit) {
  std::vector<NodePtr> bodies;
  forEachNode(roots, [&](const NodePtr& n) {
    visit(n);
    for (const NodePtr& b : n->protoBody) bodies.push_back(b);
  });
  if (!bodies.empty()) forEachLiveNode(bodies, visit);
}

}  // namespace

bool World::parseContent(std::string_view text, Scene& content, ParseError& error) const {
  ParseOptions options;
  options.requireHeader = false;
  options.load = [this](const std::string& url, const std::string& base, std::string& t,
                        std::string& dir) { return resolver_.load(url, base, t, dir); };
  return parseVrml(text, options, content, error);
}

bool World::parseFile(const std::string& path, Scene& content, ParseError& error) const {
  std::string text;
  if (FileRead read = readSceneFile(path, text); read != FileRead::kOk) {
    std::string why = refusalText(read, kMaxSceneFileBytes);
    error = ParseError{0, 0, "cannot read " + path + (why.empty() ? "" : ": " + why)};
    return false;
  }
  ParseOptions options;
  options.baseDir = UrlResolver::directoryOf(path);
  options.load = [this](const std::string& url, const std::string& base, std::string& t,
                        std::string& dir) { return resolver_.load(url, base, t, dir); };
  return parseVrml(text, options, content, error);
}

void World::appendRoots(Scene&& content) {
  changes_.noteAdded();
  adopt(content);
  for (SceneItem& item : content.items) scene_.items.push_back(std::move(item));
  content.items.clear();
}

void World::adopt(Scene& content) {
  content.names.forEach(
      [this](std::string_view name, const NodePtr& node) { names_.assign(name, node); });
  for (auto& h : content.cycleHolders) holders_.push_back(h);
  content.cycleHolders.clear();
  inlineBudget_ = kMaxInlineLoads;
  enter(content.rootNodes(), content.baseDir, 0);
}

void World::enter(const std::vector<NodePtr>& roots, const std::string& baseDir,
                  int inlineDepth) {
  std::vector<NodePtr> inlines;
  forEachLiveNode(roots, [&](const NodePtr& n) {
    if (!n->type->standard) return;
    if (n->type->name == "TimeSensor") {
      sensors_.push_back(n);
    } else if (n->type->name == "Inline" && !n->inlineTried) {
      inlines.push_back(n);
    }
  });
  for (const NodePtr& n : inlines) loadInline(n, baseDir, inlineDepth);
}

void World::loadInline(const NodePtr& node, const std::string& baseDir, int inlineDepth) {
  node->inlineTried = true;
  const auto& urls = *node->field("url")->as<std::vector<std::string>>();
  if (urls.empty()) return;
  if (inlineDepth >= kMaxInlineDepth || inlineBudget_ <= 0) {
    logText("Inline nested too deeply, not loaded:", urls.front().c_str());
    return;
  }
  for (const std::string& url : urls) {
    std::string text, dir;
    if (!resolver_.load(url, baseDir, text, dir)) continue;
    --inlineBudget_;
    ParseOptions options;
    options.baseDir = dir;
    options.load = [this](const std::string& u, const std::string& base, std::string& t,
                          std::string& d) { return resolver_.load(u, base, t, d); };
    auto scene = std::make_shared<Scene>();
    ParseError error;
    if (!parseVrml(text, options, *scene, error)) {
      logTexts("Inline does not parse:", url.c_str(), error.text().c_str());
      return;
    }
    node->inlineScene = scene;
    enter(scene->rootNodes(), scene->baseDir, inlineDepth + 1);
    return;
  }
  logText("Inline file not found:", urls.front().c_str());
}

void World::clear() {
  changes_.noteCleared();
  scene_ = Scene{};
  names_.clear();
  sensors_.clear();
  breakCycles(holders_);
}

NodePtr World::find(std::string_view name) const {
  return names_.find(name);
}

void World::advanceTime(double now) {
  if (now > now_) now_ = now;
  Cascade cascade(now_, &changes_);
  size_t live = 0;
  for (size_t i = 0; i < sensors_.size(); ++i) {
    NodePtr s = sensors_[i].lock();
    if (!s) continue;
    sensors_[live++] = sensors_[i];
    tickTimeSensor(s, cascade);
  }
  sensors_.resize(live);
}

}  // namespace kestrel
