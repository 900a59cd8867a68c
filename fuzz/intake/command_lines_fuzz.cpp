// Any sequence of lines through the parser and the queue, with the taker
// draining as the engine does. Checks the queue's own invariants as it goes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

using kestrel::InternalCommandQueue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    kestrel::openLogIn("/tmp");
    return true;
  }();
  (void)once;
  // One queue for every input: building its two 30000-slot rings anew for
  // each input cost far more than the input itself.
  static InternalCommandQueue queue;
  queue.reset();
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  int lines = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    // Control bytes steer the harness: 0x01 takes, 0x02 runs a priority batch.
    if (line == "\x01") {
      while (auto entry = queue.take()) {
        if (entry->code < 0 || entry->code >= kestrel::cmd::kCount) std::abort();
        if (entry->argument() != nullptr) {
          const char* text = entry->text();
          if (text == nullptr) std::abort();
          size_t length = std::strlen(text);
          // The argument starts after the NUL that ended the text, or one
          // character later past a '_'.
          if (entry->argument() < text + length + 1 || entry->argument() > text + length + 2) {
            std::abort();
          }
        }
      }
    } else if (line == "\x02") {
      InternalCommandQueue::Writer writer(queue);
      writer.beginPriorityBatch();
      writer.put(kestrel::cmd::kStartData, "batch");
      writer.put(kestrel::cmd::kDataLine, "Sphere {}");
      writer.put(kestrel::cmd::kEndData, nullptr);
      writer.endPriorityBatch();
    } else {
      queue.queue(line.c_str());
    }
    if (++lines > 100000) break;
    start = end + 1;
  }
  while (queue.takeNext()) {
  }
  return 0;
}
