// Ball physics: the scene step shared by the menu, the credits and play.
#include "sim/balls.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "sim/breaking.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kContactMargin = 0.08;  // half the platform thickness
constexpr double kBroadMargin = 0.3;
constexpr float kGravity = -3.0f;
constexpr double kSpeedInvalid = 300.0;  // faster than this after a bounce: stop
constexpr double kSpeedCap = 30.0;
constexpr double kSlopeRoll = 750.0;
constexpr double kAngleTolerance = 0.001;
// A scan also visits the pieces it appends; this bounds the breaks of one
// ball's scan, so a map stacking hundreds of breakable platforms on one spot
// cannot stall a frame.
constexpr int kMaxRewritesPerScan = 256;

// The angle whose cosine is w, in [0, pi]. Rounding can push a cosine just
// past +-1; it is held to the range so the angle stays a number.
double Arccos(double w) {
  if (w > 1.0) w = 1.0;
  if (w < -1.0) w = -1.0;
  return std::atan2(std::sqrt(1.0 - w * w), w);
}

// Ball 1 catches fire on red and is put out on blue.
void ColourEffect(SimState& sim, ColourWord colour) {
  if (colour == ColourWord::Red) sim.RedContact = true;
  if (colour == ColourWord::Blue) sim.RedContact = false;
}
void ColourEffect(SimState& sim, const std::string& colour) {
  ColourEffect(sim, ColourWordOf(colour));
}

bool IsDestructible(PlatformKind kind) {
  return kind != PlatformKind::Fixed;
}

int LiveBalls(const SimState& sim) {
  return std::clamp(sim.BallCount, 0, kMaxBalls);
}

// A static goal in a race hangs still: it is neither scanned nor integrated.
bool IsStaticGoalInPlay(const SimState& sim, int i) {
  const GoalState& g = sim.Goal;
  return i == g.BallIndex() && g.GoalPresent && g.GoalIsRagdoll != 1.0f &&
         sim.GameMode != PlayMode::kSurvival && sim.SceneMode != 1;
}

// Balls lower in the table meet a static goal only through its sphere entry.
bool IsStaticGoalPartner(const SimState& sim, int j) {
  const GoalState& g = sim.Goal;
  return j == g.BallIndex() && g.GoalIsRagdoll != 1.0f && g.GoalPresent;
}

// The bounce off a platform body that is neither level nor upright: the ball
// leaves at the angle it came in, measured from the platform, with the
// signs forced by the slope.
void BounceOffSlope(Ball& ball, double theta, WorldPoint d, WorldPoint m, WorldPoint f) {
  const double dLength = std::sqrt(d.x * d.x + d.y * d.y);
  const double mLength = std::sqrt(m.x * m.x + m.y * m.y);
  double phi = Arccos((d.x * m.x + d.y * m.y) / (dLength * mLength));
  if (phi > kPi / 2.0) phi = kPi - phi;
  double ux = std::cos(theta + phi);
  double uy = std::sin(theta + phi);
  const double vx = ball.vx;
  const double vy = ball.vy;
  if (std::fabs(theta - kPi / 4.0) >= kAngleTolerance &&
      std::fabs(theta + kPi / 4.0) >= kAngleTolerance) {
    if (theta > -kPi / 4.0 && theta < kPi / 4.0) {
      // Shallow: the ball keeps its horizontal direction and turns back up.
      ux = vx >= 0.0 ? std::fabs(ux) : -std::fabs(ux);
      uy = vy >= 0.0 ? -std::fabs(uy) : std::fabs(uy);
    } else if (theta > kPi / 4.0 || theta < -kPi / 4.0) {
      // Steep: the ball turns back horizontally and keeps falling or rising.
      ux = vx >= 0.0 ? -std::fabs(ux) : std::fabs(ux);
      uy = vy >= 0.0 ? std::fabs(uy) : -std::fabs(uy);
    }
  } else {
    // At exactly 45 degrees the ball leaves on the side of the platform it is on.
    if (ball.x > f.x) ux = std::fabs(ux);
    if (ball.x < f.x) ux = -std::fabs(ux);
    if (ball.y > f.y) uy = std::fabs(uy);
    if (ball.y < f.y) uy = -std::fabs(uy);
  }
  double speed = std::sqrt(vx * vx + vy * vy);
  if (speed > kSpeedInvalid) speed = 0.0;
  if (std::isnan(speed)) speed = 0.0;
  if (speed > kSpeedCap) speed = kSpeedCap;
  ball.vx = static_cast<float>(ux * speed);
  ball.vy = static_cast<float>(uy * speed);
}

