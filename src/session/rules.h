// Race and survival rules of a play frame: loss and win, the end screens with
// their restart question, restart and quit, the survival clock and the burn.
#pragma once

#include <cstdint>
#include <string>

#include "game/frame_view.h"
#include "game/play_events.h"
#include "game/session_state.h"
#include "session/run.h"
#include "sim/sim_state.h"

struct Game;

// The player's answer to "Neustarten? [Y/N]" in one frame. The keys in the
// Y and N positions answer, held or tapped; the layout's own characters y/Y
// and n/N (this frame's key string) answer too, so the key labelled Y
// restarts on every layout. Restart wins over quit.
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

// Loss, win, the failure screens, the end keys and the record, in that
// order. now is this frame's clock reading; the end keys act on
// session.endAnswer. May restart the level (events.restarted: the run's
// clock then starts at now) or set session.quit (the rest of the frame is
// then skipped).
void ApplyRules(Game& game, FrameView& view, PlayEvents& events, double now);
// The texts after the HUD bars: race-won texts or the survival clock with the
// freezing of SurvivalTimeText.
void ShowModeTexts(SessionState& session, const SimState& sim, HudState& hud, FrameView& view,
                   double now);

// Reloads the map and sets the level up again on a clean run, the run's
// clock starting at now; the best time, the camera phase and the toggles
// stay.
void RestartLevel(Game& game, double now);
// The run's state back to its start and the session loop is to be left.
void QuitSession(Game& game);
