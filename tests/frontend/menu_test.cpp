// The main menu's rules without a window: pointer and scene rules (the keys
// and the whole frame are played through the runner in menu_e2e_test.cpp).
#include "frontend/menu.h"

#include <gtest/gtest.h>

#include <limits>

#include "game/game.h"

namespace {

TEST(MenuPointer, ClickCountsOnReleaseOnly) {
  MenuState menu;
  TrackPointerButtons(menu, 1);  // press
  EXPECT_EQ(menu.ClickReleased, 0.0f);
  EXPECT_EQ(menu.LeftButtonHeld, 1.0f);
  TrackPointerButtons(menu, 1);  // still held
  EXPECT_EQ(menu.ClickReleased, 0.0f);
  TrackPointerButtons(menu, 0);  // release: the click
  EXPECT_EQ(menu.ClickReleased, 1.0f);
  EXPECT_EQ(menu.LeftButtonHeld, 0.0f);
  TrackPointerButtons(menu, 0);  // one frame only
  EXPECT_EQ(menu.ClickReleased, 0.0f);

  // Any mask other than "left alone" ends a hold: a second button, or the
  // pointer leaving the window (every value -1).
  for (int mask : {3, 2, -1}) {
    TrackPointerButtons(menu, 1);
    TrackPointerButtons(menu, mask);
    EXPECT_EQ(menu.ClickReleased, 1.0f) << mask;
    EXPECT_EQ(menu.LeftButtonHeld, 0.0f) << mask;
  }
  // Buttons that never were "left alone" never click.
  TrackPointerButtons(menu, 2);
  TrackPointerButtons(menu, 0);
  TrackPointerButtons(menu, -1);
  EXPECT_EQ(menu.ClickReleased, 0.0f);
}

TEST(MenuPointer, PixelsToWorldUnits) {
  VideoState video;
  video.ScreenWidth = 1280;
  video.ScreenHeight = 800;
  video.PixelsPerUnitX = 160.0f;
  video.PixelsPerUnitY = static_cast<float>(800 / 4.97);
  float mx = 1, my = 1;
  PointerToWorld(video, 640, 400, mx, my);
  EXPECT_EQ(mx, 0.0f);
  EXPECT_EQ(my, 0.0f);
  PointerToWorld(video, 0, 0, mx, my);  // top left: y grows upwards
  EXPECT_FLOAT_EQ(mx, -4.0f);
  EXPECT_FLOAT_EQ(my, 2.485f);
  PointerToWorld(video, 1279, 799, mx, my);
  EXPECT_FLOAT_EQ(mx, 639.0f / 160.0f);
  EXPECT_FLOAT_EQ(my, -2.485f + 1.0f / video.PixelsPerUnitY);

  // Half pixels of an odd screen size round to even.
  video.ScreenWidth = 1281;
  video.ScreenHeight = 801;
  PointerToWorld(video, 0, 0, mx, my);
  EXPECT_FLOAT_EQ(mx, -640.0f / 160.0f);  // round(-640.5) = -640
  PointerToWorld(video, 1, 1, mx, my);
  EXPECT_FLOAT_EQ(mx, -640.0f / 160.0f);               // round(-639.5) = -640
  EXPECT_FLOAT_EQ(my, 400.0f / video.PixelsPerUnitY);  // round(399.5) = 400

  // A screen without scale factors: the pointer sits on the view axis.
  video.PixelsPerUnitX = 0.0f;
  PointerToWorld(video, 0, 0, mx, my);
  EXPECT_EQ(mx, 0.0f);
  EXPECT_EQ(my, 0.0f);
  EXPECT_EQ(SelectionFromPointer(3, mx, my), 3);
}

TEST(MenuPointer, BandsLeftOfMinusOneSetTheSelection) {
  const float left = -2.0f;
  EXPECT_EQ(SelectionFromPointer(-2, left, 1.8f), 3);
  EXPECT_EQ(SelectionFromPointer(3, left, 1.2f), 2);
  EXPECT_EQ(SelectionFromPointer(3, left, 0.6f), 1);
  EXPECT_EQ(SelectionFromPointer(3, left, 0.0f), 0);
  EXPECT_EQ(SelectionFromPointer(3, left, -0.6f), -1);
  EXPECT_EQ(SelectionFromPointer(3, left, -1.2f), -2);
  // Open bands: the gaps and the edges keep the selection.
  for (float y :
       {2.05f, 1.55f, 1.5f, 1.45f, 0.95f, 0.9f, 0.85f, 0.25f, -0.3f, -0.95f, -1.45f, -2.0f, 3.0f}) {
    EXPECT_EQ(SelectionFromPointer(1, left, y), 1) << y;
  }
  // Right of the line, even over a highlighted bar's end, nothing changes.
  for (float x : {-1.0f, -0.99f, 0.0f, 3.0f}) {
    EXPECT_EQ(SelectionFromPointer(3, x, 1.2f), 3) << x;
    EXPECT_EQ(SelectionFromPointer(-1, x, 0.0f), -1) << x;
  }
  EXPECT_EQ(SelectionFromPointer(3, -1.0001f, 1.2f), 2);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(SelectionFromPointer(2, nan, 0.0f), 2);
  EXPECT_EQ(SelectionFromPointer(2, left, nan), 2);
}

// A fresh menu scene: four balls parked out of view, none dropped.
SimState ParkedBalls() {
  SimState sim;
  sim.BallCount = 4;
  for (int i = 1; i <= 4; ++i) {
    sim.Balls[i].x = 30.0f;
    sim.Balls[i].radius = 0.18f;
  }
  return sim;
}

TEST(MenuScene, FallenBallsStartOverAtTheDropPoint) {
  SimState sim = ParkedBalls();
  MenuState menu;
  for (int i = 1; i <= 4; ++i) menu.BallDropped[i] = 1;
  sim.Balls[1] = {1.7f, -3.6f, 0.4f, -9.0f, 0.18f, "white", 0, 0};
  sim.Balls[2] = {-1.0f, -3.5f, 0.4f, -9.0f, 0.18f, "white", 0, 0};  // not below yet
  sim.Balls[3].x = std::numeric_limits<float>::quiet_NaN();          // broken down
  sim.Balls[4].y = std::numeric_limits<float>::quiet_NaN();
  ApplyMenuSceneRules(sim, menu, true, 100.0, 100.0);
  for (int i : {1, 3, 4}) {
    EXPECT_EQ(sim.Balls[i].x, 0.0f) << i;
    EXPECT_EQ(sim.Balls[i].y, 2.5f) << i;
    EXPECT_EQ(sim.Balls[i].vx, 0.0f) << i;
    EXPECT_EQ(sim.Balls[i].vy, 0.0f) << i;
  }
  EXPECT_EQ(sim.Balls[2].y, -3.5f);
  // Balls beyond the four menu balls fall back as well.
  sim.BallCount = 6;
  sim.Balls[6].y = -40.0f;
  ApplyMenuSceneRules(sim, menu, true, 100.0, 100.0);
  EXPECT_EQ(sim.Balls[6].y, 2.5f);
  // A corrupt ball count never reaches past the table.
  sim.BallCount = 1000;
  ApplyMenuSceneRules(sim, menu, true, 100.0, 100.0);
  sim.BallCount = -5;
  ApplyMenuSceneRules(sim, menu, true, 100.0, 100.0);
}

TEST(MenuScene, AirDampingOfBallsTwoToFourEveryFifteenHundredths) {
  SimState sim = ParkedBalls();
  MenuState menu;
  for (int i = 1; i <= 4; ++i) {
    menu.BallDropped[i] = 1;
    sim.Balls[i] = {0.0f, 1.0f, 2.0f, -1.0f, 0.18f, "white", 0, 100.0f};
  }
  ApplyMenuSceneRules(sim, menu, true, 100.125, 0.0);  // too soon
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(sim.Balls[i].vx, 2.0f) << i;
  ApplyMenuSceneRules(sim, menu, true, 100.25, 0.0);
  EXPECT_EQ(sim.Balls[1].vx, 2.0f);  // ball 1 is damped only on contact
  for (int i = 2; i <= 4; ++i) {
    EXPECT_EQ(sim.Balls[i].vx, 2.0f * 0.85f) << i;
    EXPECT_EQ(sim.Balls[i].vy, -1.0f * 0.85f) << i;
    EXPECT_EQ(sim.Balls[i].lastDampTime, 100.25f) << i;
  }
  ApplyMenuSceneRules(sim, menu, true, 100.375, 0.0);  // 0.125 s later: not yet
  EXPECT_EQ(sim.Balls[2].vx, 2.0f * 0.85f);
  ApplyMenuSceneRules(sim, menu, true, 100.5, 0.0);
  EXPECT_EQ(sim.Balls[2].vx, 2.0f * 0.85f * 0.85f);
  // The product is taken in double and stored as a float: 3 * 0.85 gives
  // 2.54999995, where a product of floats would give 2.55000019.
  sim.Balls[3].vx = 3.0f;
  ApplyMenuSceneRules(sim, menu, true, 100.75, 0.0);
  EXPECT_EQ(sim.Balls[3].vx, static_cast<float>(3.0 * 0.85));
  EXPECT_NE(sim.Balls[3].vx, 3.0f * 0.85f);
}

}  // namespace
