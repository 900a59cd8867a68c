// JClock and JConstant: built-in modules that produce integers on their own.
//
// JClock ticks every "period" milliseconds, the first tick at the start of
// the run. In mode "pulse" each tick sets its output to 1, broadcasts it,
// then sets it to 0 and broadcasts again; in mode "count" each tick offers
// the tick's number (1, 2, ...). With "ticks" above 0 it stops after that
// many ticks (and the run may end); with 0 it ticks until the host stops.
// A clock that falls behind does not catch up in a burst.
//
// JConstant offers its "value" and broadcasts it once, at the start of the
// run, before any other module is woken. It does not keep the run going.
#pragma once

#include "modules/common/jmodule.h"
#include "modules/host/driven.h"

namespace kestrel {

class JClock : public JAddObj, public Driven {
 public:
  JClock();
  JClock(const JClock& other);
  JClock& operator=(const JClock&) = delete;

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override { return JString("JClock"); }
  JObject* clone() const override { return new JClock(*this); }
  void startup() override;
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString outputTag(int) const override { return JString("tick"); }
  void access(int port, JLinkObj& link, JData& data) override;

  Clock::time_point wakeAt() const override;
  void wake(Clock::time_point now, bool readable) override;
  bool live() const override { return started_ && (ticks_ == 0 || done_ < ticks_); }

 private:
  int period_ = 1000;
  int ticks_ = 0;
  JString mode_ = JString("pulse");

  bool started_ = false;
  int done_ = 0;
  int value_ = 0;
  Clock::time_point next_;
};

class JConstant : public JAddObj, public Driven {
 public:
  JConstant() { ogm = 1; }
  JConstant(const JConstant& other) : JAddObj(other), Driven(), value_(other.value_) {}
  JConstant& operator=(const JConstant&) = delete;

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override { return JString("JConstant"); }
  JObject* clone() const override { return new JConstant(*this); }
  void startup() override { pending_ = true; }
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString outputTag(int) const override { return JString("value"); }
  void draw(JGraphics& graphics, int x, int y, int w, int h) override;
  void access(int port, JLinkObj& link, JData& data) override;

  void begin() override;
  void wake(Clock::time_point, bool) override {}

 private:
  int value_ = 0;
  bool pending_ = false;
};

}  // namespace kestrel
