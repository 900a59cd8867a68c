// The journal: its line format reads back exactly what it wrote, the engine
// records what it takes (blocks as it takes them, loads with their file), and
// a journal that cannot be written stops alone.
#include "viewer/engine/journal.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "testing/test_support.h"
#include "viewer/engine/engine_test_support.h"
#include "viewer/engine/journal_format.h"
#include "viewer/engine/journal_reader.h"
#include "viewer/engine/journal_replay.h"
#include "viewer/engine/state_file.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

JournalRecord command(int64_t ms, char queue, bool continued, int code,
                      std::optional<std::string> text = std::nullopt,
                      std::optional<std::string> argument = std::nullopt) {
  JournalRecord r;
  r.milliseconds = ms;
  r.queue = queue;
  r.continued = continued;
  r.code = code;
  r.text = std::move(text);
  r.argument = std::move(argument);
  return r;
}

JournalRecord reparse(const JournalRecord& record, std::string* line) {
  line->clear();
  appendRecordLine(*line, record);
  EXPECT_EQ(line->back(), '\n');
  EXPECT_EQ(line->find('\n'), line->size() - 1) << "one record, one line";
  JournalRecord back;
  std::string error;
  EXPECT_TRUE(parseJournalLine(std::string_view(*line).substr(0, line->size() - 1), &back, &error))
      << error << " in " << *line;
  return back;
}

TEST(JournalFormat, EveryByteAndShapeOfACommandReadsBackExactly) {
  std::string everyByte;
  for (int c = 1; c < 256; ++c) everyByte.push_back(static_cast<char>(c));
  std::string nul("a\0b", 3);
  std::string longLine(200000, 'v');
  longLine[1000] = '\r';
  longLine[150000] = '"';
  const std::vector<JournalRecord> cases = {
      command(0, 'P', false, 4),                                   // no text
      command(1, 'S', false, 61, ""),                              // empty text
      command(2, 'P', false, 57, "fade_units", "3"),               // text and argument
      command(3, 'P', false, 57, "a b", ""),                       // empty argument
      command(4, 'P', false, 10, everyByte),
      command(5, 'P', true, 14, "line\nbreak \\n \"quoted\" \\x41 \x7f tail\t"),
      command(6, 'S', true, 13, "enddata", " \"x\" "),
      command(7, 'P', false, 9, nul),
      command(8, 'P', true, 52, longLine),
      command(9, 'P', false, 0, "caf\xc3\xa9 \xff\xfe.wrl"),
  };
  std::string line;
  for (const JournalRecord& record : cases) EXPECT_EQ(reparse(record, &line), record) << line;

  JournalRecord file;
  file.kind = JournalRecord::Kind::kFile;
  file.milliseconds = 12;
  file.continued = true;
  file.file = {"dir with \"quotes\"/\x01scene.wrl", true, 12345, 1765190000, 123456789};
  EXPECT_EQ(reparse(file, &line), file);
  EXPECT_EQ(line,
            "12 P+ file \"dir with \\\"quotes\\\"/\\x01scene.wrl\" size 12345 mtime "
            "2025-12-08T10:33:20.123456789Z\n");
  file.file = {"gone.wrl", false, 0, 0, 0};
  EXPECT_EQ(reparse(file, &line), file);
  EXPECT_EQ(line, "12 P+ file \"gone.wrl\" missing\n");

  line.clear();
  appendRecordLine(line, cases[2]);
  EXPECT_EQ(line, "2 P 57 setinfo \"fade_units\" \"3\"\n");
  line.clear();
  appendRecordLine(line, cases[5]);
  EXPECT_EQ(line, "5 P+ 14 data \"line\\nbreak \\\\n \\\"quoted\\\" \\\\x41 \\x7f tail\\t\"\n");
}

