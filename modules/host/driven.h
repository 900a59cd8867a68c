// Driven: what a built-in module of the host offers when it acts on its own
// (a clock that ticks, a source that reads bytes, a sender that retries).
//
// The runner asks every driven module, on the host's thread, for a file
// descriptor to wait on and a time to be woken; wake() is then called when
// the descriptor is readable or the time has come. The run goes on while
// at least one module is live (still delivers input).
#pragma once

#include <chrono>
#include <string>

namespace kestrel {

class Driven {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~Driven() = default;
  // Called once at the start of a run, for every driven module before any
  // is woken: values that hold from the start are sent here.
  virtual void begin() {}
  // A descriptor to wait on for reading, or -1.
  virtual int waitFd() const { return -1; }
  // When to be woken without input; max() for never.
  virtual Clock::time_point wakeAt() const { return Clock::time_point::max(); }
  virtual void wake(Clock::time_point now, bool readable) = 0;
  // True while the module still delivers input and keeps the run going.
  virtual bool live() const { return false; }
  // What went wrong at startup() (a device that would not open), or empty.
  virtual std::string problem() const { return ""; }
};

}  // namespace kestrel
