// The main menu: three entries over a live scene of balls dropping onto the
// menu map. The menu loop is the program's main loop; the level selection
// (and play behind it) and the credits run inside one of its frames.
#include "frontend/menu.h"

#include <algorithm>
#include <cmath>

#include "frontend/credits.h"
#include "frontend/level_select.h"
#include "game/frame_view.h"
#include "game/game.h"
#include "platform/platform.h"
#include "render/frame_draw.h"
#include "sim/balls.h"
#include "sound/sound.h"

namespace {

constexpr int kEntryStart = 2;    // "Spiel starten"
constexpr int kEntryCredits = 1;  // "Entwickler"
constexpr int kEntryQuit = 0;     // "Beenden"

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

}  // namespace

MenuInput ReadMenuInput() {
  MenuInput in;
  plat::SetPointerVisible(true);
  in.pointer = plat::ReadPointer();
  in.ballClock = plat::Timer();
  in.rulesClock = plat::Timer();
  return in;
}

int StepMenuFrame(Game& game, const MenuInput& in, FrameView& view, FrameHits& hits) {
  MenuState& menu = game.menu;
  menu.MenuSelection = MoveMenuCursor(menu.MenuSelection, game.frame.LastKey);
  TrackPointerButtons(menu, in.pointer.buttons);
  PointerToWorld(game.video, in.pointer.x, in.pointer.y, menu.PointerWorldX, menu.PointerWorldY);
  menu.MenuSelection =
      SelectionFromPointer(menu.MenuSelection, menu.PointerWorldX, menu.PointerWorldY);
  view.Op(ViewOp::kTitleImage);
  hits = StepBalls(game.sim, game.map, game.frame.FrameTime, in.ballClock);
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
    PlayEvents heard;
    const int chosen = StepMenuFrame(game, input, view, heard.hits);
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
    HearFrame(game, "menu", &heard);
    plat::Present();
    plat::SleepMs(1);
  }
}
