// The kestrel window program stopped by a signal: the commands a client had
// sent are all run before the state file is written, as when the window is
// closed.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>
#include <thread>
#include <unistd.h>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/shell/burst_test_support.h"
#include "viewer/shell/replay_test_support.h"
#include "viewer/web/web_test_support.h"

namespace kestrel {
namespace {

TEST(WindowProgram, SigtermClosesTheWindowAndEveryObjectSentIsInTheStateFile) {
  testing::TempDir dir(false);
  uint16_t port = testing::freePort();
  std::string state = dir.file("saved.state");
  testing::ChildProcess viewer(
      testing::programPath("viewer/shell/kestrel"),
      {"--web-port", "0", "--command-port", std::to_string(port), "--secondary-port",
       std::to_string(testing::freePort()), "-C", dir.path(), "--save-state", state});
  constexpr int kObjects = 500;
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0) << viewer.output();
  testing::sendAll(fd, testing::objectBurst(kObjects));
  viewer.signal(SIGTERM);
  ::close(fd);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();
  EXPECT_EQ(testing::objectsMissingFrom(testing::readFile(state), kObjects), 0);
}

// Replays the ball journal in the window at 8 times its pace with ARGS
// after the common ones, checks that no command port is served, ends the
// window with SIGTERM and gives the state it saved.
std::string stateAfterWindowReplay(const testing::TempDir& dir,
                                   const std::vector<std::string>& args) {
  uint16_t port = testing::freePort();
  std::string state = dir.file("replayed.state");
  std::vector<std::string> all{"--web-port", "0", "--command-port", std::to_string(port),
                               "--secondary-port", std::to_string(testing::freePort()),
                               "-C", dir.path(), "--save-state", state, "--speed", "8"};
  all.insert(all.end(), args.begin(), args.end());
  testing::ChildProcess viewer(testing::programPath("viewer/shell/kestrel"), all);
  // The whole run (2 s at 8 times its pace) is over in a quarter second.
  ::usleep(1500 * 1000);
  EXPECT_LT(testing::connectOnce("127.0.0.1", port), 0);
  viewer.signal(SIGTERM);
  EXPECT_EQ(viewer.wait(), 0) << viewer.output();
  return testing::readFile(state);
}

TEST(WindowProgram, AJournalNamedAsTheFileIsReplayedWithNoPortServed) {
  testing::TempDir dir(false);
  testing::writeBallJournal(dir);
  EXPECT_EQ(stateAfterWindowReplay(dir, {dir.file("run.journal")}),
            testing::replayedTo(dir, "2"));
}

// --replay without --headless opens the window's replay, which stops at --to.
TEST(WindowProgram, ReplayOptionPlaysInTheWindowUpToTo) {
  testing::TempDir dir(false);
  testing::writeBallJournal(dir);
  EXPECT_EQ(stateAfterWindowReplay(dir, {"--to", "1.25", "--replay", dir.file("run.journal")}),
            testing::replayedTo(dir, "1.25"));
}

// A raw request on the replay's web port: its reply, status line first.
std::string request(uint16_t port, const std::string& method, const std::string& target,
                    const std::string& body = "", const std::string& extra = "") {
  return testing::httpRequest(port, method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                        extra + "Content-Length: " + std::to_string(body.size()) +
                                        "\r\n\r\n" + body);
}

int statusOf(const std::string& reply) {
  return reply.size() > 12 ? std::stoi(reply.substr(9, 3)) : 0;
}

// GET /api/replay until DONE holds for its answer (10 s at most).
nlohmann::json replayStateWhen(uint16_t port,
                               const std::function<bool(const nlohmann::json&)>& done) {
  nlohmann::json state;
  for (int i = 0; i < 500; ++i) {
    std::string reply = request(port, "GET", "/api/replay");
    if (statusOf(reply) == 200) {
      state = nlohmann::json::parse(testing::bodyOf(reply));
      if (done(state)) return state;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ADD_FAILURE() << "replay state never came: " << state.dump();
  return state;
}

double liveBallX(uint16_t port) {
  nlohmann::json ball = nlohmann::json::parse(
      testing::bodyOf(request(port, "GET", "/api/objects/ball")), nullptr, false);
  return ball.contains("translation") ? ball["translation"][0].get<double>() : NAN;
}

void postReplay(uint16_t port, const std::string& body) {
  EXPECT_EQ(statusOf(request(port, "POST", "/api/replay", body)), 202) << body;
}

// The window's replay on the web port: its state, seeks (forward and back,
// each showing the scene a replay stopped there leaves), play and pause,
// and the refusal of commands, forms and cross-site control.
TEST(WindowProgram, ReplayIsControlledOverTheWebPort) {
  testing::TempDir dir(false);
  testing::writeBallJournal(dir);
  uint16_t web = testing::freePort();
  std::string state = dir.file("replayed.state");
  testing::ChildProcess viewer(
      testing::programPath("viewer/shell/kestrel"),
      {"--web-port", std::to_string(web), "--command-port", std::to_string(testing::freePort()),
       "--secondary-port", std::to_string(testing::freePort()), "-C", dir.path(), "--save-state",
       state, "--speed", "0.25", "--replay", dir.file("run.journal")});
  nlohmann::json first = replayStateWhen(web, [](const nlohmann::json&) { return true; });
  EXPECT_EQ(first["end_ms"], 2000) << viewer.output();
  EXPECT_EQ(first["speed"], 0.25);
  EXPECT_EQ(first["playing"], true);

  postReplay(web, R"({"action":"pause"})");
  replayStateWhen(web, [](const nlohmann::json& s) { return s["playing"] == false; });
  for (int ms : {1500, 500}) {
    postReplay(web, R"({"action":"seek","ms":)" + std::to_string(ms) + "}");
    nlohmann::json at = replayStateWhen(web, [ms](const nlohmann::json& s) {
      return s["position_ms"] == ms;
    });
    EXPECT_EQ(at["playing"], false);
    std::string to = ms == 1500 ? "1.5" : "0.5";
    EXPECT_NEAR(liveBallX(web), testing::ballX(testing::replayedTo(dir, to)), 1e-4) << ms;
  }

  std::string refused = request(web, "POST", "/api/commands", "[\"left\"]");
  EXPECT_EQ(statusOf(refused), 409) << refused;
  EXPECT_TRUE(nlohmann::json::parse(testing::bodyOf(refused)).contains("error"));
  EXPECT_EQ(statusOf(request(web, "POST", "/kestrel.html", "command=left")), 409);
  EXPECT_EQ(statusOf(request(web, "POST", "/api/replay", R"({"action":"play"})",
                             "Origin: http://elsewhere.example\r\n")),
            403);
  EXPECT_EQ(statusOf(request(web, "POST", "/api/replay", R"({"action":"jump"})")), 400);
  EXPECT_NEAR(liveBallX(web), testing::ballX(testing::replayedTo(dir, "0.5")), 1e-4);

  postReplay(web, R"({"action":"play","speed":8})");
  nlohmann::json end = replayStateWhen(web, [](const nlohmann::json& s) {
    return s["position_ms"] == 2000 && s["playing"] == false;
  });
  EXPECT_EQ(end["speed"], 8);
  viewer.signal(SIGTERM);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();
  EXPECT_EQ(testing::readFile(state), testing::replayedTo(dir, "2"));
}

}  // namespace
}  // namespace kestrel
