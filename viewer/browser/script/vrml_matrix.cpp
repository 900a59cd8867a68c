// VrmlMatrix: a 4x4 matrix for row vectors (v' = v M, translation in the
// last row), reachable as m[row][column].
#include "viewer/browser/script/script_classes.h"

namespace kestrel {

std::string_view vrmlMatrixSource() {
  return R"js(
function VrmlMatrix() {
  if (!(this instanceof VrmlMatrix)) return VrmlMatrix.apply(Object.create(VrmlMatrix.prototype), arguments);
  var v = arguments.length === 16 ? arguments : [1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1];
  for (var i = 0; i < 4; ++i) this[i] = [__num(v[4*i]), __num(v[4*i+1]), __num(v[4*i+2]), __num(v[4*i+3])];
  return this;
}
function __matrix(rows) {
  var m = new VrmlMatrix();
  for (var i = 0; i < 4; ++i) m[i] = rows[i].slice();
  return m;
}
function __product(a, b) {
  var rows = [];
  for (var i = 0; i < 4; ++i) {
    rows.push([0, 0, 0, 0]);
    for (var j = 0; j < 4; ++j)
      for (var k = 0; k < 4; ++k) rows[i][j] += a[i][k] * b[k][j];
  }
  return __matrix(rows);
}
function __rotationMatrix(r) {
  var q = __quat(r), x = q[0], y = q[1], z = q[2], w = q[3];
  return __matrix([[1 - 2*(y*y + z*z), 2*(x*y + z*w), 2*(x*z - y*w), 0],
                   [2*(x*y - z*w), 1 - 2*(x*x + z*z), 2*(y*z + x*w), 0],
                   [2*(x*z + y*w), 2*(y*z - x*w), 1 - 2*(x*x + y*y), 0],
                   [0, 0, 0, 1]]);
}
function __translationMatrix(t) {
  return __matrix([[1,0,0,0], [0,1,0,0], [0,0,1,0], [t.x, t.y, t.z, 1]]);
}
function __scaleMatrix(s) {
  return __matrix([[s.x,0,0,0], [0,s.y,0,0], [0,0,s.z,0], [0,0,0,1]]);
}
// M = -C * SO^-1 * S * SO * R * C * T, as a Transform node composes them.
VrmlMatrix.prototype.setTransform = function (t, r, s, so, c) {
  t = t || new SFVec3f(0, 0, 0); r = r || new SFRotation();
  s = s || new SFVec3f(1, 1, 1); so = so || new SFRotation(); c = c || new SFVec3f(0, 0, 0);
  var m = __translationMatrix(c.negate());
  m = __product(m, __rotationMatrix(so.inverse()));
  m = __product(m, __scaleMatrix(s));
  m = __product(m, __rotationMatrix(so));
  m = __product(m, __rotationMatrix(r));
  m = __product(m, __translationMatrix(c));
  m = __product(m, __translationMatrix(t));
  for (var i = 0; i < 4; ++i) this[i] = m[i];
};
// Translation, rotation and scale of a matrix without shear, written into
// the objects given.
VrmlMatrix.prototype.getTransform = function (t, r, s) {
  var rows = [0, 1, 2].map(function (i) { return new SFVec3f(this[i][0], this[i][1], this[i][2]); }, this);
  var scale = rows.map(function (v) { return v.length(); });
  if (t) { t.x = this[3][0]; t.y = this[3][1]; t.z = this[3][2]; }
  if (s) { s.x = scale[0]; s.y = scale[1]; s.z = scale[2]; }
  if (r) {
    var m = rows.map(function (v, i) { return scale[i] > 0 ? v.divide(scale[i]) : v; });
    var w = Math.sqrt(Math.max(0, 1 + m[0].x + m[1].y + m[2].z)) / 2, q;
    if (w > 1e-6) {
      q = [(m[1].z - m[2].y) / (4 * w), (m[2].x - m[0].z) / (4 * w), (m[0].y - m[1].x) / (4 * w), w];
    } else {  // a half turn: the axis is the largest diagonal's direction
      var x = Math.sqrt(Math.max(0, 1 + m[0].x - m[1].y - m[2].z)) / 2;
      var y = Math.sqrt(Math.max(0, 1 - m[0].x + m[1].y - m[2].z)) / 2;
      var z = Math.sqrt(Math.max(0, 1 - m[0].x - m[1].y + m[2].z)) / 2;
      if (x >= y && x >= z) { y = m[0].y / (4 * x) * 2; z = m[0].z / (4 * x) * 2; }
      else if (y >= z) { x = m[0].y / (4 * y) * 2; z = m[1].z / (4 * y) * 2; }
      else { x = m[0].z / (4 * z) * 2; y = m[1].z / (4 * z) * 2; }
      q = [x, y, z, 0];
    }
    var rot = __fromQuat(q);
    r.x = rot.x; r.y = rot.y; r.z = rot.z; r.angle = rot.angle;
  }
};
VrmlMatrix.prototype.transpose = function () {
  var rows = [];
  for (var i = 0; i < 4; ++i) rows.push([this[0][i], this[1][i], this[2][i], this[3][i]]);
  return __matrix(rows);
};
// The inverse by Gauss-Jordan elimination; a singular matrix gives the identity.
VrmlMatrix.prototype.inverse = function () {
  var a = [0, 1, 2, 3].map(function (i) { return this[i].concat(i === 0 ? [1,0,0,0] : i === 1 ? [0,1,0,0] : i === 2 ? [0,0,1,0] : [0,0,0,1]); }, this);
  for (var c = 0; c < 4; ++c) {
    var p = c;
    for (var r = c + 1; r < 4; ++r) if (Math.abs(a[r][c]) > Math.abs(a[p][c])) p = r;
    if (Math.abs(a[p][c]) < 1e-12) return new VrmlMatrix();
    var tmp = a[c]; a[c] = a[p]; a[p] = tmp;
    var d = a[c][c];
    for (var j = 0; j < 8; ++j) a[c][j] /= d;
    for (r = 0; r < 4; ++r) {
      if (r === c) continue;
      var f = a[r][c];
      for (j = 0; j < 8; ++j) a[r][j] -= f * a[c][j];
    }
  }
  return __matrix(a.map(function (row) { return row.slice(4); }));
};
VrmlMatrix.prototype.multLeft = function (m) { return __product(m, this); };
VrmlMatrix.prototype.multRight = function (m) { return __product(this, m); };
// Row vector times matrix, and matrix times column vector.
VrmlMatrix.prototype.multVecMatrix = function (v) {
  var o = [0, 1, 2, 3].map(function (j) {
    return v.x * this[0][j] + v.y * this[1][j] + v.z * this[2][j] + this[3][j];
  }, this);
  return new SFVec3f(o[0] / o[3], o[1] / o[3], o[2] / o[3]);
};
VrmlMatrix.prototype.multMatrixVec = function (v) {
  var o = [0, 1, 2, 3].map(function (i) {
    return this[i][0] * v.x + this[i][1] * v.y + this[i][2] * v.z + this[i][3];
  }, this);
  return new SFVec3f(o[0] / o[3], o[1] / o[3], o[2] / o[3]);
};
VrmlMatrix.prototype.toString = function () {
  return [0, 1, 2, 3].map(function (i) { return this[i].join(' '); }, this).join(' ');
};
)js";
}

}  // namespace kestrel
