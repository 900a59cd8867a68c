// The kestrel program's answers to --version, --help and a bad command line:
// what goes to which stream and the exit status.
#include <gtest/gtest.h>

#include <string>

#include "testing/child_process.h"
#include "testing/test_support.h"

namespace kestrel {
namespace {

struct Answer {
  int status;
  std::string out;  // standard output only
  std::string err;  // standard error only
};

// Runs kestrel with ARGS twice through the shell, once keeping only its
// standard output and once only its standard error.
Answer runKestrel(const std::string& args) {
  std::string command = "'" + testing::programPath("viewer/shell/kestrel") + "' " + args;
  testing::ChildProcess out("/bin/sh", {"-c", command + " 2>/dev/null"});
  testing::ChildProcess err("/bin/sh", {"-c", command + " >/dev/null"});
  Answer run{out.wait(), "", ""};
  run.out = out.output();
  EXPECT_EQ(err.wait(), run.status);
  run.err = err.output();
  return run;
}

TEST(CommandLine, VersionHelpAndUnknownOptionsAnswerLikeOtherPrograms) {
  Answer version = runKestrel("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kestrel " KESTREL_VERSION "\n");
  EXPECT_EQ(version.err, "");

  Answer help = runKestrel("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: kestrel", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("--version"), std::string::npos);
  EXPECT_NE(help.out.find("--max-load-size BYTES"), std::string::npos);
  EXPECT_EQ(help.err, "");

  for (const char* bad : {"--no-such-option", "--max-load-size 12x", "--max-load-size 0"}) {
    Answer wrong = runKestrel(bad);
    EXPECT_EQ(wrong.status, 2) << bad;
    EXPECT_EQ(wrong.out, "") << bad;
    EXPECT_NE(wrong.err.find("Usage: kestrel"), std::string::npos) << bad << wrong.err;
  }
}

}  // namespace
}  // namespace kestrel
