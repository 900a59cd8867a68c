// The ECMAScript classes scripts see for VRML97 field values: SFVec2f,
// SFVec3f, SFRotation, SFColor, SFImage, the MF classes and VrmlMatrix,
// written in ECMAScript (plain data objects the field conversions read
// and make). SFNode and Browser need the scene and live in
// sfnode_binding and browser_object.
#pragma once

#include <string_view>

#include <duktape.h>

namespace kestrel {

// Program texts defining the classes as globals.
std::string_view sfClassesSource();
std::string_view mfClassesSource();
std::string_view vrmlMatrixSource();

// Defines every class above, TRUE and FALSE in the heap of CTX; false when
// that fails (the error is left on the stack).
bool installScriptClasses(duk_context* ctx);

}  // namespace kestrel
