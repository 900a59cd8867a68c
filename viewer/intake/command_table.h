// The command language declared once: every command's code, the verb that
// starts its line, its display name in the debug log and how the text after
// the verb is kept. The code constants (command_codes.h), the verb matching
// and commandName() (command_language.cpp) are all made from this table.
#pragma once

namespace kestrel {

// How the text of a stored command is kept.
enum class ArgumentRule {
  kNoText,  // the verb takes no text: whatever follows it is ignored
  kSplit,   // split at its first ':' or blank (not at position 1) into text and argument
  kWhole,   // kept whole
};

// X(name, code, verb, display name, argument rule), one row per code, in
// code order. A null verb: the code comes only from block lines or direct
// puts. A null display name: the debug log says "unknown". The verbs match
// as byte prefixes of a line; where one verb begins another ("rx", "rxcc"),
// the longer one is tried first.
#define KESTREL_COMMANDS(X)                                                        \
  X(kLoad, 0, "load ", "Load", kSplit)                                             \
  X(kMapRequest, 1, nullptr, nullptr, kSplit) /* direct put by the web page */     \
  X(kLoadMap, 2, "loadmap ", nullptr, kSplit)                                      \
  X(kReset, 3, "reset", "ReSetEngine", kNoText)                                    \
  X(kShow, 4, "show", "Show", kNoText)                                             \
  X(kHide, 5, "hide", "Hide", kNoText)                                             \
  X(kClear, 6, "clear", "Clear", kNoText)                                          \
  X(kInfoDimension, 7, "infodimension ", "InfoDimension", kSplit)                  \
  X(kLink, 8, "link ", nullptr, kSplit)                                            \
  X(kStarLine, 9, nullptr, nullptr, kWhole) /* a line starting with '*' */         \
  X(kStartData, 10, "startdata ", "StartData", kWhole)                             \
  X(kModelSet, 11, "modelset ", "ModelSet", kSplit) /* also opens a data block */  \
  X(kModelSwitch, 12, "mswitch", nullptr, kNoText)                                 \
  X(kEndData, 13, nullptr, "EndData", kSplit)                                      \
  X(kDataLine, 14, nullptr, "Data", kWhole)                                        \
  X(kLeft, 15, "left", "Left", kNoText)                                            \
  X(kRight, 16, "right", "Right", kNoText)                                         \
  X(kUp, 17, "up", "Up", kNoText)                                                  \
  X(kDown, 18, "down", "Down", kNoText)                                            \
  X(kIn, 19, "in", "In", kNoText)                                                  \
  X(kOut, 20, "out", "Out", kNoText)                                               \
  X(kRx, 21, "rx", nullptr, kNoText)                                               \
  X(kRxcc, 22, "rxcc", nullptr, kNoText)                                           \
  X(kRy, 23, "ry", nullptr, kNoText)                                               \
  X(kRycc, 24, "rycc", nullptr, kNoText)                                           \
  X(kRz, 25, "rz", nullptr, kNoText)                                               \
  X(kRzcc, 26, "rzcc", nullptr, kNoText)                                           \
  X(kMarkX, 27, "markx ", "MarkX", kSplit)                                         \
  X(kMarkY, 28, "marky ", "MarkY", kSplit)                                         \
  X(kMarkZ, 29, "markz ", "MarkZ", kSplit)                                         \
  X(kSpaceX, 30, "spacex ", nullptr, kSplit)                                       \
  X(kSpaceY, 31, "spacey ", nullptr, kSplit)                                       \
  X(kSpaceZ, 32, "spacez ", nullptr, kSplit)                                       \
  X(kSetMarker, 33, "setmarker", nullptr, kNoText)                                 \
  X(kTaller, 34, "taller", "Taller", kNoText)                                      \
  X(kShorter, 35, "shorter", nullptr, kNoText)                                     \
  X(kBigger, 36, "bigger", "Bigger", kNoText)                                      \
  X(kSmaller, 37, "smaller", "Smaller", kNoText)                                   \
  X(kFatter, 38, "fatter", "Fatter", kNoText)                                      \
  X(kThinner, 39, "thinner", "Thinner", kNoText)                                   \
  X(kScale, 40, "scale ", "Scale", kSplit)                                         \
  X(kSetGroup, 41, "setgroup", "SetGroup", kNoText)                                \
  X(kClearGroup, 42, "cleargroup", nullptr, kNoText)                               \
  X(kSetMax, 43, "setmax ", "SetMax", kSplit)                                      \
  X(kCycle, 44, "cycle", "Cycle", kNoText)                                         \
  X(kFadeOut, 45, "fadeout", "FadeOut", kNoText)                                   \
  X(kFadeIn, 46, "fadein", "FadeIn", kNoText)                                      \
  X(kInline, 47, "inline ", "Inline", kWhole)                                      \
  X(kDebugBoth, 48, nullptr, "Debug", kNoText) /* debug on in both queues */       \
  X(kLabel, 49, "label ", nullptr, kWhole)                                         \
  X(kStartTemplate, 50, "starttemplate ", "StartTemplate", kWhole)                 \
  X(kEndTemplate, 51, nullptr, "EndTemplate", kWhole)                              \
  X(kTemplateLine, 52, nullptr, nullptr, kWhole)                                   \
  X(kStartFunction, 53, "startfunction ", nullptr, kWhole)                         \
  X(kEndFunction, 54, nullptr, nullptr, kWhole)                                    \
  X(kCall, 55, "call ", "CallFunction", kSplit)                                    \
  X(kFunctionLine, 56, nullptr, nullptr, kWhole)                                   \
  X(kSetInfo, 57, "setinfo ", "SetInfo", kSplit)                                   \
  X(kInlineAttributes, 58, "inlineattributes ", "TestDEF", kSplit)                 \
  X(kFast, 59, "fast", "FastMode", kNoText)                                        \
  X(kSlow, 60, "slow", "SlowMode", kNoText)                                        \
  X(kSetObject, 61, "setobject ", "SetObject", kSplit)                             \
  X(kSetProperty, 62, "setproperty ", "SetVizProperty", kSplit)                    \
  X(kSetValue, 63, "setvalue ", "SetVizValue", kSplit)

// One row of the table.
struct CommandInfo {
  int code;
  const char* verb;
  const char* displayName;
  ArgumentRule rule;
};

#define KESTREL_COMMAND_ROW(name, code, verb, display, rule) \
  CommandInfo{code, verb, display, ArgumentRule::rule},
inline constexpr CommandInfo kCommandTable[] = {KESTREL_COMMANDS(KESTREL_COMMAND_ROW)};
#undef KESTREL_COMMAND_ROW

inline constexpr int kCommandCount =
    static_cast<int>(sizeof kCommandTable / sizeof kCommandTable[0]);

// Row I holds code I: the codes are unique and dense, so a code indexes the
// table directly.
constexpr bool codesAreDense() {
  for (int i = 0; i < kCommandCount; ++i) {
    if (kCommandTable[i].code != i) return false;
  }
  return true;
}
static_assert(codesAreDense(), "command codes must be 0, 1, 2... in table order");

constexpr bool sameText(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

constexpr bool verbsAreUnique() {
  for (int i = 0; i < kCommandCount; ++i) {
    for (int j = i + 1; j < kCommandCount; ++j) {
      const char* a = kCommandTable[i].verb;
      const char* b = kCommandTable[j].verb;
      if (a != nullptr && b != nullptr && sameText(a, b)) return false;
    }
  }
  return true;
}
static_assert(verbsAreUnique(), "a verb names one command");

}  // namespace kestrel
