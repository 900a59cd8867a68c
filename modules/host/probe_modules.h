// Test modules that stand at the edges of a graph under test: a Feeder
// offers values the test sets, a Probe records every value it is given.
// Header-only; used by the tests of the host and of the plug-ins.
#pragma once

#include <string>
#include <vector>

#include "modules/common/jmodule.h"

namespace kestrel::testing {

// Outputs of the given types (one letter each: i, r, s, b for bytes).
class Feeder : public JAddObj {
 public:
  explicit Feeder(std::string types = "b") : types_(std::move(types)) {
    ogm = static_cast<int>(types_.size());
    integers_.resize(types_.size());
    reals_.resize(types_.size());
    strings_.resize(types_.size());
    blocks_.resize(types_.size());
  }
  JString className() const override { return JString("TestFeeder"); }
  JObject* clone() const override { return new Feeder(*this); }
  int outputType(int port) const override {
    switch (types_.at(static_cast<std::size_t>(port))) {
      case 'i': return JIntegerData::id;
      case 'r': return JRealData::id;
      case 's': return JStringData::id;
      default: return JBlockData::id;
    }
  }
  JString outputTag(int port) const override { return JString("feed" + std::to_string(port)); }
  void access(int port, JLinkObj&, JData& data) override {
    const auto p = static_cast<std::size_t>(port);
    switch (types_.at(p)) {
      case 'i': data.setInteger(integers_[p]); break;
      case 'r': data.setReal(reals_[p]); break;
      case 's': data.setString(strings_[p]); break;
      default: data.setBlock(blocks_[p]);
    }
  }
  void sendInteger(int port, int v) {
    integers_[static_cast<std::size_t>(port)] = v;
    broadcast(port);
  }
  void sendString(int port, const std::string& v) {
    strings_[static_cast<std::size_t>(port)] = JString(v);
    broadcast(port);
  }
  void sendBytes(int port, const std::string& v) {
    blocks_[static_cast<std::size_t>(port)] = JBlock(v);
    broadcast(port);
  }

 private:
  std::string types_;
  std::vector<int> integers_;
  std::vector<double> reals_;
  std::vector<JString> strings_;
  std::vector<JBlock> blocks_;
};

// Inputs of any type; records "port=value" for every delivery, pulling with
// a wrapper of the source output's type.
class Probe : public JAddObj {
 public:
  struct Event {
    int port;
    std::string text;  // integers and strings as text; see reals
    double real;
  };
  explicit Probe(int inputs = 1) { igm = inputs; }
  JString className() const override { return JString("TestProbe"); }
  JObject* clone() const override { return new Probe(*this); }
  int inputType(int) const override { return kAnyTypeId; }
  void engine(int port, JLinkObj& link) override {
    Event e{port, "", 0.0};
    switch (link.type()) {
      case JIntegerData::id: {
        int v = 0;
        JIntegerData d(v);
        link.access(d);
        e.text = std::to_string(v);
        e.real = v;
        break;
      }
      case JRealData::id: {
        JRealData d(e.real);
        link.access(d);
        e.text = std::to_string(e.real);
        break;
      }
      case JStringData::id: {
        JString v;
        JStringData d(v);
        link.access(d);
        e.text = v.str();
        break;
      }
      default: {
        JBlock v;
        JBlockData d(v);
        link.access(d);
        e.text = std::string(v.view());
      }
    }
    events.push_back(e);
  }
  // The ports of the recorded events, in order.
  std::vector<int> ports() const {
    std::vector<int> out;
    for (const auto& e : events) out.push_back(e.port);
    return out;
  }
  // The last event on a port, or null.
  const Event* last(int port) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
      if (it->port == port) return &*it;
    }
    return nullptr;
  }
  std::vector<Event> events;
};

}  // namespace kestrel::testing
