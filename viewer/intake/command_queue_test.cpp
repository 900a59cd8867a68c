#include "viewer/intake/command_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "testing/test_support.h"
#include "viewer/intake/command_codes.h"

namespace kestrel {
namespace {

int codeOf(const std::optional<QueuedCommand>& entry) { return entry ? entry->code : -1; }

TEST(CommandQueue, HoldsAtMost29999EntriesAndDropsTheRestSilently) {
  testing::TempDir dir;
  InternalCommandQueue queue;
  for (int i = 0; i < CommandRing::kSlots - 1; ++i) queue.put(cmd::kShow, nullptr);
  EXPECT_EQ(queue.waiting(), 29999);
  queue.put(cmd::kHide, "x");
  queue.put(cmd::kClear, nullptr);  // dropped, but still logged
  EXPECT_EQ(queue.waiting(), 29999);
  EXPECT_EQ(queue.dropped(), 2u);
  EXPECT_EQ(testing::readLines(dir.file("kestrel.log")),
            (std::vector<std::string>{"INTERNAL QUEUE ADDING CLEAR"}));
  int taken = 0;
  while (auto entry = queue.take()) {
    EXPECT_EQ(entry->code, cmd::kShow);
    ++taken;
  }
  EXPECT_EQ(taken, 29999);
  // The indices wrap: the ring keeps working after a full turn.
  queue.queue("setobject ball");
  EXPECT_STREQ(queue.take()->text(), "ball");
}

TEST(CommandQueue, ResetLeavesTheStateOfANewQueue) {
  testing::TempDir dir;
  InternalCommandQueue queue;
  queue.setDebug(true);
  queue.queue("setobject a");
  queue.queue("startdata b");  // a block left open
  {
    InternalCommandQueue::Writer writer(queue);
    writer.beginPriorityBatch();  // and a batch never ended
    writer.put(cmd::kShow, nullptr);
  }
  queue.reset();
  EXPECT_EQ(queue.waiting(), 0);
  EXPECT_FALSE(queue.mainHeld());
  EXPECT_FALSE(queue.debug());
  queue.queue("setobject c");
  queue.queue("hide");
  EXPECT_STREQ(queue.take()->text(), "c");
  EXPECT_EQ(codeOf(queue.take()), cmd::kHide);
  EXPECT_FALSE(queue.take());
}

TEST(CommandQueue, OpenDataBlockHoldsBackTheWholeRing) {
  InternalCommandQueue queue;
  queue.queue("setobject a");
  queue.queue("startdata b");
  queue.queue("Shape {}");
  EXPECT_FALSE(queue.take());
  // The block body is reachable for the engine that collects it.
  InternalCommandQueue peek;
  peek.queue("startdata b");
  peek.queue("Shape {}");
  EXPECT_EQ(codeOf(peek.takeNext()), cmd::kStartData);
  EXPECT_EQ(codeOf(peek.takeNext()), cmd::kDataLine);

  queue.queue("enddata");
  EXPECT_EQ(codeOf(queue.take()), cmd::kSetObject);
  EXPECT_EQ(codeOf(queue.take()), cmd::kStartData);
  EXPECT_EQ(codeOf(queue.take()), cmd::kDataLine);
  EXPECT_EQ(codeOf(queue.take()), cmd::kEndData);
  EXPECT_FALSE(queue.take());
}

TEST(CommandQueue, PriorityBatchRunsBeforeWaitingEntries) {
  InternalCommandQueue queue;
  queue.queue("show");
  queue.beginPriorityBatch();
  queue.put(cmd::kStartData, "sphere");
  queue.queue("hide");  // a port line during the batch goes to the held main ring
  EXPECT_FALSE(queue.take());  // priority block still open, main held
  queue.put(cmd::kDataLine, "Sphere {}");
  queue.put(cmd::kEndData, nullptr);
  EXPECT_EQ(codeOf(queue.take()), cmd::kStartData);
  EXPECT_EQ(codeOf(queue.take()), cmd::kDataLine);
  EXPECT_EQ(codeOf(queue.take()), cmd::kEndData);
  EXPECT_FALSE(queue.take());  // main ring still held
  queue.endPriorityBatch();
  EXPECT_EQ(codeOf(queue.take()), cmd::kShow);
  EXPECT_EQ(codeOf(queue.take()), cmd::kHide);
}

TEST(CommandQueue, SuspendedMainRingYieldsNothingButStillAcceptsLines) {
  InternalCommandQueue queue;
  queue.suspend();
  queue.queue("left");
  EXPECT_TRUE(queue.mainHeld());
  EXPECT_FALSE(queue.take());
  queue.resume();
  EXPECT_EQ(codeOf(queue.take()), cmd::kLeft);
}

TEST(CommandQueue, DebugFlagTracesEveryTake) {
  testing::TempDir dir;
  InternalCommandQueue queue;
  queue.queue("debug");
  queue.queue("setobject ball");
  queue.put(cmd::kRx, nullptr);
  queue.take();
  queue.take();
  EXPECT_EQ(testing::readLines(dir.file("kestrel.log")),
            (std::vector<std::string>{"InternalCommandQueue::queue \"setobject ball\"",
                                      "command: \"SetObject\"", "unknown \"21\"",
                                      "command: \"unknown\""}));
}

TEST(CommandQueue, EnddataThatDoesNotFitStillEndsTheBlockForTheParser) {
  InternalCommandQueue queue;
  queue.queue("startdata x");
  for (int i = 0; i < CommandRing::kSlots; ++i) queue.queue("line");
  queue.queue("enddata");  // dropped: the ring is full
  while (queue.takeNext()) {
  }
  queue.queue("show");  // parsed as a verb again, not as a data line
  auto entry = queue.takeNext();
  EXPECT_EQ(codeOf(entry), cmd::kShow);
}

TEST(CommandQueue, BatchesStopAtHalfFullUnlessADataBlockIsOpenOrForced) {
  InternalCommandQueue queue;
  LineBatch batch;
  for (int i = 0; i < 20000; ++i) batch.add("show");
  EXPECT_EQ(queue.queueBatch(batch), 15000u);
  EXPECT_EQ(batch.pending(), 5000u);
  EXPECT_EQ(queue.queueBatch(batch), 0u);
  EXPECT_EQ(queue.queueBatch(batch, true), 5000u);
  EXPECT_EQ(queue.waiting(), 20000);
  EXPECT_EQ(queue.linesQueued(), 20000u);
  // Inside an open data block the batch goes on: nothing could be taken.
  InternalCommandQueue blocked;
  batch.add("startdata big");
  for (int i = 0; i < 20000; ++i) batch.add("Shape {}");
  batch.add("enddata");
  EXPECT_EQ(blocked.queueBatch(batch), 20002u);
  EXPECT_EQ(blocked.dropped(), 0u);
}

// Several producers write lines and whole blocks while the taker drains;
// run under the thread sanitizer too. Every block arrives contiguous and
// nothing is lost.
TEST(CommandQueue, ConcurrentProducersAndTakerKeepBlocksWhole) {
  InternalCommandQueue queue;
  constexpr int kProducers = 4;
  constexpr int kBlocks = 300;
  std::atomic<int> running{kProducers};
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      std::string name = "startdata p" + std::to_string(p);
      for (int b = 0; b < kBlocks; ++b) {
        queue.queue("setobject x");
        InternalCommandQueue::Writer writer(queue);
        writer.queue(name.c_str());
        for (int i = 0; i < 5; ++i) writer.queue("Shape {}");
        writer.queue("enddata");
      }
      running.fetch_sub(1);
    });
  }
  int blocks = 0, objects = 0;
  auto drain = [&] {
    while (auto entry = queue.take()) {
      if (entry->code == cmd::kSetObject) {
        ++objects;
      } else if (entry->code == cmd::kStartData) {
        for (int i = 0; i < 5; ++i) ASSERT_EQ(codeOf(queue.takeNext()), cmd::kDataLine);
        ASSERT_EQ(codeOf(queue.takeNext()), cmd::kEndData);
        ++blocks;
      } else {
        FAIL() << "unexpected code " << entry->code;
      }
    }
  };
  while (running.load() > 0) drain();
  for (std::thread& t : producers) t.join();
  drain();
  EXPECT_EQ(blocks, kProducers * kBlocks);
  EXPECT_EQ(objects, kProducers * kBlocks);
  EXPECT_EQ(queue.dropped(), 0u);
}

