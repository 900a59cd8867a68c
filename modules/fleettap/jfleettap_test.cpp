// JFleetTap inside the host's module graph, without a network: tags, ports,
// properties, saved content, clock edges, health and the closed state.
#include "modules/fleettap/jfleettap.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "modules/common/jcomponent.h"
#include "modules/common/jregistry.h"
#include "modules/fleettap/fleet_test_support.h"
#include "modules/fleettap/kv_olog.h"
#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"
#include "testing/test_support.h"

namespace kestrel {
namespace {

using testing::Feeder;
using testing::Probe;

std::string nodeLines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i + 1) + " n" + std::to_string(i + 1) + "\n";
  return text;
}

class FleetTapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("fleet.nod", "# fleet\n3 alpha\n7\n12 gamma\n");
    dir.write("fleet.mcp", "lan 239.255.77.9 0\n");
    auto module = std::make_unique<JFleetTap>();
    module->setClock(clock);
    module->updateProperty(JStringProperty(JString("multicast interface"), JString(kLoopbackInterface)));
    ASSERT_EQ(graph.add("feed", std::make_unique<Feeder>("ii")), "");
    ASSERT_EQ(graph.add("tap", std::move(module)), "");
    ASSERT_EQ(graph.add("probe", std::make_unique<Probe>(8 * 3)), "");
    feed = static_cast<Feeder*>(graph.find("feed"));
    tap = static_cast<JFleetTap*>(graph.find("tap"));
    probe = static_cast<Probe*>(graph.find("probe"));
  }
  bool setFile(const char* name, const std::string& path) {
    return tap->updateProperty(JFileProperty(JString(name), JString(path), JString("*")));
  }
  void startWithFiles(bool linkClock = true) {
    ASSERT_TRUE(setFile("node file name", dir.file("fleet.nod")));
    ASSERT_TRUE(setFile("port file name", dir.file("fleet.mcp")));
    tap->startup();
    ASSERT_NE(tap->registry(), nullptr);
    if (linkClock) {
      ASSERT_EQ(graph.link("feed", 0, "tap", 0), "");
    }
    ASSERT_EQ(graph.link("feed", 1, "tap", 1), "");
    for (int p = 0; p < 24; ++p) ASSERT_EQ(graph.link("tap", p, "probe", p), "");
  }
  // A report as a port handler would hand it on.
  void report(int id, int64_t seconds, int millis, double latitude) {
    kv_rov_nodeHandler* node = tap->registry()->nodeById(id);
    ASSERT_NE(node, nullptr);
    node->set(latitude, -latitude, kv_brokenTime{}, kv_time{seconds, static_cast<uint16_t>(millis)},
              "2004/01/30,16:11:56.250");
  }
  std::string text(int port) const {
    const Probe::Event* e = probe->last(port);
    return e ? e->text : "<none>";
  }

  kestrel::testing::TempDir dir{false};
  ManualClock clock;
  ModuleGraph graph;
  Feeder* feed = nullptr;
  JFleetTap* tap = nullptr;
  Probe* probe = nullptr;
};

TEST_F(FleetTapTest, NewModuleHasTwoTopInputsAndNoOutputs) {
  EXPECT_EQ(tap->className(), "JFleetTap");
  EXPECT_EQ(tap->inputCount(), 2);
  EXPECT_EQ(tap->outputCount(), 0);
  EXPECT_EQ(tap->inputTag(0), "clock");
  EXPECT_EQ(tap->inputTag(1), "on off");
  EXPECT_EQ(tap->inputTag(2), "ERROR");
  EXPECT_EQ(tap->inputFace(0), 1);
  EXPECT_EQ(tap->outputFace(0), 2);
  EXPECT_EQ(tap->inputType(1), JIntegerData::id);
  EXPECT_EQ(tap->bodyColor(), JColor::green.brighter());
  EXPECT_STREQ(JFleetTap::versionText(), "0.71 - Fri Jan 30 16:11:56 2004\n");
}

