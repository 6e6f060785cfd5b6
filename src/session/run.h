// A run's limits and its own small steps: where it starts, how its clock
// reads, how the player's steering and toggles change it, the start zoom.
// Nothing here reads the outside world or draws.
#pragma once

#include <string>

#include "game/session_state.h"
#include "sim/level_objects.h"
#include "sim/sim_state.h"

constexpr float kFallLimit = -25.0f;  // ball 1 strictly below it is lost
constexpr float kBurnLimit = 30.0f;   // seconds of burning that lose the run

// The run's state back to its start: no burn and no red contact, full
// energy, controls on, neither lost nor won nor ended.
void ResetRun(SessionState& session, SimState& sim);
// A run starts clean: no red contact, no burn, no sparks and no break
// waiting to throw any (whatever the menu scene or the last run left).
void ClearRunLeftovers(SimState& sim, SessionState& session, ParticleList& particles);

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
// The t, z and g toggles of a play frame (LastKey "t"/"T", "z"/"Z", "g"/"G").
// Returns whether the wire-frame switch flipped.
bool ApplyToggles(SessionState& session, const std::string& lastKey);
// One step of the start zoom's flight; returns whether the zoom has ended
// (the camera passed ball 1 or Enter was pressed).
bool StepZoom(SessionState& session, const Ball& ball1, double dt, bool enter);
