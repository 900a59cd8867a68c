// JLineSender: sends each string on its "line" input as one line (ended by
// a line feed) over TCP to "host" (dotted IPv4) and "port".
//
// Line ends inside a string are sent as spaces, so one string is always one
// line. The connection is made at the first line and made again when the
// peer has gone away (noticed before each send); while there is no
// connection, lines wait in a backlog of at most kBacklog lines (the oldest
// are dropped beyond that, and the count is reported) and a new attempt is
// made every kRetryMs. Problems are reported once per outage on standard
// error. close() makes a last attempt and reports what could not be sent.
#pragma once

#include <deque>
#include <string>

#include "modules/common/jmodule.h"
#include "modules/host/driven.h"

namespace kestrel {

class JLineSender : public JAddObj, public Driven {
 public:
  static constexpr std::size_t kBacklog = 10000;
  static constexpr int kRetryMs = 500;

  JLineSender();
  JLineSender(const JLineSender& other);
  JLineSender& operator=(const JLineSender&) = delete;
  ~JLineSender() override;

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override { return JString("JLineSender"); }
  JObject* clone() const override { return new JLineSender(*this); }
  void close() override;
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString inputTag(int) const override { return JString("line"); }
  int inputType(int) const override { return JStringData::id; }
  void draw(JGraphics& graphics, int x, int y, int w, int h) override;
  void engine(int port, JLinkObj& link) override;

  Clock::time_point wakeAt() const override;
  void wake(Clock::time_point now, bool readable) override;

  bool connected() const { return socket_ >= 0; }
  std::size_t waiting() const { return backlog_.size(); }

 private:
  void flush();
  bool connect();
  bool peerGone() const;
  bool sendAll(const std::string& bytes);
  void disconnect();

  JString host_ = JString("127.0.0.1");
  int port_ = 3502;

  int socket_ = -1;
  std::deque<std::string> backlog_;
  long long dropped_ = 0;
  bool outageReported_ = false;
  Clock::time_point lastAttempt_;
};

}  // namespace kestrel
