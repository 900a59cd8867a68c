// A browser with a log of its own for the Script tests: worlds from text
// or corpus files, events sent in as the viewer sends them, member values
// and log lines read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "testing/test_support.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {

struct ScriptRig {
  testing::TempDir dir;
  CVrmlBrowser browser{dir.path()};

  // Appends the world TEXT to the scene; false when it does not parse.
  bool load(const std::string& text) {
    VrmlContent content;
    return browser.createFromString(text, content) && browser.appendToRoot(content);
  }
  bool loadFile(const std::string& path) {
    VrmlContent content;
    return browser.createFromFile(path, content) && browser.appendToRoot(content);
  }
  NodePtr node(const std::string& name) const {
    NodeHandle h;
    browser.findNode(name, h);
    return h.node();
  }
  // Sends V into member MEMBER of the node NAME, as the viewer does.
  bool send(const std::string& name, const std::string& member, FieldValue v) {
    FieldHandle h;
    return browser.field(NodeHandle(node(name)), member, h) && h.set(std::move(v));
  }
  const FieldValue& value(const std::string& name, const std::string& member) const {
    static const FieldValue none;
    NodePtr n = node(name);
    const FieldValue* v = n ? n->field(member) : nullptr;
    return v ? *v : none;
  }
  template <class T>
  T get(const std::string& name, const std::string& member) const {
    const T* v = value(name, member).as<T>();
    return v ? *v : T{};
  }
  std::string log() const { return dir.read("kestrel.log"); }
  // How many lines of the log hold TEXT.
  int logLines(const std::string& text) const {
    int n = 0;
    for (size_t at = log().find(text); at != std::string::npos; at = log().find(text, at + 1)) ++n;
    return n;
  }
};

inline std::string corpusFile(const char* name) {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  return std::string(src ? src : ".") + "/testing/corpus/vrml/" + name;
}

inline FieldValue sfTime(double t) { return FieldValue{FieldType::SFTime, t}; }
inline FieldValue sfFloat(float f) { return FieldValue{FieldType::SFFloat, f}; }

}  // namespace kestrel
