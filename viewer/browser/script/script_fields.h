// Field values between the scene and a script: each VRML97 type becomes
// the ECMAScript value or class object scripts expect (SFFloat a number,
// SFVec3f an SFVec3f, MFNode an MFNode of SFNode objects ...) and back.
#pragma once

#include <duktape.h>

#include "viewer/browser/field_value.h"

namespace kestrel {

// Pushes VALUE onto the stack of CTX as a new ECMAScript value.
void pushFieldValue(duk_context* ctx, const FieldValue& value);

// Reads the value at IDX as a value of TYPE into OUT. Numbers and strings
// are coerced as ECMAScript does; objects are read by member name or
// index; an MF type also takes a single element. False when the value
// cannot be one of TYPE (an SFVec3f from a string, an SFNode from a number).
bool readFieldValue(duk_context* ctx, duk_idx_t idx, FieldType type, FieldValue& out);

}  // namespace kestrel
