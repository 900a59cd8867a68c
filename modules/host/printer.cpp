#include "modules/host/printer.h"

#include <climits>
#include <string>

#include "modules/host/property_helpers.h"

namespace kestrel {
namespace {

std::string escaped(const JBlock& block) {
  std::string out;
  for (unsigned char c : block.view()) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The value on the link as text, pulled with a wrapper of the source's type.
std::string pulled(JLinkObj& link) {
  switch (link.type()) {
    case JIntegerData::id: {
      int v = 0;
      JIntegerData data(v);
      link.access(data);
      return std::to_string(v);
    }
    case JRealData::id: {
      double v = 0;
      JRealData data(v);
      link.access(data);
      char text[64];
      std::snprintf(text, sizeof text, "%.6f", v);
      return text;
    }
    case JStringData::id: {
      JString v;
      JStringData data(v);
      link.access(data);
      return v.str();
    }
    case JBlockData::id: {
      JBlock v;
      JBlockData data(v);
      link.access(data);
      return escaped(v);
    }
    default:
      return "?";
  }
}

}  // namespace

void JPrinter::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putObject("tag", tag_);
  out.putInteger("inputs", igm);
}

void JPrinter::readContent(const JContent& in) {
  JAddObj::readContent(in);
  if (const JString* tag = in.getObject("tag")) tag_ = *tag;
  setInputs(in.getInteger("inputs", igm));
}

JArray JPrinter::getProperties() {
  JArray list;
  list.add<JStringProperty>(JString("tag"), tag_);
  list.add<JIntegerProperty>(JString("inputs"), igm, 1, kMaxInputs);
  return list;
}

bool JPrinter::setInputs(int count) {
  if (count < 1 || count > kMaxInputs) return false;
  for (int port = count; port < igm; ++port) {
    if (!inputSet(port).empty()) return false;  // would drop a linked input
  }
  igm = count;
  return true;
}

bool JPrinter::updateProperty(const JProperty& p) {
  if (takeText(p, "tag", tag_)) return true;
  int count = 0;
  return takeInteger(p, "inputs", 1, kMaxInputs, count) && setInputs(count);
}

JString JPrinter::inputTag(int port) const { return JString("value " + std::to_string(port)); }

void JPrinter::draw(JGraphics& graphics, int x, int y, int w, int h) {
  drawText(graphics, tag_.empty() ? JString("Printer") : tag_, JRect(x, y, w, h));
}

void JPrinter::engine(int, JLinkObj& link) {
  const std::string value = pulled(link);
  const std::string tag = tag_.empty() ? link.from()->outputTag(link.fromPort()).str() : tag_.str();
  std::fprintf(stream_, "%s: %s\n", tag.c_str(), value.c_str());
  std::fflush(stream_);
}

void JCounter::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putObject("tag", tag_);
}

void JCounter::readContent(const JContent& in) {
  JAddObj::readContent(in);
  if (const JString* tag = in.getObject("tag")) tag_ = *tag;
}

void JCounter::close() {
  std::fprintf(stream_, "%s: %lld\n", tag_.c_str(), count_);
  std::fflush(stream_);
}

JArray JCounter::getProperties() {
  JArray list;
  list.add<JStringProperty>(JString("tag"), tag_);
  return list;
}

bool JCounter::updateProperty(const JProperty& p) { return takeText(p, "tag", tag_); }

void JCounter::access(int port, JLinkObj&, JData& data) {
  if (port != 0) return;
  data.setInteger(count_ > INT_MAX ? INT_MAX : static_cast<int>(count_));
}

}  // namespace kestrel
