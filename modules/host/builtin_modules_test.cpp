#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "modules/host/byte_source.h"
#include "modules/host/clock_modules.h"
#include "modules/host/formatter.h"
#include "modules/host/printer.h"
#include "modules/host/probe_modules.h"
#include "modules/host/runner.h"
#include "modules/host/test_paths.h"

namespace kestrel {
namespace {

using testing::Feeder;
using testing::Probe;
using testing::TempDir;

template <class P, class V>
void set(JAddObj& m, const char* name, V value) {
  JArray list = m.getProperties();
  const JProperty* current = list.find(name);
  ASSERT_NE(current, nullptr) << name;
  auto changed = current->copy();
  static_cast<P&>(*changed).setValue(value);
  ASSERT_TRUE(m.updateProperty(*changed)) << name;
}
void setInt(JAddObj& m, const char* name, int v) { set<JIntegerProperty>(m, name, v); }
void setText(JAddObj& m, const char* name, const char* v) {
  ASSERT_TRUE(m.updateProperty(JStringProperty(JString(name), JString(v)))) << name;
}

// A module under test -> probe, run by the real runner.
class BuiltinTest : public ::testing::Test {
 protected:
  template <class M>
  M* add(const char* name = "m") {
    EXPECT_EQ(graph.add(name, std::make_unique<M>()), "");
    return static_cast<M*>(graph.find(name));
  }
  Probe* probe(const char* from, int inputs = 1) {
    EXPECT_EQ(graph.add("probe", std::make_unique<Probe>(inputs)), "");
    EXPECT_EQ(graph.link(from, 0, "probe", 0), "");
    return static_cast<Probe*>(graph.find("probe"));
  }
  Runner::End run() {
    graph.startupAll();
    Runner::End end = runner.run(graph);
    graph.closeAll();
    return end;
  }
  static std::string joined(const Probe& p) {
    std::string all;
    for (const auto& e : p.events) all += e.text + (e.text.size() <= 2 ? "," : "");
    return all;
  }

  ModuleGraph graph;
  Runner runner;
  TempDir dir{false};
};

TEST_F(BuiltinTest, PulseClockEmitsOneThenZeroPerTickAndEndsAfterItsTicks) {
  auto* clock = add<JClock>();
  setInt(*clock, "period", 5);
  setInt(*clock, "ticks", 3);
  Probe* p = probe("m");
  EXPECT_EQ(run(), Runner::End::Finished);
  EXPECT_EQ(joined(*p), "1,0,1,0,1,0,");
}

TEST_F(BuiltinTest, CountingClockOffersTheTickNumber) {
  auto* clock = add<JClock>();
  setInt(*clock, "period", 1);
  setInt(*clock, "ticks", 4);
  setText(*clock, "mode", "count");
  EXPECT_FALSE(clock->updateProperty(JStringProperty(JString("mode"), JString("wobble"))));
  Probe* p = probe("m");
  run();
  EXPECT_EQ(joined(*p), "1,2,3,4,");
}

TEST_F(BuiltinTest, ConstantBroadcastsItsValueOnceAtTheStart) {
  auto* c = add<JConstant>();
  setInt(*c, "value", -12);
  Probe* p = probe("m");
  EXPECT_EQ(run(), Runner::End::Finished);
  EXPECT_EQ(joined(*p), "-12");
}

TEST_F(BuiltinTest, ConstantsArriveBeforeAnySourceDelivers) {
  auto* src = add<JByteSource>("src");
  ASSERT_TRUE(src->updateProperty(JFileProperty(JString("path"), JString(dir.write("log", "x")), JString("*"))));
  add<JConstant>("debug");
  Probe* p = probe("src", 2);
  ASSERT_EQ(graph.link("debug", 0, "probe", 1), "");
  run();
  EXPECT_EQ(p->ports(), (std::vector<int>{1, 0}));
}

TEST_F(BuiltinTest, FileSourceDeliversTheWholeFileInOrderInBlocks) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += "$GPGSV,1,1," + std::to_string(i) + "\r\n";
  auto* src = add<JByteSource>();
  ASSERT_TRUE(src->updateProperty(JFileProperty(JString("path"), JString(dir.write("log", text)), JString("*"))));
  setInt(*src, "block", 1000);
  Probe* p = probe("m");
  EXPECT_EQ(run(), Runner::End::Finished);
  std::string got;
  for (const auto& e : p->events) got += e.text;
  EXPECT_EQ(got, text);
  EXPECT_EQ(p->events.size(), (text.size() + 999) / 1000);
}

TEST_F(BuiltinTest, FileSourceWithARateDeliversInSmallPieces) {
  const std::string text(2000, 'a');
  auto* src = add<JByteSource>();
  ASSERT_TRUE(src->updateProperty(JFileProperty(JString("path"), JString(dir.write("log", text)), JString("*"))));
  setInt(*src, "rate", 40000);  // pieces of at most a fiftieth of a second's worth
  Probe* p = probe("m");
  run();
  std::size_t total = 0;
  for (const auto& e : p->events) {
    EXPECT_LE(e.text.size(), 800u);
    total += e.text.size();
  }
  EXPECT_EQ(total, text.size());
  EXPECT_GE(p->events.size(), 3u);
}

TEST_F(BuiltinTest, PipeSourceReadsUntilTheWriterCloses) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  auto* src = add<JByteSource>();
  const std::string path = "/dev/fd/" + std::to_string(fds[0]);
  ASSERT_TRUE(src->updateProperty(JFileProperty(JString("path"), JString(path), JString("*"))));
  Probe* p = probe("m");
  std::thread writer([&] {
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(write(fds[1], "abc\n", 4), 4);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(fds[1]);
  });
  graph.startupAll();
  ::close(fds[0]);  // the source holds its own descriptor
  EXPECT_EQ(runner.run(graph), Runner::End::Finished);
  writer.join();
  std::string got;
  for (const auto& e : p->events) got += e.text;
  EXPECT_EQ(got, "abc\nabc\nabc\n");
}

