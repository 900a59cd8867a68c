#include "modules/host/clock_modules.h"

#include <climits>

#include "modules/host/property_helpers.h"

namespace kestrel {
namespace {

constexpr int kMaxPeriod = 86400000;  // one day

bool isMode(const JString& mode) { return mode == "pulse" || mode == "count"; }

}  // namespace

JClock::JClock() { ogm = 1; }

JClock::JClock(const JClock& other)
    : JAddObj(other), Driven(), period_(other.period_), ticks_(other.ticks_), mode_(other.mode_) {}

void JClock::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putInteger("period", period_);
  out.putInteger("ticks", ticks_);
  out.putObject("mode", mode_);
}

void JClock::readContent(const JContent& in) {
  JAddObj::readContent(in);
  int period = in.getInteger("period", period_);
  if (period >= 1 && period <= kMaxPeriod) period_ = period;
  int ticks = in.getInteger("ticks", ticks_);
  if (ticks >= 0) ticks_ = ticks;
  if (const JString* mode = in.getObject("mode"); mode && isMode(*mode)) mode_ = *mode;
}

void JClock::startup() {
  started_ = true;
  done_ = 0;
  value_ = 0;
  next_ = Clock::now();
}

JArray JClock::getProperties() {
  JArray list;
  list.add<JIntegerProperty>(JString("period"), period_, 1, kMaxPeriod);
  list.add<JIntegerProperty>(JString("ticks"), ticks_, 0, INT_MAX);
  list.add<JStringProperty>(JString("mode"), mode_);
  return list;
}

bool JClock::updateProperty(const JProperty& p) {
  if (takeInteger(p, "period", 1, kMaxPeriod, period_) || takeInteger(p, "ticks", 0, INT_MAX, ticks_)) {
    return true;
  }
  JString mode;
  if (takeText(p, "mode", mode) && isMode(mode)) {
    mode_ = mode;
    return true;
  }
  return false;
}

void JClock::access(int port, JLinkObj&, JData& data) {
  if (port == 0) data.setInteger(value_);
}

Driven::Clock::time_point JClock::wakeAt() const {
  return live() ? next_ : Clock::time_point::max();
}

void JClock::wake(Clock::time_point now, bool) {
  if (!live() || now < next_) return;
  ++done_;
  if (mode_ == "count") {
    value_ = done_;
    broadcast(0);
  } else {
    value_ = 1;
    broadcast(0);
    value_ = 0;
    broadcast(0);
  }
  const auto period = std::chrono::milliseconds(period_);
  next_ += period;
  if (next_ < now) next_ = now + period;  // fell behind: no burst of late ticks
}

void JConstant::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putInteger("value", value_);
}

void JConstant::readContent(const JContent& in) {
  JAddObj::readContent(in);
  value_ = in.getInteger("value", value_);
}

JArray JConstant::getProperties() {
  JArray list;
  list.add<JIntegerProperty>(JString("value"), value_, INT_MIN, INT_MAX);
  return list;
}

bool JConstant::updateProperty(const JProperty& p) {
  return takeInteger(p, "value", INT_MIN, INT_MAX, value_);
}

void JConstant::draw(JGraphics& graphics, int x, int y, int w, int h) {
  drawText(graphics, JString(std::to_string(value_)), JRect(x, y, w, h));
}

void JConstant::access(int port, JLinkObj&, JData& data) {
  if (port == 0) data.setInteger(value_);
}

void JConstant::begin() {
  if (!pending_) return;
  pending_ = false;
  broadcast(0);
}

}  // namespace kestrel
