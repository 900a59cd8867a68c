#include "modules/host/formatter.h"

#include "modules/host/property_helpers.h"

namespace kestrel {

JFormat::JFormat() {
  ogm = 1;
  setInputs(letters_);
  setPattern(patternText_);
}

bool JFormat::setInputs(const JString& letters) {
  if (letters.empty() || letters.length() > 16) return false;
  for (char c : letters.view()) {
    if (c != 'i' && c != 'r' && c != 's') return false;
  }
  for (int port = 0; port < igm; ++port) {
    if (!inputSet(port).empty()) return false;  // would change ports under links
  }
  letters_ = letters;
  igm = letters.length();
  values_.clear();
  for (char c : letters.view()) {
    values_.push_back(c == 'i' ? FormatArg(0) : c == 'r' ? FormatArg(0.0) : FormatArg(std::string()));
  }
  return true;
}

bool JFormat::setPattern(const JString& text) {
  std::string error;
  auto compiled = FormatPattern::compile(text.str(), &error);
  if (!compiled) return false;
  pattern_ = *compiled;
  patternText_ = text;
  return true;
}

void JFormat::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putObject("inputs", letters_);
  out.putObject("pattern", patternText_);
}

void JFormat::readContent(const JContent& in) {
  JAddObj::readContent(in);
  if (const JString* letters = in.getObject("inputs")) setInputs(*letters);
  if (const JString* pattern = in.getObject("pattern")) setPattern(*pattern);
}

JArray JFormat::getProperties() {
  JArray list;
  list.add<JStringProperty>(JString("inputs"), letters_);
  list.add<JStringProperty>(JString("pattern"), patternText_);
  return list;
}

bool JFormat::updateProperty(const JProperty& p) {
  JString text;
  if (takeText(p, "inputs", text)) return setInputs(text);
  if (takeText(p, "pattern", text)) return setPattern(text);
  return false;
}

JString JFormat::inputTag(int port) const {
  if (port < 0 || port >= letters_.length()) return JAddObj::inputTag(port);
  // Appended, not added: GCC 12 at -O3 reports a false -Wrestrict overlap
  // inside libstdc++ for std::string&& + std::string&& (GCC bug 105329).
  std::string tag(1, letters_[port]);
  tag += std::to_string(port);
  return JString(tag);
}

int JFormat::inputType(int port) const {
  if (port < 0 || port >= letters_.length()) return JIntegerData::id;
  const char c = letters_[port];
  return c == 'i' ? JIntegerData::id : c == 'r' ? JRealData::id : JStringData::id;
}

void JFormat::draw(JGraphics& graphics, int x, int y, int w, int h) {
  drawText(graphics, patternText_, JRect(x, y, w, h));
}

void JFormat::access(int port, JLinkObj&, JData& data) {
  if (port == 0) data.setString(text_);
}

void JFormat::engine(int port, JLinkObj& link) {
  if (port < 0 || port >= static_cast<int>(values_.size())) return;
  FormatArg& value = values_[static_cast<std::size_t>(port)];
  if (auto* i = std::get_if<int>(&value)) {
    JIntegerData data(*i);
    link.access(data);
  } else if (auto* d = std::get_if<double>(&value)) {
    JRealData data(*d);
    link.access(data);
  } else {
    JString s;
    JStringData data(s);
    link.access(data);
    value = s.str();
  }
  text_ = JString(pattern_.format(values_));
  broadcast(0);
}

}  // namespace kestrel