// One ball against one platform. The ends come from the cache, already
// ordered by x; a body break may rewrite the platform's lines. dt is the
// time this step integrates (a part of a long frame), frameTime the whole
// frame's: the sparks of a break fly with the ball's motion of the frame.
// Keeps the harder of a ball's contacts: the change from (vx, vy) to now.
void NoteHit(FrameHits& hits, HitKind kind, int i, const Ball& ball, double vx, double vy) {
  const double impact = std::hypot(ball.vx - vx, ball.vy - vy);
  BallHit& hit = hits[static_cast<std::size_t>(i)];
  if (!(impact > hit.impact)) return;
  hit.kind = kind;
  hit.impact = static_cast<float>(impact);
}

void CollidePlatform(SimState& sim, MapText& map, int i, const MapPlatform& platform, double dt,
                     double frameTime, double now) {
  Ball& ball = sim.Balls[static_cast<std::size_t>(i)];
  WorldPoint a{platform.leftX, platform.leftY};
  WorldPoint b{platform.rightX, platform.rightY};
  const double r = ball.radius;

  const WorldPoint d{b.x - a.x, b.y - a.y};
  if (d.x == 0.0 && d.y == 0.0) return;
  const double length = std::sqrt(d.x * d.x + d.y * d.y);
  double theta = Arccos(d.x / length);
  if (theta > kPi / 2.0) theta -= kPi;
  if (a.y > b.y) theta = -theta;
  const WorldPoint m{ball.vx * dt, ball.vy * dt};
  const WorldPoint frameMotion{ball.vx * frameTime, ball.vy * frameTime};

  // Foot point: the ball centre projected on the platform's line.
  const WorldPoint c{ball.x, ball.y};
  WorldPoint f;
  if (d.y == 0.0) {
    f = WorldPoint{c.x, a.y};
  } else if (d.x == 0.0) {
    f = WorldPoint{a.x, c.y};
  } else {
    const double t = ((c.x - a.x) * d.x + (c.y - a.y) * d.y) / (length * length);
    f = WorldPoint{a.x + t * d.x, a.y + t * d.y};
  }
  const double reach = kContactMargin + r;
  const double dist = std::sqrt((c.x - f.x) * (c.x - f.x) + (c.y - f.y) * (c.y - f.y));
  if (dist > reach) return;

  const bool destructible = IsDestructible(platform.kind);
  bool bodyBroken = false;
  if (a.x <= f.x && f.x <= b.x) {
    if (a.y > b.y) std::swap(a, b);  // a is now the lower end
    if (a.y <= f.y && f.y <= b.y) {
      if (i == 1) {
        ColourEffect(sim, platform.colour);
        if (now - ball.lastDampTime > kDampInterval) {
          ball.lastDampTime = static_cast<float>(now);
          ball.vx = static_cast<float>(ball.vx * kDampFactor);
          ball.vy = static_cast<float>(ball.vy * kDampFactor);
        }
      }
      // A ball that does not move this frame neither bounces nor rolls.
      if (m.x != 0.0 || m.y != 0.0) {
        if (std::fabs(theta) < kAngleTolerance) {
          ball.vy = -ball.vy;
        } else if (std::fabs(theta - kPi / 2.0) < kAngleTolerance) {
          ball.vx = -ball.vx;
        } else {
          BounceOffSlope(ball, theta, d, m, f);
        }
        // Slope roll: a slow ball on a gentle slope is driven downhill.
        if (std::fabs(theta) < kPi / 4.0 && std::fabs(ball.vy) < 0.4) {
          if (theta > kAngleTolerance) {
            ball.vx = static_cast<float>(ball.vx - std::fabs(theta) * dt * kSlopeRoll);
          } else if (theta < kAngleTolerance) {
            ball.vx = static_cast<float>(ball.vx + std::fabs(theta) * dt * kSlopeRoll);
          }
        }
      }
      // Push-out to the contact distance along the platform's normal.
      const double p = std::fabs(reach - dist);
      const double pushX = std::fabs(p * std::cos(kPi / 2.0 + theta));
      const double pushY = std::fabs(p * std::sin(kPi / 2.0 + theta));
      if (ball.x > f.x) ball.x = static_cast<float>(ball.x + pushX);
      if (ball.x < f.x) ball.x = static_cast<float>(ball.x - pushX);
      if (ball.y > f.y) ball.y = static_cast<float>(ball.y + pushY);
      if (ball.y < f.y) ball.y = static_cast<float>(ball.y - pushY);

      if (destructible) {
        BreakBody(map, sim.Break, platform.line, theta * kDegreesPerRadian, f, a, b, r,
                  map.Line(platform.line + 3), frameMotion);
        bodyBroken = true;
      }
    }
  }

  // End contact: the rounded caps turn the ball back.
  const WorldPoint centre{ball.x, ball.y};
  const double dA =
      std::sqrt((centre.x - a.x) * (centre.x - a.x) + (centre.y - a.y) * (centre.y - a.y));
  const double dB =
      std::sqrt((centre.x - b.x) * (centre.x - b.x) + (centre.y - b.y) * (centre.y - b.y));
  if (dA > reach && dB > reach) return;
  if (dA + dB + r > length) {
    ball.vx = -ball.vx;
    ball.vy = -ball.vy;
  }
  // A platform the same ball has just holed keeps its new ends this frame:
  // biting an end off with the ends from before the hole would undo the cut.
  if (destructible && !bodyBroken) {
    BreakEnd(map, platform.line, theta * kDegreesPerRadian,
             WorldPoint{platform.leftX, platform.leftY},
             WorldPoint{platform.rightX, platform.rightY}, centre, r);
  }
}

