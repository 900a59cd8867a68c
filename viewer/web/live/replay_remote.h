// ReplayRemote: the web server's handle on a replay shown by the viewer.
// Web threads read the replay's last published state and hand requests
// (play, pause, seek, speed) over; the thread that owns the replay takes
// them when WAKE tells it to, and publishes the state after each change.
// The web threads never touch the replay or its engine.
//
// Threads: setWake() before the server starts; take() and publish() on the
// replay's thread; state() and request() from any.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/intake/thread_annotations.h"

namespace kestrel {

struct ReplayState {
  int64_t positionMs = 0;
  int64_t endMs = 0;
  bool playing = false;
  double speed = 1.0;
  bool operator==(const ReplayState&) const = default;
};

// One request; what is unset stays as it is. A seek comes before play or
// pause, a speed before both.
struct ReplayRequest {
  std::optional<double> speed;
  std::optional<int64_t> seekMs;
  std::optional<bool> play;
};

class ReplayRemote {
 public:
  void setWake(std::function<void()> wake) { wake_ = std::move(wake); }

  ReplayState state() const;
  void publish(const ReplayState& state);

  void request(const ReplayRequest& request);
  std::vector<ReplayRequest> take();

 private:
  std::function<void()> wake_;
  mutable Mutex mutex_;
  ReplayState state_ GUARDED_BY(mutex_);
  std::vector<ReplayRequest> pending_ GUARDED_BY(mutex_);
};

// {"position_ms":..,"end_ms":..,"playing":..,"speed":..}
std::string replayStateJson(const ReplayState& state);

// The request of a POST /api/replay body: {"action": "play" | "pause" |
// "seek", "ms": N (for seek), "speed": X (optional, above 0)}, or only a
// speed. Nullopt with the reason in *ERROR for anything else.
std::optional<ReplayRequest> replayRequestFrom(std::string_view body, std::string* error);

}  // namespace kestrel
