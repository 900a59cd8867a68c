// Test helpers for driving a CVrmlBrowser: content appended from text,
// events sent by DEF name, members read back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "viewer/browser/vrml_browser.h"

namespace kestrel::testing {

inline void append(CVrmlBrowser& browser, std::string_view text) {
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(text, content)) << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
}

inline NodeHandle named(const CVrmlBrowser& browser, std::string_view name) {
  NodeHandle node;
  EXPECT_TRUE(browser.findNode(name, node)) << name;
  return node;
}

// Sends VALUE to member MEMBER of the node DEF'd NAME.
template <class T>
bool send(CVrmlBrowser& browser, std::string_view name, std::string_view member, FieldType type,
          T value) {
  FieldHandle h;
  if (!browser.field(named(browser, name), member, h)) return false;
  return h.set(FieldValue{type, std::move(value)});
}

// The value of member MEMBER of the node DEF'd NAME, as a T (T{} when missing).
template <class T>
T read(const CVrmlBrowser& browser, std::string_view name, std::string_view member) {
  FieldHandle h;
  if (!browser.field(named(browser, name), member, h)) return T{};
  const T* v = h.value() ? h.value()->as<T>() : nullptr;
  return v ? *v : T{};
}

}  // namespace kestrel::testing
