// The GPS track demo (share/loom/gps_track.json): the bundled receiver log
// through JSatFix into the command lines that move the markers of model set
// "track" of a viewer, sent over a real TCP connection to a listener
// standing in for the viewer.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "modules/common/jproperty.h"
#include "modules/host/builtin_modules.h"
#include "modules/host/document.h"
#include "modules/host/runner.h"
#include "modules/host/tcp_listener.h"
#include "modules/satfix/jsatfix.h"
#include "testing/test_support.h"

namespace kestrel {
namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(GpsTrackDemo, ReplaysTheBundledLogIntoViewerCommands) {
  registerBuiltinModules();
  JSatFix().Register();
  testing::TcpListener viewer;
  ASSERT_TRUE(viewer.ok());
  std::string error;
  auto doc = loadDocumentFile(testing::sourcePath("share/loom/gps_track.json"), {}, &error);
  ASSERT_NE(doc, nullptr) << error;
  // As fast as the host takes the bytes, and to the test's port.
  ASSERT_TRUE(doc->graph.find("receiver")->updateProperty(
      JIntegerProperty(JString("rate"), 0, 0, 1000000000)));
  ASSERT_TRUE(doc->graph.find("viewer")->updateProperty(
      JIntegerProperty(JString("port"), viewer.port(), 1, 65535)));
  doc->graph.startupAll();
  Runner runner;
  EXPECT_EQ(runner.run(doc->graph), Runner::End::Finished);
  doc->graph.closeAll();
  ASSERT_TRUE(viewer.accept());
  const std::vector<std::string> got = lines(viewer.read(1 << 20, 2000));

  // 25 seconds of log: 16 fixes, one block of nine lines each; the nine
  // seconds without a fix send nothing, so the object never jumps to 0,0.
  ASSERT_EQ(got.size(), 16u * 9u);
  const std::vector<std::string> first = {
      "cycle",                  "setinfo ymin 48.66564", "setinfo ymax 48.6658133",
      "setproperty y",          "setvalue 655000000",    "setinfo xmin 2.24812",
      "setinfo xmax 2.2481050", "setproperty x",         "setvalue 655000000"};
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 9), first);
  EXPECT_EQ(got[got.size() - 3], "setinfo xmax 2.2484417");  // 00214.9065 E, the last fix
  for (std::size_t i = 0; i < got.size(); i += 9) EXPECT_EQ(got[i], "cycle") << i;
}

}  // namespace
}  // namespace kestrel
