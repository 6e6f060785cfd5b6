// The scene step: platform bounces with their sign rules, slope roll,
// push-out, end caps, damping and colour effects, ball-ball exchange, the
// goal's special cases, sphere glancing and the table limits.
#include "sim/balls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNow = 100.0;

std::vector<std::string> Platform(const std::string& type, float ax, float ay, float bx, float by,
                                  const std::string& colour = "white") {
  return {type, FormatPoint(ax, ay), FormatPoint(bx, by), colour};
}

MapText MapOfPlatforms(const std::vector<std::vector<std::string>>& objects) {
  std::vector<std::string> lines;
  for (const auto& object : objects) lines.insert(lines.end(), object.begin(), object.end());
  return MapFromLines(lines);
}

// Ball 2 of a two-ball table; ball 1 is parked far away, so no damping and
// no colour effect apply to the ball under test.
SimState OneBall(float x, float y, float vx, float vy, float radius = 0.18f) {
  SimState sim;
  sim.BallCount = 2;
  sim.Balls[1].x = 1000.0f;
  sim.Balls[1].radius = 0.18f;
  Ball& b = sim.Balls[2];
  b.x = x;
  b.y = y;
  b.vx = vx;
  b.vy = vy;
  b.radius = radius;
  return sim;
}

// The velocity a step gives before gravity: gravity adds -3 dt to vy.
float VyBeforeGravity(const Ball& b, double dt) {
  return static_cast<float>(b.vy + 3.0 * dt);
}

// A point on a platform from the origin rising at the given angle, lifted
// along the normal by `lift`.
void OnSlope(double degrees, double along, double lift, float& x, float& y) {
  const double a = degrees * kPi / 180.0;
  x = static_cast<float>(along * std::cos(a) - lift * std::sin(a));
  y = static_cast<float>(along * std::sin(a) + lift * std::cos(a));
}

MapText SlopeMap(double degrees, const std::string& type = "Plattform.static") {
  const double a = degrees * kPi / 180.0;
  return MapOfPlatforms({Platform(type, 0.0f, 0.0f, static_cast<float>(4.0 * std::cos(a)),
                                  static_cast<float>(4.0 * std::sin(a)))});
}

TEST(StepBalls, AHorizontalPlatformReversesVyKeepsVxAndPushesOut) {
  MapText map = MapOfPlatforms({Platform("Plattform.static", -2.0f, 0.0f, 2.0f, 0.0f)});
  const double dt = 0.001;
  SimState sim = OneBall(0.5f, 0.2f, 1.0f, -2.0f);
  StepBalls(sim, map, dt, kNow);
  const Ball& b = sim.Balls[2];
  EXPECT_EQ(b.vx, 1.0f);
  EXPECT_FLOAT_EQ(VyBeforeGravity(b, dt), 2.0f);  // no speed lost
  // Pushed out to 0.08 + r above the centre line, then moved by one step.
  EXPECT_NEAR(b.y - b.vy * dt + 1.5 * dt * dt, 0.26, 1e-6);
  EXPECT_NEAR(b.x, 0.5 + 1.0 * dt, 1e-6);
  EXPECT_EQ(b.gravity, -3.0f);

  // From below: pushed down to -0.26, vy reversed downwards.
  sim = OneBall(-0.5f, -0.1f, -1.0f, 2.0f);
  StepBalls(sim, map, dt, kNow);
  EXPECT_EQ(sim.Balls[2].vx, -1.0f);
  EXPECT_FLOAT_EQ(VyBeforeGravity(sim.Balls[2], dt), -2.0f);
  EXPECT_LT(sim.Balls[2].y, -0.259);

  // Out of reach (0.27 > 0.26): nothing but gravity.
  sim = OneBall(0.5f, 0.27f, 1.0f, -2.0f);
  StepBalls(sim, map, dt, kNow);
  EXPECT_FLOAT_EQ(VyBeforeGravity(sim.Balls[2], dt), -2.0f);
}

