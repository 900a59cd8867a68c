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
  // Set: called with an offset each time the parse of this text (not of the
  // files it loads) has read about another kParsedStep bytes; the parse is
  // done with the text before it. A mapped file's pages can go back then.
  std::function<void(size_t offset)> parsedUpTo;
};

// How far the parse moves between calls of ParseOptions::parsedUpTo.
inline constexpr size_t kParsedStep = size_t{256} << 10;

// Parses TEXT into SCENE (replacing its content). On failure fills ERROR,
// leaves SCENE empty and returns false.
bool parseVrml(std::string_view text, const ParseOptions& options, Scene& scene,
               ParseError& error);

}  // namespace kestrel
