// Game session loop: start zoom, play step, pause, camera and end.
#include "session/session.h"

#include <cmath>

#include "game/game.h"
#include "mapfile/map_file.h"
#include "platform/platform.h"
#include "render/scene_draw.h"
#include "render/screen_draw.h"
#include "session/hud.h"
#include "session/leaderboard.h"
#include "session/replays.h"
#include "session/rules.h"
#include "sim/balls.h"
#include "sim/level_objects.h"
#include "sim/particles.h"
#include "sound/sound.h"

namespace {

constexpr double kZoomSpeed = 10.0;     // world units per second
constexpr double kSteer = 4.0;          // units/s^2 on vx
constexpr double kBoost = 15.0;         // units/s^2 on vy
constexpr double kBoostCost = 15.0;     // energy per second
constexpr float kCameraFloor = -25.0f;  // the camera stops following below
const char* const kTitle = "Quobbes Zirpel";

// The Pause key pressed: nothing runs until Pause or Esc; the pause does not
// count towards the level time. Only presses made after the pause began end
// it, and the press that ended it does not start the next one.
void PauseIfAsked(Game& game) {
  if (plat::AsyncKeyState(plat::kVkPause) == 0) return;
  plat::ForgetAsyncKeys();
  plat::SetWindowTitle("Quobbes Zirpel (Pause)");
  const double pauseStart = plat::Timer();
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
  const double now = plat::Timer();
  game.frame.LastFrameStamp = now;
  game.session.SessionStartTime =
      static_cast<float>(static_cast<double>(game.session.SessionStartTime) + (now - pauseStart));
}

// The goal's colour moves only in the frames that show the disk.
void StepAndDrawGoalDisk(Game& game, double dt) {
  if (GoalDiskShown(game.sim)) StepGoalColour(game.sim.Goal, dt);
  DrawGoalDisk(game.sim, game.video);
}

void RefillAndDrawMapObjects(Game& game) {
  RefillStaticSpheres(game.sim, game.map);
  DrawMapObjects(game.map, game.video);
}

// Nothing at all unless "Particle" is "Enabled": emission of a pending
// break, motion, drawing.
void StepAndDrawParticles(Game& game) {
  if (SettingsGet(game.settings, "Particle") != "Enabled") return;
  if (game.sim.Break.pending != 0) {
    EmitBreakParticles(game.particles, game.sim.Break, SettingsGet(game.settings, "ParticleNumber"),
                       &plat::Random);
  }
  StepParticles(game.particles);
  DrawParticles(game.particles, game.video);
}

void DrawSceneStill(Game& game) {
  DrawBalls(game.sim, game.video, game.session.BurnTime);
  StepAndDrawGoalDisk(game, game.frame.FrameTime);
  RefillAndDrawMapObjects(game);
}

// Returns whether the zoom is still running (nothing else to do this frame).
bool ZoomStep(Game& game) {
  SessionState& s = game.session;
  const Ball& b1 = game.sim.Balls[1];
  game.sim.Break.mx = b1.vx;
  game.sim.Break.my = b1.vy;
  const bool ended = StepZoom(s, b1, game.frame.FrameTime, game.frame.LastKey == plat::kKeyEnter);
  // The frame that ends the zoom shows the play step alone, not both.
  if (ended) return false;
  TranslateView(-s.ZoomCameraX, -s.ZoomCameraY, -s.ZoomCameraZ);
  DrawSceneStill(game);
  return true;
}

void PlayStep(Game& game) {
  SessionState& s = game.session;
  Ball& b1 = game.sim.Balls[1];
  game.sim.Break.mx = b1.vx;
  game.sim.Break.my = b1.vy;
  PauseIfAsked(game);
  const double dt = game.frame.FrameTime;
  if (s.ControlsEnabled == 1) {
    // One reading after the other, in the order the replays hold them: the
    // order of a call's arguments is left to each compiler.
    const bool boost = plat::KeyDown(plat::kScanSpace);
    const bool left = plat::KeyDown(plat::kScanLeft);
    const bool right = plat::KeyDown(plat::kScanRight);
    ApplyControls(s, b1, dt, right, left, boost);
  }
  // The restart question's answer, read once for the whole frame. A key
  // that answers it (the key labelled Z on a German keyboard sends "z" from
  // the Y position) does not also toggle, neither in this frame nor in the
  // next, when its character may come in only after its position was read.
  const bool quitDown = plat::KeyDown(plat::kScanN);
  const bool restartDown = plat::KeyDown(plat::kScanY);
  s.endAnswer = ReadEndAnswer(game.frame.LastKey, restartDown, quitDown);
  const bool answering =
      (s.endAnswer != kNoAnswer && RestartQuestionShown(s, game.sim)) || s.answeredLastFrame;
  s.answeredLastFrame = false;
  if (!answering && ApplyToggles(s, game.frame.LastKey)) {
    SetWireframe(s.Wireframe != 0);
  }
  if (b1.y > kCameraFloor) {
    TranslateView(-b1.x, -b1.y, 0.0f);
    game.GridCentreX = b1.x;
    game.GridCentreY = b1.y;
  } else {
    TranslateView(-b1.x, -kCameraFloor, 0.0f);
    game.GridCentreX = b1.x;
    game.GridCentreY = kCameraFloor;
  }
  StepBalls(game.sim, game.map, dt, plat::Timer());
  DrawBalls(game.sim, game.video, s.BurnTime);
  StepAndDrawGhost(game);
  StepAndDrawGoalDisk(game, dt);
  DrawGrid(game.GridCentreX, game.GridCentreY);
  StepAndDrawParticles(game);
  RefillAndDrawMapObjects(game);

  // Rules and HUD, in their fixed order.
  const double now = plat::Timer();
  s.rulesNow = now;
  DrawBurnOverlay(game.video, DangerMargin(game.video.ScreenWidth, game.session.BurnTime));
  ApplyRules(game, now);
  if (s.quit) return;
  TextTriggers(game.hud, game.video, game.map, game.sim.Balls[1], game.frame.FrameTime);
  CountFrame(game.hud, now);
  AccumulateBurn(game.session, game.sim, game.frame.FrameTime);
  DrawHudBars(game.hud, game.video, game.session.Energy, game.sim);
  DrawModeTexts(game.session, game.sim, game.hud, game.video, now);
  DrawInfoLines(game.hud, game.video, game.session, now);
}

}  // namespace

