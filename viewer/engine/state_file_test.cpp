#include "viewer/engine/state_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <set>

#include "viewer/engine/engine_test_support.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

using testing::EngineHarness;
using testing::kTransformTemplate;
using testing::objectBlock;
using testing::readFile;

TEST(StateFile, SavedRecordsHaveTheirFixedShape) {
  EngineHarness h;
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("empty.state")));
  EXPECT_EQ(readFile(h.dir.file("empty.state")), "2\n");
  h.run({"startdata ball\nDEF Xform_ball Transform { translation 1 2 3 children [ Shape { "
         "appearance Appearance { material DEF Mat_ball Material { diffuseColor 1 0 0 } } } ] }"
         "\nenddata"});
  // Without a template the content node is Xform_ball itself.
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("ball.state")));
  EXPECT_EQ(readFile(h.dir.file("ball.state")),
            "2\nball\n1.000000 2.000000 3.000000\n1.000000 1.000000 1.000000\n0.000000\n"
            "1.000000 0.000000 0.000000\n0.000000 0.000000 0.000000\n"
            "0.000000 0.000000 1.000000\n0.000000\n\n");
}

TEST(StateFile, LoadingAppliesEachRecordToTheObjectItNames) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("a"), objectBlock("b")});
  h.object("a")->translation.set(Vec3f{1, 2, 3});
  h.object("b")->scale.set(Vec3f{4, 5, 6});
  h.object("b")->transparency.set(0.25f);
  h.object("b")->rotation.set(Rotation{0, 1, 0, 1.5f});
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("s.state")));

  EngineHarness other;
  // Only b and a new object exist in the other scene, in another order.
  other.run({kTransformTemplate, objectBlock("c"), objectBlock("b")});
  other.run({"setobject c"});
  ASSERT_TRUE(loadState(other.engine.registry(), h.dir.file("s.state")));
  EXPECT_TRUE(other.logged("Loading state information"));
  EXPECT_FLOAT_EQ(other.scale("b").y, 5);
  EXPECT_FLOAT_EQ(other.transparency("b"), 0.25f);
  Rotation r;
  other.object("b")->rotation.get(r);
  EXPECT_FLOAT_EQ(r.angle, 1.5f);
  EXPECT_FLOAT_EQ(other.translation("c").x, 0);  // the record of a is skipped
  EXPECT_EQ(other.engine.registry().currentIndex(), 0);
}

TEST(StateFile, VersionsAndBrokenLines) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("a")});
  h.dir.write("v1.state", "1\na\n5 6 7\n1 1 1\n0.5\n0 1 0\n0 0 0\n1 0 0\n0.5\n");
  ASSERT_TRUE(loadState(h.engine.registry(), h.dir.file("v1.state")));
  EXPECT_FLOAT_EQ(h.translation("a").z, 7);
  h.dir.write("v3.state", "3\na\n9 9 9\n");
  EXPECT_FALSE(loadState(h.engine.registry(), h.dir.file("v3.state")));
  EXPECT_TRUE(h.logged("Unexpected version \"3\""));
  EXPECT_FLOAT_EQ(h.translation("a").x, 5);
  // Lines with fewer than two blanks do not parse and are skipped.
  h.dir.write("odd.state", "2\na\n1 2\nnot numbers at all\n");
  ASSERT_TRUE(loadState(h.engine.registry(), h.dir.file("odd.state")));
  EXPECT_FLOAT_EQ(h.translation("a").x, 5);
  EXPECT_FLOAT_EQ(h.scale("a").x, 0);  // "not numbers at all" parses as 0 0 0
  EXPECT_FALSE(loadState(h.engine.registry(), h.dir.file("missing.state")));
}

TEST(StateFile, LineBreaksInNamesAndInfoTextsKeepTheFileReadable) {
  EngineHarness h;
  // A client that ends its lines with CR LF gives names that end in CR.
  h.run({kTransformTemplate, objectBlock("crlf\r"), objectBlock("plain")});
  h.run({"startdata info\nDEF info_script Script { eventIn SFString inString }\nenddata"});
  h.object("crlf\r")->translation.set(Vec3f{1, 1, 1});
  h.object("crlf\r")->storeInfoText("two\nlines");
  h.object("plain")->translation.set(Vec3f{2, 2, 2});
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("s.state")));
  std::string text = readFile(h.dir.file("s.state"));
  EXPECT_NE(text.find("\ncrlf \n"), std::string::npos);
  EXPECT_NE(text.find("\ntwo lines\n"), std::string::npos);

  h.object("crlf\r")->translation.set(Vec3f{0, 0, 0});
  h.object("plain")->translation.set(Vec3f{0, 0, 0});
  ASSERT_TRUE(loadState(h.engine.registry(), h.dir.file("s.state")));
  EXPECT_FLOAT_EQ(h.translation("crlf\r").x, 1);
  EXPECT_FLOAT_EQ(h.translation("plain").x, 2);
}

