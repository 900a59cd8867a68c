#include "viewer/intake/command_file.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

bool readCommandFile(const std::string& path, InternalCommandQueue& queue, int depth) {
  if (depth > kMaxCommandFileDepth) {
    std::string message = "command files nested more than " +
                          std::to_string(kMaxCommandFileDepth) + " deep, not opening";
    logText(message.c_str(), path.c_str());
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    logLine("could not open file");
    return false;
  }
  char line[1000];
  std::optional<InternalCommandQueue::Writer> writer;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
    if (!writer) {
      writer.emplace(queue);
      writer->setFileDepth(depth);
    }
    writer->queue(line);
    // Between blocks, let the taker and the other producers in.
    if (!writer->inBlock()) writer.reset();
  }
  std::fclose(file);
  return true;
}

}  // namespace kestrel
