// The bookkeeping of one cascade: keys seen once, whether few or many.
#include <gtest/gtest.h>

#include "viewer/browser/events.h"

namespace kestrel {
namespace {

TEST(SeenKeys, EachKeyIsNewOnceWhetherTheKeysAreFewOrMany) {
  SeenKeys<int> seen;
  for (int round = 0; round < 2; ++round) {
    for (int k = 0; k < 100; ++k) {
      EXPECT_EQ(seen.insert(k), round == 0) << "key " << k;
      if (k < 40) {
        EXPECT_FALSE(seen.insert(k / 2)) << "key " << k / 2;
      }
    }
  }
  seen.clear();
  EXPECT_TRUE(seen.insert(5));
  EXPECT_FALSE(seen.insert(5));
}

}  // namespace
}  // namespace kestrel
