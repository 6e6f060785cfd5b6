// The test command's own alarm: CI runs this test alone with ZIRPEL_CANARY=fail
// and requires the count to report it as failed, so a run can never be green
// over a failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(Canary, FailsOnlyWhenAsked) {
  const char* canary = std::getenv("ZIRPEL_CANARY");
  EXPECT_NE(std::string(canary ? canary : ""), "fail") << "the canary was asked to fail";
}
