// Documents: the JSON text that says which module libraries to load, which
// modules to make (class, name, properties, saved content) and how their
// ports are linked. The format:
//
//   { "libraries": ["JSatFix", "plugins/libX.so"],     optional
//     "modules": [ { "name": "gps", "class": "JSatFix",
//                    "properties": { "command": "ry" },  optional
//                    "content": { "command": "ry" } } ], optional
//     "links": [ { "from": "src", "output": 0,
//                  "to": "gps", "input": "bytes from COM" } ] }
//
// A library entry is a name (looked up as libNAME.so in the plug-in
// directory) or a path (relative paths start at the document's directory).
// A class that no library named provides is looked up as libCLASS.so in the
// plug-in directory. Relative paths in file properties start at the
// document's directory too. Ports are numbers or tags. Properties are set in the
// order given, then the content is read, then the links are made.
//
// Any problem (not JSON, unknown key, unknown class, a library that did not
// load and is needed, an unknown property or one of the wrong type or out
// of range, a refused property, a link to a port that does not exist, a
// second link into a one-link input, wrong value types) refuses the whole
// document with one message naming it; nothing has started then.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "modules/host/module_graph.h"
#include "modules/host/plugin_set.h"

namespace kestrel {

struct LoadOptions {
  std::string pluginDir;  // where libraries given by name are looked up
  std::string baseDir;    // where relative library paths start; "" for the working directory
};

// A document built and ready to start. The plug-ins outlive the graph.
struct Document {
  PluginSet plugins;
  ModuleGraph graph;
  std::vector<std::string> libraries;  // the library entries as written
  std::vector<std::string> warnings;   // libraries that failed but are not needed
};

std::unique_ptr<Document> loadDocument(const std::string& text, const LoadOptions& options,
                                       std::string* error);
// Reads the file; its directory becomes the base for relative library paths.
std::unique_ptr<Document> loadDocumentFile(const std::string& path, LoadOptions options,
                                           std::string* error);

// The document as it stands: libraries, every module's writeContent, links.
std::string saveDocument(const Document& document);
// Writes through a temporary file renamed into place, so a failed save
// never leaves a half-written document.
bool saveDocumentFile(const Document& document, const std::string& path, std::string* error);

}  // namespace kestrel
