// The start of a run after a restart, for its replay: everything a restart
// leaves behind that the next run plays on (the ball and sphere tables, the
// map text, the sparks, the session's, HUD's and frame's fields), written
// at the end of the restart's frame and put back before the replay's first.
#pragma once

#include <string>

struct Game;

std::string EncodeRunStart(const Game& game);
// Puts the encoded state into game. False, with the reason, for bytes that
// are no whole run start; game is then left half-written.
bool DecodeRunStart(const std::string& bytes, Game& game, std::string& why);
// Whether game (as DecodeRunStart left it) is what a restart of levelFile
// leaves behind: ball 1 on the start, every level ball and the goal where
// the level puts them, at rest, the map text as the file has it, a fresh
// run's energy, burn and result, play time counted from no later than the
// run's first clock reading (firstClock). False, with the reason, otherwise.
bool RunStartIsLevelStart(const Game& game, const std::string& levelFile, double firstClock,
                          std::string& why);
