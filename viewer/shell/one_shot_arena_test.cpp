// The one-shot arena: small blocks from one range, never reused, each
// thread from its own chunk; large blocks and everything before the start
// or after the range is used up still from malloc. One process, one arena:
// the cases follow each other in one test.
#include "viewer/shell/one_shot_arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kestrel {
namespace {

// The VmFlags line of the mapping holding ADDRESS, from /proc/self/smaps.
std::string vmFlagsAt(uintptr_t address) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    unsigned long from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2 && line.find(' ') < 30) {
      inside = from <= address && address < to;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return "";
}

bool aligned(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

TEST(OneShotArena, ServesSmallBlocksOnceStartedAndNeverReusesThem) {
  auto before = std::make_unique<int>(1);
  EXPECT_FALSE(inOneShotArena(before.get()));
  EXPECT_FALSE(startOneShotArena(0, 0));

  ASSERT_TRUE(startOneShotArena(size_t{8} << 20, size_t{4} << 20));
  EXPECT_FALSE(startOneShotArena(size_t{8} << 20, 0));  // one arena a process
  auto* small = new char[24];
  auto* next = new char[1];
  EXPECT_TRUE(inOneShotArena(small));
  EXPECT_TRUE(aligned(small) && aligned(next));
  EXPECT_EQ(next - small, 32);  // rounded to the promised alignment, no header
  // The first block starts the range: huge pages for its first 4 MiB only.
  EXPECT_NE(vmFlagsAt(reinterpret_cast<uintptr_t>(small)).find(" hg"), std::string::npos);
  EXPECT_EQ(vmFlagsAt(reinterpret_cast<uintptr_t>(small) + (size_t{6} << 20)).find(" hg"),
            std::string::npos);
  delete[] small;
  auto* again = new char[24];
  EXPECT_NE(again, small);  // a freed block is not handed out again
  delete[] again;
  delete[] next;
  // Blocks from before the start go back to malloc as ever.
  before.reset();

  // The nothrow forms are the arena's too, and pair with plain delete.
  auto* quiet = new (std::nothrow) char[16];
  EXPECT_TRUE(inOneShotArena(quiet));
  delete[] quiet;
  auto* quietBefore = static_cast<char*>(::operator new(kOneShotLargest + 1, std::nothrow));
  EXPECT_FALSE(inOneShotArena(quietBefore));
  ::operator delete(quietBefore);

  // Large blocks come from malloc, which reuses them.
  auto* large = new char[kOneShotLargest + 1];
  EXPECT_FALSE(inOneShotArena(large));
  delete[] large;

  // Each thread allocates from a chunk of its own: no two blocks overlap.
  std::vector<std::vector<char*>> blocks(4);
  std::vector<std::thread> threads;
  for (auto& mine : blocks) {
    threads.emplace_back([&mine] {
      for (int i = 0; i < 20000; ++i) mine.push_back(new char[40]);
    });
  }
  for (auto& t : threads) t.join();
  std::set<char*> starts;
  for (const auto& mine : blocks) {
    for (char* p : mine) {
      EXPECT_TRUE(inOneShotArena(p));
      starts.insert(p);
    }
  }
  ASSERT_EQ(starts.size(), 80000u);
  for (auto it = starts.begin(); std::next(it) != starts.end(); ++it) {
    ASSERT_GE(*std::next(it) - *it, 48);
  }

  // Once the range is used up, small blocks come from malloc too.
  char* last = nullptr;
  for (int i = 0; i < 200000 && (last == nullptr || inOneShotArena(last)); ++i) {
    last = new char[kOneShotLargest];
  }
  ASSERT_NE(last, nullptr);
  EXPECT_FALSE(inOneShotArena(last));
  last[kOneShotLargest - 1] = 1;
  delete[] last;
}

}  // namespace
}  // namespace kestrel
