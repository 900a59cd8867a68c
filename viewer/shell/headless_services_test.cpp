// The kestrel program's snapshots and its web control port, run as a child
// process in a temporary directory.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/browser/render/gl/image_io.h"
#include "viewer/web/web_test_support.h"

namespace kestrel {
namespace {

using testing::ChildProcess;

std::string kestrelPath() { return testing::programPath("viewer/shell/kestrel"); }

// Mesa's drivers leave a few hundred bytes unfreed when EGL lets them go, in
// code the leak checker cannot name; rendering runs are not leak-checked
// (the other program tests are).
const std::vector<std::string> kRenderingEnv{"ASAN_OPTIONS=detect_leaks=0"};

const char* kRedBall =
    "#VRML V2.0 utf8\n"
    "Shape { appearance Appearance { material Material { diffuseColor 1 0 0 } }\n"
    "        geometry Sphere { radius 2 } }\n";

bool readPicture(const std::string& path, RgbaImage& image) {
  std::string error;
  return readImageFile(path, image, &error);
}

// True once something accepts connections on PORT (within 10 s).
bool listening(uint16_t port) {
  int fd = testing::connectLoopback(port, 10000);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool reddish(const uint8_t* p) { return p[0] > 100 && p[1] < 60 && p[2] < 60; }

TEST(HeadlessSnapshot, RendersTheNamedSceneAtTheGivenSizeAndReportsFailures) {
  testing::TempDir dir(false);
  dir.write("ball.wrl", kRedBall);
  ChildProcess shot(kestrelPath(), {"--snapshot", dir.file("out.png"), "--size", "64x48", "-C",
                                    dir.path(), "ball.wrl"}, "", kRenderingEnv);
  ASSERT_EQ(shot.wait(30000), 0) << shot.output();
  RgbaImage image;
  ASSERT_TRUE(readPicture(dir.file("out.png"), image));
  EXPECT_EQ(image.width, 64);
  EXPECT_EQ(image.height, 48);
  EXPECT_TRUE(reddish(image.at(32, 24)));
  EXPECT_FALSE(reddish(image.at(1, 1)));

  // Command files build the scene too: the ball is loaded by a command.
  dir.write("scene.cmd", "load ball.wrl\n");
  ChildProcess viaCommands(kestrelPath(), {"--snapshot", dir.file("cmd.png"), "--size", "32x32",
                                           "-C", dir.path(), "scene.cmd"}, "", kRenderingEnv);
  ASSERT_EQ(viaCommands.wait(30000), 0) << viaCommands.output();
  ASSERT_TRUE(readPicture(dir.file("cmd.png"), image));
  EXPECT_TRUE(reddish(image.at(16, 16)));

  ChildProcess nowhere(kestrelPath(), {"--snapshot", dir.file("no/such/dir/out.png"), "-C",
                                       dir.path(), "ball.wrl"}, "", kRenderingEnv);
  EXPECT_EQ(nowhere.wait(30000), 1);
  EXPECT_NE(nowhere.output().find("cannot write the snapshot"), std::string::npos)
      << nowhere.output();
}

TEST(HeadlessSnapshot, BadSnapshotAndServiceOptionsAreRefused) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--snapshot", "x.png", "--size", "0x5"},
        {"--size", "640"},
        {"--size", "640x480x3"},
        {"--snapshot-every", "5", "x.png"},
        {"--snapshot-every", "1000"},
        {"--search-host", "search.example"},
        {"--web-port", "65536"}}) {
    ChildProcess bad(kestrelPath(), args);
    EXPECT_EQ(bad.wait(), 2) << args[0] << " " << args[1];
  }
}

class HeadlessWeb : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("kestrel.html",
              testing::readFile(testing::sourcePath("share/kestrel/kestrel.html")));
    dir.write("config.template", "starttemplate transform\nTransform { children [ ] }\n"
                                 "endtemplate\n");
  }
  ChildProcess start(uint16_t web) {
    return ChildProcess(kestrelPath(),
                        {"--headless", "--command-port", std::to_string(testing::freePort()),
                         "--secondary-port", std::to_string(testing::freePort()), "--web-port",
                         std::to_string(web), "--snapshot-every", "100", "snapshot.png",
                         "--size", "40x30", "-C", dir.path()},
                        "", kRenderingEnv);
  }
  testing::TempDir dir{false};
};

TEST_F(HeadlessWeb, ServesThePageTakesFormsAndKeepsTheSnapshotFresh) {
  uint16_t web = testing::freePort();
  ChildProcess viewer = start(web);
  ASSERT_TRUE(viewer.started());
  ASSERT_TRUE(listening(web));

  dir.write("webball.wrl", kRedBall);
  std::string body = "kestrel_command=direct_command&direct_to_kestrel=load+webball.wrl";
  std::string post = "POST /kestrel.html HTTP/1.0\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body;
  EXPECT_NE(testing::httpRequest(web, post).find("200 OK"), std::string::npos);
  // The object list of the page is read from the registry.
  EXPECT_TRUE(testing::waitFor(
      [&] {
        std::string page = testing::httpRequest(web, "GET /kestrel.html HTTP/1.0\r\n\r\n");
        return page.find("object_webball") != std::string::npos;
      },
      10000));

  RgbaImage image;
  EXPECT_TRUE(testing::waitFor([&] { return readPicture(dir.file("snapshot.png"), image); },
                               10000));
  EXPECT_EQ(image.width, 40);
  std::string reply = testing::httpRequest(web, "GET /snapshot.png HTTP/1.0\r\n\r\n");
  EXPECT_NE(reply.find("Content-Type: image/png"), std::string::npos);
  EXPECT_NE(reply.find("\x89PNG"), std::string::npos);

  EXPECT_NE(testing::httpRequest(web, "GET /../kestrel.log HTTP/1.0\r\n\r\n").find("404"),
            std::string::npos);
  viewer.signal(SIGTERM);
  EXPECT_EQ(viewer.wait(), 0) << viewer.output();
}

TEST_F(HeadlessWeb, AWebPortInUseIsReportedAndTheViewerRunsOn) {
  uint16_t web = testing::freePort();
  ChildProcess first = start(web);
  ASSERT_TRUE(listening(web));
  testing::TempDir other(false);
  uint16_t port = testing::freePort();
  ChildProcess second(kestrelPath(),
                      {"--headless", "--command-port", std::to_string(port), "--secondary-port",
                       std::to_string(testing::freePort()), "--web-port", std::to_string(web),
                       "-C", other.path()});
  std::string expected = "web port " + std::to_string(web);
  EXPECT_TRUE(testing::waitFor([&] { return second.output().find(expected) != std::string::npos; },
                               10000))
      << second.output();
  EXPECT_NE(testing::readFile(other.file("kestrel.err")).find(expected), std::string::npos);
  EXPECT_TRUE(listening(port));  // the command port still serves
  second.signal(SIGTERM);
  EXPECT_EQ(second.wait(), 0) << second.output();
  first.signal(SIGTERM);
  EXPECT_EQ(first.wait(), 0);
}

}  // namespace
}  // namespace kestrel
