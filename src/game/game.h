// The program-wide state: one plain struct per subsystem, gathered here,
// and the frame helpers every screen shares. Screens take the whole Game;
// the rules and physics take only their parts.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "game/frontend_state.h"
#include "game/records_state.h"
#include "game/session_state.h"
#include "game/settings.h"
#include "game/sound_state.h"
#include "game/video_state.h"
#include "replay/replay_file.h"
#include "sim/sim_state.h"
#include "world/map.h"

struct FrameState {
  std::string LastKey;     // the key string of this frame's poll
  double FrameTime = 0.0;  // seconds since the previous frame
  double LastFrameStamp = 0.0;
  double MenuStartTime = 0.0;
};

// Replays: the session being recorded or replayed, and the ghost.
struct ReplayState {
  bool watching = false;  // a replay plays: nothing is stored or recorded
  bool paced = false;
  bool quiet = false;             // proving without a screen: see plat::TapReplay
  bool holdEnd = false;           // the run's end stays on screen until a key (zirpel --replay)
  Replay playing;                 // watching: the replay; recording: the header so far
  std::vector<Checkpoint> track;  // recording: ball 1 after every frame
  bool runEnded = false;          // the current run's end was seen
  bool restarted = false;         // the level was restarted in this frame
  // What a replayed session did.
  std::vector<double> frameTimes;  // seconds
  bool resultSeen = false;
  bool won = false;
  float time = 0.0f;
  long long resultFrame = -1;
  std::string trackMismatch;  // the first checkpoint that disagreed
  long long trackMismatchFrame = -1;
  // The ghost: the best run's track, from its last start on.
  std::vector<Checkpoint> ghost;
  bool ghostShown = false;  // drawn in this frame, at ghostX, ghostY
  float ghostX = 0.0f, ghostY = 0.0f;
  // With a world record's run (WorldRecordsState::ghost) the ghost shown is
  // picked by G: 0 own best, 1 world record, 2 none. Each change of
  // GhostHidden is one G press.
  int ghostPick = 0;
  std::uint8_t ghostHiddenSeen = 0;
  bool ghostIsWorld = false;  // the ghost drawn in this frame is the world record's
};

// The level editor, as the state dump reports it: filled by the editor's
// step while it runs.
struct EditorState {
  bool open = false;
  int objects = 0;                    // objects in the level being edited
  std::vector<std::string> findings;  // "LINE: error|warning: MESSAGE"
  bool proven = false;                // "geprueft": the author run proves the level as it is
  // The level selection: the level chosen with E, and the player's levels
  // checked so far in this run (true: the game reads it otherwise than
  // written; said once on standard error).
  std::string chosenLevel;
  std::map<std::string, bool> levelErrors;
};

// Test-play from the editor: the level plays as it is being edited, not as
// its file holds it, and stores no record, no last run and no best run; a
// finished race is stored as the level's author run instead.
struct TestPlayState {
  bool on = false;
  MapText map;                  // what the level's start and a restart load
  std::uint64_t levelHash = 0;  // of the bytes played: the file's once saved
  std::string authorRunPath;    // where a finished race's replay goes
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
  ReplayState replay;
  WorldRecordsState records;
  EditorState editor;
  TestPlayState testPlay;
  int exitCode = -1;  // >= 0 once the program is to end
};

// The program-wide state at its start values, as the game begins.
void InitGameState(Game& game);

// Polls one key string into LastKey.
void PollKeyInto(Game& game);
// Measures FrameTime against LastFrameStamp and takes a new stamp.
void MeasureFrameTime(Game& game);
// Sleeps 1 ms and polls until no key string is waiting.
void DrainKeys(Game& game);
