// JContent: the keyed values a module saves into a document and reads back.
//
// writeContent() puts values under keys; readContent() looks them up. A put
// under a key that exists replaces the value in place, so the order of first
// puts is kept. Lookups of a missing key give null or the caller's default;
// a number stored as the other number type is converted.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "modules/common/export.h"
#include "modules/common/jstring.h"

namespace kestrel {

class KESTREL_API JContent {
 public:
  using Value = std::variant<int, double, JString>;
  struct Entry {
    std::string key;
    Value value;
  };

  void putObject(std::string_view key, const JString& value) { put(key, value); }
  void putInteger(std::string_view key, int value) { put(key, value); }
  void putDouble(std::string_view key, double value) { put(key, value); }

  // The string under the key, or null when absent or not a string.
  const JString* getObject(std::string_view key) const;
  int getInteger(std::string_view key, int fallback) const;
  double getDouble(std::string_view key, double fallback) const;

  bool has(std::string_view key) const { return findEntry(key) != nullptr; }
  const std::vector<Entry>& entries() const { return entries_; }
  bool operator==(const JContent&) const;

 private:
  void put(std::string_view key, Value value);
  const Entry* findEntry(std::string_view key) const;

  std::vector<Entry> entries_;
};

}  // namespace kestrel