TEST(StepBalls, SlopedBouncesFollowTheSignRules) {
  const double dt = 0.001;
  MapText map = SlopeMap(30.0);
  float x, y;
  OnSlope(30.0, 2.0, 0.2, x, y);

  // Straight down onto a 30 degree slope leaves straight up at the same speed.
  SimState sim = OneBall(x, y, 0.0f, -5.0f);
  StepBalls(sim, map, dt, kNow);
  EXPECT_NEAR(sim.Balls[2].vx, 0.0, 1e-5);
  EXPECT_NEAR(VyBeforeGravity(sim.Balls[2], dt), 5.0, 1e-5);

  // Right and down at 45 degrees leaves right and up at 75 degrees.
  sim = OneBall(x, y, 2.0f, -2.0f);
  StepBalls(sim, map, dt, kNow);
  const double speed = std::sqrt(8.0);
  EXPECT_NEAR(sim.Balls[2].vx / speed, 0.2588, 1e-4);
  EXPECT_NEAR(VyBeforeGravity(sim.Balls[2], dt) / speed, 0.9659, 1e-4);

  // Left and down at 45 degrees meets the slope at 15 degrees: it keeps
  // going left and turns up, 45 degrees above the horizontal.
  sim = OneBall(x, y, -2.0f, -2.0f);
  StepBalls(sim, map, dt, kNow);
  EXPECT_NEAR(sim.Balls[2].vx / speed, -std::cos(kPi / 4.0), 1e-4);
  EXPECT_NEAR(VyBeforeGravity(sim.Balls[2], dt) / speed, std::sin(kPi / 4.0), 1e-4);

  // Speeds above 30 are capped at 30.
  sim = OneBall(x, y, 0.0f, -100.0f);
  StepBalls(sim, map, dt, kNow);
  EXPECT_NEAR(VyBeforeGravity(sim.Balls[2], dt), 30.0, 1e-4);

  // Steep (60 degrees): the horizontal direction turns back, the vertical stays.
  MapText steep = SlopeMap(60.0);
  OnSlope(60.0, 2.0, -0.2, x, y);  // right of and below the slope, moving into it
  sim = OneBall(x, y, 2.0f, 1.0f);
  StepBalls(sim, steep, dt, kNow);
  EXPECT_LT(sim.Balls[2].vx, 0.0f);
  EXPECT_GT(VyBeforeGravity(sim.Balls[2], dt), 0.0f);
  EXPECT_NEAR(std::hypot(sim.Balls[2].vx, VyBeforeGravity(sim.Balls[2], dt)), std::sqrt(5.0), 1e-4);

  // At 45 degrees the signs come from the side the ball is on: above the
  // slope it leaves up and to the left, though it came in moving right
  // (the shallow rule would have kept it moving right).
  MapText diagonal = SlopeMap(45.0);
  OnSlope(45.0, 2.0, 0.2, x, y);
  sim = OneBall(x, y, 2.0f, -1.0f);
  StepBalls(sim, diagonal, dt, kNow);
  EXPECT_NEAR(sim.Balls[2].vx / std::sqrt(5.0), -0.4472, 1e-3);
  EXPECT_NEAR(VyBeforeGravity(sim.Balls[2], dt) / std::sqrt(5.0), 0.8944, 1e-3);
}

TEST(StepBalls, APlatformGivenRightToLeftActsTheSame) {
  const double a = 30.0 * kPi / 180.0;
  const float bx = static_cast<float>(4.0 * std::cos(a)),
              by = static_cast<float>(4.0 * std::sin(a));
  MapText forward = MapOfPlatforms({Platform("Plattform.static", 0.0f, 0.0f, bx, by)});
  MapText backward = MapOfPlatforms({Platform("Plattform.static", bx, by, 0.0f, 0.0f)});
  float x, y;
  for (double lift : {0.2, -0.15, 0.05}) {
    for (float vx : {-3.0f, 0.0f, 2.0f}) {
      OnSlope(30.0, 1.5, lift, x, y);
      SimState s1 = OneBall(x, y, vx, -2.0f);
      SimState s2 = s1;
      for (int frame = 0; frame < 20; ++frame) {
        StepBalls(s1, forward, 0.01, kNow);
        StepBalls(s2, backward, 0.01, kNow);
      }
      EXPECT_EQ(s1.Balls[2].x, s2.Balls[2].x);
      EXPECT_EQ(s1.Balls[2].y, s2.Balls[2].y);
      EXPECT_EQ(s1.Balls[2].vx, s2.Balls[2].vx);
      EXPECT_EQ(s1.Balls[2].vy, s2.Balls[2].vy);
    }
  }
}

