// Rules: loss, win, end screens, restart and quit, clock and burn.
#include "session/rules.h"

#include <GL/gl.h>

#include "app/game.h"
#include "platform/platform.h"
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
  glLoadIdentity();
  DrawPanel(0.0f, 1.5f, 0.5f, 0.2f, 0.6f);
  EndKeys(game);
  if (game.session.quit) return;
  if (game.session.RunLost == 1) {
    game.session.ControlsEnabled = 0;
    HudTitle(game, "Du hast versagt!", -1.05f, 0.0f, 1.0f, 1.0f, 1.0f);
    HudText(game, kRestartQuestion, -0.8f, -0.3f, 1.0f, 1.0f, 1.0f);
  }
}

void SurvivalFailureScreen(Game& game) {
  glLoadIdentity();
  DrawPanel(0.0f, 1.7f, 0.5f, 0.2f, 0.6f);
  game.session.ControlsEnabled = 0;
  EndKeys(game);
  if (game.session.quit) return;
  HudTitle(game, "Zeit: " + ShortTime(game.session.SurvivalTimeText) + " Sekunden", -1.2f, 0.1f,
           1.0f, 1.0f, 1.0f);
  HudText(game, kRestartQuestion, -0.8f, -0.3f, 1.0f, 1.0f, 1.0f);
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
  RecordCheck(s, game.sim.Goal, game.sim.GameMode, now, game.board, game.select.ChosenLevelFile,
              kLeaderboardPath);
}

void AccumulateBurnStep(Game& game) {
  AccumulateBurn(game.session, game.sim, game.frame.FrameTime);
}

void DrawModeTexts(Game& game, double now) {
  SessionState& s = game.session;
  const double elapsed = ElapsedTime(s, now);
  if (game.sim.GameMode == 1) {
    if (game.sim.Goal.GoalReached == 1.0f) {
      HudTitle(game, "Du hast gewonnen!", -1.18f, 0.9f, 1.0f, 0.0f, 0.0f);
      HudText(game, kRestartQuestion, -0.8f, 0.65f, 1.0f, 1.0f, 1.0f);
    }
  } else if (game.sim.GameMode == 2) {
    if (s.RunLost != 1) {
      HudTitle(game, "Zeit: " + ShortTime(FormatDouble16(elapsed)), -0.6f, 1.7f, 1.0f, 0.0f, 0.0f);
    } else if (s.SurvivalTimeText == "0") {
      s.SurvivalTimeText = FormatDouble16(elapsed);
    }
  }
}

void ClearRunLeftovers(Game& game) {
  game.sim.RedContact = "false";
  game.session.BurnTime = 0.0f;
  game.particles.items.clear();
  game.sim.Break.pending = 0;
}

void RestartLevel(Game& game) {
  SessionState& s = game.session;
  LoadMap(game.map, "Res/maps/" + game.select.ChosenLevelFile);
  ClearRunLeftovers(game);
  s.ControlsEnabled = 1;
  s.Energy = 5.0f;
  s.RunLost = 0;
  s.SurvivalTimeText = "0";
  game.sim.Goal.GoalReached = 0.0f;
  s.SurvivalEnded = 0;
  s.SessionStartTime = static_cast<float>(plat::Timer());
  SetUpLevelObjects(game.sim, s, game.map);
}

void QuitSession(Game& game) {
  SessionState& s = game.session;
  game.sim.Balls[1].vx = 0.0f;
  game.sim.Balls[1].vy = 0.0f;
  s.BurnTime = 0.0f;
  game.sim.RedContact = "false";
  s.ControlsEnabled = 1;
  s.Energy = 5.0f;
  s.RunLost = 0;
  game.sim.Goal.GoalReached = 0.0f;
  s.SurvivalEnded = 0;
  s.quit = true;
}