// Every platform in line order, including pieces appended during the scan.
void ScanPlatforms(SimState& sim, MapText& map, int i, double dt, double frameTime, double now,
                   FrameHits& hits) {
  const Ball& ball = sim.Balls[static_cast<std::size_t>(i)];
  // A radius beyond the float range (a map's "1e39") would push the ball to
  // infinity; such a ball passes through the platforms instead.
  if (!std::isfinite(ball.radius)) return;
  const MapObjectCache* cache = &MapObjects(map);
  int rewrites = 0;
  std::size_t n = 0;
  while (n < cache->boxes.size()) {
    // Broad test: far platforms are rejected before any square root. The
    // ball moves only when it meets a platform, so its reach is computed
    // once per stretch of misses.
    const double r = ball.radius;
    const double x = ball.x;
    const double y = ball.y;
    const double right = x + r + kBroadMargin, left = x - r - kBroadMargin;
    const double up = y + r + kBroadMargin, down = y - r - kBroadMargin;
    const PlatformBox* boxes = cache->boxes.data();
    const std::size_t count = cache->boxes.size();
    const std::size_t from = n;
    while (n < count && !(right > boxes[n].leftX && left < boxes[n].rightX && up > boxes[n].yLo &&
                          down < boxes[n].yHi)) {
      ++n;
    }
    map.scanWork += n - from + 1;
    if (n == count) return;
    const MapPlatform visited = cache->platforms[n];  // the collision may change the cache
    const std::uint64_t revision = map.revision;
    const double vx = ball.vx, vy = ball.vy;
    CollidePlatform(sim, map, i, visited, dt, frameTime, now);
    NoteHit(hits, HitKind::kPlatform, i, ball, vx, vy);
    if (map.revision != revision) {
      if (++rewrites > kMaxRewritesPerScan) return;
      cache = &MapObjects(map);
      n = FirstPlatformAfter(*cache, visited.line);
    } else {
      ++n;
    }
  }
}

