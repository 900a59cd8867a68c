// JByteSource: delivers bytes read from a serial device, a file or
// standard input as byte blocks on its "bytes" output.
//
// Properties: "path" (a device, a file, or "-" for standard input), "baud"
// (for a terminal device: the line speed set through termios, raw mode;
// 0 leaves the line as it is), "rate" (for a regular file: bytes per
// second to replay at, 0 for as fast as the readers take them) and "block"
// (the largest block delivered at once). The device opens at startup();
// problem() says why it did not. The source is live until end of input.
#pragma once

#include "modules/common/jmodule.h"
#include "modules/host/driven.h"

namespace kestrel {

class JByteSource : public JAddObj, public Driven {
 public:
  JByteSource();
  JByteSource(const JByteSource& other);
  JByteSource& operator=(const JByteSource&) = delete;
  ~JByteSource() override;

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override { return JString("JByteSource"); }
  JObject* clone() const override { return new JByteSource(*this); }
  void startup() override;
  void close() override;
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString outputTag(int) const override { return JString("bytes"); }
  int outputType(int) const override { return JBytesData::id; }
  void draw(JGraphics& graphics, int x, int y, int w, int h) override;
  void access(int port, JLinkObj& link, JData& data) override;

  int waitFd() const override;
  Clock::time_point wakeAt() const override;
  void wake(Clock::time_point now, bool readable) override;
  bool live() const override { return fd_ >= 0; }
  std::string problem() const override { return problem_; }

 private:
  bool configureTerminal();
  void deliver(int wanted);
  int replayPiece() const;
  void finish();

  JString path_ = JString("-");
  int baud_ = 0;
  int rate_ = 0;
  int blockSize_ = 65536;

  int fd_ = -1;
  bool regular_ = false;  // a regular file, replayed by time instead of readiness
  long long sent_ = 0;
  Clock::time_point started_;
  JBlock block_;  // the last block delivered
  std::string problem_;
};

}  // namespace kestrel
