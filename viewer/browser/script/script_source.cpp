#include "viewer/browser/script/script_source.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         startsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string_view trimmed(std::string_view url) {
  while (!url.empty() && std::isspace(static_cast<unsigned char>(url.front()))) url.remove_prefix(1);
  return url;
}

// The program after an inline scheme, or false when URL has none.
bool inlineProgram(std::string_view url, std::string& program) {
  for (std::string_view scheme : {"javascript:", "vrmlscript:", "ecmascript:"}) {
    if (startsWithNoCase(url, scheme)) {
      program = url.substr(scheme.size());
      return true;
    }
  }
  return false;
}

bool isJava(std::string_view url) {
  return endsWithNoCase(url, ".class") || startsWithNoCase(url, "java:");
}

}  // namespace

bool findScriptSource(const std::vector<std::string>& urls, const UrlResolver& resolver,
                      const std::string& baseDir, const std::string& name,
                      ScriptSource& source) {
  bool java = false;
  for (const std::string& raw : urls) {
    std::string_view url = trimmed(raw);
    if (inlineProgram(url, source.program)) return true;
    if (isJava(url)) {
      java = true;
      continue;
    }
    std::string path, dir;
    if (resolver.resolve(url, baseDir, path) &&
        resolver.load(std::string(url), baseDir, source.program, dir)) {
      source.file = path;
      return true;
    }
  }
  if (urls.empty()) return false;  // a Script used as a record of values: nothing to run
  if (java) {
    logText("Script skipped (Java classes are not run):", name.c_str());
  } else {
    logText("Script has no ECMAScript program that loads:", name.c_str());
  }
  return false;
}

}  // namespace kestrel