TEST(JournalFormat, MalformedLinesSayWhatIsWrong) {
  auto errorOf = [](std::string_view line) {
    JournalRecord record;
    std::string error;
    EXPECT_FALSE(parseJournalLine(line, &record, &error)) << line;
    return error;
  };
  EXPECT_EQ(errorOf("# kestrel journal 1"), "");
  EXPECT_EQ(errorOf(""), "");
  EXPECT_EQ(errorOf("12 P 61 setobject \"bal"), "a quoted text is not closed");
  EXPECT_EQ(errorOf("12 P 61 setobject \"b\\q\""), "unknown escape \\q");
  EXPECT_EQ(errorOf("12 P 61 setobject \"b\\x4\""), "\\x needs two hexadecimal digits");
  EXPECT_EQ(errorOf("12 P 61 show"), "code 61 is named setobject, not show");
  EXPECT_EQ(errorOf("12 P 64 code"), "unknown command code");
  EXPECT_EQ(errorOf("12 Q 4 show"), "the queue must be P, S, P+ or S+");
  EXPECT_EQ(errorOf("x P 4 show"), "a line must begin with its time in milliseconds");
  EXPECT_EQ(errorOf("12 P file \"a\" missing"), "a file line must follow its load (P+ or S+)");
  EXPECT_EQ(errorOf("12 P+ file \"a\" size 1"),
            "a file line needs size BYTES mtime TIME, or missing");
  EXPECT_EQ(errorOf("12 P 57 setinfo \"a\" \"b\" \"c\""), "text after the argument");
  EXPECT_EQ(errorOf("12 P 57 setinfo \"a\"x"), "a blank must follow a quoted text");
}

TEST(JournalReader, RunsAndTheWaysAJournalCanBeWrong) {
  std::vector<JournalRun> runs;
  std::string error;
  const std::string header = std::string(kJournalHeader) + "\n# started whenever\n";
  ASSERT_TRUE(readJournalRuns(header + "5 P 4 show\n\n7 P 10 startdata \"b\"\n7 P+ 14 data \"x\"\n" +
                                  header + "1 S 34 taller\n",
                              &runs, &error))
      << error;
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (JournalRun{command(5, 'P', false, 4), command(7, 'P', false, 10, "b"),
                                 command(7, 'P', true, 14, "x")}));
  EXPECT_EQ(runs[1], (JournalRun{command(1, 'S', false, 34)}));

  auto errorOf = [&](const std::string& text) {
    EXPECT_FALSE(readJournalRuns(text, &runs, &error)) << text;
    return error;
  };
  EXPECT_EQ(errorOf(""), "line 1: the journal is empty");
  EXPECT_EQ(errorOf("# kestrel journal 2\n5 P 4 show\n"),
            "line 1: a journal of version 2; this kestrel reads version 1");
  EXPECT_EQ(errorOf("setobject ball\n"),
            "line 1: not a kestrel journal (the first line is not \"# kestrel journal 1\")");
  EXPECT_EQ(errorOf(header + "5 P 4 show\n6 P 61 setobject \"ba"),
            "line 4: the line is cut (the journal ends in the middle of it)");
  EXPECT_EQ(errorOf(header + "5 P 99 frobnicate\n"), "line 3: unknown command code");
  EXPECT_EQ(errorOf(header + "5 P+ 14 data \"x\"\n"),
            "line 3: a '+' line must follow the line it belongs to");
}

TEST(Journal, TheEngineRecordsWhatItTakesBlocksAndLoadsIncluded) {
  testing::TempDir dir;
  dir.write("scene.cmd", "show\n");
  std::string path = dir.file("j.txt");
  std::string error;
  std::unique_ptr<Journal> journal = Journal::open(path, &error);
  ASSERT_TRUE(journal) << error;
  testing::EngineHarness harness;
  harness.engine.setJournal(journal.get());
  harness.secondary.queue("taller");
  harness.run({"setobject ball", "startdata b\nDEF b Transform {}\n\tx\x01\"\nenddata now",
               "starttemplate t", "line of t", "endtemplate",
               "setinfo fade_units:_3", "load " + dir.file("scene.cmd"),
               "load " + dir.file("none.wrl")});
  harness.engine.setJournal(nullptr);
  journal->flush();

  std::vector<JournalRun> runs;
  ASSERT_TRUE(readJournalFile(path, &runs, &error)) << error;
  ASSERT_EQ(runs.size(), 1u);
  std::vector<JournalRecord> got = runs[0];
  ASSERT_GE(got.size(), 12u);
  for (JournalRecord& record : got) record.milliseconds = 0;
  JournalRecord scene, none;
  scene.kind = none.kind = JournalRecord::Kind::kFile;
  scene.continued = none.continued = true;
  scene.file = describeFile(dir.file("scene.cmd"));
  none.file.path = dir.file("none.wrl");
  std::vector<JournalRecord> want = {
      command(0, 'P', false, 61, "ball"),
      command(0, 'P', false, 10, "b"),
      command(0, 'P', true, 14, "DEF b Transform {}"),
      command(0, 'P', true, 14, "\tx\x01\""),
      command(0, 'P', true, 13, "enddata", "now"),
      command(0, 'P', false, 50, "t"),
      command(0, 'P', true, 52, "line of t"),
      command(0, 'P', true, 51, "endtemplate"),
      command(0, 'P', false, 57, "fade_units", "3"),
      command(0, 'P', false, 0, dir.file("scene.cmd")),
      scene,
      command(0, 'P', false, 0, dir.file("none.wrl")),
      none,
      command(0, 'S', false, 34),
  };
  EXPECT_EQ(got, want);
  EXPECT_EQ(testing::readLines(path).front(), kJournalHeader);
}

