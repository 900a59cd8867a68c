// Writing scenes and nodes back as VRML97 text: the parser's mirror.
//
// Fields at their default are left out; a node met a second time is
// written as USE of its DEF name; PROTO instances are written through their
// interface (their bodies follow from the PROTO). Numbers are written in
// the shortest form that reads back to the same value, so parsing the
// output gives the same graph.
#pragma once

#include <string>

#include "viewer/browser/scene.h"

namespace kestrel {

struct WriteResult {
  std::string text;
  // False when the graph cannot be written so that it reads back the same:
  // a node shared without a DEF name, or a name that a later DEF took over
  // before a USE or ROUTE of the earlier node.
  bool exact = true;
};

// The whole scene, starting with the "#VRML V2.0 utf8" header.
WriteResult writeScene(const Scene& scene);
// One node and everything below it, without a header.
WriteResult writeNode(const NodePtr& node);

}  // namespace kestrel
