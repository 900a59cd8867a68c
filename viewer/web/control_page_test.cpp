// The bundled control page in headless Chromium: each form is submitted
// through the real page and the commands that reached the queue checked.
#include <gtest/gtest.h>

#include <filesystem>

#include "testing/child_process.h"
#include "viewer/intake/command_queue.h"
#include "viewer/web/web_test_support.h"

namespace kestrel::testing {
namespace {

TEST(ControlPageInChromium, EveryFormReachesTheQueue) {
  std::string scripts = sourcePath("viewer/web/browser_tests");
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/chromium"));
  if (!std::filesystem::exists(scripts + "/node_modules/playwright-core")) {
    ChildProcess install("/bin/sh", {scripts + "/install.sh"});
    ASSERT_EQ(install.wait(120000), 0) << install.output();
  }
  WebHarness web;
  web.dir.write("kestrel.html", readFile(sourcePath("share/kestrel/kestrel.html")));
  web.dir.write("kestrel.settings", "speed=3\n");
  web.engine.run({kTransformTemplate, objectBlock("ball")});
  ChildProcess node("/usr/bin/node",
                    {scripts + "/control_page.js",
                     "http://127.0.0.1:" + std::to_string(web.server.port()) + "/kestrel.html"});
  int status = node.wait(90000);
  std::string out = node.output();
  ASSERT_EQ(status, 0) << out;
  for (const char* form : {"oneForm", "vizForm", "directForm", "configForm", "resetForm", "mapForm"}) {
    EXPECT_NE(out.find(std::string(form) + " Kestrel control objects"), std::string::npos) << out;
  }
  EXPECT_NE(out.find("picture hidden"), std::string::npos) << out;
  std::vector<std::string> taken;
  while (auto entry = web.engine.primary.take()) {
    taken.push_back(std::to_string(entry->code) + " " + (entry->text() ? entry->text() : ""));
  }
  EXPECT_EQ(taken, (std::vector<std::string>{"61 ball", "62 transparency", "63 32767", "61 ball",
                                             "62 yscale", "63 43690", "0 c:/scenes/a.wrl",
                                             "1 world"}));
  EXPECT_EQ(web.server.tasks().pending(), 1u);  // the restore
}

}  // namespace
}  // namespace kestrel::testing
