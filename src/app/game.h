// The program-wide state: one plain struct per subsystem, gathered here.
// Screens take the whole Game; the rules and physics take only their parts.
#pragma once

#include <string>

#include "app/settings.h"
#include "app/sound.h"
#include "app/video.h"
#include "frontend/frontend_state.h"
#include "session/session_state.h"
#include "sim/sim_state.h"
#include "world/map.h"

struct FrameState {
  std::string LastKey;     // the key string of this frame's poll
  double FrameTime = 0.0;  // seconds since the previous frame
  double LastFrameStamp = 0.0;
  double MenuStartTime = 0.0;
};

struct Game {
  SettingsStore settings;
  VideoState video;
  FrameState frame;
  MapText map;
  SimState sim;
  ParticleList particles;
  float GridCentreX = 0.0f, GridCentreY = 0.0f;
  MenuState menu;
  LevelSelectState select;
  CreditsState credits;
  SessionState session;
  Leaderboard board;
  HudState hud;
  SoundState sound;
  int exitCode = -1;  // >= 0 once the program is to end
};

// Initial values of the program-wide variables (start-up step 3).
void InitGameState(Game& game);

// Polls one key string into LastKey.
void PollKeyInto(Game& game);
// Measures FrameTime against LastFrameStamp and takes a new stamp.
void MeasureFrameTime(Game& game);
// Sleeps 1 ms and polls until no key string is waiting.
void DrainKeys(Game& game);

// What the command line may change for one run.
struct LaunchOptions {
  int fullscreen = -1;  // -1 as the settings say, 0 a window, 1 full screen
};

// Exit code when no data folder holds the game's pictures.
constexpr int kNoDataExitCode = 1;

// The whole program: start-up, intro, menu loop. Returns the exit code.
int RunGame(Game& game, const LaunchOptions& launch = LaunchOptions());
