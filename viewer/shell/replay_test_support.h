// A journal as a recorded run leaves it, for the replay tests: a red ball
// (radius 0.4) made at once and moved 2 units left, then 0.2 units right
// every 100 ms from 100 ms to 2 s, so its x is -2 + t / 500 ms. And what
// a replay stopped at a time leaves, from the real program.
#pragma once

#include <cmath>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "testing/child_process.h"
#include "testing/test_support.h"

namespace kestrel::testing {

inline void writeBallJournal(const TempDir& dir) {
  std::string text =
      "# kestrel journal 1\n"
      "# started 2026-12-08T10:00:00.000000000Z, times in milliseconds since then\n"
      "0 P 10 startdata \"ball\"\n"
      "0 P+ 14 data \"DEF Xform_ball Transform { children [ Shape { appearance Appearance { "
      "material DEF Mat_ball Material { diffuseColor 1 0 0 } } geometry Sphere { radius 0.4 } "
      "} ] }\"\n"
      "0 P+ 13 enddata \"enddata\"\n"
      "0 P 61 setobject \"ball\"\n";
  for (int i = 0; i < 10; ++i) text += "0 P 15 left\n";
  for (int ms = 100; ms <= 2000; ms += 100) text += std::to_string(ms) + " P 16 right\n";
  dir.write("run.journal", text);
}

// The ball's x in a state file (its second line: the position).
inline double ballX(const std::string& state) {
  std::istringstream lines(state);
  std::string count, name;
  double x = NAN;
  lines >> count >> name >> x;
  EXPECT_EQ(name, "ball") << state;
  return x;
}

// The state file of kestrel --replay run.journal --to TO, run headless.
inline std::string replayedTo(const TempDir& dir, const std::string& to) {
  std::string state = dir.file("to" + to + ".state");
  ChildProcess replay(programPath("viewer/shell/kestrel"),
                      {"--headless", "-C", dir.path(), "--replay", dir.file("run.journal"),
                       "--speed", "1000", "--to", to, "--save-state", state});
  EXPECT_EQ(replay.wait(20000), 0) << replay.output();
  return readFile(state);
}

}  // namespace kestrel::testing
