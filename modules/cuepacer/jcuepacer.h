// JCuePacer: holds one command line and offers it on its "result" output at
// every non-zero tick of its "tick" input.
//
// The text is passed on unchanged; the module parses nothing. It has no
// threads, timers or files. Called only on the host's thread.
#pragma once

#include "modules/common/jmodule.h"

namespace kestrel {

class JCuePacer : public JAddObj {
 public:
  JCuePacer();
  JCuePacer(const JCuePacer& other) = default;
  JCuePacer& operator=(const JCuePacer& other) = default;

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override;
  JObject* clone() const override;
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString inputTag(int port) const override;
  JString outputTag(int port) const override;
  int outputType(int port) const override;
  void draw(JGraphics& graphics, int x, int y, int w, int h) override;
  void access(int port, JLinkObj& link, JData& data) override;
  bool inputAllowed(int port) const override;
  JRect inputArea(int port) const override;
  JRect outputArea(int port) const override;
  int inputFace(int port) const override;
  int outputFace(int port) const override;
  JPoint inputPoint(int port, const JLinkObj* link) const override;
  JPoint outputPoint(int port, const JLinkObj* link) const override;
  void engine(int port, JLinkObj& link) override;

 private:
  int tick_ = 0;
  JString command_;  // the configured text; the only property and persisted value
  JString result_;   // the command text as of the last tick
};

}  // namespace kestrel
