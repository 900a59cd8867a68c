// The `loom` program run as users run it: real documents in a temporary
// directory, real plug-ins, a real listening socket on 127.0.0.1.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "modules/host/tcp_listener.h"
#include "modules/host/test_paths.h"
#include "testing/child_process.h"

extern char** environ;

namespace kestrel {
namespace {

using testing::TcpListener;
using testing::TempDir;

// A running loom with standard output and error going to files.
class LoomProcess {
 public:
  LoomProcess(const TempDir& dir, std::vector<std::string> args) : dir_(dir) {
    args.insert(args.begin(), testing::loomProgram());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, dir.file("out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, dir.file("err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~LoomProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit status, or -1 when it did not end in time (then it is killed).
  int wait(int timeoutMs = 10000) {
    for (int waited = 0; pid_ > 0 && waited < timeoutMs; waited += 5) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(5000);
    }
    return -1;
  }
  // Never kill(-1, ...): that would signal every process we may signal.
  void signal(int number) {
    if (pid_ > 0) kill(pid_, number);
  }
  std::string out() const { return dir_.read("out"); }
  std::string err() const { return dir_.read("err"); }

 private:
  const TempDir& dir_;
  pid_t pid_ = -1;
};

std::string shipped(const std::string& name) {
  TempDir none{false};
  std::ifstream in(testing::sourcePath(std::string("share/loom/") + name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

const char* kPluginDirFlag = "--plugin-dir";

TEST(LoomProgram, CueDocumentSendsTheCommandLinesToAListeningSocket) {
  TempDir dir{false};
  TcpListener viewer;
  ASSERT_TRUE(viewer.ok());
  std::string doc = shipped("cue.json");
  doc = replaced(doc, "\"port\": 3502", "\"port\": " + std::to_string(viewer.port()));
  doc = replaced(doc, "\"period\": 1000", "\"period\": 10, \"ticks\": 3");
  LoomProcess loom(dir, {kPluginDirFlag, testing::pluginDir(), dir.write("cue.json", doc)});
  EXPECT_EQ(loom.wait(), 0) << loom.err();
  ASSERT_TRUE(viewer.accept());
  EXPECT_EQ(viewer.read(100), "ry\nry\nry\n");
}

TEST(LoomProgram, SigtermEndsARunThatWouldGoOnForeverAndSaves) {
  TempDir dir{false};
  TcpListener viewer;
  std::string doc = shipped("cue.json");
  doc = replaced(doc, "\"port\": 3502", "\"port\": " + std::to_string(viewer.port()));
  doc = replaced(doc, "\"period\": 1000", "\"period\": 5");
  LoomProcess loom(dir, {kPluginDirFlag, testing::pluginDir(), "--save", dir.file("saved.json"),
                         dir.write("cue.json", doc)});
  ASSERT_TRUE(viewer.accept());
  EXPECT_EQ(viewer.read(6), "ry\nry\n");
  loom.signal(SIGTERM);
  EXPECT_EQ(loom.wait(), 0) << loom.err();
  const std::string saved = dir.read("saved.json");
  EXPECT_NE(saved.find("\"command\": \"ry\""), std::string::npos) << saved;
  // The saved document runs again.
  LoomProcess again(dir, {kPluginDirFlag, testing::pluginDir(), "--check", dir.file("saved.json")});
  EXPECT_EQ(again.wait(), 0) << again.err();
  EXPECT_NE(again.out().find("is sound: 3 modules, 2 links"), std::string::npos);
}

TEST(LoomProgram, GpsDocumentPrintsPositionsFromTheReceiverLog) {
  TempDir dir{false};
  std::filesystem::copy_file(testing::sourcePath("share/loom/garmin48.nmea"), dir.file("garmin48.nmea"));
  std::string doc = replaced(shipped("gps.json"), "\"rate\": 4800", "\"rate\": 0");
  LoomProcess loom(dir, {kPluginDirFlag, testing::pluginDir(), dir.write("gps.json", doc)});
  EXPECT_EQ(loom.wait(), 0) << loom.err();
  const std::string out = loom.out();
  EXPECT_EQ(out.rfind("laT: 45 27.458 S\nlOn: 167 09.165 E\nflat: 45.457633\nflon: 167.152750\n", 0), 0u) << out;
  std::size_t lines = 0;
  for (auto at = out.find("flat: "); at != std::string::npos; at = out.find("flat: ", at + 1)) ++lines;
  EXPECT_EQ(lines, 14u) << "seven GGA and seven GLL sentences";
}

TEST(LoomProgram, RefusedDocumentsRunNothingAndSayWhy) {
  TempDir dir{false};
  LoomProcess bad(dir, {kPluginDirFlag, testing::pluginDir(),
                        dir.write("bad.json", R"({"modules": [{"name": "x", "class": "JNope"}]})")});
  EXPECT_EQ(bad.wait(), 1);
  EXPECT_NE(bad.err().find("module 'x': unknown class 'JNope'"), std::string::npos) << bad.err();

  const std::string missing = dir.file("missing.nmea");
  LoomProcess noFile(dir, {kPluginDirFlag, testing::pluginDir(),
                           dir.write("src.json", R"({"modules": [{"name": "src", "class": "JByteSource",
                               "properties": {"path": ")" + missing + R"("}}]})")});
  EXPECT_EQ(noFile.wait(), 1);
  EXPECT_NE(noFile.err().find("module 'src': cannot open"), std::string::npos) << noFile.err();

  LoomProcess usage(dir, {"--frobnicate"});
  EXPECT_EQ(usage.wait(), 2);
  EXPECT_NE(usage.err().find("usage: loom"), std::string::npos);
}

TEST(LoomProgram, AnswersHelpVersionAndUnknownOptions) {
  EXPECT_EQ(testing::standardOptionProblems(testing::loomProgram(), "loom", "usage: loom"), "");
}

TEST(LoomProgram, AnUnusedBrokenPluginIsReportedAndTheRestRunsUntilSigint) {
  TempDir dir{false};
  const std::string doc = R"({"libraries": [")" + testing::testPluginDir() + R"(/libNoEntry.so"],
      "modules": [{"name": "clock", "class": "JClock", "properties": {"period": 5}},
                  {"name": "show", "class": "JPrinter", "properties": {"tag": "tick"}}],
      "links": [{"from": "clock", "output": 0, "to": "show", "input": 0}]})";
  LoomProcess loom(dir, {kPluginDirFlag, testing::pluginDir(), dir.write("doc.json", doc)});
  for (int i = 0; i < 400 && loom.out().find("tick: 0\ntick: 1\n") == std::string::npos; ++i) {
    usleep(5000);
  }
  loom.signal(SIGINT);
  EXPECT_EQ(loom.wait(), 0) << loom.err();
  EXPECT_EQ(loom.out().rfind("tick: 1\ntick: 0\ntick: 1\n", 0), 0u) << loom.out();
  EXPECT_NE(loom.err().find("warning: plug-in '"), std::string::npos) << loom.err();
  EXPECT_NE(loom.err().find("undefined symbol: kestrelModuleEntry"), std::string::npos) << loom.err();
}

TEST(LoomProgram, ListShowsEveryClassWithItsPorts) {
  TempDir dir{false};
  LoomProcess list(dir, {kPluginDirFlag, testing::pluginDir(), "--list"});
  EXPECT_EQ(list.wait(), 0) << list.err();
  const std::string out = list.out();
  for (const char* line : {"JSatFix\n", "  output 0 'laT' string\n", "JCuePacer\n",
                           "  face \"CuePacer\"\n", "JLineSender\n", "JByteSource\n",
                           "  property 'any talker' integer 0 (0 to 1)\n",
                           "  property 'signed degrees' integer 0 (0 to 1)\n",
                           "  property 'verify checksum' integer 1 (0 to 2)\n",
                           "  face \"verify checksum 1\"\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace kestrel
