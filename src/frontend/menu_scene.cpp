// The menu's rules behind the screen: cursor, pointer, and the live scene's
// balls held, dropped, put back and damped.
#include "frontend/menu_scene.h"

#include <algorithm>
#include <cmath>

#include "game/game.h"
#include "platform/platform.h"
#include "sim/balls.h"

namespace {

constexpr int kSelectionMin = -2;
constexpr int kSelectionMax = 3;
// Seconds after entering the menu at which balls 1 to 4 drop.
constexpr double kMenuDropTimes[kMenuBalls + 1] = {0.0, 1.0, 8.0, 15.0, 22.0};

// Open bands of the pointer's world y, top to bottom, and the selection
// each one asks for. Bands 2, 1 and 0 lie on the entry bars.
struct Band {
  float low, high;
  int selection;
};
constexpr Band kBands[] = {
    {1.55f, 2.05f, 3},  {0.95f, 1.45f, 2},    {0.35f, 0.85f, 1},
    {-0.25f, 0.25f, 0}, {-0.85f, -0.35f, -1}, {-1.45f, -0.95f, -2},
};
constexpr float kPointerLeftOf = -1.0f;

}  // namespace

bool IsLeaveKey(const std::string& key) {
  return key == plat::kKeyEsc || key == plat::kKeyClose;
}

int MoveMenuCursor(int selection, const std::string& key) {
  if (key == plat::kKeyDown) {
    selection -= 1;
    if (selection < kSelectionMin) selection = kSelectionMax;
  } else if (key == plat::kKeyUp) {
    selection += 1;
    if (selection > kSelectionMax) selection = kSelectionMin;
  }
  return selection;
}

void TrackPointerButtons(MenuState& menu, int buttons) {
  const bool leftAlone = buttons == 1;
  menu.ClickReleased = (menu.LeftButtonHeld == 1.0f && !leftAlone) ? 1.0f : 0.0f;
  menu.LeftButtonHeld = leftAlone ? 1.0f : 0.0f;
}

void PointerToWorld(const VideoState& video, int px, int py, float& mx, float& my) {
  if (video.PixelsPerUnitX == 0.0f || video.PixelsPerUnitY == 0.0f) {
    mx = 0.0f;
    my = 0.0f;
    return;
  }
  const double xPixels = std::nearbyint(px - video.ScreenWidth / 2.0);
  const double yPixels = std::nearbyint(video.ScreenHeight / 2.0 - py);
  mx = static_cast<float>(xPixels / video.PixelsPerUnitX);
  my = static_cast<float>(yPixels / video.PixelsPerUnitY);
}

int SelectionFromPointer(int selection, float mx, float my) {
  if (!(mx < kPointerLeftOf)) return selection;
  for (const Band& band : kBands) {
    if (my > band.low && my < band.high) return band.selection;
  }
  return selection;
}

void ApplyMenuSceneRules(SimState& sim, MenuState& menu, bool dropsEnabled, double now,
                         double menuStart) {
  // A ball that left the map (or whose position broke down) starts over.
  const int count = std::clamp(sim.BallCount, 0, kMaxBalls);
  for (int i = 1; i <= count; ++i) {
    Ball& ball = sim.Balls[i];
    if (!(ball.y >= kFallenBelowY) || !std::isfinite(ball.x)) {
      SetBallAt(ball, kDropPointX, kDropPointY);
    }
  }
  for (int i = 1; i <= kMenuBalls; ++i) {
    if (menu.BallDropped[i] == 0) SetBallAt(sim.Balls[i], MenuHoldX(i), kMenuHoldY);
  }
  if (dropsEnabled) {
    const double elapsed = now - menuStart;
    for (int i = 1; i <= kMenuBalls; ++i) {
      if (elapsed > kMenuDropTimes[i] && menu.BallDropped[i] == 0) {
        SetBallAt(sim.Balls[i], kDropPointX, kDropPointY);
        menu.BallDropped[i] = 1;
      }
    }
  }
  for (int i = 2; i <= kMenuBalls; ++i) {
    Ball& ball = sim.Balls[i];
    if (now - ball.lastDampTime > kDampInterval) {
      ball.lastDampTime = static_cast<float>(now);
      ball.vx = static_cast<float>(ball.vx * kDampFactor);
      ball.vy = static_cast<float>(ball.vy * kDampFactor);
    }
  }
}
