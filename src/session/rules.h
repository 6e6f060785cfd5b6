// Race and survival rules of a play frame: loss and win, the end screens with
// their restart question, restart and quit, the survival clock and the burn.
//
// Depends on: game (Game, session state), render (panels, video state for the
// texts), session (HUD, leaderboard), sim (goal test, level objects), mapfile
// (LoadMap), platform (keys, clock).
#pragma once

#include <cstdint>
#include <string>

#include "game/session_state.h"
#include "render/video.h"
#include "sim/sim_state.h"

struct Game;

constexpr float kFallLimit = -25.0f;  // ball 1 strictly below it is lost
constexpr float kBurnLimit = 30.0f;   // seconds of burning that lose the run

// The player's answer to "Neustarten? [Y/N]" in one frame. The keys in the
// Y and N positions answer as they always did, held or tapped; the layout's
// own characters y/Y and n/N (this frame's key string) answer too, so the key
// labelled Y restarts on every layout. Restart wins over quit.
enum EndAnswer : std::uint8_t { kNoAnswer = 0, kAnswerRestart = 1, kAnswerQuit = 2 };
EndAnswer ReadEndAnswer(const std::string& lastKey, bool restartKeyDown, bool quitKeyDown);
// Whether the restart question is on screen: the run is lost, the race won
// or the survival run over.
bool RestartQuestionShown(const SessionState& session, const SimState& sim);

// Ball 1 below the fall limit or burnt out: lost unless the race is won; a
// survival run ends.
void LossTest(SessionState& session, const SimState& sim);
// Seconds of burning grow while RedContact is "true"; they never shrink.
void AccumulateBurn(SessionState& session, const SimState& sim, double frameTime);

// Steps 2 to 5 of the rules (loss, win, failure screens, end keys, record).
// now is this frame's timer reading; the end keys act on session.endAnswer. May restart the level
// or set session.quit (the rest of the frame is then skipped).
void ApplyRules(Game& game, double now);
// The texts after the HUD bars: race-won texts or the survival clock with the
// freezing of SurvivalTimeText.
void DrawModeTexts(SessionState& session, const SimState& sim, HudState& hud,
                   const VideoState& video, double now);

// A run starts clean: no red contact, no burn, no sparks and no break
// waiting to throw any (whatever the menu scene or the last run left).
void ClearRunLeftovers(SimState& sim, SessionState& session, ParticleList& particles);
// Reloads the map and sets the level up again on a clean run; the best time,
// the camera phase and the toggles stay.
void RestartLevel(Game& game);
// The run's state back to its start and the session loop is to be left.
void QuitSession(Game& game);
