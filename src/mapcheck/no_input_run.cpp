// Playing a level without steering: the play frame's simulation, without a
// screen, at a fixed frame time.
#include <cstdint>

#include "mapcheck/map_check.h"
#include "sim/balls.h"
#include "sim/level_objects.h"
#include "sim/particles.h"
#include "sim/sim_state.h"

namespace {

// The rules' limits: ball 1 strictly below the fall limit, or burnt for the
// burn limit, has lost the run.
constexpr float kFallLimit = -25.0f;
constexpr float kBurnLimit = 30.0f;
// The clock at the first frame (the headless runner's start), and the
// sparks per unit of broken platform the shipped settings ask for.
constexpr double kClockStart = 100.0;
const char* const kSparksPerUnit = "35";

}  // namespace

NoInputRun SimulateWithoutInput(const MapText& level, int gameMode, double seconds) {
  NoInputRun run;
  MapText map = level;  // breaking platforms rewrite the copy
  // A run starts clean: ball 1 at its size, nothing burning, no sparks.
  SimState sim;
  sim.GameMode = static_cast<std::uint8_t>(gameMode);
  sim.SceneMode = 0;
  sim.Balls[1].radius = kBallRadius;
  sim.Balls[1].colour = "white";
  ParticleList sparks;
  std::uint32_t seed = 12345;
  const RandomFn random = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / 16777216.0;
  };
  SetUpLevelObjects(sim, map);
  // The start flight's frames fill the static-sphere table before play.
  RefillStaticSpheres(sim, map);

  float burnTime = 0.0f;
  const int frames = static_cast<int>(seconds / kCheckFrameTime + 0.5);
  for (int frame = 1; frame <= frames; ++frame) {
    const double dt = kCheckFrameTime;
    const double now = kClockStart + frame * dt;
    const double played = frame * dt;
    sim.Break.mx = sim.Balls[1].vx;
    sim.Break.my = sim.Balls[1].vy;
    StepBalls(sim, map, dt, now);
    if (sim.Break.pending != 0) EmitBreakParticles(sparks, sim.Break, kSparksPerUnit, random);
    StepParticles(sparks);
    RefillStaticSpheres(sim, map);
    // The rules: the loss test (a race already won cannot be lost), then
    // the goal.
    if ((sim.Balls[1].y < kFallLimit || burnTime >= kBurnLimit) && !run.won) {
      run.lost = true;
      run.lostAt = played;
    }
    if (gameMode == 1) {
      GoalReachedTest(sim);
      if (sim.Goal.GoalReached == 1.0f && !run.won) {
        run.won = true;
        run.wonAt = played;
      }
    }
    if (sim.RedContact == "true") {
      burnTime = static_cast<float>(static_cast<double>(burnTime) + dt);
      if (!run.caughtFire) {
        run.caughtFire = true;
        run.fireAt = played;
      }
    }
    run.frames = frame;
    run.lastBall1 = Point{sim.Balls[1].x, sim.Balls[1].y};
    if (run.lost || run.won) break;
  }
  return run;
}
