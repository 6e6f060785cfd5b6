// A level's author run: a replay stored beside the level file, named
// "<level file>.author.zrp", that proves the level can be done and in what
// time. It is proven like any replay, so it stops counting the moment the
// level file changes.
#pragma once

#include <cstdint>
#include <string>

#include "replay/replay_file.h"

// "Res/maps/07 Kante.mapGame1" -> "Res/maps/07 Kante.mapGame1.author.zrp".
std::string AuthorRunPath(const std::string& levelPath);

struct AuthorRun {
  bool found = false;   // a file is there
  bool proven = false;  // it verified against the level as it is now, and won
  std::uint8_t mode = 1;
  float time = 0.0f;  // the proven time, as the leaderboard stores it
  std::string line;   // the proof's line: "verified: ...", "refused: ..." or "mismatch ..."
};

// Proves the author run beside levelPath (a path under the levels folder, as
// the level list gives them) in a game of its own: the caller's game is not
// touched. A run counts only when it verifies, names this level and was won
// (a race finished; a survival run counts for the time it lasted).
AuthorRun ProveAuthorRun(const std::string& levelPath);
// The same proof for any replay file that is to be a won run of levelFile
// (a world record's run, say); the proven replay goes to proven when given.
AuthorRun ProveRunFile(const std::string& path, const std::string& levelFile,
                       Replay* proven = nullptr);
