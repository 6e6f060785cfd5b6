// The main menu: three entries over a live scene of balls dropping onto the
// menu map. The menu loop is the program's main loop; the level selection
// (and play behind it) and the credits run inside one of its frames.
#include "frontend/menu.h"

#include <algorithm>
#include <cmath>

#include "frontend/credits.h"
#include "frontend/level_select.h"
#include "game/game.h"
#include "platform/platform.h"
#include "game/frame_view.h"
#include "render/frame_draw.h"
#include "sim/balls.h"
#include "sound/sound.h"

namespace {

constexpr int kSelectionMin = -2;
constexpr int kSelectionMax = 3;
constexpr int kEntryStart = 2;    // "Spiel starten"
constexpr int kEntryCredits = 1;  // "Entwickler"
constexpr int kEntryQuit = 0;     // "Beenden"

// Seconds after entering the menu at which balls 1 to 4 drop.
constexpr double kMenuDropTimes[kMenuBalls + 1] = {0.0, 1.0, 8.0, 15.0, 22.0};

struct Entry {
  int value;
  const char* text;
  float y;
};
constexpr Entry kEntries[] = {
    {kEntryStart, "Spiel starten", 1.12f},
    {kEntryCredits, "Entwickler", 0.52f},
    {kEntryQuit, "Beenden", -0.05f},
};

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

// The menu frame's readings after its key poll and frame time.
struct MenuInput {
  plat::Pointer pointer;
  double ballClock = 0.0;   // the clock the scene's ball step is given
  double rulesClock = 0.0;  // the clock the scene's rules judge by
};

// Shows the pointer and takes the frame's readings, in the order replays
// and scripts expect them.
MenuInput ReadMenuInput() {
  MenuInput in;
  plat::SetPointerVisible(true);
  in.pointer = plat::ReadPointer();
  in.ballClock = plat::Timer();
  in.rulesClock = plat::Timer();
  return in;
}

// One menu frame's step: cursor and pointer, the live scene and its rules,
// the entries. Returns the entry chosen in this frame (its sub-screen runs
// at the view's mark), or -1.
int StepMenuFrame(Game& game, const MenuInput& in, FrameView& view) {
  MenuState& menu = game.menu;
  menu.MenuSelection = MoveMenuCursor(menu.MenuSelection, game.frame.LastKey);
  TrackPointerButtons(menu, in.pointer.buttons);
  PointerToWorld(game.video, in.pointer.x, in.pointer.y, menu.PointerWorldX, menu.PointerWorldY);
  menu.MenuSelection = SelectionFromPointer(menu.MenuSelection, menu.PointerWorldX,
                                            menu.PointerWorldY);
  view.Op(ViewOp::kTitleImage);
  StepBalls(game.sim, game.map, game.frame.FrameTime, in.ballClock);
  view.Balls(game.sim, game.session.BurnTime);
  RefillStaticSpheres(game.sim, game.map);
  view.MapObjects(game.map);
  ApplyMenuSceneRules(game.sim, menu, SettingEnabled(game.settings, "Menu_DroppBalls"),
                      in.rulesClock, game.frame.MenuStartTime);
  view.Op(ViewOp::kEntryBars, menu.MenuSelection);

  // The three entry texts, each followed by its choice test.
  int chosen = -1;
  view.Translate(0.0f, 0.0f, kTextPlane);
  for (const Entry& entry : kEntries) {
    const bool highlighted = menu.MenuSelection == entry.value;
    view.Text(ViewOp::kText, entry.text, highlighted ? -2.3f : -2.8f, entry.y, 0.0f, 0.0f, 1.0f);
    if (!highlighted || chosen >= 0) continue;
    if (game.frame.LastKey != plat::kKeyEnter && menu.ClickReleased != 1.0f) continue;
    chosen = entry.value;
    if (entry.value == kEntryQuit) {
      view.PopView();
      return chosen;
    }
    view.Translate(0.0f, 0.0f, -kTextPlane);
    view.Mark();
    // Back from the sub-screen: the frame goes on where it was interrupted,
    // with the menu's own view (a game session leaves its camera behind).
    view.ResetModelView();
    view.Translate(0.0f, 0.0f, kTextPlane);
  }
  view.Translate(0.0f, 0.0f, -kTextPlane);
  view.Finish();
  view.PopView();
  return chosen;
}

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

void RunMainMenu(Game& game) {
  FrameView view;
  for (;;) {
    plat::SetScreenName("menu");
    view.Reset();
    view.PushView();
    PollKeyInto(game);
    if (IsLeaveKey(game.frame.LastKey)) {
      game.exitCode = 0;
      return;
    }
    MeasureFrameTime(game);
    view.Clear();
    const MenuInput input = ReadMenuInput();
    const int chosen = StepMenuFrame(game, input, view);
    std::size_t drawn = DrawFrameView(view, game.video);
    if (chosen == kEntryQuit) {
      game.exitCode = 0;
      return;
    }
    if (chosen == kEntryStart || chosen == kEntryCredits) {
      if (chosen == kEntryStart) {
        RunLevelSelection(game);
      } else {
        RunCredits(game);  // drains the key buffer on its way out
      }
      plat::SetScreenName("menu");
      drawn = DrawFrameView(view, game.video, drawn);
    }
    HearFrame(game, "menu");
    plat::Present();
    plat::SleepMs(1);
  }
}
