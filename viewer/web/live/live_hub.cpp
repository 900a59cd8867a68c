#include "viewer/web/live/live_hub.h"

#include <algorithm>

#include "viewer/engine/engine.h"
#include "viewer/web/live/live_json.h"

namespace kestrel {

std::string sseEvent(const std::string& event, const std::string& data) {
  return "event: " + event + "\ndata: " + data + "\n\n";
}

LiveHub::LiveHub(size_t streamBuffer, int maxStreams, int frameMs)
    : streamBuffer_(streamBuffer),
      maxStreams_(maxStreams),
      frameTime_(frameMs),
      latest_(std::make_shared<const LiveSnapshot>()) {}

void LiveHub::tick(Engine& engine) {
  auto now = std::chrono::steady_clock::now();
  if (now < nextFrame_ || !builder_.changed(engine)) return;
  nextFrame_ = now + frameTime_;
  LiveSnapshot next = builder_.build(engine);
  std::shared_ptr<const LiveSnapshot> before = snapshot();
  next.seq = before->seq + 1;
  std::string update = updateJson(*before, next);
  if (update.empty()) return;  // the counters moved, the picture did not
  publish(std::move(next), update);
}

void LiveHub::tickNow(Engine& engine, bool newEngine) {
  if (newEngine) builder_.forget();
  nextFrame_ = {};
  tick(engine);
}

void LiveHub::publish(LiveSnapshot next, const std::string& update) {
  std::string frame = sseEvent("update", update);
  auto shared = std::make_shared<const LiveSnapshot>(std::move(next));
  // The snapshot and the update change together: a stream opened before
  // this gets the update, one opened after starts from this snapshot.
  MutexLock lock(mutex_);
  latest_ = std::move(shared);
  for (const auto& stream : streams_) {
    bool cut = false;
    {
      MutexLock streamLock(stream->mutex);
      if (stream->cut) continue;
      if (stream->pending.size() + frame.size() <= streamBuffer_) {
        stream->pending += frame;
      } else if (!stream->resyncQueued) {
        stream->pending = sseEvent("resync", "{}");
        stream->resyncQueued = true;
      } else {
        stream->cut = cut = true;
      }
    }
    if (cut) cut_.fetch_add(1);
    stream->wake();
  }
}

void LiveHub::broadcast(const std::string& frame) {
  MutexLock lock(mutex_);
  for (const auto& stream : streams_) {
    {
      MutexLock streamLock(stream->mutex);
      if (stream->pending.size() + frame.size() <= streamBuffer_) stream->pending += frame;
    }
    stream->wake();
  }
}

std::shared_ptr<const LiveSnapshot> LiveHub::snapshot() const {
  MutexLock lock(mutex_);
  return latest_;
}

std::shared_ptr<LiveStream> LiveHub::openStream(std::function<void()> wake) {
  MutexLock lock(mutex_);
  if (static_cast<int>(streams_.size()) >= maxStreams_) return nullptr;
  auto stream = std::make_shared<LiveStream>();
  stream->wake = std::move(wake);
  {
    MutexLock streamLock(stream->mutex);
    stream->pending = sseEvent("hello", "{\"seq\":" + std::to_string(latest_->seq) + "}");
  }
  streams_.push_back(stream);
  return stream;
}

void LiveHub::closeStream(const std::shared_ptr<LiveStream>& stream) {
  MutexLock lock(mutex_);
  std::erase(streams_, stream);
}

int LiveHub::streams() const {
  MutexLock lock(mutex_);
  return static_cast<int>(streams_.size());
}

}  // namespace kestrel
