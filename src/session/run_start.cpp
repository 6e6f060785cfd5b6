// The state a restart leaves behind, as bytes and back.
#include "session/run_start.h"

#include <bit>
#include <limits>
#include <type_traits>

#include "game/game.h"
#include "mapfile/map_file.h"
#include "replay/bytes.h"
#include "session/hud.h"
#include "sim/level_objects.h"
#include "sim/world_hash.h"

namespace {

constexpr std::uint8_t kRunStartVersion = 1;

struct Out {
  ByteWriter w;
  void Num(float v) { w.Fixed(std::bit_cast<std::uint32_t>(v), 4); }
  void Num(double v) { w.Fixed(std::bit_cast<std::uint64_t>(v), 8); }
  void Num(bool v) { w.U8(v ? 1 : 0); }
  template <class T>
  requires std::is_integral_v<T>
  void Num(T v) { w.SVar(static_cast<std::int64_t>(v)); }
  void Text(const std::string& s) { w.Text(s); }
  // Flags and the mode keep the bytes they had as numbers and words.
  void Flag(bool v) { Num(v ? 1.0f : 0.0f); }
  void Word(bool v) { w.Text(v ? "true" : "false"); }
  void Mode(PlayMode m) { Num(static_cast<std::uint8_t>(m)); }
  std::size_t Count(std::size_t n) {
    w.Var(n);
    return n;
  }
};

struct In {
  ByteReader r;
  void Num(float& v) { v = std::bit_cast<float>(static_cast<std::uint32_t>(r.Fixed(4))); }
  void Num(double& v) { v = std::bit_cast<double>(r.Fixed(8)); }
  void Num(bool& v) { v = r.U8() != 0; }
  template <class T>
  requires std::is_integral_v<T>
  void Num(T& v) {
    const std::int64_t n = r.SVar();
    if (n < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
        n > static_cast<std::int64_t>(std::numeric_limits<T>::max())) {
      r.bad = true;
      return;
    }
    v = static_cast<T>(n);
  }
  void Text(std::string& s) { s = r.Text(r.Left()); }
  void Flag(bool& v) {
    float f = 0.0f;
    Num(f);
    if (f != 0.0f && f != 1.0f) r.bad = true;
    v = f == 1.0f;
  }
  void Word(bool& v) {
    std::string s;
    Text(s);
    if (s != "true" && s != "false") r.bad = true;
    v = s == "true";
  }
  void Mode(PlayMode& m) {
    std::uint8_t n = 0;
    Num(n);
    if (n > static_cast<std::uint8_t>(PlayMode::kSurvival)) r.bad = true;
    m = static_cast<PlayMode>(n);
  }
  // No more items than the bytes left hold, at itemBytes each at least.
  std::size_t Count(std::size_t itemBytes) { return r.CountHeld(itemBytes); }
};

// Every field a run plays on, in one order for writing and reading. A
// field added to these structs that play reads belongs here too.
template <class Io, class G>
void Fields(Io& io, G& game) {
  auto& sim = game.sim;
  io.Num(sim.BallCount);
  for (auto& b : sim.Balls) {
    for (auto* v : {&b.x, &b.y, &b.vx, &b.vy, &b.radius, &b.gravity, &b.lastDampTime}) io.Num(*v);
    io.Text(b.colour);
  }
  io.Num(sim.StaticSphereCount);
  for (auto& s : sim.Spheres) {
    for (auto* v : {&s.x, &s.y, &s.radius}) io.Num(*v);
    io.Text(s.colour);
  }
  auto& e = sim.Break;
  io.Num(e.pending);
  for (auto* v : {&e.leftX, &e.leftY, &e.rightX, &e.rightY, &e.angle, &e.mx, &e.my}) io.Num(*v);
  io.Text(e.colour);
  auto& g = sim.Goal;
  io.Flag(g.GoalPresent);
  io.Num(g.GoalIsRagdoll);
  io.Num(g.GoalBallIndex);
  io.Flag(g.GoalReached);
  for (auto* v : {&g.PendingGoalX, &g.PendingGoalY, &g.PendingGoalRadius, &g.GoalColour[0],
                  &g.GoalColour[1], &g.GoalColour[2]}) {
    io.Num(*v);
  }
  for (auto& f : g.GoalColourFalling) io.Num(f);
  io.Num(sim.SceneMode);
  io.Mode(sim.GameMode);
  io.Word(sim.RedContact);

  auto& s = game.session;
  io.Num(s.CameraPhase);
  for (auto* v : {&s.ZoomCameraX, &s.ZoomCameraY, &s.ZoomCameraZ, &s.ZoomDirectionX,
                  &s.ZoomDirectionY, &s.ZoomDirectionZ, &s.ZoomPrevDistance, &s.Energy}) {
    io.Num(*v);
  }
  for (auto* v : {&s.ControlsEnabled, &s.InfoOverlay, &s.Wireframe, &s.RunLost, &s.endAnswer,
                  &s.GhostHidden}) {
    io.Num(*v);
  }
  for (auto* v : {&s.SessionStartTime, &s.BurnTime, &s.BestTime, &s.runTime}) io.Num(*v);
  for (auto* v : {&s.SurvivalEnded, &s.RecordStored, &s.StartPositionX, &s.StartPositionY}) {
    io.Num(*v);
  }
  io.Text(s.SurvivalTimeText);
  io.Num(s.FrameCounter);
  io.Num(s.quit);
  io.Num(s.answeredLastFrame);
  io.Num(s.rulesNow);

  auto& h = game.hud;
  io.Num(h.FpsCounter);
  io.Num(h.ShownRate);
  io.Num(h.WindowStart);
  io.Text(h.FpsText);
  auto& f = game.frame;
  io.Text(f.LastKey);
  for (auto* v : {&f.FrameTime, &f.LastFrameStamp, &f.MenuStartTime}) io.Num(*v);
  io.Num(game.GridCentreX);
  io.Num(game.GridCentreY);
}

}  // namespace

