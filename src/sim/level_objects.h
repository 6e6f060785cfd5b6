// Level objects: the start of ball 1, the goal, the ragdoll balls and the
// start camera, read once when a level starts or restarts; the goal disk with
// its colour animation and the test that ball 1 has reached the goal.
//
// Depends on: world (map lines and parsing), session (start and zoom state).
#pragma once

#include "app/video.h"
#include "session/session_state.h"
#include "sim/sim_state.h"
#include "world/map.h"

// Places ball 1 at the map's "BallPosition" (rounded, halves to even; (0, 1)
// without one), adds a ball per goal and "Sphere.ragdoll" object in file
// order (at most 49), fills every goal entry from its own lines, and sets the
// start camera's flight from "Startgame.zoomin". A flight of zero length ends
// the zoom at once (CameraPhase 1). Clears RecordStored.
void SetUpLevelObjects(SimState& sim, SessionState& session, const MapText& map);

// One frame of the goal colour's animation (dt seconds); never reset.
void StepGoalColour(GoalState& goal, double dt);
// Animates the colour and draws the goal disk, when a race has a goal.
void DrawGoalDisk(SimState& sim, const VideoState& video, double dt);

// Race with a goal: GoalReached = 1 once ball 1 overlaps the goal ball.
void GoalReachedTest(SimState& sim);
