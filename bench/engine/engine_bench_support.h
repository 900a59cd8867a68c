// What the engine benchmarks share: command text queued line by line, the
// queue drained by ticks, and objects made from data blocks.
#pragma once

#include <chrono>
#include <string>

#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"

namespace kestrel::bench {

inline std::string objectBlock(int i) {
  std::string n = "obj" + std::to_string(i);
  return "startdata " + n + "\nDEF Xform_" + n +
         " Transform { children [ Shape { appearance Appearance { material DEF Mat_" + n +
         " Material { diffuseColor 0.2 0.4 0.8 } } geometry Box { size 1 1 1 } } ] }\nenddata";
}

inline void queueText(InternalCommandQueue& q, const std::string& text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    q.queue(text.substr(start, end - start).c_str());
    start = end + 1;
  }
}

inline void drain(Engine& engine, InternalCommandQueue& q) {
  while (q.waiting() > 0) engine.onTimer();
}

// Objects obj0..objN-1 built in fast mode; returns seconds per object.
inline double makeObjects(Engine& engine, InternalCommandQueue& q, int n) {
  queueText(q, "fast");
  queueText(q, "starttemplate transform\nTransform { children [ %s ] }\nendtemplate");
  drain(engine, q);
  for (int i = 0; i < n; ++i) queueText(q, objectBlock(i));
  auto start = std::chrono::steady_clock::now();
  drain(engine, q);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
}

}  // namespace kestrel::bench
