// Where an Anchor leads, and the Viewpoints a world offers to jump to.
//
// An Anchor's first url decides: "#Name" binds the Viewpoint DEF'd Name; a
// VRML file (.wrl, .wrz, .wrl.gz, also with "#Name" after it) is another
// world, which replaces the loaded one only when the user agrees; anything
// else is for the desktop to open (a web page, a picture...).
#pragma once

#include <string>
#include <vector>

#include "viewer/browser/events.h"

namespace kestrel {

struct AnchorLink {
  enum class Target { None, Viewpoint, World, Elsewhere } target = Target::None;
  std::string url;          // as written (Viewpoint: the name without '#')
  std::string description;  // the Anchor's description
};

AnchorLink anchorLink(const Node& anchor);

// Sends set_bind TRUE to VIEWPOINT (a Viewpoint) in CASCADE; false when it
// is null or not a Viewpoint.
bool bindViewpoint(const NodePtr& viewpoint, Cascade& cascade);

// The Viewpoints of the world, in the order the file has them, including
// those in loaded Inlines and PROTO instances.
std::vector<NodePtr> viewpointsOf(const std::vector<NodePtr>& roots);
// What a menu calls VIEWPOINT: its description, else its DEF name, else
// "Viewpoint N" (N = INDEX + 1).
std::string viewpointLabel(const Node& viewpoint, size_t index);

}  // namespace kestrel
