// The search client against a real XML-RPC service on the loopback
// interface, and the scene update it makes.
#include <gtest/gtest.h>

#include <chrono>

#include "testing/child_process.h"
#include "viewer/web/search_client.h"
#include "viewer/web/web_test_support.h"

namespace kestrel::testing {
namespace {

class Service {
 public:
  explicit Service(const std::string& mode)
      : process_("/usr/bin/python3", {sourcePath("viewer/web/testdata/search_service.py"), mode}) {
    waitFor([&] { return process_.output().find('\n') != std::string::npos; }, 10000);
    const std::string& out = process_.output();
    if (out.rfind("port ", 0) == 0) endpoint.port = static_cast<uint16_t>(std::stoi(out.substr(5)));
  }
  const std::string& output() { return process_.output(); }
  SearchEndpoint endpoint;

 private:
  ChildProcess process_;
};

TEST(SearchClient, ReadsTheFirstInteger) {
  EXPECT_EQ(readXmlRpcInteger("<value><int>42</int></value>"), 42);
  EXPECT_EQ(readXmlRpcInteger("<int>-7</int>"), -7);
  EXPECT_EQ(readXmlRpcInteger("<i4>42</i4>"), -1);
}

TEST(SearchClient, RequestEscapesTheTextAndIsBounded) {
  std::optional<std::string> request = xmlRpcRequest("/search", "rpc_search", "a<b&c");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->rfind("POST /search HTTP/1.0\r\nHost: nomatter\r\nUser-Agent: ", 0), 0u);
  EXPECT_NE(request->find("<string>a&lt;b&amp;c</string>"), std::string::npos);
  EXPECT_FALSE(xmlRpcRequest("/search", "rpc_search", std::string(1000, 'x')));
}

TEST(SearchClient, AsksARealServiceAndGetsItsInteger) {
  Service service("int");
  ASSERT_NE(service.endpoint.port, 12080);
  std::string error;
  EXPECT_EQ(xmlRpcStringCall(service.endpoint, "rpc_search", "hello", &error), 5) << error;
  EXPECT_EQ(xmlRpcStringCall(service.endpoint, "rpc_search", "x<&y", &error), 4) << error;
  EXPECT_TRUE(waitFor([&] { return service.output().find("asked 'x<&y'") != std::string::npos; }));
}

TEST(SearchClient, AnI4ReplyGivesZero) {
  Service service("i4");
  std::string error;
  EXPECT_EQ(xmlRpcStringCall(service.endpoint, "rpc_search", "hello", &error), 0) << error;
}

TEST(SearchClient, AnIntegerCutBetweenPiecesIsStillRead) {
  Service service("cut");
  std::string error;
  EXPECT_EQ(xmlRpcStringCall(service.endpoint, "rpc_search", "q", &error), 77) << error;
}

TEST(SearchClient, RefusedAndSilentServicesFailInTime) {
  SearchEndpoint nowhere;
  nowhere.port = freePort();
  std::string error;
  EXPECT_FALSE(xmlRpcStringCall(nowhere, "rpc_search", "q", &error));
  EXPECT_NE(error.find("refused"), std::string::npos) << error;

  // A silent service is given up in time, and that is no answer of 0.
  Service service("silent");
  service.endpoint.timeoutMs = 500;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(xmlRpcStringCall(service.endpoint, "rpc_search", "q", &error));
  EXPECT_NE(error.find("no complete reply"), std::string::npos) << error;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

  EngineHarness harness;
  harness.run({kTransformTemplate, "modelset cylinder 1\nDEF Xform_x Transform { }\nenddata"});
  EXPECT_FALSE(runSearch(harness.engine, service.endpoint, "q"));
  EXPECT_FLOAT_EQ(harness.scale("cylinder_0").y, 1.0f);  // the scene is unchanged
}

TEST(SearchClient, AReplyEndedBeforeAnyIntegerGivesZero) {
  Service service("closes");
  std::string error;
  EXPECT_EQ(xmlRpcStringCall(service.endpoint, "rpc_search", "q", &error), 0) << error;
}

TEST(SearchClient, ResultScalesLabelsAndMovesTheCylinder) {
  EngineHarness harness;
  harness.run({kTransformTemplate,
               "startdata flag\nDEF flag Script { field SFVec3f markLocation 4 5 6 }\nenddata",
               "setobject flag", "setmarker",
               "modelset cylinder 2\nDEF Xform_x Transform { }\nenddata"});
  Service service("int");
  ASSERT_TRUE(runSearch(harness.engine, service.endpoint, "abc"));
  VisualObject* first = harness.object("cylinder_0");
  ASSERT_NE(first, nullptr);
  Vec3f scale = harness.scale("cylinder_0");
  EXPECT_NEAR(scale.y, 3000.0f / 21845.0f, 1e-5);
  Vec3f at = harness.translation("cylinder_0");
  EXPECT_FLOAT_EQ(at.x, 4.0f);
  EXPECT_FLOAT_EQ(at.z, 6.0f);
  ASSERT_TRUE(runSearch(harness.engine, service.endpoint, "abcd"));
  EXPECT_NEAR(harness.scale("cylinder_1").y, 4000.0f / 21845.0f, 1e-5);
}

TEST(SearchClient, TheShownHeightIsHeldAtTheRangeOfAValue) {
  EngineHarness harness;
  harness.run({kTransformTemplate, "modelset cylinder 1\nDEF Xform_x Transform { }\nenddata"});
  showSearchResult(harness.engine.operations(), "huge", 9000000000L);
  EXPECT_NEAR(harness.scale("cylinder_0").y, 2147483647.0f / 21845.0f, 1.0f);
  showSearchResult(harness.engine.operations(), "negative", -9000000000L);
  EXPECT_NEAR(harness.scale("cylinder_0").y, -2147483648.0f / 21845.0f, 1.0f);
}

}  // namespace
}  // namespace kestrel::testing
