// Long frames in parts: how a frame is cut, that a long frame steps exactly
// like its parts one after the other, that a resting ball stays on its floor
// through any frame, and what stays once per frame.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sim/balls.h"

namespace {

constexpr double kNow = 100.0;

MapText Floor(const std::string& type = "Plattform.static") {
  return MapFromLines({type, FormatPoint(-5.0f, 0.0f), FormatPoint(5.0f, 0.0f), "white"});
}

TEST(FrameParts, LongFramesAreCutIntoTheFewestPartsOfAtMost17ms) {
  const struct {
    double dt;
    int parts;
  } cases[] = {
      {0.0, 1},
      {0.016, 1},
      {0.034, 1},
      {0.034 + 1e-12, 1},  // 34 ms read off a rounding clock
      {0.0343, 3},
      {0.051, 3},  // 0.051 / 0.017 rounds to just above 3
      {0.0511, 4},
      {0.1, 6},
      {0.2, 12},
      {0.5, 30},
      {17.408, 1024},
      {1e9, kMaxFrameParts},  // a frame of years: longer parts, no stall
      {1e300, kMaxFrameParts},
      {-1.0, 1},
      {std::numeric_limits<double>::infinity(), 1},
      {std::numeric_limits<double>::quiet_NaN(), 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FrameParts(c.dt), c.parts) << c.dt;
    if (c.parts > 1 && c.parts < kMaxFrameParts) {
      EXPECT_LE(c.dt / c.parts, kMaxFramePart) << c.dt;
      EXPECT_GT(c.dt / (c.parts - 1), kMaxFramePart) << c.dt;
    }
  }
}

// A scene with something of everything that is stepped: a ball bouncing on a
// slope, one glancing off a static sphere, two that meet, a ragdoll goal.
struct Scene {
  SimState sim;
  MapText map = MapFromLines({"Plattform.static", "[-4,0]", "[4,1]", "white", "Plattform.static",
                              "[-6,-3]", "[6,-3]", "blue", "Sphere.static", "[2,2]", "0.5", "red"});
  Scene() {
    sim.SceneMode = 0;
    sim.GameMode = PlayMode::kRace;
    sim.BallCount = 4;
    const float start[5][4] = {
        {}, {0, 1, 1, -1}, {1.5f, 2.8f, 2, 0}, {-2, 2, 0, 0}, {-2, 3, 0, -4}};
    for (int i = 1; i <= 4; ++i) {
      Ball& b = sim.Balls[static_cast<std::size_t>(i)];
      b.x = start[i][0];
      b.y = start[i][1];
      b.vx = start[i][2];
      b.vy = start[i][3];
      b.radius = 0.18f;
    }
    sim.Goal.GoalPresent = true;
    sim.Goal.GoalIsRagdoll = 1.0f;
    sim.Goal.GoalBallIndex = 4.0f;
    RefillStaticSpheres(sim, map);
  }
};

void ExpectSameBalls(const SimState& a, const SimState& b, int frame) {
  for (int i = 1; i <= a.BallCount; ++i) {
    const Ball& p = a.Balls[static_cast<std::size_t>(i)];
    const Ball& q = b.Balls[static_cast<std::size_t>(i)];
    ASSERT_TRUE(p.x == q.x && p.y == q.y && p.vx == q.vx && p.vy == q.vy &&
                p.lastDampTime == q.lastDampTime)
        << "ball " << i << " frame " << frame;
  }
  EXPECT_EQ(a.RedContact, b.RedContact);
}

TEST(StepBalls, ALongFrameStepsExactlyLikeItsPartsOneAfterTheOther) {
  for (const double dt : {0.05, 0.1, 0.25, 0.5}) {
    SCOPED_TRACE(dt);
    Scene whole, parts;
    const int n = FrameParts(dt);
    const double part = dt / n;
    double now = kNow;
    for (int frame = 0; frame < 40; ++frame) {
      now += dt;
      StepBalls(whole.sim, whole.map, dt, now);
      for (int k = 0; k < n; ++k) {
        StepBalls(parts.sim, parts.map, part, now - (n - 1 - k) * part);
      }
      RefillStaticSpheres(whole.sim, whole.map);
      RefillStaticSpheres(parts.sim, parts.map);
      ExpectSameBalls(whole.sim, parts.sim, frame);
    }
  }
}

TEST(StepBalls, ARestingBallStaysOnItsFloorThroughLongFrames) {
  for (const double dt : {0.1, 0.132, 0.2, 0.292, 0.5, 1.0, 5.0}) {
    SCOPED_TRACE(dt);
    MapText map = Floor();
    SimState sim;
    sim.BallCount = 1;
    sim.SceneMode = 0;
    sim.Balls[1].y = 0.5f;
    sim.Balls[1].radius = 0.18f;
    double now = kNow;
    for (int frame = 0; frame < 300; ++frame) StepBalls(sim, map, 0.016, now += 0.016);
    ASSERT_NEAR(sim.Balls[1].y, 0.26, 0.02);  // at rest on the floor
    for (int frame = 0; frame < 20; ++frame) {
      StepBalls(sim, map, dt, now += dt);
      ASSERT_GT(sim.Balls[1].y, 0.1) << "frame " << frame;
    }
  }
}

TEST(StepBalls, WhatHappensOncePerFrameHappensOnceInALongFrame) {
  // A break's sparks fly with the ball's motion over the whole frame.
  MapText map = Floor("Plattform.static.destructible");
  SimState sim;
  sim.BallCount = 1;
  sim.Balls[1] = Ball{0.0f, 0.2f, 1.0f, -1.0f, 0.18f, "", 0.0f, 0.0f};
  StepBalls(sim, map, 0.2, kNow);
  EXPECT_EQ(sim.Break.pending, 1);
  // The motion is the one the ball brought to the platform.
  EXPECT_FLOAT_EQ(sim.Break.mx, 0.2f);
  EXPECT_FLOAT_EQ(sim.Break.my, -0.2f);

  // A static goal enters the sphere table once, not once per part.
  Scene race;
  race.sim.Goal.GoalIsRagdoll = 0.0f;
  const int spheres = race.sim.StaticSphereCount;
  StepBalls(race.sim, race.map, 0.5, kNow);
  EXPECT_EQ(race.sim.StaticSphereCount, spheres + 1);

  // Ball 1 on a floor through a 0.5 s frame is damped every 0.15 s of it, as
  // in frames of that length, not 30 times.
  map = Floor();
  sim = SimState();
  sim.BallCount = 1;
  sim.Balls[1] = Ball{0.0f, 0.26f, 3.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
  StepBalls(sim, map, 0.5, kNow);
  EXPECT_GT(sim.Balls[1].vx, 3.0f * 0.85f * 0.85f * 0.85f * 0.85f * 0.99f);
  EXPECT_LT(sim.Balls[1].vx, 3.0f * 0.85f * 0.85f * 0.85f * 1.01f);
}

}  // namespace
