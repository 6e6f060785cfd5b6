// The main menu: the program's outer loop over the live menu scene.
#pragma once

#include <string>

#include "frontend/menu_scene.h"
#include "game/frame_view.h"
#include "sim/balls.h"
#include "platform/platform.h"

struct Game;

// The menu frame's readings after its key poll and frame time.
struct MenuInput {
  plat::Pointer pointer;
  double ballClock = 0.0;   // the clock the scene's ball step is given
  double rulesClock = 0.0;  // the clock the scene's rules judge by
};
// Shows the pointer and takes the frame's readings, in the order replays
// and scripts expect them.
MenuInput ReadMenuInput();
// One menu frame's step: cursor and pointer, the live scene and its rules,
// the entries. Returns the entry chosen in this frame (its sub-screen runs
// at the view's mark), or -1.
int StepMenuFrame(Game& game, const MenuInput& input, FrameView& view, FrameHits& hits);

// ---- the menu screen ---------------------------------------------------
// Runs until the program is to end ("Beenden", Esc or the window's close
// button); sets game.exitCode to 0.
void RunMainMenu(Game& game);
