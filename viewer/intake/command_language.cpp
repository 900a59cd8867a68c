#include "viewer/intake/command_language.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

struct Verb {
  std::string_view literal;
  VerbAction action;
  int code;
};

// The two words that steer the parser itself instead of naming a command.
constexpr Verb kDirectives[] = {
    {"debugoff", VerbAction::kDebugOff, -1},
    {"debug", VerbAction::kDebugOn, -1},
};

// Every verb grouped by its first byte, longest first within a group, so a
// line is compared only with the verbs that can match it and the first
// match is the longest ("rxcc" before "rx", "cleargroup" before "clear",
// "inline " before "in").
class VerbIndex {
 public:
  VerbIndex() {
    for (const CommandInfo& command : kCommandTable) {
      if (command.verb != nullptr) add({command.verb, VerbAction::kCommand, command.code});
    }
    for (const Verb& directive : kDirectives) add(directive);
    for (std::vector<Verb>& group : groups_) {
      std::stable_sort(group.begin(), group.end(), [](const Verb& a, const Verb& b) {
        return a.literal.size() > b.literal.size();
      });
    }
  }
  const std::vector<Verb>& startingWith(char first) const {
    return groups_[static_cast<unsigned char>(first)];
  }

 private:
  void add(const Verb& verb) {
    groups_[static_cast<unsigned char>(verb.literal[0])].push_back(verb);
  }
  std::vector<Verb> groups_[256];
};

const VerbIndex& verbIndex() {
  static const VerbIndex index;
  return index;
}

// Compares the literal's bytes after the first; LINE may be shorter, since
// its NUL differs from every literal byte.
bool restMatches(const char* line, const Verb& verb) {
  for (size_t i = 1; i < verb.literal.size(); ++i) {
    if (line[i] != verb.literal[i]) return false;
  }
  return true;
}

}  // namespace

bool startsWith(const char* line, const char* literal, int length) {
  return std::strncmp(line, literal, static_cast<size_t>(length)) == 0;
}

VerbMatch matchVerb(const char* line) {
  for (const Verb& verb : verbIndex().startingWith(line[0])) {
    if (restMatches(line, verb)) {
      return VerbMatch{verb.action, verb.code, static_cast<int>(verb.literal.size())};
    }
  }
  return {};
}

ArgumentSplit findArgument(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if ((*p == ':' || *p == ' ') && p - text != 1) {
      int separator = static_cast<int>(p - text);
      return {separator, separator + (p[1] == '_' ? 2 : 1)};
    }
  }
  return {};
}

char* splitArgument(char* text) {
  ArgumentSplit split = findArgument(text);
  if (split.separator < 0) return nullptr;
  text[split.separator] = '\0';
  return text + split.argument;
}

const char* commandName(int code) {
  if (code >= 0 && code < cmd::kCount && kCommandTable[code].displayName != nullptr) {
    return kCommandTable[code].displayName;
  }
  logNumber("unknown", code);
  return "unknown";
}

}  // namespace kestrel
