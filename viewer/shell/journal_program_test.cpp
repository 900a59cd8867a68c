// kestrel --headless --journal: the commands sent over both ports are in the
// journal when the viewer stops, and are on disk soon after they ran even
// when the viewer is killed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/engine/journal_format.h"

namespace kestrel {
namespace {

std::vector<std::string> journalling(const testing::TempDir& dir, uint16_t port,
                                     uint16_t secondary, const std::string& journal) {
  return {"--headless", "--web-port", "0", "--command-port", std::to_string(port),
          "--secondary-port", std::to_string(secondary), "-C", dir.path(), "--journal", journal};
}

// The journal's lines from the first command line on, with their times cut
// off ("P 61 setobject ...").
std::vector<std::string> commandsOf(const std::string& path) {
  std::vector<std::string> commands;
  for (const std::string& line : testing::readLines(path)) {
    if (line.empty() || line[0] == '#') continue;
    commands.push_back(line.substr(line.find(' ') + 1));
  }
  return commands;
}

bool contains(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const std::string& line : lines) {
    if (line == wanted) return true;
  }
  return false;
}

TEST(JournalProgram, CommandsFromBothPortsAreJournalledUntilTheViewerStops) {
  testing::TempDir dir(false);
  dir.write("config.template", "starttemplate transform\nTransform { children [ %s ] }\nendtemplate\n");
  dir.write("extra.cmd", "setinfo from_file yes\n");
  uint16_t port = testing::freePort(), secondary = testing::freePort();
  std::string journal = dir.file("j.txt");
  testing::ChildProcess viewer(testing::programPath("viewer/shell/kestrel"),
                               journalling(dir, port, secondary, journal));
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0);
  testing::sendAll(fd,
                   "startdata ball\n"
                   "DEF Xform_ball Transform { children [ Shape { geometry Sphere { } } ] }\n"
                   "enddata\n"
                   "setinfo note:_a \"quoted\" \\ value\x01\n"
                   "load " + dir.file("extra.cmd") + "\n"
                   "setobject ball\n");
  ::close(fd);
  ASSERT_TRUE(testing::waitFor([&] {
    return testing::readFile(dir.file("kestrel.log")).find("Loading") != std::string::npos;
  }));
  int low = testing::connectLoopback(secondary);
  testing::sendAll(low, "taller\n");
  ::close(low);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  viewer.signal(SIGTERM);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();

  std::vector<std::string> lines = testing::readLines(journal);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "# kestrel journal 1");
  std::vector<std::string> commands = commandsOf(journal);
  // The start-up file's template block, as the engine took it.
  EXPECT_TRUE(contains(commands, "P 50 starttemplate \"transform\"")) << lines.size();
  EXPECT_TRUE(contains(commands, "P+ 52 templateline \"Transform { children [ %s ] }\""));
  EXPECT_TRUE(contains(commands, "P+ 51 endtemplate \"endtemplate\""));
  EXPECT_TRUE(contains(commands, "P 10 startdata \"ball\""));
  EXPECT_TRUE(contains(
      commands, "P+ 14 data \"DEF Xform_ball Transform { children [ Shape { geometry Sphere { } } ] }\""));
  EXPECT_TRUE(contains(commands, "P+ 13 enddata \"enddata\""));
  EXPECT_TRUE(contains(commands, "P 57 setinfo \"note\" \"a \\\"quoted\\\" \\\\ value\\x01\""));
  EXPECT_TRUE(contains(commands, "P 0 load \"" + dir.file("extra.cmd") + "\""));
  std::string fileLine;
  appendFileLine(fileLine, 0, 'P', describeFile(dir.file("extra.cmd")));
  EXPECT_EQ(fileLine.substr(0, 2), "0 ");
  EXPECT_TRUE(contains(commands, fileLine.substr(2, fileLine.size() - 3))) << fileLine;
  EXPECT_NE(fileLine.find(" size 22 mtime "), std::string::npos);
  EXPECT_TRUE(contains(commands, "P 57 setinfo \"from_file\" \"yes\""));
  EXPECT_TRUE(contains(commands, "P 61 setobject \"ball\""));
  EXPECT_TRUE(contains(commands, "S 34 taller"));
}

TEST(JournalProgram, ExecutedCommandsReachTheDiskWithoutAnOrderlyStop) {
  testing::TempDir dir(false);
  uint16_t port = testing::freePort(), secondary = testing::freePort();
  std::string journal = dir.file("j.txt");
  testing::ChildProcess viewer(testing::programPath("viewer/shell/kestrel"),
                               journalling(dir, port, secondary, journal));
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0);
  testing::sendAll(fd, "setinfo marker 1\nlabel written before the kill\n");
  ASSERT_TRUE(testing::waitFor([&] {
    return testing::readFile(dir.file("kestrel.log")).find("written before the kill") !=
           std::string::npos;
  }));
  // The writer writes at least every 50 ms; well after that the lines are
  // on disk, whatever happens to the process.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  viewer.signal(SIGKILL);
  viewer.wait();
  ::close(fd);
  std::vector<std::string> commands = commandsOf(journal);
  EXPECT_TRUE(contains(commands, "P 57 setinfo \"marker\" \"1\""));
  EXPECT_TRUE(contains(commands, "P 49 label \"written before the kill\""));
}

TEST(JournalProgram, AJournalThatCannotBeOpenedStopsTheStart) {
  testing::TempDir dir(false);
  testing::ChildProcess viewer(
      testing::programPath("viewer/shell/kestrel"),
      journalling(dir, testing::freePort(), testing::freePort(), dir.file("none/j.txt")));
  EXPECT_EQ(viewer.wait(), 2);
  EXPECT_NE(viewer.output().find("cannot open journal " + dir.file("none/j.txt") +
                                 ": No such file or directory"),
            std::string::npos)
      << viewer.output();
}

}  // namespace
}  // namespace kestrel
