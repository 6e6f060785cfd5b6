// The level selection in the runner: a list longer than the screen scrolls
// to every level, and medals show only with the setting on.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/runner_harness.h"
#include "tooling.h"

namespace {

namespace fs = std::filesystem;

const std::string kSource = ZIRPEL_SOURCE_DIR;
const char* const kToSelection =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\n"
    "frames 2\n";

// Every shipped race level into the root's levels; returns how many.
int CopyRaceLevels(const e2e::ScratchRoot& root) {
  int levels = 0;
  for (const auto& e : fs::directory_iterator(kSource + "/res/maps")) {
    if (e.path().extension() != ".mapGame1") continue;
    root.Write("Res/maps/" + e.path().filename().string(), tooling::Slurp(e.path().string()));
    ++levels;
  }
  return levels;
}

TEST(LevelListE2e, TheLastLevelsAreReachedByCursorAndWheel) {
  e2e::ScratchRoot root(e2e::ScratchRoot::SmallSettings());
  const int levels = CopyRaceLevels(root);
  ASSERT_GE(levels, 25);
  std::string script =
      std::string(kToSelection) + "key UP\nframes 2\ndump " + root.File("d.json") + "\n";
  for (int i = 0; i < levels - 12; ++i) script += "key WHEELUP\nframes 1\n";
  script += "dump " + root.File("d.json") + "\nkey ENTER\nuntil session\ndump " +
            root.File("d.json") + "\n";
  const e2e::RunResult run = e2e::RunHeadless(root, script);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const std::vector<e2e::Dump> d = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(d.size(), 3u);
  // Up from the first row wraps to the last, which scrolls into view.
  EXPECT_EQ(e2e::Num(d[0], "HighlightedLevel"), levels);
  EXPECT_EQ(e2e::Num(d[0], "LevelListFirstRow"), levels - 12);
  // The wheel goes back up a row a notch, the view with it.
  EXPECT_EQ(e2e::Num(d[1], "HighlightedLevel"), 12);
  EXPECT_EQ(e2e::Num(d[1], "LevelListFirstRow"), 11);
  EXPECT_EQ(e2e::Str(d[2], "ChosenLevelFile").substr(0, 3), "12 ");
}

TEST(LevelListE2e, TheRunnersWheelMovesTheListARowANotchAtMostEight) {
  // The runner's wheel turns a window's wheel: the notches for the editor,
  // and one wheel key a notch, at most 8, for the level list.
  e2e::ScratchRoot root(e2e::ScratchRoot::SmallSettings());
  const int levels = CopyRaceLevels(root);
  const struct {
    const char* before;  // where the highlight starts
    int notches;
    int highlighted;  // rows from the first (1) or, when negative, from the last (0)
  } cases[] = {{"", -3, 4}, {"key UP\nframes 2\n", 2, -2}, {"key UP\nframes 2\n", 20, -8}};
  for (const auto& c : cases) {
    const e2e::RunResult run = e2e::RunHeadless(
        root, std::string(kToSelection) + c.before + "wheel " + std::to_string(c.notches) +
                  "\nframes 12\ndump " + root.File("w.json") + "\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::vector<e2e::Dump> d = e2e::ReadDumps(root.File("w.json"));
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(e2e::Num(d.back(), "HighlightedLevel"),
              c.highlighted > 0 ? c.highlighted : levels + c.highlighted)
        << c.notches;
  }
}

TEST(LevelListE2e, MedalsShowOnlyWhenEnabled) {
  const std::string level = "01 Erste Schritte.mapGame1";
  const struct {
    const char* what;
    bool authorAndRecord;
    const char* setting;
  } cases[] = {
      {"as before medals", false, ""},
      {"author run and record, setting missing", true, ""},
      {"setting on", true, "Medals=Enabled\r\n"},
  };
  std::vector<std::vector<unsigned char>> shots;
  for (const auto& c : cases) {
    e2e::ScratchRoot root(e2e::ScratchRoot::SmallSettings() + c.setting);
    root.Write("Res/maps/" + level, tooling::Slurp(kSource + "/res/maps/" + level));
    if (c.authorAndRecord) {
      root.Write("Res/maps/" + level + ".author.zrp",
                 tooling::Slurp(kSource + "/tests/data/replays/race01.zrp"));
      root.Write("Res/Leaderboard.dat", level + "\r\n4.9\r\n");
    }
    const e2e::RunResult run =
        e2e::RunHeadless(root, std::string(kToSelection) + "shot " + root.File("s.png") + "\n");
    ASSERT_EQ(run.exitCode, 0) << c.what << run.errors;
    int w = 0, h = 0;
    shots.emplace_back();
    ASSERT_TRUE(e2e::ReadShot(root.File("s.png"), w, h, shots.back())) << c.what;
  }
  EXPECT_TRUE(shots[0] == shots[1]) << "a missing setting must leave the selection as it was";
  EXPECT_FALSE(shots[0] == shots[2]);
  // 4.9 s against the author's run of under 4.7 s is gold: gold text shows.
  int gold = 0;
  for (std::size_t i = 0; i + 3 < shots[2].size(); i += 4) {
    const unsigned char* p = &shots[2][i];
    if (p[0] > 240 && p[1] > 195 && p[1] < 220 && p[2] > 35 && p[2] < 70) ++gold;
  }
  EXPECT_GT(gold, 0);
}

}  // namespace