void ResetRun(SessionState& s, SimState& sim) {
  s.BurnTime = 0.0f;
  sim.RedContact = "false";
  s.ControlsEnabled = 1;
  s.Energy = kEnergyMax;
  s.RunLost = 0;
  sim.Goal.GoalReached = 0.0f;
  s.SurvivalEnded = 0;
}

void SetUpMenuScene(SimState& sim, MapText& map) {
  LoadMap(map, "Res/maps/Mainmenu.startmap");
  sim.BallCount = 4;
  // Far off to the right until the menu's rules hold or drop them.
  for (int i = 1; i <= 4; ++i) sim.Balls[static_cast<std::size_t>(i)].x = 30.0f;
  sim.SceneMode = 1;
}

void TakeLevelStart(SessionState& session, const LevelStart& start) {
  session.StartPositionX = start.StartPositionX;
  session.StartPositionY = start.StartPositionY;
  if (start.zoomFound) {
    session.ZoomCameraX = start.ZoomCameraX;
    session.ZoomCameraY = start.ZoomCameraY;
    session.ZoomCameraZ = start.ZoomCameraZ;
    session.ZoomDirectionX = start.ZoomDirectionX;
    session.ZoomDirectionY = start.ZoomDirectionY;
    session.ZoomDirectionZ = start.ZoomDirectionZ;
  }
  session.RecordStored = 0;
  if (start.zoomDegenerate) session.CameraPhase = 1;
}

double ElapsedTime(const SessionState& session, double now) {
  const double t = now - static_cast<double>(session.SessionStartTime);
  return t > 0.0 ? t : 0.0;
}

void ApplyControls(SessionState& s, Ball& b1, double dt, bool right, bool left, bool boost) {
  if (right) b1.vx = static_cast<float>(b1.vx + kSteer * dt);
  if (left) b1.vx = static_cast<float>(b1.vx - kSteer * dt);
  if (s.Energy > 0.0f && boost) {
    s.Energy = static_cast<float>(s.Energy - kBoostCost * dt);
    // The boost always pushes away from zero, in the current direction.
    b1.vy = static_cast<float>(b1.vy >= 0.0f ? b1.vy + kBoost * dt : b1.vy - kBoost * dt);
  }
  if (s.Energy < kEnergyMax && b1.vy <= 0.0f && b1.vy > -4.0f) {
    s.Energy = static_cast<float>(s.Energy + dt);
  }
  if (s.Energy < 0.0f) s.Energy = 0.0f;
}

bool ApplyToggles(SessionState& s, const std::string& key) {
  if (key == "t" || key == "T") s.InfoOverlay = s.InfoOverlay ? 0 : 1;
  if (key == "g" || key == "G") s.GhostHidden = s.GhostHidden ? 0 : 1;
  if (key == "z" || key == "Z") {
    s.Wireframe = s.Wireframe ? 0 : 1;
    return true;
  }
  return false;
}