TEST(StepBalls, VerticalPlatformsTurnTheBallBackWhicheverEndComesFirst) {
  const double dt = 0.001;
  for (bool lowerFirst : {true, false}) {
    MapText map = lowerFirst
                      ? MapOfPlatforms({Platform("Plattform.static", 0.0f, -1.0f, 0.0f, 1.0f)})
                      : MapOfPlatforms({Platform("Plattform.static", 0.0f, 1.0f, 0.0f, -1.0f)});
    SimState sim = OneBall(0.2f, 0.0f, -2.0f, 0.0f);
    StepBalls(sim, map, dt, kNow);
    EXPECT_NEAR(sim.Balls[2].vx, 2.0, 1e-6) << lowerFirst;
    EXPECT_NEAR(VyBeforeGravity(sim.Balls[2], dt), 0.0, 1e-6) << lowerFirst;
    EXPECT_NEAR(sim.Balls[2].x, 0.26 + 2.0 * dt, 1e-6) << lowerFirst;
  }
}

TEST(StepBalls, SlopeRollPushesRestingBallsDownhill) {
  const double dt = 0.01;
  float x, y;
  // A slow drop straight down bounces straight up, then rolls.
  OnSlope(30.0, 2.0, 0.25, x, y);
  MapText rising = SlopeMap(30.0);
  SimState sim = OneBall(x, y, 0.0f, -0.01f);
  StepBalls(sim, rising, dt, kNow);
  EXPECT_NEAR(sim.Balls[2].vx, -(kPi / 6.0) * dt * 750.0, 1e-4);  // downhill is left

  MapText falling = SlopeMap(-30.0);
  OnSlope(-30.0, 2.0, 0.25, x, y);
  sim = OneBall(x, y, 0.0f, -0.01f);
  StepBalls(sim, falling, dt, kNow);
  // (the bounce itself sends it off at 30 degrees to the right)
  EXPECT_NEAR(sim.Balls[2].vx, (kPi / 6.0) * dt * 750.0 + 0.01 * std::cos(kPi / 6.0), 1e-4);

  // The roll belongs to the bounce: a ball that does not move this frame
  // (at rest, or a frame of no time) neither bounces nor rolls.
  OnSlope(30.0, 2.0, 0.25, x, y);
  sim = OneBall(x, y, 0.0f, 0.0f);
  StepBalls(sim, rising, dt, kNow);
  EXPECT_EQ(sim.Balls[2].vx, 0.0f);
  sim = OneBall(x, y, 0.0f, -0.01f);
  StepBalls(sim, rising, 0.0, kNow);
  EXPECT_EQ(sim.Balls[2].vx, 0.0f);
  EXPECT_EQ(sim.Balls[2].vy, -0.01f);

  // A fast ball (|vy| >= 0.4 after the bounce) gets no roll; just under the
  // limit it does.
  for (const float drop : {-1.0f, -0.45f, -0.41f}) {
    OnSlope(30.0, 2.0, 0.25, x, y);
    sim = OneBall(x, y, 0.0f, drop);
    StepBalls(sim, rising, dt, kNow);
    EXPECT_NEAR(sim.Balls[2].vx, 0.0, 1e-5) << "drop " << drop;
  }
  OnSlope(30.0, 2.0, 0.25, x, y);
  sim = OneBall(x, y, 0.0f, -0.39f);
  StepBalls(sim, rising, dt, kNow);
  EXPECT_NEAR(sim.Balls[2].vx, -(kPi / 6.0) * dt * 750.0, 1e-4);
}

TEST(StepBalls, ABounceFasterThan300StopsTheBall) {
  const double dt = 0.0001;
  float x, y;
  OnSlope(60.0, 2.0, 0.2, x, y);
  MapText steep = SlopeMap(60.0);
  SimState sim = OneBall(x, y, 0.0f, -400.0f);
  StepBalls(sim, steep, dt, kNow);
  EXPECT_EQ(sim.Balls[2].vx, 0.0f);
  EXPECT_FLOAT_EQ(sim.Balls[2].vy, static_cast<float>(-3.0 * dt));  // only gravity left

  sim = OneBall(x, y, 0.0f, -299.0f);
  StepBalls(sim, steep, dt, kNow);
  EXPECT_NEAR(std::hypot(sim.Balls[2].vx, VyBeforeGravity(sim.Balls[2], dt)), 30.0, 1e-3);
}

