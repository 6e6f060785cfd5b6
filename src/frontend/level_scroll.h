// The level list scrolls when it has more rows than the screen shows: the
// highlighted row is always in view; the cursor keys, the pointer's wheel
// and the pointer resting on the view's first or last row move through it.
// A list that fits never moves.
#pragma once

#include <string>

struct LevelSelectState;

// Rows of the list the screen shows at once: row i (1-based on screen) lies
// 1.64 - i/3 to 1.9 - i/3 up on the plane six units away, which the 45
// degree view shows down to 6 tan 22.5 degrees below the middle.
int VisibleLevelRows();

// The rows above the view, moved just as far as shows the highlighted row,
// and never past either end of the list.
int ScrollToShow(int first, int highlighted, int rows, int visible);

// The screen row (1-based) a list row lies on, 0 when it is not in view.
int ScreenRow(int row, int first, int visible);

// The screen row whose level box (insideBox: the selection's own test) holds
// the point, 0 for none.
int PointedScreenRow(bool (*insideBox)(int, float, float), float x, float y);

// One frame of the selection before its rows are drawn: the wheel moves the
// highlighted row (without wrapping), a pointer that moved onto the view's
// edge row and rests there scrolls one row every fifth of a second and
// highlights the row that comes under it, and the view follows the
// highlighted row. screenRowPointed: the screen row under the pointer (0:
// none); now: the timer in seconds. Returns the rows above the view.
int ScrollLevelList(LevelSelectState& sel, const std::string& key, bool pointerMoved,
                    int screenRowPointed, int rows, double now);

// "Level 3 bis 14 von 25" below the modes while the list does not fit;
// empty when it does.
std::string LevelListRange(int first, int rows);
