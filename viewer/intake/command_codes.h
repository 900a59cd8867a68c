// Command codes: the numbers that name one executable command. Other parts
// of the viewer store codes directly, so the numbers are fixed. They are
// made from the command table (command_table.h): cmd::kLoad is 0, ...
#pragma once

#include "viewer/intake/command_table.h"

namespace kestrel {

namespace cmd {
#define KESTREL_COMMAND_CODE(name, code, verb, display, rule) inline constexpr int name = code;
KESTREL_COMMANDS(KESTREL_COMMAND_CODE)
#undef KESTREL_COMMAND_CODE
inline constexpr int kCount = kCommandCount;
static_assert(kCount == 64);
}  // namespace cmd

// The display name of CODE for the debug log, or "unknown" (after logging
// the line unknown "CODE").
const char* commandName(int code);

}  // namespace kestrel
