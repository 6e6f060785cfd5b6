#include "session/session.h"

#include "game/game.h"
#include "mapfile/map_file.h"
#include "platform/platform.h"
#include "session/hud.h"
#include "session/leaderboard.h"
#include "session/play_frame.h"
#include "session/replays.h"
#include "session/run.h"
#include "sim/level_objects.h"

namespace {

// A view drawn outside the frames (the wire-frame switch set before the
// first one or after the last): no clear, no present.
void ShowBetweenFrames(const Game& game, const PlayScreen& screen, bool wireframe) {
  if (!screen.draw) return;
  FrameView view;
  view.Wireframe(wireframe);
  screen.draw(game, view);
}

// A watched run that has played to its end: its last picture (the result
// and the restart question it showed) stays until the watcher presses a key.
void HoldReplayEnd(const Game& game, const PlayScreen& screen, const FrameView& last) {
  if (!screen.draw || last.items.empty()) return;
  for (;;) {
    plat::SetScreenName("session");
    if (!plat::PollKey().empty()) return;
    screen.draw(game, last);
    plat::Present();
    plat::SleepMs(10);
  }
}

}  // namespace

void SetUpMenuScene(SimState& sim, MapText& map) {
  LoadMap(map, kMenuMapPath);
  sim.BallCount = 4;
  // Far off to the right until the menu's rules hold or drop them.
  for (int i = 1; i <= 4; ++i) sim.Balls[static_cast<std::size_t>(i)].x = 30.0f;
  sim.SceneMode = 1;
}

void RunSession(Game& game, const PlayScreen& screen) {
  SessionState& s = game.session;
  s.quit = false;
  FrameView view;
  view.recording = screen.draw != nullptr;
  FrameView shown;  // the last frame shown, for a watched run's end
  // Pause and Esc pressed in the menu or to leave the previous level belong
  // to that time, not to this play.
  plat::ForgetAsyncKeys();
  for (;;) {
    plat::SetScreenName("session");
    view.Reset();
    view.ResetModelView();
    PollKeyInto(game);
    if (game.frame.LastKey == plat::kKeyEsc || game.frame.LastKey == plat::kKeyClose) {
      if (screen.draw) screen.draw(game, view);
      if (game.replay.holdEnd && plat::TapReplayDone()) HoldReplayEnd(game, screen, shown);
      break;
    }
    MeasureFrameTime(game);
    s.FrameCounter += 1;
    game.hud.shownTexts.clear();
    view.Clear();
    PlayEvents events;
    events.zooming = s.CameraPhase == 0 && StepZoomFrame(game, view);
    if (!events.zooming && s.CameraPhase == 1) {
      view.ResetModelView();
      const PlayInput input = ReadPlayInput(game);
      events = StepPlayFrame(game, input, view);
      ReadRestartClock(game, events);
      if (s.quit) {
        // The rest of the frame is not drawn, and the frame is not shown.
        if (screen.draw) screen.draw(game, view);
        break;
      }
    }
    if (game.replay.watching) {
      view.ResetModelView();
      ShowText(game.hud, view, "Wiederholung", -2.3f, 1.75f, 1.0f, 1.0f, 0.4f);
    }
    ReplayFrame(game);
    view.Finish();
    if (screen.draw) screen.draw(game, view);
    if (game.replay.holdEnd) shown = view;
    if (screen.hear) screen.hear(game, events);
    plat::Present();
    StartNextRunReplay(game);
    plat::SleepPlainMs(1);
  }
  EndSession(game);
  ShowBetweenFrames(game, screen, false);
}

void StartLevel(Game& game, const PlayScreen& screen) {
  LevelSelectState& sel = game.select;
  game.sim.GameMode = static_cast<PlayMode>(sel.SelectedMode);
  if (game.testPlay.on) {
    game.map = game.testPlay.map;
  } else {
    LoadMap(game.map, kMapFolder + sel.ChosenLevelFile);
  }
  ClearRunLeftovers(game.sim, game.session, game.particles);
  game.session.BestTime = game.replay.watching ? game.replay.playing.bestTime
                                               : LookUpBestTime(game.board, sel.ChosenLevelFile);
  DrainKeys(game);
  plat::SetPointerVisible(false);
  // From here on every reading of the outside world is the run's.
  if (BeginSessionReplay(game)) {
    // A watched run after a restart: its start state, wire frame included.
    ShowBetweenFrames(game, screen, game.session.Wireframe != 0);
  } else {
    const double now = plat::Timer();
    game.frame.LastFrameStamp = now;
    game.hud.WindowStart = static_cast<float>(now);
    game.session.SessionStartTime = static_cast<float>(now);
    game.session.SurvivalTimeText = "0";
    game.sim.SceneMode = 0;
    TakeLevelStart(game.session, SetUpLevelObjects(game.sim, game.map));
  }
  RunSession(game, screen);
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
  sim.Goal.GoalPresent = false;

  s.CameraPhase = 0;
  s.ZoomPrevDistance = 500.0f;
  s.RecordStored = 0;
  s.InfoOverlay = 0;
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
