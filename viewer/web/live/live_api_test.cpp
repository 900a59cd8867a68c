// The JSON API and the push stream over real sockets, on a real engine and
// browser core: every route, the command rules, refusals, the updates of a
// frame, streams beside pages, and a stalled stream that is cut while
// another goes on.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "viewer/web/live/api_routes.h"
#include "viewer/web/live/live_hub.h"
#include "viewer/web/live/replay_remote.h"
#include "viewer/web/web_test_support.h"

namespace kestrel::testing {
namespace {

using nlohmann::json;

// A web harness with a red ball that moves along x from -5 to 5 and a
// cube, whose live view has looked at the scene once.
struct LiveRig {
  explicit LiveRig(const std::function<void(WebServerOptions&)>& adjust = {})
      : web(10000, 4, [&](WebServerOptions& o) {
          o.liveFrameMs = 0;  // every tick() below is a frame
          if (adjust) adjust(o);
        }) {
    web.engine.run({kTransformTemplate, objectBlock("ball"), objectBlock("cube"),
                    "setinfo xmin -5", "setinfo xmax 5"});
    tick();
  }
  // One engine frame as the viewer runs it: commands, then the live view.
  void run(std::initializer_list<std::string> lines) {
    web.engine.run(lines);
    tick();
  }
  void tick() { web.server.runEngineTasks(web.engine.engine); }
  std::string get(const std::string& target) {
    return httpRequest(web.server.port(), "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  }
  std::string post(const std::string& body, const std::string& extra = "") {
    return httpRequest(web.server.port(), "POST /api/commands HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                              extra + "Content-Length: " +
                                              std::to_string(body.size()) + "\r\n\r\n" + body);
  }
  std::vector<std::string> taken() {
    std::vector<std::string> lines;
    while (auto entry = web.engine.primary.take()) {
      lines.push_back(std::to_string(entry->code) + " " + (entry->text() ? entry->text() : ""));
    }
    return lines;
  }
  WebHarness web;
};

int statusOf(const std::string& reply) {
  return reply.size() > 12 ? std::stoi(reply.substr(9, 3)) : 0;
}

json bodyJson(const std::string& reply) { return json::parse(bodyOf(reply), nullptr, false); }

bool isJsonError(const std::string& reply, int status) {
  json body = bodyJson(reply);
  return statusOf(reply) == status && reply.find("Content-Type: application/json") != std::string::npos &&
         body.is_object() && body.contains("error");
}

// Reads what FD has within TIMEOUT_MS until TEXT holds NEEDLE.
bool readUntil(int fd, std::string& text, const std::string& needle, int timeoutMs = 5000) {
  timeval tv{0, 50000};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  char buffer[65536];
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    if (text.find(needle) != std::string::npos) return true;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return text.find(needle) != std::string::npos;
    if (n > 0) text.append(buffer, static_cast<size_t>(n));
  }
  return text.find(needle) != std::string::npos;
}

int openStream(uint16_t port) {
  int fd = connectLoopback(port);
  sendAll(fd, "GET /api/stream HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n");
  return fd;
}

// The JSON of every "update" event in TEXT.
std::vector<json> updatesIn(const std::string& text) {
  std::vector<json> updates;
  for (size_t at = text.find("event: update\ndata: "); at != std::string::npos;
       at = text.find("event: update\ndata: ", at + 1)) {
    size_t start = at + 20;
    size_t end = text.find("\n\n", start);
    if (end == std::string::npos) break;
    updates.push_back(json::parse(text.substr(start, end - start), nullptr, false));
  }
  return updates;
}

TEST(LiveApi, ObjectsSceneAndMeshesAreServedAsJson) {
  LiveRig rig;
  ASSERT_TRUE(rig.web.started);
  std::string reply = rig.get("/api/objects");
  ASSERT_EQ(statusOf(reply), 200) << reply;
  json objects = bodyJson(reply);
  ASSERT_TRUE(objects.is_array()) << reply;
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0]["name"], "ball");
  EXPECT_EQ(objects[1]["name"], "cube");
  EXPECT_EQ(objects[0]["translation"], json::array({0, 0, 0}));
  EXPECT_EQ(objects[0]["rotation"].size(), 4u);
  EXPECT_EQ(objects[0]["scale"], json::array({1, 1, 1}));
  EXPECT_EQ(objects[0]["diffuseColor"], json::array({1, 0, 0}));
  EXPECT_EQ(objects[0]["visible"], true);
  EXPECT_FALSE(objects[0].contains("items"));