TEST(CommandQueue, AnAbandonedBlockIsTakenBackOrEnded) {
  InternalCommandQueue queue;
  EXPECT_EQ(queue.abandonBlock(), nullptr);
  queue.queue("setobject a");
  queue.queue("modelset ship 4");
  queue.queue("Shape {}");
  EXPECT_TRUE(queue.inBlock());
  EXPECT_STREQ(queue.abandonBlock(), "data block was discarded");
  EXPECT_FALSE(queue.inBlock());
  queue.queue("show");  // a command again, not a data line
  EXPECT_EQ(codeOf(queue.take()), cmd::kSetObject);
  EXPECT_EQ(codeOf(queue.take()), cmd::kShow);
  EXPECT_FALSE(queue.take());

  queue.queue("startfunction f");
  queue.queue("right");
  EXPECT_STREQ(queue.abandonBlock(), "function block was ended");
  queue.queue("starttemplate t");
  EXPECT_STREQ(queue.abandonBlock(), "template block was ended");
  std::vector<int> codes;
  while (auto entry = queue.take()) codes.push_back(entry->code);
  EXPECT_EQ(codes, (std::vector<int>{cmd::kStartFunction, cmd::kFunctionLine, cmd::kEndFunction,
                                     cmd::kStartTemplate, cmd::kEndTemplate}));
}

TEST(CommandQueue, DirectPutsOfADataBlockOpenAndEndIt) {
  InternalCommandQueue queue;
  queue.put(cmd::kStartData, "made");
  EXPECT_TRUE(queue.inBlock());
  queue.queue("Sphere {}");  // a body line, kept whole
  EXPECT_FALSE(queue.take());
  queue.put(cmd::kEndData, nullptr);
  EXPECT_FALSE(queue.inBlock());
  std::vector<std::string> texts;
  while (auto entry = queue.take()) texts.push_back(entry->text() ? entry->text() : "<none>");
  EXPECT_EQ(texts, (std::vector<std::string>{"made", "Sphere {}", "<none>"}));
}

}  // namespace
}  // namespace kestrel
