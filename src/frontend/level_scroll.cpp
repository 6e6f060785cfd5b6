#include "frontend/level_scroll.h"

#include <algorithm>
#include <cmath>

#include "game/frontend_state.h"
#include "platform/platform.h"

namespace {

constexpr double kEdgeScrollSeconds = 0.2;

}  // namespace

int VisibleLevelRows() {
  const double lowest = -6.0 * std::tan(22.5 * 3.14159265358979323846 / 180.0);
  // The lowest row whose box is whole on the screen.
  return static_cast<int>(std::floor((1.64 - lowest) * 3.0));
}

int ScrollToShow(int first, int highlighted, int rows, int visible) {
  if (highlighted > 0 && highlighted <= rows) {
    if (highlighted <= first) first = highlighted - 1;
    if (highlighted > first + visible) first = highlighted - visible;
  }
  return std::clamp(first, 0, std::max(0, rows - visible));
}

int ScreenRow(int row, int first, int visible) {
  return row > first && row <= first + visible ? row - first : 0;
}

int PointedScreenRow(bool (*insideBox)(int, float, float), float x, float y) {
  const int visible = VisibleLevelRows();
  for (int row = 1; row <= visible; ++row) {
    if (insideBox(row, x, y)) return row;
  }
  return 0;
}

int ScrollLevelList(LevelSelectState& sel, const std::string& key, bool pointerMoved,
                    int screenRowPointed, int rows, double now) {
  const int visible = VisibleLevelRows();
  if (key == plat::kKeyWheelUp || key == plat::kKeyWheelDown) {
    const int step = key == plat::kKeyWheelUp ? -1 : 1;
    sel.HighlightedLevel = std::clamp(sel.HighlightedLevel + step, 1, std::max(1, rows));
    sel.KeyboardCursor = sel.HighlightedLevel;
    sel.pointerDriving = false;
  } else if (key == plat::kKeyUp || key == plat::kKeyDown) {
    sel.pointerDriving = false;
  }
  if (pointerMoved) sel.pointerDriving = true;
  const bool atTop = screenRowPointed == 1 && sel.firstRow > 0;
  const bool atBottom = screenRowPointed == visible && sel.firstRow + visible < rows;
  if (sel.pointerDriving && (atTop || atBottom)) {
    if (sel.edgeScrollAt == 0.0) {
      sel.edgeScrollAt = now + kEdgeScrollSeconds;
    } else if (now >= sel.edgeScrollAt) {
      sel.firstRow += atTop ? -1 : 1;
      sel.HighlightedLevel = sel.firstRow + screenRowPointed;
      sel.edgeScrollAt = now + kEdgeScrollSeconds;
    }
  } else {
    sel.edgeScrollAt = 0.0;
  }
  sel.firstRow = ScrollToShow(sel.firstRow, sel.HighlightedLevel, rows, visible);
  return sel.firstRow;
}

std::string LevelListRange(int first, int rows) {
  const int visible = VisibleLevelRows();
  if (rows <= visible) return std::string();
  return "Level " + std::to_string(first + 1) + " bis " +
         std::to_string(std::min(rows, first + visible)) + " von " + std::to_string(rows);
}
