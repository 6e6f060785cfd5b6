// The level selection's part of the editor: the mark on a player's level
// that the game reads otherwise than its author wrote (said once on
// standard error), and E, which opens the highlighted level in the editor.
#pragma once

#include <string>

#include "game/frame_view.h"

struct Game;

// Whether the player's level has errors (a shipped level never counts):
// checked once a run, and the first error said then on standard error.
bool LevelHasErrors(Game& game, const std::string& levelFile);
// The mark after the level's name in its row (at height y), when it has
// errors.
void ShowLevelMark(Game& game, FrameView& view, const std::string& levelFile, float y);
// E on the highlighted level: it is chosen for the editor (true). Shows
// the hint for the key: left under the list, or above it when the list
// reaches the lower rows (tall).
bool StepEditChoice(Game& game, const std::string& levelFile, FrameView& view, bool tall);
// After a selection frame that chose: when it chose a level for the editor,
// the editor runs on it and the selection goes on as it was (true).
bool EditChosenLevel(Game& game);
