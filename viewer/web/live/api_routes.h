// The web server's JSON API and the live view's script files:
//   GET  /api/objects        every visual object (no shapes)
//   GET  /api/objects/NAME   one object (NAME percent-encoded)
//   GET  /api/scene          the live view's full description
//   GET  /api/meshes/ID      one mesh of the description
//   GET  /api/textures/ID    one texture image of the description
//   POST /api/commands       command lines into the queue: plain text, one
//                            a line, or a JSON array of strings
//   GET  /api/replay         the replay shown: {position_ms, end_ms, playing,
//                            speed}; 404 when the scene is live
//   POST /api/replay         {"action": "play"|"pause"|"seek", "ms": N,
//                            "speed": X}: handed to the replay (202)
//   GET  /api/stream         the push stream (answered by the event loop)
//   GET  /three/FILE         three.js, from the directory it is installed in
// Errors are {"error": "..."} with a 4xx/5xx status. POSTs pass the same
// refusals as forms first (cross-site, host, size; web_connection.cpp);
// while a replay is shown every POST but /api/replay is refused with 409.
// Safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "viewer/web/page_templates.h"
#include "viewer/web/web_context.h"

namespace kestrel {

inline constexpr std::string_view kStreamTarget = "/api/stream";
inline constexpr std::string_view kReplayTarget = "/api/replay";

// True for targets answered here rather than from the page directory.
bool apiTarget(std::string_view target);

// The reply to the request METHOD TARGET with BODY, for an apiTarget().
PageReply answerApi(std::string_view method, std::string_view target, std::string_view body,
                    const WebContext& context);

PageReply jsonError(int status, const std::string& message);

// The command lines of BODY (see above), each checked: not empty after
// trimming, at most kMaxDirectCommand bytes, no control characters. On a
// fault, nullopt and the reason in *error.
std::optional<std::vector<std::string>> commandLines(std::string_view body, std::string* error);

// The reply header that turns a connection into a push stream.
std::string streamHeader();

}  // namespace kestrel
