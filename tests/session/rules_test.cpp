// Rules: the loss limits, a won race staying won, the burn, ShortTime.
#include "session/rules.h"

#include <gtest/gtest.h>

#include "session/hud.h"

namespace {

TEST(Rules, FallLimitIsStrict) {
  SessionState s;
  SimState sim;
  sim.GameMode = PlayMode::kRace;
  sim.Balls[1].y = -25.0f;
  LossTest(s, sim);
  EXPECT_EQ(s.RunLost, 0);
  sim.Balls[1].y = -25.0001f;
  LossTest(s, sim);
  EXPECT_EQ(s.RunLost, 1);
  EXPECT_EQ(s.SurvivalEnded, 0);  // a race does not end a survival run
  // Survival: lost and ended.
  SessionState v;
  sim.GameMode = PlayMode::kSurvival;
  LossTest(v, sim);
  EXPECT_EQ(v.RunLost, 1);
  EXPECT_EQ(v.SurvivalEnded, 1);
}

TEST(Rules, BurnLimitIsThirtySecondsInclusive) {
  const struct {
    float burn;
    int lost;
  } rows[] = {{29.999f, 0}, {30.0f, 1}, {30.001f, 1}};
  for (const auto& row : rows) {
    SessionState s;
    SimState sim;
    sim.GameMode = PlayMode::kRace;
    s.BurnTime = row.burn;
    LossTest(s, sim);
    EXPECT_EQ(s.RunLost, row.lost) << "burn " << row.burn;
  }
}

TEST(Rules, BurnAccumulatesAndActsOneFrameLater) {
  SessionState s;
  SimState sim;
  sim.GameMode = PlayMode::kRace;
  sim.Balls[1].y = 0.0f;
  s.BurnTime = 29.99f;
  sim.RedContact = false;
  AccumulateBurn(s, sim, 0.5);
  EXPECT_FLOAT_EQ(s.BurnTime, 29.99f);  // no red contact: no burn
  sim.RedContact = true;
  LossTest(s, sim);  // this frame's loss test sees 29.99
  EXPECT_EQ(s.RunLost, 0);
  AccumulateBurn(s, sim, 0.02);  // the burn of this frame reaches 30
  EXPECT_GE(s.BurnTime, 30.0f);
  EXPECT_EQ(s.RunLost, 0);
  LossTest(s, sim);  // the next frame ends the run
  EXPECT_EQ(s.RunLost, 1);
}

TEST(Rules, AWonRaceCannotBeLost) {
  SessionState s;
  SimState sim;
  sim.GameMode = PlayMode::kRace;
  sim.Goal.GoalReached = true;
  sim.Balls[1].y = -40.0f;
  s.BurnTime = 31.0f;
  LossTest(s, sim);
  EXPECT_EQ(s.RunLost, 0);
}

TEST(Rules, ShortTimeTruncatesToOneDecimal) {
  EXPECT_EQ(ShortTime("12.3456"), "12.3");
  EXPECT_EQ(ShortTime("5.08"), "5.0");
  EXPECT_EQ(ShortTime("5"), "5");
  EXPECT_EQ(ShortTime("999.99"), "999.9");
  EXPECT_EQ(ShortTime("9999.5"), "9999.5");
  EXPECT_EQ(ShortTime("10000.25"), "");  // no digits from 10000 s on
  EXPECT_EQ(ShortTime("0"), "0");
  // Under what one decimal shows: "0", never a piece of an exponent form.
  EXPECT_EQ(ShortTime("8.54e-07"), "0");
  EXPECT_EQ(ShortTime("0.0999"), "0");
  EXPECT_EQ(ShortTime("0.1"), "0.1");
}

}  // namespace
