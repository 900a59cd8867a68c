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

}  // namespace
}  // namespace kestrel
