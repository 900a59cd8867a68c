// Counters that tell a renderer what may have changed in a live scene
// since it last looked: compare them with the values seen at the last
// frame. They only ever grow. Window thread only, like the scene.
#pragma once

#include <cstdint>

#include "viewer/browser/node.h"

namespace kestrel {

struct SceneChanges {
  uint64_t any = 0;       // something that may change the picture
  uint64_t geometry = 0;  // meshes or textures made from scene nodes may be stale
  uint64_t replaced = 0;  // the root list was emptied
  uint64_t detached = 0;  // nodes may have left the scene (a node member lost nodes)

  // Member FIELD of NODE goes from BEFORE to AFTER. Node-valued members
  // that only gain nodes (an object appended to a group) keep the cached
  // meshes; one that loses nodes does not, as their memory may be reused.
  void noteField(const Node& node, const FieldValue& before, const FieldValue& after);
  void noteAdded() { ++any; }
  void noteRemoved() { ++any, ++geometry, ++detached; }
  void noteCleared() { ++any, ++geometry, ++replaced, ++detached; }
  void noteBinding() { ++any; }  // another node became bound
};

// True for nodes whose fields shape a mesh or a texture (geometry nodes,
// their coordinate, normal, colour and texture-coordinate nodes, font
// styles and textures).
bool shapesMeshOrTexture(const NodeType& type);

}  // namespace kestrel
