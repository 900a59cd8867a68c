#include "viewer/browser/world.h"

#include <unordered_set>

#include "viewer/browser/events.h"
#include "viewer/browser/file_input.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/script/script_node_runner.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// Inlines may include Inlines; a file that includes itself stops here.
constexpr int kMaxInlineDepth = 16;
// Files loaded for one piece of content, so Inlines that include each other
// twice over cannot multiply without end.
constexpr int kMaxInlineLoads = 1000;

// Every node of ROOTS, including the bodies of PROTO instances, in file
// order (an instance's body right after the instance).
template <class Visit>
void forEachLiveNode(const std::vector<NodePtr>& roots, Visit&& visit) {
  forEachNode(roots, [&](const NodePtr& n) {
    visit(n);
    if (!n->extras().protoBody.empty()) forEachLiveNode(n->extras().protoBody, visit);
  });
}

// The URL fields that name files to show or play (Inlines resolve their
// own when they load, against the directory their content came from).
bool hasMediaUrls(NodeKind kind) {
  return kind == NodeKind::ImageTexture || kind == NodeKind::MovieTexture ||
         kind == NodeKind::AudioClip || kind == NodeKind::Background;
}

// Content read from a file joins a scene whose URLs resolve against the
// viewer's directory: its relative media URLs are made to name the files
// beside the file it came from.
void anchorMediaUrls(Node& node, const std::string& baseDir) {
  for (size_t i = 0; i < node.type->fields.size(); ++i) {
    if (node.type->fields[i].type != FieldType::MFString) continue;
    std::string_view name = node.type->fields[i].name;
    if (!name.ends_with("url") && !name.ends_with("Url")) continue;
    const auto* given = node.value(i).as<std::vector<std::string>>();
    if (given == nullptr || given->empty()) continue;
    for (std::string& url : *node.editValue(i).as<std::vector<std::string>>()) {
      if (UrlResolver::isRelative(url)) url = (baseDir.back() == '/' ? baseDir : baseDir + "/") + url;
    }
  }
}

// Warnings of a lenient file parse go to the log, one line each.
void logWarning(const ParseWarning& warning) {
  logText("VRML file problem skipped:", warning.text().c_str());
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
  SceneText text;
  if (FileRead read = readSceneFile(path, text); read != FileRead::kOk) {
    std::string why = refusalText(read, kMaxSceneFileBytes);
    error = ParseError{0, 0, "cannot read " + path + (why.empty() ? "" : ": " + why)};
    return false;
  }
  ParseOptions options;
  options.baseDir = UrlResolver::directoryOf(path);
  options.load = [this](const std::string& url, const std::string& base, std::string& t,
                        std::string& dir) { return resolver_.load(url, base, t, dir); };
  options.warn = logWarning;
  options.sourceName = path;
  options.parsedRange = [&text](size_t begin, size_t end) { text.dropPages(begin, end); };
  const bool parsed = parseVrml(text, options, content, error);
  if (text.cutShort()) {
    content = Scene{};
    error = ParseError{0, 0, "cannot read " + path + ": it was cut short while being read"};
    return false;
  }
  if (!parsed) return false;
  content.url = path;
  return true;
}

bool World::parseFileText(std::string_view text, const TextOrigin& origin, Scene& content,
                          ParseError& error) const {
  ParseOptions options;
  options.requireHeader = false;
  options.baseDir = UrlResolver::directoryOf(origin.file);
  options.load = [this](const std::string& url, const std::string& base, std::string& t,
                        std::string& dir) { return resolver_.load(url, base, t, dir); };
  options.sourceName = origin.file;
  const uint32_t shift = origin.firstLine > 0 ? origin.firstLine - 1 : 0;
  options.warn = [shift, file = origin.file](const ParseWarning& warning) {
    ParseWarning inFile = warning;
    // Lines of the surrounding text keep their own numbers, and warnings
    // of EXTERNPROTO files name theirs.
    if (inFile.file == file && inFile.line > shift) inFile.line -= shift;
    logWarning(inFile);
  };
  if (!parseVrml(text, options, content, error)) return false;
  content.url = origin.file;
  return true;
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
  if (!content.baseDir.empty()) {
    forEachLiveNode(content.rootNodes(), [&](const NodePtr& n) {
      if (n->type->standard && hasMediaUrls(n->type->kind)) anchorMediaUrls(*n, content.baseDir);
    });
  }
  enter(content.rootNodes(), content.baseDir, content.url, 0);
}