TEST_F(FleetTapTest, StartupLoadsTheFilesAndOffersEightOutputsPerNode) {
  startWithFiles();
  EXPECT_EQ(tap->nodeOutputs(), 3);
  EXPECT_EQ(tap->outputCount(), 24);
  EXPECT_EQ(tap->registry()->portCount(), 1);
  EXPECT_EQ(tap->outputTag(10), "longitude of node 1\n");
  EXPECT_EQ(tap->outputTag(13), "utc string of node 1\n");
  EXPECT_EQ(tap->outputTag(0), "node id of node 0\n");
  EXPECT_EQ(tap->outputTag(24), "ERROR");
  EXPECT_EQ(tap->outputType(13), JStringData::id);
  EXPECT_EQ(tap->outputType(9), JRealData::id);
  EXPECT_EQ(tap->outputType(15), JRealData::id);
  EXPECT_EQ(tap->outputType(14), JIntegerData::id);
  JRecordingGraphics g;
  tap->draw(g, 0, 0, 72, 36);
  EXPECT_EQ(g.texts(), (std::vector<std::string>{"ROV", "1 ports", "3 nodes"}));
}

TEST_F(FleetTapTest, EachInputTakesOneLink) {
  startWithFiles();
  EXPECT_FALSE(tap->inputAllowed(0));
  EXPECT_NE(graph.link("feed", 0, "tap", 0), "");
  EXPECT_TRUE(tap->outputAllowed(3));
}

TEST_F(FleetTapTest, StartupClearsNamesOfFilesThatDoNotLoad) {
  ASSERT_TRUE(setFile("node file name", dir.file("missing.nod")));
  ASSERT_TRUE(setFile("port file name", dir.file("missing.mcp")));
  tap->startup();
  EXPECT_EQ(tap->nodeFileName(), "");
  EXPECT_EQ(tap->portFileName(), "");
  EXPECT_EQ(tap->outputCount(), 0);
}

TEST_F(FleetTapTest, AFileThatFailsThroughThePropertyKeepsThePreviousName) {
  startWithFiles();
  EXPECT_TRUE(setFile("node file name", dir.file("missing.nod")));
  EXPECT_EQ(tap->nodeFileName(), dir.file("fleet.nod"));
  dir.write("other.nod", "5\n6\n");
  EXPECT_TRUE(setFile("node file name", dir.file("other.nod")));
  EXPECT_EQ(tap->nodeFileName(), dir.file("other.nod"));
  EXPECT_EQ(tap->outputCount(), 16);
  EXPECT_FALSE(tap->updateProperty(JStringProperty(JString("version"), JString("9"))));
  EXPECT_FALSE(tap->updateProperty(JIntegerProperty(JString("nonsense"), 1, 0, 2)));
}

TEST_F(FleetTapTest, ANodeFileOf130NodesIsClampedTo128) {
  dir.write("many.nod", nodeLines(130));
  ASSERT_TRUE(setFile("node file name", dir.file("many.nod")));
  tap->startup();
  EXPECT_EQ(tap->registry()->nodeCount(), 130u);
  EXPECT_EQ(tap->outputCount(), 128 * 8);
  ASSERT_EQ(graph.link("feed", 0, "tap", 0), "");
  int broadcastsBefore = static_cast<int>(graph.broadcasts());
  feed->sendInteger(0, 1);
  // One broadcast of the feeder, then 128 nodes of eight outputs.
  EXPECT_EQ(graph.broadcasts() - broadcastsBefore, 1 + 128 * 8);
}

TEST_F(FleetTapTest, AClockThatStaysNonZeroProcessesOnce) {
  startWithFiles();
  feed->sendInteger(0, 1);
  EXPECT_EQ(probe->events.size(), 24u);
  feed->sendInteger(0, 5);  // still non-zero: no edge
  EXPECT_EQ(probe->events.size(), 24u);
  feed->sendInteger(0, 0);
  EXPECT_EQ(probe->events.size(), 24u);
  feed->sendInteger(0, -3);
  EXPECT_EQ(probe->events.size(), 48u);
  EXPECT_EQ(probe->events[0].port, 0);
  EXPECT_EQ(probe->events[23].port, 23);
  EXPECT_EQ(text(8), "7");
}

