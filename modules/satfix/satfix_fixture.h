// The graph most JSatFix tests run in: a feeder (bytes, debug flag) ->
// JSatFix -> a probe on all five outputs, wired in the host's real module graph.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"
#include "modules/satfix/jsatfix.h"

namespace kestrel {

class SatFixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(graph.add("feed", std::make_unique<testing::Feeder>("bi")), "");
    ASSERT_EQ(graph.add("gps", std::make_unique<JSatFix>()), "");
    ASSERT_EQ(graph.add("probe", std::make_unique<testing::Probe>(5)), "");
    feed = static_cast<testing::Feeder*>(graph.find("feed"));
    gps = static_cast<JSatFix*>(graph.find("gps"));
    probe = static_cast<testing::Probe*>(graph.find("probe"));
    ASSERT_EQ(graph.link("feed", 0, "gps", 0), "");
    ASSERT_EQ(graph.link("feed", 1, "gps", 1), "");
    for (int p = 0; p < 5; ++p) ASSERT_EQ(graph.link("gps", p, "probe", p), "");
  }

  void send(const std::string& bytes) { feed->sendBytes(0, bytes); }
  std::string text(int port) const {
    const testing::Probe::Event* e = probe->last(port);
    return e ? e->text : "<none>";
  }
  double real(int port) const {
    const testing::Probe::Event* e = probe->last(port);
    return e ? e->real : -1.0;
  }
  // Pulls an output without a broadcast, as a host does for a new link.
  double pullReal(int port) {
    double v = -1;
    JRealData data(v);
    JLinkObj link(gps, port, probe, port);
    link.access(data);
    return v;
  }

  ModuleGraph graph;
  testing::Feeder* feed = nullptr;
  JSatFix* gps = nullptr;
  testing::Probe* probe = nullptr;
};

}  // namespace kestrel
