#include "modules/satfix/jsatfix.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

#include "modules/common/jcomponent.h"
#include "modules/common/jgraphics.h"
#include "modules/common/jproperty.h"
#include "modules/satfix/nmea_fields.h"

namespace kestrel {
namespace {

constexpr int kMaxLine = JSatFix::kLineCapacity - 1;
constexpr int kMaxPosition = 100;  // a field running past this abandons the sentence
constexpr int kMaxField = 50;      // nor may a field's text grow beyond this

// What the "*hh" at the end of a sentence says about the characters before it.
enum class Checksum { kAbsent, kGood, kBad };

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Checks the raw line (NULs included, so that a damaged byte cannot hide
// behind a terminator). The first "*" starts the checksum: two hex digits
// that must be the XOR of every character between a leading "$" and the
// "*", and end the line. Fewer than two characters after the "*" is a line
// cut short, read like one that never had a checksum.
Checksum verifyChecksum(const char* line, int length) {
  const auto* star =
      static_cast<const char*>(std::memchr(line, '*', static_cast<std::size_t>(length)));
  if (star == nullptr) return Checksum::kAbsent;
  const long after = line + length - star - 1;
  if (after < 2) return Checksum::kAbsent;
  const int high = hexValue(star[1]);
  const int low = hexValue(star[2]);
  if (after != 2 || high < 0 || low < 0) return Checksum::kBad;
  unsigned sum = 0;
  for (const char* p = line[0] == '$' ? line + 1 : line; p < star; ++p) {
    sum ^= static_cast<unsigned char>(*p);
  }
  return sum == static_cast<unsigned>(high * 16 + low) ? Checksum::kGood : Checksum::kBad;
}

bool startsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The decimal integer at the start of text, as atoi reads it, clamped to int.
int leadingInteger(const char* text) {
  while (*text == ' ') ++text;
  long long value = 0;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value < 1000000000000LL) value = value * 10 + (*text - '0');
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return 2147483647;
  if (value < -2147483648LL) return -2147483647 - 1;
  return static_cast<int>(value);
}

// Reads one position field starting at text[position] into work (capacity
// JSatFix::kWorkCapacity): the number with a space between degrees and
// minutes, then a space and the hemisphere letter. Leaves position at the
// start of the next field. False abandons the sentence.
bool readField(const char* text, int& position, char* work) {
  int n = 0;
  work[0] = '\0';
  for (;;) {
    const char c = text[position];
    if (c == ',') break;
    if (c == '\0') return false;  // the sentence ends inside the field
    work[n++] = c;
    work[n] = '\0';
    ++position;
    if (position > kMaxPosition || n > kMaxField) return false;
    if (c == '.') {
      // ddmm. becomes dd mm. : needs two characters before the point.
      if (n < 3) return false;
      work[n] = '.';
      work[n - 1] = work[n - 2];
      work[n - 2] = work[n - 3];
      work[n - 3] = ' ';
      work[++n] = '\0';
    }
  }
  ++position;  // the comma
  work[n++] = ' ';
  const char hemisphere = text[position];
  if (hemisphere != '\0') {
    work[n++] = hemisphere;
    ++position;
    if (text[position] != '\0') ++position;  // the comma after the letter
  }
  work[n] = '\0';
  return true;
}

// The decimal number in text[from..to] (to inclusive, -1 for "up to the next
// space"); 0 when the group holds no number.
double group(const char* text, int length, int from, int to) {
  if (from >= length) return 0.0;
  int end = from;
  if (to < 0) {
    while (end < length && text[end] != ' ') ++end;
  } else {
    end = to + 1 < length ? to + 1 : length;
  }
  int start = from;
  while (start < end && text[start] == ' ') ++start;
  double value = 0.0;
  auto result = std::from_chars(text + start, text + end, value);
  return result.ec == std::errc() ? value : 0.0;
}

double degrees(const JString& text, int degreeDigits) {
  const char* t = text.c_str();
  const int n = text.length();
  const int minutes = degreeDigits + 1;
  return group(t, n, 0, degreeDigits - 1) +
         (group(t, n, minutes, minutes + 1) + group(t, n, minutes + 2, -1)) / 60.0;
}

// +1, or -1 for a text whose hemisphere letter (its last character) is S or W.
double hemisphereSign(const JString& text) {
  const int n = text.length();
  const char letter = n > 0 ? text.c_str()[n - 1] : ' ';
  return letter == 'S' || letter == 'W' ? -1.0 : 1.0;
}

}  // namespace

JSatFix::JSatFix() {
  igm = 2;
  ogm = 5;
  color = JStringData::color;
}

JString JSatFix::className() const { return JString("JSatFix"); }

JObject* JSatFix::clone() const { return new JSatFix(*this); }

void JSatFix::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putInteger("any talker", anyTalker_);
  out.putInteger("signed degrees", signedDegrees_);
  out.putInteger("verify checksum", verifyChecksum_);
}