TEST_F(FleetTapTest, OutputsCarryTheLastReportAndHealthFollowsTheClock) {
  startWithFiles();
  clock.set(1075478000, 0);
  report(7, 1075479116, 250, 49.5);
  feed->sendInteger(0, 1);
  EXPECT_EQ(text(8), "7");
  EXPECT_DOUBLE_EQ(probe->last(9)->real, 49.5);
  EXPECT_DOUBLE_EQ(probe->last(10)->real, -49.5);
  EXPECT_EQ(text(11), "1075479116");
  EXPECT_EQ(text(12), "250");
  EXPECT_EQ(text(13), "2004/01/30,16:11:56.250");
  EXPECT_EQ(text(14), "0");
  EXPECT_DOUBLE_EQ(probe->last(15)->real, 0.0);
  EXPECT_EQ(text(6), "2");  // node 3 never reported
  auto tickAfter = [&](int ms) {
    clock.advanceMs(ms);
    feed->sendInteger(0, 0);
    feed->sendInteger(0, 1);
    return text(14);
  };
  EXPECT_EQ(tickAfter(1999), "0");  // thresholds 2 s and 4 s from the start
  EXPECT_EQ(tickAfter(1), "1");
  EXPECT_EQ(tickAfter(1999), "1");
  EXPECT_EQ(tickAfter(1), "2");
  EXPECT_NEAR(probe->last(15)->real, 4.0, 1e-9);
  EXPECT_EQ(tickAfter(10000), "2");  // stays bad on every tick
  EXPECT_EQ(tickAfter(1), "2");
  report(7, 1075479117, 0, 49.6);  // a newer report
  EXPECT_EQ(tickAfter(0), "0");
}

TEST_F(FleetTapTest, ThresholdsThatAreNotWholeSecondsAreMetExactly) {
  startWithFiles();
  ASSERT_TRUE(tap->updateProperty(JRealProperty(JString("medium threshold"), 2.0, 5, 3)));
  ASSERT_TRUE(tap->updateProperty(JRealProperty(JString("bad threshold"), -2.5, 5, 3)));
  EXPECT_EQ(tap->registry()->badThreshold(), 2500);
  clock.set(1000, 999);
  report(7, 1, 0, 1.0);
  clock.set(1003, 0);  // 2.001 s later, across three whole seconds
  EXPECT_EQ(tap->registry()->nodeById(7)->updateHealth(), 1);
  clock.set(1003, 498);
  EXPECT_EQ(tap->registry()->nodeById(7)->updateHealth(), 1);
  clock.set(1003, 499);
  EXPECT_EQ(tap->registry()->nodeById(7)->updateHealth(), 2);
}

TEST_F(FleetTapTest, OutputsOfNodesThatAreNotLoadedLeaveTheWrapperAlone) {
  JContent saved;
  saved.putInteger("number of nodes", 3);
  tap->readContent(saved);
  EXPECT_EQ(tap->outputCount(), 24);  // before any node file
  tap->startup();                     // no node file: no nodes
  int value = -77;
  JIntegerData data(value);
  JLinkObj link(tap, 0, probe, 0);
  link.access(data);
  EXPECT_EQ(value, -77);
  JLinkObj outside(tap, 24, probe, 0);
  outside.access(data);
  EXPECT_EQ(value, -77);
}

TEST_F(FleetTapTest, SavedContentReadsBackIntoAFreshModule) {
  ASSERT_TRUE(tap->updateProperty(JRealProperty(JString("medium threshold"), 1.5, 5, 3)));
  ASSERT_TRUE(tap->updateProperty(JRealProperty(JString("bad threshold"), 3.25, 5, 3)));
  ASSERT_TRUE(tap->updateProperty(JIntegerProperty(JString("MAX packet size"), 120, 20, 300)));
  ASSERT_TRUE(tap->updateProperty(JIntegerProperty(JString("packet buffer size"), 40, 10, 100)));
  ASSERT_TRUE(tap->updateProperty(JIntegerProperty(JString("verify checksum"), 1, 0, 1)));
  startWithFiles();
  tap->moveTo(30, 40);
  JContent saved;
  tap->writeContent(saved);
  EXPECT_EQ(saved.getObject("version")->str(), "0.71");
  EXPECT_EQ(saved.getInteger("number of nodes", -1), 3);
  std::vector<std::string> keys;
  for (const auto& e : saved.entries()) keys.push_back(e.key);
  EXPECT_EQ(keys.back(), "y");  // the base content comes last
  EXPECT_EQ(keys.front(), "version");

  JFleetTap fresh;
  fresh.readContent(saved);
  EXPECT_EQ(fresh.outputCount(), 24);
  EXPECT_EQ(fresh.extent().x, 30);
  JContent again;
  fresh.writeContent(again);
  EXPECT_EQ(again, saved);
  fresh.setClock(clock);
  fresh.startup();
  EXPECT_EQ(fresh.registry()->nodeCount(), 3u);
  EXPECT_EQ(fresh.registry()->mediumThreshold(), 1500);
  EXPECT_EQ(fresh.registry()->badThreshold(), 3250);
  EXPECT_TRUE(fresh.registry()->verifyChecksum());
  JArray list = fresh.getProperties();
  ASSERT_NE(list.find("packet buffer size"), nullptr);
  EXPECT_EQ(list.find("packet buffer size")->asInteger()->getValue(), 40);
  EXPECT_EQ(list.find("MAX packet size")->asInteger()->getHigh(), 300);
  EXPECT_EQ(list.find("node file name")->asFile()->getPattern(), "*.nod");
  EXPECT_EQ(list.find("port file name")->asFile()->getPattern(), "*.mcp");
  EXPECT_EQ(list[0].getName(), "version");
}

