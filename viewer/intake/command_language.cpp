#include "viewer/intake/command_language.h"

#include <cstdint>
#include <cstring>
#include <iterator>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

struct Verb {
  const char* literal;
  int length;
  VerbAction action;
  int code;
};

// Code of the table entry "mark", which only says "look at kMarks".
constexpr int kMarkPrefix = -2;

constexpr int len(const char* s) { return static_cast<int>(std::char_traits<char>::length(s)); }

#define STORE(lit, code) {lit, len(lit), VerbAction::kStore, code}
#define BARE(lit, code) {lit, len(lit), VerbAction::kStoreNoText, code}

// The verbs in matching order. Order matters: a verb captures every longer
// word that begins with it ("rx" takes "rxyz", "in" takes "inlinex").
constexpr Verb kVerbs[] = {
    BARE("mswitch", cmd::kModelSwitch),
    BARE("rxcc", cmd::kRxcc),
    BARE("rx", cmd::kRx),
    BARE("rycc", cmd::kRycc),
    BARE("ry", cmd::kRy),
    BARE("rzcc", cmd::kRzcc),
    BARE("rz", cmd::kRz),
    BARE("fast", cmd::kFast),
    BARE("slow", cmd::kSlow),
    STORE("inlineattributes ", cmd::kInlineAttributes),
    STORE("setinfo ", cmd::kSetInfo),
    STORE("setproperty ", cmd::kSetProperty),
    STORE("setvalue ", cmd::kSetValue),
    // "cleargroup" and "infodimension " come before the shorter verbs that
    // would capture them: "clear" would wipe the scene and "in" move the
    // current object, where both commands are meant to change nothing.
    BARE("cleargroup", cmd::kClearGroup),
    BARE("clear", cmd::kClear),
    STORE("load ", cmd::kLoad),
    STORE("loadmap ", cmd::kLoadMap),
    BARE("reset", cmd::kReset),
    BARE("show", cmd::kShow),
    BARE("hide", cmd::kHide),
    BARE("left", cmd::kLeft),
    BARE("right", cmd::kRight),
    STORE("infodimension ", cmd::kInfoDimension),
    STORE("inline ", cmd::kInline),
    BARE("in", cmd::kIn),
    BARE("out", cmd::kOut),
    BARE("up", cmd::kUp),
    BARE("down", cmd::kDown),
    BARE("taller", cmd::kTaller),
    BARE("shorter", cmd::kShorter),
    BARE("bigger", cmd::kBigger),
    BARE("smaller", cmd::kSmaller),
    BARE("fatter", cmd::kFatter),
    BARE("thinner", cmd::kThinner),
    BARE("fadeout", cmd::kFadeOut),
    BARE("fadein", cmd::kFadeIn),
    BARE("setgroup", cmd::kSetGroup),
    STORE("modelset ", cmd::kModelSet),
    BARE("cycle", cmd::kCycle),
    {"debugoff", 8, VerbAction::kDebugOff, -1},
    {"debug", 5, VerbAction::kDebugOn, -1},
    {"mark", 4, VerbAction::kNone, kMarkPrefix},  // resolved by kMarks below
    STORE("setmax ", cmd::kSetMax),
    STORE("label ", cmd::kLabel),
    STORE("startdata ", cmd::kStartData),
    STORE("scale ", cmd::kScale),
    STORE("setobject ", cmd::kSetObject),
    {"starttemplate ", 14, VerbAction::kStartTemplate, cmd::kStartTemplate},
    {"startfunction ", 14, VerbAction::kStartFunction, cmd::kStartFunction},
    BARE("setmarker", cmd::kSetMarker),
    STORE("call ", cmd::kCall),
    STORE("spacex ", cmd::kSpaceX),
    STORE("spacey ", cmd::kSpaceY),
    STORE("spacez ", cmd::kSpaceZ),
    STORE("link ", cmd::kLink),
};

// A line that begins with "mark" is one of these or nothing at all.
constexpr Verb kMarks[] = {
    STORE("markx ", cmd::kMarkX),
    STORE("marky ", cmd::kMarkY),
    STORE("markz ", cmd::kMarkZ),
};

#undef STORE
#undef BARE

VerbMatch matchOf(const Verb& verb) {
  return VerbMatch{verb.action, verb.code, verb.length};
}

VerbMatch matchMark(const char* line) {
  for (const Verb& verb : kMarks) {
    if (startsWith(line, verb.literal, verb.length)) return matchOf(verb);
  }
  return {};
}

// The verbs of kVerbs grouped by their first byte, each group in table
// order, so a line is compared only with the verbs that can match it.
struct VerbIndex {
  static constexpr int kMaxPerByte = static_cast<int>(std::size(kVerbs));
  uint8_t count[256] = {};
  uint8_t verbs[256][kMaxPerByte] = {};
  VerbIndex() {
    for (size_t i = 0; i < std::size(kVerbs); ++i) {
      auto first = static_cast<unsigned char>(kVerbs[i].literal[0]);
      verbs[first][count[first]++] = static_cast<uint8_t>(i);
    }
  }
};

const VerbIndex& verbIndex() {
  static const VerbIndex index;
  return index;
}

// Compares the literal's bytes after the first; LINE may be shorter, since
// its NUL differs from every literal byte.
bool restMatches(const char* line, const Verb& verb) {
  for (int i = 1; i < verb.length; ++i) {
    if (line[i] != verb.literal[i]) return false;
  }
  return true;
}

}  // namespace

bool startsWith(const char* line, const char* literal, int length) {
  return std::strncmp(line, literal, static_cast<size_t>(length)) == 0;
}

VerbMatch matchVerb(const char* line) {
  const VerbIndex& index = verbIndex();
  auto first = static_cast<unsigned char>(line[0]);
  for (int i = 0; i < index.count[first]; ++i) {
    const Verb& verb = kVerbs[index.verbs[first][i]];
    if (!restMatches(line, verb)) continue;
    if (verb.code == kMarkPrefix) return matchMark(line);
    return matchOf(verb);
  }
  return {};
}

char* splitArgument(char* text) {
  for (char* p = text; *p != '\0'; ++p) {
    if ((*p == ':' || *p == ' ') && p - text != 1) {
      *p = '\0';
      char* argument = p + 1;
      if (*argument == '_') ++argument;
      return argument;
    }
  }
  return nullptr;
}

const char* commandName(int code) {
  static const char* const kNames[cmd::kCount] = {
      "Load", nullptr, nullptr, "ReSetEngine", "Show", "Hide", "Clear", "InfoDimension",
      nullptr, nullptr, "StartData", "ModelSet", nullptr, "EndData", "Data", "Left",
      "Right", "Up", "Down", "In", "Out", nullptr, nullptr, nullptr,
      nullptr, nullptr, nullptr, "MarkX", "MarkY", "MarkZ", nullptr, nullptr,
      nullptr, nullptr, "Taller", nullptr, "Bigger", "Smaller", "Fatter", "Thinner",
      "Scale", "SetGroup", nullptr, "SetMax", "Cycle", "FadeOut", "FadeIn", "Inline",
      "Debug", nullptr, "StartTemplate", "EndTemplate", nullptr, nullptr, nullptr, "CallFunction",
      nullptr, "SetInfo", "TestDEF", "FastMode", "SlowMode", "SetObject", "SetVizProperty",
      "SetVizValue",
  };
  if (code >= 0 && code < cmd::kCount && kNames[code] != nullptr) return kNames[code];
  logNumber("unknown", code);
  return "unknown";
}

}  // namespace kestrel