std::string EncodeRunStart(const Game& game) {
  Out out;
  out.w.U8(kRunStartVersion);
  Fields(out, game);
  out.Count(game.particles.items.size());
  for (const ParticleRecord& p : game.particles.items) {
    for (const float v : {p.x, p.y, p.vx, p.vy, p.size, p.sprite, p.alpha}) out.Num(v);
    out.Text(p.colour);
  }
  out.Count(static_cast<std::size_t>(game.map.MapLineCount));
  for (int k = 1; k <= game.map.MapLineCount; ++k) out.Text(game.map.Line(k));
  return std::move(out.w.out);
}

bool DecodeRunStart(const std::string& bytes, Game& game, std::string& why) {
  In in{ByteReader{bytes}};
  if (in.r.U8() != kRunStartVersion) return (why = "the run's start has an unknown layout", false);
  Fields(in, game);
  if (in.r.bad) return (why = "the run's start is cut short", false);
  if (game.sim.BallCount < 1 || game.sim.BallCount > kMaxBalls || game.sim.StaticSphereCount < 0 ||
      game.sim.StaticSphereCount > kMaxStaticSpheres) {
    return (why = "the run's start has more balls or spheres than the tables hold", false);
  }
  game.particles.items.assign(in.Count(7 * sizeof(float) + 1), ParticleRecord());
  for (ParticleRecord& p : game.particles.items) {
    for (float* v : {&p.x, &p.y, &p.vx, &p.vy, &p.size, &p.sprite, &p.alpha}) in.Num(*v);
    in.Text(p.colour);
    if (in.r.bad) return (why = "the run's sparks are cut short", false);
  }
  std::vector<std::string> lines(std::min(in.Count(1), 2 * kMaxMapLines));
  for (std::string& line : lines) {
    in.Text(line);
    if (in.r.bad) return (why = "the run's map is cut short", false);
  }
  if (in.r.Left() != 0) return (why = "data after the run's start", false);
  SetMapLines(game.map, std::move(lines));
  return true;
}

bool RunStartIsLevelStart(const Game& game, const std::string& levelFile, double firstClock,
                          std::string& why) {
  // The restart again, on the run's own tables: what it sets must be what
  // the run has; what it leaves (the colours of the goal disk, the damping
  // clocks) carries over as it is.
  SimState sim = game.sim;
  MapText map;
  LoadMap(map, "Res/maps/" + levelFile);
  sim.Goal.GoalReached = false;
  sim.RedContact = false;
  sim.Break.pending = 0;
  const LevelStart start = SetUpLevelObjects(sim, map);
  StepTextTriggers(map, sim.Balls[1], game.frame.FrameTime);
  if (HashSimulation(sim, map, ParticleList()) !=
      HashSimulation(game.sim, game.map, game.particles)) {
    return (why = "the run does not start where the level starts", false);
  }
  const SessionState& s = game.session;
  const bool fresh = s.CameraPhase == 1 && s.Energy == kEnergyMax && s.ControlsEnabled == 1 &&
                     s.BurnTime == 0.0f && s.RunLost == 0 && s.SurvivalEnded == 0 &&
                     s.SurvivalTimeText == "0" && s.RecordStored == 0 && !s.quit &&
                     s.StartPositionX == start.StartPositionX &&
                     s.StartPositionY == start.StartPositionY;
  if (!fresh) return (why = "the run does not start as a fresh run", false);
  // The play time starts at the restart: after the frame before began and
  // before the run's first clock reading.
  if (!(static_cast<float>(game.frame.LastFrameStamp) <= s.SessionStartTime &&
        s.SessionStartTime <= static_cast<float>(firstClock))) {
    return (why = "the run's play time does not start at its restart", false);
  }
  return true;
}
