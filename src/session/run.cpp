#include "session/run.h"

#include <cmath>

namespace {

constexpr double kZoomSpeed = 10.0;  // world units per second
constexpr double kSteer = 4.0;       // units/s^2 on vx
constexpr double kBoost = 15.0;      // units/s^2 on vy
constexpr double kBoostCost = 15.0;  // energy per second

}  // namespace

void ResetRun(SessionState& s, SimState& sim) {
  s.BurnTime = 0.0f;
  sim.RedContact = false;
  s.ControlsEnabled = 1;
  s.Energy = kEnergyMax;
  s.RunLost = 0;
  sim.Goal.GoalReached = false;
  s.SurvivalEnded = 0;
}

void ClearRunLeftovers(SimState& sim, SessionState& session, ParticleList& particles) {
  sim.RedContact = false;
  session.BurnTime = 0.0f;
  particles.items.clear();
  sim.Break.pending = 0;
}

void TakeLevelStart(SessionState& session, const LevelStart& start) {
  session.StartPositionX = start.StartPositionX;
  session.StartPositionY = start.StartPositionY;
  if (start.zoomFound) {
    session.ZoomCameraX = start.ZoomCameraX;
    session.ZoomCameraY = start.ZoomCameraY;
    session.ZoomCameraZ = start.ZoomCameraZ;
    session.ZoomDirectionX = start.ZoomDirectionX;
    session.ZoomDirectionY = start.ZoomDirectionY;
    session.ZoomDirectionZ = start.ZoomDirectionZ;
  }
  session.RecordStored = 0;
  if (start.zoomDegenerate) session.CameraPhase = 1;
}

double ElapsedTime(const SessionState& session, double now) {
  const double t = now - static_cast<double>(session.SessionStartTime);
  return t > 0.0 ? t : 0.0;
}

void ApplyControls(SessionState& s, Ball& b1, double dt, bool right, bool left, bool boost) {
  if (right) b1.vx = static_cast<float>(b1.vx + kSteer * dt);
  if (left) b1.vx = static_cast<float>(b1.vx - kSteer * dt);
  if (s.Energy > 0.0f && boost) {
    s.Energy = static_cast<float>(s.Energy - kBoostCost * dt);
    // The boost always pushes away from zero, in the current direction.
    b1.vy = static_cast<float>(b1.vy >= 0.0f ? b1.vy + kBoost * dt : b1.vy - kBoost * dt);
  }
  if (s.Energy < kEnergyMax && b1.vy <= 0.0f && b1.vy > -4.0f) {
    s.Energy = static_cast<float>(s.Energy + dt);
  }
  if (s.Energy < 0.0f) s.Energy = 0.0f;
}

bool ApplyToggles(SessionState& s, const std::string& key) {
  if (key == "t" || key == "T") s.InfoOverlay = s.InfoOverlay ? 0 : 1;
  if (key == "g" || key == "G") s.GhostHidden = s.GhostHidden ? 0 : 1;
  if (key == "z" || key == "Z") {
    s.Wireframe = s.Wireframe ? 0 : 1;
    return true;
  }
  return false;
}

bool StepZoom(SessionState& s, const Ball& b1, double dt, bool enter) {
  const double dx = static_cast<double>(s.ZoomCameraX) - b1.x;
  const double dy = static_cast<double>(s.ZoomCameraY) - b1.y;
  const float d = static_cast<float>(std::sqrt(dx * dx + dy * dy));
  if (d > s.ZoomPrevDistance || enter) s.CameraPhase = 1;
  s.ZoomPrevDistance = d;
  s.ZoomCameraX = static_cast<float>(s.ZoomCameraX + dt * kZoomSpeed * s.ZoomDirectionX);
  s.ZoomCameraY = static_cast<float>(s.ZoomCameraY + dt * kZoomSpeed * s.ZoomDirectionY);
  s.ZoomCameraZ = static_cast<float>(s.ZoomCameraZ + dt * kZoomSpeed * s.ZoomDirectionZ);
  return s.CameraPhase == 1;
}
