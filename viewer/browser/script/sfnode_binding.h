// SFNode objects: a script's view of a scene node. Reading a member gives
// its value (a field, an exposedField, or the last value of an eventOut);
// assigning an eventIn or exposedField (by its name, "set_" + name, or
// addChildren ...) sends that event into the cascade running now, and
// assigning a plain field changes it. new SFNode(vrmlText) makes a node
// from VRML text. One object per node and script, so == compares nodes.
#pragma once

#include <duktape.h>

#include "viewer/browser/node.h"

namespace kestrel {

// Defines the SFNode class in CTX (after the ECMAScript classes).
void installSFNode(duk_context* ctx);

// Pushes the SFNode object of NODE (null for no node).
void pushSFNode(duk_context* ctx, const NodePtr& node);
// The node of the SFNode object (or null/undefined) at IDX; false for any
// other value.
bool readSFNode(duk_context* ctx, duk_idx_t idx, NodePtr& node);

// Sends VALUE into member FIELD of NODE from the script in CTX: into the
// running cascade, or a cascade of its own when none runs.
void sendFromScript(duk_context* ctx, const NodePtr& node, int field, FieldValue value);

}  // namespace kestrel
