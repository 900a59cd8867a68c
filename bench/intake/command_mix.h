// The realistic command mix of the intake benchmarks: setobject, setproperty
// and setvalue triples, with a 50-line data block after every 20 triples.
#pragma once

#include <string>
#include <vector>

namespace kestrel::bench {

inline std::vector<std::string> commandMix(size_t lines) {
  std::vector<std::string> mix;
  mix.reserve(lines + 60);
  int object = 0;
  while (mix.size() < lines) {
    for (int t = 0; t < 20 && mix.size() < lines; ++t, ++object) {
      mix.push_back("setobject ship_" + std::to_string(object % 1000));
      mix.push_back("setproperty translation");
      mix.push_back("setvalue " + std::to_string(object % 97) + " 1.5 -2.25");
    }
    mix.push_back("startdata buoy_" + std::to_string(object));
    for (int i = 0; i < 48; ++i) {
      mix.push_back("Shape { geometry Box { size 1 2 " + std::to_string(i) + " } }");
    }
    mix.push_back("enddata");
  }
  return mix;
}

}  // namespace kestrel::bench
