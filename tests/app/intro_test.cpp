// The logo intro: its fade curve and the keys that end it.
#include "app/intro.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(IntroFade, BlackLeadInFadeInFadeOutBlackTail) {
  struct Case {
    double e;
    float alpha;
  };
  const Case cases[] = {
      {0.0, 0.0f}, {0.99, 0.0f},  {1.6, 0.2f}, {2.5, 0.5f}, {3.999, 0.999666f}, {4.3, 0.9f},
      {5.5, 0.5f}, {6.97, 0.01f}, {7.0, 0.0f}, {7.2, 0.0f}, {7.5, 0.0f},
  };
  for (const Case& c : cases) {
    float alpha = -1.0f;
    ASSERT_TRUE(IntroAlpha(c.e, alpha)) << c.e;
    EXPECT_NEAR(alpha, c.alpha, 1e-5) << c.e;
    EXPECT_GE(alpha, 0.0f) << c.e;
    EXPECT_LE(alpha, 1.0f) << c.e;
  }
  // At exactly 1.0 s and 4.0 s the previous frame's colour stays.
  float alpha = 0.25f;
  EXPECT_FALSE(IntroAlpha(1.0, alpha));
  EXPECT_FALSE(IntroAlpha(4.0, alpha));
  EXPECT_EQ(alpha, 0.25f);
}

TEST(IntroKeys, AnyKeyEndsItButNothingElse) {
  for (const std::string& key :
       {std::string("a"), std::string(" "), plat::kKeyEnter, plat::kKeyEsc, plat::kKeyClose,
        plat::kKeyDown, std::string("\x02"), std::string("\xe4")}) {
    EXPECT_TRUE(IntroKeyEnds(key)) << key;
  }
  EXPECT_FALSE(IntroKeyEnds(""));
  EXPECT_FALSE(IntroKeyEnds(std::string("\x01")));
  EXPECT_FALSE(IntroKeyEnds(std::string(1, '\0')));
}

}  // namespace
