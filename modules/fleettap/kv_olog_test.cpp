#include "modules/fleettap/kv_olog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "testing/test_support.h"

namespace {

using kestrel::testing::readFile;
using kestrel::testing::readLines;
using kestrel::testing::TempDir;

TEST(KvOLog, ClosedLogDropsEverything) {
  TempDir dir(false);
  KV_OLog log;
  EXPECT_EQ(log.printf("dropped %d\n", 1), 0);
  EXPECT_EQ(log.isOpen(), 0);
  ASSERT_EQ(log.open("%s/trace.log", dir.path().c_str()), 1);
  EXPECT_EQ(log.printf("kept %d\n", 2), 7);
  log.close();
  EXPECT_EQ(log.printf("dropped again\n"), 0);
  EXPECT_EQ(readFile(dir.file("trace.log")), "kept 2\n");
}

TEST(KvOLog, FirstOpenEmptiesAndOpenAfterCloseSoftAppends) {
  TempDir dir(false);
  dir.write("trace.log", "old text\n");
  KV_OLog log;
  ASSERT_EQ(log.open("%s", dir.file("trace.log").c_str()), 1);
  EXPECT_EQ(readFile(dir.file("trace.log")), "");
  log.printf("one\n");
  log.closeSoft();
  ASSERT_EQ(log.open("%s", dir.file("trace.log").c_str()), 1);
  log.printf("two\n");
  EXPECT_EQ(readFile(dir.file("trace.log")), "one\ntwo\n");
  log.close();
  ASSERT_EQ(log.open("%s", dir.file("trace.log").c_str()), 1);
  EXPECT_EQ(readFile(dir.file("trace.log")), "");
  EXPECT_EQ(log.open("%s/no/such/dir/x.log", dir.path().c_str()), 0);
}

TEST(KvOLog, FileNamesOf256CharactersAreRefused) {
  TempDir dir(false);
  std::string base = dir.path() + "/";
  std::string name255 = base + std::string(255 - base.size(), 'n');
  KV_OLog log;
  EXPECT_EQ(log.open("%s", name255.c_str()), 1);
  EXPECT_EQ(log.open("%s", (name255 + "x").c_str()), 0);
  EXPECT_EQ(log.open("%s", ""), 0);
}

TEST(KvOLog, DestructorLineOnlyWhenOpen) {
  TempDir dir(false);
  {
    KV_OLog log;
    log.open("%s", dir.file("a.log").c_str());
  }
  EXPECT_EQ(readFile(dir.file("a.log")).rfind("KV_OLog::~KV_OLog() 0x", 0), 0u);
  {
    KV_OLog log;
    log.open("%s", dir.file("b.log").c_str());
    log.closeSoft();
  }
  EXPECT_EQ(readFile(dir.file("b.log")), "");
}

TEST(KvOLog, ConcurrentWritersWriteWholeLines) {
  TempDir dir(false);
  KV_OLog log;
  log.open("%s", dir.file("c.log").c_str());
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&log, t] {
      for (int i = 0; i < 100; ++i) log.printf("thread %d line %d of a longer text\n", t, i);
    });
  }
  for (auto& w : writers) w.join();
  std::vector<std::string> lines = readLines(dir.file("c.log"));
  ASSERT_EQ(lines.size(), 400u);
  for (const std::string& line : lines) {
    EXPECT_EQ(line.rfind("thread ", 0), 0u);
    EXPECT_NE(line.find(" of a longer text"), std::string::npos);
  }
}

}  // namespace
