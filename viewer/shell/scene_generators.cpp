#include "viewer/shell/scene_generators.h"

#include <cctype>

#include "viewer/engine/text_values.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += part + " ";
  return out;  // "x y z "
}

std::string nameOf(const GeneratorArgs& args, const char* fallback) {
  return args.value("name").value_or(fallback);
}

std::optional<SceneBlock> gridBlock(const GeneratorArgs& args) {
  std::vector<std::string> size = args.list("size", 'x', {"10", "10"});
  long long w = integerValue(size[0].c_str()), h = integerValue(size[1].c_str());
  if (w <= 0) w = 10;
  if (h <= 0) h = 10;
  if (w * h > kMaxGridCells) {
    logText("NOT QUEUED, GRID HAS TOO MANY CELLS:", nameOf(args, "grid").c_str());
    return std::nullopt;
  }
  std::vector<std::string> color = args.list("color", ',', {".5", ".5", ".5"});
  SceneBlock block{std::nullopt, nameOf(args, "grid"), {}};
  auto& p = block.pieces;
  p.reserve(static_cast<size_t>((w + 1) * (h + 1) * 3 + 7));
  p.emplace_back("Transform { ");
  p.push_back("translation " + joined(args.list("location", ',', {"0", "0", "0"})));
  p.emplace_back(" children [ Shape { appearance Appearance { material Material { ");
  p.push_back(" emissiveColor " + color[0] + " " + color[1] + " " + color[2] + " } }");
  p.emplace_back(" geometry IndexedLineSet { coord Coordinate { point [\n");
  for (long long i = 0; i <= w; ++i) {
    for (long long j = 0; j <= h; ++j) p.push_back(std::to_string(i) + " " + std::to_string(j) + " 0, ");
  }
  p.emplace_back(" ] } coordIndex [\n");
  auto segment = [&p](long long a, long long b) {
    p.push_back(std::to_string(a) + " " + std::to_string(b) + " -1, ");
  };
  for (long long j = 0; j <= w; ++j) {
    for (long long i = 0; i < h; ++i) segment((h + 1) * j + i, (h + 1) * j + i + 1);
  }
  for (long long i = 0; i < w; ++i) {
    for (long long j = 0; j <= h; ++j) segment((h + 1) * i + j, (h + 1) * (i + 1) + j);
  }
  p.emplace_back(" ] } } ] }");
  return block;
}

SceneBlock viewBlock(const GeneratorArgs& args) {
  std::vector<std::string> at = args.list("location", ',', {"0", "0", "10"});
  return SceneBlock{std::nullopt, nameOf(args, "view"),
                    {"Viewpoint { ", "position " + at[0] + " " + at[1] + " " + at[2], "} "}};
}

SceneBlock imageBlock(const GeneratorArgs& args) {
  std::vector<std::string> size = args.list("size", 'x', {"1", "1"});
  const std::string& w = size[0];
  const std::string& h = size[1];
  std::string url = args.value("url").value_or("c:/corvid/render/textures/aworld.png");
  return SceneBlock{
      std::nullopt,
      nameOf(args, "image"),
      {"Transform { translation ", joined(args.list("location", ',', {"0", "0", "0"})),
       " children [ Shape { appearance Appearance { ",
       " texture ImageTexture { url \"" + url + "\" } } ",
       " geometry IndexedFaceSet { coord Coordinate { point [ ",
       "0 0 0, 0 " + h + " 0, " + w + " " + h + " 0, " + w + " 0 0", " ] }",
       " coordIndex [ 3 2 1 0 -1 ] } ", " } ] }"}};
}

SceneBlock labelBlock(const GeneratorArgs& args) {
  std::string scale = args.value("scale").value_or("1");
  std::vector<std::string> c = args.list("color", ',', {"1", "1", "1"});
  std::string rgb = c[0] + " " + c[1] + " " + c[2];
  return SceneBlock{
      std::nullopt,
      nameOf(args, "label"),
      {"Transform { translation ", joined(args.list("location", ',', {"0", "0", "0"})),
       " scale ", scale + " " + scale + " " + scale + " ",
       " children [ Shape { appearance Appearance { ",
       " material Material { emissiveColor " + rgb + "  diffuseColor " + rgb + " } } ",
       " geometry Text3D { string [ ", args.value("text").value_or("\"test label\""), " ] }",
       " } ] }"}};
}

}  // namespace

GeneratorArgs::GeneratorArgs(const std::string& line) {
  size_t i = 0;
  while (tokens_.size() < kMaxTokens) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string token;
    bool quoted = false;
    for (; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
      if (line[i] == '"') quoted = !quoted;
      token += line[i];
    }
    if (tokens_.empty()) word_ = token;
    size_t eq = token.find('=');
    if (eq == std::string::npos) {
      tokens_.push_back({token, std::nullopt});
    } else {
      tokens_.push_back({token.substr(0, eq), token.substr(eq + 1)});
    }
  }
}

std::optional<std::string> GeneratorArgs::value(const std::string& key) const {
  for (const Token& token : tokens_) {
    if (token.key == key) return token.value;
  }
  return std::nullopt;
}

std::vector<std::string> GeneratorArgs::list(const std::string& key, char separator,
                                             std::vector<std::string> defaults) const {
  std::optional<std::string> text = value(key);
  if (!text) return defaults;
  size_t start = 0;
  for (std::string& part : defaults) {
    if (start > text->size()) break;
    size_t end = text->find(separator, start);
    if (end == std::string::npos) end = text->size();
    if (end > start) part = text->substr(start, end - start);
    start = end + 1;
  }
  return defaults;
}

std::optional<SceneBlock> generateBlock(const std::string& line) {
  GeneratorArgs args(line);
  const std::string& word = args.word();
  if (word.starts_with("grid")) return gridBlock(args);
  if (word.starts_with("view")) return viewBlock(args);
  if (word.starts_with("image")) return imageBlock(args);
  if (word.starts_with("label")) return labelBlock(args);
  return std::nullopt;
}

}  // namespace kestrel
