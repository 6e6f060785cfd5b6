// Scene drawing: balls, platforms, static spheres, the play grid, the goal
// disk and the sparks. Draws what it is given and changes none of it.
#pragma once

#include "render/video.h"
#include "sim/sim_state.h"
#include "world/map.h"

// Ball 1 with its burn pie (burnTime seconds), then the other balls.
void DrawBalls(const SimState& sim, const VideoState& video, float burnTime);
// The ghost of the best run: ball 1's disk, translucent and pale, at x, y;
// it hides nothing behind it and touches no depth.
void DrawGhost(const VideoState& video, float x, float y, float radius);
// Platforms and static spheres in line order.
void DrawMapObjects(const MapText& map, const VideoState& video);
// The guide lines behind the play scene around (cx, cy).
void DrawGrid(float cx, float cy);
// The goal disk in its current colour, when a race in play has a goal.
void DrawGoalDisk(const SimState& sim, const VideoState& video);
// Additive quads at z = -6 with one quarter of the colour's sprite sheet.
void DrawParticles(const ParticleList& list, const VideoState& video);
