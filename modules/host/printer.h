// JPrinter and JCounter: built-in sinks.
//
// JPrinter writes one line "tag: value" for every value arriving on any of
// its "inputs" inputs (each takes any type). The tag is the printer's "tag"
// property, or the tag of the output the value came from when that is
// empty. Integers print as decimal, reals with six decimals, strings as
// they are, byte blocks as text with control bytes escaped. Lines go to
// standard output unless the host gives another stream.
//
// JCounter counts the values arriving on its input without pulling them,
// offers the count on its "count" output and prints "tag: count" on close().
#pragma once

#include <cstdio>

#include "modules/common/jmodule.h"

namespace kestrel {

class JPrinter : public JAddObj {
 public:
  static constexpr int kMaxInputs = 64;

  JPrinter() { igm = 1; }

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override { return JString("JPrinter"); }
  JObject* clone() const override { return new JPrinter(*this); }
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString inputTag(int port) const override;
  int inputType(int) const override { return kAnyTypeId; }
  void draw(JGraphics& graphics, int x, int y, int w, int h) override;
  void engine(int port, JLinkObj& link) override;

  // Where lines go; the stream is not owned. Host's thread only.
  void setStream(std::FILE* stream) { stream_ = stream; }

 private:
  bool setInputs(int count);

  JString tag_;
  std::FILE* stream_ = stdout;
};

class JCounter : public JAddObj {
 public:
  JCounter() {
    igm = 1;
    ogm = 1;
  }

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override { return JString("JCounter"); }
  JObject* clone() const override { return new JCounter(*this); }
  void startup() override { count_ = 0; }
  void close() override;
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString inputTag(int) const override { return JString("values"); }
  JString outputTag(int) const override { return JString("count"); }
  int inputType(int) const override { return kAnyTypeId; }
  void access(int port, JLinkObj& link, JData& data) override;
  void engine(int, JLinkObj&) override { ++count_; }

  long long count() const { return count_; }
  void setStream(std::FILE* stream) { stream_ = stream; }

 private:
  JString tag_ = JString("count");
  long long count_ = 0;
  std::FILE* stream_ = stdout;
};

}  // namespace kestrel
