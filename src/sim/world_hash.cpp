// The simulation's fingerprint.
#include "sim/world_hash.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "world/fnv1a.h"

std::uint64_t HashSimulation(const SimState& sim, const MapText& map,
                             const ParticleList& particles) {
  Fnv1a h;
  h.Int(sim.BallCount);
  for (const Ball& b : sim.Balls) {
    for (const float v : {b.x, b.y, b.vx, b.vy, b.radius, b.gravity, b.lastDampTime}) h.Float(v);
    h.String(b.colour);
  }
  h.Int(sim.StaticSphereCount);
  for (const StaticSphere& s : sim.Spheres) {
    for (const float v : {s.x, s.y, s.radius}) h.Float(v);
    h.String(s.colour);
  }
  const BreakEvent& e = sim.Break;
  h.Int(e.pending);
  for (const float v : {e.leftX, e.leftY, e.rightX, e.rightY, e.angle, e.mx, e.my}) h.Float(v);
  h.String(e.colour);
  const GoalState& g = sim.Goal;
  // The flags count as the numbers 1 and 0 they once were.
  const float present = g.GoalPresent ? 1.0f : 0.0f, reached = g.GoalReached ? 1.0f : 0.0f;
  for (const float v :
       {present, g.GoalIsRagdoll, g.GoalBallIndex, reached, g.PendingGoalX, g.PendingGoalY,
        g.PendingGoalRadius, g.GoalColour[0], g.GoalColour[1], g.GoalColour[2]}) {
    h.Float(v);
  }
  h.Bytes(g.GoalColourFalling, sizeof g.GoalColourFalling);
  h.Int(sim.SceneMode);
  h.Int(static_cast<int>(sim.GameMode));
  h.String(sim.RedContact ? "true" : "false");
  h.Int(static_cast<std::int64_t>(particles.items.size()));
  for (const ParticleRecord& p : particles.items) {
    for (const float v : {p.x, p.y, p.vx, p.vy, p.size, p.sprite, p.alpha}) h.Float(v);
    h.String(p.colour);
  }
  h.Int(map.MapLineCount);
  for (int k = 1; k <= map.MapLineCount; ++k) h.String(map.Line(k));
  return h.Value();
}

std::string FormatHash(std::uint64_t hash) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016" PRIx64, hash);
  return buf;
}