void World::enter(const std::vector<NodePtr>& roots, const std::string& baseDir,
                  const std::string& url, int inlineDepth) {
  std::vector<NodePtr> inlines, bindables, scripts;
  forEachLiveNode(roots, [&](const NodePtr& n) {
    if (!n->type->standard) return;
    if (n->type->name == "TimeSensor") {
      sensors_.push_back(n);
    } else if (isEnvironmentSensor(*n)) {
      viewerSensors_.push_back(n);
    } else if (BindableStacks::stackOf(*n) >= 0) {
      bindables.push_back(n);
    } else if (isMediaClip(*n)) {
      addClip(n, baseDir);
    } else if (n->type->name == "Inline") {
      n->editExtras().inlineBase = baseDir;
      if (!n->extras().inlineTried) inlines.push_back(n);
    } else if (n->type->script) {
      scripts.push_back(n);
      scripts_.push_back(n);
    }
  });
  if (!bindables.empty()) {
    // The content's own nodes bind before those of its Inlines.
    Cascade cascade(now_, &changes_, this);
    stacks_.entered(bindables, cascade);
  }
  for (const NodePtr& n : inlines) loadInline(n, baseDir, inlineDepth);
  startScripts(*this, scripts, ScriptOrigin{baseDir, url});
}

bool World::receive(const NodePtr& node, int field, const FieldValue& value,
                    Cascade& cascade) {
  const FieldDecl& decl = node->type->fields[size_t(field)];
  if (decl.name == "set_bind" && BindableStacks::stackOf(*node) >= 0) {
    if (const bool* bind = value.as<bool>()) stacks_.setBind(node, *bind, cascade);
    return true;
  }
  // An Inline not yet in the scene loads its url when it enters.
  if (node->type->kind == NodeKind::Inline && decl.name == "url" && node->extras().inlineTried) {
    cascade.storeAndReport(node, field, value);
    reloadInline(node, cascade);
    return true;
  }
  return false;
}

void World::reloadInline(const NodePtr& node, Cascade& cascade) {
  if (node->extras().inlineScene) {
    node->editExtras().inlineScene.reset();  // its nodes leave with it
    changes_.noteRemoved();
    unbindRemoved(cascade);  // before the new content binds its own
  }
  inlineBudget_ = kMaxInlineLoads;
  loadInline(node, node->extras().inlineBase, 0);
  if (node->extras().inlineScene) changes_.noteAdded();
}

void World::unbindRemoved() {
  if (changes_.detached == stacksCheckedAt_ || stacks_.empty()) return;
  Cascade cascade(now_, &changes_, this);
  unbindRemoved(cascade);
}

template <class Visit>
void World::forEachSceneNode(Visit&& visit) const {
  std::vector<NodePtr> roots = scene_.rootNodes();
  while (!roots.empty()) {
    std::vector<NodePtr> inlined;
    forEachLiveNode(roots, [&](const NodePtr& n) {
      visit(n);
      if (n->extras().inlineScene) {
        for (const NodePtr& r : n->extras().inlineScene->rootNodes()) inlined.push_back(r);
      }
    });
    roots = std::move(inlined);
  }
}

void World::unbindRemoved(Cascade& cascade) {
  std::unordered_set<const Node*> live;
  forEachSceneNode([&](const NodePtr& n) { live.insert(n.get()); });
  stacks_.keepOnly(live, cascade);
  stacksCheckedAt_ = changes_.detached;
}

BoundNodes World::bound() {
  unbindRemoved();
  return stacks_.bound();
}

void World::viewerCollided(const Node* group) {
  NodePtr found;
  forEachSceneNode([&](const NodePtr& n) {
    if (n.get() == group) found = n;
  });
  if (!found || found->type->kind != NodeKind::Collision) return;
  Cascade cascade(now_, &changes_, this);
  emitEventOut(found, "collideTime", FieldValue{FieldType::SFTime, now_}, cascade);
}