  json ball = bodyJson(rig.get("/api/objects/ball"));
  EXPECT_EQ(ball["name"], "ball");
  EXPECT_TRUE(isJsonError(rig.get("/api/objects/nothing"), 404));
  EXPECT_TRUE(isJsonError(rig.get("/api/objects/%zz"), 400));
  EXPECT_TRUE(isJsonError(rig.get("/api/objects/a/b"), 400));
  EXPECT_TRUE(isJsonError(rig.get("/api/nowhere"), 404));
  EXPECT_TRUE(isJsonError(rig.get("/api/commands"), 405));

  json scene = bodyJson(rig.get("/api/scene"));
  ASSERT_TRUE(scene.is_object());
  EXPECT_GE(scene["seq"].get<int>(), 1);
  ASSERT_EQ(scene["objects"].size(), 2u);
  ASSERT_EQ(scene["objects"][0]["items"].size(), 1u);
  json item = scene["objects"][0]["items"][0];
  EXPECT_EQ(item["matrix"].size(), 16u);
  EXPECT_EQ(item["material"]["diffuse"], json::array({1, 0, 0}));
  // Both boxes are the same mesh, fetched once.
  EXPECT_EQ(item["mesh"], scene["objects"][1]["items"][0]["mesh"]);
  json mesh = bodyJson(rig.get("/api/meshes/" + item["mesh"].get<std::string>()));
  EXPECT_EQ(mesh["kind"], "triangles");
  EXPECT_EQ(mesh["positions"].size(), 36u * 3u);  // a box: 12 triangles
  EXPECT_EQ(mesh["normals"].size(), mesh["positions"].size());
  EXPECT_TRUE(isJsonError(rig.get("/api/meshes/0123"), 404));
  EXPECT_TRUE(isJsonError(rig.get("/api/textures/1"), 404));
}

TEST(LiveApi, AnObjectMadeInAGroupNamesItAndMovesWithIt) {
  LiveRig rig;
  rig.run({"setobject ball", "setgroup", objectBlock("moon")});
  json moon = bodyJson(rig.get("/api/objects/moon"));
  EXPECT_EQ(moon["group"], "ball") << moon;
  EXPECT_EQ(bodyJson(rig.get("/api/objects/ball"))["group"], "");
  json scene = bodyJson(rig.get("/api/scene"));
  ASSERT_EQ(scene["objects"].size(), 3u);
  // Each shape belongs to the innermost object only.
  EXPECT_EQ(scene["objects"][0]["items"].size(), 1u);
  EXPECT_EQ(scene["objects"][2]["items"].size(), 1u);
  rig.run({"setobject ball", "setproperty x", "setvalue 65535"});
  scene = bodyJson(rig.get("/api/scene"));
  EXPECT_NEAR(scene["objects"][2]["items"][0]["matrix"][12].get<double>(), 5.0, 0.01);
}

TEST(LiveApi, TexturesAreServedByIdOnlyForFilesTheSceneUses) {
  LiveRig rig;
  std::string png = rig.web.dir.write("grid.png", "\x89PNG\r\n\x1a\nnot really");
  rig.run({"startdata painted\nDEF Xform_painted Transform { children [ Shape { appearance "
           "Appearance { texture ImageTexture { url \"" + png + "\" } } geometry Box {} } ] }"
           "\nenddata",
           "startdata lost\nDEF Xform_lost Transform { children [ Shape { appearance "
           "Appearance { texture ImageTexture { url \"" + rig.web.dir.file("none.png") +
               "\" } } geometry Box {} } ] }\nenddata"});
  json scene = bodyJson(rig.get("/api/scene"));
  ASSERT_EQ(scene["objects"].size(), 4u) << scene;
  json painted = scene["objects"][2]["items"][0];
  ASSERT_TRUE(painted["texture"].is_string()) << painted;
  std::string reply = rig.get(painted["texture"].get<std::string>());
  EXPECT_NE(reply.find("Content-Type: image/png"), std::string::npos) << reply;
  EXPECT_EQ(bodyOf(reply), "\x89PNG\r\n\x1a\nnot really");
  EXPECT_TRUE(scene["objects"][3]["items"][0]["texture"].is_null());
  EXPECT_TRUE(isJsonError(rig.get("/api/textures/2"), 404));
}

TEST(LiveApi, CommandsFollowTheFormRules) {
  LiveRig rig;
  std::string reply = rig.post("setobject ball\nsetproperty x\r\n\nsetvalue 65535\n");
  ASSERT_EQ(statusOf(reply), 200) << reply;
  EXPECT_EQ(bodyJson(reply)["queued"], 3);
  reply = rig.post(R"([" setobject cube", "setproperty transparency", "setvalue 32767"])",
                   "Content-Type: application/json\r\n");
  EXPECT_EQ(bodyJson(reply)["queued"], 3) << reply;
  EXPECT_EQ(rig.taken(), (std::vector<std::string>{"61 ball", "62 x", "63 65535", "61 cube",
                                                   "62 transparency", "63 32767"}));
  // Refused whole: nothing of these reaches the queue.
  EXPECT_TRUE(isJsonError(rig.post("[\"setobject ball\", 3]"), 400));
  EXPECT_TRUE(isJsonError(rig.post("[\"setobject ball\""), 400));
  EXPECT_TRUE(isJsonError(rig.post("setobject ball\n" + std::string(300, 'x')), 400));
  EXPECT_TRUE(isJsonError(rig.post(std::string("setobject ball\nshow\x01") + "\n"), 400));
  EXPECT_TRUE(isJsonError(rig.post("\n \n"), 400));
  EXPECT_TRUE(isJsonError(rig.post("show", "Origin: http://elsewhere.example\r\n"), 403));
  EXPECT_TRUE(isJsonError(
      httpRequest(rig.web.server.port(), "POST /api/commands HTTP/1.1\r\nHost: evil.example\r\n"
                                         "Content-Length: 4\r\n\r\nshow"), 403));
  EXPECT_TRUE(isJsonError(rig.post(std::string(6000, 'a')), 413));
  EXPECT_TRUE(isJsonError(
      httpRequest(rig.web.server.port(), "POST /api/scene HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                         "Content-Length: 4\r\n\r\nshow"), 405));
  EXPECT_TRUE(rig.taken().empty());
  // What was queued is applied by the engine and seen by the API.
  rig.run({"setobject ball", "setproperty x", "setvalue 65535"});
  json ball = bodyJson(rig.get("/api/objects/ball"));
  EXPECT_NEAR(ball["translation"][0].get<double>(), 5.0, 0.01) << ball;
}

// /api/replay answers only while a replay is shown; then its requests are
// checked and handed over, the state is what the replay published, and
// commands and forms are refused.
TEST(LiveApi, ReplayRequestsAreCheckedAndHandedOverAndCommandsRefused) {
  LiveRig live;
  EXPECT_TRUE(isJsonError(live.get("/api/replay"), 404));
  ReplayRemote remote;
  std::atomic<int> wakes{0};  // counted on the web threads
  remote.setWake([&wakes] { ++wakes; });
  remote.publish({1500, 2000, false, 2.0});
  LiveRig replaying([&remote](WebServerOptions& o) { o.replay = &remote; });
  auto post = [&](const std::string& target, const std::string& body) {
    return httpRequest(replaying.web.server.port(),
                       "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body);
  };
  EXPECT_EQ(bodyJson(replaying.get("/api/replay")),
            json::parse(R"({"position_ms":1500,"end_ms":2000,"playing":false,"speed":2.0})"));
  for (const char* bad : {R"({"action":"seek"})", R"({"action":"jump"})", R"({"speed":0})",
                          R"({"speed":-1,"action":"play"})", "[]", "play", "{}"}) {
    EXPECT_TRUE(isJsonError(post("/api/replay", bad), 400)) << bad;
  }
  EXPECT_TRUE(remote.take().empty());
  EXPECT_EQ(statusOf(post("/api/replay", R"({"action":"seek","ms":-20})")), 202);
  EXPECT_EQ(statusOf(post("/api/replay", R"({"action":"play","speed":4})")), 202);
  EXPECT_EQ(statusOf(post("/api/replay", R"({"speed":0.5})")), 202);
  std::vector<ReplayRequest> taken = remote.take();
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0].seekMs, 0);
  EXPECT_FALSE(taken[0].play || taken[0].speed);
  EXPECT_EQ(taken[1].play, true);
  EXPECT_EQ(taken[1].speed, 4.0);
  EXPECT_EQ(taken[2].speed, 0.5);
  EXPECT_FALSE(taken[2].play || taken[2].seekMs);
  EXPECT_EQ(wakes, 3);
  EXPECT_TRUE(isJsonError(post("/api/commands", "left"), 409));
  EXPECT_TRUE(isJsonError(post("/kestrel.html", "command=left"), 409));
  EXPECT_TRUE(replaying.taken().empty());
  // The read side stays.
  EXPECT_EQ(statusOf(replaying.get("/api/objects/ball")), 200);
}

TEST(LiveApi, ThreeJsIsServedFromItsDirectoryOnly) {
  TempDir three;
  three.write("three.min.js", "var THREE = {};\n");
  LiveRig rig([&](WebServerOptions& o) { o.threeDir = three.path(); });
  std::string reply = rig.get("/three/three.min.js");
  ASSERT_EQ(statusOf(reply), 200) << reply;
  EXPECT_NE(reply.find("Content-Type: text/javascript"), std::string::npos);
  EXPECT_EQ(bodyOf(reply), "var THREE = {};\n");
  EXPECT_TRUE(isJsonError(rig.get("/three/../kestrel.log"), 404));
  EXPECT_TRUE(isJsonError(rig.get("/three/%2e%2e/x"), 404));
  EXPECT_TRUE(isJsonError(rig.get("/three/missing.js"), 404));
}

TEST(LiveStream, UpdatesCarryOnlyWhatChangedOncePerFrame) {
  LiveRig rig;
  int fd = openStream(rig.web.server.port());
  std::string text;
  ASSERT_TRUE(readUntil(fd, text, "event: hello\ndata: ")) << text;
  EXPECT_NE(text.find("Content-Type: text/event-stream"), std::string::npos) << text;
  // Three values in one frame: one entry for the ball, its translation only.
  rig.run({"setobject ball", "setproperty x", "setvalue 6553", "setvalue 32767", "setvalue 65535"});
  ASSERT_TRUE(readUntil(fd, text, "event: update")) << text;
  std::vector<json> updates = updatesIn(text);
  ASSERT_EQ(updates.size(), 1u) << text;
  ASSERT_EQ(updates[0]["changes"].size(), 1u) << text;
  json change = updates[0]["changes"][0];
  EXPECT_EQ(change["op"], "set");
  EXPECT_EQ(change["id"], 0);
  EXPECT_NEAR(change["translation"][0].get<double>(), 5.0, 0.01);
  EXPECT_EQ(change["matrices"].size(), 1u);  // the box moved with it
  EXPECT_FALSE(change.contains("items"));
  EXPECT_FALSE(change.contains("diffuseColor"));
  // Hiding is a change of visibility.
  text.clear();
  rig.run({"setobject cube", "hide"});
  ASSERT_TRUE(readUntil(fd, text, "\"visible\":false")) << text;
  // A frame without changes sends nothing.
  text.clear();
  rig.tick();
  EXPECT_FALSE(readUntil(fd, text, "event:", 300)) << text;
  // A new object is added whole.
  rig.run({objectBlock("third")});
  ASSERT_TRUE(readUntil(fd, text, "\"op\":\"add\"")) << text;
  EXPECT_NE(text.find("\"name\":\"third\""), std::string::npos);
  ::close(fd);
}

TEST(LiveStream, ChangesWithinAFrameMakeOneUpdate) {
  LiveRig rig([](WebServerOptions& o) { o.liveFrameMs = 60000; });
  uint64_t seq = rig.web.server.live()->snapshot()->seq;
  rig.run({"setobject ball", "setproperty x", "setvalue 0"});
  rig.run({"setvalue 65535"});
  EXPECT_EQ(rig.web.server.live()->snapshot()->seq, seq);  // the frame is not over
}

TEST(LiveStream, StreamsLeaveTheConnectionSlotsToPages) {
  LiveRig rig;  // four connection slots
  rig.web.dir.write("page.html", "<html>hello</html>");
  std::vector<int> streams;
  for (int i = 0; i < 6; ++i) streams.push_back(openStream(rig.web.server.port()));
  for (int fd : streams) {
    std::string text;
    ASSERT_TRUE(readUntil(fd, text, "event: hello")) << text;
  }
  EXPECT_EQ(rig.web.server.live()->streams(), 6);
  EXPECT_EQ(rig.web.server.activeConnections(), 0);
  EXPECT_NE(rig.get("/page.html").find("hello"), std::string::npos);
  for (int fd : streams) ::close(fd);
  EXPECT_TRUE(waitFor([&] { return rig.web.server.live()->streams() == 0; }));
}

TEST(LiveStream, AStalledStreamIsCutAndTheOthersGoOn) {
  LiveRig rig([](WebServerOptions& o) { o.streamBuffer = 8192; });
  int stalled = ::socket(AF_INET, SOCK_STREAM, 0);
  int small = 2048;
  ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(rig.web.server.port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(stalled, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  sendAll(stalled, "GET /api/stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  int reader = openStream(rig.web.server.port());
  std::string text;
  ASSERT_TRUE(readUntil(reader, text, "event: hello")) << text;
  ASSERT_TRUE(waitFor([&] { return rig.web.server.live()->streams() == 2; }));
  // The ball turns every frame; the reader keeps up, the stalled one reads
  // nothing.
  int frames = 0;
  for (; frames < 20000 && rig.web.server.live()->cutStreams() == 0; ++frames) {
    rig.run({"setobject ball", "setproperty rotation", "setvalue " + std::to_string(frames % 60000)});
    readUntil(reader, text, "\"seq\":" + std::to_string(frames + 2) + ",", 1);
  }
  ASSERT_EQ(rig.web.server.live()->cutStreams(), 1u) << frames;
  EXPECT_TRUE(waitFor([&] { return rig.web.server.live()->streams() == 1; }));
  // The reader got every frame in order, without a resync.
  uint64_t last = rig.web.server.live()->snapshot()->seq;
  ASSERT_TRUE(readUntil(reader, text, "\"seq\":" + std::to_string(last) + ",")) << last;
  EXPECT_EQ(text.find("event: resync"), std::string::npos);
  std::vector<json> updates = updatesIn(text);
  for (size_t i = 1; i < updates.size(); ++i) {
    ASSERT_EQ(updates[i]["seq"].get<uint64_t>(), updates[i - 1]["seq"].get<uint64_t>() + 1);
  }
  // The stalled client finds its stream closed once it reads again.
  char buffer[65536];
  ssize_t n = 1;
  timeval tv{5, 0};
  ::setsockopt(stalled, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  while (n > 0) n = ::recv(stalled, buffer, sizeof buffer, 0);
  EXPECT_EQ(n, 0);
  ::close(stalled);
  ::close(reader);
}

TEST(LiveStream, AnOverflowingStreamIsToldToResyncThenCut) {
  LiveRig rig([](WebServerOptions& o) {
    o.streamBuffer = 600;
    o.maxStreams = 1;
  });
  LiveHub& hub = *rig.web.server.live();
  int wakes = 0;
  auto stream = hub.openStream([&] { ++wakes; });  // a stream nobody sends
  ASSERT_TRUE(stream);
  EXPECT_FALSE(hub.openStream([] {}));  // at most one
  auto pending = [&] {
    MutexLock lock(stream->mutex);
    return stream->pending;
  };
  EXPECT_EQ(pending().rfind("event: hello\n", 0), 0u);
  rig.run({"setobject ball", "setproperty x", "setvalue 0"});
  EXPECT_NE(pending().find("event: update"), std::string::npos);
  EXPECT_EQ(wakes, 1);
  // The next updates do not fit: the buffer becomes one resync event.
  for (int i = 1; i < 6 && pending().find("event: resync") == std::string::npos; ++i) {
    rig.run({"setvalue " + std::to_string(i * 10000)});
  }
  EXPECT_EQ(pending(), sseEvent("resync", "{}"));
  EXPECT_EQ(hub.cutStreams(), 0u);
  // Still not sent when it overflows again: cut.
  for (int i = 1; i < 10 && hub.cutStreams() == 0; ++i) {
    rig.run({"setvalue " + std::to_string(i * 5000)});
  }
  EXPECT_EQ(hub.cutStreams(), 1u);
  MutexLock lock(stream->mutex);
  EXPECT_TRUE(stream->cut);
}

}  // namespace
}  // namespace kestrel::testing
