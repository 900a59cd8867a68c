#include "modules/common/jcontent.h"

#include "modules/common/jdata.h"

namespace kestrel {

void JContent::put(std::string_view key, Value value) {
  for (auto& e : entries_) {
    if (e.key == key) {
      e.value = std::move(value);
      return;
    }
  }
  entries_.push_back(Entry{std::string(key), std::move(value)});
}

const JContent::Entry* JContent::findEntry(std::string_view key) const {
  for (const auto& e : entries_) {
    if (e.key == key) return &e;
  }
  return nullptr;
}

const JString* JContent::getObject(std::string_view key) const {
  const Entry* e = findEntry(key);
  return e ? std::get_if<JString>(&e->value) : nullptr;
}

int JContent::getInteger(std::string_view key, int fallback) const {
  const Entry* e = findEntry(key);
  if (!e) return fallback;
  if (const int* i = std::get_if<int>(&e->value)) return *i;
  if (const double* d = std::get_if<double>(&e->value)) {
    int out = fallback;
    JIntegerData(out).setReal(*d);
    return out;
  }
  return fallback;
}

double JContent::getDouble(std::string_view key, double fallback) const {
  const Entry* e = findEntry(key);
  if (!e) return fallback;
  if (const double* d = std::get_if<double>(&e->value)) return *d;
  if (const int* i = std::get_if<int>(&e->value)) return *i;
  return fallback;
}

bool JContent::operator==(const JContent& other) const {
  if (entries_.size() != other.entries_.size()) return false;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].key != other.entries_[i].key) return false;
    if (entries_[i].value != other.entries_[i].value) return false;
  }
  return true;
}

}  // namespace kestrel
