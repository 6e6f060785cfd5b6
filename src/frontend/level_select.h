// Level selection: the two modes on the left, the level files of the mode
// under choice on the right; choosing a level prepares and plays it.
#pragma once

#include <string>
#include <vector>

struct Game;

// Row i (1-based) of either column spans y from 1.64 - i/3 to 1.9 - i/3.
bool InsideLevelBox(int row, float x, float y);  // x strictly in (-0.5, 1.6)
// The mode box the point lies strictly inside: 1, 2, or 0 for neither.
int ModeAt(float x, float y);
// Moves a 1-based row by delta, wrapping below 1 to rows and above rows to 1.
int WrapRow(int row, int delta, int rows);
// The level files of a mode: "Res/maps/*.mapGame1" (1) or "*.mapGame2" (2).
std::vector<std::string> ListLevels(int mode);
// What the player reads: the file name without ".mapGame1"/".mapGame2".
std::string DisplayName(const std::string& fileName);

// Returns after the chosen level was played and the menu scene restored.
// W watches the highlighted level's best run and comes back here.
void RunLevelSelection(Game& game);
