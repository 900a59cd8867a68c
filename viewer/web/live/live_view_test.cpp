// The live view in headless Chromium and headless Firefox, beside a real
// headless viewer driven through its command port: the red ball is drawn
// red at the canvas centre, a click on it makes it the engine's current
// object (a value sent without setobject then moves it), the mouse turns,
// pans and views all like the window's EXAMINE, the move reaches
// the page, a hidden object disappears from it, and the control page shows
// the live view in place of the snapshot.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/web/browser_test_support.h"

namespace kestrel::testing {
namespace {

const char* kScene =
    "starttemplate transform\nTransform { children [ %s ] }\nendtemplate\n"
    "startdata ball\nDEF Xform_ball Transform { children [ Shape { appearance Appearance { "
    "material DEF Mat_ball Material { diffuseColor 1 0 0 } } geometry Sphere { } } ] }\nenddata\n"
    "startdata cube\nDEF cube Transform { translation 0 3 0 children [ DEF Xform_cube Transform { "
    "children [ Shape { appearance Appearance { material DEF Mat_cube Material { diffuseColor 0 0 1 "
    "} } geometry Box { size 0.5 0.5 0.5 } } ] } ] }\nenddata\n"
    "setinfo xmin -5\nsetinfo xmax 5\n";

void sendCommands(uint16_t port, const std::string& lines) {
  int fd = connectLoopback(port);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(sendAll(fd, lines));
  ::close(fd);
}

void liveViewFollowsTheViewer(const std::string& browser, const std::string& agent) {
  ASSERT_TRUE(std::filesystem::exists("/usr/share/javascript/three/three.min.js"));
  std::string scripts = sourcePath("viewer/web/browser_tests");
  ASSERT_NO_FATAL_FAILURE(installBrowserDrivers(scripts));
  TempDir dir(false);
  for (const char* file : {"kestrel.html", "live.html", "live.js"}) {
    dir.write(file, readFile(sourcePath(std::string("share/kestrel/") + file)));
  }
  uint16_t commands = freePort(), web = freePort();
  ChildProcess viewer(programPath("viewer/shell/kestrel"),
                      {"--headless", "--command-port", std::to_string(commands),
                       "--secondary-port", std::to_string(freePort()), "--web-port",
                       std::to_string(web), "-C", dir.path()});
  ASSERT_TRUE(waitFor([&] {
    int fd = connectLoopback(commands, 200);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
  }, 10000)) << viewer.output();
  ASSERT_NO_FATAL_FAILURE(sendCommands(commands, kScene));

  std::string url = "http://127.0.0.1:" + std::to_string(web) + "/live.html";
  std::string script = scripts + "/live_view.js";
  // Headless Firefox draws WebGL only with a display to ask for GL.
  ChildProcess node = browser == "firefox"
      ? ChildProcess("/usr/bin/xvfb-run", {"-a", "-s", "-screen 0 1280x1024x24", "/usr/bin/node",
                                           script, url, browser})
      : ChildProcess("/usr/bin/node", {script, url, browser});
  auto reached = [&](const std::string& line) {
    return waitFor([&] { return node.output().find(line) != std::string::npos; }, 100000);
  };
  ASSERT_TRUE(reached("waiting for move")) << node.output() << viewer.output();
  // No setobject: only the click made the ball current (the cube was last made).
  ASSERT_NO_FATAL_FAILURE(sendCommands(commands, "setproperty x\nsetvalue 65535\n"));
  node.writeInput("moved\n");
  ASSERT_TRUE(reached("waiting for hide")) << node.output();
  ASSERT_NO_FATAL_FAILURE(sendCommands(commands, "setobject cube\nhide\n"));
  node.writeInput("hidden\n");
  int status = node.wait(30000);
  std::string out = node.output();
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(lineAfter(out, "agent ").find(agent), std::string::npos) << out;
  std::istringstream centre(lineAfter(out, "centre "));
  int r = -1, g = -1, b = -1;
  centre >> r >> g >> b;
  EXPECT_GT(r, 150) << out;  // red, lit by the headlight
  EXPECT_LT(g, 60) << out;
  EXPECT_LT(b, 60) << out;
  EXPECT_EQ(lineAfter(out, "clicked "), "ball") << out;
  EXPECT_EQ(lineAfter(out, "navigation "), "turned true panned true all true") << out;
  EXPECT_NEAR(std::stod("0" + lineAfter(out, "moved ")), 5.0, 0.01) << out;
  EXPECT_NE(out.find("\nhidden cube\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nembedded\n"), std::string::npos) << out;
  viewer.signal(SIGTERM);
  EXPECT_EQ(viewer.wait(), 0) << viewer.output();
}

TEST(LiveViewInChromium, FollowsTheViewer) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/chromium"));
  liveViewFollowsTheViewer("chromium", "Chrome/");
}

TEST(LiveViewInFirefox, FollowsTheViewer) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/firefox-esr"));
  liveViewFollowsTheViewer("firefox", "Firefox/");
}

}  // namespace
}  // namespace kestrel::testing
