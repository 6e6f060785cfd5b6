// Rules: loss, win, end screens, restart and quit, clock and burn.
#include "session/rules.h"

#include "game/game.h"
#include "mapfile/map_file.h"
#include "platform/platform.h"
#include "render/screen_draw.h"
#include "session/hud.h"
#include "session/leaderboard.h"
#include "session/session.h"
#include "sim/level_objects.h"

namespace {

const char* const kRestartQuestion = "Neustarten? [Y/N]";

// The restart question's keys: this frame's answer restarts or quits.
void EndKeys(Game& game) {
  if (game.session.endAnswer != kNoAnswer) game.session.answeredLastFrame = true;
  if (game.session.endAnswer == kAnswerRestart) {
    RestartLevel(game);
  } else if (game.session.endAnswer == kAnswerQuit) {
    QuitSession(game);
  }
}

void RaceFailureScreen(Game& game) {
  ResetModelView();
  DrawPanel(0.0f, 1.5f, 0.5f, 0.2f, 0.6f);
  EndKeys(game);
  if (game.session.quit) return;
  if (game.session.RunLost == 1) {
    game.session.ControlsEnabled = 0;
    HudTitle(game.hud, game.video, "Du hast versagt!", -1.05f, 0.0f, 1.0f, 1.0f, 1.0f);
    HudText(game.hud, game.video, kRestartQuestion, -0.8f, -0.3f, 1.0f, 1.0f, 1.0f);
  }
}

void SurvivalFailureScreen(Game& game) {
  ResetModelView();
  DrawPanel(0.0f, 1.7f, 0.5f, 0.2f, 0.6f);
  game.session.ControlsEnabled = 0;
  EndKeys(game);
  if (game.session.quit) return;
  HudTitle(game.hud, game.video, "Zeit: " + ShortTime(game.session.SurvivalTimeText) + " Sekunden",
           -1.2f, 0.1f, 1.0f, 1.0f, 1.0f);
  HudText(game.hud, game.video, kRestartQuestion, -0.8f, -0.3f, 1.0f, 1.0f, 1.0f);
}

}  // namespace

EndAnswer ReadEndAnswer(const std::string& lastKey, bool restartKeyDown, bool quitKeyDown) {
  if (restartKeyDown || lastKey == "y" || lastKey == "Y") return kAnswerRestart;
  if (quitKeyDown || lastKey == "n" || lastKey == "N") return kAnswerQuit;
  return kNoAnswer;
}

bool RestartQuestionShown(const SessionState& session, const SimState& sim) {
  return session.RunLost == 1 || sim.Goal.GoalReached == 1.0f || session.SurvivalEnded == 1;
}

void LossTest(SessionState& session, const SimState& sim) {
  if (sim.Balls[1].y < kFallLimit || session.BurnTime >= kBurnLimit) {
    // A race that is already won cannot be lost.
    if (sim.Goal.GoalReached == 0.0f) session.RunLost = 1;
    if (sim.GameMode == 2) session.SurvivalEnded = 1;
  }
}

void AccumulateBurn(SessionState& session, const SimState& sim, double frameTime) {
  if (sim.RedContact == "true") {
    session.BurnTime = static_cast<float>(static_cast<double>(session.BurnTime) + frameTime);
  }
}

void ApplyRules(Game& game, double now) {
  SessionState& s = game.session;
  LossTest(s, game.sim);
  if (game.sim.GameMode == 1) {
    GoalReachedTest(game.sim);
    if (s.RunLost == 1) RaceFailureScreen(game);
  } else if (game.sim.GameMode == 2) {
    if (s.RunLost == 1) SurvivalFailureScreen(game);
  }
  if (s.quit) return;
  if (game.sim.Goal.GoalReached == 1.0f || s.SurvivalEnded == 1) {
    EndKeys(game);
    if (s.quit) return;
  }
  if (RestartQuestionShown(s, game.sim)) {
    s.runTime = static_cast<float>(RunTime(s, game.sim.GameMode, now));
  }
  if (game.replay.watching) {
    // A replay judges its record as it was judged, and stores nothing.
    Leaderboard scratch = game.board;
    RecordCheck(s, game.sim.Goal, game.sim.GameMode, now, scratch, game.select.ChosenLevelFile, "");
    return;
  }
  RecordCheck(s, game.sim.Goal, game.sim.GameMode, now, game.board, game.select.ChosenLevelFile,
              kLeaderboardPath);
}

void DrawModeTexts(SessionState& s, const SimState& sim, HudState& hud, const VideoState& video,
                   double now) {
  const double elapsed = ElapsedTime(s, now);
  if (sim.GameMode == 1) {
    if (sim.Goal.GoalReached == 1.0f) {
      HudTitle(hud, video, "Du hast gewonnen!", -1.18f, 0.9f, 1.0f, 0.0f, 0.0f);
      HudText(hud, video, kRestartQuestion, -0.8f, 0.65f, 1.0f, 1.0f, 1.0f);
    }
  } else if (sim.GameMode == 2) {
    if (s.RunLost != 1) {
      HudTitle(hud, video, "Zeit: " + ShortTime(FormatDouble16(elapsed)), -0.6f, 1.7f, 1.0f, 0.0f,
               0.0f);
    } else if (s.SurvivalTimeText == "0") {
      s.SurvivalTimeText = FormatDouble16(elapsed);
    }
  }
}

void ClearRunLeftovers(SimState& sim, SessionState& session, ParticleList& particles) {
  sim.RedContact = "false";
  session.BurnTime = 0.0f;
  particles.items.clear();
  sim.Break.pending = 0;
}

void RestartLevel(Game& game) {
  SessionState& s = game.session;
  LoadMap(game.map, "Res/maps/" + game.select.ChosenLevelFile);
  ResetRun(s, game.sim);
  ClearRunLeftovers(game.sim, s, game.particles);
  s.SurvivalTimeText = "0";
  s.SessionStartTime = static_cast<float>(plat::Timer());
  TakeLevelStart(s, SetUpLevelObjects(game.sim, game.map));
  game.replay.restarted = true;
}

void QuitSession(Game& game) {
  SessionState& s = game.session;
  game.sim.Balls[1].vx = 0.0f;
  game.sim.Balls[1].vy = 0.0f;
  ResetRun(s, game.sim);
  s.quit = true;
}
