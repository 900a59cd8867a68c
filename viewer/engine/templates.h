// Templates and the info table: the two tables of named texts that turn a
// data block into scene text. The data goes where the template body has its
// "%s"; every "VAR_"name in the body is replaced by the info value of name.
//
// Engine thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrel {

struct NamedText {
  std::string name;
  std::string text;
};

// A template: a named body plus the state of its substitution steps.
struct Template {
  std::string name;
  std::string body;
  std::optional<std::string> result;  // of the last substitution steps
  size_t scanPosition = 0;            // where nextVariable goes on
};

// Up to kCapacity templates in creation order. A name defined again
// appends another template that lookups never reach; body lines always go
// to the last template.
class TemplateList {
 public:
  static constexpr size_t kCapacity = 200;

  // Appends an empty template; false (and a log line) when the list is full.
  bool createTemplate(const std::string& name);
  // Appends LINE and a newline to the last template's body; false when no
  // template was ever created (or the last one was refused).
  bool appendToLast(const std::string& line);
  // The first template named NAME, or null.
  Template* findTemplate(const std::string& name);
  size_t size() const { return templates_.size(); }

 private:
  std::vector<Template> templates_;
  bool lastRefused_ = false;
};

// Up to kCapacity entries, one per name, in creation order.
class InfoTable {
 public:
  static constexpr size_t kCapacity = 200;

  // Replaces the value of NAME, or appends an entry; false (and a log line)
  // when a new name finds the table full.
  bool setInfo(const std::string& name, const std::string& value);
  // The value of NAME, or nullopt.
  std::optional<std::string> lookupText(const std::string& name) const;
  size_t size() const { return entries_.size(); }

 private:
  std::vector<NamedText> entries_;
};

// The body used as a format with DATA as its one string argument: each
// "%s" takes DATA (the first, as a printf with one argument would; further
// conversions take nothing), "%%" is one percent sign.
std::string applyTemplate(Template& t, const std::string& data);
void restartScan(Template& t);
// The next "VAR_" name of the body (up to a blank, a double quote or the
// end), or nullopt.
std::optional<std::string> nextVariable(Template& t);
// Replaces the first "VAR_"NAME of the result by VALUE (nothing when VALUE
// is nullopt); returns the result.
const std::string& substituteVariable(Template& t, const std::string& name,
                                      const std::optional<std::string>& value);

// The data block rule: the template applied to DATA, then every variable of
// its body substituted from INFO.
std::string expandTemplate(Template& t, const std::string& data, const InfoTable& info);

}  // namespace kestrel
