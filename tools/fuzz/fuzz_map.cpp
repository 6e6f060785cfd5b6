// libFuzzer entry for maps. The input's last bytes choose the scene (menu,
// race or survival, restarts on or off) and a cycle of frame codes (frame
// time, steering, boost); the rest is the map text. The map is loaded as
// LoadMap would load it, the level objects are set up, and a few hundred
// frames run what a play or menu frame runs without drawing: steering, the
// scene step with its breaks, the sphere refill, sparks, text triggers, the
// rules. The run stops with a trap when
//   - a ball's or a spark's position or velocity stops being finite although
//     every number of the map was finite,
//   - a frame looks at more lines and platforms than its bound (the scan
//     work counted by the map, not the time),
//   - the parsed-object cache differs from a fresh parse of the text,
//   - the map grew by anything but whole split pieces.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/menu.h"
#include "game/frontend_state.h"
#include "game/session_state.h"
#include "mapfile/map_file.h"
#include "session/hud.h"
#include "session/rules.h"
#include "session/session.h"
#include "sim/balls.h"
#include "sim/level_objects.h"
#include "sim/particles.h"
#include "sim/sim_state.h"
#include "world/map.h"

namespace {

constexpr int kFrames = 256;  // sparks live 500 frames: none dies

// Frame times a player's machine can produce, from none to a long stall.
constexpr double kFrameTimes[32] = {0.0,   1e-6,  0.0005, 0.001, 0.002, 0.004, 0.008, 0.010,
                                    0.012, 0.015, 0.015,  0.015, 0.016, 0.016, 0.017, 0.020,
                                    0.025, 0.030, 0.033,  0.040, 0.050, 0.066, 0.080, 0.100,
                                    0.150, 0.200, 0.250,  0.500, 1.000, 2.000, 10.00, 100.0};

bool FiniteF(float v) {
  return std::isfinite(v);
}

// Whether every number the consumers could read from the map is finite as a
// 32-bit float: each line read as a number, a point and a triple.
bool MapNumbersFinite(const MapText& map) {
  for (int k = 1; k <= map.MapLineCount; ++k) {
    const std::string& line = map.Line(k);
    const Point p = ParsePoint(line);
    const Triple t = ParseTriple(line);
    if (!FiniteF(static_cast<float>(ParseNumber(line))) || !FiniteF(p.x) || !FiniteF(p.y) ||
        !FiniteF(t.x) || !FiniteF(t.y) || !FiniteF(t.z)) {
      return false;
    }
  }
  return true;
}

bool SameCache(const MapObjectCache& a, const MapObjectCache& b) {
  if (a.platforms.size() != b.platforms.size() || a.spheres.size() != b.spheres.size())
    return false;
  for (std::size_t i = 0; i < a.platforms.size(); ++i) {
    const MapPlatform& p = a.platforms[i];
    const MapPlatform& q = b.platforms[i];
    if (p.line != q.line || p.kind != q.kind || p.colour != q.colour || p.usable != q.usable ||
        std::memcmp(&p.a, &q.a, sizeof p.a) != 0 || std::memcmp(&p.b, &q.b, sizeof p.b) != 0)
      return false;
  }
  for (std::size_t i = 0; i < a.spheres.size(); ++i) {
    const MapSphere& p = a.spheres[i];
    const MapSphere& q = b.spheres[i];
    if (p.line != q.line || p.usable != q.usable || p.colour != q.colour ||
        std::memcmp(&p.centre, &q.centre, sizeof p.centre) != 0 ||
        std::memcmp(&p.radius, &q.radius, sizeof p.radius) != 0)
      return false;
  }
  if (a.triggers.size() != b.triggers.size()) return false;
  for (std::size_t i = 0; i < a.triggers.size(); ++i) {
    if (a.triggers[i].line != b.triggers[i].line) return false;
  }
  return a.boxes.size() == b.boxes.size() &&
         (a.boxes.empty() ||
          std::memcmp(a.boxes.data(), b.boxes.data(), a.boxes.size() * sizeof(PlatformBox)) == 0);
}

std::uint64_t g_random = 1;
double Random() {
  g_random = g_random * 6364136223846793005ull + 1442695040888963407ull;
  return static_cast<double>(g_random >> 11) * (1.0 / 9007199254740992.0);
}

struct Run {
  MapText map;
  SimState sim;
  SessionState session;
  MenuState menu;
  ParticleList particles;
  std::vector<std::string> original;
  bool finite = true;
};

void StartPlay(Run& r) {
  SetMapLines(r.map, r.original);
  r.session.BurnTime = 0.0f;
  r.session.RunLost = 0;
  r.session.SurvivalEnded = 0;
  r.session.Energy = 5.0f;
  r.session.ControlsEnabled = 1;
  r.sim.RedContact = false;
  r.sim.Goal.GoalReached = false;
  r.sim.SceneMode = 0;
  TakeLevelStart(r.session, SetUpLevelObjects(r.sim, r.map));
}

void CheckBalls(const Run& r) {
  if (!r.finite) return;
  for (int i = 1; i <= r.sim.BallCount && i <= kMaxBalls; ++i) {
    const Ball& b = r.sim.Balls[static_cast<std::size_t>(i)];
    if (!FiniteF(b.x) || !FiniteF(b.y) || !FiniteF(b.vx) || !FiniteF(b.vy)) __builtin_trap();
  }
}

// Sparks only move and grow: one that stops being finite stays so, and none
// dies within the run, so a look at the end finds them all.
void CheckSparks(const Run& r) {
  if (!r.finite) return;
  for (const ParticleRecord& p : r.particles.items) {
    if (!FiniteF(p.x) || !FiniteF(p.y) || !FiniteF(p.vx) || !FiniteF(p.vy)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::uint8_t setup = in.ConsumeIntegral<std::uint8_t>();
  const std::size_t codeCount = in.ConsumeIntegralInRange<std::size_t>(1, 48);
  std::vector<std::uint8_t> codes = in.ConsumeBytes<std::uint8_t>(codeCount);
  if (codes.empty()) codes.push_back(0x48);
  const std::string text = in.ConsumeRemainingBytesAsString();

  // Everything the run holds is freed at its end, so libFuzzer sees no leak.
  Run r;
  g_random = 1;
  SetMapText(r.map, text);
  r.original.assign(r.map.MapLines.begin() + 1, r.map.MapLines.end());
  r.finite = MapNumbersFinite(r.map);
  for (int i = 1; i <= 20; ++i) r.sim.Balls[static_cast<std::size_t>(i)].radius = 0.18f;

  const int scene = setup & 3;  // 0 menu, 1 race, 2 survival, 3 race
  const bool restarts = (setup & 4) != 0;
  const bool drops = (setup & 8) != 0;
  const std::string sparks = "35";
  double now = 100.0;
  if (scene == 0) {
    r.sim.BallCount = 4;
    for (int i = 1; i <= 4; ++i) r.sim.Balls[static_cast<std::size_t>(i)].x = 30.0f;
    r.sim.SceneMode = 1;
  } else {
    r.sim.GameMode = scene == 2 ? PlayMode::kSurvival : PlayMode::kRace;
    r.session.SessionStartTime = static_cast<float>(now);
    StartPlay(r);
  }

  std::uint64_t steps = 0;  // scene steps: a long frame is stepped in parts
  for (int frame = 0; frame < kFrames; ++frame) {
    const std::uint8_t code = codes[static_cast<std::size_t>(frame) % codes.size()];
    const double dt = kFrameTimes[code >> 3];
    const std::uint64_t parts = static_cast<std::uint64_t>(FrameParts(dt));
    steps += parts;
    now += dt;
    const std::uint64_t workBefore = r.map.scanWork;
    int linesBefore = r.map.MapLineCount;
    if (scene == 0) {
      StepBalls(r.sim, r.map, dt, now);
      RefillStaticSpheres(r.sim, r.map);
      ApplyMenuSceneRules(r.sim, r.menu, drops, now, 100.0);
    } else {
      Ball& b1 = r.sim.Balls[1];
      if (r.session.ControlsEnabled == 1)
        ApplyControls(r.session, b1, dt, code & 1, code & 2, code & 4);
      StepBalls(r.sim, r.map, dt, now);
      RefillStaticSpheres(r.sim, r.map);
      if (r.sim.Break.pending) EmitBreakParticles(r.particles, r.sim.Break, sparks, Random);
      StepParticles(r.particles);
      LossTest(r.session, r.sim);
      if (r.sim.GameMode == PlayMode::kRace) GoalReachedTest(r.sim);
      StepTextTriggers(r.map, r.sim.Balls[1], dt);
      AccumulateBurn(r.session, r.sim, dt);
      const bool ended =
          r.session.RunLost == 1 || r.session.SurvivalEnded == 1 || r.sim.Goal.GoalReached;
      if (ended && restarts) {
        StartPlay(r);
        linesBefore = r.map.MapLineCount;
      }
    }
    CheckBalls(r);
    // A frame looks at every line a few times and, per ball and part, at
    // every platform plus the pieces its breaks append.
    const std::uint64_t lines =
        static_cast<std::uint64_t>(std::max(linesBefore, r.map.MapLineCount));
    const std::uint64_t balls = static_cast<std::uint64_t>(std::max(r.sim.BallCount, 1));
    if (r.map.scanWork - workBefore > 8 * (lines + 8) * (balls + 1) * parts) __builtin_trap();
    const int grown = r.map.MapLineCount - linesBefore;
    if (grown < 0 || grown % 4 != 0) __builtin_trap();
  }
  CheckSparks(r);
  // A split needs a hole of real length: a map grows by a few pieces per
  // ball and step, never by a piece per rewrite of every step.
  if (static_cast<std::uint64_t>(r.map.MapLineCount) >
      r.original.size() + 16 * steps * static_cast<std::uint64_t>(std::max(r.sim.BallCount, 1)))
    __builtin_trap();
  // The cache the frames kept up to date equals a fresh parse of the text.
  std::vector<std::string> lines;
  for (int k = 1; k <= r.map.MapLineCount; ++k) lines.push_back(r.map.Line(k));
  const MapText fresh = MapFromLines(std::move(lines));
  if (!SameCache(MapObjects(r.map), MapObjects(fresh))) __builtin_trap();
  return 0;
}
