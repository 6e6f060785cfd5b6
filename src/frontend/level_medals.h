// What the level selection shows of medals, with the setting "Medals"
// enabled: beside each level its medal and author time, and below the modes
// the medals won over all levels of both modes.
#pragma once

#include <string>
#include <vector>

struct Game;
struct FrameView;

// Beside the level on screen row screenRow (1-based, 0: not shown).
void ShowLevelMedal(Game& game, FrameView& view, const std::string& levelFile, int screenRow);
// "Level 3 bis 14 von 25" while the list of files scrolls (with or without
// medals), and the medals won over all levels; the author time's column
// heading when a level of the list has a proven author run.
void ShowMedalCount(Game& game, FrameView& view, int firstRow,
                    const std::vector<std::string>& files);
