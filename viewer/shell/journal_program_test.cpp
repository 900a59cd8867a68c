// kestrel --headless --journal: the commands sent over both ports are in the
// journal when the viewer stops, and are on disk soon after they ran even
// when the viewer is killed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/engine/journal_format.h"

namespace kestrel {
namespace {

// A headless viewer in a temporary directory that journals to j.txt there.
struct JournallingViewer {
  testing::TempDir dir{false};
  uint16_t port = testing::freePort();
  uint16_t secondary = testing::freePort();
  std::string journal = dir.file("j.txt");
  std::unique_ptr<testing::ChildProcess> viewer;

  void start(const std::string& journalPath, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--headless", "--web-port", "0", "--command-port",
                                  std::to_string(port), "--secondary-port",
                                  std::to_string(secondary), "-C", dir.path(), "--journal",
                                  journalPath};
    args.insert(args.end(), more.begin(), more.end());
    viewer = std::make_unique<testing::ChildProcess>(testing::programPath("viewer/shell/kestrel"),
                                                     args);
  }
  // Replays the journal headless with ARGS after it; the exit status.
  int replay(std::vector<std::string> args, std::string* output) {
    args.insert(args.begin(), {"--headless", "-C", dir.path(), "--replay", journal});
    testing::ChildProcess replayer(testing::programPath("viewer/shell/kestrel"), args);
    int status = replayer.wait(20000);
    *output = replayer.output();
    return status;
  }
  // Sends TEXT to port TO and closes the connection.
  void send(uint16_t to, const std::string& text) {
    int fd = testing::connectLoopback(to);
    ASSERT_GE(fd, 0);
    testing::sendAll(fd, text);
    ::close(fd);
  }
  bool logShows(const std::string& text) {
    return testing::waitFor([&] {
      return testing::readFile(dir.file("kestrel.log")).find(text) != std::string::npos;
    });
  }
};

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
  JournallingViewer run;
  testing::TempDir& dir = run.dir;
  dir.write("config.template", "starttemplate transform\nTransform { children [ %s ] }\nendtemplate\n");
  dir.write("extra.cmd", "setinfo from_file yes\n");
  run.start(run.journal);
  run.send(run.port,
           "startdata ball\n"
           "DEF Xform_ball Transform { children [ Shape { geometry Sphere { } } ] }\n"
           "enddata\n"
           "setinfo note:_a \"quoted\" \\ value\x01\n"
           "load " + dir.file("extra.cmd") + "\n"
           "setobject ball\n");
  ASSERT_TRUE(run.logShows("Loading"));
  run.send(run.secondary, "taller\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  run.viewer->signal(SIGTERM);
  ASSERT_EQ(run.viewer->wait(), 0) << run.viewer->output();

  const std::string& journal = run.journal;
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
  JournallingViewer run;
  run.start(run.journal);
  run.send(run.port, "setinfo marker 1\nlabel written before the kill\n");
  ASSERT_TRUE(run.logShows("written before the kill"));
  // The writer writes at least every 50 ms; well after that the lines are
  // on disk, whatever happens to the process.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  run.viewer->signal(SIGKILL);
  run.viewer->wait();
  const std::string& journal = run.journal;
  std::vector<std::string> commands = commandsOf(journal);
  EXPECT_TRUE(contains(commands, "P 57 setinfo \"marker\" \"1\""));
  EXPECT_TRUE(contains(commands, "P 49 label \"written before the kill\""));
}

TEST(JournalProgram, AReplayEndsInTheStateTheRecordedRunEndedIn) {
  JournallingViewer run;
  testing::TempDir& dir = run.dir;
  dir.write("config.template", "starttemplate transform\nTransform { children [ %s ] }\nendtemplate\n");
  dir.write("steps.cmd", "setobject ball\nup\nup\n");
  run.start(run.journal, {"--save-state", "recorded.state"});
  run.send(run.port,
           "startdata ball\n"
           "DEF Xform_ball Transform { children [ Shape { appearance Appearance { "
           "material DEF Mat_ball Material { } } geometry Sphere { } } ] }\n"
           "enddata\n"
           "startfunction jiggle\nsetobject ball\nleft\nendfunction\n"
           "setinfo xmin -5\nsetinfo xmax 5\nsetobject ball\nsetproperty x\nsetvalue 65535\n"
           "cycle\nload " + dir.file("steps.cmd") + "\n");
  ASSERT_TRUE(run.logShows("Loading"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  run.send(run.secondary, "setobject ball\ntaller\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  run.viewer->signal(SIGTERM);
  ASSERT_EQ(run.viewer->wait(), 0) << run.viewer->output();
  std::string recorded = testing::readFile(dir.file("recorded.state"));
  ASSERT_NE(recorded.find("ball"), std::string::npos);

  std::string output;
  ASSERT_EQ(run.replay({"--speed", "50", "--save-state", "replayed.state"}, &output), 0) << output;
  EXPECT_EQ(testing::readFile(dir.file("replayed.state")), recorded);

  // Stopped before the ball was made, the replay leaves no objects.
  ASSERT_EQ(run.replay({"--to", "0", "--save-state", "early.state"}, &output), 0) << output;
  EXPECT_EQ(testing::readFile(dir.file("early.state")).find("ball"), std::string::npos);

  // A command file changed since says so.
  dir.write("steps.cmd", "setobject ball\nup\n");
  ASSERT_EQ(run.replay({"--speed", "1000"}, &output), 0) << output;
  EXPECT_NE(output.find(dir.file("steps.cmd") + " has changed since it was recorded: size 21 then, "
                                                "18 now"),
            std::string::npos)
      << output;

  dir.write("cut.journal", "# kestrel journal 1\n5 P 4 sh");
  testing::ChildProcess cut(testing::programPath("viewer/shell/kestrel"),
                            {"--headless", "-C", dir.path(), "--replay", dir.file("cut.journal")});
  EXPECT_EQ(cut.wait(), 2);
  EXPECT_NE(cut.output().find(dir.file("cut.journal") +
                              ", line 2: the line is cut (the journal ends in the middle of it)"),
            std::string::npos)
      << cut.output();
}

TEST(JournalProgram, AJournalThatCannotBeOpenedStopsTheStart) {
  JournallingViewer run;
  run.start(run.dir.file("none/j.txt"));
  EXPECT_EQ(run.viewer->wait(), 2);
  EXPECT_NE(run.viewer->output().find("cannot open journal " + run.dir.file("none/j.txt") +
                                      ": No such file or directory"),
            std::string::npos)
      << run.viewer->output();
}

}  // namespace
}  // namespace kestrel