TEST(JournalReplay, AReplayedRunLeavesTheStateTheRecordedRunLeft) {
  testing::TempDir dir;
  std::string path = dir.file("j.txt");
  dir.write("more.cmd", "setobject ship_1\nup\nup\n");
  std::string error;
  {
    std::unique_ptr<Journal> journal = Journal::open(path, &error);
    ASSERT_TRUE(journal) << error;
    testing::EngineHarness recorded;
    recorded.engine.setJournal(journal.get());
    recorded.secondary.queue("setinfo scale_units:_25");
    recorded.run({testing::kTransformTemplate, testing::objectBlock("ball"),
                  "modelset ship 3\nDEF Xform_ship Transform { children [ Shape { geometry "
                  "Box { } } ] }\nenddata",
                  "startfunction jiggle\nsetobject ball\nleft\nendfunction",
                  "setinfo xmin:-5\nsetinfo xmax 5\nsetobject ball\nsetproperty x\nsetvalue 6553",
                  "bigger\ncycle\ncall jiggle\nsetobject ship\nspacex 2",
                  "load " + dir.file("more.cmd"), "fadeout\nrx"});
    recorded.drain();
    ASSERT_TRUE(saveState(recorded.engine.registry(), dir.file("recorded.state")));
    recorded.engine.setJournal(nullptr);
  }
  std::vector<JournalRun> runs;
  ASSERT_TRUE(readJournalFile(path, &runs, &error)) << error;
  ASSERT_EQ(runs.size(), 1u);
  dir.write("more.cmd", "setobject ship_1\nup\nup\nup\n");  // changed since

  testing::EngineHarness replayed;
  JournalReplay replay(replayed.engine, replayed.primary, replayed.secondary, runs[0]);
  int steps = 0;
  while (replay.step()) ++steps;
  EXPECT_FALSE(replay.nextTime());
  ASSERT_TRUE(saveState(replayed.engine.registry(), dir.file("replayed.state")));
  std::string state = testing::readFile(dir.file("recorded.state"));
  EXPECT_NE(state.find("ship_2"), std::string::npos);
  EXPECT_EQ(testing::readFile(dir.file("replayed.state")), state);
  ASSERT_EQ(replay.changedFiles().size(), 1u);
  EXPECT_EQ(replay.changedFiles()[0].rfind(dir.file("more.cmd") +
                                               " has changed since it was recorded: size 23 "
                                               "then, 26 now; modified ", 0),
            0u)
      << replay.changedFiles()[0];
  EXPECT_GT(steps, 20);
}

TEST(Journal, AFailedWriteStopsTheJournalOnceAndNothingElse) {
  testing::TempDir dir;
  std::string path = dir.file("j.txt");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // No file may grow past 64 KiB: the journal's writes fail with EFBIG
    // (long setinfo values fill the journal and leave the logs short).
    rlimit limit{65536, 65536};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    std::unique_ptr<Journal> journal = Journal::open(path, &error);
    if (!journal) _exit(10);
    testing::EngineHarness harness;
    openLogIn(dir.path());  // the harness logs to a directory of its own
    harness.engine.setJournal(journal.get());
    for (int round = 0; round < 50; ++round) {
      harness.run({"setinfo filler " + std::string(8000, 'f'), "show"});
      journal->flush();
    }
    if (journal->running()) _exit(11);
    // The engine goes on executing without the journal.
    harness.run({testing::objectBlock("after")});
    _exit(harness.object("after") != nullptr ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child was killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string message = "journal " + path + " stopped, writing failed: File too large";
  auto count = [&](const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find(message); at != std::string::npos; at = text.find(message, at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(count(testing::readFile(dir.file("kestrel.log"))), 1u);
  EXPECT_EQ(count(testing::readFile(dir.file("kestrel.err"))), 1u);
  EXPECT_LE(testing::readFile(path).size(), 65536u);
}

TEST(Journal, AJournalThatCannotBeOpenedSaysWhy) {
  testing::TempDir dir;
  std::string error;
  EXPECT_FALSE(Journal::open(dir.file("no/such/dir/j.txt"), &error));
  EXPECT_EQ(error, "cannot open journal " + dir.file("no/such/dir/j.txt") +
                       ": No such file or directory");
}

}  // namespace
}  // namespace kestrel
