// JFormat: builds a string from a printf-like pattern and its inputs.
//
// Property "inputs" gives one letter per input: i (integer), r (real) or
// s (string), at most 16; property "pattern" the text with its conversions
// (see FormatPattern). Whenever an input changes, the module pulls it,
// formats the pattern with the latest value of every input and broadcasts
// the text on its "text" output.
#pragma once

#include <vector>

#include "modules/common/jmodule.h"
#include "modules/host/format_pattern.h"

namespace kestrel {

class JFormat : public JAddObj {
 public:
  JFormat();

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override { return JString("JFormat"); }
  JObject* clone() const override { return new JFormat(*this); }
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString inputTag(int port) const override;
  JString outputTag(int) const override { return JString("text"); }
  int inputType(int port) const override;
  int outputType(int) const override { return JStringData::id; }
  void draw(JGraphics& graphics, int x, int y, int w, int h) override;
  void access(int port, JLinkObj& link, JData& data) override;
  void engine(int port, JLinkObj& link) override;

 private:
  bool setInputs(const JString& letters);
  bool setPattern(const JString& pattern);

  JString letters_ = JString("i");
  JString patternText_ = JString("%d");
  FormatPattern pattern_;
  std::vector<FormatArg> values_;
  JString text_;
};

}  // namespace kestrel
