// LiveHub: the live view's side of the web server. On the engine thread,
// tick() looks at the scene once per engine tick and, when it changed,
// makes a new snapshot and the update from the last one (so updates are
// coalesced per frame: one entry per object and field at most). The web
// threads read the latest snapshot for the API and hold the push streams.
//
// Push streams are Server-Sent Events: the page only listens (its commands
// go by POST), EventSource reconnects by itself, and each event is one
// "data:" line over a plain HTTP reply, which the event loops send like any
// other reply. Each stream has a bounded buffer. When an update does not
// fit, the buffer is replaced by a "resync" event that tells the page to
// fetch the full description again; when even that has not been sent by the
// next overflow the client has stalled and its stream is cut. The engine
// thread only ever appends to buffers (never waits on a socket), so a
// stalled client slows neither the engine nor other clients.
//
// Threads: tick() on the engine thread only; everything else from any.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewer/intake/thread_annotations.h"
#include "viewer/web/live/live_scene.h"

namespace kestrel {

class Engine;

// One push stream's buffer, shared by the hub (which appends) and the
// event loop that sends it.
struct LiveStream {
  Mutex mutex;
  std::string pending GUARDED_BY(mutex);  // bytes not yet sent
  bool resyncQueued GUARDED_BY(mutex) = false;
  bool cut GUARDED_BY(mutex) = false;  // stalled: the loop closes it
  std::function<void()> wake;           // tells the stream's loop to send
};

class LiveHub {
 public:
  static constexpr size_t kDefaultStreamBuffer = 4 << 20;
  static constexpr int kDefaultMaxStreams = 256;

  static constexpr int kDefaultFrameMs = 16;

  // FRAME_MS: the live view looks at the scene at most this often (the
  // engine ticks every millisecond; a frame's changes make one update).
  explicit LiveHub(size_t streamBuffer = kDefaultStreamBuffer,
                   int maxStreams = kDefaultMaxStreams, int frameMs = kDefaultFrameMs);

  // Engine thread, once per tick: publishes what changed since the last
  // frame, when a frame is due.
  void tick(Engine& engine);
  // Engine thread: publishes what changed now, frame due or not; NEW_ENGINE
  // says ENGINE is not the one looked at before (a replay started over).
  void tickNow(Engine& engine, bool newEngine);

  // The latest snapshot (an empty one before the first tick).
  std::shared_ptr<const LiveSnapshot> snapshot() const;
  LiveAssets& assets() { return assets_; }

  // Registers a new stream whose loop WAKE wakes; null when the streams
  // are at their most. Its first event ("hello", with the seq the stream
  // starts after) is already pending.
  std::shared_ptr<LiveStream> openStream(std::function<void()> wake);
  void closeStream(const std::shared_ptr<LiveStream>& stream);
  int streams() const;
  // Streams cut for stalling, since the start.
  uint64_t cutStreams() const { return cut_.load(); }

  // Appends FRAME to every stream's buffer (see above). Public for tests.
  void broadcast(const std::string& frame);

 private:
  void publish(LiveSnapshot next, const std::string& update);

  const size_t streamBuffer_;
  const int maxStreams_;
  const std::chrono::milliseconds frameTime_;
  std::chrono::steady_clock::time_point nextFrame_{};  // engine thread only
  LiveAssets assets_;
  LiveSceneBuilder builder_{assets_};  // engine thread only
  mutable Mutex mutex_;
  std::shared_ptr<const LiveSnapshot> latest_ GUARDED_BY(mutex_);
  std::vector<std::shared_ptr<LiveStream>> streams_ GUARDED_BY(mutex_);
  std::atomic<uint64_t> cut_{0};
};

// The bytes of one Server-Sent Event.
std::string sseEvent(const std::string& event, const std::string& data);

}  // namespace kestrel
