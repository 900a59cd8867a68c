// CVrmlBrowser: the facade through which the viewer drives its scene. It
// offers exactly what the viewer needs of a VRML browser: content created
// from VRML97 text, the root list, named-node lookup over the whole scene
// (and inside an Inline's scene), fields by name as typed handles, and the
// browser clock that runs TimeSensors and interpolators.
//
// Every operation reports success or failure and none throws. One browser
// and everything it hands out belong to the window thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "viewer/browser/bindable_stacks.h"
#include "viewer/browser/environment_sensors.h"
#include "viewer/browser/field_handles.h"
#include "viewer/browser/parse_error.h"
#include "viewer/browser/scene.h"
#include "viewer/browser/scene_changes.h"
#include "viewer/browser/text_origin.h"
#include "viewer/browser/url_resolver.h"

namespace kestrel {

class World;
class Cascade;  // events.h (not included here: Qt code includes this header)

// A node of the scene or of created content; "none" when default-made.
class NodeHandle {
 public:
  NodeHandle() = default;
  explicit NodeHandle(NodePtr node) : node_(std::move(node)) {}
  bool valid() const { return node_ != nullptr; }
  const NodePtr& node() const { return node_; }

 private:
  NodePtr node_;
};

// Content made from text and not yet in the scene. Field lookups on it
// reach its first top-level node. Appending it uses it up.
class VrmlContent {
 public:
  VrmlContent() = default;
  bool valid() const { return scene_ != nullptr; }
  // The first top-level node (none when the text held only PROTOs/ROUTEs).
  NodeHandle firstNode() const { return NodeHandle(scene_ ? scene_->firstNode() : nullptr); }
  const std::shared_ptr<Scene>& scene() const { return scene_; }
  void reset() { scene_.reset(); }

 private:
  friend class CVrmlBrowser;
  std::shared_ptr<Scene> scene_;
};

class CVrmlBrowser {
 public:
  // RENDERROOT: where "c:/corvid/render/" paths lead (see UrlResolver).
  explicit CVrmlBrowser(std::string renderRoot = {});
  ~CVrmlBrowser();
  CVrmlBrowser(const CVrmlBrowser&) = delete;
  CVrmlBrowser& operator=(const CVrmlBrowser&) = delete;

  // Parses TEXT ("#VRML V2.0 utf8" optional) into CONTENT. On failure
  // CONTENT is none and lastError() says where and why.
  bool createFromString(std::string_view text, VrmlContent& content);
  // Parses the scene file PATH into CONTENT; its relative URLs resolve
  // against the file's directory. Read leniently: what cannot be read is
  // skipped with a log line each.
  bool createFromFile(const std::string& path, VrmlContent& content);
  // Parses TEXT ("#VRML V2.0 utf8" optional), which holds the lines of the
  // file ORIGIN names, as that file is read: leniently, with warnings
  // naming the file's own lines, and relative URLs resolving against the
  // file's directory.
  bool createFromFileText(std::string_view text, const TextOrigin& origin,
                          VrmlContent& content);
  // Appends every top-level node (and PROTO, ROUTE) of CONTENT to the root
  // list: the nodes' names become findable, their Inlines load, their
  // TimeSensors start to run. CONTENT is used up.
  bool appendToRoot(VrmlContent& content);
  // Removes every root node; the scene is empty afterwards.
  bool removeAllRoots();

  // The node DEF'd NAME anywhere in the scene (latest DEF wins).
  bool findNode(std::string_view name, NodeHandle& node) const;
  // For an Inline node: the node DEF'd NAME in the scene it loaded.
  bool findInlineNode(const NodeHandle& inlineNode, std::string_view name,
                      NodeHandle& node) const;
  // Member NAME of NODE, untyped; also the typed lookups below, each of
  // which fails unless the member has exactly that VRML97 type.
  bool field(const NodeHandle& node, std::string_view name, FieldHandle& out) const;
  bool field(const NodeHandle& node, std::string_view name, SFVec3fHandle& out) const;
  bool field(const NodeHandle& node, std::string_view name, SFColorHandle& out) const;
  bool field(const NodeHandle& node, std::string_view name, SFRotationHandle& out) const;
  bool field(const NodeHandle& node, std::string_view name, SFFloatHandle& out) const;
  bool field(const NodeHandle& node, std::string_view name, SFInt32Handle& out) const;
  bool field(const NodeHandle& node, std::string_view name, SFStringHandle& out) const;
  bool field(const NodeHandle& node, std::string_view name, MFStringHandle& out) const;
  bool field(const NodeHandle& node, std::string_view name, MFNodeHandle& out) const;

  // The browser clock, in seconds. Advancing it runs TimeSensors and every
  // event that follows; it never goes back.
  void advanceTime(double now);
  double now() const;
  // A cascade at the browser's current time, for events from outside the
  // scene (the user's pointer, the window's menus); it counts what it
  // changes in changes().
  Cascade cascade();

  // The Viewpoint, Background, Fog and NavigationInfo on top of their
  // binding stacks (null where none is bound): what the renderer and the
  // navigation use.
  BoundNodes boundNodes() const;
  // The binding stack of Viewpoints, bottom first (e.g. for a menu of views).
  std::vector<NodePtr> viewpointStack() const;
  // The viewer is at POSE now; called once a frame by whoever shows the
  // scene (a window, a snapshot). ProximitySensors and VisibilitySensors
  // send their events at the browser's current time.
  void viewerMoved(const ViewerPose& pose);
  // The viewer ran into the geometry of the Collision node GROUP (one the
  // navigation reports): it sends collideTime. Other nodes are ignored.
  void viewerCollided(const Node* group);
  // AudioClip and MovieTexture: PROBE tells the length of their files as
  // they enter the scene (World::MediaProbe); the clock then keeps where
  // each clip is in its file (seconds) and whether it runs (isActive).
  void setMediaProbe(std::function<double(const std::string& path, NodeKind kind)> probe);
  double mediaPosition(const Node& clip) const;
  double mediaDuration(const Node& clip) const;
  // Whether an AudioClip (or MovieTexture, as KIND says) is playing.
  bool clipsRunning(NodeKind kind) const;

  // What changed in the scene so far: a renderer compares these counters
  // with the ones it saw at its last frame.
  const SceneChanges& changes() const;

  const ParseError& lastError() const { return lastError_; }
  // How the scene's URLs lead to local files (the render root included).
  const UrlResolver& resolver() const;
  // The live scene, e.g. for writing it out or rendering it.
  const Scene& scene() const;

 private:
  template <class H>
  bool typed(const NodeHandle& node, std::string_view name, FieldType type, H& out) const;

  std::shared_ptr<World> world_;
  ParseError lastError_;
};

}  // namespace kestrel
