// The program driver: start-up, intro, menu loop.
//
// Depends on: game, frontend (menu), session (menu scene, leaderboard), sound
// (start-up), render, platform.
#pragma once

#include "game/game.h"

// What the command line may change for one run.
struct LaunchOptions {
  int fullscreen = -1;  // -1 as the settings say, 0 a window, 1 full screen
};

// Exit code when no data folder holds the game's pictures.
constexpr int kNoDataExitCode = 1;

// The whole program: start-up, intro, menu loop. Returns the exit code.
int RunGame(Game& game, const LaunchOptions& launch = LaunchOptions());
