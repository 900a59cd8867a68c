#include "viewer/browser/media_time.h"

#include <cmath>
#include <limits>

namespace kestrel {
namespace {

struct ClipTimes {
  double start, stop, rate;
  bool loop;
};

ClipTimes timesOf(Node& n) {
  const bool movie = n.type->kind == NodeKind::MovieTexture;
  return {*n.field("startTime")->as<double>(), *n.field("stopTime")->as<double>(),
          double(*n.field(movie ? "speed" : "pitch")->as<float>()),
          *n.field("loop")->as<bool>()};
}

// Seconds of the browser clock one pass through the file takes; infinite
// when the duration is unknown or the rate is 0.
double cycleOf(const ClipTimes& t, double duration) {
  if (duration < 0 || t.rate == 0) return std::numeric_limits<double>::infinity();
  return duration / std::fabs(t.rate);
}

// Seconds into the file after ELAPSED seconds of play.
double positionAfter(const ClipTimes& t, double duration, double elapsed) {
  double played = elapsed * std::fabs(t.rate);
  if (duration <= 0) return t.rate < 0 ? 0 : played;
  played = t.loop ? std::fmod(played, duration) : std::min(played, duration);
  return t.rate < 0 ? duration - played : played;
}

double restingPosition(const ClipTimes& t, double duration) {
  return t.rate < 0 && duration > 0 ? duration : 0;
}

}  // namespace

bool isMediaClip(const Node& node) {
  return node.type->standard &&
         (node.type->kind == NodeKind::AudioClip || node.type->kind == NodeKind::MovieTexture);
}

void tickMediaClip(const NodePtr& clip, MediaClock& clock, Cascade& c) {
  Node& n = *clip;
  auto out = [&](const char* name, FieldData d) {
    int i = n.type->findField(name);
    FieldValue v{n.type->fields[size_t(i)].type, std::move(d)};
    n.editValue(size_t(i)) = v;
    c.emit(clip, i, std::move(v));
  };
  if (clock.duration >= 0 && !clock.durationSent) {
    clock.durationSent = true;
    out("duration_changed", clock.duration);
  }
  const ClipTimes t = timesOf(n);
  const double now = c.time();
  const double cycle = cycleOf(t, clock.duration);
  const bool stopped = t.stop > t.start && now >= t.stop;
  if (!n.extras().sensorActive) {
    if (!clock.everActive) clock.position = restingPosition(t, clock.duration);
    if (now < t.start || stopped || (!t.loop && now >= t.start + cycle)) return;
    n.editExtras().sensorActive = true;
    clock.everActive = true;
    out("isActive", true);
  }
  const double elapsed = now - t.start;
  if (stopped || (!t.loop && elapsed >= cycle)) {
    clock.position = positionAfter(t, clock.duration, stopped ? t.stop - t.start : cycle);
    n.editExtras().sensorActive = false;
    out("isActive", false);
    return;
  }
  clock.position = positionAfter(t, clock.duration, elapsed);
}

}  // namespace kestrel
