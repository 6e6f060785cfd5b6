// Replays of sessions and the ghost of the best run: recording while a level
// is played, the files they go to, and the checkpoints a replayed session is
// compared with. Watching and proving a replay (session/watch.h) sit above
// the session that plays it.
#pragma once

#include <string>
#include <vector>

#include "replay/replay_file.h"

struct Game;

inline const char* const kLastReplayPath = "Res/Replays/last.zrp";
// "Res/Replays/<level file>.best.zrp": the run behind the level's record.
std::string BestReplayPath(const std::string& levelFile);
bool HasBestReplay(const std::string& levelFile);

// Reads and checks a replay file: a whole replay of this format and
// simulation, whose level file is there with the bytes it was played on.
// False with the reason otherwise.
bool LoadReplay(const std::string& path, Replay& replay, std::string& why);
// LoadReplay's reason as the player reads it, in German.
std::string ReplayReasonInGerman(const std::string& why);

// At the level's start, right before its first clock reading: recording
// begins (or, watching, the replay takes over the readings); the ghost of
// the level's best run is loaded for a race when "Ghost" is "Enabled".
// True when the replay watched is a run after a restart: its start state is
// in place, and the level's own start is to be skipped.
bool BeginSessionReplay(Game& game);
// After the present of a frame in which the level was restarted: each run is
// recorded on its own, so the recording starts afresh here, with the state
// the restart left behind.
void StartNextRunReplay(Game& game);
// After every presented session frame's drawing, before the present: ball
// 1's checkpoint is recorded (or compared), and a run that ended in this
// frame is written to last.zrp, and to its best replay when it set a record.
void ReplayFrame(Game& game);
// At the session's end: recording stops, the ghost goes.
void EndSessionReplay(Game& game);
// The ghost at the player's elapsed play time (ghostShown, ghostX, ghostY):
// the best run's, hidden by G; with the world record's run of the level
// (game.records.ghost), G cycles own best -> world record -> none.
void StepGhost(Game& game);
// The ghost picked after a G press: 0 own best, 1 world record, 2 none
// (own best is left out when there is none).
int NextGhostPick(int pick, bool haveOwnBest);

// The checkpoints of a track's last run (a restart starts the play time at
// zero again).
std::vector<Checkpoint> LastRunOf(const std::vector<Checkpoint>& track);
// Where the ghost is after elapsed seconds: the last checkpoint not later
// than that, the first before it starts, the last after its run ended.
Checkpoint GhostAt(const std::vector<Checkpoint>& ghost, double elapsed);
