// One line of JSON with the game state, for the headless runner's `dump`.
#pragma once

#include <string>

struct Game;

// frame: frames presented; time: the clock in seconds; screen: its name.
std::string DumpGameState(const Game& game, long long frame, double time,
                          const std::string& screen);
