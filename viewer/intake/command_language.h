// The command language: one command per line, a verb at the start, matched
// as a byte prefix in a fixed order, case-sensitively, with no trimming.
//
// The parser itself is InternalCommandQueue::queue (command_queue.h); this
// header holds the pieces it is made of, which are pure functions.
#pragma once

namespace kestrel {

// What a line outside any block asks for.
enum class VerbAction {
  kNone,           // no verb matched: the line is dropped
  kStore,          // store `code`, keeping the text after `keep` characters
  kStoreNoText,    // store `code` with no text
  kDebugOn,        // set the ring's debug flag, store nothing
  kDebugOff,       // clear the ring's debug flag, store nothing
  kStartTemplate,  // set the template flag, then store like kStore
  kStartFunction,  // set the function flag, then store like kStore
};

struct VerbMatch {
  VerbAction action = VerbAction::kNone;
  int code = -1;
  int keep = 0;  // characters of the line before the kept text
};

// Matches LINE (not a block body line, not a "*" line) against the verb
// table.
VerbMatch matchVerb(const char* line);

// Splits TEXT in place at its first ':' or blank that is not at position 1,
// returning where the argument starts (skipping one '_' after the separator)
// or nullptr when there is no separator.
char* splitArgument(char* text);

// True when LINE begins with the LENGTH characters of LITERAL.
bool startsWith(const char* line, const char* literal, int length);

}  // namespace kestrel
