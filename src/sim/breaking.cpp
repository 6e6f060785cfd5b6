// Destructible platforms: the body break (hole and split) and the end break.
#include "sim/breaking.h"

#include <cmath>
#include <utility>

namespace {

constexpr double kRadiansPerDegree = 0.0174532925199433;

const char* const kIntact = "Plattform.static.destructible";
const char* const kRightBroken = "Plattform.static.destructible.left";
const char* const kLeftBroken = "Plattform.static.destructible.right";
const char* const kBothBroken = "Plattform.static.destructible.both";
const char* const kDestroyed = "Plattform.static.destructible.destroyed";

// Which ends are already broken, read from the type word at the contact.
enum class Damage { None, Right, Left, Both, NotDestructible };

Damage DamageOf(const std::string& type) {
  if (type == kIntact) return Damage::None;        // "NichtsKaputt"
  if (type == kRightBroken) return Damage::Right;  // "LinksKaputt"
  if (type == kLeftBroken) return Damage::Left;    // "RechtsKaputt"
  if (type == kBothBroken) return Damage::Both;    // "GanzKaputt"
  return Damage::NotDestructible;
}

double Distance(WorldPoint p, WorldPoint q) {
  const double dx = p.x - q.x;
  const double dy = p.y - q.y;
  return std::sqrt(dx * dx + dy * dy);
}

std::string Format(WorldPoint p) {
  return FormatPoint(static_cast<float>(p.x), static_cast<float>(p.y));
}

// The length of a piece from p to q as its ends are written back into the
// map (seven digits of a float).
double WrittenLength(WorldPoint p, WorldPoint q) {
  const Point a = ParsePoint(Format(p));
  const Point b = ParsePoint(Format(q));
  return Distance(WorldPoint{a.x, a.y}, WorldPoint{b.x, b.y});
}

// The new type word of a piece whose far end (the one at the hole) is its
// right end ("left" kind) or its left end ("right" kind), given the damage
// the platform already had.
const char* PieceBrokenAtRight(Damage damage) {
  return (damage == Damage::None || damage == Damage::Right) ? kRightBroken : kBothBroken;
}
const char* PieceBrokenAtLeft(Damage damage) {
  return (damage == Damage::None || damage == Damage::Left) ? kLeftBroken : kBothBroken;
}

}  // namespace

double CutAngleDegrees(double thetaDegrees) {
  if (thetaDegrees < -89.95 || thetaDegrees > 89.95) return 90.0;
  return thetaDegrees;
}

void BreakBody(MapText& map, BreakEvent& event, int k, double thetaDegrees, WorldPoint f,
               WorldPoint a, WorldPoint b, double r, std::string colour, WorldPoint m) {
  const Damage damage = DamageOf(map.Line(k));
  if (damage == Damage::NotDestructible) return;

  const double cut = CutAngleDegrees(thetaDegrees);
  const double half = kHoleMargin + r;
  const WorldPoint o{half * std::cos(cut * kRadiansPerDegree),
                     half * std::sin(cut * kRadiansPerDegree)};
  // p lies towards a, q towards b.
  WorldPoint p{f.x - o.x, f.y - o.y};
  WorldPoint q{f.x + o.x, f.y + o.y};
  if (cut < 0.0) std::swap(p, q);

  // On a rising platform a is the left end, so the a-side piece loses its
  // right end; on a falling one a is the right end.
  const bool rising = cut >= 0.0;
  // Far out (beyond a million units or so) the written ends round the hole
  // away; a piece that would come out no shorter than the platform is not
  // kept, or a ball there would split it again and again, and the map would
  // grow without end.
  const double length = Distance(a, b);
  if (Distance(a, f) > half && WrittenLength(a, p) < length) {
    map.SetLine(k, rising ? PieceBrokenAtRight(damage) : PieceBrokenAtLeft(damage));
    map.SetLine(k + 1, Format(a));
    map.SetLine(k + 2, Format(p));
  } else {
    map.SetLine(k, kDestroyed);
  }
  if (Distance(b, f) > half && WrittenLength(q, b) < length) {
    AppendMapLines(map, rising ? PieceBrokenAtLeft(damage) : PieceBrokenAtRight(damage), Format(q),
                   Format(b), colour);
  }

  event.pending = 1;
  event.leftX = static_cast<float>(p.x);
  event.leftY = static_cast<float>(p.y);
  event.rightX = static_cast<float>(q.x);
  event.rightY = static_cast<float>(q.y);
  event.angle = static_cast<float>(cut * kRadiansPerDegree);
  event.mx = static_cast<float>(m.x);
  event.my = static_cast<float>(m.y);
  event.colour = std::move(colour);
}

void BreakEnd(MapText& map, int k, double thetaDegrees, WorldPoint a, WorldPoint b, WorldPoint c,
              double r) {
  const std::string type = map.Line(k);
  const Damage damage = DamageOf(type);
  if (damage == Damage::NotDestructible) return;

  if (Distance(a, b) < kEndBreakMinimum + r) {
    map.SetLine(k, kDestroyed);
    return;
  }
  const double cut = CutAngleDegrees(thetaDegrees);
  const double half = kHoleMargin + r;
  const WorldPoint o{half * std::cos(cut * kRadiansPerDegree),
                     half * std::sin(cut * kRadiansPerDegree)};
  // The offset points from a to b along the platform, except for a steep
  // falling platform cut as vertical: there the offset points up, so a must
  // be the lower end, or the bite would lengthen the platform.
  if (cut != thetaDegrees && a.y > b.y) std::swap(a, b);

  if (Distance(c, b) <= Distance(c, a)) {
    // The ball is at b: b's end breaks.
    if (damage == Damage::None) map.SetLine(k, kRightBroken);
    if (damage == Damage::Left) map.SetLine(k, kBothBroken);
    map.SetLine(k + 1, Format(a));
    map.SetLine(k + 2, Format(WorldPoint{b.x - o.x, b.y - o.y}));
  } else {
    if (damage == Damage::None) map.SetLine(k, kLeftBroken);
    if (damage == Damage::Right) map.SetLine(k, kBothBroken);
    map.SetLine(k + 1, Format(WorldPoint{a.x + o.x, a.y + o.y}));
    map.SetLine(k + 2, Format(b));
  }
}
