// The game session: the frame loop in which a chosen level is played, from
// the start zoom through play to the return to the menu scene. Each frame:
// poll, measure, read, step, then show and hear through the screen the
// session runs on; a verifier runs it on no screen at all.
#pragma once

#include "game/frame_view.h"
#include "game/play_events.h"
#include "game/session_state.h"
#include "sim/sim_state.h"
#include "world/map.h"

struct Game;

// What a screen does with a play frame besides stepping it: drawing the view
// (every GL call of the frame) and hearing what happened. Either may be
// missing: a verifier steps without drawing or hearing, and builds no view.
struct PlayScreen {
  void (*draw)(const Game& game, const FrameView& view) = nullptr;
  void (*hear)(Game& game, const PlayEvents& events) = nullptr;
};

// The menu scene, as the menu and the credits run it: the menu map, four
// balls waiting far off to the right, scene mode 1.
void SetUpMenuScene(SimState& sim, MapText& map);

// Starts the chosen level (ChosenLevelFile, SelectedMode) and plays its
// session; a replay being watched takes the place of the player.
void StartLevel(Game& game, const PlayScreen& screen);
// Plays the prepared level until Esc, the close button or the rules end it,
// then runs EndSession.
void RunSession(Game& game, const PlayScreen& screen);
// Puts the game state back to its start values and the menu scene back up.
void EndSession(Game& game);
