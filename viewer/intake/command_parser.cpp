#include "viewer/intake/command_parser.h"

#include <cstring>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_language.h"

namespace kestrel {
namespace {

// The lines that end a block; they are not verbs (outside their block
// they are dropped like any unknown line).
constexpr char kEndData[] = "enddata";
constexpr char kEndTemplate[] = "endtemplate";
constexpr char kEndFunction[] = "endfunction";

constexpr int length(const char* literal) {
  return static_cast<int>(std::char_traits<char>::length(literal));
}

bool opensDataBlock(int code) { return code == cmd::kStartData || code == cmd::kModelSet; }

}  // namespace

bool CommandParser::put(int code, const char* text) {
  if (text == nullptr) return ring_.put(code, nullptr, 0, -1);
  if (kCommandTable[code].rule != ArgumentRule::kSplit) {
    return ring_.put(code, text, std::strlen(text), -1);
  }
  ArgumentSplit split = findArgument(text);
  if (split.separator < 0) return ring_.put(code, text, std::strlen(text), -1);
  scratch_.assign(text);
  scratch_[static_cast<size_t>(split.separator)] = '\0';
  return ring_.put(code, scratch_.data(), scratch_.size(), split.argument);
}

void CommandParser::store(int code, const char* text) {
  int position = ring_.writePosition();
  bool stored = put(code, text);
  if (!stored) return;
  if (opensDataBlock(code) && !blocks_.inData) {
    blocks_.inData = true;
    blocks_.dataStart = position;
  }
  if (code == cmd::kEndData) blocks_.inData = false;
}

void CommandParser::parse(const char* line) {
  if (blocks_.inData) {
    if (startsWith(line, kEndData, length(kEndData))) {
      store(cmd::kEndData, line);
      blocks_.inData = false;  // even when the end line did not fit
    } else {
      store(cmd::kDataLine, line);
    }
    return;
  }
  if (blocks_.inTemplate) {
    bool end = startsWith(line, kEndTemplate, length(kEndTemplate));
    store(end ? cmd::kEndTemplate : cmd::kTemplateLine, line);
    if (end) blocks_.inTemplate = false;
    return;
  }
  if (blocks_.inFunction) {
    bool end = startsWith(line, kEndFunction, length(kEndFunction));
    store(end ? cmd::kEndFunction : cmd::kFunctionLine, line);
    if (end) blocks_.inFunction = false;
    return;
  }
  if (line[0] == '*') {
    store(cmd::kStarLine, line + 1);
    return;
  }
  parseVerbLine(line);
}

void CommandParser::parseVerbLine(const char* line) {
  VerbMatch verb = matchVerb(line);
  switch (verb.action) {
    case VerbAction::kNone:
      return;
    case VerbAction::kDebugOn:
      ring_.debug = true;
      return;
    case VerbAction::kDebugOff:
      ring_.debug = false;
      return;
    case VerbAction::kCommand:
      break;
  }
  // A template or function block opens even when its start line finds the
  // ring full: its body must not run as commands.
  if (verb.code == cmd::kStartTemplate) blocks_.inTemplate = true;
  if (verb.code == cmd::kStartFunction) blocks_.inFunction = true;
  bool noText = kCommandTable[verb.code].rule == ArgumentRule::kNoText;
  store(verb.code, noText ? nullptr : line + verb.keep);
}

const char* CommandParser::abandonBlock() {
  if (blocks_.inData) {
    // None of a data block has been handed out (the taker waits for its
    // end), so it can be taken back, unless a taker went through it without
    // that check; then it is ended like the other blocks.
    blocks_.inData = false;
    if (ring_.unstoreFrom(blocks_.dataStart)) return "data block was discarded";
    store(cmd::kEndData, kEndData);
    return "data block was ended";
  }
  if (blocks_.inTemplate) {
    parse(kEndTemplate);
    return "template block was ended";
  }
  if (blocks_.inFunction) {
    parse(kEndFunction);
    return "function block was ended";
  }
  return nullptr;
}

}  // namespace kestrel
