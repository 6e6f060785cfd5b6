// Watching and proving replays: a recorded session played again through the
// session itself, paced for watching or as fast as it goes for checking,
// and what it did judged against its record. Stores nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "replay/replay_file.h"
#include "session/session.h"

struct Game;

// Plays the replay through the level's session on the given screen: paced
// at its recorded speed for watching, as fast as it goes for checking. With
// holdEnd the run's last picture (its result) stays until a key is pressed.
void PlayReplay(Game& game, const Replay& replay, bool paced, const PlayScreen& screen,
                bool holdEnd = false);
// After PlayReplay: whether the session did exactly what was recorded. The
// text is "verified: Rennen 12.34567 s, 823 frames (...)" or
// "mismatch at frame N: ...".
bool JudgeReplay(const Game& game, const Replay& replay, std::string& text);

// What proving one file found: its line's text after "NAME: ".
struct VerifiedRun {
  enum Status { kVerified, kRefused, kMismatch } status = kRefused;
  std::string name;
  std::string text;  // "verified: ...", "refused: ..." or "mismatch at frame N: ..."
};
// Called for each file as it is proven; the replay when it could be read.
using VerifyReport = std::function<void(const VerifiedRun& run, const Replay* replay)>;
// Proves each replay file from the state a fresh game has in its menu,
// stepping its sessions without drawing or hearing; returns how many did not
// verify. names are what the report calls the files (default: the paths).
int VerifyReplayFiles(Game& game, const std::vector<std::string>& names,
                      const std::vector<std::string>& files, const VerifyReport& report);
