#include "viewer/web/live/api_routes.h"

#include <nlohmann/json.hpp>

#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/form_commands.h"
#include "viewer/web/http_request.h"
#include "viewer/web/live/live_hub.h"
#include "viewer/web/live/live_json.h"
#include "viewer/web/live/replay_remote.h"
#include "viewer/web/page_files.h"

namespace kestrel {
namespace {

constexpr size_t kMaxTextureBytes = 16 << 20;
constexpr size_t kMaxScriptBytes = 4 << 20;

PageReply json(std::string body, int status = 200) {
  PageReply reply;
  reply.status = status;
  reply.contentType = "application/json";
  reply.body = std::move(body);
  return reply;
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The percent-decoded last part of TARGET after PREFIX, without its query;
// nullopt when it is empty, holds a slash or is badly encoded.
std::optional<std::string> nameAfter(std::string_view target, std::string_view prefix) {
  std::optional<std::string> path = pagePath(target);
  if (!path) return std::nullopt;
  std::string_view rest = std::string_view(*path).substr(1);  // "./..." -> "/..."
  if (!startsWith(rest, prefix)) return std::nullopt;
  rest.remove_prefix(prefix.size());
  if (rest.empty() || rest.find('/') != std::string_view::npos) return std::nullopt;
  return std::string(rest);
}

PageReply objectReply(std::string_view target, const LiveHub& live) {
  std::optional<std::string> name = nameAfter(target, "/api/objects/");
  if (!name) return jsonError(400, "bad object name");
  auto snapshot = live.snapshot();
  for (size_t i = 0; i < snapshot->objects.size(); ++i) {
    if (snapshot->objects[i].name == *name) return json(objectJson(*snapshot, i));
  }
  return jsonError(404, "no object named " + *name);
}

PageReply meshReply(std::string_view target, LiveHub& live) {
  std::optional<std::string> id = nameAfter(target, "/api/meshes/");
  std::shared_ptr<const std::string> mesh = id ? live.assets().mesh(*id) : nullptr;
  if (!mesh) return jsonError(404, "no such mesh");
  return json(*mesh);
}

// A file served by its full PATH: read as a page file of its own directory.
std::optional<std::string> readBeside(const std::string& path, size_t maxBytes) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  if (dir.empty()) dir = "/";
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return readPageFile(dir, "./" + name, {}, maxBytes);
}

PageReply textureReply(std::string_view target, LiveHub& live) {
  std::optional<std::string> id = nameAfter(target, "/api/textures/");
  std::string path = id ? live.assets().texturePath(*id) : "";
  std::optional<std::string> bytes = path.empty() ? std::nullopt : readBeside(path, kMaxTextureBytes);
  if (!bytes) return jsonError(404, "no such texture");
  PageReply reply;
  reply.contentType = contentTypeFor(path);
  reply.body = std::move(*bytes);
  return reply;
}

PageReply scriptReply(std::string_view target, const WebContext& context) {
  std::optional<std::string> path = pagePath(target.substr(std::string_view("/three").size()));
  std::optional<std::string> bytes =
      path ? readPageFile(context.threeDir, *path, {}, kMaxScriptBytes) : std::nullopt;
  if (!bytes) return jsonError(404, "no such file");
  PageReply reply;
  reply.contentType = contentTypeFor(*path);
  reply.body = std::move(*bytes);
  return reply;
}

PageReply commandsReply(std::string_view body, const WebContext& context) {
  std::string error;
  std::optional<std::vector<std::string>> lines = commandLines(body, &error);
  if (!lines) return jsonError(400, error);
  {
    // One writer: no other producer's line lands between these.
    InternalCommandQueue::Writer writer(*context.queue);
    for (const std::string& line : *lines) writer.queue(line.c_str());
  }
  logNumber("api commands queued: ", static_cast<long>(lines->size()));
  return json("{\"queued\":" + std::to_string(lines->size()) + "}");
}

PageReply replayGet(const WebContext& context) {
  if (context.replay == nullptr) return jsonError(404, "no replay is shown");
  return json(replayStateJson(context.replay->state()));
}

PageReply replayPost(std::string_view body, const WebContext& context) {
  if (context.replay == nullptr) return jsonError(404, "no replay is shown");
  std::string error;
  std::optional<ReplayRequest> request = replayRequestFrom(body, &error);
  if (!request) return jsonError(400, error);
  context.replay->request(*request);
  return json("{\"requested\":true}", 202);
}

PageReply getReply(std::string_view target, const WebContext& context) {
  std::string_view path = target.substr(0, target.find('?'));
  LiveHub& live = *context.live;
  if (path == "/api/objects") return json(objectsJson(*live.snapshot()));
  if (path == "/api/scene") return json(sceneJson(*live.snapshot()));
  if (startsWith(path, "/api/objects/")) return objectReply(target, live);
  if (startsWith(path, "/api/meshes/")) return meshReply(target, live);
  if (startsWith(path, "/api/textures/")) return textureReply(target, live);
  if (path == "/api/commands") return jsonError(405, "POST command lines here");
  if (path == kReplayTarget) return replayGet(context);
  return jsonError(404, "no such route");
}

bool controlCharacter(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; }

std::optional<std::string> checkLine(std::string line, size_t number, std::string* error) {
  auto blank = [](char c) { return c == '\r' || c == ' ' || c == '\t'; };
  while (!line.empty() && blank(line.back())) line.pop_back();
  size_t start = 0;
  while (start < line.size() && blank(line[start])) ++start;
  line.erase(0, start);
  std::string where = "line " + std::to_string(number) + ": ";
  if (line.size() > kMaxDirectCommand) {
    *error = where + "longer than " + std::to_string(kMaxDirectCommand) + " bytes";
    return std::nullopt;
  }
  for (unsigned char c : line) {
    if (controlCharacter(c)) {
      *error = where + "control character";
      return std::nullopt;
    }
  }
  return line;
}

std::optional<std::vector<std::string>> rawLines(std::string_view body, std::string* error) {
  size_t start = body.find_first_not_of(" \t\r\n");
  std::vector<std::string> raw;
  if (start != std::string_view::npos && body[start] == '[') {
    nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array()) {
      *error = "not a JSON array of strings";
      return std::nullopt;
    }
    for (const auto& element : parsed) {
      if (!element.is_string()) {
        *error = "not a JSON array of strings";
        return std::nullopt;
      }
      raw.push_back(element.get<std::string>());
    }
    return raw;
  }
  size_t at = 0;
  while (at < body.size()) {
    size_t end = body.find('\n', at);
    if (end == std::string_view::npos) end = body.size();
    raw.emplace_back(body.substr(at, end - at));
    at = end + 1;
  }
  return raw;
}

}  // namespace

