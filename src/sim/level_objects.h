// Level objects: the start of ball 1, the goal, the ragdoll balls and the
// start camera, read once when a level starts or restarts; the goal colour's
// animation and the test that ball 1 has reached the goal.
#pragma once

#include "sim/sim_state.h"
#include "world/map.h"

// What a level's lines say about its start beyond the simulation: where
// ball 1 starts and the start camera's flight, for the session to take over.
struct LevelStart {
  int StartPositionX = 0, StartPositionY = 1;
  bool zoomFound = false;  // a "Startgame.zoomin" object set the camera below
  float ZoomCameraX = 0.0f, ZoomCameraY = 0.0f, ZoomCameraZ = 0.0f;
  float ZoomDirectionX = 0.0f, ZoomDirectionY = 0.0f, ZoomDirectionZ = 0.0f;
  // A flight of zero length has no direction: the camera is already there.
  bool zoomDegenerate = false;
};

// Places ball 1 at the map's "BallPosition" (rounded, halves to even; (0, 1)
// without one), adds a ball per goal and "Sphere.ragdoll" object in file
// order (at most 49), fills every goal entry from its own lines, and reads
// the start camera's flight from "Startgame.zoomin".
LevelStart SetUpLevelObjects(SimState& sim, const MapText& map);

// One frame of the goal colour's animation (dt seconds); never reset.
void StepGoalColour(GoalState& goal, double dt);
// Whether the goal disk is shown (and its colour moves): a race in play
// with a goal.
bool GoalDiskShown(const SimState& sim);
// The goal's entry of the ball table (its index kept within the table).
const Ball& GoalBall(const SimState& sim);

// Race with a goal: GoalReached is set once ball 1 overlaps the goal ball.
void GoalReachedTest(SimState& sim);
