#include "viewer/engine/function_manager.h"

#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

bool CommandFunction::addLine(const std::string& line) {
  if (lines_.size() >= kMaxLines) {
    logText("function full, line dropped:", name_.c_str());
    return false;
  }
  lines_.push_back(line);
  return true;
}

bool FunctionManager::add(CommandFunction function) {
  if (functions_.size() >= kCapacity) {
    logText("function manager full, function not added:", function.name().c_str());
    return false;
  }
  functions_.push_back(std::move(function));
  return true;
}

void FunctionManager::execute(InternalCommandQueue& queue, const std::string& name,
                              int fileDepth) const {
  logText("FunctionManager::execute function", name.c_str());
  for (const CommandFunction& function : functions_) {
    if (function.name() != name) continue;
    logLine("FOUND THE FUNCTION");
    logLine("suspend queue");
    {
      // One hold of the queue for the whole replay: the function's blocks
      // stay whole even while other threads write lines.
      InternalCommandQueue::Writer writer(queue);
      writer.setFileDepth(fileDepth);
      writer.suspend();
      for (const std::string& line : function.lines()) {
        logText("put in line", line.c_str());
        writer.queue(line.c_str());
      }
      logLine("resume queue");
      writer.resume();
    }
    logLine("done with function execute");
    return;
  }
  logLine("DID NOT FIND THE FUNCTION");
}

}  // namespace kestrel
