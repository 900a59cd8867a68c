// CommandParser: turns lines of the command language, and direct puts of
// known codes, into entries of one ring. It keeps the ring's block state
// (which data, template or function block is open) and splits texts into
// text and argument as the command table says; the ring only stores.
//
// Not thread-safe: InternalCommandQueue serialises every use.
#pragma once

#include <string>

#include "viewer/intake/command_ring.h"

namespace kestrel {

// Which block the lines of a ring are in.
struct BlockState {
  bool inData = false;
  bool inTemplate = false;
  bool inFunction = false;
  // The ring position where the open data block starts.
  int dataStart = 0;

  bool open() const { return inData || inTemplate || inFunction; }
};

class CommandParser {
 public:
  explicit CommandParser(CommandRing& ring) : ring_(ring) {}
  CommandParser(const CommandParser&) = delete;
  CommandParser& operator=(const CommandParser&) = delete;

  // One NUL-terminated line, without its line end: a block body or end
  // line inside a block, else a '*' line or a verb's line; other lines are
  // dropped.
  void parse(const char* line);
  // A direct put: CODE with TEXT (or none), kept or split by the command
  // table's rule. A put of the data block codes opens and ends the block as
  // the lines would.
  void store(int code, const char* text);

  const BlockState& blocks() const { return blocks_; }
  // Outside any block, as a new parser (for a ring that was cleared).
  void reset() { blocks_ = BlockState{}; }
  // Gives up the open block (see InternalCommandQueue::abandonBlock).
  const char* abandonBlock();

 private:
  void parseVerbLine(const char* line);
  // Stores into the ring; false when the ring was full.
  bool put(int code, const char* text);

  CommandRing& ring_;
  BlockState blocks_;
  std::string scratch_;  // a split text, reused
};

}  // namespace kestrel