TEST(StepBalls, EndCapsReverseTheVelocity) {
  const double dt = 0.001;
  MapText map = MapOfPlatforms({Platform("Plattform.static", 0.0f, 0.0f, 0.2f, 0.0f)});
  // Beyond the right end, within reach of it: dA + dB + r > L.
  SimState sim = OneBall(0.3f, 0.05f, -1.0f, 0.5f);
  StepBalls(sim, map, dt, kNow);
  EXPECT_EQ(sim.Balls[2].vx, 1.0f);
  EXPECT_FLOAT_EQ(VyBeforeGravity(sim.Balls[2], dt), -0.5f);
  EXPECT_NEAR(sim.Balls[2].x, 0.3 + dt, 1e-6);  // no push-out
  // Out of reach of both ends and past the body: untouched.
  sim = OneBall(0.5f, 0.05f, -1.0f, 0.5f);
  StepBalls(sim, map, dt, kNow);
  EXPECT_EQ(sim.Balls[2].vx, -1.0f);
  // Beside a very short platform, within reach of both its ends.
  MapText stub = MapOfPlatforms({Platform("Plattform.static", 0.0f, 0.0f, 0.05f, 0.0f)});
  sim = OneBall(0.1f, 0.1f, -1.0f, -1.0f);
  StepBalls(sim, stub, dt, kNow);
  EXPECT_EQ(sim.Balls[2].vx, 1.0f);
  EXPECT_FLOAT_EQ(VyBeforeGravity(sim.Balls[2], dt), 1.0f);
}

TEST(StepBalls, OnlyBall1IsDampedAtMostEvery150ms) {
  MapText map = MapOfPlatforms({Platform("Plattform.static", -2.0f, 0.0f, 2.0f, 0.0f)});
  SimState sim;
  sim.BallCount = 1;
  Ball& b = sim.Balls[1];
  b = Ball{0.0f, 0.2f, 1.0f, -2.0f, 0.18f, "", 0.0f, 0.0f};
  const double dt = 0.001;
  StepBalls(sim, map, dt, kNow);
  EXPECT_FLOAT_EQ(b.vx, 0.85f);
  EXPECT_FLOAT_EQ(VyBeforeGravity(b, dt), 1.7f);
  EXPECT_EQ(b.lastDampTime, static_cast<float>(kNow));
  // 0.1 s later: still in contact, no second damping.
  b.y = 0.2f;
  b.vy = -2.0f;
  StepBalls(sim, map, dt, kNow + 0.1);
  EXPECT_FLOAT_EQ(b.vx, 0.85f);
  EXPECT_FLOAT_EQ(VyBeforeGravity(b, dt), 2.0f);
  // 0.2 s after the first: damped again.
  b.y = 0.2f;
  StepBalls(sim, map, dt, kNow + 0.2);
  EXPECT_FLOAT_EQ(b.vx, 0.85f * 0.85f);

  // Ball 2 on the same platform is never damped.
  SimState other = OneBall(0.0f, 0.2f, 1.0f, -2.0f);
  StepBalls(other, map, dt, kNow);
  EXPECT_EQ(other.Balls[2].vx, 1.0f);
}

