#include "session/play_frame.h"

#include "game/game.h"
#include "platform/platform.h"
#include "session/hud.h"
#include "session/replays.h"
#include "session/rules.h"
#include "session/run.h"
#include "sim/balls.h"
#include "sim/level_objects.h"
#include "sim/particles.h"

namespace {

constexpr float kCameraFloor = -25.0f;  // the camera stops following below
const char* const kTitle = "Quobbes Zirpel";

// The Pause key pressed: nothing runs until Pause or Esc. Only presses made
// after the pause began end it, and the press that ended it does not start
// the next one.
void WaitOutPause(PlayInput& in) {
  if (plat::AsyncKeyState(plat::kVkPause) == 0) return;
  plat::ForgetAsyncKeys();
  plat::SetWindowTitle("Quobbes Zirpel (Pause)");
  in.paused = true;
  in.pauseStart = plat::Timer();
  plat::SleepPlainMs(200);
  for (;;) {
    // Both keys are queried every time, so neither keeps a stale press.
    const int pause = plat::AsyncKeyState(plat::kVkPause);
    const int esc = plat::AsyncKeyState(plat::kVkEscape);
    if (pause != 0 || esc != 0) break;
    plat::SleepMs(2);
  }
  plat::SleepPlainMs(200);
  plat::ForgetAsyncKeys();
  plat::SetWindowTitle(kTitle);
  in.pauseEnd = plat::Timer();
}

// The goal's colour moves only in the frames that show the disk.
void StepGoalDisk(Game& game, FrameView& view, double dt) {
  if (!GoalDiskShown(game.sim)) return;
  StepGoalColour(game.sim.Goal, dt);
  view.GoalDisk(game.sim);
}

// Nothing at all unless "Particle" is "Enabled": emission of a pending
// break, motion.
void StepSparks(Game& game, FrameView& view, const RandomFn& random) {
  if (!SettingEnabled(game.settings, "Particle")) return;
  if (game.sim.Break.pending != 0) {
    EmitBreakParticles(game.particles, game.sim.Break, SettingsGet(game.settings, "ParticleNumber"),
                       random);
  }
  StepParticles(game.particles);
  view.Particles(game.particles);
}

}  // namespace

PlayInput ReadPlayInput(Game& game) {
  PlayInput in;
  WaitOutPause(in);
  if (game.session.ControlsEnabled == 1) {
    // One reading after the other, in the order the replays hold them: the
    // order of a call's arguments is left to each compiler.
    in.steered = true;
    in.boost = plat::KeyDown(plat::kScanSpace);
    in.left = plat::KeyDown(plat::kScanLeft);
    in.right = plat::KeyDown(plat::kScanRight);
  }
  in.quitDown = plat::KeyDown(plat::kScanN);
  in.restartDown = plat::KeyDown(plat::kScanY);
  in.ballClock = plat::Timer();
  in.rulesClock = plat::Timer();
  in.random = &plat::Random;
  return in;
}

void ReadRestartClock(Game& game, const PlayEvents& events) {
  if (events.restarted) game.session.SessionStartTime = static_cast<float>(plat::Timer());
}

PlayEvents StepPlayFrame(Game& game, const PlayInput& in, FrameView& view) {
  PlayEvents events;
  SessionState& s = game.session;
  SimState& sim = game.sim;
  Ball& b1 = sim.Balls[1];
  sim.Break.mx = b1.vx;
  sim.Break.my = b1.vy;
  if (in.paused) {
    events.paused = true;
    game.frame.LastFrameStamp = in.pauseEnd;
    s.SessionStartTime =
        static_cast<float>(static_cast<double>(s.SessionStartTime) + (in.pauseEnd - in.pauseStart));
  }
  const double dt = game.frame.FrameTime;
  if (in.steered) {
    events.boosting = in.boost && s.Energy > 0.0f;
    ApplyControls(s, b1, dt, in.right, in.left, in.boost);
  }
  // The restart question's answer, read once for the whole frame. A key
  // that answers it (the key labelled Z on a German keyboard sends "z" from
  // the Y position) does not also toggle, neither in this frame nor in the
  // next, when its character may come in only after its position was read.
  s.endAnswer = ReadEndAnswer(game.frame.LastKey, in.restartDown, in.quitDown);
  const bool answering =
      (s.endAnswer != kNoAnswer && RestartQuestionShown(s, sim)) || s.answeredLastFrame;
  s.answeredLastFrame = false;
  if (!answering && ApplyToggles(s, game.frame.LastKey)) view.Wireframe(s.Wireframe != 0);
  game.GridCentreX = b1.x;
  game.GridCentreY = b1.y > kCameraFloor ? b1.y : kCameraFloor;
  view.Translate(-game.GridCentreX, -game.GridCentreY, 0.0f);

  const bool burning = sim.RedContact;
  const std::uint64_t mapBefore = game.map.revision;
  events.hits = StepBalls(sim, game.map, dt, in.ballClock);
  events.broke = game.map.revision != mapBefore;
  if (sim.RedContact && !burning) events.fireCaught = true;
  if (!sim.RedContact && burning) events.fireOut = true;
  view.Balls(sim, s.BurnTime);
  StepGhost(game);
  if (game.replay.ghostShown) view.Ghost(game.replay.ghostX, game.replay.ghostY, kBallRadius);
  StepGoalDisk(game, view, dt);
  view.Grid(game.GridCentreX, game.GridCentreY);
  StepSparks(game, view, in.random);
  RefillStaticSpheres(sim, game.map);
  view.MapObjects(game.map);

  // Rules and HUD, in their fixed order.
  const double now = in.rulesClock;
  s.rulesNow = now;
  view.BurnOverlay(DangerMargin(game.video.ScreenWidth, s.BurnTime));
  ApplyRules(game, view, events, now);
  if (s.quit) return events;
  events.hintShown = ShowTextTriggers(game.hud, view, game.map, sim.Balls[1], dt) > 0;
  CountFrame(game.hud, now);
  AccumulateBurn(s, sim, dt);
  ShowHudBars(game.hud, view, s.Energy, sim);
  ShowModeTexts(s, sim, game.hud, view, now);
  ShowInfoLines(game.hud, view, s, now);
  return events;
}

bool StepZoomFrame(Game& game, FrameView& view) {
  SessionState& s = game.session;
  const Ball& b1 = game.sim.Balls[1];
  game.sim.Break.mx = b1.vx;
  game.sim.Break.my = b1.vy;
  const bool ended = StepZoom(s, b1, game.frame.FrameTime, game.frame.LastKey == plat::kKeyEnter);
  // The frame that ends the zoom shows the play step alone, not both.
  if (ended) return false;
  view.Translate(-s.ZoomCameraX, -s.ZoomCameraY, -s.ZoomCameraZ);
  view.Balls(game.sim, s.BurnTime);
  StepGoalDisk(game, view, game.frame.FrameTime);
  RefillStaticSpheres(game.sim, game.map);
  view.MapObjects(game.map);
  return true;
}
