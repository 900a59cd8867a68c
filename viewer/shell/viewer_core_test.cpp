// The end of a viewer run: queued commands run before the state file is
// written, and what cannot run within the budget is counted in both logs.
#include <gtest/gtest.h>

#include <string>

#include "testing/test_support.h"
#include "viewer/intake/command_queue.h"
#include "viewer/shell/viewer_core.h"

namespace kestrel {
namespace {

void queueObject(ViewerCore& core, const std::string& name) {
  core.primary().queue(("startdata " + name).c_str());
  std::string shape = " Transform { children [ Shape { geometry Box { } } ] }";
  core.primary().queue(("DEF Xform_" + name + shape).c_str());
  core.primary().queue("enddata");
}

ViewerOptions optionsSavingTo(const std::string& state) {
  ViewerOptions options;
  options.renderRoot = testing::sourcePath("share/kestrel/render");
  options.webPort = 0;
  options.saveStatePath = state;
  return options;
}

TEST(ViewerCore, FinishRunsWhatIsQueuedThenSavesTheState) {
  testing::TempDir dir;
  ViewerCore core(optionsSavingTo(dir.file("end.state")));
  for (int k = 0; k < 50; ++k) queueObject(core, "box" + std::to_string(k));
  ASSERT_TRUE(core.finish());
  EXPECT_FALSE(core.busy());
  std::string saved = testing::readFile(dir.file("end.state"));
  for (int k = 0; k < 50; ++k) {
    EXPECT_NE(saved.find("\nbox" + std::to_string(k) + "\n"), std::string::npos) << k;
  }
  EXPECT_EQ(testing::readFile(dir.file("kestrel.err")).find("dropped"), std::string::npos);
}

TEST(ViewerCore, CommandsLeftWhenTheBudgetIsSpentAreCountedInBothLogs) {
  testing::TempDir dir;
  ViewerCore core(optionsSavingTo(dir.file("end.state")));
  while (core.busy()) core.engine().onTimer();
  for (int k = 0; k < 7; ++k) core.primary().queue("setobject nothing");
  ASSERT_TRUE(core.finish(std::chrono::milliseconds(0)));
  const std::string expected = "shutdown: 7 queued commands dropped, not run within 0 ms";
  EXPECT_NE(testing::readFile(dir.file("kestrel.log")).find(expected), std::string::npos);
  EXPECT_NE(testing::readFile(dir.file("kestrel.err")).find(expected), std::string::npos);
  EXPECT_EQ(testing::readFile(dir.file("end.state")), "2\n");
  while (core.busy()) core.engine().onTimer();  // the queues are the process's
}

}  // namespace
}  // namespace kestrel
