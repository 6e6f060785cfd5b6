// Ball physics: the shared scene step of the menu, the credits and play.
#pragma once

#include <array>
#include <cstdint>

#include "sim/sim_state.h"
#include "world/map.h"

// A ball loses speed at most once every kDampInterval seconds, keeping
// kDampFactor of it: ball 1 on platform contact, the menu's other balls in
// the air.
constexpr double kDampInterval = 0.15;
constexpr double kDampFactor = 0.85;

// A frame longer than kLongFrame seconds is stepped in equal parts of at
// most kMaxFramePart seconds that add up to the frame's time, so a slow frame
// moves a ball no further per step than a frame at 60 a second does. A frame
// counts as longer only by more than kClockGrain: two clock readings 34 ms
// apart may differ by a rounding of their last digits. At most
// kMaxFrameParts parts: a frame of more than 17 seconds (a machine waking up)
// takes longer parts rather than stalling the game.
constexpr double kLongFrame = 0.034;
constexpr double kClockGrain = 1e-6;
constexpr double kMaxFramePart = 0.017;
constexpr int kMaxFrameParts = 1024;

// How many parts a frame of dt seconds is stepped in: 1 up to kLongFrame (and
// for a time that is not finite), else the fewest parts of at most
// kMaxFramePart, at most kMaxFrameParts.
int FrameParts(double dt);

// What a ball ran into in a frame: the hardest of its contacts, by how much
// the contact changed its velocity (units per second). A static goal counts
// as a sphere.
enum class HitKind : std::uint8_t { kNone, kPlatform, kSphere, kBall };
struct BallHit {
  HitKind kind = HitKind::kNone;
  float impact = 0.0f;
};
using FrameHits = std::array<BallHit, kMaxBalls + 1>;  // 1-based, as the balls

// One frame of the scene: platform scan, gravity and integration per ball,
// ball-ball exchange, the static goal's sphere entry, ball-sphere glancing;
// a long frame runs these once per part (see FrameParts), a break's sparks
// still fly with the ball's motion of the whole frame. dt is the frame time
// in seconds, now the timer in seconds at the frame (for damping; the parts
// before the last see it earlier by the parts still to come). May rewrite
// map when destructible platforms break. Returns each ball's hardest contact.
FrameHits StepBalls(SimState& sim, MapText& map, double dt, double now);

// The static-sphere table the collisions use: StaticSphereCount from 0, one
// entry per usable "Sphere.static" object in line order, at most 50. Refilled
// once a frame after the scene step.
void RefillStaticSpheres(SimState& sim, const MapText& map);
