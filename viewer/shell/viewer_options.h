// The viewer's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

struct ViewerOptions {
  bool headless = false;
  bool help = false;
  uint16_t commandPort = 3502;
  uint16_t secondaryPort = 3503;
  std::string workingDirectory;     // -C DIR; empty: stay where started
  std::string renderRoot;           // --render-root DIR; empty: the default
  std::string saveStatePath;        // --save-state FILE; empty: none
  bool check = false;               // --check FILE...: parse scene files
  bool print = false;               // --print FILE: write a parsed scene
  std::vector<std::string> files;   // files named on the command line
};

// Parses ARGV. On a bad command line returns false with a message in *error.
bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions* options,
                        std::string* error);

// The text printed by --help.
std::string viewerUsage();

}  // namespace kestrel