TEST(StepBalls, Ball1TakesColourFromPlatformsBallsAndSpheres) {
  MapText red = MapOfPlatforms({Platform("Plattform.static", -2.0f, 0.0f, 2.0f, 0.0f, "red")});
  MapText blue = MapOfPlatforms({Platform("Plattform.static", -2.0f, 0.0f, 2.0f, 0.0f, "blue")});
  MapText white = MapOfPlatforms({Platform("Plattform.static", -2.0f, 0.0f, 2.0f, 0.0f)});
  SimState sim;
  sim.BallCount = 1;
  sim.Balls[1] = Ball{0.0f, 0.2f, 0.0f, -1.0f, 0.18f, "", 0.0f, 0.0f};
  StepBalls(sim, red, 0.001, kNow);
  EXPECT_TRUE(sim.RedContact);
  sim.Balls[1].y = 0.2f;
  StepBalls(sim, white, 0.001, kNow);
  EXPECT_TRUE(sim.RedContact);  // white changes nothing
  sim.Balls[1].y = 0.2f;
  StepBalls(sim, blue, 0.001, kNow);
  EXPECT_FALSE(sim.RedContact);

  // Ball 2 on a red platform does not set it.
  SimState two = OneBall(0.0f, 0.2f, 0.0f, -1.0f);
  StepBalls(two, red, 0.001, kNow);
  EXPECT_FALSE(two.RedContact);

  // Touching a red ball, then a blue sphere.
  MapText empty;
  SimState balls = OneBall(0.1f, 0.0f, 0.0f, 0.0f);
  balls.Balls[1] = Ball{0.0f, 0.0f, 0.0f, 0.0f, 0.18f, "white", 0.0f, 0.0f};
  balls.Balls[2].colour = "red";
  StepBalls(balls, empty, 0.001, kNow);
  EXPECT_TRUE(balls.RedContact);
  balls.Balls[2].x = 5.0f;
  balls.StaticSphereCount = 1;
  balls.Spheres[1] = StaticSphere{0.0f, 0.3f, 0.2f, "blue"};
  StepBalls(balls, empty, 0.001, kNow);
  EXPECT_FALSE(balls.RedContact);
}

