// The "*" generators: a line such as "*grid size=2x1 color=1,0,0 name=g"
// becomes the pieces of a data block named after its "name" argument. The
// generators are grid, view (a viewpoint), image (a textured rectangle) and
// label (a Text3D). Values are inserted into the scene text unchanged.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "viewer/shell/scene_block.h"

namespace kestrel {

// The tokens of a "*" line, each cut at its first "=" into key and value.
class GeneratorArgs {
 public:
  static constexpr size_t kMaxTokens = 10;

  // A token runs to the next white space outside double quotes (the quotes
  // stay in the token). Tokens beyond kMaxTokens are dropped.
  explicit GeneratorArgs(const std::string& line);

  // The first token, the generator word ("" when the line is blank).
  const std::string& word() const { return word_; }
  // The value of the first token whose key is KEY; nullopt when there is no
  // such token or it has no "=".
  std::optional<std::string> value(const std::string& key) const;
  // The value of KEY cut at SEPARATOR into the parts of DEFAULTS; a missing
  // or empty part keeps its default.
  std::vector<std::string> list(const std::string& key, char separator,
                                std::vector<std::string> defaults) const;

 private:
  struct Token {
    std::string key;
    std::optional<std::string> value;
  };
  std::string word_;
  std::vector<Token> tokens_;
};

// More cells than this make a grid too large to build (a block of several
// million entries); such a line is refused with a log line.
inline constexpr long long kMaxGridCells = 1000000;

// The block a "*" line makes, or nullopt when its word names no generator
// or its arguments are refused.
std::optional<SceneBlock> generateBlock(const std::string& line);

}  // namespace kestrel
