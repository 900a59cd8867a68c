#include "viewer/intake/command_file.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// Passes lines of FILE to QUEUE, marked as nested DEPTH deep; with BUDGETED
// set it stops between blocks once MAX_BYTES were read or the ring is half
// full. True at the file's end.
bool passLines(std::FILE* file, InternalCommandQueue& queue, int depth, bool budgeted,
               size_t maxBytes) {
  char line[1000];
  size_t bytes = 0;
  std::optional<InternalCommandQueue::Writer> writer;
  for (;;) {
    if (!writer) {
      writer.emplace(queue);
      bool full = writer->freeSlots() < CommandRing::kSlots / 2;
      if (budgeted && (bytes >= maxBytes || full)) return false;
      writer->setFileDepth(depth);
    }
    if (std::fgets(line, sizeof line, file) == nullptr) return true;
    size_t length = std::strlen(line);
    bytes += length;
    if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
    writer->queue(line);
    // Between blocks, let the taker and the other producers in.
    if (!writer->inBlock()) writer.reset();
  }
}

}  // namespace

bool readCommandFile(const std::string& path, InternalCommandQueue& queue, int depth) {
  CommandFileFeed feed;
  if (!feed.open(path, depth)) return false;
  feed.feed(queue, SIZE_MAX);  // without a budget: the whole file
  return true;
}

bool CommandFileFeed::open(const std::string& path, int depth) {
  file_.reset();
  if (depth > kMaxCommandFileDepth) {
    std::string message = "command files nested more than " +
                          std::to_string(kMaxCommandFileDepth) + " deep, not opening";
    logText(message.c_str(), path.c_str());
    return false;
  }
  depth_ = depth;
  file_.reset(std::fopen(path.c_str(), "r"));
  if (!file_) logLine("could not open file");
  return file_ != nullptr;
}

bool CommandFileFeed::feed(InternalCommandQueue& queue, size_t maxBytes) {
  if (!file_) return false;
  bool budgeted = maxBytes != SIZE_MAX;
  if (passLines(file_.get(), queue, depth_, budgeted, maxBytes)) file_.reset();
  return file_ != nullptr;
}

}  // namespace kestrel
