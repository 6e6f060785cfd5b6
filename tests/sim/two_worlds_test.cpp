// Two worlds in one process never touch each other: world A stepped alone
// and world A stepped in turn with a busy world B pass through bit-identical
// states, frame by frame.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "game/game.h"
#include "mapfile/map_file.h"
#include "session/play_frame.h"
#include "session/run.h"
#include "sim/level_objects.h"
#include "sim/world_hash.h"

namespace {

// Everything one world holds (a whole game's state), with its own random
// source for the sparks, stepped by the game's own play step.
struct World {
  std::unique_ptr<Game> game = std::make_unique<Game>();
  std::mt19937 rng;
  double now = 100.0;

  World(const std::string& level, std::uint8_t mode, unsigned seed) : rng(seed) {
    Game& g = *game;
    InitGameState(g);
    SettingsSet(g.settings, "Particle", "Enabled");
    SettingsSet(g.settings, "ParticleNumber", "35");
    g.select.ChosenLevelFile = level;
    LoadMap(g.map, ZIRPEL_SOURCE_DIR "/res/maps/" + level);
    g.sim.GameMode = static_cast<PlayMode>(mode);
    g.sim.SceneMode = 0;
    g.session.SessionStartTime = static_cast<float>(now);
    g.session.CameraPhase = 1;
    TakeLevelStart(g.session, SetUpLevelObjects(g.sim, g.map));
    g.replay.watching = true;  // records nothing, stores nothing
  }

  // One play frame: steering that changes direction every 90 frames.
  std::uint64_t Step(int frame, double dt) {
    Game& g = *game;
    now += dt;
    g.frame.FrameTime = dt;
    PlayInput in;
    in.steered = g.session.ControlsEnabled == 1;
    in.right = (frame / 90) % 2 == 0;
    in.left = !in.right;
    in.ballClock = now;
    in.rulesClock = now;
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    in.random = [this, uniform]() mutable { return uniform(rng); };
    FrameView view;
    view.recording = false;
    StepPlayFrame(g, in, view);
    return HashSimulation(g.sim, g.map, g.particles);
  }
  const ParticleList& particles() const { return game->particles; }
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
      aSparks += a.particles().items.empty() ? 0 : 1;
    }
  }
  World a(kLevelA, 1, 7);
  World b(kLevelB, 2, 99);
  int bBreaks = 0;
  for (int f = 0; f < kFrames; ++f) {
    // B runs at other frame times, several steps between two of A's.
    for (int k = 0; k < 1 + f % 3; ++k) {
      b.Step(f + 45, 0.007 + 0.003 * k);
      bBreaks += b.particles().items.empty() ? 0 : 1;
    }
    ASSERT_EQ(a.Step(f, 0.016), alone[static_cast<std::size_t>(f)]) << "frame " << f;
  }
  // Both worlds broke platforms and threw sparks, each into its own list.
  EXPECT_GT(aSparks, 0);
  EXPECT_GT(bBreaks, 0);
}

}  // namespace