void Integrate(Ball& ball, double dt) {
  ball.gravity = kGravity;
  ball.vy = static_cast<float>(ball.vy + ball.gravity * dt);
  ball.y = static_cast<float>(ball.y + (ball.gravity / 2.0) * (dt * dt) + ball.vy * dt);
  ball.x = static_cast<float>(ball.x + ball.vx * dt);
}

double CentreDistance(float x1, float y1, float x2, float y2) {
  const double dx = static_cast<double>(x2) - x1;
  const double dy = static_cast<double>(y2) - y1;
  return std::sqrt(dx * dx + dy * dy);
}

// Touching balls trade their velocities; positions stay.
void ExchangeVelocities(SimState& sim, FrameHits& hits) {
  const int count = LiveBalls(sim);
  for (int i = 1; i <= count; ++i) {
    for (int j = i + 1; j <= count; ++j) {
      if (IsStaticGoalPartner(sim, j)) continue;
      Ball& bi = sim.Balls[static_cast<std::size_t>(i)];
      Ball& bj = sim.Balls[static_cast<std::size_t>(j)];
      if (CentreDistance(bi.x, bi.y, bj.x, bj.y) < static_cast<double>(bi.radius) + bj.radius) {
        std::swap(bi.vx, bj.vx);
        std::swap(bi.vy, bj.vy);
        NoteHit(hits, HitKind::kBall, i, bi, bj.vx, bj.vy);
        NoteHit(hits, HitKind::kBall, j, bj, bi.vx, bi.vy);
        if (i == 1) ColourEffect(sim, bj.colour);
      }
    }
  }
}

// The static goal of a race is also a white sphere the other balls glance off.
void EnterStaticGoal(SimState& sim) {
  const GoalState& g = sim.Goal;
  if (!(g.GoalIsRagdoll == 0.0f && g.GoalPresent)) return;
  const int goal = g.BallIndex();
  if (goal < 1 || goal > kMaxBalls) return;
  if (sim.StaticSphereCount < 0) sim.StaticSphereCount = 0;
  if (sim.StaticSphereCount >= kMaxStaticSpheres) return;  // the table is full
  ++sim.StaticSphereCount;
  StaticSphere& s = sim.Spheres[static_cast<std::size_t>(sim.StaticSphereCount)];
  const Ball& ball = sim.Balls[static_cast<std::size_t>(goal)];
  s.x = ball.x;
  s.y = ball.y;
  s.radius = ball.radius;
  s.colour = "white";
}

// A ball touching a static sphere glances off it. A ball at rest, or one
// whose new direction has no length, keeps its velocity.
void GlanceOffSphere(Ball& ball, const StaticSphere& sphere) {
  const double dx = static_cast<double>(sphere.x) - ball.x;
  const double dy = static_cast<double>(sphere.y) - ball.y;
  const double nx = -dy;
  const double ny = dx;
  const double vx = ball.vx;
  const double vy = ball.vy;
  const double scale = std::sqrt(nx * nx + ny * ny) * std::sqrt(vx * vx + vy * vy);
  if (!(scale > 0.0) || !std::isfinite(scale)) return;
  const double alpha = Arccos((nx * vx + ny * vy) / scale);
  const double gx = -vy - 2.0 * alpha * dx;
  const double gy = vx - 2.0 * alpha * dy;
  const double gLength = std::sqrt(gx * gx + gy * gy);
  if (!(gLength > 0.0) || !std::isfinite(gLength)) return;
  const double newVx = std::fabs(vx) * gx / gLength;
  const double newVy = std::fabs(vy) * gy / gLength;
  if (!std::isfinite(newVx) || !std::isfinite(newVy)) return;
  ball.vx = static_cast<float>(newVx);
  ball.vy = static_cast<float>(newVy);
}

