#include "viewer/web/live/replay_remote.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace kestrel {

ReplayState ReplayRemote::state() const {
  MutexLock lock(mutex_);
  return state_;
}

void ReplayRemote::publish(const ReplayState& state) {
  MutexLock lock(mutex_);
  state_ = state;
}

void ReplayRemote::request(const ReplayRequest& request) {
  {
    MutexLock lock(mutex_);
    pending_.push_back(request);
  }
  if (wake_) wake_();
}

std::vector<ReplayRequest> ReplayRemote::take() {
  MutexLock lock(mutex_);
  std::vector<ReplayRequest> taken;
  taken.swap(pending_);
  return taken;
}

std::string replayStateJson(const ReplayState& state) {
  return nlohmann::json{{"position_ms", state.positionMs},
                        {"end_ms", state.endMs},
                        {"playing", state.playing},
                        {"speed", state.speed}}
      .dump();
}

namespace {

bool readSpeed(const nlohmann::json& body, ReplayRequest* request, std::string* error) {
  if (!body.contains("speed")) return true;
  const nlohmann::json& speed = body["speed"];
  if (!speed.is_number() || !(speed.get<double>() > 0) || !std::isfinite(speed.get<double>())) {
    *error = "speed must be a number above 0";
    return false;
  }
  request->speed = speed.get<double>();
  return true;
}

bool readAction(const nlohmann::json& body, ReplayRequest* request, std::string* error) {
  if (!body.contains("action")) {
    if (request->speed) return true;
    *error = "an action (play, pause, seek) or a speed is needed";
    return false;
  }
  const nlohmann::json& action = body["action"];
  if (action == "play" || action == "pause") {
    request->play = action == "play";
    return true;
  }
  if (action != "seek") {
    *error = "action must be play, pause or seek";
    return false;
  }
  const nlohmann::json& ms = body.contains("ms") ? body["ms"] : nlohmann::json();
  if (!ms.is_number() || !std::isfinite(ms.get<double>())) {
    *error = "seek needs ms, a number";
    return false;
  }
  double clamped = std::clamp(ms.get<double>(), 0.0, 1e15);
  request->seekMs = static_cast<int64_t>(std::llround(clamped));
  return true;
}

}  // namespace

std::optional<ReplayRequest> replayRequestFrom(std::string_view body, std::string* error) {
  nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) {
    *error = "not a JSON object";
    return std::nullopt;
  }
  ReplayRequest request;
  if (!readSpeed(parsed, &request, error) || !readAction(parsed, &request, error)) {
    return std::nullopt;
  }
  return request;
}

}  // namespace kestrel
