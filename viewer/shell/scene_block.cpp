#include "viewer/shell/scene_block.h"

#include "viewer/browser/text_origin.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

std::vector<std::string> joinPieces(const std::vector<std::string>& pieces) {
  std::vector<std::string> entries;
  std::string chunk;
  bool open = false;
  for (const std::string& piece : pieces) {
    if (open && chunk.size() + 1 + piece.size() > kChunkBytes) {
      entries.push_back(std::move(chunk));
      chunk.clear();
      open = false;
    }
    if (open) chunk += '\n';
    chunk += piece;
    open = true;
  }
  if (open) entries.push_back(std::move(chunk));
  return entries;
}

bool queueSceneBlock(InternalCommandQueue& queue, BlockRoute route, const SceneBlock& block,
                     const std::string& sourceFile) {
  std::vector<std::string> entries = joinPieces(block.pieces);
  InternalCommandQueue::Writer writer(queue);
  if (route == BlockRoute::kPriority) writer.beginPriorityBatch();
  if (block.setInfo) writer.put(cmd::kSetInfo, block.setInfo->c_str());
  bool fits = writer.freeSlots() >= static_cast<long>(entries.size()) + 2;
  if (fits) {
    if (route == BlockRoute::kSuspended) writer.suspend();
    writer.put(cmd::kStartData, blockNameWithOrigin(block.name, sourceFile).c_str());
    for (const std::string& entry : entries) writer.put(cmd::kDataLine, entry.c_str());
    writer.put(cmd::kEndData, nullptr);
  } else {
    logText("NOT QUEUED, BLOCK DOES NOT FIT THE COMMAND QUEUE:", block.name.c_str());
  }
  if (route == BlockRoute::kPriority) {
    writer.endPriorityBatch();
  } else {
    writer.resume();
  }
  return fits;
}

std::string blockText(const std::vector<std::string>& pieces) {
  std::string text;
  for (const std::string& piece : pieces) {
    text += piece;
    text += '\n';
  }
  return text;
}

}  // namespace kestrel