void JSatFix::readContent(const JContent& in) {
  JAddObj::readContent(in);
  // A document saved before these settings existed reads as the defaults;
  // a damaged value is held to the property's range.
  anyTalker_ = std::clamp(in.getInteger("any talker", 0), 0, 1);
  signedDegrees_ = std::clamp(in.getInteger("signed degrees", 0), 0, 1);
  verifyChecksum_ = std::clamp(in.getInteger("verify checksum", kChecksumWhenPresent),
                               int{kChecksumNever}, int{kChecksumRequired});
}

JArray JSatFix::getProperties() {
  JArray list = JAddObj::getProperties();
  list.add<JIntegerProperty>(JString("any talker"), anyTalker_, 0, 1);
  list.add<JIntegerProperty>(JString("signed degrees"), signedDegrees_, 0, 1);
  list.add<JIntegerProperty>(JString("verify checksum"), verifyChecksum_, int{kChecksumNever},
                             int{kChecksumRequired});
  return list;
}

bool JSatFix::updateProperty(const JProperty& property) {
  if (JAddObj::updateProperty(property)) return true;
  const JIntegerProperty* value = property.asInteger();
  if (!value) return false;
  const int v = value->getValue();
  int* target = nullptr;
  int high = 1;
  if (property.getName() == "any talker") target = &anyTalker_;
  if (property.getName() == "signed degrees") target = &signedDegrees_;
  if (property.getName() == "verify checksum") {
    target = &verifyChecksum_;
    high = kChecksumRequired;
  }
  if (!target || v < 0 || v > high) return false;
  *target = v;
  repaint();
  return true;
}

std::array<std::string, 3> JSatFix::settingLines() const {
  return {"any talker " + std::to_string(anyTalker_),
          "signed degrees " + std::to_string(signedDegrees_),
          "verify checksum " + std::to_string(verifyChecksum_)};
}

void JSatFix::paint(JGraphics& graphics, double scaleX, double scaleY) {
  JAddObj::paint(graphics, scaleX, scaleY);
  // The settings go in lines beneath the body, so the label keeps its box.
  const JRect body = getIExtent(scaleX, scaleY);
  const int lineHeight = std::max(1, body.height / 4);
  int y = body.y + body.height;
  for (const std::string& line : settingLines()) {
    drawText(graphics, JString(line), JRect(body.x, y, body.width, lineHeight));
    y += lineHeight;
  }
}

JString JSatFix::inputTag(int port) const {
  if (port == 0) return JString("bytes from COM");
  if (port == 1) return JString("enable DEBUG");
  return JAddObj::inputTag(port);
}

JString JSatFix::outputTag(int port) const {
  static const char* const tags[] = {"laT", "lOn", "number satellites", "flat", "flon"};
  if (port >= 0 && port < 5) return JString(tags[port]);
  return JAddObj::outputTag(port);
}

int JSatFix::inputType(int port) const {
  return port == 0 ? JBytesData::id : JIntegerData::id;
}

int JSatFix::outputType(int port) const {
  if (port == 0 || port == 1) return JStringData::id;
  if (port == 2) return JIntegerData::id;
  return JRealData::id;
}

void JSatFix::draw(JGraphics& graphics, int x, int y, int w, int h) {
  drawText(graphics, JString("SatFix_1"), JRect(x, y, w, h));
}

void JSatFix::access(int port, JLinkObj&, JData& data) {
  if (port < 0) return;
  switch (port) {
    case 0: data.setString(latitudeText_); break;
    case 1: data.setString(longitudeText_); break;
    case 2: data.setInteger(satellites_); break;
    case 3: data.setReal(latitude_); break;
    default: data.setReal(longitude_); break;
  }
}

bool JSatFix::outputAllowed(int) const { return true; }

JRect JSatFix::inputArea(int port) const {
  if (port == 1) return topArea(1, 1, 1, 0.1, 0.8, 6);
  return leftArea(port, 0, 1, 0.1, 0.8, 6);
}

JRect JSatFix::outputArea(int port) const { return rightArea(port, 0, 5, 0.25, 0.5, 6); }
int JSatFix::inputFace(int port) const { return port == 1 ? 1 : 0; }
int JSatFix::outputFace(int) const { return 2; }

JPoint JSatFix::inputPoint(int port, const JLinkObj* link) const {
  if (port == 1) return topPoint(port, link, 1, 1, 0.1, 0.8);
  return leftPoint(port, link, 0, 1, 0.1, 0.8);
}

JPoint JSatFix::outputPoint(int port, const JLinkObj* link) const {
  return rightPoint(port, link, 0, 5, 0.25, 0.5);
}

