// Every shipped level played straight through the scene step at steady 15,
// 30, 60 and 144 frames a second and at 60 with single slow frames of 100,
// 250 and 500 ms at random moments: the paths differ from rate to rate, but
// no ball ever passes through a fixed platform that a ball of its speed could
// not pass at 60 frames a second.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"
#include "mapfile/map_file.h"
#include "sim/balls.h"
#include "sim/level_objects.h"

namespace {

namespace fs = std::filesystem;

constexpr double kPlaySeconds = 20.0;
constexpr double kSteer = 4.0;      // units/s^2 while a direction is held
constexpr double kBoost = 15.0;     // units/s^2 while the boost is held
constexpr double kLowestY = -30.0;  // below this the run is over: start again

std::vector<std::string> ShippedLevels() {
  std::vector<std::string> levels;
  for (const auto& e : fs::directory_iterator(std::string(ZIRPEL_SOURCE_DIR) + "/res/maps")) {
    const std::string ext = e.path().extension().string();
    if (ext == ".mapGame1" || ext == ".mapGame2") levels.push_back(e.path().string());
  }
  std::sort(levels.begin(), levels.end());
  return levels;
}

// What the player holds, the same over play time at every frame rate: a new
// choice every 0.7 s.
struct Hold {
  int direction = 0;  // -1 left, 0 none, 1 right
  bool boost = false;
};

std::vector<Hold> Steering(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<Hold> holds;
  for (double t = 0.0; t < kPlaySeconds + 1.0; t += 0.7) {
    const unsigned r = random();
    holds.push_back({static_cast<int>(r % 3) - 1, (r / 3) % 4 == 0});
  }
  return holds;
}

// Frame times of a run: steady, or steady at 60 with single long frames at
// random moments (about one a second).
std::vector<double> FrameTimes(double steady, unsigned hiccupSeed) {
  std::mt19937 random(hiccupSeed);
  const double hiccups[] = {0.1, 0.25, 0.5};
  std::vector<double> times;
  for (double t = 0.0; t < kPlaySeconds;) {
    double dt = steady;
    if (hiccupSeed != 0 && random() % 60 == 0) dt = hiccups[random() % 3];
    times.push_back(dt);
    t += dt;
  }
  return times;
}

using e2e::Crosses;
using e2e::Segment;

struct Level {
  MapText map;
  std::vector<std::string> lines;
  std::vector<Segment> fixed;  // platforms that never break
  SimState sim;

  explicit Level(const std::string& path) {
    LoadMap(map, path);
    for (int k = 1; k <= map.MapLineCount; ++k) lines.push_back(map.Line(k));
    for (const MapPlatform& p : MapObjects(map).platforms) {
      if (p.kind == PlatformKind::Fixed && p.usable) fixed.push_back({p.a.x, p.a.y, p.b.x, p.b.y});
    }
    sim.GameMode = path.ends_with(".mapGame2") ? PlayMode::kSurvival : PlayMode::kRace;
    Start();
  }
  void Start() {
    SetMapLines(map, lines);
    sim.SceneMode = 0;
    sim.RedContact = false;
    sim.Goal.GoalReached = false;
    sim.Balls[1].radius = kBallRadius;
    SetUpLevelObjects(sim, map);
    RefillStaticSpheres(sim, map);
  }
};

// Plays one level with one frame schedule; returns what passed through what.
std::vector<std::string> Play(const std::string& path, const std::vector<double>& frames,
                              const std::vector<Hold>& holds) {
  Level level(path);
  SimState& sim = level.sim;
  std::vector<std::string> passes;
  double now = 100.0, played = 0.0;
  float energy = 5.0f;
  for (const double dt : frames) {
    Ball& b1 = sim.Balls[1];
    const Hold& hold = holds[static_cast<std::size_t>(played / 0.7)];
    b1.vx = static_cast<float>(b1.vx + hold.direction * kSteer * dt);
    if (hold.boost && energy > 0.0f) {
      energy = static_cast<float>(energy - kBoost * dt);
      b1.vy = static_cast<float>(b1.vy >= 0.0f ? b1.vy + kBoost * dt : b1.vy - kBoost * dt);
    } else if (energy < 5.0f) {
      energy = static_cast<float>(energy + dt);
    }
    std::vector<Ball> before(sim.Balls.begin(), sim.Balls.begin() + sim.BallCount + 1);
    now += dt;
    played += dt;
    StepBalls(sim, level.map, dt, now);
    RefillStaticSpheres(sim, level.map);
    for (int i = 1; i <= sim.BallCount; ++i) {
      const Ball& was = before[static_cast<std::size_t>(i)];
      const Ball& is = sim.Balls[static_cast<std::size_t>(i)];
      // A ball this fast may pass a platform within one frame at 60 a
      // second too: its path is not judged.
      const double speed = std::max(std::hypot(was.vx, was.vy), std::hypot(is.vx, is.vy));
      if (speed / 60.0 > 2.0 * (0.08 + is.radius)) continue;
      for (const Segment& s : level.fixed) {
        if (Crosses(was.x, was.y, is.x, is.y, s)) {
          passes.push_back("ball " + std::to_string(i) + " at speed " + std::to_string(speed) +
                           " through [" + std::to_string(s.ax) + "," + std::to_string(s.ay) +
                           "]-[" + std::to_string(s.bx) + "," + std::to_string(s.by) +
                           "] in a frame of " + std::to_string(dt) + " s at " +
                           std::to_string(played) + " s");
        }
      }
    }
    if (sim.GameMode == PlayMode::kRace) GoalReachedTest(sim);
    if (sim.Balls[1].y < kLowestY || sim.Goal.GoalReached) level.Start();
  }
  return passes;
}

TEST(FrameRates, NoBallPassesAFloorOrWallAtAnyRateOrThroughASlowFrame) {
  const std::vector<std::string> levels = ShippedLevels();
  ASSERT_GE(levels.size(), 12u);
  const struct {
    const char* name;
    double steady;
    unsigned hiccups;  // seed, 0 for none
  } schedules[] = {{"15/s", 1.0 / 15.0, 0},
                   {"30/s", 1.0 / 30.0, 0},
                   {"60/s", 1.0 / 60.0, 0},
                   {"144/s", 1.0 / 144.0, 0},
                   {"60/s with slow frames (a)", 1.0 / 60.0, 2512},
                   {"60/s with slow frames (b)", 1.0 / 60.0, 4711},
                   {"60/s with slow frames (c)", 1.0 / 60.0, 1033}};
  unsigned seed = 7;
  for (const std::string& level : levels) {
    const std::vector<Hold> holds = Steering(++seed);
    for (const auto& schedule : schedules) {
      const unsigned hiccups = schedule.hiccups == 0 ? 0 : schedule.hiccups + seed;
      const std::vector<double> frames = FrameTimes(schedule.steady, hiccups);
      for (const std::string& pass : Play(level, frames, holds)) {
        ADD_FAILURE() << fs::path(level).filename().string() << " at " << schedule.name << ": "
                      << pass;
      }
    }
  }
}

}  // namespace
