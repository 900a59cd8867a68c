// JSatFix: turns the character stream of a GPS receiver into positions.
//
// Bytes arrive as blocks on "bytes from COM" and are assembled into lines;
// GSV, GLL and GGA sentences (with or without the "$GP" talker) update five
// outputs: latitude and longitude texts, satellites in view, and latitude
// and longitude in decimal degrees (hemisphere not applied). A non-zero
// value on "enable DEBUG" echoes every received line to JComponent::debug.
//
// Line assembly keeps at most 199 characters. A line that reaches that
// length without a line end is dropped, and reading resumes after the next
// line end, in the same block or a later one.
//
// A sentence that ends in a "*hh" checksum is parsed only when the checksum
// matches; a mismatch drops the sentence and counts it (and, with debug on,
// echoes a note after the line). Sentences without a checksum are parsed.
//
// No threads, timers or devices: all work happens inside engine(), on the
// host's thread.
#pragma once

#include "modules/common/jmodule.h"

namespace kestrel {

class JSatFix : public JAddObj {
 public:
  static constexpr int kLineCapacity = 200;  // 199 characters and a terminator
  static constexpr int kWorkCapacity = 100;

  JSatFix();
  JSatFix(const JSatFix& other) = default;
  JSatFix& operator=(const JSatFix& other) = default;

  JString className() const override;
  JObject* clone() const override;
  JString inputTag(int port) const override;
  JString outputTag(int port) const override;
  int inputType(int port) const override;
  int outputType(int port) const override;
  void draw(JGraphics& graphics, int x, int y, int w, int h) override;
  void access(int port, JLinkObj& link, JData& data) override;
  bool outputAllowed(int port) const override;
  JRect inputArea(int port) const override;
  JRect outputArea(int port) const override;
  int inputFace(int port) const override;
  int outputFace(int port) const override;
  JPoint inputPoint(int port, const JLinkObj* link) const override;
  JPoint outputPoint(int port, const JLinkObj* link) const override;
  void engine(int port, JLinkObj& link) override;

  // Line assembly of one received chunk; engine() calls it for port 0.
  void receive(const char* chunk, int length);

  // Sentences dropped because their checksum did not match, since construction.
  long checksumFailures() const { return checksumFailures_; }

 private:
  void endLine();
  void parseSentence(const char* line);
  void parsePosition(const char* text, int position);
  void computeDecimals();

  char line_[kLineCapacity] = {};
  int lineLength_ = 0;
  bool skipping_ = false;  // dropping the rest of an overlong line
  int debug_ = 0;
  char latitudeWork_[kWorkCapacity] = {};
  char longitudeWork_[kWorkCapacity] = {};
  JString latitudeText_;
  JString longitudeText_;
  int satellites_ = 0;
  double latitude_ = 10.0;
  double longitude_ = 20.0;
  long checksumFailures_ = 0;
};

}  // namespace kestrel
