// The browser's live scene: the root statements, the DEF-name index over
// every node that entered the scene, the TimeSensors the clock drives, the
// loaded Inlines, the running Scripts and the browser clock.
//
// Owned by CVrmlBrowser and shared with the field handles it gives out, so
// a handle stays usable (and harmless) after the browser is gone. Window
// thread only; nothing here locks.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/browser/bindable_stacks.h"
#include "viewer/browser/environment_sensors.h"
#include "viewer/browser/events.h"
#include "viewer/browser/media_time.h"
#include "viewer/browser/parse_error.h"
#include "viewer/browser/scene.h"
#include "viewer/browser/scene_changes.h"
#include "viewer/browser/text_origin.h"
#include "viewer/browser/url_resolver.h"

namespace kestrel {

class World : public CascadeHost {
 public:
  explicit World(std::string renderRoot) : resolver_(std::move(renderRoot)) {}

  // Parses TEXT ("#VRML V2.0 utf8" optional) as content not yet in the
  // scene; strict: the first problem fails it.
  bool parseContent(std::string_view text, Scene& content, ParseError& error) const;
  // Parses the file at PATH (header required, gzip inflated) leniently:
  // what cannot be read is skipped with a log line each (as for Inlines and
  // the EXTERNPROTO files they name); relative URLs resolve against the
  // file's directory.
  bool parseFile(const std::string& path, Scene& content, ParseError& error) const;

  // Parses TEXT, the lines of the file ORIGIN names (perhaps inside other
  // text), as parseFile reads that file; header optional.
  bool parseFileText(std::string_view text, const TextOrigin& origin, Scene& content,
                     ParseError& error) const;

  // Moves CONTENT's statements to the end of the root list.
  void appendRoots(Scene&& content);
  // Makes CONTENT's top-level nodes part of the scene below another node
  // (the caller puts them into the node's field): indexes their names,
  // loads their Inlines, and registers their TimeSensors.
  void adopt(Scene& content);
  // Empties the scene: roots, names, sensors.
  void clear();

  // The node named NAME anywhere in the scene, or null (latest DEF wins).
  NodePtr find(std::string_view name) const;
  size_t nameCount() const { return names_.size(); }

  const Scene& scene() const { return scene_; }
  const UrlResolver& resolver() const { return resolver_; }

  // What changed in the scene so far (fields written, roots added or removed).
  SceneChanges& changes() { return changes_; }

  double now() const { return now_; }
  // Clock steps per second over the last step (0 before two steps).
  double frameRate() const { return lastStep_ > 0 ? 1 / lastStep_ : 0; }
  // Moves the clock to NOW and runs every TimeSensor, AudioClip and
  // MovieTexture; the clock never goes back.
  void advanceTime(double now);

  // The nodes bound now (after taking nodes that left the scene off their stacks).
  BoundNodes bound();
  const BindableStacks& stacks() const { return stacks_; }
  // The viewer is at POSE: the ProximitySensors and VisibilitySensors answer.
  void viewerMoved(const ViewerPose& pose);
  // The viewer ran into geometry of the Collision node GROUP: its collideTime.
  void viewerCollided(const Node* group);

  // set_bind events go to the binding stacks; a new url reloads an Inline.
  bool receive(const NodePtr& node, int field, const FieldValue& value,
               Cascade& cascade) override;

  // The length in seconds of the sound or movie file at PATH (a local
  // path), or -1 when it cannot be read. Asked once per AudioClip and
  // MovieTexture as it enters the scene, for its URLs in order.
  using MediaProbe = std::function<double(const std::string& path, NodeKind kind)>;
  void setMediaProbe(MediaProbe probe) { probe_ = std::move(probe); }
  // Where CLIP (an AudioClip or MovieTexture in the scene) is in its file,
  // in seconds; 0 for any other node.
  double mediaPosition(const Node& clip) const;
  // CLIP's file length in seconds, -1 when unknown or not a clip in the scene.
  double mediaDuration(const Node& clip) const;
  // Whether a clip of KIND (AudioClip or MovieTexture) is running.
  bool clipsRunning(NodeKind kind) const;

 private:
  void enter(const std::vector<NodePtr>& roots, const std::string& baseDir,
             const std::string& url, int inlineDepth);
  void loadInline(const NodePtr& node, const std::string& baseDir, int inlineDepth);
  void reloadInline(const NodePtr& node, Cascade& cascade);
  // Bound nodes that left the scene since the last look leave their stacks.
  void unbindRemoved();
  void unbindRemoved(Cascade& cascade);
  // VISIT(node) for every node of the scene, PROTO bodies and Inlines included.
  template <class Visit>
  void forEachSceneNode(Visit&& visit) const;

  Scene scene_;
  NameTable names_;
  std::vector<std::weak_ptr<Node>> sensors_;
  std::vector<std::weak_ptr<Node>> viewerSensors_;  // Proximity and Visibility
  BindableStacks stacks_;
  uint64_t stacksCheckedAt_ = 0;  // changes_.detached when the stacks were last pruned
  struct Clip {
    std::weak_ptr<Node> node;
    MediaClock clock;
    std::string baseDir;            // where its relative urls resolve
    std::vector<std::string> urls;  // the url its duration was probed for
    bool probed = false;
  };
  void addClip(const NodePtr& node, const std::string& baseDir);
  // Probes the length of CLIP's file when its url is not the one last probed
  // (a new clip, or a script or route gave it another file); a new length
  // goes out as duration_changed at the next tick.
  void probeClip(const Node& node, Clip& clip) const;
  const Clip* clipOf(const Node& node) const;
  std::vector<Clip> clips_;
  MediaProbe probe_;
  std::vector<std::weak_ptr<Node>> holders_;
  std::vector<std::weak_ptr<Node>> scripts_;
  UrlResolver resolver_;
  double now_ = 0;
  double lastStep_ = 0;
  SceneChanges changes_;
  int inlineBudget_ = 0;
};

}  // namespace kestrel
