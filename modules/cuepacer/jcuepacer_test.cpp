#include "modules/cuepacer/jcuepacer.h"

#include <gtest/gtest.h>

#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"

namespace kestrel {
namespace {

using testing::Feeder;
using testing::Probe;

// A tick feeder -> JCuePacer -> a probe, in the host's real module graph.
class CuePacerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(graph.add("clock", std::make_unique<Feeder>("i")), "");
    ASSERT_EQ(graph.add("pacer", std::make_unique<JCuePacer>()), "");
    ASSERT_EQ(graph.add("probe", std::make_unique<Probe>(1)), "");
    clock = static_cast<Feeder*>(graph.find("clock"));
    pacer = static_cast<JCuePacer*>(graph.find("pacer"));
    probe = static_cast<Probe*>(graph.find("probe"));
    ASSERT_EQ(graph.link("clock", 0, "pacer", 0), "");
    ASSERT_EQ(graph.link("pacer", 0, "probe", 0), "");
  }
  void setCommand(const char* text) {
    ASSERT_TRUE(pacer->updateProperty(JStringProperty(JString("command"), JString(text))));
  }
  std::string pull() {
    JString s("<untouched>");
    JStringData data(s);
    JLinkObj link(pacer, 0, probe, 0);
    link.access(data);
    return s.str();
  }

  ModuleGraph graph;
  Feeder* clock = nullptr;
  JCuePacer* pacer = nullptr;
  Probe* probe = nullptr;
};

TEST_F(CuePacerTest, EveryNonZeroTickBroadcastsTheCommandEvenWhenRepeated) {
  setCommand("ry");
  clock->sendInteger(0, 1);
  clock->sendInteger(0, 1);
  clock->sendInteger(0, -5);
  ASSERT_EQ(probe->events.size(), 3u);
  for (const auto& e : probe->events) EXPECT_EQ(e.text, "ry");
}

TEST_F(CuePacerTest, ATickOfZeroUpdatesTheResultButBroadcastsNothing) {
  setCommand("rx");
  clock->sendInteger(0, 0);
  EXPECT_TRUE(probe->events.empty());
  EXPECT_EQ(pull(), "rx");
}

TEST_F(CuePacerTest, ANewCommandShowsOnlyAfterTheNextTick) {
  setCommand("first");
  clock->sendInteger(0, 1);
  setCommand("second");
  EXPECT_EQ(pull(), "first");
  clock->sendInteger(0, 1);
  EXPECT_EQ(probe->events.back().text, "second");
}

TEST_F(CuePacerTest, AnEmptyCommandIsBroadcastAsAnEmptyString) {
  clock->sendInteger(0, 1);
  ASSERT_EQ(probe->events.size(), 1u);
  EXPECT_EQ(probe->events[0].text, "");
}

TEST_F(CuePacerTest, TheTickInputTakesOneLink) {
  ASSERT_EQ(graph.add("clock2", std::make_unique<Feeder>("i")), "");
  EXPECT_NE(graph.link("clock2", 0, "pacer", 0).find("takes only one link"), std::string::npos);
  EXPECT_FALSE(pacer->inputAllowed(0));
}

TEST_F(CuePacerTest, OtherInputPortsAndOutputPortsDoNothing) {
  setCommand("ry");
  JLinkObj stray(clock, 0, pacer, 3);
  pacer->engine(3, stray);
  EXPECT_TRUE(probe->events.empty());
  JString s("kept");
  JStringData data(s);
  pacer->access(1, stray, data);
  EXPECT_EQ(s, "kept");
}

TEST(CuePacer, PropertyIsOnlyTheCommand) {
  JCuePacer m;
  JArray list = m.getProperties();
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(list[0].getName(), "command");
  EXPECT_EQ(list[0].asString()->getText(), "");
  EXPECT_FALSE(m.updateProperty(JStringProperty(JString("other"), JString("x"))));
  EXPECT_FALSE(m.updateProperty(JIntegerProperty(JString("command"), 1, 0, 2)));
  EXPECT_TRUE(m.updateProperty(JStringProperty(JString("command"), JString("ry"))));
  EXPECT_EQ(m.getProperties()[0].asString()->getText(), "ry");
}

TEST(CuePacer, ContentRoundTripsTheCommandOnly) {
  JCuePacer m;
  m.updateProperty(JStringProperty(JString("command"), JString("setvalue 3")));
  m.moveTo(5, 6);
  JContent saved;
  m.writeContent(saved);
  EXPECT_EQ(saved.entries().size(), 3u);  // x, y of the base, then the command
  EXPECT_EQ(saved.entries().back().key, "command");
  JCuePacer restored;
  restored.readContent(saved);
  JContent again;
  restored.writeContent(again);
  EXPECT_EQ(saved, again);
}

TEST(CuePacer, ContentWithoutCommandKeepsItEmptyAndTheFaceSaysCuePacer) {
  JCuePacer m;
  JContent saved;
  saved.putInteger("x", 1);
  m.readContent(saved);
  EXPECT_EQ(m.getProperties()[0].asString()->getText(), "");
  JRecordingGraphics g;
  m.draw(g, 0, 0, 50, 20);
  EXPECT_EQ(g.texts(), std::vector<std::string>{"CuePacer"});
  m.updateProperty(JStringProperty(JString("command"), JString("ry")));
  JRecordingGraphics g2;
  m.draw(g2, 0, 0, 50, 20);
  EXPECT_EQ(g2.texts(), std::vector<std::string>{"ry"});
}

TEST(CuePacer, PortsAndPlacement) {
  JCuePacer m;
  EXPECT_EQ(m.className(), "JCuePacer");
  EXPECT_EQ(m.inputTag(0), "tick");
  EXPECT_EQ(m.outputTag(0), "result");
  EXPECT_EQ(m.inputType(0), JIntegerData::id);
  EXPECT_EQ(m.outputType(0), JStringData::id);
  EXPECT_EQ(m.inputFace(0), 1);
  EXPECT_EQ(m.outputFace(0), 2);
  EXPECT_EQ(m.inputPoint(0, nullptr).x, 40);  // middle of the top of an 80-wide body
  EXPECT_EQ(m.outputArea(0).width, 6);
  std::unique_ptr<JObject> copy(m.clone());
  EXPECT_EQ(copy->className(), "JCuePacer");
}

}  // namespace
}  // namespace kestrel
