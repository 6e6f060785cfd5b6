// The level list's scrolling: how many rows show, the view following the
// highlighted row, the wheel and the pointer resting on the view's edge.
#include "frontend/level_scroll.h"

#include <gtest/gtest.h>

#include "frontend/level_select.h"
#include "game/frontend_state.h"
#include "platform/platform.h"

namespace {

TEST(LevelScroll, TwelveRowsShowAndTheViewFollowsTheHighlight) {
  // Row 12's box is whole above the screen's lower edge, row 13's is not.
  ASSERT_EQ(VisibleLevelRows(), 12);
  const struct {
    int first, highlighted, rows, want;
  } cases[] = {
      {0, 1, 25, 0},   {0, 12, 25, 0}, {0, 13, 25, 1},   {5, 3, 25, 2},
      {0, 25, 25, 13}, {20, 5, 25, 4}, {13, 30, 25, 13},  // beyond the list: its end
      {3, 4, 4, 0},    {0, 12, 12, 0}, {9, 0, 25, 9},     // a list that fits never moves
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScrollToShow(c.first, c.highlighted, c.rows, 12), c.want)
        << c.first << " " << c.highlighted << " " << c.rows;
  }
  EXPECT_EQ(ScreenRow(14, 2, 12), 12);
  EXPECT_EQ(ScreenRow(15, 2, 12), 0);
  EXPECT_EQ(ScreenRow(2, 2, 12), 0);
  EXPECT_EQ(PointedScreenRow(InsideLevelBox, 0.0f, 1.4f), 1);
  EXPECT_EQ(PointedScreenRow(InsideLevelBox, 0.0f, -2.2f), 12);
  EXPECT_EQ(PointedScreenRow(InsideLevelBox, 2.0f, -2.2f), 0);
  EXPECT_EQ(LevelListRange(0, 12), "");
  EXPECT_EQ(LevelListRange(2, 25), "Level 3 bis 14 von 25");
}

TEST(LevelScroll, WheelAndPointerAtTheEdge) {
  // Frames of a 25-row list: key, pointer moved, screen row pointed, time;
  // then the highlighted row and the rows above the view.
  const struct {
    const char* what;
    std::string key;
    bool moved;
    int pointed;
    double now;
    int highlighted, first;
  } frames[] = {
      {"wheel up at the top stays", plat::kKeyWheelUp, false, 0, 0.0, 1, 0},
      {"wheel down", plat::kKeyWheelDown, false, 0, 0.1, 2, 0},
      {"pointer onto the last row", "", true, 12, 0.2, 2, 0},
      {"resting there, not yet", "", false, 12, 0.3, 2, 0},
      {"a fifth of a second later", "", false, 12, 0.41, 13, 1},
      {"and again", "", false, 12, 0.62, 14, 2},
      {"a cursor key takes over", plat::kKeyUp, false, 12, 0.9, 14, 2},
      {"the resting pointer no longer scrolls", "", false, 12, 1.5, 14, 2},
      {"pointer onto the first row", "", true, 1, 1.6, 14, 2},
      {"it scrolls up", "", false, 1, 1.81, 2, 1},
      {"up to the top", "", false, 1, 2.02, 1, 0},
      {"and no further", "", false, 1, 2.5, 1, 0},
  };
  LevelSelectState sel;
  for (const auto& f : frames) {
    const int first = ScrollLevelList(sel, f.key, f.moved, f.pointed, 25, f.now);
    EXPECT_EQ(sel.HighlightedLevel, f.highlighted) << f.what;
    EXPECT_EQ(first, f.first) << f.what;
    EXPECT_EQ(sel.firstRow, f.first) << f.what;
  }
  // The wheel never wraps: at the list's end it stays.
  sel.HighlightedLevel = 25;
  EXPECT_EQ(ScrollLevelList(sel, plat::kKeyWheelDown, false, 0, 25, 3.0), 13);
  EXPECT_EQ(sel.HighlightedLevel, 25);
}

}  // namespace
