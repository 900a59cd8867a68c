// SFVec2f, SFVec3f, SFColor, SFRotation and SFImage. Each keeps its
// numbers as named members (x y z, r g b, x y z angle) that are also
// reachable by index, as scripts use both.
#include "viewer/browser/script/script_classes.h"

namespace kestrel {

std::string_view sfClassesSource() {
  return R"js(
var TRUE = true, FALSE = false;
function __num(v) { v = Number(v); return v === v ? v : 0; }
function __indexed(C, names) {
  names.forEach(function (n, i) {
    Object.defineProperty(C.prototype, String(i), {
      get: function () { return this[n]; },
      set: function (v) { this[n] = __num(v); }
    });
  });
}
function __text(o, names) {
  return names.map(function (n) { return String(o[n]); }).join(' ');
}

function SFVec2f(x, y) {
  if (!(this instanceof SFVec2f)) return new SFVec2f(x, y);
  x = +x; y = +y;  // __num without the calls: scripts make many of these
  this.x = x === x ? x : 0; this.y = y === y ? y : 0;
}
SFVec2f.prototype.add = function (v) { return new SFVec2f(this.x + v.x, this.y + v.y); };
SFVec2f.prototype.subtract = function (v) { return new SFVec2f(this.x - v.x, this.y - v.y); };
SFVec2f.prototype.multiply = function (s) { return new SFVec2f(this.x * s, this.y * s); };
SFVec2f.prototype.divide = function (s) { return new SFVec2f(this.x / s, this.y / s); };
SFVec2f.prototype.dot = function (v) { return this.x * v.x + this.y * v.y; };
SFVec2f.prototype.length = function () { return Math.sqrt(this.dot(this)); };
SFVec2f.prototype.negate = function () { return new SFVec2f(-this.x, -this.y); };
SFVec2f.prototype.normalize = function () {
  var l = this.length(); return l > 0 ? this.divide(l) : new SFVec2f(0, 0);
};
SFVec2f.prototype.toString = function () { return __text(this, ['x', 'y']); };
__indexed(SFVec2f, ['x', 'y']);

function SFVec3f(x, y, z) {
  if (!(this instanceof SFVec3f)) return new SFVec3f(x, y, z);
  x = +x; y = +y; z = +z;  // as __num
  this.x = x === x ? x : 0; this.y = y === y ? y : 0; this.z = z === z ? z : 0;
}
SFVec3f.prototype.add = function (v) { return new SFVec3f(this.x + v.x, this.y + v.y, this.z + v.z); };
SFVec3f.prototype.subtract = function (v) { return new SFVec3f(this.x - v.x, this.y - v.y, this.z - v.z); };
SFVec3f.prototype.multiply = function (s) { return new SFVec3f(this.x * s, this.y * s, this.z * s); };
SFVec3f.prototype.divide = function (s) { return new SFVec3f(this.x / s, this.y / s, this.z / s); };
SFVec3f.prototype.dot = function (v) { return this.x * v.x + this.y * v.y + this.z * v.z; };
SFVec3f.prototype.cross = function (v) {
  return new SFVec3f(this.y * v.z - this.z * v.y, this.z * v.x - this.x * v.z,
                     this.x * v.y - this.y * v.x);
};
SFVec3f.prototype.length = function () { return Math.sqrt(this.dot(this)); };
SFVec3f.prototype.negate = function () { return new SFVec3f(-this.x, -this.y, -this.z); };
SFVec3f.prototype.normalize = function () {
  var l = this.length(); return l > 0 ? this.divide(l) : new SFVec3f(0, 0, 0);
};
SFVec3f.prototype.toString = function () { return __text(this, ['x', 'y', 'z']); };
__indexed(SFVec3f, ['x', 'y', 'z']);

function SFColor(r, g, b) {
  if (!(this instanceof SFColor)) return new SFColor(r, g, b);
  r = +r; g = +g; b = +b;  // as __num
  this.r = r === r ? r : 0; this.g = g === g ? g : 0; this.b = b === b ? b : 0;
}
// Hue in degrees [0, 360), saturation and value in [0, 1].
SFColor.prototype.setHSV = function (h, s, v) {
  h = ((__num(h) % 360) + 360) % 360 / 60; s = __num(s); v = __num(v);
  var i = Math.floor(h), f = h - i;
  var p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  var rgb = [[v, t, p], [q, v, p], [p, v, t], [p, q, v], [t, p, v], [v, p, q]][i % 6];
  this.r = rgb[0]; this.g = rgb[1]; this.b = rgb[2];
};
SFColor.prototype.getHSV = function () {
  var r = this.r, g = this.g, b = this.b;
  var max = Math.max(r, g, b), min = Math.min(r, g, b), d = max - min, h = 0;
  if (d > 0) {
    if (max === r) h = 60 * (((g - b) / d) % 6);
    else if (max === g) h = 60 * ((b - r) / d + 2);
    else h = 60 * ((r - g) / d + 4);
    if (h < 0) h += 360;
  }
  return new MFFloat(h, max > 0 ? d / max : 0, max);
};
SFColor.prototype.toString = function () { return __text(this, ['r', 'g', 'b']); };
__indexed(SFColor, ['r', 'g', 'b']);

// Rotations as unit quaternions [x, y, z, w] for the arithmetic.
function __quat(r) {
  var l = Math.sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
  if (l === 0) return [0, 0, 0, 1];
  var s = Math.sin(r.angle / 2) / l;
  return [r.x * s, r.y * s, r.z * s, Math.cos(r.angle / 2)];
}
function __fromQuat(q) {
  var l = Math.sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]) || 1;
  var w = Math.max(-1, Math.min(1, q[3] / l));
  var s = Math.sqrt(1 - w * w);
  if (s < 1e-9) return new SFRotation(0, 0, 1, 0);
  return new SFRotation(q[0] / l / s, q[1] / l / s, q[2] / l / s, 2 * Math.acos(w));
}
function SFRotation(a, b, c, d) {
  if (!(this instanceof SFRotation)) return new SFRotation(a, b, c, d);
  if (a instanceof SFVec3f && b instanceof SFVec3f) {  // the turn from a to b
    var axis = a.cross(b), l = axis.length(), la = a.length() * b.length();
    var cos = la > 0 ? Math.max(-1, Math.min(1, a.dot(b) / la)) : 1;
    if (l > 1e-12) { axis = axis.divide(l); }
    else if (cos < 0) {  // opposite: any axis at right angles to a
      axis = a.cross(Math.abs(a.x) < 0.9 ? new SFVec3f(1, 0, 0) : new SFVec3f(0, 1, 0)).normalize();
    } else { axis = new SFVec3f(0, 0, 1); }
    a = axis.x; d = Math.acos(cos); c = axis.z; b = axis.y;
  } else if (a instanceof SFVec3f) {  // axis and angle
    d = b; c = a.z; b = a.y; a = a.x;
  } else if (arguments.length === 0) {
    c = 1;
  }
  this.x = __num(a); this.y = __num(b); this.z = __num(c); this.angle = __num(d);
}
SFRotation.prototype.getAxis = function () { return new SFVec3f(this.x, this.y, this.z); };
SFRotation.prototype.setAxis = function (v) { this.x = v.x; this.y = v.y; this.z = v.z; };
SFRotation.prototype.inverse = function () {
  return new SFRotation(this.x, this.y, this.z, -this.angle);
};
// This rotation after R: multVec of the product turns by R first.
SFRotation.prototype.multiply = function (r) {
  var a = __quat(this), b = __quat(r);
  return __fromQuat([a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
                     a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
                     a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
                     a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]]);
};
SFRotation.prototype.multVec = function (v) {
  var k = this.getAxis(), l = k.length();
  if (l === 0) return new SFVec3f(v.x, v.y, v.z);
  k = k.divide(l);
  var c = Math.cos(this.angle), s = Math.sin(this.angle);
  return v.multiply(c).add(k.cross(v).multiply(s)).add(k.multiply(k.dot(v) * (1 - c)));
};
SFRotation.prototype.slerp = function (dest, t) {
  var a = __quat(this), b = __quat(dest);
  var cos = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  if (cos < 0) { cos = -cos; b = b.map(function (x) { return -x; }); }
  var wa = 1 - t, wb = t;
  if (cos < 0.9999) {
    var o = Math.acos(cos), so = Math.sin(o);
    wa = Math.sin((1 - t) * o) / so; wb = Math.sin(t * o) / so;
  }
  return __fromQuat(a.map(function (x, i) { return wa * x + wb * b[i]; }));
};
SFRotation.prototype.toString = function () { return __text(this, ['x', 'y', 'z', 'angle']); };
__indexed(SFRotation, ['x', 'y', 'z', 'angle']);

// Width X, height Y, COMP components per pixel, one integer per pixel.
function SFImage(x, y, comp, array) {
  if (!(this instanceof SFImage)) return new SFImage(x, y, comp, array);
  this.x = __num(x) | 0; this.y = __num(y) | 0; this.comp = __num(comp) | 0;
  this.array = new MFInt32();
  for (var i = 0; array && i < array.length; ++i) this.array.push(__num(array[i]) | 0);
}
SFImage.prototype.toString = function () {
  return [this.x, this.y, this.comp].concat(Array.prototype.slice.call(this.array)).join(' ');
};
)js";
}

}  // namespace kestrel
