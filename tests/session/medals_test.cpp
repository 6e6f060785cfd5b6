// Medals: the thresholds of both modes at their edges, and author times that
// follow the bytes of the level and of its author run.
#include "session/medals.h"

#include <gtest/gtest.h>

#include "e2e/runner_harness.h"
#include "platform/platform.h"
#include "tooling.h"

namespace {

TEST(Medals, ThresholdsOfBothModes) {
  const struct {
    std::uint8_t mode;
    float best, author;
    Medal want;
  } cases[] = {
      // Race: gold up to 110 % of the author time, silver 130 %, bronze 160 %.
      {1, 8.0f, 10.0f, Medal::kGold},
      {1, 11.0f, 10.0f, Medal::kGold},
      {1, 11.01f, 10.0f, Medal::kSilver},
      {1, 13.0f, 10.0f, Medal::kSilver},
      {1, 13.01f, 10.0f, Medal::kBronze},
      {1, 16.0f, 10.0f, Medal::kBronze},
      {1, 16.01f, 10.0f, Medal::kNone},
      // Survival: gold from 90 % of the author time, silver 70 %, bronze 40 %.
      {2, 30.0f, 20.0f, Medal::kGold},
      {2, 18.0f, 20.0f, Medal::kGold},
      {2, 17.99f, 20.0f, Medal::kSilver},
      {2, 14.0f, 20.0f, Medal::kSilver},
      {2, 13.99f, 20.0f, Medal::kBronze},
      {2, 8.0f, 20.0f, Medal::kBronze},
      {2, 7.99f, 20.0f, Medal::kNone},
      // No record yet (the board's 0, or under a second), no author time.
      {1, 0.0f, 10.0f, Medal::kNone},
      {1, 0.5f, 0.6f, Medal::kNone},
      {2, 0.0f, 20.0f, Medal::kNone},
      {1, 5.0f, 0.0f, Medal::kNone},
      {2, 25.0f, 0.0f, Medal::kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MedalFor(c.mode, c.best, c.author), c.want)
        << "mode " << int(c.mode) << ", best " << c.best << ", author " << c.author;
  }
  EXPECT_STREQ(MedalName(Medal::kSilver), "Silber");
  EXPECT_STREQ(MedalName(Medal::kNone), "");
}

TEST(Medals, AuthorTimeFollowsTheBytesOfLevelAndRun) {
  const std::string source = ZIRPEL_SOURCE_DIR;
  const std::string name = "01 Erste Schritte.mapGame1";
  const std::string level = tooling::Slurp(source + "/res/maps/" + name);
  const std::string run = tooling::Slurp(source + "/tests/data/replays/race01.zrp");
  e2e::TempDir dir;
  plat::UseLevelsFolder(dir.path());
  Leaderboard board;
  board.lines = {"", name, "4.9"};
  board.LeaderboardLineCount = 2;
  AuthorTimes times;
  // Each step changes the files, then asks again with the same cache.
  const struct {
    const char* what;
    std::string levelBytes, runBytes;  // "" for no author run
    bool proven;
  } steps[] = {
      {"proven", level, run, true},          {"the level changed", level + "\r\n", run, false},
      {"changed back", level, run, true},    {"the run is gone", level, "", false},
      {"the run is back", level, run, true},
  };
  for (const auto& s : steps) {
    dir.Write(name, s.levelBytes);
    const std::string runPath = dir.File(name + ".author.zrp");
    if (s.runBytes.empty()) {
      std::remove(runPath.c_str());
    } else {
      dir.Write(name + ".author.zrp", s.runBytes);
    }
    const LevelMedal m = MedalOfLevel(times, board, name, 1);
    EXPECT_EQ(m.proven, s.proven) << s.what;
    EXPECT_FLOAT_EQ(m.best, 4.9f) << s.what;
    if (s.proven) {
      EXPECT_GT(m.author, 4.0f) << s.what;
      EXPECT_EQ(m.medal, MedalFor(1, 4.9f, m.author)) << s.what;
      EXPECT_NE(m.medal, Medal::kNone) << s.what;
    } else {
      EXPECT_EQ(m.medal, Medal::kNone) << s.what;
    }
    // The run proves a race: as a survival level it counts for nothing.
    EXPECT_FALSE(MedalOfLevel(times, board, name, 2).proven) << s.what;
  }
  plat::ForgetPlaces();
}

}  // namespace
