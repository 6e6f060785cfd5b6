// One frame of play, in three parts: the readings of the outside world it
// needs (taken in one place, in the order replays hold them), the step that
// changes the play state and says what happened, and what the frame shows
// (a view the drawing reads). The step reads nothing and draws nothing.
#pragma once

#include "game/frame_view.h"
#include "game/play_events.h"
#include "sim/particles.h"

struct Game;

// The tapped readings of a play frame after its key poll and frame time.
struct PlayInput {
  // The pause key stopped the game: play resumes at pauseEnd, and the pause
  // does not count towards the run's time.
  bool paused = false;
  double pauseStart = 0.0, pauseEnd = 0.0;
  bool steered = false;  // controls were on: the three keys below were read
  bool boost = false, left = false, right = false;
  bool quitDown = false, restartDown = false;  // the keys in the N and Y positions
  double ballClock = 0.0;                      // the clock the ball step is given
  double rulesClock = 0.0;                     // the clock the rules and the HUD judge by
  // Where the sparks' random numbers come from: the game's own source, whose
  // state a replay carries. Two worlds stepped side by side each bring their
  // own.
  RandomFn random;
};

// Takes the play frame's readings. A pause waits here, in the pause's own
// small loop, until Pause or Esc ends it.
PlayInput ReadPlayInput(Game& game);
// One play frame's step: steering, toggles, balls, ghost, goal colour,
// sparks, sphere refill, rules, text triggers, frame count, burn and the
// HUD's texts, in that order. What the frame shows goes into view.
PlayEvents StepPlayFrame(Game& game, const PlayInput& input, FrameView& view);
// After a step that restarted the level: the run's clock is read again for
// its new start (a reading replays hold right after the rules' own).
void ReadRestartClock(Game& game, const PlayEvents& events);

// A frame of the start zoom: the camera flies towards ball 1 over a still
// scene. Returns whether the zoom goes on (the frame is then done); the frame
// that ends it goes straight on to play.
bool StepZoomFrame(Game& game, FrameView& view);
