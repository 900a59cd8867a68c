// The one-shot heap in this test's own process (its own program, as the
// heap settings last for the process).
#include "viewer/shell/one_shot_heap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace kestrel {
namespace {

namespace fs = std::filesystem;

// The VmFlags line of the mapping of /proc/self/smaps that holds ADDRESS
// (not used where a sanitizer's malloc leaves the heap alone).
[[maybe_unused]] std::string vmFlagsAt(uintptr_t address) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    uintptr_t from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2 && line.find(' ') < 30) {
      inside = from <= address && address < to;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return "";
}

TEST(OneShotHeap, SetsAsideSixteenTimesTheFilesUpToOneGibibyte) {
  const fs::path dir = fs::temp_directory_path() / ("kestrel-heap-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string small = (dir / "small.wrl").string();
  const std::string large = (dir / "large.wrl").string();
  std::ofstream(small) << "#VRML V2.0 utf8\n";
  fs::resize_file((std::ofstream(large) << "#VRML V2.0 utf8\n", large), 3 << 20);
  EXPECT_EQ(heapForSceneFiles({small}), 0u);
  EXPECT_EQ(heapForSceneFiles({"/nonexistent/x.wrl"}), 0u);
  EXPECT_EQ(heapForSceneFiles({large, small}), 16 * ((size_t{3} << 20) + 16));
  fs::resize_file(large, size_t{200} << 20);
  EXPECT_EQ(heapForSceneFiles({large}), size_t{1} << 30);
  fs::remove_all(dir);
}

TEST(OneShotHeap, BacksTheGrownHeapWithHugePages) {
  EXPECT_FALSE(reserveHugePageHeap(4096));
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's malloc does not grow the heap with brk";
#else
  const auto before = reinterpret_cast<uintptr_t>(sbrk(0));
  ASSERT_TRUE(reserveHugePageHeap(size_t{64} << 20));
  const auto after = reinterpret_cast<uintptr_t>(sbrk(0));
  EXPECT_GE(after - before, size_t{64} << 20);
  EXPECT_NE(vmFlagsAt(after - 4096).find(" hg"), std::string::npos) << vmFlagsAt(after - 4096);
#endif
}

TEST(OneShotHeap, ThreadsAllocateFromTheMainHeap) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's malloc does not grow the heap with brk";
#else
  shareMainHeapWithThreads();
  uintptr_t block = 0;
  std::thread([&block] {
    void* p = std::malloc(1000);
    block = reinterpret_cast<uintptr_t>(p);
    std::free(p);
  }).join();
  // The main heap lies below the program break; a thread's own heap would
  // be mapped far above it.
  const auto top = reinterpret_cast<uintptr_t>(sbrk(0));
  EXPECT_LT(block, top);
  EXPECT_GT(block, top - (size_t{1} << 32));
#endif
}

}  // namespace
}  // namespace kestrel
