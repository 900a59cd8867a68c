// What other threads touch in the host: a stop request for the
// main loop, and the debug echo that receive threads of modules may call.
#include "modules/host/runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "modules/common/jcomponent.h"
#include "modules/host/clock_modules.h"

namespace kestrel {
namespace {

TEST(Runner, StopRequestedFromAnotherThreadEndsTheRun) {
  ModuleGraph graph;
  ASSERT_EQ(graph.add("clock", std::make_unique<JClock>()), "");
  ASSERT_TRUE(graph.find("clock")->updateProperty(JIntegerProperty(JString("period"), 1, 1, 10)));
  Runner runner;
  graph.startupAll();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    runner.requestStop();
  });
  EXPECT_EQ(runner.run(graph), Runner::End::Stopped);
  stopper.join();
  graph.closeAll();
}

TEST(Runner, DebugLinesFromManyThreadsAllReachTheSink) {
  static std::atomic<int> lines{0};
  int unguarded = 0;  // written only under the sink's lock
  JComponent::setDebugSink(
      [](void* ctx, const JString&) {
        ++*static_cast<int*>(ctx);
        ++lines;
      },
      &unguarded);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 500; ++i) JComponent::debug(JString("line"));
    });
  }
  for (auto& t : threads) t.join();
  JComponent::setDebugSink(nullptr, nullptr);
  EXPECT_EQ(lines.load(), 2000);
  EXPECT_EQ(unguarded, 2000);
}

}  // namespace
}  // namespace kestrel
