// Session logic: steering, boost and energy, the toggles, the start zoom.
#include "session/run.h"
#include "session/session.h"

#include <gtest/gtest.h>

namespace {

TEST(SessionControls, SteeringAndBoost) {
  SessionState s;
  Ball b;
  ApplyControls(s, b, 0.5, true, true, false);  // both cursor keys cancel
  EXPECT_EQ(b.vx, 0.0f);
  ApplyControls(s, b, 0.5, true, false, false);
  EXPECT_FLOAT_EQ(b.vx, 2.0f);
  ApplyControls(s, b, 0.25, false, true, false);
  EXPECT_FLOAT_EQ(b.vx, 1.0f);
  // The boost pushes away from zero in the current vertical direction.
  b.vy = -1.0f;
  s.Energy = 5.0f;
  ApplyControls(s, b, 0.1, false, false, true);
  EXPECT_FLOAT_EQ(b.vy, -2.5f);
  b.vy = 0.0f;
  ApplyControls(s, b, 0.1, false, false, true);
  EXPECT_FLOAT_EQ(b.vy, 1.5f);
}

TEST(SessionControls, EnergyClampAndRegainLimits) {
  SessionState s;
  Ball b;
  // 0.1 energy and a 0.02 s boost: vy moves 0.3, energy ends at 0.
  s.Energy = 0.1f;
  b.vy = 1.0f;
  ApplyControls(s, b, 0.02, false, false, true);
  EXPECT_FLOAT_EQ(b.vy, 1.3f);
  EXPECT_EQ(s.Energy, 0.0f);
  // No energy: no boost.
  ApplyControls(s, b, 0.02, false, false, true);
  EXPECT_FLOAT_EQ(b.vy, 1.3f);
  // Rising: no regain. Falling faster than 4: none. Slowly falling: 1/s.
  ApplyControls(s, b, 1.0, false, false, false);
  EXPECT_EQ(s.Energy, 0.0f);
  b.vy = -4.0f;
  ApplyControls(s, b, 1.0, false, false, false);
  EXPECT_EQ(s.Energy, 0.0f);
  b.vy = -3.9f;
  ApplyControls(s, b, 0.5, false, false, false);
  EXPECT_FLOAT_EQ(s.Energy, 0.5f);
  b.vy = 0.0f;
  ApplyControls(s, b, 0.5, false, false, false);
  EXPECT_FLOAT_EQ(s.Energy, 1.0f);
  // Regaining stops only once 5 is reached, so it may end a little above.
  s.Energy = 4.9f;
  ApplyControls(s, b, 0.3, false, false, false);
  EXPECT_FLOAT_EQ(s.Energy, 5.2f);
  ApplyControls(s, b, 0.3, false, false, false);
  EXPECT_FLOAT_EQ(s.Energy, 5.2f);
}

TEST(SessionControls, TogglesFlipOnTheirLettersOnly) {
  SessionState s;
  EXPECT_FALSE(ApplyToggles(s, "t"));
  EXPECT_EQ(s.InfoOverlay, 1);
  ApplyToggles(s, "T");
  EXPECT_EQ(s.InfoOverlay, 0);
  EXPECT_TRUE(ApplyToggles(s, "Z"));
  EXPECT_EQ(s.Wireframe, 1);
  EXPECT_TRUE(ApplyToggles(s, "z"));
  EXPECT_EQ(s.Wireframe, 0);
  EXPECT_FALSE(ApplyToggles(s, "g"));
  EXPECT_EQ(s.GhostHidden, 1);
  ApplyToggles(s, "G");
  EXPECT_EQ(s.GhostHidden, 0);
  EXPECT_FALSE(ApplyToggles(s, "y"));
  EXPECT_FALSE(ApplyToggles(s, ""));
  EXPECT_EQ(s.InfoOverlay, 0);
  EXPECT_EQ(s.GhostHidden, 0);
}

TEST(SessionZoom, FliesUntilItPassesBallOneOrEnter) {
  SessionState s;
  Ball b;
  b.x = 3.0f;
  b.y = 0.0f;
  s.ZoomCameraX = 0.0f;
  s.ZoomDirectionX = 1.0f;  // flying along x towards the ball
  int frames = 0;
  while (!StepZoom(s, b, 0.01, false) && frames < 1000) ++frames;
  // 3 units at 10 units per second: about 30 frames, ended once it grew.
  EXPECT_NEAR(frames, 31, 2);
  EXPECT_EQ(s.CameraPhase, 1);

  SessionState e;
  e.ZoomCameraX = -20.0f;
  e.ZoomDirectionX = 1.0f;
  EXPECT_FALSE(StepZoom(e, b, 0.01, false));
  EXPECT_TRUE(StepZoom(e, b, 0.01, true));  // Enter skips it
}

}  // namespace
