// The fleetsim program as a user starts it.
#include <gtest/gtest.h>

#include "testing/child_process.h"
#include "testing/test_support.h"

namespace {

TEST(FleetSimProgram, AnswersHelpVersionAndUnknownOptionsWithoutSending) {
  const std::string fleetsim = kestrel::testing::programPath("modules/fleettap/fleetsim");
  EXPECT_EQ(kestrel::testing::standardOptionProblems(fleetsim, "fleetsim", "Usage: fleetsim"), "");
  const kestrel::testing::ProgramRun badValue = kestrel::testing::runProgram(fleetsim, {"--rate", "fast"});
  EXPECT_EQ(badValue.status, 2);
  EXPECT_NE(badValue.err.find("bad value for --rate: fast"), std::string::npos) << badValue.err;
}

}  // namespace
