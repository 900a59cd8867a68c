// The bundled control page in headless Chromium and headless Firefox: each
// form is submitted through the real page and the commands that reached the
// queue checked. Both browsers run the same steps (browser_tests/control_page.js).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "testing/child_process.h"
#include "viewer/intake/command_queue.h"
#include "viewer/web/browser_test_support.h"
#include "viewer/web/web_test_support.h"

namespace kestrel::testing {
namespace {

// A 1x1 PNG image, as the viewer's snapshot would be.
const std::string kSnapshot(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01"
    "\x00\x00\x00\x01\x08\x02\x00\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41"
    "\x54\x78\x9c\x63\xf8\xdf\xc0\x00\x00\x04\x01\x01\x80\xc5\x2a\x18\x5d\x00\x00\x00"
    "\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    69);

// Serves the bundled page, drives it in BROWSER (chromium|firefox) and checks
// the page each form brought back, the queue and the pending restore; then
// puts a snapshot beside the page and checks that the open page shows it.
// AGENT is a word the browser's own user agent string must contain, so a
// run in some other browser cannot pass.
void everyFormReachesTheQueue(const std::string& browser, const std::string& agent) {
  std::string scripts = sourcePath("viewer/web/browser_tests");
  ASSERT_NO_FATAL_FAILURE(installBrowserDrivers(scripts));
  WebHarness web;
  web.dir.write("kestrel.html", readFile(sourcePath("share/kestrel/kestrel.html")));
  web.dir.write("kestrel.settings", "speed=3\n");
  web.engine.run({kTransformTemplate, objectBlock("ball")});
  ChildProcess node("/usr/bin/node",
                    {scripts + "/control_page.js",
                     "http://127.0.0.1:" + std::to_string(web.server.port()) + "/kestrel.html",
                     browser});
  // The script closes its browser and fails by itself when its steps take
  // over 75 s, so these waits only end a script that no longer answers.
  ASSERT_TRUE(waitFor([&] { return node.output().find("waiting for snapshot") != std::string::npos; },
                      120000))
      << node.output();
  web.dir.write("snapshot.png", kSnapshot);
  node.writeInput("snapshot written\n");
  int status = node.wait(30000);
  std::string out = node.output();
  ASSERT_EQ(status, 0) << out;
  for (const char* form : {"oneForm", "vizForm", "directForm", "configForm", "resetForm", "mapForm"}) {
    EXPECT_NE(out.find(std::string(form) + " Kestrel control objects"), std::string::npos) << out;
  }
  EXPECT_NE(out.find("picture hidden"), std::string::npos) << out;
  EXPECT_NE(out.find("snapshot shown"), std::string::npos) << out;
  EXPECT_NE(lineAfter(out, "agent ").find(agent), std::string::npos) << out;
  std::vector<std::string> taken;
  while (auto entry = web.engine.primary.take()) {
    taken.push_back(std::to_string(entry->code) + " " + (entry->text() ? entry->text() : ""));
  }
  EXPECT_EQ(taken, (std::vector<std::string>{"61 ball", "62 transparency", "63 32767", "61 ball",
                                             "62 yscale", "63 43690", "0 c:/scenes/a.wrl",
                                             "1 world"}));
  EXPECT_EQ(web.server.tasks().pending(), 1u);  // the restore
}

TEST(ControlPageInChromium, EveryFormReachesTheQueue) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/chromium"));
  everyFormReachesTheQueue("chromium", "Chrome/");
}

TEST(ControlPageInFirefox, EveryFormReachesTheQueue) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/firefox-esr"));
  everyFormReachesTheQueue("firefox", "Firefox/");
}

}  // namespace
}  // namespace kestrel::testing
