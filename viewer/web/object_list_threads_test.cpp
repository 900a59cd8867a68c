// The web server's threads read the registry while the engine changes it;
// run under the thread sanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "viewer/engine/engine_test_support.h"
#include "viewer/web/object_list_html.h"

namespace kestrel {
namespace {

TEST(RegistryThreads, PagesAreBuiltWhileTheEngineAddsShowsHidesAndClears) {
  testing::EngineHarness h;
  h.run({testing::kTransformTemplate});
  std::atomic<bool> done{false};
  std::atomic<int> pages{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t) {
    readers.emplace_back([&] {
      while (!done.load()) {
        VisualObjectRegistry& r = h.engine.registry();
        std::string list = objectListHtml(r, "RADIO");
        int n = r.size();
        for (int i = 0; i < n; ++i) {
          std::string name = r.nameAt(i);
          (void)r.isShown(i);
          if (!name.empty() && name[0] != 'o') std::abort();
        }
        if (list.empty()) std::abort();
        pages.fetch_add(1);
      }
    });
  }
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 40; ++i) {
      h.run({testing::objectBlock("o" + std::to_string(i)), "hide", "show"});
    }
    h.run({"clear"});
  }
  // On a loaded machine the readers may not have run yet: let them build a
  // few pages before they stop.
  while (pages.load() < 3) std::this_thread::yield();
  done.store(true);
  for (std::thread& t : readers) t.join();
  EXPECT_GT(pages.load(), 0);
  EXPECT_EQ(h.engine.registry().size(), 0);
}

}  // namespace
}  // namespace kestrel