bool apiTarget(std::string_view target) {
  return startsWith(target, "/api/") || target == "/api" || startsWith(target, "/three/");
}

PageReply jsonError(int status, const std::string& message) {
  return json(nlohmann::json{{"error", message}}.dump(-1, ' ', false,
                                                      nlohmann::json::error_handler_t::replace),
              status);
}

std::optional<std::vector<std::string>> commandLines(std::string_view body, std::string* error) {
  std::optional<std::vector<std::string>> raw = rawLines(body, error);
  if (!raw) return std::nullopt;
  std::vector<std::string> lines;
  for (size_t i = 0; i < raw->size(); ++i) {
    std::optional<std::string> line = checkLine((*raw)[i], i + 1, error);
    if (!line) return std::nullopt;
    if (!line->empty()) lines.push_back(std::move(*line));
  }
  if (lines.empty()) {
    *error = "no command lines";
    return std::nullopt;
  }
  return lines;
}

PageReply answerApi(std::string_view method, std::string_view target, std::string_view body,
                    const WebContext& context) {
  if (startsWith(target, "/three/")) {
    return method == "GET" ? scriptReply(target, context) : jsonError(405, "GET only");
  }
  if (context.live == nullptr) return jsonError(503, "the live view is not running");
  std::string_view path = target.substr(0, target.find('?'));
  if (method == "POST") {
    if (path == kReplayTarget) return replayPost(body, context);
    return path == "/api/commands" ? commandsReply(body, context)
                                   : jsonError(405, "only /api/commands and /api/replay take POST");
  }
  if (method == "GET") return getReply(target, context);
  return jsonError(405, "GET or POST only");
}

std::string streamHeader() {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-cache\r\n"
         "Connection: keep-alive\r\n\r\n";
}

}  // namespace kestrel