void World::viewerMoved(const ViewerPose& pose) {
  unbindRemoved();
  std::erase_if(viewerSensors_, [](const std::weak_ptr<Node>& s) { return s.expired(); });
  if (viewerSensors_.empty()) return;
  Cascade cascade(now_, &changes_, this);
  updateEnvironmentSensors(scene_.rootNodes(), pose, cascade);
}

void World::loadInline(const NodePtr& node, const std::string& baseDir, int inlineDepth) {
  node->editExtras().inlineTried = true;
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
    options.warn = logWarning;
    options.sourceName = url;
    auto scene = std::make_shared<Scene>();
    ParseError error;
    if (!parseVrml(text, options, *scene, error)) {
      logTexts("Inline does not parse:", url.c_str(), error.text().c_str());
      return;
    }
    node->editExtras().inlineScene = scene;
    enter(scene->rootNodes(), scene->baseDir, url, inlineDepth + 1);
    return;
  }
  logText("Inline file not found:", urls.front().c_str());
}

void World::clear() {
  changes_.noteCleared();
  stopScripts(*this, scripts_);
  // Scripts may have stored nodes that enclose them while they ran.
  breakCycles(scripts_);
  scripts_.clear();
  scene_ = Scene{};
  names_.clear();
  sensors_.clear();
  viewerSensors_.clear();
  stacks_.clear();
  stacksCheckedAt_ = changes_.detached;
  clips_.clear();
  breakCycles(holders_);
}

NodePtr World::find(std::string_view name) const {
  return names_.find(name);
}

void World::advanceTime(double now) {
  if (now > now_) {
    lastStep_ = now - now_;
    now_ = now;
  }
  unbindRemoved();
  Cascade cascade(now_, &changes_, this);
  size_t live = 0;
  for (size_t i = 0; i < sensors_.size(); ++i) {
    NodePtr s = sensors_[i].lock();
    if (!s) continue;
    sensors_[live++] = sensors_[i];
    tickTimeSensor(s, cascade);
  }
  sensors_.resize(live);
  live = 0;
  for (size_t i = 0; i < clips_.size(); ++i) {
    NodePtr clip = clips_[i].node.lock();
    if (!clip) continue;
    if (live != i) clips_[live] = std::move(clips_[i]);
    probeClip(*clip, clips_[live]);
    tickMediaClip(clip, clips_[live++].clock, cascade);
  }
  clips_.resize(live);
}

void World::addClip(const NodePtr& node, const std::string& baseDir) {
  if (clipOf(*node)) return;
  Clip clip{node, {}, baseDir, {}, false};
  probeClip(*node, clip);
  clips_.push_back(std::move(clip));
}

void World::probeClip(const Node& node, Clip& clip) const {
  const auto* urls = node.field("url")->as<std::vector<std::string>>();
  if (!urls || (clip.probed && clip.urls == *urls)) return;
  clip.probed = true;
  clip.urls = *urls;
  clip.clock.duration = -1;
  clip.clock.durationSent = false;
  for (size_t i = 0; probe_ && i < urls->size() && clip.clock.duration < 0; ++i) {
    std::string path;
    if (resolver_.resolve((*urls)[i], clip.baseDir, path)) {
      clip.clock.duration = probe_(path, node.type->kind);
    }
  }
}

const World::Clip* World::clipOf(const Node& node) const {
  for (const Clip& c : clips_) {
    if (c.node.lock().get() == &node) return &c;
  }
  return nullptr;
}

double World::mediaPosition(const Node& clip) const {
  const Clip* c = clipOf(clip);
  return c ? c->clock.position : 0;
}

bool World::clipsRunning(NodeKind kind) const {
  for (const Clip& c : clips_) {
    NodePtr n = c.node.lock();
    if (n && n->type->kind == kind && n->extras().sensorActive) return true;
  }
  return false;
}

double World::mediaDuration(const Node& clip) const {
  const Clip* c = clipOf(clip);
  return c ? c->clock.duration : -1;
}

}  // namespace kestrel
