#include "viewer/intake/diagnostic_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "testing/test_support.h"

namespace kestrel {
namespace {

using testing::readFile;
using testing::readLines;
using testing::TempDir;

TEST(DiagnosticLog, FormattersWriteTheirShapes) {
  TempDir dir;
  logLine("plain");
  logText("Creating: ", "ship");
  logText("command:", nullptr);
  logTexts("pair", "a", nullptr);
  logNumber("unknown", 21);
  logNumbers("two", -1, 7);
  logReal("XMIN now set", -5.0f);
  logTagged("got", 3, "abc");
  EXPECT_EQ(readLines(dir.file("kestrel.log")),
            (std::vector<std::string>{"plain", "Creating:  \"ship\"", "command: \"NULL\"",
                                      "pair \"a\", \"NULL\"", "unknown \"21\"", "two \"-1\" \"7\"",
                                      "XMIN now set '-5.000000'", "got (3) '''abc'''"}));
}

TEST(DiagnosticLog, FirstLineOfARunTruncatesAndEmptyMessagesDoNot) {
  TempDir dir;
  dir.write("kestrel.log", "from an earlier run\n");
  logLine("");
  EXPECT_EQ(readFile(dir.file("kestrel.log")), "from an earlier run\n");
  logLine("first");
  logLine("second");
  EXPECT_EQ(readFile(dir.file("kestrel.log")), "first\nsecond\n");
}

TEST(DiagnosticLog, ErrorLogKeepsEarlierRuns) {
  TempDir dir;
  dir.write("kestrel.err", "old failure\n");
  errorLine("accept error");
  openLogIn(dir.path());  // a new run
  errorLine("readline failed");
  EXPECT_EQ(readFile(dir.file("kestrel.err")), "old failure\naccept error\nreadline failed\n");
  EXPECT_EQ(readFile(dir.file("kestrel.log")), "");
}

TEST(DiagnosticLog, BoundedFormattersCutLongOutput) {
  TempDir dir;
  std::string longMessage(300, 'm');
  logNumber(longMessage.c_str(), 5);
  std::string longText(20000, 't');
  logTagged("data", 1, longText.c_str());
  logText("whole", longText.c_str());
  std::vector<std::string> lines = readLines(dir.file("kestrel.log"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(99, 'm'));
  EXPECT_EQ(lines[1].size(), 9999u);
  EXPECT_EQ(lines[2].size(), std::string("whole \"").size() + 20000 + 1);
}

TEST(DiagnosticLog, ConcurrentWritersNeverInterleaveLines) {
  TempDir dir;
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 200; ++i) logNumbers("writer", t, i);
    });
  }
  for (std::thread& w : writers) w.join();
  std::vector<std::string> lines = readLines(dir.file("kestrel.log"));
  ASSERT_EQ(lines.size(), 800u);
  for (const std::string& line : lines) EXPECT_EQ(line.rfind("writer \"", 0), 0u) << line;
}

TEST(DiagnosticLog, ABatchWritesItsLinesTogetherWhenItEnds) {
  TempDir dir;
  logLine("before");
  {
    LogBatch batch;
    logLine("one");
    {
      LogBatch inner;  // adds to the outer batch
      logNumber("two", 2);
    }
    EXPECT_EQ(readFile(dir.file("kestrel.log")), "before\n");
    std::thread other([] { logLine("other thread"); });  // not part of the batch
    other.join();
    EXPECT_EQ(readFile(dir.file("kestrel.log")), "before\nother thread\n");
    logLine("three");
  }
  logLine("after");
  EXPECT_EQ(readLines(dir.file("kestrel.log")),
            (std::vector<std::string>{"before", "other thread", "one", "two \"2\"", "three",
                                      "after"}));
  // A batch that is the run's first output still truncates the old log.
  openLogIn(dir.path());
  {
    LogBatch batch;
    logLine("new run");
  }
  EXPECT_EQ(readFile(dir.file("kestrel.log")), "new run\n");
}

TEST(CopyString, CopiesAndTurnsNullIntoNULL) {
  EXPECT_STREQ(copyString("ball").get(), "ball");
  EXPECT_STREQ(copyString(nullptr).get(), "NULL");
  EXPECT_STREQ(copyString("").get(), "");
}

TEST(ReadTextLine, StripsLineEndsAndSplitsLongLines) {
  TempDir dir;
  std::string longLine(1000, 'x');
  dir.write("lines.txt", "unix\ndos\r\n\n\r\n" + longLine + "\nlast");
  std::FILE* file = std::fopen(dir.file("lines.txt").c_str(), "r");
  ASSERT_NE(file, nullptr);
  std::vector<std::string> got;
  while (auto line = readTextLine(file)) got.push_back(*line);
  std::fclose(file);
  EXPECT_EQ(got, (std::vector<std::string>{"unix", "dos", "", "", std::string(998, 'x'), "xx",
                                           "last"}));
}

}  // namespace
}  // namespace kestrel
