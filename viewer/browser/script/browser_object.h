// The Browser object and print() of a script. print and setDescription
// write to kestrel.log. The scene belongs to the command language that
// built it, so loadURL and replaceWorld do not replace it: each call is
// logged and ignored. createVrmlFromString/URL make nodes that start
// running (their TimeSensors and Scripts) as they are made.
#pragma once

#include <duktape.h>

namespace kestrel {

// Defines Browser and print in CTX.
void installBrowserObject(duk_context* ctx);

}  // namespace kestrel
