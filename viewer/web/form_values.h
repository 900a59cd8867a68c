// FormValues: the name/value pairs of a posted form body
// (application/x-www-form-urlencoded), at most 100 of them, in order.
//
// Names and values are decoded: "+" becomes a space and "%XX" the byte it
// names, except that escapes of NUL, CR and LF stay as they are written, so
// that a decoded value can never end or split a command line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

class FormValues {
 public:
  static constexpr size_t kCapacity = 100;

  // Splits BODY at "&"; empty pieces and pieces without "=" are skipped;
  // pairs after the 100th are ignored.
  void parse(std::string_view body);
  // Logs every pair with logText(name, value).
  void dump() const;

  size_t size() const { return pairs_.size(); }
  // The value of the first pair named NAME.
  std::optional<std::string> lookup(std::string_view name) const;
  // The rest of the first name that starts with PREFIX.
  std::optional<std::string> firstWithPrefix(std::string_view prefix) const;
  int countWithPrefix(std::string_view prefix) const;
  // The rest of the N-th (from 0) name that starts with PREFIX.
  std::optional<std::string> nthWithPrefix(int n, std::string_view prefix) const;

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// Form decoding of one name or value (see above).
std::string formDecode(std::string_view text);

}  // namespace kestrel
