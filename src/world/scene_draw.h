// Scene drawing: balls, platforms, static spheres and the play grid.
#pragma once

#include "app/video.h"
#include "sim/sim_state.h"
#include "world/map.h"

// Ball 1 with its burn pie (burnTime seconds), then the other balls.
void DrawBalls(const SimState& sim, const VideoState& video, float burnTime);
// Platforms and static spheres in line order; refills the static-sphere
// table that the next frame's collisions use.
void DrawMapObjects(SimState& sim, const MapText& map, const VideoState& video);
// The table refill of DrawMapObjects alone: StaticSphereCount from 0, one
// entry per "Sphere.static" object in line order, at most 50.
void RefillStaticSpheres(SimState& sim, const MapText& map);
// The guide lines behind the play scene around (cx, cy).
void DrawGrid(float cx, float cy);
