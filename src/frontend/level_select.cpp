// Level selection screen and the start of a level.
#include "frontend/level_select.h"

#include <algorithm>
#include <cmath>

#include "frontend/level_marks.h"
#include "frontend/level_medals.h"
#include "frontend/level_records.h"
#include "frontend/level_scroll.h"
#include "frontend/menu_scene.h"
#include "frontend/play_screen.h"
#include "game/frame_view.h"
#include "game/game.h"
#include "mapfile/map_file.h"
#include "platform/platform.h"
#include "render/frame_draw.h"
#include "session/leaderboard.h"
#include "session/replays.h"
#include "session/session.h"
#include "session/watch.h"
#include "sound/sound.h"

namespace {

float RowBottom(int row) {
  return static_cast<float>(1.64 - row / 3.0);
}
float RowTop(int row) {
  return static_cast<float>(1.9 - row / 3.0);
}

void Box(FrameView& view, float x0, float x1, int row, float grey) {
  view.FlatBox(x0, x1, RowBottom(row), RowTop(row), grey);
}

void Label(FrameView& view, const std::string& text, float x, float y, float r, float g, float b) {
  view.Text(ViewOp::kTextOnPlane, text, x, y, r, g, b);
}

bool IsChoiceKey(const Game& game) {
  return game.frame.LastKey == plat::kKeyEnter || game.menu.ClickReleased == 1.0f;
}

// One selection frame's step, after its key poll and pointer reading;
// returns whether a choice was made (that frame is not shown).
bool StepSelectionFrame(Game& game, const plat::Pointer& ptr, FrameView& view) {
  LevelSelectState& sel = game.select;
  MenuState& menu = game.menu;
  const bool wasHeld = menu.LeftButtonHeld == 1.0f;
  TrackPointerButtons(menu, ptr.buttons);
  // A pointer resting over the list (the screen's centre lies on row 5)
  // must not undo the cursor keys every frame: it picks a row or a mode only
  // when it moves, or when its button goes down there.
  const bool pressed = !wasHeld && menu.LeftButtonHeld == 1.0f;
  const bool moved = sel.pointerSeen && (ptr.x != sel.pointerX || ptr.y != sel.pointerY);
  sel.pointerSeen = true;
  sel.pointerX = ptr.x;
  sel.pointerY = ptr.y;
  view.Clear();
  view.Op(ViewOp::kOpaqueBlend);

  for (int mode = 1; mode <= 2; ++mode) {
    Box(view, -2.2f, -0.8f, mode, mode == sel.SelectedMode ? 0.4f : 0.15f);
  }
  // The level boxes test the pointer of the previous frame: it is converted
  // only after them (and so is its motion).
  {
    const bool follow = sel.pointerMovedBefore || pressed;
    const std::vector<std::string> files = ListLevels(sel.SelectedMode);
    const int rows = files.empty() ? 1 : static_cast<int>(files.size());
    const int first =
        ScrollLevelList(sel, game.frame.LastKey, moved,
                        PointedScreenRow(InsideLevelBox, menu.PointerWorldX, menu.PointerWorldY),
                        rows, plat::UntappedTimer());
    for (int i = first + 1; i <= std::min(rows, first + VisibleLevelRows()); ++i) {
      Box(view, -0.5f, 1.6f, i - first, i == sel.HighlightedLevel ? 0.4f : 0.15f);
      if (follow && InsideLevelBox(i - first, menu.PointerWorldX, menu.PointerWorldY)) {
        sel.HighlightedLevel = i;
      }
    }
  }
  PointerToWorld(game.video, ptr.x, ptr.y, menu.PointerWorldX, menu.PointerWorldY);
  const int pointed = ModeAt(menu.PointerWorldX, menu.PointerWorldY);
  if ((moved || pressed) && pointed != 0) {
    sel.SelectedMode = pointed;
  } else if (game.frame.LastKey == plat::kKeyLeft || game.frame.LastKey == plat::kKeyRight) {
    sel.SelectedMode = sel.SelectedMode == 1 ? 2 : 1;  // the other mode, as pointing at it
  }
  sel.pointerMovedBefore = moved;

  Label(view, sel.SelectedMode == 1 ? "vorhandene Level (Rennen)" : "vorhandene Level (Ueberleben)",
        -0.4f, 1.7f, 1.0f, 1.0f, 1.0f);
  Label(view, "Spielmodi", -2.0f, 1.7f, 1.0f, 1.0f, 1.0f);
  Label(view, "Rennen", -2.0f, static_cast<float>(1.7 - 1.0 / 3.0), 1.0f, 1.0f, 1.0f);
  Label(view, "Ueberleben", -2.0f, static_cast<float>(1.7 - 2.0 / 3.0), 1.0f, 1.0f, 1.0f);

  std::vector<std::string> files = ListLevels(sel.SelectedMode);
  if (files.empty()) files.emplace_back();  // one empty row
  const int rows = static_cast<int>(files.size());
  for (int i = 1; i <= rows; ++i) {
    const std::string& file = files[static_cast<std::size_t>(i - 1)];
    const bool held = i == sel.HighlightedLevel && menu.LeftButtonHeld == 1.0f;
    const int onScreen = ScreenRow(i, sel.firstRow, VisibleLevelRows());
    if (onScreen != 0)
      Label(view, DisplayName(file), -0.4f, static_cast<float>(1.7 - onScreen / 3.0), 1.0f,
            held ? 0.0f : 1.0f, held ? 0.0f : 1.0f);
    if (onScreen != 0) ShowLevelMark(game, view, file, static_cast<float>(1.7 - onScreen / 3.0));
    ShowLevelMedal(game, view, file, onScreen);
    if (i == sel.HighlightedLevel && IsChoiceKey(game)) sel.ChosenLevelFile = file;
  }
  ShowMedalCount(game, view, sel.firstRow, files);
  // A list down to its tenth row would run into the lines left under it:
  // then the hints go above the list and the world record into the column.
  const bool tall = std::min(rows, VisibleLevelRows()) >= 10;

  // The highlighted level's best run, when there is one, can be watched
  // (the letter W, wherever the player's layout puts it, or the pad's X).
  const std::size_t shown = static_cast<std::size_t>(sel.HighlightedLevel - 1);
  ShowWorldRecord(game, view, shown < files.size() ? files[shown] : std::string(), tall);
  if (shown < files.size() && HasBestReplay(files[shown])) {
    Label(view, "W (Pad: X): beste Fahrt ansehen", -2.0f, tall ? 2.1f : -1.75f, 0.8f, 0.8f, 1.0f);
    const std::string& key = game.frame.LastKey;
    if (key == "w" || key == "W" || key == plat::kKeyPadX) {
      sel.ChosenLevelFile = files[shown];
      sel.watchChosen = true;
      view.PopView();
      return true;
    }
  }

  if (shown < files.size() && !files[shown].empty() &&
      StepEditChoice(game, files[shown], view, tall)) {
    view.PopView();
    return true;
  }

  // Cursor up and down move the highlighted row (with wrap-around).
  if (game.frame.LastKey == plat::kKeyUp) {
    sel.HighlightedLevel = WrapRow(sel.HighlightedLevel, -1, rows);
    sel.KeyboardCursor = sel.HighlightedLevel;
  } else if (game.frame.LastKey == plat::kKeyDown) {
    sel.HighlightedLevel = WrapRow(sel.HighlightedLevel, +1, rows);
    sel.KeyboardCursor = sel.HighlightedLevel;
  }

  view.PopView();
  return IsChoiceKey(game);
}

// One frame of the selection; returns whether a choice was made.
bool SelectionFrame(Game& game, FrameView& view) {
  view.Reset();
  view.PushView();
  PollKeyInto(game);
  const plat::Pointer ptr = plat::ReadPointer();
  const bool chosen = StepSelectionFrame(game, ptr, view);
  DrawFrameView(view, game.video);
  if (chosen) return true;
  HearFrame(game, "levelselect");
  plat::Present();
  plat::SleepMs(10);
  return false;
}

}  // namespace

