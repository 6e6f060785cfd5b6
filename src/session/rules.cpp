#include "session/rules.h"

#include "game/game.h"
#include "mapfile/map_file.h"
#include "session/hud.h"
#include "session/leaderboard.h"
#include "sim/level_objects.h"

namespace {

const char* const kRestartQuestion = "Neustarten? [Y/N]";

// The restart question's keys: this frame's answer restarts or quits.
void EndKeys(Game& game, PlayEvents& events, double now) {
  if (game.session.endAnswer != kNoAnswer) game.session.answeredLastFrame = true;
  if (game.session.endAnswer == kAnswerRestart) {
    RestartLevel(game, now);
    events.restarted = true;
  } else if (game.session.endAnswer == kAnswerQuit) {
    QuitSession(game);
    events.quit = true;
  }
}

void RaceFailureScreen(Game& game, FrameView& view, PlayEvents& events, double now) {
  view.ResetModelView();
  view.Panel(0.0f, 1.5f, 0.5f, 0.2f, 0.6f);
  EndKeys(game, events, now);
  if (game.session.quit) return;
  if (game.session.RunLost == 1) {
    game.session.ControlsEnabled = 0;
    ShowTitle(game.hud, view, "Du hast versagt!", -1.05f, 0.0f, 1.0f, 1.0f, 1.0f);
    ShowText(game.hud, view, kRestartQuestion, -0.8f, -0.3f, 1.0f, 1.0f, 1.0f);
  }
}

void SurvivalFailureScreen(Game& game, FrameView& view, PlayEvents& events, double now) {
  view.ResetModelView();
  view.Panel(0.0f, 1.7f, 0.5f, 0.2f, 0.6f);
  game.session.ControlsEnabled = 0;
  EndKeys(game, events, now);
  if (game.session.quit) return;
  ShowTitle(game.hud, view, "Zeit: " + ShortTime(game.session.SurvivalTimeText) + " Sekunden",
            -1.2f, 0.1f, 1.0f, 1.0f, 1.0f);
  ShowText(game.hud, view, kRestartQuestion, -0.8f, -0.3f, 1.0f, 1.0f, 1.0f);
}

}  // namespace

EndAnswer ReadEndAnswer(const std::string& lastKey, bool restartKeyDown, bool quitKeyDown) {
  if (restartKeyDown || lastKey == "y" || lastKey == "Y") return kAnswerRestart;
  if (quitKeyDown || lastKey == "n" || lastKey == "N") return kAnswerQuit;
  return kNoAnswer;
}

bool RestartQuestionShown(const SessionState& session, const SimState& sim) {
  return session.RunLost == 1 || sim.Goal.GoalReached || session.SurvivalEnded == 1;
}

void LossTest(SessionState& session, const SimState& sim) {
  if (sim.Balls[1].y < kFallLimit || session.BurnTime >= kBurnLimit) {
    // A race that is already won cannot be lost.
    if (!sim.Goal.GoalReached) session.RunLost = 1;
    if (sim.GameMode == PlayMode::kSurvival) session.SurvivalEnded = 1;
  }
}

void AccumulateBurn(SessionState& session, const SimState& sim, double frameTime) {
  if (sim.RedContact) {
    session.BurnTime = static_cast<float>(static_cast<double>(session.BurnTime) + frameTime);
  }
}

void ApplyRules(Game& game, FrameView& view, PlayEvents& events, double now) {
  SessionState& s = game.session;
  const bool lostBefore = s.RunLost == 1;
  const bool wonBefore = game.sim.Goal.GoalReached;
  LossTest(s, game.sim);
  if (s.RunLost == 1 && !lostBefore) events.lost = true;
  if (game.sim.GameMode == PlayMode::kRace) {
    GoalReachedTest(game.sim);
    if (game.sim.Goal.GoalReached && !wonBefore) events.won = true;
    if (s.RunLost == 1) RaceFailureScreen(game, view, events, now);
  } else if (game.sim.GameMode == PlayMode::kSurvival) {
    if (s.RunLost == 1) SurvivalFailureScreen(game, view, events, now);
  }
  if (s.quit) return;
  if (game.sim.Goal.GoalReached || s.SurvivalEnded == 1) {
    EndKeys(game, events, now);
    if (s.quit) return;
  }
  if (RestartQuestionShown(s, game.sim)) {
    s.runTime = static_cast<float>(RunTime(s, game.sim.GameMode, now));
  }
  if (game.replay.watching || game.testPlay.on) {
    // A replay judges its record as it was judged, and stores nothing; a
    // test-play stores no record either.
    Leaderboard scratch = game.board;
    RecordCheck(s, game.sim.Goal, game.sim.GameMode, now, scratch, game.select.ChosenLevelFile, "");
    return;
  }
  RecordCheck(s, game.sim.Goal, game.sim.GameMode, now, game.board, game.select.ChosenLevelFile,
              kLeaderboardPath);
}

void ShowModeTexts(SessionState& s, const SimState& sim, HudState& hud, FrameView& view,
                   double now) {
  const double elapsed = ElapsedTime(s, now);
  if (sim.GameMode == PlayMode::kRace) {
    if (sim.Goal.GoalReached) {
      ShowTitle(hud, view, "Du hast gewonnen!", -1.18f, 0.9f, 1.0f, 0.0f, 0.0f);
      ShowText(hud, view, kRestartQuestion, -0.8f, 0.65f, 1.0f, 1.0f, 1.0f);
    }
  } else if (sim.GameMode == PlayMode::kSurvival) {
    if (s.RunLost != 1) {
      ShowTitle(hud, view, "Zeit: " + ShortTime(FormatDouble16(elapsed)), -0.6f, 1.7f, 1.0f, 0.0f,
                0.0f);
    } else if (s.SurvivalTimeText == "0") {
      s.SurvivalTimeText = FormatDouble16(elapsed);
    }
  }
}

void RestartLevel(Game& game, double now) {
  SessionState& s = game.session;
  if (game.testPlay.on) {
    game.map = game.testPlay.map;
  } else {
    LoadMap(game.map, kMapFolder + game.select.ChosenLevelFile);
  }
  ResetRun(s, game.sim);
  ClearRunLeftovers(game.sim, s, game.particles);
  s.SurvivalTimeText = "0";
  s.SessionStartTime = static_cast<float>(now);
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
