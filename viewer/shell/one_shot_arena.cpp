#include "viewer/shell/one_shot_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace kestrel {
namespace {

// What a thread takes from the range at a time: its own allocations then
// need no atomic step, and another thread's never share its cache lines.
constexpr size_t kChunk = size_t{64} << 10;
constexpr size_t kHugePage = size_t{2} << 20;
// The alignment operator new promises (__STDCPP_DEFAULT_NEW_ALIGNMENT__).
constexpr size_t kAlign = 16;

// Set once, before the arena serves anything, and never changed: readers
// on other threads see them through the thread's start or the atomic below.
char* rangeBegin = nullptr;
char* rangeEnd = nullptr;
std::atomic<char*> nextChunk{nullptr};

thread_local char* chunkNext = nullptr;
thread_local char* chunkEnd = nullptr;

// N bytes (a multiple of kAlign) from this thread's chunk, or null.
void* fromArena(size_t n) {
  if (static_cast<size_t>(chunkEnd - chunkNext) < n) {
    char* chunk = nextChunk.fetch_add(kChunk, std::memory_order_relaxed);
    if (chunk >= rangeEnd || static_cast<size_t>(rangeEnd - chunk) < kChunk) return nullptr;
    chunkNext = chunk;
    chunkEnd = chunk + kChunk;
  }
  void* p = chunkNext;
  chunkNext += n;
  return p;
}

void* allocate(size_t n) {
  if (rangeBegin != nullptr && n <= kOneShotLargest) {
    if (void* p = fromArena((n + kAlign - 1) & ~(kAlign - 1))) return p;
  }
  // malloc(0) may give null; operator new must not.
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}

void release(void* p) noexcept {
  if (!inOneShotArena(p)) std::free(p);
}

}  // namespace

bool startOneShotArena(size_t bytes, size_t hugeBytes) {
  if (bytes == 0 || rangeBegin != nullptr) return false;
  const size_t size = (bytes + kChunk - 1) / kChunk * kChunk;
  // Room to start on a huge page boundary; nothing is committed until used.
  void* mapped = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped == MAP_FAILED) return false;
  const auto raw = reinterpret_cast<uintptr_t>(mapped);
  auto* begin = reinterpret_cast<char*>((raw + kHugePage - 1) & ~(kHugePage - 1));
  ::madvise(begin, std::min(hugeBytes, size) / kHugePage * kHugePage, MADV_HUGEPAGE);
  rangeBegin = begin;
  rangeEnd = begin + size;
  nextChunk.store(begin, std::memory_order_release);
  return true;
}

bool inOneShotArena(const void* p) {
  const auto* c = static_cast<const char*>(p);
  return c >= rangeBegin && c < rangeEnd && rangeBegin != nullptr;
}

}  // namespace kestrel

// The program's allocation functions: the default ones but for the arena.
// Every form that pairs with plain delete is replaced, the nothrow ones
// too: a sanitizer supplies its own of any left out, and a block from its
// new must not reach free. (The aligned forms pair among themselves.)
void* operator new(std::size_t n) { return kestrel::allocate(n); }
void* operator new[](std::size_t n) { return kestrel::allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return kestrel::allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept {
  return operator new(n, tag);
}
void operator delete(void* p) noexcept { kestrel::release(p); }
void operator delete[](void* p) noexcept { kestrel::release(p); }
void operator delete(void* p, std::size_t) noexcept { kestrel::release(p); }
void operator delete[](void* p, std::size_t) noexcept { kestrel::release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { kestrel::release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { kestrel::release(p); }