// The names in the folder DIR.
std::set<std::string> filesIn(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(d);
  }
  return names;
}

// Saves H's registry to PATH in a child process that may write no file
// past LIMIT bytes (a full disk, as the writer sees it), logging into
// LOG_DIR. The child's exit status: 0 when saveState returned false.
int saveWithFileSizeLimit(EngineHarness& h, const std::string& path, rlim_t limit,
                          const std::string& logDir) {
  pid_t child = fork();
  if (child == 0) {
    openLogIn(logDir);
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
    rlimit small{limit, limit};
    setrlimit(RLIMIT_FSIZE, &small);
    _exit(saveState(h.engine.registry(), path) ? 1 : 0);
  }
  int status = -1;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StateFile, ASaveThatCannotBeWrittenKeepsTheOldFileWhole) {
  EngineHarness h;
  h.run({kTransformTemplate});
  for (int i = 0; i < 200; ++i) h.run({objectBlock("object_" + std::to_string(i))});
  const std::string path = h.dir.file("big.state");
  ASSERT_TRUE(saveState(h.engine.registry(), path));
  const std::string old = readFile(path);
  ASSERT_GT(old.size(), 16384u);
  std::set<std::string> before = filesIn(h.dir.path());

  h.object("object_7")->translation.set(Vec3f{7, 7, 7});
  ASSERT_EQ(mkdir(h.dir.file("child").c_str(), 0700), 0);
  EXPECT_EQ(saveWithFileSizeLimit(h, path, 4096, h.dir.file("child")), 0);
  EXPECT_EQ(readFile(path), old);
  std::set<std::string> after = filesIn(h.dir.path());
  after.erase("child");
  EXPECT_EQ(after, before);  // no temporary file left behind
  std::string err = readFile(h.dir.file("child/kestrel.err"));
  EXPECT_NE(err.find("state file not saved, the old one is kept: cannot write"), std::string::npos)
      << err;
  EXPECT_NE(err.find("File too large"), std::string::npos) << err;
  EXPECT_NE(readFile(h.dir.file("child/kestrel.log")).find("state file not saved"),
            std::string::npos);

  // A folder that does not exist: nothing is written, and the log says so.
  EXPECT_FALSE(saveState(h.engine.registry(), h.dir.file("missing/s.state")));
  EXPECT_TRUE(h.log().find("state file not saved, the old one is kept: cannot create") !=
              std::string::npos);
}

TEST(StateFile, ASaveReplacesTheOldFileAsAWhole) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("a")});
  const std::string path = h.dir.file("s.state");
  ASSERT_TRUE(saveState(h.engine.registry(), path));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  const std::string old = readFile(path);
  struct stat oldStat {};
  ASSERT_EQ(stat(path.c_str(), &oldStat), 0);
  // A reader that opened the old file keeps reading the old file whole.
  std::FILE* reader = std::fopen(path.c_str(), "r");
  ASSERT_NE(reader, nullptr);

  h.object("a")->translation.set(Vec3f{4, 5, 6});
  ASSERT_TRUE(saveState(h.engine.registry(), path));
  std::string seen(old.size() + 10, '\0');
  seen.resize(std::fread(seen.data(), 1, seen.size(), reader));
  std::fclose(reader);
  EXPECT_EQ(seen, old);
  std::string now = readFile(path);
  EXPECT_NE(now.find("\n4.000000 5.000000 6.000000\n"), std::string::npos) << now;
  struct stat newStat {};
  ASSERT_EQ(stat(path.c_str(), &newStat), 0);
  EXPECT_NE(newStat.st_ino, oldStat.st_ino);
  EXPECT_EQ(newStat.st_mode & 07777, 0640u);

  // Through a symbolic link the file it points to is replaced; the link stays.
  ASSERT_EQ(symlink(path.c_str(), h.dir.file("link.state").c_str()), 0);
  h.object("a")->translation.set(Vec3f{8, 8, 8});
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("link.state")));
  struct stat linkStat {};
  ASSERT_EQ(lstat(h.dir.file("link.state").c_str(), &linkStat), 0);
  EXPECT_TRUE(S_ISLNK(linkStat.st_mode));
  EXPECT_NE(readFile(path).find("\n8.000000 8.000000 8.000000\n"), std::string::npos);
  std::set<std::string> expected{"kestrel.log", "s.state", "link.state"};
  EXPECT_EQ(filesIn(h.dir.path()), expected);
}

}  // namespace
}  // namespace kestrel
