#include "modules/host/line_sender.h"

#include <gtest/gtest.h>

#include <thread>

#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"
#include "modules/host/tcp_listener.h"

namespace kestrel {
namespace {

using testing::Feeder;
using testing::TcpListener;

// A string feeder -> JLineSender -> a real listening socket on 127.0.0.1.
class LineSenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(listener.ok());
    ASSERT_EQ(graph.add("feed", std::make_unique<Feeder>("s")), "");
    ASSERT_EQ(graph.add("send", std::make_unique<JLineSender>()), "");
    feed = static_cast<Feeder*>(graph.find("feed"));
    sender = static_cast<JLineSender*>(graph.find("send"));
    ASSERT_EQ(graph.link("feed", 0, "send", 0), "");
    ASSERT_TRUE(sender->updateProperty(JIntegerProperty(JString("port"), listener.port(), 1, 65535)));
  }

  TcpListener listener;
  ModuleGraph graph;
  Feeder* feed = nullptr;
  JLineSender* sender = nullptr;
};

TEST_F(LineSenderTest, EachStringArrivesAsOneLine) {
  feed->sendString(0, "setobject ball");
  feed->sendString(0, "two\nlines\r");
  feed->sendString(0, "");
  ASSERT_TRUE(listener.accept());
  EXPECT_EQ(listener.read(27), "setobject ball\ntwo lines \n\n");
}

TEST_F(LineSenderTest, ReconnectsWhenThePeerWentAway) {
  feed->sendString(0, "first");
  ASSERT_TRUE(listener.accept());
  EXPECT_EQ(listener.read(6), "first\n");
  listener.closeClient();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the close arrive
  feed->sendString(0, "second");
  ASSERT_TRUE(listener.accept());
  EXPECT_EQ(listener.read(7), "second\n");
  EXPECT_TRUE(sender->connected());
}

TEST(LineSenderBacklog, LinesWaitWhileNobodyListensAndGoOutInOrderLater) {
  int port = 0;
  {
    TcpListener gone;  // finds a free port and gives it back
    port = gone.port();
  }
  ModuleGraph graph;
  ASSERT_EQ(graph.add("feed", std::make_unique<Feeder>("s")), "");
  ASSERT_EQ(graph.add("send", std::make_unique<JLineSender>()), "");
  auto* feed = static_cast<Feeder*>(graph.find("feed"));
  auto* sender = static_cast<JLineSender*>(graph.find("send"));
  ASSERT_EQ(graph.link("feed", 0, "send", 0), "");
  ASSERT_TRUE(sender->updateProperty(JIntegerProperty(JString("port"), port, 1, 65535)));
  feed->sendString(0, "a");
  feed->sendString(0, "b");
  EXPECT_FALSE(sender->connected());
  EXPECT_EQ(sender->waiting(), 2u);
  EXPECT_NE(sender->wakeAt(), Driven::Clock::time_point::max()) << "a retry is due";
  TcpListener later(port);
  ASSERT_TRUE(later.ok());
  sender->wake(Driven::Clock::now(), false);
  ASSERT_TRUE(later.accept());
  EXPECT_EQ(later.read(4), "a\nb\n");
  EXPECT_EQ(sender->waiting(), 0u);
  EXPECT_EQ(sender->wakeAt(), Driven::Clock::time_point::max());
}

TEST(LineSender, HostMustBeADottedAddressAndPortInRange) {
  JLineSender s;
  EXPECT_FALSE(s.updateProperty(JStringProperty(JString("host"), JString("localhost"))));
  EXPECT_TRUE(s.updateProperty(JStringProperty(JString("host"), JString("10.0.0.2"))));
  EXPECT_FALSE(s.updateProperty(JIntegerProperty(JString("port"), 70000, 1, 70000)));
  JContent c;
  s.writeContent(c);
  EXPECT_EQ(*c.getObject("host"), "10.0.0.2");
  EXPECT_EQ(c.getInteger("port", 0), 3502);
}

}  // namespace
}  // namespace kestrel
