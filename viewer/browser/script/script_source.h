// Where a Script's program comes from: the first of its URLs that is
// ECMAScript, either inline ("javascript:", "vrmlscript:" or
// "ecmascript:" followed by the program) or a file (a ".js" file, or any
// local file), resolved like every URL of its scene.
#pragma once

#include <string>
#include <vector>

#include "viewer/browser/url_resolver.h"

namespace kestrel {

struct ScriptSource {
  std::string program;
  std::string file;  // the file it was read from; empty when inline
};

// The program of the Script named NAME with URLS. False, with one log
// line, when none of them gives ECMAScript (Java classes are not run);
// false without a line when there are no URLs (scenes keep values in such
// Scripts).
bool findScriptSource(const std::vector<std::string>& urls, const UrlResolver& resolver,
                      const std::string& baseDir, const std::string& name,
                      ScriptSource& source);

}  // namespace kestrel
