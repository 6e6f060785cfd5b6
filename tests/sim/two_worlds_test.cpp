// Two worlds in one process never touch each other: world A stepped alone
// and world A stepped in turn with a busy world B pass through bit-identical
// states, frame by frame.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mapfile/map_file.h"
#include "sim/balls.h"
#include "sim/level_objects.h"
#include "sim/particles.h"
#include "sim/world_hash.h"

namespace {

// Everything one world holds, with its own random source for the sparks.
struct World {
  MapText map;
  SimState sim;
  ParticleList particles;
  std::mt19937 rng;
  double now = 100.0;

  World(const std::string& level, std::uint8_t mode, unsigned seed) : rng(seed) {
    LoadMap(map, ZIRPEL_SOURCE_DIR "/res/maps/" + level);
    sim.GameMode = mode;
    sim.SceneMode = 0;
    for (Ball& b : sim.Balls) b.radius = 0.18f;
    SetUpLevelObjects(sim, map);
    RefillStaticSpheres(sim, map);
  }

  // One play frame of the simulation: a push on ball 1, the scene step,
  // sparks, the goal colour and the goal test.
  std::uint64_t Step(int frame, double dt) {
    now += dt;
    Ball& b1 = sim.Balls[1];
    b1.vx = static_cast<float>(b1.vx + ((frame / 90) % 2 == 0 ? 4.0 : -4.0) * dt);
    sim.Break.mx = b1.vx;
    sim.Break.my = b1.vy;
    StepBalls(sim, map, dt, now);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    if (sim.Break.pending != 0) {
      EmitBreakParticles(particles, sim.Break, "35", [this, &uniform] { return uniform(rng); });
    }
    StepParticles(particles);
    if (GoalDiskShown(sim)) StepGoalColour(sim.Goal, dt);
    GoalReachedTest(sim);
    RefillStaticSpheres(sim, map);
    return HashSimulation(sim, map, particles);
  }
};

constexpr int kFrames = 1500;
const char* const kLevelA = "04 Bruchkanten.mapGame1";
const char* const kLevelB = "01 Broeckelboden.mapGame2";

TEST(TwoWorlds, AWorldSteppedBesideAnotherPlaysAsItPlaysAlone) {
  std::vector<std::uint64_t> alone;
  int aSparks = 0;
  {
    World a(kLevelA, 1, 7);
    for (int f = 0; f < kFrames; ++f) {
      alone.push_back(a.Step(f, 0.016));
      aSparks += a.particles.items.empty() ? 0 : 1;
    }
  }
  World a(kLevelA, 1, 7);
  World b(kLevelB, 2, 99);
  int bBreaks = 0;
  for (int f = 0; f < kFrames; ++f) {
    // B runs at other frame times, several steps between two of A's.
    for (int k = 0; k < 1 + f % 3; ++k) {
      b.Step(f + 45, 0.007 + 0.003 * k);
      bBreaks += b.particles.items.empty() ? 0 : 1;
    }
    ASSERT_EQ(a.Step(f, 0.016), alone[static_cast<std::size_t>(f)]) << "frame " << f;
  }
  // Both worlds broke platforms and threw sparks, each into its own list.
  EXPECT_GT(aSparks, 0);
  EXPECT_GT(bBreaks, 0);
}

}  // namespace
