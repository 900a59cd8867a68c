// The MF classes: real arrays (so indexing and a settable length work as
// scripts expect) whose prototype chain adds the class and its toString.
// Elements past the end after length grows read as undefined; they become
// the type's zero value when the array is sent.
#include "viewer/browser/script/script_classes.h"

namespace kestrel {

std::string_view mfClassesSource() {
  return R"js(
function __mfClass(element) {
  var C = function () {
    var a = [];
    for (var i = 0; i < arguments.length; ++i) a.push(element(arguments[i]));
    Object.setPrototypeOf(a, C.prototype);
    return a;
  };
  C.prototype = Object.create(Array.prototype);
  C.prototype.constructor = C;
  C.prototype.toString = function () {
    return '[' + Array.prototype.map.call(this, function (e) { return String(e); }).join(', ') + ']';
  };
  return C;
}
function __same(v) { return v; }
function __int(v) { return __num(v) | 0; }
function __str(v) { return String(v); }
var MFFloat = __mfClass(__num), MFTime = __mfClass(__num), MFInt32 = __mfClass(__int);
var MFString = __mfClass(__str), MFNode = __mfClass(__same);
var MFVec2f = __mfClass(__same), MFVec3f = __mfClass(__same);
var MFRotation = __mfClass(__same), MFColor = __mfClass(__same);
)js";
}

}  // namespace kestrel
