#include "viewer/browser/file_mapping.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace kestrel {
namespace {

// The live mappings, as the SIGBUS handler sees them: a fixed table of
// atomics, as a signal handler may take no lock and allocate nothing.
struct MappedRange {
  std::atomic<uintptr_t> begin{0};  // 0: the slot is free
  std::atomic<uintptr_t> end{0};    // rounded up to whole pages
  std::atomic<bool> cut{false};
};
constexpr size_t kMaxMappings = 64;
std::array<MappedRange, kMaxMappings> mappedRanges;
// Guards the slots' claiming and freeing (not the handler's reads).
std::mutex slotsMutex;

struct sigaction previousBusAction {};
// sysconf is not for signal handlers: the page size is taken beforehand.
uintptr_t pageSizeForHandler = 4096;

// Replaces the rest of the mapping that holds ADDRESS, from its page on,
// with zero pages. False when ADDRESS is in no mapping of ours.
bool zeroFillFrom(uintptr_t address) {
  const uintptr_t pageSize = pageSizeForHandler;
  for (MappedRange& range : mappedRanges) {
    const uintptr_t begin = range.begin.load(std::memory_order_acquire);
    const uintptr_t end = range.end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= end) continue;
    const uintptr_t page = address & ~(pageSize - 1);
    void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros == MAP_FAILED) return false;
    range.cut.store(true, std::memory_order_release);
    return true;
  }
  return false;
}

void onBusError(int signal, siginfo_t* info, void* context) {
  if (zeroFillFrom(reinterpret_cast<uintptr_t>(info->si_addr))) return;  // the read retries
  // Not ours: as before this handler came. A default or ignored action is
  // put back, and the faulting instruction, run again, meets it.
  if (previousBusAction.sa_flags & SA_SIGINFO) {
    previousBusAction.sa_sigaction(signal, info, context);
  } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
    previousBusAction.sa_handler(signal);
  } else {
    ::sigaction(SIGBUS, &previousBusAction, nullptr);
  }
}

void installBusHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    pageSizeForHandler = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousBusAction);
  });
}

// A free slot, claimed for [BEGIN, END); kMaxMappings when none is free.
size_t claimSlot(uintptr_t begin, uintptr_t end) {
  std::lock_guard lock(slotsMutex);
  for (size_t i = 0; i < kMaxMappings; ++i) {
    MappedRange& range = mappedRanges[i];
    if (range.begin.load(std::memory_order_relaxed) != 0) continue;
    range.cut.store(false, std::memory_order_relaxed);
    range.end.store(end, std::memory_order_relaxed);
    range.begin.store(begin, std::memory_order_release);
    return i;
  }
  return kMaxMappings;
}

void freeSlot(size_t slot) {
  std::lock_guard lock(slotsMutex);
  mappedRanges[slot].begin.store(0, std::memory_order_release);
  mappedRanges[slot].end.store(0, std::memory_order_release);
}

}  // namespace

std::unique_ptr<FileMapping> FileMapping::map(int fd, size_t size) {
  if (size == 0) return nullptr;
  installBusHandler();
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) return nullptr;
  // The parse reads it front to back: read ahead far (for a file not yet
  // in the page cache). Measured a little faster, and steadier, than
  // MAP_POPULATE for a file that is.
  ::madvise(data, size, MADV_SEQUENTIAL);
  // Small pages only: a page dropped behind the parse (dropPages) must not
  // come back mapped as part of a whole 2 MiB folio when the reader, or a
  // second reader of another part, touches its neighbour.
  ::madvise(data, size, MADV_NOHUGEPAGE);
  const auto pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<uintptr_t>(data);
  const int kept = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  const size_t slot = kept < 0
                          ? kMaxMappings
                          : claimSlot(begin, begin + (size + pageSize - 1) / pageSize * pageSize);
  if (slot == kMaxMappings) {
    if (kept >= 0) ::close(kept);
    ::munmap(data, size);
    return nullptr;
  }
  return std::unique_ptr<FileMapping>(
      new FileMapping(static_cast<const char*>(data), size, slot, kept));
}

FileMapping::~FileMapping() {
  freeSlot(slot_);
  ::munmap(const_cast<char*>(data_), size_);
  ::close(fd_);
}

void FileMapping::dropPages(size_t begin, size_t end) {
  const auto pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t first = (std::min(begin, size_) + pageSize - 1) / pageSize * pageSize;
  const size_t last = std::min(end, size_) / pageSize * pageSize;
  // The mapping is private and never written, so its pages are the file's
  // and dropping them loses nothing.
  if (last > first) ::madvise(const_cast<char*>(data_) + first, last - first, MADV_DONTNEED);
}

bool FileMapping::cutShort() const {
  if (mappedRanges[slot_].cut.load(std::memory_order_acquire)) return true;
  // A cut inside the last page read raises no fault: its lost bytes read
  // as zeros all the same.
  struct stat st {};
  return ::fstat(fd_, &st) != 0 || st.st_size < 0 || size_t(st.st_size) < size_;
}

}  // namespace kestrel
