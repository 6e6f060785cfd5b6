// Level objects: set-up at level start, the goal colour and the goal test.
#include "sim/level_objects.h"

#include <algorithm>
#include <cmath>

namespace {

// The start coordinate: the nearest whole number, halves to even, held to
// what an int holds (a map may write 1e999).
int StartCoordinate(float v) {
  const double r = std::nearbyint(static_cast<double>(v));
  if (!(r > -2147483648.0)) return r < 0.0 ? -2147483647 - 1 : 0;
  if (r > 2147483647.0) return 2147483647;
  return static_cast<int>(r);
}

int ClampedGoalIndex(const GoalState& goal) {
  const int i = goal.BallIndex();
  if (i < 1) return 1;
  if (i > kMaxBalls) return kMaxBalls;
  return i;
}

}  // namespace

LevelStart SetUpLevelObjects(SimState& sim, const MapText& map) {
  LevelStart start;
  GoalState& goal = sim.Goal;
  goal.PendingGoalX = 19000.0f;
  goal.PendingGoalY = 19000.0f;
  goal.PendingGoalRadius = 0.0f;

  if (map.Line(1) == "BallPosition") {
    const Point p = ParsePoint(map.Line(2));
    start.StartPositionX = StartCoordinate(p.x);
    start.StartPositionY = StartCoordinate(p.y);
  }
  Ball& b1 = sim.Balls[1];
  b1.x = static_cast<float>(start.StartPositionX);
  b1.y = static_cast<float>(start.StartPositionY);
  b1.vx = 0.0f;
  b1.vy = 0.0f;

  sim.BallCount = 1;

  for (int k = 1; k <= map.MapLineCount; ++k) {
    const std::string& type = map.Line(k);
    const bool isGoal = type == "Goal.static" || type == "Goal.ragdoll";
    if (isGoal || type == "Sphere.ragdoll") {
      // The ball table holds 50 balls: the first 49 objects get one.
      if (sim.BallCount >= kMaxBalls) continue;
      sim.BallCount += 1;
      Ball& b = sim.Balls[static_cast<std::size_t>(sim.BallCount)];
      const Point c = ParsePoint(map.Line(k + 1));
      b.x = c.x;
      b.y = c.y;
      b.vx = 0.0f;
      b.vy = 0.0f;
      b.radius = static_cast<float>(ParseNumber(map.Line(k + 2)));
      if (isGoal) {
        // Every goal entry holds its own object, so none keeps stale values
        // from an earlier scene; only the last goal is the goal.
        b.colour = "white";
        goal.GoalIsRagdoll = type == "Goal.ragdoll" ? 1.0f : 0.0f;
        goal.GoalPresent = true;
        goal.GoalBallIndex = static_cast<float>(sim.BallCount);
        goal.PendingGoalRadius = b.radius;
        goal.PendingGoalX = c.x;
        goal.PendingGoalY = c.y;
      } else {
        b.colour = map.Line(k + 3);
      }
    } else if (type == "Startgame.zoomin") {
      const Triple cam = ParseTriple(map.Line(k + 1));
      start.zoomFound = true;
      start.ZoomCameraX = cam.x;
      start.ZoomCameraY = cam.y;
      start.ZoomCameraZ = cam.z;
      const double dx = static_cast<double>(b1.x) - cam.x;
      const double dy = static_cast<double>(b1.y) - cam.y;
      const double dz = -static_cast<double>(cam.z);
      const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
      start.zoomDegenerate = !(len > 0.0) || !std::isfinite(len);
      if (start.zoomDegenerate) {
        start.ZoomDirectionX = start.ZoomDirectionY = start.ZoomDirectionZ = 0.0f;
      } else {
        start.ZoomDirectionX = static_cast<float>(dx / len);
        start.ZoomDirectionY = static_cast<float>(dy / len);
        start.ZoomDirectionZ = static_cast<float>(dz / len);
      }
    }
  }
  if (sim.GameMode == PlayMode::kRace && goal.GoalPresent) {
    Ball& g = sim.Balls[static_cast<std::size_t>(ClampedGoalIndex(goal))];
    g.radius = goal.PendingGoalRadius;
    g.x = goal.PendingGoalX;
    g.y = goal.PendingGoalY;
    g.vx = 0.0f;
    g.vy = 0.0f;
  }
  return start;
}

void StepGoalColour(GoalState& goal, double dt) {
  static constexpr double kRise[3] = {2.0, 2.5, 1.5};
  static constexpr double kFall[3] = {1.5, 2.0, 2.5};
  for (int c = 0; c < 3; ++c) {
    if (goal.GoalColour[c] >= 1.0f) goal.GoalColourFalling[c] = 1;
    if (goal.GoalColour[c] <= 0.0f) goal.GoalColourFalling[c] = 0;
    const double v = goal.GoalColour[c];
    goal.GoalColour[c] =
        static_cast<float>(goal.GoalColourFalling[c] ? v - dt / kFall[c] : v + dt / kRise[c]);
  }
}

bool GoalDiskShown(const SimState& sim) {
  return sim.GameMode == PlayMode::kRace && sim.SceneMode == 0 && sim.Goal.GoalPresent;
}

const Ball& GoalBall(const SimState& sim) {
  return sim.Balls[static_cast<std::size_t>(ClampedGoalIndex(sim.Goal))];
}

void GoalReachedTest(SimState& sim) {
  if (sim.GameMode != PlayMode::kRace || !sim.Goal.GoalPresent) return;
  const Ball& b1 = sim.Balls[1];
  const Ball& g = sim.Balls[static_cast<std::size_t>(ClampedGoalIndex(sim.Goal))];
  const double dx = static_cast<double>(b1.x) - g.x;
  const double dy = static_cast<double>(b1.y) - g.y;
  if (std::sqrt(dx * dx + dy * dy) < static_cast<double>(b1.radius) + g.radius) {
    sim.Goal.GoalReached = true;
  }
}