TEST_F(BuiltinTest, SerialSourceSetsTheLineSpeedAndReadsTheDevice) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  auto* src = add<JByteSource>();
  ASSERT_TRUE(src->updateProperty(JFileProperty(JString("path"), JString(name), JString("*"))));
  setInt(*src, "baud", 4800);
  EXPECT_FALSE(src->updateProperty(JIntegerProperty(JString("baud"), 1234, 0, 921600)));
  Probe* p = probe("m");
  graph.startupAll();
  EXPECT_EQ(src->problem(), "");
  termios tio = {};
  ASSERT_EQ(tcgetattr(slave, &tio), 0);
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B4800));
  EXPECT_EQ(tio.c_lflag & ICANON, 0u) << "raw mode";
  ASSERT_EQ(write(master, "$GPGSV\r\n", 8), 8);
  std::thread stopper([&] {
    for (int i = 0; i < 200 && p->events.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    runner.requestStop();
  });
  EXPECT_EQ(runner.run(graph), Runner::End::Stopped);
  stopper.join();
  graph.closeAll();
  ASSERT_FALSE(p->events.empty());
  EXPECT_EQ(p->events[0].text, "$GPGSV\r\n");
  ::close(master);
  ::close(slave);
}

TEST_F(BuiltinTest, MissingDeviceIsAProblemNotAHang) {
  auto* src = add<JByteSource>();
  ASSERT_TRUE(src->updateProperty(JFileProperty(JString("path"), JString(dir.file("none")), JString("*"))));
  graph.startupAll();
  EXPECT_NE(src->problem().find("cannot open"), std::string::npos);
  EXPECT_FALSE(src->live());
  EXPECT_EQ(runner.run(graph), Runner::End::Finished);
}

TEST_F(BuiltinTest, StopRequestEndsAClockThatTicksForever) {
  auto* clock = add<JClock>();
  setInt(*clock, "period", 2);
  Probe* p = probe("m");
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    runner.requestStop();
  });
  EXPECT_EQ(run(), Runner::End::Stopped);
  stopper.join();
  EXPECT_FALSE(p->events.empty());
}

