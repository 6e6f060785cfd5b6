// Level objects: start position, ball order of goals and ragdolls, the goal
// special cases in the scene step, the goal colour and the goal test.
#include "sim/level_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "session/run.h"
#include "session/session.h"
#include "sim/balls.h"

namespace {

struct Level {
  SimState sim;
  SessionState session;
  MapText map;
  explicit Level(const std::vector<std::string>& lines, int mode = 1) : map(MapFromLines(lines)) {
    sim.GameMode = static_cast<PlayMode>(mode);
    sim.SceneMode = 0;
    for (auto& b : sim.Balls) b.radius = 0.18f;
    TakeLevelStart(session, SetUpLevelObjects(sim, map));
  }
};

TEST(LevelObjects, StartPositionRoundsHalvesToEven) {
  Level a({"BallPosition", "[2.5,3.5]"});
  EXPECT_EQ(a.sim.Balls[1].x, 2.0f);
  EXPECT_EQ(a.sim.Balls[1].y, 4.0f);
  Level b({"BallPosition", "[-0.5,0.4]"});
  EXPECT_EQ(b.sim.Balls[1].x, 0.0f);
  EXPECT_EQ(b.sim.Balls[1].y, 0.0f);
  // Only line 1 counts; without it ball 1 starts at (0, 1) at rest.
  Level c({"Plattform.static", "[0,0]", "[1,0]", "white", "BallPosition", "[5,5]"});
  EXPECT_EQ(c.sim.Balls[1].x, 0.0f);
  EXPECT_EQ(c.sim.Balls[1].y, 1.0f);
  EXPECT_EQ(c.sim.Balls[1].vx, 0.0f);
  EXPECT_EQ(c.sim.BallCount, 1);
}

TEST(LevelObjects, BallOrderFollowsTheFileAndTheGoalPairIsSkipped) {
  // Ragdoll first: ball 2 ragdoll, ball 3 the static goal.
  Level a({"BallPosition", "[0,5]", "Sphere.ragdoll", "[3,2]", "0.25", "red", "Goal.static",
           "[3,1.6]", "0.3"});
  EXPECT_EQ(a.sim.BallCount, 3);
  EXPECT_EQ(a.sim.Balls[2].colour, "red");
  EXPECT_FLOAT_EQ(a.sim.Balls[2].radius, 0.25f);
  EXPECT_EQ(a.sim.Goal.BallIndex(), 3);
  EXPECT_FLOAT_EQ(a.sim.Balls[3].x, 3.0f);
  EXPECT_FLOAT_EQ(a.sim.Balls[3].radius, 0.3f);
  EXPECT_TRUE(a.sim.Goal.GoalPresent);
  EXPECT_EQ(a.sim.Goal.GoalIsRagdoll, 0.0f);
  // The overlapping pair (2, 3) is skipped: no velocity exchange, and the
  // static goal does not move at all.
  a.sim.Balls[2].vx = 1.0f;
  StepBalls(a.sim, a.map, 0.01, 1000.0);
  EXPECT_FLOAT_EQ(a.sim.Balls[3].x, 3.0f);
  EXPECT_FLOAT_EQ(a.sim.Balls[3].y, 1.6f);
  EXPECT_FLOAT_EQ(a.sim.Balls[3].vx, 0.0f);

  // Goal first: goal is ball 2 and the pair (2, 3) exchanges velocities,
  // though the goal ball itself still hangs still.
  Level b({"BallPosition", "[0,5]", "Goal.static", "[3,1.6]", "0.3", "Sphere.ragdoll", "[3,2]",
           "0.25", "blue"});
  EXPECT_EQ(b.sim.Goal.BallIndex(), 2);
  EXPECT_EQ(b.sim.Balls[3].colour, "blue");
  b.sim.Balls[3].vx = 1.0f;
  StepBalls(b.sim, b.map, 0.01, 1000.0);
  EXPECT_FLOAT_EQ(b.sim.Balls[2].x, 3.0f);
  EXPECT_FLOAT_EQ(b.sim.Balls[2].vx, 1.0f);  // took the ragdoll's velocity
}

TEST(LevelObjects, EveryGoalEntryIsFilledAndTheTableIsBounded) {
  // Two goals: both entries hold their own lines; the last is the goal.
  SimState sim;
  sim.Balls[2].x = 77.0f;  // stale values from an earlier scene
  sim.Balls[2].vy = -9.0f;
  SessionState session;
  MapText map = MapFromLines({"Goal.static", "[1,2]", "0.4", "Goal.ragdoll", "[5,6]", "0.5"});
  sim.GameMode = PlayMode::kSurvival;  // survival: the goal entries are filled too
  TakeLevelStart(session, SetUpLevelObjects(sim, map));
  EXPECT_EQ(sim.BallCount, 3);
  EXPECT_FLOAT_EQ(sim.Balls[2].x, 1.0f);
  EXPECT_FLOAT_EQ(sim.Balls[2].vy, 0.0f);
  EXPECT_FLOAT_EQ(sim.Balls[2].radius, 0.4f);
  EXPECT_FLOAT_EQ(sim.Balls[3].x, 5.0f);
  EXPECT_EQ(sim.Goal.BallIndex(), 3);
  EXPECT_EQ(sim.Goal.GoalIsRagdoll, 1.0f);

  // 60 ragdolls: the first 49 get balls, the rest are ignored.
  std::vector<std::string> lines = {"BallPosition", "[0,0]"};
  for (int i = 0; i < 60; ++i) {
    lines.insert(lines.end(), {"Sphere.ragdoll", "[" + std::to_string(i) + ",3]", "0.1", "white"});
  }
  lines.insert(lines.end(), {"Goal.static", "[9,9]", "0.3"});
  Level big(lines);
  EXPECT_EQ(big.sim.BallCount, kMaxBalls);
  EXPECT_FLOAT_EQ(big.sim.Balls[50].x, 48.0f);
  EXPECT_FALSE(big.sim.Goal.GoalPresent);  // the goal came too late
}

TEST(LevelObjects, ZoomFlightPointsAtBallOneAndDegenerateFlightEndsAtOnce) {
  Level a({"BallPosition", "[3,4]", "Startgame.zoomin", "[0,0,12]"});
  const float len = std::sqrt(9.0f + 16.0f + 144.0f);
  EXPECT_FLOAT_EQ(a.session.ZoomDirectionX, 3.0f / len);
  EXPECT_FLOAT_EQ(a.session.ZoomDirectionY, 4.0f / len);
  EXPECT_FLOAT_EQ(a.session.ZoomDirectionZ, -12.0f / len);
  EXPECT_EQ(a.session.CameraPhase, 0);
  // The camera already at ball 1's start: no NaN, the zoom is over.
  Level b({"BallPosition", "[3,4]", "Startgame.zoomin", "[3,4,0]"});
  EXPECT_EQ(b.session.ZoomDirectionX, 0.0f);
  EXPECT_FALSE(std::isnan(b.session.ZoomDirectionZ));
  EXPECT_EQ(b.session.CameraPhase, 1);
}

TEST(LevelObjects, RagdollGoalFallsAndStillWins) {
  Level lv({"BallPosition", "[0,1]", "Plattform.static", "[-3,0]", "[6,0]", "white", "Goal.ragdoll",
            "[3,2]", "0.3"});
  const int g = lv.sim.Goal.BallIndex();
  ASSERT_EQ(g, 2);
  float lowest = 10.0f;
  for (int i = 0; i < 200; ++i) {
    StepBalls(lv.sim, lv.map, 0.01, 1000.0 + i * 0.01);
    lowest = std::min(lowest, lv.sim.Balls[g].y);
  }
  EXPECT_LT(lowest, 0.5f);  // fell down onto the platform
  EXPECT_GT(lowest, 0.0f);  // and did not pass through it
  GoalReachedTest(lv.sim);
  EXPECT_FALSE(lv.sim.Goal.GoalReached);
  lv.sim.Balls[1].x = lv.sim.Balls[g].x - 0.4f;
  lv.sim.Balls[1].y = lv.sim.Balls[g].y;
  GoalReachedTest(lv.sim);
  EXPECT_TRUE(lv.sim.Goal.GoalReached);
}

TEST(LevelObjects, GoalTestNeedsARaceAndStrictOverlap) {
  Level lv({"BallPosition", "[0,0]", "Goal.static", "[1,0]", "0.3"});
  lv.sim.Balls[1].x = 1.0f - 0.48f;  // distance equals the sum of the radii
  GoalReachedTest(lv.sim);
  EXPECT_FALSE(lv.sim.Goal.GoalReached);
  lv.sim.Balls[1].x = 1.0f - 0.47f;
  lv.sim.GameMode = PlayMode::kSurvival;
  GoalReachedTest(lv.sim);
  EXPECT_FALSE(lv.sim.Goal.GoalReached);
  lv.sim.GameMode = PlayMode::kRace;
  GoalReachedTest(lv.sim);
  EXPECT_TRUE(lv.sim.Goal.GoalReached);
}

TEST(LevelObjects, GoalColourTurnsAtTheEndsAndIsNeverClamped) {
  GoalState g;
  StepGoalColour(g, 0.03);
  EXPECT_NEAR(g.GoalColour[0], 0.98f, 1e-6);
  EXPECT_NEAR(g.GoalColour[1], 0.512f, 1e-6);
  EXPECT_NEAR(g.GoalColour[2], 0.02f, 1e-6);
  EXPECT_EQ(g.GoalColourFalling[0], 1);
  // Blue rises to 1 (overshooting by at most one step), then falls.
  float highest = 0.0f;
  for (int i = 0; i < 60; ++i) {
    StepGoalColour(g, 0.03);
    highest = std::max(highest, g.GoalColour[2]);
  }
  EXPECT_GT(highest, 0.999f);
  EXPECT_LT(highest, 1.0201f);
  EXPECT_EQ(g.GoalColourFalling[2], 1);
  EXPECT_LT(g.GoalColour[2], 0.9f);
}

}  // namespace
