// Test helper: a scene parsed from VRML text (header optional).
#pragma once

#include <gtest/gtest.h>

#include "viewer/browser/parser.h"

namespace kestrel {

inline Scene parseScene(std::string_view text) {
  Scene scene;
  ParseError error;
  ParseOptions options;
  options.requireHeader = false;
  bool ok = parseVrml(text, options, scene, error);
  EXPECT_TRUE(ok) << error.message;
  return scene;
}

}  // namespace kestrel
