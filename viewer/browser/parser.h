// The VRML97 parser: text in, a whole scene out, or one error with line,
// column and what was expected. Nothing of a failed parse is kept.
//
// PROTO instances are expanded while parsing (each instance gets its own
// copy of the body, wired to its interface by IS routes); EXTERNPROTOs are
// loaded through the options' loader. Depth, node count and expansion size
// are bounded, so no input can exhaust the stack or memory.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "viewer/browser/parse_error.h"
#include "viewer/browser/scene.h"

namespace kestrel {

// Fetches the text behind URL, relative to BASEDIR. On success fills TEXT
// and DIR (the directory the fetched text's own relative URLs resolve
// against) and returns true.
using TextLoader = std::function<bool(const std::string& url, const std::string& baseDir,
                                      std::string& text, std::string& dir)>;

// Receives the warnings of a lenient parse, one call per problem.
using WarningSink = std::function<void(const ParseWarning&)>;

struct ParseOptions {
  std::string baseDir;        // where the text's relative URLs resolve
  TextLoader load;            // null: EXTERNPROTOs stay unresolved
  bool requireHeader = true;  // files need "#VRML V2.0 utf8"; strings may omit it
  size_t maxDepth = 100;      // nesting of nodes and PROTO bodies
  size_t maxNodes = 0;        // 0: 100000 + one per byte of text
  size_t maxExternLoads = 32; // EXTERNPROTO files fetched by one parse, nested ones included
  // Set: the parse is lenient. Unknown fields, unknown node types (followed
  // by a balanced "{ }"), nodes of the wrong kind for their field, USEs and
  // ROUTEs naming nothing, and values out of range are skipped or corrected
  // with one warning each; only what loses content (broken syntax,
  // unbalanced brackets, a wrong header) still fails. Null: the first
  // problem fails the whole parse.
  WarningSink warn;
  std::string sourceName;  // names the text in warnings (a file path or URL)
  // Set: called each time the parse of this text (not of the files it
  // loads) is done with about another kParsedStep bytes, with the range
  // [begin, end) of them. A mapped file's pages can go back then. A large
  // text is parsed in parts on several threads at once (see threads), so
  // calls may come from those threads, at the same time and in no order;
  // a range may be told twice when a part has to be read again.
  std::function<void(size_t begin, size_t end)> parsedRange;
  // Threads a large text of many top-level statements may be parsed on:
  // 0 for as many as the machine runs at once (at most kMaxParseThreads),
  // 1 for the calling thread alone. The scene, the warnings and any error
  // are the same however many there are.
  unsigned threads = 0;
};

// How far the parse moves between calls of ParseOptions::parsedRange.
inline constexpr size_t kParsedStep = size_t{256} << 10;
// The most threads one parse uses, and the least text each is given.
inline constexpr unsigned kMaxParseThreads = 8;
inline constexpr size_t kMinPartBytes = size_t{512} << 10;

// Parses TEXT into SCENE (replacing its content). On failure fills ERROR,
// leaves SCENE empty and returns false.
bool parseVrml(std::string_view text, const ParseOptions& options, Scene& scene,
               ParseError& error);

}  // namespace kestrel
