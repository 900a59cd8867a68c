// The field classes scripts use, method by method, against values worked
// out by hand. Results are compared as text, rounded to 5 decimals.
#include <gtest/gtest.h>

#include <string>

#include "viewer/browser/script/script_context.h"
#include "viewer/browser/script/script_engine.h"
#include "testing/test_support.h"

namespace kestrel {
namespace {

class Classes : public ::testing::Test {
 protected:
  Classes() : engine_("ClassTest", "test", &context_) {
    engine_.run(
        "function fix(o) { return String(o).split(/[ ,\\[\\]]+/).filter(function (s) {"
        " return s !== ''; }).map(function (s) { var n = Math.round(Number(s) * 1e5) / 1e5;"
        " return String(n === 0 ? 0 : n); }).join(' '); }");
  }
  // The value of EXPR as a string.
  std::string eval(const std::string& expr) {
    std::string out = "(failed)";
    engine_.guarded("test", [&](duk_context* ctx) {
      duk_eval_string(ctx, ("String(" + expr + ")").c_str());
      out = duk_get_string(ctx, -1);
    });
    return out;
  }
  std::string fixed(const std::string& expr) { return eval("fix(" + expr + ")"); }

  testing::TempDir dir_;
  ScriptContext context_;
  ScriptEngine engine_;
};

TEST_F(Classes, SFVec2fAndSFVec3f) {
  EXPECT_EQ(eval("new SFVec2f(10).add(new SFVec2f(3, 3))"), "13 3");
  EXPECT_EQ(eval("new SFVec2f(13, 3).divide(2.5)"), "5.2 1.2");
  EXPECT_EQ(eval("new SFVec2f(1, 2).subtract(new SFVec2f(3, 5))"), "-2 -3");
  EXPECT_EQ(eval("new SFVec2f(1, 2).multiply(3)"), "3 6");
  EXPECT_EQ(eval("new SFVec2f(1, 2).dot(new SFVec2f(3, 4))"), "11");
  EXPECT_EQ(eval("new SFVec2f(3, 4).length()"), "5");
  EXPECT_EQ(eval("new SFVec2f(3, 4).normalize()"), "0.6 0.8");
  EXPECT_EQ(eval("new SFVec2f(3, -4).negate()"), "-3 4");

  EXPECT_EQ(eval("new SFVec3f(1, 2, 3).add(new SFVec3f(4, 5, 6))"), "5 7 9");
  EXPECT_EQ(eval("new SFVec3f(1, 2, 3).subtract(new SFVec3f(4, 6, 8))"), "-3 -4 -5");
  EXPECT_EQ(eval("new SFVec3f(1, 2, 3).multiply(2)"), "2 4 6");
  EXPECT_EQ(eval("new SFVec3f(1, 2, 3).divide(2)"), "0.5 1 1.5");
  EXPECT_EQ(eval("new SFVec3f(1, 2, 3).cross(new SFVec3f(4, 5, 6))"), "-3 6 -3");
  EXPECT_EQ(eval("new SFVec3f(1, 2, 3).dot(new SFVec3f(4, 5, 6))"), "32");
  EXPECT_EQ(eval("new SFVec3f(2, 3, 6).length()"), "7");
  EXPECT_EQ(eval("new SFVec3f(1, -2, 3).negate()"), "-1 2 -3");
  EXPECT_EQ(eval("new SFVec3f(0, 3, 4).normalize()"), "0 0.6 0.8");
  EXPECT_EQ(eval("(function () { var v = new SFVec3f(1, 2, 3); v[1] = 7; v.z = 9;"
                 " return v.x + ',' + v.y + ',' + v[2]; })()"), "1,7,9");
}

TEST_F(Classes, SFRotation) {
  EXPECT_EQ(eval("new SFRotation()"), "0 0 1 0");
  EXPECT_EQ(eval("new SFRotation(new SFVec3f(0, 0, 2), 1)"), "0 0 2 1");
  EXPECT_EQ(fixed("new SFRotation(new SFVec3f(1, 0, 0), new SFVec3f(0, 5, 0))"), "0 0 1 1.5708");
  EXPECT_EQ(fixed("new SFRotation(new SFVec3f(1, 0, 0), new SFVec3f(-1, 0, 0)).multVec("
                  "new SFVec3f(1, 0, 0))"), "-1 0 0");
  EXPECT_EQ(eval("new SFRotation(0, 1, 0, 2).getAxis()"), "0 1 0");
  EXPECT_EQ(eval("new SFRotation(0, 1, 0, 2).inverse()"), "0 1 0 -2");
  EXPECT_EQ(fixed("new SFRotation(0, 1, 0, Math.PI / 2).multVec(new SFVec3f(1, 0, 0))"), "0 0 -1");
  EXPECT_EQ(fixed("new SFRotation(0, 1, 0, Math.PI / 2).multiply(new SFRotation(0, 1, 0, Math.PI / 2))"),
            "0 1 0 3.14159");
  // The product turns by its argument first: x by 90 degrees about x, then about z.
  EXPECT_EQ(fixed("new SFRotation(0, 0, 1, Math.PI / 2).multiply(new SFRotation(1, 0, 0, Math.PI / 2))"
                  ".multVec(new SFVec3f(0, 1, 0))"), "0 0 1");
  EXPECT_EQ(eval("(function () { var r = new SFRotation(0, 0, 1, 1); r.setAxis(new SFVec3f(1, 0, 0));"
                 " return r; })()"), "1 0 0 1");
  EXPECT_EQ(fixed("new SFRotation(0, 1, 0, 0).slerp(new SFRotation(0, 1, 0, 2), 0.5)"), "0 1 0 1");
  EXPECT_EQ(eval("new SFRotation(1, 2, 3, 4)[3]"), "4");
}

TEST_F(Classes, SFColorAndSFImage) {
  EXPECT_EQ(fixed("(function () { var c = new SFColor(.3, .4, .5); c.g = .75 * (c.r + c.b);"
                  " return c.g + ' ' + c[1]; })()"), "0.6 0.6");
  EXPECT_EQ(fixed("(function () { var c = new SFColor(); c.setHSV(60, .4, .5); return c; })()"),
            "0.5 0.5 0.3");
  EXPECT_EQ(fixed("(function () { var c = new SFColor(); c.setHSV(240, 1, 1); return c; })()"),
            "0 0 1");
  EXPECT_EQ(fixed("new SFColor(.5, .5, .3).getHSV()"), "60 0.4 0.5");
  EXPECT_EQ(eval("new SFImage(2, 1, 1, new MFInt32(255, 7))"), "2 1 1 255 7");
  EXPECT_EQ(eval("new SFImage(2, 1, 3, [1, 2]).array.length"), "2");
}

TEST_F(Classes, MFClassesHaveLengthAndIndexing) {
  EXPECT_EQ(eval("new MFFloat(1, 2.5, 3)"), "[1, 2.5, 3]");
  EXPECT_EQ(eval("(function () { var m = new MFFloat(1, 2, 3); m.length = 5;"
                 " var grown = m.length + ' ' + m[4]; m.length = 1; return grown + ' ' + m; })()"),
            "5 undefined [1]");
  EXPECT_EQ(eval("new MFVec3f(new SFVec3f(1, 2, 3), new SFVec3f(4, 5, 6))[1].y"), "5");
  EXPECT_EQ(eval("new MFString('a', 'b').length"), "2");
  EXPECT_EQ(eval("new MFInt32(1.7, -2.2)"), "[1, -2]");
  EXPECT_EQ(eval("(function () { var m = new MFRotation(); m[2] = new SFRotation(); return m.length; })()"),
            "3");
  EXPECT_EQ(eval("new MFColor(new SFColor(1, 0, 0)) instanceof MFColor"), "true");
  EXPECT_EQ(eval("new MFTime(5)[0] + new MFVec2f(new SFVec2f(1, 2))[0].y"), "7");
}

TEST_F(Classes, VrmlMatrix) {
  const std::string m =
      "(function () { var m = new VrmlMatrix(); m.setTransform(new SFVec3f(1, 2, 3),"
      " new SFRotation(0, 0, 1, Math.PI / 2), new SFVec3f(2, 2, 2)); return m; })()";
  // Scaled to (2 0 0), turned to (0 2 0), moved to (1 4 3).
  EXPECT_EQ(fixed(m + ".multVecMatrix(new SFVec3f(1, 0, 0))"), "1 4 3");
  EXPECT_EQ(fixed(m + ".inverse().multVecMatrix(new SFVec3f(1, 4, 3))"), "1 0 0");
  EXPECT_EQ(fixed(m + ".transpose().multMatrixVec(new SFVec3f(1, 0, 0))"), "1 4 3");
  EXPECT_EQ(eval(m + "[3][1]"), "2");
  EXPECT_EQ(fixed("(function () { var t = new SFVec3f(), r = new SFRotation(), s = new SFVec3f();" +
                  m + ".getTransform(t, r, s); return t + ' ' + r + ' ' + s; })()"),
            "1 2 3 0 0 1 1.5708 2 2 2");
  EXPECT_EQ(fixed("new VrmlMatrix(1,0,0,0, 0,1,0,0, 0,0,1,0, 5,6,7,1).multLeft(new VrmlMatrix())"
                  ".multRight(new VrmlMatrix(2,0,0,0, 0,2,0,0, 0,0,2,0, 0,0,0,1))[3]"),
            "10 12 14 1");
  EXPECT_EQ(eval("new VrmlMatrix()"), "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1");
}

}  // namespace
}  // namespace kestrel
