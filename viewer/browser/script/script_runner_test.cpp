// Scripts running in the real browser core: events in and out through
// routes, fields kept between calls, the Browser object, and the limits
// that keep a bad script from stopping the world.
#include <gtest/gtest.h>

#include "viewer/browser/script/script_test_rig.h"

namespace kestrel {
namespace {

TEST(ScriptRunner, EventInAssignsEventOutsInTheSameCascade) {
  ScriptRig rig;
  ASSERT_TRUE(rig.load(R"(
    DEF S Script {
      eventIn SFFloat set_f
      eventOut SFVec3f pos
      eventOut SFTime stamp
      field SFInt32 count 2
      eventOut SFInt32 countOut
      url "javascript:
        function set_f(v, t) { pos = new SFVec3f(v, 2 * v, 0); stamp = t; countOut = ++count; }"
    }
    DEF T Transform {}
    DEF C Script { eventIn SFInt32 got eventOut SFInt32 twice
      url "vrmlscript: function got(v) { twice = 2 * v; }" }
    ROUTE S.pos TO T.set_translation
    ROUTE S.countOut TO C.got)"));
  rig.browser.advanceTime(7);
  ASSERT_TRUE(rig.send("S", "set_f", sfFloat(0.5f)));
  EXPECT_EQ(rig.get<Vec3f>("T", "translation"), (Vec3f{0.5f, 1, 0}));
  EXPECT_EQ(rig.get<double>("S", "stamp"), 7.0);
  EXPECT_EQ(rig.get<int32_t>("S", "count"), 3);  // fields keep their values between calls
  EXPECT_EQ(rig.get<int32_t>("C", "twice"), 6);  // a script's eventOut reaches another script
  ASSERT_TRUE(rig.send("S", "set_f", sfFloat(1)));
  EXPECT_EQ(rig.get<int32_t>("C", "twice"), 8);
  EXPECT_EQ(rig.get<Vec3f>("T", "translation"), (Vec3f{1, 2, 0}));
}

TEST(ScriptRunner, FieldObjectsAreInstancesOfTheirClassesAsConstructedOnesAre) {
  ScriptRig rig;
  ASSERT_TRUE(rig.load(R"(
    DEF S Script {
      eventIn SFVec3f check
      field SFVec3f v 1 2 3
      field SFColor c 0.5 0 1
      field SFRotation r 0 1 0 1.5
      field SFVec2f w 4 5
      field MFVec3f list [ 7 8 9 ]
      eventOut SFString out
      url "javascript:
        function check(arg) {
          var made = new SFVec3f(1, 2, 3);
          out = [v instanceof SFVec3f, c instanceof SFColor, r instanceof SFRotation,
                 w instanceof SFVec2f, list[0] instanceof SFVec3f, arg instanceof SFVec3f,
                 Object.keys(v).join() === Object.keys(made).join(),
                 Object.keys(c).join(''), Object.keys(r).join(''), Object.keys(w).join(''),
                 v.add(made).z, v[1], c.toString(), r.getAxis().y, w.length() > 6,
                 list[0].x, arg.toString(), new SFVec3f('a', 2, 3).x].join(' ');
        }"
    })"));
  ASSERT_TRUE(rig.send("S", "check", FieldValue{FieldType::SFVec3f, Vec3f{1, 0, -2}}));
  EXPECT_EQ(rig.get<std::string>("S", "out"),
            "true true true true true true true rgb xyzangle xy 6 2 0.5 0 1 1 true 7 1 0 -2 0");
}

TEST(ScriptRunner, MembersOfFieldObjectsAndLifecycleFunctions) {
  ScriptRig rig;
  ASSERT_TRUE(rig.load(R"(
    DEF S Script {
      eventIn SFTime a
      eventIn SFTime b
      field SFVec3f p 1 1 1
      field MFFloat list [ 1 2 ]
      eventOut SFVec3f o
      eventOut SFInt32 calls
      eventOut SFInt32 processed
      field SFInt32 n 0
      url "javascript:
        function initialize() { processed = -1; }
        function a() { p.x += 1; list[2] = 3; ++n; }
        function b() { o.y = p.x; ++n; }
        function eventsProcessed() { calls = n; processed = processed + 1; }
        function shutdown() { print('bye from ' + n); }"
    }
    DEF Twin TimeSensor {}
    ROUTE Twin.startTime_changed TO S.a
    ROUTE Twin.startTime_changed TO S.b)"));
  EXPECT_EQ(rig.get<int32_t>("S", "processed"), -1);  // initialize ran
  ASSERT_TRUE(rig.send("Twin", "startTime", sfTime(100)));
  EXPECT_EQ(rig.get<Vec3f>("S", "p"), (Vec3f{2, 1, 1}));
  EXPECT_EQ(rig.get<std::vector<float>>("S", "list"), (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(rig.get<Vec3f>("S", "o"), (Vec3f{0, 2, 0}));  // a changed member sends the eventOut
  // Two events in one cascade: eventsProcessed once, after both.
  EXPECT_EQ(rig.get<int32_t>("S", "calls"), 2);
  EXPECT_EQ(rig.get<int32_t>("S", "processed"), 0);
  rig.browser.removeAllRoots();
  EXPECT_EQ(rig.logLines("bye from 2"), 1);
}

TEST(ScriptRunner, RunawayAndThrowingScriptsAreStoppedAndTheWorldGoesOn) {
  ScriptRig rig;
  ASSERT_TRUE(rig.load(R"(
    DEF Loop Script {
      eventIn SFBool spin
      eventIn SFTime backtrack
      eventOut SFInt32 done
      url "javascript:
        function spin(v) { if (v) { while (true) {} } done = 1; }
        function backtrack() { /(a+)+b/.test('aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa'); }"
    }
    DEF Bad Script {
      eventIn SFTime go
      eventOut SFInt32 reached
      url "javascript:
        function go() { reached = 1;
          undefinedFunction(); }"
    }
    DEF Clock TimeSensor { cycleInterval 1 loop TRUE }
    DEF Follow PositionInterpolator { key [0 1] keyValue [0 0 0, 10 0 0] }
    ROUTE Clock.fraction_changed TO Follow.set_fraction)"));
  ASSERT_TRUE(rig.send("Loop", "spin", FieldValue{FieldType::SFBool, true}));
  EXPECT_EQ(rig.logLines("Script stopped after running 100 ms: \"Loop (inline) in spin\""), 1)
      << rig.log();
  // Its later events still arrive.
  ASSERT_TRUE(rig.send("Loop", "spin", FieldValue{FieldType::SFBool, false}));
  EXPECT_EQ(rig.get<int32_t>("Loop", "done"), 1);
  // A regular expression that backtracks for ever is stopped too.
  ASSERT_TRUE(rig.send("Loop", "backtrack", sfTime(1)));
  EXPECT_EQ(rig.logLines("Loop (inline) in backtrack line 3: RangeError"), 1) << rig.log();

  ASSERT_TRUE(rig.send("Bad", "go", sfTime(1)));
  EXPECT_EQ(rig.logLines("Script error: \"Bad (inline) in go line 3: ReferenceError"), 1)
      << rig.log();
  EXPECT_EQ(rig.get<int32_t>("Bad", "reached"), 1);  // what it sent before the error stands
  rig.browser.advanceTime(0.25);
  EXPECT_EQ(rig.get<Vec3f>("Follow", "value_changed"), (Vec3f{2.5f, 0, 0}));
}

TEST(ScriptRunner, BadProgramsJavaAndFilesBesideTheWorld) {
  ScriptRig rig;
  rig.dir.write("count.js",
                "function go(v) { out = v * 3;\n"
                "  Browser.createVrmlFromURL(new MFString('none.wrl', 'made.wrl'), g, 'addChildren'); }\n");
  rig.dir.write("made.wrl", "#VRML V2.0 utf8\nDEF Made Transform {} Shape {}\n");
  rig.dir.write("world.wrl", R"(#VRML V2.0 utf8
    DEF G Group {}
    DEF FromFile Script { eventIn SFInt32 go eventOut SFInt32 out field SFNode g USE G
                          url [ "Count.class" "count.js" ] }
    DEF JavaOnly Script { url "Count.class" }
    DEF Missing Script { url "missing.js" }
    DEF Record Script { field SFInt32 kept 1 eventIn SFInt32 store }
    DEF Broken Script { url "javascript: function ( {" })");
  ASSERT_TRUE(rig.loadFile(rig.dir.file("world.wrl")));
  ASSERT_TRUE(rig.send("FromFile", "go", FieldValue{FieldType::SFInt32, int32_t{4}}));
  EXPECT_EQ(rig.get<int32_t>("FromFile", "out"), 12);
  // The world file's folder is where its script's URLs lead.
  const auto& made = rig.get<std::vector<NodePtr>>("G", "children");
  ASSERT_EQ(made.size(), 2u) << rig.log();
  EXPECT_EQ(made[0], rig.node("Made"));
  EXPECT_EQ(rig.logLines("Script skipped (Java classes are not run): \"JavaOnly\""), 1);
  // A Script with no URL only keeps values, without a word in the log.
  EXPECT_EQ(rig.logLines("Script has no ECMAScript program that loads"), 1);
  EXPECT_EQ(rig.logLines("Script has no ECMAScript program that loads: \"Missing\""), 1);
  ASSERT_TRUE(rig.send("Record", "store", FieldValue{FieldType::SFInt32, int32_t{5}}));
  EXPECT_EQ(rig.get<int32_t>("Record", "store"), 5);
  EXPECT_EQ(rig.logLines("Script error: \"Broken (" + rig.dir.file("world.wrl") +
                         ") in its program line 1: SyntaxError"), 1) << rig.log();
}

TEST(ScriptRunner, SFNodeAccessAndBrowserFunctions) {
  ScriptRig rig;
  ASSERT_TRUE(rig.load(R"(
    DEF G Group {}
    DEF T Transform { translation 1 2 3 }
    DEF M Material {}
    DEF S Script {
      directOutput TRUE
      field SFNode group USE G
      field SFNode moved USE T
      eventIn SFTime go
      eventOut SFString seen
      eventOut SFColor color
      url "javascript:
        function go() {
          group.addChildren = Browser.createVrmlFromString('Shape { geometry Box {} } Group {}');
          moved.set_translation = new SFVec3f(moved.translation.x + 1, 0, 0);
          var made = new SFNode('Transform { translation 0 5 0 }');
          group.addChildren = new MFNode(made);
          var m = Browser.createVrmlFromString('DEF Mover Transform {}')[0];
          Browser.addRoute(m, 'translation_changed', made, 'set_translation');
        }
        function initialize() {
          seen = Browser.getName() + ' ' + typeof require + ' ' + typeof process + ' ' +
                 typeof XMLHttpRequest + ' ' + typeof setTimeout;
          print('world', Browser.getWorldURL() === '', 'made', moved.translation);
          Browser.setDescription('hello');
          Browser.loadURL(new MFString('other.wrl'), new MFString());
          Browser.replaceWorld(new MFNode());
        }"
    })"));
  EXPECT_EQ(rig.get<std::string>("S", "seen"), "Kestrel undefined undefined undefined undefined");
  EXPECT_EQ(rig.logLines("Script print: \"S\", \"world true made 1 2 3\""), 1) << rig.log();
  EXPECT_EQ(rig.logLines("Script description: \"S\", \"hello\""), 1);
  EXPECT_EQ(rig.logLines("Script loadURL ignored"), 1);
  EXPECT_EQ(rig.logLines("Script replaceWorld ignored"), 1);
  ASSERT_TRUE(rig.send("S", "go", sfTime(1)));
  const auto& children = rig.get<std::vector<NodePtr>>("G", "children");
  ASSERT_EQ(children.size(), 3u) << rig.log();
  EXPECT_EQ(children[0]->type->name, "Shape");
  EXPECT_EQ(children[2]->type->name, "Transform");
  EXPECT_EQ(*children[2]->field("translation")->as<Vec3f>(), (Vec3f{0, 5, 0}));
  EXPECT_EQ(rig.get<Vec3f>("T", "translation"), (Vec3f{2, 0, 0}));
  // The route added from the script works.
  ASSERT_TRUE(rig.send("Mover", "translation", FieldValue{FieldType::SFVec3f, Vec3f{1, 0, 1}}));
  EXPECT_EQ(*children[2]->field("translation")->as<Vec3f>(), (Vec3f{1, 0, 1}));
  EXPECT_EQ(rig.logLines("Script error"), 0) << rig.log();
}

TEST(ScriptRunner, RoutesDeletedAndDirectOutputNoted) {
  ScriptRig rig;
  ASSERT_TRUE(rig.load(R"(
    DEF A Transform {} DEF B Transform {}
    DEF S Script {
      field SFNode a USE A
      field SFNode b USE B
      eventIn SFBool wire
      url "javascript:
        function wire(on) {
          if (on) Browser.addRoute(a, 'translation_changed', b, 'set_translation');
          else Browser.deleteRoute(a, 'translation_changed', b, 'set_translation');
          a.translation = new SFVec3f(on ? 1 : 2, 0, 0);
        }"
    })"));
  ASSERT_TRUE(rig.send("S", "wire", FieldValue{FieldType::SFBool, true}));
  EXPECT_EQ(rig.get<Vec3f>("B", "translation"), (Vec3f{1, 0, 0}));
  ASSERT_TRUE(rig.send("S", "wire", FieldValue{FieldType::SFBool, false}));
  EXPECT_EQ(rig.get<Vec3f>("A", "translation"), (Vec3f{2, 0, 0}));
  EXPECT_EQ(rig.get<Vec3f>("B", "translation"), (Vec3f{1, 0, 0}));
  EXPECT_EQ(rig.logLines("without directOutput TRUE (allowed): \"S\""), 1) << rig.log();
}

TEST(ScriptRunner, MemoryIsCappedAndWrongTypesAreErrors) {
  ScriptRig rig;
  ASSERT_TRUE(rig.load(R"(
    DEF S Script {
      eventIn SFTime grow
      eventIn SFTime wrong
      eventOut SFVec3f v
      eventOut SFInt32 after
      url "javascript:
        function grow() { var a = []; var s = 'xxxxxxxxxxxxxxxx';
          while (true) { s = s + s.substring(0, 4096) + a.length; a.push(s); } }
        function wrong() { after = 1; v = 'not a vector'; }"
    })"));
  ASSERT_TRUE(rig.send("S", "grow", sfTime(1)));
  EXPECT_EQ(rig.logLines("Script error: \"S (inline) in grow"), 1) << rig.log();
  ASSERT_TRUE(rig.send("S", "wrong", sfTime(2)));
  EXPECT_EQ(rig.logLines("Script error: \"S (inline) in wrong line 4: TypeError: v needs an SFVec3f"), 1)
      << rig.log();
  EXPECT_EQ(rig.get<int32_t>("S", "after"), 1);
}

TEST(ScriptRunner, ScriptsInProtoBodiesAndUsedTwice) {
  ScriptRig rig;
  ASSERT_TRUE(rig.load(R"(
    PROTO Doubler [ eventIn SFFloat set_value eventOut SFFloat value_changed ] {
      Script {
        eventIn SFFloat set_value IS set_value
        eventOut SFFloat value_changed IS value_changed
        url "javascript: function set_value(v) { value_changed = 2 * v; }"
      }
    }
    DEF D1 Doubler {}
    DEF D2 Doubler {}
    DEF M Material {}
    ROUTE D1.value_changed TO D2.set_value
    ROUTE D2.value_changed TO M.set_transparency
    DEF Once Script { url "javascript: function shutdown() { print('shut down'); }" }
    Group { children [ USE Once ] })"));
  ASSERT_TRUE(rig.send("D1", "set_value", sfFloat(0.125f)));
  EXPECT_EQ(rig.get<float>("M", "transparency"), 0.5f);
  rig.browser.removeAllRoots();
  EXPECT_EQ(rig.logLines("shut down"), 1);
}

TEST(ScriptRunner, NoNodeBecomesItsOwnDescendantAndHeldNodesAreFreed) {
  std::weak_ptr<Node> outer;
  {
    ScriptRig rig;
    ASSERT_TRUE(rig.load(R"(
      DEF Outer Group { children [
        DEF Inner Group { children [
          DEF S Script {
            directOutput TRUE
            field SFNode inner USE Inner
            field SFNode held NULL
            eventIn SFTime go
            url "javascript: function go() {
              held = Browser.createVrmlFromString('Group {}')[0];
              held.addChildren = new MFNode(inner);
              inner.addChildren = new MFNode(inner);
            }"
          } ] } ] })"));
    outer = rig.node("Outer");
    // The script keeps a node above itself, set while it runs.
    ASSERT_TRUE(rig.send("S", "held", FieldValue{FieldType::SFNode, rig.node("Outer")}));
    ASSERT_TRUE(rig.send("S", "go", sfTime(1)));
    EXPECT_EQ(rig.get<std::vector<NodePtr>>("Inner", "children").size(), 1u);
    EXPECT_EQ(rig.logLines("Event refused (a node cannot contain itself): \"addChildren\""), 1)
        << rig.log();
    rig.browser.removeAllRoots();
  }
  EXPECT_TRUE(outer.expired());
}

}  // namespace
}  // namespace kestrel
