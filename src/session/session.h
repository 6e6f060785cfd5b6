// The game session: the frame loop in which a chosen level is played, from
// the start zoom through play to the return to the menu scene.
//
// Depends on: game (Game), platform (keys, timer, title), sim (StepBalls,
// particles, level objects), render (scene and screen drawing), mapfile
// (LoadMap), session (rules, HUD), sound (the frame's cues).
#pragma once

#include <string>

#include "game/session_state.h"
#include "sim/level_objects.h"
#include "sim/sim_state.h"

struct Game;

// The run's state back to its start: no burn and no red contact, full
// energy, controls on, neither lost nor won nor ended.
void ResetRun(SessionState& session, SimState& sim);
// The menu scene, as the menu and the credits run it: the menu map, four
// balls waiting far off to the right, scene mode 1.
void SetUpMenuScene(SimState& sim, MapText& map);

// Takes over a level's start position and start camera; clears RecordStored.
// A flight of zero length ends the zoom at once (CameraPhase 1).
void TakeLevelStart(SessionState& session, const LevelStart& start);

// Seconds of play: now minus the start of the run (never negative).
double ElapsedTime(const SessionState& session, double now);

// Steering and boost of ball 1 for one frame of dt seconds: the cursor keys
// push vx by 4 per second, space pushes vy away from zero by 15 per second
// while energy lasts (15 per second); energy comes back by 1 per second up to
// 5 while ball 1 falls slower than 4. Energy never ends below 0.
void ApplyControls(SessionState& session, Ball& ball1, double dt, bool right, bool left,
                   bool boost);
// The t and z toggles of a play frame (LastKey "t"/"T", "z"/"Z"). Returns
// whether the wire-frame switch flipped.
bool ApplyToggles(SessionState& session, const std::string& lastKey);
// One step of the start zoom's flight; returns whether the zoom has ended
// (the camera passed ball 1 or Enter was pressed).
bool StepZoom(SessionState& session, const Ball& ball1, double dt, bool enter);

// Plays the prepared level until Esc, the close button or the rules end it,
// then runs EndSession.
void RunSession(Game& game);
// Puts the game state back to its start values and the menu scene back up.
void EndSession(Game& game);
