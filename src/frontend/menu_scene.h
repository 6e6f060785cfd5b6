// The menu's rules behind the screen (no GL, no clock): the cursor, the
// pointer, and the live scene the menu and the credits share.
#pragma once

#include <string>

#include "sim/sim_state.h"

struct MenuState;
struct VideoState;

// ---- the rules behind it (no GL, no clock) -----------------------------
// True for the two key strings that leave a screen: Esc and window close.
bool IsLeaveKey(const std::string& key);

// The cursor after one key string: cursor down lowers it, cursor up raises
// it, wrapping around over -2..3. Only 2, 1 and 0 name entries.
int MoveMenuCursor(int selection, const std::string& key);

// Click on release: ClickReleased becomes 1.0 when the left button was held
// and the mask is no longer exactly "left alone"; LeftButtonHeld then
// follows the mask. A pointer outside the window reads -1: no button.
void TrackPointerButtons(MenuState& menu, int buttons);

// Pixel position (origin top left, y down) to world units on the menu plane
// (y up). A screen without scale factors puts the pointer on the view axis,
// where it selects nothing.
void PointerToWorld(const VideoState& video, int px, int py, float& mx, float& my);

// The selection the pointer at (mx, my) asks for: only left of x = -1.0 and
// only inside one of the six open bands; otherwise the selection stays.
int SelectionFromPointer(int selection, float mx, float my);

// The menu's scene rules after the scene step, at timer `now` (seconds):
// fallen balls back to the drop point, undropped balls held, the drop
// schedule (1, 8, 15, 22 s after menuStart) when drops are enabled, and the
// air damping of balls 2 to 4.
void ApplyMenuSceneRules(SimState& sim, MenuState& menu, bool dropsEnabled, double now,
                         double menuStart);

// The balls of the menu scene (the credits share it).
constexpr int kMenuBalls = 4;
// Puts a ball at (x, y) at rest.
inline void SetBallAt(Ball& ball, float x, float y) {
  ball.x = x;
  ball.y = y;
  ball.vx = 0.0f;
  ball.vy = 0.0f;
}

// Where menu ball i (1..4) waits until it is dropped, and where it drops.
constexpr float kMenuHoldY = 3.0f;
constexpr float kDropPointX = 0.0f;
constexpr float kDropPointY = 2.5f;
constexpr float kFallenBelowY = -3.5f;
inline float MenuHoldX(int ball) {
  return static_cast<float>(ball - 2);
}
