#include "viewer/intake/command_ring.h"

#include <cstring>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_language.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

bool keepsWholeText(int code) {
  return code == cmd::kStarLine || code == cmd::kInline || code == cmd::kLabel;
}

}  // namespace

CommandRing::CommandRing()
    : codes_(std::make_unique<int32_t[]>(kSlots)),
      texts_(std::make_unique<char*[]>(kSlots)),
      arguments_(std::make_unique<char*[]>(kSlots)) {}

CommandRing::~CommandRing() { clear(); }

void CommandRing::clear() {
  for (int i = readIndex_; i != writeIndex_; i = next(i)) {
    delete[] texts_[i];
    texts_[i] = nullptr;
    arguments_[i] = nullptr;
  }
  writeIndex_ = readIndex_ = 0;
  held = inData = inTemplate = inFunction = false;
}

void CommandRing::put(int code, const char* text) {
  if (code == cmd::kClear) logLine("INTERNAL QUEUE ADDING CLEAR");
  if (full()) {
    ++dropped_;
    return;
  }
  codes_[writeIndex_] = code;
  if (code == cmd::kStartData || code == cmd::kModelSet) inData = true;
  if (code == cmd::kEndData) inData = false;

  char* copy = nullptr;
  char* argument = nullptr;
  if (text != nullptr) {
    size_t length = std::strlen(text);
    copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    bool inBlock = inData || inTemplate || inFunction;
    if (code == cmd::kModelSet || (!inBlock && !keepsWholeText(code))) {
      argument = splitArgument(copy);
    }
  }
  texts_[writeIndex_] = copy;
  arguments_[writeIndex_] = argument;
  writeIndex_ = next(writeIndex_);
}

std::unique_ptr<QueuedCommand> CommandRing::take() {
  if (inData || !ready()) return nullptr;
  if (debug) logText("command:", commandName(codes_[readIndex_]));
  return takeSlot();
}

std::unique_ptr<QueuedCommand> CommandRing::takeNext() {
  if (!ready()) return nullptr;
  return takeSlot();
}

std::unique_ptr<QueuedCommand> CommandRing::takeSlot() {
  auto entry = std::make_unique<QueuedCommand>();
  entry->code = codes_[readIndex_];
  entry->text.reset(texts_[readIndex_]);
  entry->argument = arguments_[readIndex_];
  texts_[readIndex_] = nullptr;
  arguments_[readIndex_] = nullptr;
  readIndex_ = next(readIndex_);
  return entry;
}

}  // namespace kestrel
