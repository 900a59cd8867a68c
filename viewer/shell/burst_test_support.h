// A burst of objects for the tests of a viewer's shutdown: the lines that
// create N objects named obj0, obj1, ..., and a count of those a state file
// lacks.
#pragma once

#include <string>

namespace kestrel::testing {

inline std::string objectBurst(int count) {
  std::string burst;
  for (int k = 0; k < count; ++k) {
    std::string name = "obj" + std::to_string(k);
    burst += "startdata " + name + "\nDEF Xform_" + name +
             " Transform { children [ Shape { geometry Box { } } ] }\nenddata\n";
  }
  return burst;
}

inline int objectsMissingFrom(const std::string& stateText, int count) {
  int missing = 0;
  for (int k = 0; k < count; ++k) {
    if (stateText.find("\nobj" + std::to_string(k) + "\n") == std::string::npos) ++missing;
  }
  return missing;
}

}  // namespace kestrel::testing
