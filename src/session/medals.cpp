#include "session/medals.h"

#include "platform/platform.h"
#include "session/leaderboard.h"

Medal MedalFor(std::uint8_t mode, float best, float author) {
  // Whole-number factors keep the edges exact: 11.0 s against 10.0 s is gold.
  const double b = best, a = author;
  if (!(a > 0.0) || !(b >= 1.0)) return Medal::kNone;
  if (mode == 2) {
    if (b * 10.0 >= a * 9.0) return Medal::kGold;
    if (b * 10.0 >= a * 7.0) return Medal::kSilver;
    if (b * 10.0 >= a * 4.0) return Medal::kBronze;
    return Medal::kNone;
  }
  if (b * 10.0 <= a * 11.0) return Medal::kGold;
  if (b * 10.0 <= a * 13.0) return Medal::kSilver;
  if (b * 10.0 <= a * 16.0) return Medal::kBronze;
  return Medal::kNone;
}

const char* MedalName(Medal medal) {
  switch (medal) {
    case Medal::kGold:
      return "Gold";
    case Medal::kSilver:
      return "Silber";
    case Medal::kBronze:
      return "Bronze";
    case Medal::kNone:
      break;
  }
  return "";
}

struct AuthorTimes::Entry {
  std::string levelBytes, runBytes;
  AuthorRun run;
};

namespace {

// Far beyond any level or replay the game writes.
constexpr std::size_t kMaxBytes = std::size_t{16} << 20;

std::string BytesOf(const std::string& path) {
  std::string bytes, why;
  if (!plat::ReadFileBytes(path, kMaxBytes, bytes, why)) bytes.clear();
  return bytes;
}

}  // namespace

const AuthorRun& AuthorTimes::Proven(const std::string& levelPath) {
  std::string level = BytesOf(levelPath);
  std::string run = BytesOf(AuthorRunPath(levelPath));
  std::shared_ptr<Entry>& entry = entries_[levelPath];
  if (!entry || entry->levelBytes != level || entry->runBytes != run) {
    entry = std::make_shared<Entry>();
    entry->levelBytes = std::move(level);
    entry->runBytes = std::move(run);
    entry->run = ProveAuthorRun(levelPath);
  }
  return entry->run;
}

LevelMedal MedalOfLevel(AuthorTimes& times, const Leaderboard& board, const std::string& levelFile,
                        std::uint8_t mode) {
  LevelMedal m;
  const AuthorRun& run = times.Proven("Res/maps/" + levelFile);
  m.proven = run.proven && run.mode == mode;
  m.author = m.proven ? run.time : 0.0f;
  m.best = LookUpBestTime(board, levelFile);
  m.medal = MedalFor(mode, m.best, m.author);
  return m;
}