void JSatFix::engine(int port, JLinkObj& link) {
  if (port == 0) {
    JBlock block;
    JBlockData data(block);
    link.access(data);
    JString chunk(block);
    receive(chunk.c_str(), chunk.length());
  } else if (port == 1) {
    JIntegerData data(debug_);
    link.access(data);
  }
}

void JSatFix::receive(const char* chunk, int length) {
  if (lineLength_ < 0 || lineLength_ >= kLineCapacity) lineLength_ = 0;
  for (int i = 0; i < length; ++i) {
    const char c = chunk[i];
    if (c == '\n' || c == '\r') {
      endLine();
      continue;
    }
    if (skipping_) continue;
    line_[lineLength_++] = c;
    line_[lineLength_] = '\0';
    if (lineLength_ >= kMaxLine) {
      // Too long for a sentence: drop it and resynchronise at the next line end.
      lineLength_ = 0;
      line_[0] = '\0';
      skipping_ = true;
    }
  }
}

void JSatFix::endLine() {
  if (lineLength_ > 0 && !skipping_) {
    line_[lineLength_] = '\0';
    if (debug_ != 0) JComponent::debug(JString(line_));
    if (checksumRejects(lineLength_)) {
      // A receiver's line damaged on the way: its fields cannot be believed.
      ++checksumFailures_;
      if (debug_ != 0) JComponent::debug(JString("checksum mismatch: sentence dropped"));
    } else {
      parseSentence(line_);
    }
  }
  lineLength_ = 0;
  line_[0] = '\0';
  skipping_ = false;
}

bool JSatFix::checksumRejects(int length) const {
  if (verifyChecksum_ == kChecksumNever) return false;
  const Checksum checksum = verifyChecksum(line_, length);
  if (checksum == Checksum::kBad) return true;
  return checksum == Checksum::kAbsent && verifyChecksum_ == kChecksumRequired;
}

void JSatFix::parseSentence(const char* line) {
  if (anyTalker_ != 0) {
    parseAnyTalker(line);
    return;
  }
  if (startsWith(line, "$GP")) line += 3;
  parseBody(line);
}

void JSatFix::parseBody(const char* line) {
  char text[kLineCapacity];
  std::strncpy(text, line, kLineCapacity - 1);
  text[kLineCapacity - 1] = '\0';
  const int length = static_cast<int>(std::strlen(text));

  if (startsWith(text, "GSV")) {
    satellites_ = length > 8 ? leadingInteger(text + 8) : 0;
    broadcast(2);
    return;
  }
  int position = 4;
  if (startsWith(text, "GGA")) {
    while (position < length && text[position] != ',') ++position;
    if (position < length) ++position;
  } else if (!startsWith(text, "GLL")) {
    return;
  }
  if (position > length) return;
  parsePosition(text, position);
}

void JSatFix::parseAnyTalker(const char* line) {
  const std::string_view talker = nmea::gnssTalker(line);
  const char* text = talker.empty() ? line : line + 3;
  const std::vector<std::string_view> f = nmea::fields(text);
  if (f[0] == "GSV") {
    // total, message, in view, then groups of four per satellite and, from
    // receivers that repeat the run per signal, the signal id.
    const std::size_t groups = f.size() >= 4 ? f.size() - 4 : 0;
    const std::string_view signal = groups % 4 == 1 ? f.back() : std::string_view();
    std::vector<std::string_view> satellites;
    for (std::size_t i = 4; i + 3 < f.size(); i += 4) satellites.push_back(f[i]);
    gsvCycle_.add(talker, signal, nmea::integerField(nmea::fieldAt(f, 2)),
                  nmea::integerField(nmea::fieldAt(f, 3)), satellites);
    satellites_ = gsvCycle_.total();
    broadcast(2);
    return;
  }
  const bool gga = f[0] == "GGA";
  if (!gga && f[0] != "GLL") return;
  if (!nmea::hasFix(f, gga)) return;  // keep the last position rather than jump to 0,0
  parseBody(text);  // from its type on, the sentence reads as the default reads it
}

void JSatFix::parsePosition(const char* text, int position) {
  if (!readField(text, position, latitudeWork_)) return;
  latitudeText_ = JString(latitudeWork_);
  broadcast(0);
  if (!readField(text, position, longitudeWork_)) return;
  longitudeText_ = JString(longitudeWork_);
  broadcast(1);
  computeDecimals();
  broadcast(3);
  broadcast(4);
}

void JSatFix::computeDecimals() {
  latitude_ = degrees(latitudeText_, 2);
  longitude_ = degrees(longitudeText_, 3);
  if (signedDegrees_ != 0) {
    latitude_ *= hemisphereSign(latitudeText_);
    longitude_ *= hemisphereSign(longitudeText_);
  }
}

}  // namespace kestrel
