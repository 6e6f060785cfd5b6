// Medals: a player's best time on a level measured against the level's
// author time, the time its author run proves. A race earns gold within 10 %
// of the author time (or faster), silver within 30 %, bronze within 60 %; a
// survival level gold at 90 % of the author time or longer, silver at 70 %,
// bronze at 40 %.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "game/session_state.h"
#include "session/author_run.h"

enum class Medal { kNone, kBronze, kSilver, kGold };

// mode 1 race, 2 survival; best as the leaderboard holds it (under one
// second is no record yet), author the proven author time (0: none).
Medal MedalFor(std::uint8_t mode, float best, float author);
// "Gold", "Silber", "Bronze", "" for none.
const char* MedalName(Medal medal);

struct LevelMedal {
  bool proven = false;  // the author run beside the level proves it
  float author = 0.0f;  // its time
  float best = 0.0f;    // the player's, 0 without a record
  Medal medal = Medal::kNone;
};

// Author runs proven once per content: a level is proven again only when the
// bytes of its file or of its author run change.
class AuthorTimes {
 public:
  // levelPath as the level list gives it ("Res/maps/" + file).
  const AuthorRun& Proven(const std::string& levelPath);

 private:
  struct Entry;
  std::map<std::string, std::shared_ptr<Entry>> entries_;
};

// The medal of one level file (a name of the level list) of this mode.
LevelMedal MedalOfLevel(AuthorTimes& times, const Leaderboard& board, const std::string& levelFile,
                        std::uint8_t mode);