TEST(StepBalls, OverlappingBallsSwapVelocitiesEveryFrame) {
  MapText empty;
  SimState sim = OneBall(0.1f, 0.0f, -1.0f, 0.5f);
  sim.Balls[1] = Ball{0.0f, 0.0f, 2.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
  const double dt = 0.0001;
  StepBalls(sim, empty, dt, kNow);
  EXPECT_FLOAT_EQ(sim.Balls[1].vx, -1.0f);
  EXPECT_FLOAT_EQ(sim.Balls[2].vx, 2.0f);
  EXPECT_NEAR(sim.Balls[1].vy, 0.5, 1e-3);
  StepBalls(sim, empty, dt, kNow);
  EXPECT_FLOAT_EQ(sim.Balls[1].vx, 2.0f);
  EXPECT_FLOAT_EQ(sim.Balls[2].vx, -1.0f);
  // Three in a pile: pairs in index order (1,2), (1,3), (2,3).
  sim.BallCount = 3;
  sim.Balls[1] = Ball{0.0f, 0.0f, 1.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
  sim.Balls[2] = Ball{0.0f, 0.0f, 2.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
  sim.Balls[3] = Ball{0.0f, 0.0f, 3.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
  StepBalls(sim, empty, 0.0, kNow);
  EXPECT_EQ(sim.Balls[1].vx, 3.0f);  // 1<->2: 2,1,3; 1<->3: 3,1,2; 2<->3: 3,2,1
  EXPECT_EQ(sim.Balls[2].vx, 2.0f);
  EXPECT_EQ(sim.Balls[3].vx, 1.0f);
}

TEST(StepBalls, SpheresGlanceBallsAndNeverBreedNaN) {
  MapText map = MapFromLines({"Sphere.static", "[0,0]", "0.5", "white"});
  // The first frame of a scene has an empty table: no sphere collision.
  SimState sim = OneBall(0.0f, 0.6f, 1.0f, -1.0f);
  const double dt = 0.0001;
  StepBalls(sim, map, dt, kNow);
  EXPECT_EQ(sim.Balls[2].vx, 1.0f);
  RefillStaticSpheres(sim, map);
  ASSERT_EQ(sim.StaticSphereCount, 1);
  EXPECT_EQ(sim.Spheres[1].colour, "white");

  // Response, from the position and velocity after integration.
  const Ball before = [&] {
    SimState probe = sim;
    probe.StaticSphereCount = 0;
    StepBalls(probe, map, dt, kNow);
    return probe.Balls[2];
  }();
  StepBalls(sim, map, dt, kNow);
  const double dx = 0.0 - before.x, dy = 0.0 - before.y;
  const double nx = -dy, ny = dx;
  const double vx = before.vx, vy = before.vy;
  const double w = (nx * vx + ny * vy) / (std::hypot(nx, ny) * std::hypot(vx, vy));
  const double alpha = std::atan2(std::sqrt(1 - w * w), w);
  const double gx = -vy - 2 * alpha * dx, gy = vx - 2 * alpha * dy;
  EXPECT_NEAR(sim.Balls[2].vx, std::fabs(vx) * gx / std::hypot(gx, gy), 1e-5);
  EXPECT_NEAR(sim.Balls[2].vy, std::fabs(vy) * gy / std::hypot(gx, gy), 1e-5);
  EXPECT_EQ(sim.Balls[2].x, before.x);  // positions are not corrected

  // A ball at rest inside a sphere, and one at its very centre, keep their
  // velocity and stay numbers.
  for (float cx : {0.3f, 0.0f}) {
    SimState rest = OneBall(cx, 0.0f, 0.0f, 0.0f);
    rest.StaticSphereCount = 1;
    rest.Spheres[1] = StaticSphere{0.0f, 0.0f, 0.5f, "white"};
    StepBalls(rest, map, 0.0, kNow);  // dt 0: nothing moves
    EXPECT_EQ(rest.Balls[2].vx, 0.0f);
    EXPECT_EQ(rest.Balls[2].vy, 0.0f);
    rest.Balls[2].vx = 1.0f;
    StepBalls(rest, map, 0.0, kNow);
    EXPECT_TRUE(std::isfinite(rest.Balls[2].vx));
    EXPECT_TRUE(std::isfinite(rest.Balls[2].vy));
  }
}

TEST(StepBalls, AStaticGoalHangsStillInARaceAndActsAsASphere) {
  MapText empty;
  SimState sim;
  sim.BallCount = 3;
  sim.SceneMode = 0;
  sim.GameMode = PlayMode::kRace;
  sim.Goal.GoalPresent = true;
  sim.Goal.GoalIsRagdoll = 0.0f;
  sim.Goal.GoalBallIndex = 2.0f;
  sim.Balls[1] = Ball{0.0f, 0.0f, 1.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
  sim.Balls[2] = Ball{0.1f, 0.0f, 0.0f, 0.0f, 0.3f, "", 0.0f, 0.0f};  // the goal
  sim.Balls[3] = Ball{5.0f, 0.0f, 0.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
  StepBalls(sim, empty, 0.01, kNow);
  EXPECT_EQ(sim.Balls[2].y, 0.0f);      // not integrated
  EXPECT_EQ(sim.Balls[2].vx, 0.0f);     // pair (1, 2) skipped
  ASSERT_EQ(sim.StaticSphereCount, 1);  // the goal's sphere entry
  EXPECT_EQ(sim.Spheres[1].x, 0.1f);
  EXPECT_EQ(sim.Spheres[1].radius, 0.3f);
  EXPECT_EQ(sim.Spheres[1].colour, "white");
  EXPECT_NE(sim.Balls[1].vy, -0.03f);  // ball 1 glanced off the goal's entry

  // In the menu scene the same ball falls like any other.
  SimState menu = sim;
  menu.SceneMode = 1;
  menu.StaticSphereCount = 0;
  StepBalls(menu, empty, 0.01, kNow);
  EXPECT_LT(menu.Balls[2].y, 0.0f);

  // A ragdoll goal falls and is paired; it is exempt from spheres.
  SimState ragdoll = sim;
  ragdoll.StaticSphereCount = 0;
  ragdoll.Goal.GoalIsRagdoll = 1.0f;
  ragdoll.Balls[1].vx = 1.0f;
  StepBalls(ragdoll, empty, 0.01, kNow);
  EXPECT_LT(ragdoll.Balls[2].y, 0.0f);
  EXPECT_EQ(ragdoll.Balls[2].vx, 1.0f);  // exchanged with ball 1
  EXPECT_EQ(ragdoll.StaticSphereCount, 0);

  // In survival a static goal moves like any ball but still enters a sphere.
  SimState survival = sim;
  survival.GameMode = PlayMode::kSurvival;
  survival.StaticSphereCount = 0;
  StepBalls(survival, empty, 0.01, kNow);
  EXPECT_LT(survival.Balls[2].y, 0.0f);
  EXPECT_EQ(survival.StaticSphereCount, 1);
}

TEST(StepBalls, TablesNeverOverflow) {
  MapText empty;
  SimState sim;
  sim.BallCount = 75;  // beyond the table: only 50 balls exist
  for (int i = 1; i <= kMaxBalls; ++i) sim.Balls[i].radius = 0.18f;
  sim.StaticSphereCount = kMaxStaticSpheres;
  sim.SceneMode = 0;
  sim.GameMode = PlayMode::kRace;
  sim.Goal.GoalPresent = true;
  sim.Goal.GoalBallIndex = 2.0f;
  StepBalls(sim, empty, 0.01, kNow);
  EXPECT_EQ(sim.StaticSphereCount, kMaxStaticSpheres);  // no room for the goal
  sim.Goal.GoalBallIndex = 90.0f;                       // names no ball
  StepBalls(sim, empty, 0.01, kNow);
  sim.StaticSphereCount = 300;
  StepBalls(sim, empty, 0.01, kNow);

  std::vector<std::string> lines;
  for (int k = 0; k < 60; ++k) {
    for (const char* line : {"Sphere.static", "[1,1]", "0.2", "red"}) lines.push_back(line);
  }
  // A ball whose radius overflowed the float range stays a number.
  MapText floor = MapOfPlatforms({Platform("Plattform.static", -2.0f, 0.0f, 2.0f, 0.0f)});
  SimState huge = OneBall(0.0f, 0.2f, 1.0f, -1.0f, static_cast<float>(ParseNumber("1e39")));
  StepBalls(huge, floor, 0.01, kNow);
  EXPECT_TRUE(std::isfinite(huge.Balls[2].x) && std::isfinite(huge.Balls[2].y));

  MapText many = MapFromLines(lines);
  RefillStaticSpheres(sim, many);
  EXPECT_EQ(sim.StaticSphereCount, kMaxStaticSpheres);
}

TEST(StepBalls, RandomScenesStayFinite) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> coord(-3.0f, 3.0f);
  std::uniform_real_distribution<double> frame(0.0, 0.05);
  const char* kinds[] = {
      "Plattform.static", "Plattform.static.destructible", "Plattform.static.destructible.left",
      "Plattform.static.destructible.right", "Plattform.static.destructible.both"};
  const char* colours[] = {"white", "blue", "red", "green"};
  for (int scene = 0; scene < 20; ++scene) {
    std::vector<std::string> lines;
    for (int p = 0; p < 25; ++p) {
      lines.push_back(kinds[rng() % 5]);
      float ax = coord(rng), ay = coord(rng);
      // Some vertical, some level, some degenerate, the rest anything.
      float bx = (p % 7 == 0) ? ax : coord(rng);
      float by = (p % 5 == 0) ? ay : coord(rng);
      if (p % 11 == 0) bx = ax, by = ay;
      lines.push_back(FormatPoint(ax, ay));
      lines.push_back(FormatPoint(bx, by));
      lines.push_back(colours[rng() % 4]);
    }
    for (int s = 0; s < 5; ++s) {
      lines.push_back("Sphere.static");
      lines.push_back(FormatPoint(coord(rng), coord(rng)));
      lines.push_back(FormatFloat7(coord(rng) / 6.0f + 0.5f));
      lines.push_back(colours[rng() % 4]);
    }
    MapText map = MapFromLines(lines);
    SimState sim;
    sim.BallCount = 8;
    for (int i = 1; i <= 8; ++i) {
      sim.Balls[i] =
          Ball{coord(rng), coord(rng), coord(rng) * 5, coord(rng) * 5, 0.18f, "red", 0.0f, 0.0f};
    }
    double now = kNow;
    for (int f = 0; f < 400; ++f) {
      const double dt = frame(rng);
      now += dt;
      StepBalls(sim, map, dt, now);
      RefillStaticSpheres(sim, map);
      for (int i = 1; i <= 8; ++i) {
        Ball& b = sim.Balls[i];
        ASSERT_TRUE(std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.vx) &&
                    std::isfinite(b.vy))
            << "scene " << scene << " frame " << f << " ball " << i;
        if (b.y < -6.0f) b = Ball{coord(rng), 3.0f, 0.0f, 0.0f, 0.18f, "red", 0.0f, 0.0f};
      }
    }
  }
}

TEST(StepBalls, TheCacheGivesTheSameSceneAsALiteralReparse) {
  std::vector<std::string> lines;
  for (int p = 0; p < 12; ++p) {
    const float y = 1.5f - 0.4f * p;
    const float x = (p % 2 == 0) ? -1.5f : 0.0f;
    for (const std::string& line :
         Platform(p % 3 == 0 ? "Plattform.static" : "Plattform.static.destructible", x, y, x + 1.8f,
                  y - 0.3f + 0.1f * (p % 4), p % 2 ? "red" : "blue")) {
      lines.push_back(line);
    }
  }
  lines.insert(lines.end(), {"Sphere.static", "[0.5,0]", "0.3", "white"});
  MapText cached = MapFromLines(lines);
  MapText literal = MapFromLines(lines);
  literal.cache.literalReparse = true;
  SimState a;
  a.BallCount = 4;
  for (int i = 1; i <= 4; ++i) {
    a.Balls[i] = Ball{-1.0f + 0.5f * i, 2.5f, 0.3f * i, 0.0f, 0.18f, "", 0.0f, 0.0f};
  }
  SimState b = a;
  double now = kNow;
  for (int f = 0; f < 3000; ++f) {
    const double dt = 0.001 + 0.001 * (f % 17);
    now += dt;
    StepBalls(a, cached, dt, now);
    StepBalls(b, literal, dt, now);
    RefillStaticSpheres(a, cached);
    RefillStaticSpheres(b, literal);
    for (int i = 1; i <= 4; ++i) {
      for (SimState* s : {&a, &b}) {
        if (s->Balls[i].y < -3.5f)
          s->Balls[i] = Ball{0.0f, 2.5f, 0.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
      }
    }
  }
  EXPECT_GT(cached.MapLineCount, static_cast<int>(lines.size()));  // something broke
  EXPECT_EQ(cached.MapLines, literal.MapLines);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(a.Balls[i].x, b.Balls[i].x);
    EXPECT_EQ(a.Balls[i].y, b.Balls[i].y);
    EXPECT_EQ(a.Balls[i].vx, b.Balls[i].vx);
    EXPECT_EQ(a.Balls[i].vy, b.Balls[i].vy);
  }
}

}  // namespace

namespace {

// What a step reports each ball ran into, and how hard.
TEST(StepBalls, ReportsEachBallsHardestContact) {
  MapText floor = MapOfPlatforms({Platform("Plattform.static", -2.0f, 0.0f, 2.0f, 0.0f)});
  MapText sphereMap = MapFromLines({"Sphere.static", "[0,0]", "0.5", "white"});
  MapText empty;
  struct Case {
    const char* what;
    MapText* map;
    SimState sim;
    int ball;
    HitKind kind;
    float impact;  // below 0: only "more than none"
  };
  SimState balls = OneBall(0.1f, 0.0f, -1.0f, 0.5f);
  balls.Balls[1] = Ball{0.0f, 0.0f, 2.0f, 0.0f, 0.18f, "", 0.0f, 0.0f};
  SimState onSphere = OneBall(0.0f, 0.6f, 1.0f, -1.0f);
  RefillStaticSpheres(onSphere, sphereMap);
  Case cases[] = {
      {"a landing: vy -2 turned to +2", &floor, OneBall(0.5f, 0.2f, 1.0f, -2.0f), 2,
       HitKind::kPlatform, 4.0f},
      {"out of reach", &floor, OneBall(0.5f, 0.27f, 1.0f, -2.0f), 2, HitKind::kNone, 0.0f},
      {"two balls trade (2,0) and (-1,0.5)", &empty, balls, 1, HitKind::kBall,
       static_cast<float>(std::hypot(3.0, 0.5))},
      {"the other ball of the pair", &empty, balls, 2, HitKind::kBall,
       static_cast<float>(std::hypot(3.0, 0.5))},
      {"a sphere glances", &sphereMap, onSphere, 2, HitKind::kSphere, -1.0f},
      {"the parked ball", &floor, OneBall(0.5f, 0.2f, 1.0f, -2.0f), 1, HitKind::kNone, 0.0f},
  };
  for (Case& c : cases) {
    const FrameHits hits = StepBalls(c.sim, *c.map, 0.001, kNow);
    const BallHit& hit = hits[static_cast<std::size_t>(c.ball)];
    EXPECT_EQ(hit.kind, c.kind) << c.what;
    if (c.impact >= 0.0f) {
      EXPECT_NEAR(hit.impact, c.impact, 1e-4) << c.what;
    } else {
      EXPECT_GT(hit.impact, 0.0f) << c.what;
    }
  }
}

}  // namespace