TEST_F(BuiltinTest, FormatterBuildsTextFromTheLatestInputs) {
  auto* f = add<JFormat>();
  setText(*f, "inputs", "isr");
  setText(*f, "pattern", "setvalue %d on %s at %.2f");
  EXPECT_FALSE(f->updateProperty(JStringProperty(JString("inputs"), JString("ix"))));
  EXPECT_FALSE(f->updateProperty(JStringProperty(JString("pattern"), JString("%n"))));
  ASSERT_EQ(graph.add("feed", std::make_unique<Feeder>("isr")), "");
  auto* feed = static_cast<Feeder*>(graph.find("feed"));
  for (int port = 0; port < 2; ++port) ASSERT_EQ(graph.link("feed", port, "m", port), "");
  EXPECT_NE(graph.link("feed", 0, "m", 2), "") << "integer into the real input";
  Probe* p = probe("m");
  feed->sendInteger(0, 32767);
  feed->sendString(1, "ball");
  ASSERT_EQ(p->events.size(), 2u);
  EXPECT_EQ(p->events[0].text, "setvalue 32767 on  at 0.00");
  EXPECT_EQ(p->events[1].text, "setvalue 32767 on ball at 0.00");
  EXPECT_FALSE(f->updateProperty(JStringProperty(JString("inputs"), JString("i"))))
      << "ports under links do not change";
}

TEST_F(BuiltinTest, PrinterWritesTagColonValueLines) {
  std::FILE* out = std::tmpfile();
  auto* printer = add<JPrinter>("print");
  printer->setStream(out);
  setInt(*printer, "inputs", 3);
  ASSERT_EQ(graph.add("feed", std::make_unique<Feeder>("irb")), "");
  auto* feed = static_cast<Feeder*>(graph.find("feed"));
  for (int port = 0; port < 3; ++port) ASSERT_EQ(graph.link("feed", port, "print", port), "");
  feed->sendInteger(0, 7);
  feed->sendBytes(2, "$GP\r\n\x01");
  setText(*printer, "tag", "gps");
  feed->sendInteger(0, 8);
  std::rewind(out);
  char buffer[256] = {};
  std::fread(buffer, 1, sizeof buffer - 1, out);
  std::fclose(out);
  EXPECT_STREQ(buffer, "feed0: 7\nfeed2: $GP\\r\\n\\x01\ngps: 8\n");
}

TEST_F(BuiltinTest, CounterCountsWithoutPullingAndPrintsAtClose) {
  std::FILE* out = std::tmpfile();
  auto* counter = add<JCounter>("count");
  counter->setStream(out);
  setText(*counter, "tag", "sentences");
  ASSERT_EQ(graph.add("feed", std::make_unique<Feeder>("s")), "");
  ASSERT_EQ(graph.link("feed", 0, "count", 0), "");
  auto* feed = static_cast<Feeder*>(graph.find("feed"));
  for (int i = 0; i < 5; ++i) feed->sendString(0, "x");
  EXPECT_EQ(counter->count(), 5);
  counter->close();
  std::rewind(out);
  char buffer[64] = {};
  std::fread(buffer, 1, sizeof buffer - 1, out);
  std::fclose(out);
  EXPECT_STREQ(buffer, "sentences: 5\n");
}

TEST_F(BuiltinTest, BuiltinContentRoundTrips) {
  auto* clock = add<JClock>("clock");
  setInt(*clock, "period", 250);
  setText(*clock, "mode", "count");
  JContent saved;
  clock->writeContent(saved);
  JClock restored;
  restored.readContent(saved);
  JContent again;
  restored.writeContent(again);
  EXPECT_EQ(saved, again);
  EXPECT_EQ(saved.getInteger("period", 0), 250);
}

TEST_F(BuiltinTest, NothingLiveMeansTheRunEndsAtOnce) {
  add<JPrinter>();
  EXPECT_EQ(run(), Runner::End::Finished);
}

}  // namespace
}  // namespace kestrel
