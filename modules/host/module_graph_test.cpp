#include "modules/host/module_graph.h"

#include <gtest/gtest.h>

#include "modules/host/probe_modules.h"

namespace kestrel {
namespace {

using testing::Feeder;
using testing::Probe;

// Passes its integer input on, plus one; used to build chains and loops.
class Relay : public JAddObj {
 public:
  Relay() {
    igm = 1;
    ogm = 1;
  }
  JString className() const override { return JString("Relay"); }
  JObject* clone() const override { return new Relay(*this); }
  void engine(int, JLinkObj& link) override {
    JIntegerData d(value);
    link.access(d);
    ++value;
    ++calls;
    broadcast(0);
  }
  void access(int, JLinkObj&, JData& data) override { data.setInteger(value); }
  void startup() override { ++started; }
  void close() override { ++closed; }
  int value = 0, calls = 0, started = 0, closed = 0;
};

class ModuleGraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(graph.add("feed", std::make_unique<Feeder>("isb")), "");
    ASSERT_EQ(graph.add("relay", std::make_unique<Relay>()), "");
    ASSERT_EQ(graph.add("probe", std::make_unique<Probe>(2)), "");
    feed = static_cast<Feeder*>(graph.find("feed"));
    relay = static_cast<Relay*>(graph.find("relay"));
    probe = static_cast<Probe*>(graph.find("probe"));
  }
  ModuleGraph graph;
  Feeder* feed = nullptr;
  Relay* relay = nullptr;
  Probe* probe = nullptr;
};

TEST_F(ModuleGraphTest, BroadcastReachesEveryLinkedInputWhichPullsFromTheSource) {
  ASSERT_EQ(graph.link("feed", 0, "relay", 0), "");
  ASSERT_EQ(graph.link("relay", 0, "probe", 0), "");
  ASSERT_EQ(graph.link("feed", 0, "probe", 1), "");
  feed->sendInteger(0, 41);
  EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1}));
  EXPECT_EQ(probe->events[0].text, "42");
  EXPECT_EQ(probe->events[1].text, "41");
  EXPECT_EQ(graph.broadcasts(), 2);
}

TEST_F(ModuleGraphTest, AnOutputWithoutLinksGoesNowhere) {
  feed->sendInteger(0, 1);
  EXPECT_TRUE(probe->events.empty());
}

TEST_F(ModuleGraphTest, LinksAreRefusedWithTheProblemNamed) {
  EXPECT_EQ(graph.link("nobody", 0, "relay", 0), "a link comes from 'nobody', which is no module");
  EXPECT_EQ(graph.link("feed", 0, "nobody", 0), "a link goes to 'nobody', which is no module");
  EXPECT_EQ(graph.link("feed", 3, "relay", 0), "'feed' has no output 3 (it has 3)");
  EXPECT_EQ(graph.link("feed", 0, "relay", 1), "'relay' has no input 1 (it has 1)");
  EXPECT_EQ(graph.link("feed", 1, "relay", 0),
            "wrong value types: output 'feed1' (1) of 'feed' gives string, input 'in' (0) of "
            "'relay' takes integer");
  EXPECT_EQ(graph.link("feed", 2, "probe", 0), "") << "an input of any type takes bytes";
  EXPECT_TRUE(graph.links().size() == 1);
}

TEST_F(ModuleGraphTest, NamesAreUniqueAndRequired) {
  EXPECT_EQ(graph.add("relay", std::make_unique<Relay>()), "two modules are named 'relay'");
  EXPECT_EQ(graph.add("", std::make_unique<Relay>()), "a module needs a name");
  EXPECT_EQ(graph.add("x", nullptr), "module 'x' could not be created");
}

TEST_F(ModuleGraphTest, ALoopOfLinksIsCutOffInsteadOfOverflowingTheStack) {
  ASSERT_EQ(graph.add("relay2", std::make_unique<Relay>()), "");
  ASSERT_EQ(graph.link("relay", 0, "relay2", 0), "");
  ASSERT_EQ(graph.link("relay2", 0, "relay", 0), "");
  ASSERT_EQ(graph.link("feed", 0, "relay", 0), "");
  feed->sendInteger(0, 0);
  EXPECT_LE(relay->calls, ModuleGraph::kMaxDepth);
  EXPECT_GT(relay->calls, 10);
}

TEST_F(ModuleGraphTest, StartupCloseAndRepaintReachTheModules) {
  graph.startupAll();
  graph.closeAll();
  EXPECT_EQ(relay->started, 1);
  EXPECT_EQ(relay->closed, 1);
  graph.repaint(*relay);
  EXPECT_EQ(graph.node("relay")->repaints, 1);
  EXPECT_EQ(graph.nameOf(relay), "relay");
  EXPECT_EQ(relay->host(), &graph);
}

}  // namespace
}  // namespace kestrel