TEST_F(FleetTapTest, ASavedModuleWithoutThresholdsCallsEveryNodeBad) {
  JContent saved;
  saved.putObject("node file name", JString(dir.file("fleet.nod")));
  tap->readContent(saved);
  tap->startup();
  EXPECT_EQ(tap->registry()->badThreshold(), 0);
  clock.set(5000, 0);
  report(3, 1, 0, 1.0);
  EXPECT_EQ(tap->registry()->nodeById(3)->updateHealth(), 2);
}

TEST_F(FleetTapTest, ADamagedNodeCountCannotMakeTheOutputCountNegative) {
  JContent saved;
  saved.putInteger("number of nodes", -5);
  tap->readContent(saved);
  EXPECT_EQ(tap->outputCount(), 0);
  saved.putInteger("number of nodes", 2000000000);
  tap->readContent(saved);
  EXPECT_EQ(tap->outputCount(), 128 * 8);
}

TEST_F(FleetTapTest, AClosedModuleIgnoresItsInputsAndOutputRequests) {
  startWithFiles();
  tap->close();
  EXPECT_EQ(tap->registry(), nullptr);
  EXPECT_FALSE(tap->enabled());
  feed->sendInteger(0, 1);
  feed->sendInteger(1, 1);
  EXPECT_TRUE(probe->events.empty());
  // Reading content enables it again; startup() gives it a registry.
  JContent saved;
  tap->writeContent(saved);
  tap->readContent(saved);
  EXPECT_TRUE(tap->enabled());
  feed->sendInteger(0, 0);
  tap->startup();
  feed->sendInteger(0, 1);
  EXPECT_EQ(probe->events.size(), 24u);
}

TEST_F(FleetTapTest, WithoutARegistryTheClockIsNotEvenStored) {
  ASSERT_EQ(graph.link("feed", 0, "tap", 0), "");
  feed->sendInteger(0, 1);  // before startup(): ignored
  startWithFiles(false);
  feed->sendInteger(0, 1);  // so this is still a rising edge
  EXPECT_FALSE(probe->events.empty());
}

TEST_F(FleetTapTest, ACopyHasTheSettingsButNoRegistry) {
  startWithFiles();
  std::unique_ptr<JObject> copy(tap->clone());
  auto* other = static_cast<JFleetTap*>(copy.get());
  EXPECT_EQ(other->registry(), nullptr);
  EXPECT_EQ(other->outputCount(), 24);
  EXPECT_EQ(other->nodeFileName(), tap->nodeFileName());
  JComponent palette;
  tap->addButton(palette);
  EXPECT_EQ(palette.buttons().size(), 1u);
}

TEST_F(FleetTapTest, PaintDrawsTheBodyThenTheRaisedSquare) {
  startWithFiles();
  tap->moveTo(10, 20);
  JRecordingGraphics g;
  tap->paint(g, 1.0, 1.0);
  ASSERT_FALSE(g.calls().empty());
  EXPECT_EQ(g.calls().back(), "rect3d 14 24 4 4 3");
  EXPECT_EQ(g.texts().size(), 3u);
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// The built plug-in: its entry registers JFleetTap, and it exports the
// trace log beside the module class.
TEST(FleetTapPlugin, LoadingRegistersTheModuleAndExportsTheLog) {
  const std::string path = kestrel::testing::programPath("modules/plugins/libJFleetTap.so");
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  auto entry = reinterpret_cast<ModuleEntry>(::dlsym(library, kModuleEntrySymbol));
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry(), "JFleetTap");
  EXPECT_TRUE(JModuleRegistry::global().contains("JFleetTap"));
  EXPECT_NE(::dlsym(library, "_Z8fleetLogv"), nullptr);
  EXPECT_NE(::dlsym(library, "_ZN7KV_OLog6printfEPKcz"), nullptr);
  EXPECT_NE(::dlsym(library, "_ZN7KV_OLog4openEPKcz"), nullptr);
  std::unique_ptr<JAddObj> made = JModuleRegistry::global().create("JFleetTap");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->inputTag(1), "on off");
  made.reset();
  // The prototype's code lives in the library, which therefore stays loaded.
  JModuleRegistry::global().remove("JFleetTap");
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

