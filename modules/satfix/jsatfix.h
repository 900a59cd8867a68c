// JSatFix: turns the character stream of a GPS receiver into positions.
//
// Bytes arrive as blocks on "bytes from COM" and are assembled into lines;
// GSV, GLL and GGA sentences (by default with or without the "$GP" talker)
// update five outputs: latitude and longitude texts, satellites in view, and
// latitude and longitude in decimal degrees (by default hemisphere not
// applied). A non-zero value on "enable DEBUG" echoes every received line
// to JComponent::debug.
//
// Line assembly keeps at most 199 characters. A line that reaches that
// length without a line end is dropped, and reading resumes after the next
// line end, in the same block or a later one.
//
// Three properties, saved with the document (defaults in brackets):
//  - "verify checksum" [1]: 0 parses every sentence as it comes; 1 drops a
//    sentence whose "*hh" checksum is present and wrong; 2 also drops one
//    without a checksum. A dropped sentence is counted (and, with debug on,
//    noted after the echoed line).
//  - "any talker" [0]: 0 reads only "$GP" or talker-less sentences, exactly
//    as older receivers send them. 1 reads GGA and GLL of every GNSS talker
//    (GP, GN, GL, GA, GB, BD, GQ, QZ, GI, none), leaves every output as it
//    was for a sentence without a fix (GGA quality 0 or empty, GLL status V,
//    empty position fields), and counts satellites in view as the sum over
//    the constellations of one GSV cycle (see GsvCycle).
//  - "signed degrees" [0]: 1 makes south latitudes and west longitudes
//    negative in "flat" and "flon"; 0 leaves the hemisphere out.
// The face lists the three values beneath the module's label.
//
// No threads, timers or devices: all work happens inside engine(), on the
// host's thread.
#pragma once

#include <array>
#include <string>

#include "modules/common/jmodule.h"
#include "modules/satfix/gsv_cycle.h"

namespace kestrel {

class JSatFix : public JAddObj {
 public:
  static constexpr int kLineCapacity = 200;  // 199 characters and a terminator
  static constexpr int kWorkCapacity = 100;

  JSatFix();
  JSatFix(const JSatFix& other) = default;
  JSatFix& operator=(const JSatFix& other) = default;

  enum ChecksumMode { kChecksumNever = 0, kChecksumWhenPresent = 1, kChecksumRequired = 2 };

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override;
  JObject* clone() const override;
  void paint(JGraphics& graphics, double scaleX, double scaleY) override;
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
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

  // Sentences dropped by the checksum check (wrong, or missing with
  // "verify checksum" 2), since construction.
  long checksumFailures() const { return checksumFailures_; }

 private:
  void endLine();
  bool checksumRejects(int length) const;
  void parseSentence(const char* line);
  void parseAnyTalker(const char* line);
  // The sentence from its type on ("GSV,...", "GGA,...", "GLL,...").
  void parseBody(const char* line);
  void parsePosition(const char* text, int position);
  void computeDecimals();
  // The property lines of the face: "any talker 0" and so on.
  std::array<std::string, 3> settingLines() const;

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
  int anyTalker_ = 0;
  int signedDegrees_ = 0;
  int verifyChecksum_ = kChecksumWhenPresent;
  GsvCycle gsvCycle_;
};

}  // namespace kestrel
