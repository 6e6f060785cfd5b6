// Playing a level without steering: the game's own play step, without a
// screen, at a fixed frame time.
#include <cstdint>
#include <memory>

#include "game/game.h"
#include "mapcheck/map_check.h"
#include "session/play_frame.h"
#include "session/run.h"
#include "sim/balls.h"
#include "sim/level_objects.h"

namespace {

// The clock at the first frame (the headless runner's start), and the
// sparks per unit of broken platform the shipped settings ask for.
constexpr double kClockStart = 100.0;
const char* const kSparksPerUnit = "35";

}  // namespace

NoInputRun SimulateWithoutInput(const MapText& level, int gameMode, double seconds) {
  NoInputRun run;
  const auto game = std::make_unique<Game>();
  Game& g = *game;
  InitGameState(g);
  SettingsSet(g.settings, "Particle", kEnabled);
  SettingsSet(g.settings, "ParticleNumber", kSparksPerUnit);
  g.map = level;  // breaking platforms rewrite the copy
  g.sim.GameMode = static_cast<PlayMode>(gameMode);
  g.sim.SceneMode = 0;
  // A checked run stores no record and records no replay.
  g.replay.watching = true;
  g.frame.LastFrameStamp = kClockStart;
  g.session.SessionStartTime = static_cast<float>(kClockStart);
  TakeLevelStart(g.session, SetUpLevelObjects(g.sim, g.map));
  // The start flight's frames fill the static-sphere table before play.
  RefillStaticSpheres(g.sim, g.map);
  g.session.CameraPhase = 1;
  std::uint32_t seed = 12345;
  FrameView view;
  view.recording = false;

  const int frames = static_cast<int>(seconds / kCheckFrameTime + 0.5);
  for (int frame = 1; frame <= frames; ++frame) {
    const double dt = kCheckFrameTime;
    const double now = kClockStart + frame * dt;
    const double played = frame * dt;
    g.frame.FrameTime = dt;
    g.frame.LastFrameStamp = now;
    PlayInput in;  // no key held, none pressed
    in.steered = g.session.ControlsEnabled == 1;
    in.ballClock = now;
    in.rulesClock = now;
    in.random = [&seed] {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<double>(seed >> 8) / 16777216.0;
    };
    const PlayEvents events = StepPlayFrame(g, in, view);
    if (events.lost && !run.lost) {
      run.lost = true;
      run.lostAt = played;
    }
    if (events.won && !run.won) {
      run.won = true;
      run.wonAt = played;
    }
    if (events.fireCaught && !run.caughtFire) {
      run.caughtFire = true;
      run.fireAt = played;
    }
    run.frames = frame;
    run.lastBall1 = Point{g.sim.Balls[1].x, g.sim.Balls[1].y};
    if (run.lost || run.won) break;
  }
  return run;
}
