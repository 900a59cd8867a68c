#include "viewer/web/config_table.h"

#include <cstdio>
#include <memory>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/http_request.h"

namespace kestrel {

void ConfigTable::clear() {
  MutexLock lock(mutex_);
  entries_.clear();
}

void ConfigTable::loadText(const std::string& text) {
  // fmemopen refuses a size of 0: an empty text is an empty table.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
      text.empty() ? nullptr : ::fmemopen(const_cast<char*>(text.data()), text.size(), "rb"),
      std::fclose);
  loadFrom(file.get());
}

void ConfigTable::loadFrom(std::FILE* file) {
  // Read outside the lock; swap the new entries in at once.
  std::vector<std::pair<std::string, std::string>> entries;
  if (file) {
    while (entries.size() < kCapacity) {
      std::optional<std::string> line = readTextLine(file);
      if (!line) break;
      size_t equals = line->find('=');
      if (equals == std::string::npos) continue;
      entries.emplace_back(line->substr(0, equals), line->substr(equals + 1));
    }
  }
  MutexLock lock(mutex_);
  entries_ = std::move(entries);
}

std::string ConfigTable::render() const {
  MutexLock lock(mutex_);
  std::string out = "<table>\n";
  for (const auto& [key, value] : entries_) {
    std::string k = htmlEscape(key);
    out += "<tr><td>" + k + "</td><td><input type=\"TEXT\" name=\"" + k + "\" value=\"" +
           htmlEscape(value) + "\"></td></tr>\n";
  }
  out += "</table>\n";
  return out;
}

size_t ConfigTable::size() const {
  MutexLock lock(mutex_);
  return entries_.size();
}

ConfigTable& configTable() {
  static ConfigTable* table = new ConfigTable;  // never destroyed: threads may outlive main
  return *table;
}

}  // namespace kestrel
