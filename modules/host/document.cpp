#include "modules/host/document.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "modules/common/jregistry.h"
#include "modules/host/document_values.h"

namespace kestrel {
namespace {

using Json = nlohmann::ordered_json;

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string libraryPath(const std::string& entry, const LoadOptions& options) {
  if (entry.find('/') == std::string::npos) return PluginSet::pathFor(options.pluginDir, entry);
  if (entry[0] == '/' || options.baseDir.empty()) return entry;
  return options.baseDir + "/" + entry;
}

class Builder {
 public:
  Builder(Document& doc, const LoadOptions& options) : doc_(doc), options_(options) {}

  std::string build(const Json& root) {
    if (!root.is_object()) return "the document is not a JSON object";
    for (const auto& [key, value] : root.items()) {
      if (key != "libraries" && key != "modules" && key != "links" && key != "comment") {
        return "unknown key '" + key + "' in the document";
      }
    }
    std::string e;
    if (!(e = loadLibraries(root)).empty()) return e;
    if (!root.contains("modules") || !root["modules"].is_array()) {
      return "the document has no \"modules\" list";
    }
    for (const auto& m : root["modules"]) {
      if (!(e = checkModule(m)).empty()) return e;
    }
    for (const auto& m : root["modules"]) {
      if (!(e = makeModule(m)).empty()) return e;
    }
    if (root.contains("links")) {
      if (!root["links"].is_array()) return "\"links\" must be a list";
      for (const auto& l : root["links"]) {
        if (!(e = makeLink(l)).empty()) return e;
      }
    }
    for (const auto& [path, message] : failed_) {
      doc_.warnings.push_back("plug-in '" + path + "' not loaded: " + message);
    }
    return "";
  }

 private:
  std::string loadLibraries(const Json& root) {
    if (!root.contains("libraries")) return "";
    if (!root["libraries"].is_array()) return "\"libraries\" must be a list of names or paths";
    for (const auto& entry : root["libraries"]) {
      if (!entry.is_string()) return "\"libraries\" must be a list of names or paths";
      doc_.libraries.push_back(entry.get<std::string>());
      load(libraryPath(entry.get<std::string>(), options_));
    }
    return "";
  }

  void load(const std::string& path) {
    PluginLoad result = doc_.plugins.load(path);
    if (!result.ok) failed_[path] = result.message;
  }

  std::string checkModule(const Json& m) {
    if (!m.is_object()) return "each entry of \"modules\" must be an object";
    if (!m.contains("name") || !m["name"].is_string() || m["name"].get<std::string>().empty()) {
      return "a module has no \"name\"";
    }
    const std::string name = m["name"].get<std::string>();
    for (const auto& [key, value] : m.items()) {
      if (key != "name" && key != "class" && key != "properties" && key != "content") {
        return "module '" + name + "': unknown key '" + key + "'";
      }
    }
    if (!m.contains("class") || !m["class"].is_string()) {
      return "module '" + name + "' has no \"class\"";
    }
    const std::string cls = m["class"].get<std::string>();
    if (!JModuleRegistry::global().contains(cls)) {
      const std::string path = PluginSet::pathFor(options_.pluginDir, cls);
      if (cls.find('/') == std::string::npos && !failed_.count(path) && fileExists(path)) load(path);
    }
    if (JModuleRegistry::global().contains(cls)) return "";
    std::string text = "module '" + name + "': unknown class '" + cls + "'";
    for (const auto& [path, message] : failed_) {
      text += "; plug-in '" + path + "' did not load: " + message;
    }
    return text;
  }

  std::string makeModule(const Json& m) {
    const std::string name = m["name"].get<std::string>();
    std::string e = doc_.graph.add(name, JModuleRegistry::global().create(m["class"].get<std::string>()));
    if (!e.empty()) return e;
    JAddObj& module = *doc_.graph.find(name);
    if (m.contains("properties")) {
      if (!m["properties"].is_object()) return "module '" + name + "': \"properties\" must be an object";
      for (const auto& [key, value] : m["properties"].items()) {
        if (!(e = setProperty(module, name, key, value, options_.baseDir)).empty()) return e;
      }
    }
    if (m.contains("content")) {
      JContent content;
      if (!(e = contentFromJson(m["content"], content)).empty()) return "module '" + name + "': " + e;
      module.readContent(content);
    }
    return "";
  }

