// ConfigTable: the key=value settings that the "<<<config>>>" tag shows and
// the "kestrel_config" form reloads. At most 100 entries in file order.
//
// Threads: every operation takes the table's mutex, so connection threads
// may load and render at the same time; a render never sees half a load.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

class ConfigTable {
 public:
  static constexpr size_t kCapacity = 100;

  void clear();
  // Replaces the entries by those of TEXT, the text of a settings file:
  // line by line, each split at its first "="; lines without "=" are
  // skipped. An empty text leaves the table empty.
  void loadText(const std::string& text);
  // "<table>\n", one row with a text input per entry, "</table>\n". Keys
  // and values are HTML-escaped.
  std::string render() const;
  size_t size() const;

 private:
  void loadFrom(std::FILE* file);  // none: empty

  mutable Mutex mutex_;
  std::vector<std::pair<std::string, std::string>> entries_ GUARDED_BY(mutex_);
};

// The process-wide table.
ConfigTable& configTable();

}  // namespace kestrel
