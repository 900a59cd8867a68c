#include "viewer/engine/engine_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"

namespace kestrel {
namespace {

// An engine that records what it executes, and from which queue.
class RecordingEngine : public EngineLoop {
 public:
  RecordingEngine(InternalCommandQueue& primary, InternalCommandQueue& secondary)
      : EngineLoop(primary, secondary), primary_(primary) {}
  std::vector<std::string> log;

 protected:
  void execute(QueuedCommand& entry, InternalCommandQueue& queue) override {
    log.push_back((&queue == &primary_ ? "p" : "s") + std::to_string(entry.code));
    EngineLoop::execute(entry, queue);
  }

 private:
  InternalCommandQueue& primary_;
};

class EngineLoopTest : public ::testing::Test {
 protected:
  InternalCommandQueue primary_;
  InternalCommandQueue secondary_;
  RecordingEngine engine_{primary_, secondary_};
};

TEST_F(EngineLoopTest, SlowModeRunsOneEntryPerTickPrimaryFirst) {
  primary_.queue("show");
  secondary_.queue("hide");
  engine_.onTimer();
  EXPECT_EQ(engine_.log, (std::vector<std::string>{"p4"}));
  engine_.onTimer();
  EXPECT_EQ(engine_.log, (std::vector<std::string>{"p4", "s5"}));
  engine_.onTimer();
  EXPECT_EQ(engine_.executed(), 2u);
}

TEST_F(EngineLoopTest, FastModeDrainsOnlyTheQueueItStartedOn) {
  secondary_.queue("fast");
  secondary_.queue("left");
  secondary_.queue("right");
  engine_.onTimer();
  EXPECT_TRUE(engine_.fastMode());
  EXPECT_EQ(engine_.log, (std::vector<std::string>{"s59", "s15", "s16"}));
  primary_.queue("up");
  primary_.queue("down");
  secondary_.queue("in");
  engine_.onTimer();
  EXPECT_EQ(engine_.log, (std::vector<std::string>{"s59", "s15", "s16", "p17", "p18"}));
  primary_.queue("slow");
  primary_.queue("out");
  engine_.onTimer();
  EXPECT_FALSE(engine_.fastMode());
  engine_.onTimer();
  engine_.onTimer();
  EXPECT_EQ(engine_.log.back(), "s19");
}

TEST_F(EngineLoopTest, ABlockCountsAsOneEntry) {
  primary_.queue("starttemplate t");
  primary_.queue("Transform {}");
  primary_.queue("endtemplate");
  primary_.queue("modelset ship 3");
  primary_.queue("Shape {}");
  primary_.queue("enddata");
  primary_.queue("show");
  engine_.onTimer();
  engine_.onTimer();
  engine_.onTimer();
  EXPECT_EQ(engine_.log, (std::vector<std::string>{"p50", "p11", "p4"}));
}

TEST_F(EngineLoopTest, DebugCommandTurnsOnBothQueues) {
  primary_.put(cmd::kDebugBoth, nullptr);
  engine_.onTimer();
  EXPECT_TRUE(primary_.debug());
  EXPECT_TRUE(secondary_.debug());
}

// An engine whose every command from the secondary queue queues another
// one there: a producer faster than the engine, which a fast-mode tick must
// not try to outrun.
class RefillingEngine : public EngineLoop {
 public:
  RefillingEngine(InternalCommandQueue& primary, InternalCommandQueue& secondary)
      : EngineLoop(primary, secondary), secondary_(secondary) {}
  int refills = 0;

 protected:
  void execute(QueuedCommand& entry, InternalCommandQueue& queue) override {
    EngineLoop::execute(entry, queue);
    if (&queue == &secondary_ && refills > 0) {
      --refills;
      queue.queue("left");
    }
  }

 private:
  InternalCommandQueue& secondary_;
};

TEST(EngineLoopBudget, AFastTickOverAQueueThatNeverEmptiesReturns) {
  InternalCommandQueue primary;
  InternalCommandQueue secondary;
  RefillingEngine engine(primary, secondary);
  constexpr int kRefills = 2000000;
  engine.refills = kRefills;
  secondary.queue("fast");
  engine.onTimer();
  // Draining the whole queue in one tick would run every refill.
  uint64_t first = engine.executed();
  EXPECT_GT(first, 1u);
  EXPECT_LT(first, static_cast<uint64_t>(kRefills));
  EXPECT_EQ(secondary.waiting(), 1);
  // The next tick serves the primary queue, then the secondary one goes on.
  primary.queue("right");
  engine.onTimer();
  EXPECT_EQ(primary.waiting(), 0);
  EXPECT_EQ(secondary.waiting(), 1);
  engine.onTimer();
  EXPECT_GT(engine.executed(), first + 2);
}

}  // namespace
}  // namespace kestrel