bool InsideLevelBox(int row, float x, float y) {
  return y > RowBottom(row) && y < RowTop(row) && x > -0.5f && x < 1.6f;
}

int ModeAt(float x, float y) {
  if (!(x > -2.2f && x < -0.8f)) return 0;
  if (y > RowBottom(1) && y < RowTop(1)) return 1;
  if (y > RowBottom(2) && y < RowTop(2)) return 2;
  return 0;
}

int WrapRow(int row, int delta, int rows) {
  if (rows < 1) rows = 1;
  row += delta;
  if (row < 1) row = rows;
  if (row > rows) row = 1;
  return row;
}

std::vector<std::string> ListLevels(int mode) {
  return plat::ListFiles(mode == 2 ? "Res/maps/*.mapGame2" : "Res/maps/*.mapGame1");
}

std::string DisplayName(const std::string& fileName) {
  return fileName.size() >= 9 ? fileName.substr(0, fileName.size() - 9) : std::string();
}

void RunLevelSelection(Game& game) {
  LevelSelectState& sel = game.select;
  game.sim.BallCount = 1;
  sel.SelectedMode = 1;
  sel.HighlightedLevel = 1;
  sel.KeyboardCursor = 1;
  sel.ChosenLevelFile.clear();
  sel.pointerSeen = false;
  sel.pointerMovedBefore = false;
  sel.watchChosen = false;
  sel.firstRow = 0;
  sel.pointerDriving = false;
  sel.edgeScrollAt = 0.0;
  AskWorldRecords();
  FrameView view;
  for (;;) {
    plat::SetScreenName("levelselect");
    if (!SelectionFrame(game, view)) continue;
    if (EditChosenLevel(game)) continue;
    if (!sel.watchChosen) break;
    sel.watchChosen = false;
    Replay best;
    std::string why;
    if (LoadReplay(BestReplayPath(sel.ChosenLevelFile), best, why)) {
      PlayReplay(game, best, true, WindowPlayScreen());
    } else {
      plat::ConsoleWarning("Die beste Fahrt von " + sel.ChosenLevelFile +
                           " laesst sich nicht abspielen: " + ReplayReasonInGerman(why) + ".");
    }
    // Back to the selection as it was left.
    game.sim.BallCount = 1;
    plat::SetPointerVisible(true);
    sel.ChosenLevelFile.clear();
    sel.pointerSeen = false;
    DrainKeys(game);
  }
  ChooseWorldGhost(game);
  StartLevel(game, WindowPlayScreen());
}
