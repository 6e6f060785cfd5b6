// The program driver: start-up, intro, menu loop.
#pragma once

#include <string>
#include <vector>

#include "game/game.h"

// What the command line may change for one run.
struct LaunchOptions {
  int fullscreen = -1;     // -1 as the settings say, 0 a window, 1 full screen
  std::string replayFile;  // watch this replay instead of playing
  bool replayHoldsEnd = true;  // ... and keep its result on screen until a key
  // Check these replays by re-running them (no intro, no menu, no sound) on
  // a screen of verifyWidth x verifyHeight pixels, one line each on
  // standard output.
  std::vector<std::string> verifyFiles;
  std::vector<std::string> verifyNames;  // as the lines name them
  int verifyWidth = 160, verifyHeight = 100;
  // Edit this level instead of playing (a file, a level name or a new
  // name); the program ends when the editor is left.
  std::string editFile;
};

// Exit code when no data folder holds the game's pictures.
constexpr int kNoDataExitCode = 1;

// Exit codes of a verification: every file verified, or not.
constexpr int kVerifiedExitCode = 0;
constexpr int kNotVerifiedExitCode = 1;

// The whole program: start-up, intro, menu loop. Returns the exit code.
int RunGame(Game& game, const LaunchOptions& launch = LaunchOptions());
