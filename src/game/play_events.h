// What happened in one frame of play, as the step saw it: the ears and the
// tests read this instead of guessing from the state before and after.
#pragma once

#include "sim/balls.h"

struct PlayEvents {
  bool zooming = false;     // the start zoom's flight: the scene stands still
  bool paused = false;      // the pause key stopped the game before this frame's play
  bool boosting = false;    // the boost pushed ball 1 with energy left
  bool fireCaught = false;  // ball 1 started burning
  bool fireOut = false;     // blue put the fire out (not a restart)
  bool broke = false;       // a destructible platform broke
  bool hintShown = false;   // a text trigger fired
  bool won = false;         // the race was won in this frame
  bool lost = false;        // the run was lost in this frame
  bool restarted = false;   // the level started again
  bool quit = false;        // the session is left
  FrameHits hits{};         // what each ball ran into (the menu and credits scenes too)
};