using kestrel::testing::readFile;

bool hasLineStarting(const std::string& text, const std::string& start) {
  return text.find("\n" + start) != std::string::npos || text.rfind(start, 0) == 0;
}

TEST_F(FleetTapTest, EveryStepTracesThroughTheSharedLog) {
  ASSERT_EQ(fleetLog().open("%s", dir.file("trace.log").c_str()), 1);
  startWithFiles();
  feed->sendInteger(0, 1);
  feed->sendInteger(1, 0);
  fleetLog().close();
  const std::string trace = readFile(dir.file("trace.log"));
  EXPECT_TRUE(hasLineStarting(trace, "JFleetTap::startup() 0x")) << trace.substr(0, 400);
  EXPECT_TRUE(hasLineStarting(trace, "loadNodeFile file name is " + dir.file("fleet.nod")));
  EXPECT_TRUE(hasLineStarting(trace, "JFleetTap::engine() n=0 "));
  EXPECT_NE(trace.find("  ----- ogm is 24\n"), std::string::npos);
  EXPECT_TRUE(hasLineStarting(trace, "JFleetTap::engine() processing tick\n"));
  EXPECT_TRUE(hasLineStarting(trace, "In kv_rov_portHandler::service() running is 0\n"));
  EXPECT_TRUE(hasLineStarting(trace, "JFleetTap::engine() on-off is 0\n"));
  EXPECT_TRUE(hasLineStarting(trace, "JFleetTap::access getTimeString \n"));
  // Closed again: nothing more is written.
  tap->close();
  EXPECT_EQ(readFile(dir.file("trace.log")), trace);
}

// The shared log opens only when KV_OLOG names a file; `loom --check` loads
// the plug-in, whose entry constructs the prototype.
TEST(FleetTapLogSwitch, KvOlogNamesTheTraceFile) {
  kestrel::testing::TempDir dir(false);
  dir.write("fleet.json",
            R"({"libraries": ["JFleetTap"], "modules": [{"name": "tap", "class": "JFleetTap"}]})");
  const std::string loom = kestrel::testing::programPath("modules/host/loom");
  const std::string plugins = kestrel::testing::programPath("modules/plugins");
  const std::string command = "KV_OLOG=" + dir.file("trace.log") + " " + loom + " --plugin-dir " +
                              plugins + " --check " + dir.file("fleet.json") + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string trace = readFile(dir.file("trace.log"));
  EXPECT_TRUE(hasLineStarting(trace, "JFleetTap::JFleetTap() 0x")) << trace;
  EXPECT_NE(trace.find("----------- #0\n"), std::string::npos);
  const std::string quiet = loom + " --plugin-dir " + plugins + " --check " + dir.file("fleet.json") +
                            " >/dev/null 2>&1";
  std::remove(dir.file("trace.log").c_str());
  ASSERT_EQ(std::system(("env -u KV_OLOG " + quiet).c_str()), 0);
  EXPECT_EQ(readFile(dir.file("trace.log")), "");
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// The demo documents load: every class, property, port and link is sound.
TEST(FleetTapDemo, TheSharedDocumentsPassTheCheck) {
  const std::string loom = kestrel::testing::programPath("modules/host/loom");
  const std::string plugins = kestrel::testing::programPath("modules/plugins");
  for (const char* doc : {"share/loom/fleet_viewer.json", "share/loom/fleet_print.json"}) {
    const std::string command = loom + " --plugin-dir " + plugins + " --check " +
                                kestrel::testing::sourcePath(doc) + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << doc;
  }
}

}  // namespace
}  // namespace kestrel