  std::string port(const Json& value, const JAddObj& module, bool output, int* out) {
    if (value.is_number_integer()) {
      long long n = value.get<long long>();
      *out = n < INT_MIN || n > INT_MAX ? -1 : static_cast<int>(n);
      return "";
    }
    if (!value.is_string()) return "a link port must be a number or a tag";
    const std::string tag = value.get<std::string>();
    const int count = output ? module.outputCount() : module.inputCount();
    for (int p = 0; p < count; ++p) {
      if ((output ? module.outputTag(p) : module.inputTag(p)) == tag.c_str()) {
        *out = p;
        return "";
      }
    }
    return "'" + doc_.graph.nameOf(&module) + "' has no " + (output ? "output" : "input") +
           " tagged '" + tag + "'";
  }

  std::string makeLink(const Json& l) {
    if (!l.is_object()) return "each entry of \"links\" must be an object";
    for (const char* key : {"from", "output", "to", "input"}) {
      if (!l.contains(key)) return std::string("a link has no \"") + key + "\"";
    }
    for (const auto& [key, value] : l.items()) {
      if (key != "from" && key != "output" && key != "to" && key != "input") {
        return "a link has an unknown key '" + key + "'";
      }
    }
    if (!l["from"].is_string() || !l["to"].is_string()) return "a link's \"from\" and \"to\" must be module names";
    const std::string from = l["from"].get<std::string>();
    const std::string to = l["to"].get<std::string>();
    const JAddObj* source = doc_.graph.find(from);
    const JAddObj* target = doc_.graph.find(to);
    if (!source) return "a link comes from '" + from + "', which is no module";
    if (!target) return "a link goes to '" + to + "', which is no module";
    int output = -1, input = -1;
    std::string e;
    if (!(e = port(l["output"], *source, true, &output)).empty()) return e;
    if (!(e = port(l["input"], *target, false, &input)).empty()) return e;
    return doc_.graph.link(from, output, to, input);
  }

  Document& doc_;
  const LoadOptions& options_;
  std::map<std::string, std::string> failed_;  // library path -> loader's message
};

}  // namespace

std::unique_ptr<Document> loadDocument(const std::string& text, const LoadOptions& options,
                                       std::string* error) {
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::exception& e) {
    if (error) *error = std::string("not a JSON document: ") + e.what();
    return nullptr;
  }
  auto doc = std::make_unique<Document>();
  std::string problem = Builder(*doc, options).build(root);
  if (!problem.empty()) {
    if (error) *error = problem;
    return nullptr;
  }
  return doc;
}

std::unique_ptr<Document> loadDocumentFile(const std::string& path, LoadOptions options,
                                           std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read '" + path + "'";
    return nullptr;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (options.baseDir.empty()) {
    const auto slash = path.rfind('/');
    options.baseDir = slash == std::string::npos ? "." : path.substr(0, slash);
  }
  auto doc = loadDocument(text.str(), options, error);
  if (!doc && error) *error = path + ": " + *error;
  return doc;
}

std::string saveDocument(const Document& document) {
  Json root = Json::object();
  if (!document.libraries.empty()) root["libraries"] = document.libraries;
  Json modules = Json::array();
  for (const auto& node : document.graph.nodes()) {
    JContent content;
    node.module->writeContent(content);
    Json m = Json::object();
    m["name"] = node.name;
    m["class"] = node.module->className().str();
    m["content"] = contentToJson(content);
    modules.push_back(std::move(m));
  }
  root["modules"] = std::move(modules);
  Json links = Json::array();
  for (const auto& link : document.graph.links()) {
    links.push_back(Json{{"from", document.graph.nameOf(link->from())},
                         {"output", link->fromPort()},
                         {"to", document.graph.nameOf(link->to())},
                         {"input", link->toPort()}});
  }
  root["links"] = std::move(links);
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool saveDocumentFile(const Document& document, const std::string& path, std::string* error) {
  const std::string temporary = path + ".saving";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << saveDocument(document);
    out.flush();
    if (!out) {
      if (error) *error = "cannot write '" + temporary + "'";
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot replace '" + path + "'";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace kestrel
