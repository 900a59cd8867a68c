#include "viewer/browser/vrml_browser.h"

#include "viewer/browser/events.h"
#include "viewer/browser/world.h"

namespace kestrel {

CVrmlBrowser::CVrmlBrowser(std::string renderRoot)
    : world_(std::make_shared<World>(std::move(renderRoot))) {}

CVrmlBrowser::~CVrmlBrowser() { world_->clear(); }

bool CVrmlBrowser::createFromString(std::string_view text, VrmlContent& content) {
  content.reset();
  auto scene = std::make_shared<Scene>();
  if (!world_->parseContent(text, *scene, lastError_)) return false;
  content.scene_ = std::move(scene);
  return true;
}

bool CVrmlBrowser::createFromFile(const std::string& path, VrmlContent& content) {
  content.reset();
  auto scene = std::make_shared<Scene>();
  if (!world_->parseFile(path, *scene, lastError_)) return false;
  content.scene_ = std::move(scene);
  return true;
}

bool CVrmlBrowser::createFromFileText(std::string_view text, const TextOrigin& origin,
                                      VrmlContent& content) {
  content.reset();
  auto scene = std::make_shared<Scene>();
  if (!world_->parseFileText(text, origin, *scene, lastError_)) return false;
  content.scene_ = std::move(scene);
  return true;
}

bool CVrmlBrowser::appendToRoot(VrmlContent& content) {
  if (!content.valid()) return false;
  world_->appendRoots(std::move(*content.scene_));
  content.reset();
  return true;
}

bool CVrmlBrowser::removeAllRoots() {
  world_->clear();
  return true;
}

bool CVrmlBrowser::findNode(std::string_view name, NodeHandle& node) const {
  NodePtr n = world_->find(name);
  node = NodeHandle(n);
  return n != nullptr;
}

bool CVrmlBrowser::findInlineNode(const NodeHandle& inlineNode, std::string_view name,
                                  NodeHandle& node) const {
  node = NodeHandle();
  if (!inlineNode.valid() || !inlineNode.node()->extras().inlineScene) return false;
  node = NodeHandle(inlineNode.node()->extras().inlineScene->names.find(name));
  return node.valid();
}

bool CVrmlBrowser::field(const NodeHandle& node, std::string_view name,
                         FieldHandle& out) const {
  out = FieldHandle();
  if (!node.valid()) return false;
  int i = node.node()->type->findField(name);
  if (i < 0) return false;
  out = FieldHandle(world_, node.node(), i);
  return true;
}

template <class H>
bool CVrmlBrowser::typed(const NodeHandle& node, std::string_view name, FieldType type,
                         H& out) const {
  out = H();
  FieldHandle any;
  if (!field(node, name, any) || any.type() != type) return false;
  out = H(world_, node.node(), node.node()->type->findField(name));
  return true;
}

bool CVrmlBrowser::field(const NodeHandle& n, std::string_view name, SFVec3fHandle& out) const {
  return typed(n, name, FieldType::SFVec3f, out);
}
bool CVrmlBrowser::field(const NodeHandle& n, std::string_view name, SFColorHandle& out) const {
  return typed(n, name, FieldType::SFColor, out);
}
bool CVrmlBrowser::field(const NodeHandle& n, std::string_view name,
                         SFRotationHandle& out) const {
  return typed(n, name, FieldType::SFRotation, out);
}
bool CVrmlBrowser::field(const NodeHandle& n, std::string_view name, SFFloatHandle& out) const {
  return typed(n, name, FieldType::SFFloat, out);
}
bool CVrmlBrowser::field(const NodeHandle& n, std::string_view name, SFInt32Handle& out) const {
  return typed(n, name, FieldType::SFInt32, out);
}
bool CVrmlBrowser::field(const NodeHandle& n, std::string_view name,
                         SFStringHandle& out) const {
  return typed(n, name, FieldType::SFString, out);
}
bool CVrmlBrowser::field(const NodeHandle& n, std::string_view name,
                         MFStringHandle& out) const {
  return typed(n, name, FieldType::MFString, out);
}
bool CVrmlBrowser::field(const NodeHandle& n, std::string_view name, MFNodeHandle& out) const {
  return typed(n, name, FieldType::MFNode, out);
}

void CVrmlBrowser::advanceTime(double now) { world_->advanceTime(now); }
double CVrmlBrowser::now() const { return world_->now(); }
void CVrmlBrowser::setMediaProbe(
    std::function<double(const std::string& path, NodeKind kind)> probe) {
  world_->setMediaProbe(std::move(probe));
}
double CVrmlBrowser::mediaPosition(const Node& clip) const { return world_->mediaPosition(clip); }
double CVrmlBrowser::mediaDuration(const Node& clip) const { return world_->mediaDuration(clip); }
bool CVrmlBrowser::clipsRunning(NodeKind kind) const { return world_->clipsRunning(kind); }

Cascade CVrmlBrowser::cascade() { return Cascade(world_->now(), &world_->changes(), world_.get()); }
const Scene& CVrmlBrowser::scene() const { return world_->scene(); }
BoundNodes CVrmlBrowser::boundNodes() const { return world_->bound(); }
std::vector<NodePtr> CVrmlBrowser::viewpointStack() const { return world_->stacks().stack(0); }
void CVrmlBrowser::viewerMoved(const ViewerPose& pose) { world_->viewerMoved(pose); }
void CVrmlBrowser::viewerCollided(const Node* group) { world_->viewerCollided(group); }
const SceneChanges& CVrmlBrowser::changes() const { return world_->changes(); }

const UrlResolver& CVrmlBrowser::resolver() const { return world_->resolver(); }

}  // namespace kestrel
