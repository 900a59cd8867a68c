// One node packet as a receive slot holds it (at most 249 characters and a
// terminator), split and parsed in place as the port handler does. The
// sentence references must stay inside the slot, the time text inside its
// buffer, and the milliseconds below 1000, whatever arrives.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "modules/fleettap/kv_rov_packet.h"

namespace {

constexpr size_t kSlot = 250;

bool inside(const char* p, const char* slot) { return p == nullptr || (p >= slot && p < slot + kSlot); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char slot[kSlot];
  const size_t length = size < kSlot - 1 ? size : kSlot - 1;
  std::memcpy(slot, data, length);
  slot[length] = '\0';
  char* first = nullptr;
  char* second = nullptr;
  parsePacket_full(slot, &first, &second);
  if (!inside(first, slot) || !inside(second, slot)) __builtin_trap();
  const char* end = slot + length;
  sentenceChecksumOk(first, end);
  sentenceChecksumOk(second, end);
  kv_rov_report report;
  if (parsePacket_s1(first, &report)) {
    if (report.utc1970_.millis > 999) __builtin_trap();
    if (std::memchr(report.utcString_, '\0', sizeof report.utcString_) == nullptr) __builtin_trap();
  }
  parsePacket_s2(second, &report);
  // The whole text as one sentence of either kind, too.
  parsePacket_s1(slot, &report);
  parsePacket_s2(slot, &report);
  return 0;
}
