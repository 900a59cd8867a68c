#include "viewer/shell/one_shot_heap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>

namespace kestrel {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMaxReserve = size_t{1} << 30;
constexpr size_t kSmallPagedHead = size_t{4} << 20;
constexpr size_t kBytesPerFileByte = 16;
// glibc's default heap pad.
constexpr int kDefaultTopPad = 128 << 10;
// glibc's largest allowed mmap threshold on 64-bit systems.
constexpr int kMmapThreshold = 32 << 20;

}  // namespace

size_t heapForSceneFiles(const std::vector<std::string>& paths) {
  size_t total = 0;
  for (const std::string& path : paths) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) total += static_cast<size_t>(size);
  }
  const size_t wanted = std::min(total, kMaxReserve / kBytesPerFileByte) * kBytesPerFileByte;
  return wanted < kHugePage ? 0 : wanted;
}

bool reserveHugePageHeap(size_t bytes) {
  if (bytes < kHugePage) return false;
  mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
  mallopt(M_TOP_PAD, static_cast<int>(std::min(bytes, kMaxReserve)));
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());  // never give it back
  auto* before = static_cast<char*>(sbrk(0));
  // More than all the heap has free, so malloc grows it by the pad now.
  const size_t probeBytes = mallinfo2().fordblks + (size_t{1} << 20);
  void* volatile probe = std::malloc(probeBytes);
  std::free(probe);
  auto* after = static_cast<char*>(sbrk(0));
  // Later growth goes back to small steps: the huge pages cover only this
  // range, and a pad this large could not be had again where memory is
  // strictly accounted (overcommit off).
  mallopt(M_TOP_PAD, kDefaultTopPad);
  if (before == reinterpret_cast<char*>(-1) || after <= before) return false;
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  // The first few MiB stay in small pages (see the header).
  const uintptr_t start =
      (reinterpret_cast<uintptr_t>(before) + kSmallPagedHead + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(after) & ~(page - 1);
  if (end <= start) return false;
  return madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE) == 0;
}

void shareMainHeapWithThreads() { mallopt(M_ARENA_MAX, 1); }

}  // namespace kestrel
