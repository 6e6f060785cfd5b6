// Ball physics: the shared scene step of the menu, the credits and play.
#pragma once

#include "sim/sim_state.h"
#include "world/map.h"

// A ball loses speed at most once every kDampInterval seconds, keeping
// kDampFactor of it: ball 1 on platform contact, the menu's other balls in
// the air.
constexpr double kDampInterval = 0.15;
constexpr double kDampFactor = 0.85;

// One frame of the scene: platform scan, gravity and integration per ball,
// ball-ball exchange, the static goal's sphere entry, ball-sphere glancing.
// dt is the frame time in seconds, now the timer in seconds (for damping).
// May rewrite map when destructible platforms break.
void StepBalls(SimState& sim, MapText& map, double dt, double now);

// The static-sphere table the collisions use: StaticSphereCount from 0, one
// entry per usable "Sphere.static" object in line order, at most 50. Refilled
// once a frame after the scene step.
void RefillStaticSpheres(SimState& sim, const MapText& map);
