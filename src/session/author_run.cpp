#include "session/author_run.h"

#include <memory>

#include "game/game.h"
#include "platform/platform.h"
#include "session/watch.h"

std::string AuthorRunPath(const std::string& levelPath) {
  return levelPath + ".author.zrp";
}

AuthorRun ProveAuthorRun(const std::string& levelPath) {
  const std::string path = AuthorRunPath(levelPath);
  if (!plat::IsFile(path)) return AuthorRun();
  const std::size_t slash = levelPath.find_last_of('/');
  return ProveRunFile(path, slash == std::string::npos ? levelPath : levelPath.substr(slash + 1));
}

AuthorRun ProveRunFile(const std::string& path, const std::string& levelFile, Replay* proven) {
  AuthorRun result;
  if (!plat::IsFile(path)) return result;
  result.found = true;
  // A game of its own, as fresh as the verifier's.
  // Proving replays the run's random numbers: the caller's stream goes on
  // afterwards as if nothing had been proven.
  const std::string random = plat::RandomState();
  const auto scratch = std::make_unique<Game>();
  InitGameState(*scratch);
  VerifyReplayFiles(*scratch, {path}, {path}, [&](const VerifiedRun& run, const Replay* replay) {
    result.line = run.text;
    if (run.status != VerifiedRun::kVerified || !replay) return;
    if (replay->levelFile != levelFile) {
      result.line = "refused: the run is of another level (" + replay->levelFile + ")";
      return;
    }
    // A survival run has no goal to win: its proven time is how long it
    // lasted. A race counts only when it was won.
    if (replay->mode == 1 && !replay->won) {
      result.line = "refused: the run was not won";
      return;
    }
    result.proven = true;
    result.mode = replay->mode;
    result.time = replay->time;
    if (proven) *proven = *replay;
  });
  plat::SetRandomState(random);
  return result;
}
