#include "viewer/web/object_list_html.h"

#include <cstdio>
#include <vector>

#include "viewer/engine/visual_object_registry.h"
#include "viewer/web/html_text.h"

namespace kestrel {
namespace {

bool plainIdentifier(const std::string& name) {
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_';
    if (!ok) return false;
  }
  return true;
}

// One line of checkAllViz/uncheckAllViz. Names that are no script
// identifier are reached through elements[...] with the name as a string
// escaped for script inside HTML.
std::string scriptCheck(const std::string& name, const char* state) {
  if (plainIdentifier(name)) {
    return "document.vizForm.object_" + name + ".checked = " + state + ";\n";
  }
  std::string quoted;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&' || c == '\'') {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      quoted += code;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return "if (document.vizForm.elements[\"object_" + quoted + "\"]) document.vizForm.elements[\"object_" +
         quoted + "\"].checked = " + state + ";\n";
}

}  // namespace

std::string objectListHtml(const VisualObjectRegistry& registry, const std::string& type) {
  const std::vector<std::string> names = registry.names();
  if (names.empty()) return "No visual objects are loaded";
  // Names come from scene files and command lines: they are escaped where
  // they meet HTML and script, and the list is never cut (a cut in the
  // middle of the script would swallow the rest of the page).
  std::string out;
  for (const std::string& name : names) {
    std::string shown = htmlEscape(name);
    out += "<input type=\"" + type + "\" name=\"object_" + shown + "\">" + shown + "<br>\n";
  }
  out += "\n\n<script language=\"JavaScript\">\nfunction checkAllViz() {\n";
  for (const std::string& name : names) out += scriptCheck(name, "true");
  out += "}\n\nfunction uncheckAllViz() {\n";
  for (const std::string& name : names) out += scriptCheck(name, "false");
  out += "}\n\n</script>\n";
  return out;
}

}  // namespace kestrel
