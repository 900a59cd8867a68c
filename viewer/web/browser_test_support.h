// What the tests that drive headless browsers share: the npm packages of
// browser_tests/ and reading the scripts' "name value" output lines.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "testing/child_process.h"

namespace kestrel::testing {

// Installs the npm packages the browser scripts need unless a finished
// install is there (install.sh serialises the tests that run at once).
inline void installBrowserDrivers(const std::string& scripts) {
  ChildProcess install("/bin/sh", {scripts + "/install.sh"});
  ASSERT_EQ(install.wait(120000), 0) << install.output();
}

// The rest of the first line of OUT that starts with PREFIX, or "".
inline std::string lineAfter(const std::string& out, const std::string& prefix) {
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(prefix)) return line.substr(prefix.size());
  }
  return "";
}

}  // namespace kestrel::testing
