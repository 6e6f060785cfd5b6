// Destructible platforms: a ball touching the body punches a hole around the
// contact and splits the platform; a touch on an end bites that end off.
// The platform's whole state lives in its map lines (type word, end points).
#pragma once

#include <string>

#include "sim/sim_state.h"
#include "world/map.h"

// A point in world units, held in double while the collision works on it.
struct WorldPoint {
  double x = 0.0;
  double y = 0.0;
};

// Hole half-width around the contact: 0.1 + the ball's radius.
constexpr double kHoleMargin = 0.1;
// A platform shorter than 0.11 + the radius vanishes at an end touch.
constexpr double kEndBreakMinimum = 0.11;

// The angle the cut offsets use: the slope in degrees, except that slopes
// steeper than 89.95 degrees either way are cut as vertical (90).
double CutAngleDegrees(double thetaDegrees);

// Contact on the body of the platform whose type line is k: foot point f,
// ends a (the lower) and b (the upper), ball radius r, the platform's colour
// word and the ball's motion m of this frame. Rewrites the object into its
// piece on a's side (or destroys it), appends the piece on b's side when one
// survives, and records the break event. A piece whose written ends would
// make it no shorter than the platform (far from the origin, where seven
// digits cannot hold the hole) does not survive. The colour is taken by value: the
// caller's word usually lives in the map lines this call rewrites.
void BreakBody(MapText& map, BreakEvent& event, int k, double thetaDegrees, WorldPoint f,
               WorldPoint a, WorldPoint b, double r, std::string colour, WorldPoint m);

// Contact within reach of an end of the platform whose type line is k: ends a
// (the left) and b, ball centre c, ball radius r. Bites the nearer end off,
// or destroys a platform too short to lose a piece. No break event.
void BreakEnd(MapText& map, int k, double thetaDegrees, WorldPoint a, WorldPoint b, WorldPoint c,
              double r);