void CollideSpheres(SimState& sim, FrameHits& hits) {
  const int count = LiveBalls(sim);
  const int spheres = std::clamp<int>(sim.StaticSphereCount, 0, kMaxStaticSpheres);
  const bool goalExempt = sim.Goal.GoalPresent;
  const int goal = sim.Goal.BallIndex();
  for (int i = 1; i <= count; ++i) {
    if (goalExempt && i == goal) continue;
    Ball& ball = sim.Balls[static_cast<std::size_t>(i)];
    for (int k = 1; k <= spheres; ++k) {
      const StaticSphere& sphere = sim.Spheres[static_cast<std::size_t>(k)];
      if (CentreDistance(ball.x, ball.y, sphere.x, sphere.y) <
          static_cast<double>(sphere.radius) + ball.radius) {
        if (i == 1) ColourEffect(sim, sphere.colour);
        const double vx = ball.vx, vy = ball.vy;
        GlanceOffSphere(ball, sphere);
        NoteHit(hits, HitKind::kSphere, i, ball, vx, vy);
      }
    }
  }
}

// One step of the scene over dt seconds of a frame of frameTime seconds;
// now is the timer at the end of the step.
void StepScene(SimState& sim, MapText& map, double dt, double frameTime, double now,
               FrameHits& hits) {
  const int count = LiveBalls(sim);
  for (int i = 1; i <= count; ++i) {
    if (IsStaticGoalInPlay(sim, i)) continue;
    ScanPlatforms(sim, map, i, dt, frameTime, now, hits);
    Integrate(sim.Balls[static_cast<std::size_t>(i)], dt);
  }
  ExchangeVelocities(sim, hits);
  EnterStaticGoal(sim);
  CollideSpheres(sim, hits);
}

}  // namespace

int FrameParts(double dt) {
  if (!(dt > kLongFrame + kClockGrain) || !std::isfinite(dt)) return 1;
  double parts = std::ceil(dt / kMaxFramePart);
  if (parts > kMaxFrameParts) return kMaxFrameParts;
  // The quotient may round up past a whole number: no more parts than needed.
  while (parts > 1.0 && dt / (parts - 1.0) <= kMaxFramePart) parts -= 1.0;
  return static_cast<int>(parts);
}

FrameHits StepBalls(SimState& sim, MapText& map, double dt, double now) {
  FrameHits hits{};
  const int parts = FrameParts(dt);
  const double part = dt / parts;
  // The spheres the map's drawing registered; a static goal joins them once
  // per step, where it is in that step.
  const std::int16_t spheres = sim.StaticSphereCount;
  for (int k = 0; k < parts; ++k) {
    sim.StaticSphereCount = spheres;
    StepScene(sim, map, part, dt, now - (parts - 1 - k) * part, hits);
  }
  return hits;
}

void RefillStaticSpheres(SimState& sim, const MapText& map) {
  sim.StaticSphereCount = 0;
  for (const MapSphere& sphere : MapObjects(map).spheres) {
    // Spheres beyond the table's 50 entries are drawn but collide with nothing.
    if (!sphere.usable || sim.StaticSphereCount >= kMaxStaticSpheres) continue;
    ++sim.StaticSphereCount;
    StaticSphere& entry = sim.Spheres[static_cast<std::size_t>(sim.StaticSphereCount)];
    entry.x = sphere.centre.x;
    entry.y = sphere.centre.y;
    entry.radius = sphere.radius;
    entry.colour = map.Line(sphere.line + 3);
  }
}