bool StepZoom(SessionState& s, const Ball& b1, double dt, bool enter) {
  const double dx = static_cast<double>(s.ZoomCameraX) - b1.x;
  const double dy = static_cast<double>(s.ZoomCameraY) - b1.y;
  const float d = static_cast<float>(std::sqrt(dx * dx + dy * dy));
  if (d > s.ZoomPrevDistance || enter) s.CameraPhase = 1;
  s.ZoomPrevDistance = d;
  s.ZoomCameraX = static_cast<float>(s.ZoomCameraX + dt * kZoomSpeed * s.ZoomDirectionX);
  s.ZoomCameraY = static_cast<float>(s.ZoomCameraY + dt * kZoomSpeed * s.ZoomDirectionY);
  s.ZoomCameraZ = static_cast<float>(s.ZoomCameraZ + dt * kZoomSpeed * s.ZoomDirectionZ);
  return s.CameraPhase == 1;
}

void RunSession(Game& game) {
  SessionState& s = game.session;
  s.quit = false;
  // Pause and Esc pressed in the menu or to leave the previous level belong
  // to that time, not to this play.
  plat::ForgetAsyncKeys();
  for (;;) {
    plat::SetScreenName("session");
    ResetModelView();
    PollKeyInto(game);
    if (game.frame.LastKey == plat::kKeyEsc || game.frame.LastKey == plat::kKeyClose) break;
    MeasureFrameTime(game);
    s.FrameCounter += 1;
    game.hud.shownTexts.clear();
    ClearFrame();
    bool zooming = false;
    if (s.CameraPhase == 0) zooming = ZoomStep(game);
    if (!zooming && s.CameraPhase == 1) {
      ResetModelView();
      PlayStep(game);
      if (s.quit) break;  // the rest of the frame is not drawn
    }
    if (game.replay.watching) {
      ResetModelView();
      HudText(game.hud, game.video, "Wiederholung", -2.3f, 1.75f, 1.0f, 1.0f, 0.4f);
    }
    ReplayFrame(game);
    FinishFrame();
    HearFrame(game, "session");
    plat::Present();
    StartNextRunReplay(game);
    plat::SleepPlainMs(1);
  }
  EndSession(game);
}

void StartLevel(Game& game) {
  LevelSelectState& sel = game.select;
  const std::string path = "Res/maps/" + sel.ChosenLevelFile;
  game.sim.GameMode = static_cast<std::uint8_t>(sel.SelectedMode);
  LoadMap(game.map, path);
  ClearRunLeftovers(game.sim, game.session, game.particles);
  game.session.BestTime = game.replay.watching ? game.replay.playing.bestTime
                                               : LookUpBestTime(game.board, sel.ChosenLevelFile);
  DrainKeys(game);
  plat::SetPointerVisible(false);
  // From here on every reading of the outside world is the run's.
  if (!BeginSessionReplay(game)) {
    const double now = plat::Timer();
    game.frame.LastFrameStamp = now;
    game.hud.WindowStart = static_cast<float>(now);
    game.session.SessionStartTime = static_cast<float>(now);
    game.session.SurvivalTimeText = "0";
    game.sim.SceneMode = 0;
    TakeLevelStart(game.session, SetUpLevelObjects(game.sim, game.map));
  }
  RunSession(game);
}

void EndSession(Game& game) {
  EndSessionReplay(game);
  SessionState& s = game.session;
  SimState& sim = game.sim;
  s.SessionStartTime = 0.0f;
  ResetRun(s, sim);
  sim.Goal.PendingGoalX = 19000.0f;
  sim.Goal.PendingGoalY = 19000.0f;
  sim.Goal.PendingGoalRadius = 0.001f;
  sim.Goal.GoalPresent = 0.0f;

  s.CameraPhase = 0;
  s.ZoomPrevDistance = 500.0f;
  s.RecordStored = 0;
  s.InfoOverlay = 0;
  SetWireframe(false);
  s.Wireframe = 0;
  s.quit = false;
  s.answeredLastFrame = false;
  game.hud.shownTexts.clear();

  for (int i = 1; i <= 4; ++i) game.menu.BallDropped[i] = 0;
  game.frame.MenuStartTime = plat::Timer();
  for (int i = 1; i <= 30; ++i) {
    sim.Balls[static_cast<std::size_t>(i)].radius = kBallRadius;
    sim.Balls[static_cast<std::size_t>(i)].vx = 0.0f;
    sim.Balls[static_cast<std::size_t>(i)].vy = 0.0f;
  }
  SetUpMenuScene(sim, game.map);
  DrainKeys(game);
}
