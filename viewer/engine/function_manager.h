// Command functions: named lists of command lines, replayed into the parser
// of a queue by `call` (and "jiggle" after every `cycle`).
//
// Engine thread only.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

class InternalCommandQueue;

class CommandFunction {
 public:
  static constexpr size_t kMaxLines = 100;

  explicit CommandFunction(std::string name) : name_(std::move(name)) {}
  // Appends a copy of LINE; false (and a log line) past kMaxLines.
  bool addLine(const std::string& line);
  const std::string& name() const { return name_; }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::string name_;
  std::vector<std::string> lines_;
};

class FunctionManager {
 public:
  static constexpr size_t kCapacity = 100;

  // Appends FUNCTION; false (and a log line) when the manager is full.
  bool add(CommandFunction function);
  // Replays the first function named NAME into the main ring of QUEUE,
  // holding the ring while its lines are added. The lines keep FILE_DEPTH,
  // the command file nesting of the call, so that command files that load
  // each other through a function still come to an end.
  void execute(InternalCommandQueue& queue, const std::string& name, int fileDepth = 0) const;
  size_t size() const { return functions_.size(); }

 private:
  std::vector<CommandFunction> functions_;
};

}  // namespace kestrel
