// The command language: one command per line, a verb at the start, matched
// as a byte prefix, case-sensitively, with no trimming; where several verbs
// begin a line, the longest wins. The commands and their verbs are declared
// in command_table.h.
//
// The parser itself is CommandParser (command_parser.h); this header holds
// the pieces it is made of, which are pure functions.
#pragma once

namespace kestrel {

// What a line outside any block asks for.
enum class VerbAction {
  kNone,      // no verb matched: the line is dropped
  kCommand,   // the command `code`, whose text starts after `keep` characters
  kDebugOn,   // set the ring's debug flag, store nothing
  kDebugOff,  // clear the ring's debug flag, store nothing
};

struct VerbMatch {
  VerbAction action = VerbAction::kNone;
  int code = -1;
  int keep = 0;  // characters of the line before the kept text
};

// Matches LINE (not a block body line, not a "*" line) against the verbs.
VerbMatch matchVerb(const char* line);

// Where TEXT splits into text and argument: at its first ':' or blank that
// is not at position 1; the argument starts after it, skipping one '_'.
struct ArgumentSplit {
  int separator = -1;  // -1: no separator, no argument
  int argument = -1;
};
ArgumentSplit findArgument(const char* text);

// Splits TEXT in place (the separator becomes a NUL), returning where the
// argument starts or nullptr when there is no separator.
char* splitArgument(char* text);

// True when LINE begins with the LENGTH characters of LITERAL.
bool startsWith(const char* line, const char* literal, int length);

}  // namespace kestrel
