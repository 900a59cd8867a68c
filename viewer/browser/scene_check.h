// Command-line helpers over the parser: checking scene files and printing a
// parsed scene back as VRML97 text.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "viewer/browser/file_input.h"

namespace kestrel {

// Reads the scene text of PATH into TEXT; false with the problem in
// PROBLEM. Lets callers check and print files that become VRML text first.
using SceneTextReader =
    std::function<bool(const std::string& path, SceneText& text, std::string& problem)>;

// What becomes of the scenes checkSceneFiles and printSceneFile parse once
// they are done with. A program that exits right afterwards (kestrel --check
// and --print) keeps them: freeing a scene of many thousand nodes costs
// about as long as parsing it, and exiting gives the memory back anyway.
enum class SceneDisposal { kFree, kKeepUntilExit };

// The reader used when none is given: the file itself, as scene text
// (gzip-compressed text inflated).
bool readSceneTextOrSayWhy(const std::string& path, SceneText& text, std::string& problem);

// Parses each file leniently, as the viewer reads it, and prints a line per
// warning ("PATH: line L, column C: warning: what was skipped"), then one
// line per file: "PATH: ok" or "PATH: line L, column C: what was expected".
// Returns 0 when every file parsed (warnings or not), 1 otherwise. READ,
// when given, reads each file's text.
int checkSceneFiles(const std::vector<std::string>& paths, std::ostream& out,
                    const SceneTextReader& read = {},
                    SceneDisposal disposal = SceneDisposal::kFree);

// Parses PATH strictly (nothing may be skipped) and writes the scene back to
// OUT as VRML97 (ending with a comment when the graph could not be written
// exactly). On failure writes
// the "PATH: ..." error line instead and returns 1; 0 on success.
int printSceneFile(const std::string& path, std::ostream& out,
                   const SceneTextReader& read = {},
                   SceneDisposal disposal = SceneDisposal::kFree);

}  // namespace kestrel
