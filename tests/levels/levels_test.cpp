// The game's own levels: every race level is won and every survival level
// outlasts 20 seconds, played by its script through the headless runner from
// the main menu on (after half a minute there, and starting clean); and every
// level file has the objects a level needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "e2e/runner_harness.h"
#include "mapfile/map_file.h"
#include "session/hud.h"
#include "tooling.h"
#include "world/map.h"

namespace {

namespace fs = std::filesystem;

const std::string kSource = ZIRPEL_SOURCE_DIR;

std::string Slurp(const fs::path& path) {
  return tooling::Slurp(path.string());
}

std::vector<std::string> LevelFiles(const std::string& extension) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(kSource + "/res/maps")) {
    if (e.path().extension() == extension) names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Scripts() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(kSource + "/tests/levels")) {
    if (e.path().extension() == ".txt") names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// "# level: NAME" on the first line names the level a script plays.
std::string ScriptLevel(const std::string& script) {
  const std::string tag = "# level: ";
  const std::string first = script.substr(0, script.find('\n'));
  return first.rfind(tag, 0) == 0 ? first.substr(tag.size()) : std::string();
}

struct Played {
  e2e::RunResult run;
  e2e::Dump menu;   // after the time in the menu
  e2e::Dump start;  // the level's first frame
  e2e::Dump last;
  std::string board;
  std::string bestReplay, lastReplay;  // host paths
  e2e::RunResult verify;               // --verify of both
  e2e::RunResult verifyBare;           // zirpel-verify of both
};

// Plays one script with its level alone in the scratch tree.
Played Play(const std::string& scriptName) {
  const std::string script = Slurp(kSource + "/tests/levels/" + scriptName);
  const std::string level = ScriptLevel(script);
  // A small window: the scripts point at the mode boxes of a 320x200 screen.
  e2e::ScratchRoot root(e2e::ScratchRoot::SmallSettings(
      "Menu_DroppBalls=Enabled\r\nParticle=Enabled\r\nParticleNumber=35\r\n"));
  root.Write("Res/maps/" + level, Slurp(kSource + "/res/maps/" + level));
  // The script's dump files go to the scratch tree.
  std::string text = script;
  for (const char* name : {"menu.json", "start.json", "result.json"}) {
    const std::string dump = std::string("dump ") + name;
    const size_t at = text.find(dump);
    if (at != std::string::npos) text.replace(at, dump.size(), "dump " + root.File(name));
  }
  Played p;
  p.run = e2e::RunHeadless(root, text);
  const auto last = [&](const char* name) {
    const std::vector<e2e::Dump> dumps = e2e::ReadDumps(root.File(name));
    return dumps.empty() ? e2e::Dump() : dumps.back();
  };
  p.menu = last("menu.json");
  p.start = last("start.json");
  p.last = last("result.json");
  p.board = root.Read("Res/Leaderboard.dat");
  p.bestReplay = root.File("Res/Replays/" + level + ".best.zrp");
  p.lastReplay = root.File("Res/Replays/last.zrp");
  p.verify = e2e::RunHeadlessArgs(root, {"--verify", p.bestReplay, p.lastReplay});
  p.verifyBare = e2e::RunProgram(
      root, {ZIRPEL_VERIFY_BIN, "--levels", root.File("Res/maps"), p.bestReplay, p.lastReplay});
  return p;
}

TEST(Levels, EnoughLevelsAndEachHasItsObjects) {
  const std::vector<std::string> race = LevelFiles(".mapGame1");
  const std::vector<std::string> survival = LevelFiles(".mapGame2");
  EXPECT_GE(race.size(), 8u);
  EXPECT_GE(survival.size(), 4u);
  std::vector<std::string> all = race;
  all.insert(all.end(), survival.begin(), survival.end());
  for (const std::string& name : all) {
    SCOPED_TRACE(name);
    // Names the player reads: a two-digit order prefix, plain ASCII.
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(name[0])) &&
                std::isdigit(static_cast<unsigned char>(name[1])));
    for (unsigned char c : name) EXPECT_LT(c, 0x80);
    MapText map;
    LoadMap(map, kSource + "/res/maps/" + name);
    EXPECT_EQ(map.Line(1), "BallPosition");
    int zooms = 0, goals = 0, texts = 0;
    for (int k = 1; k <= map.MapLineCount; ++k) {
      if (map.Line(k) == "Startgame.zoomin") ++zooms;
      if (map.Line(k) == "Goal.static" || map.Line(k) == "Goal.ragdoll") ++goals;
      if (map.Line(k) == "Output.text") ++texts;
    }
    EXPECT_EQ(zooms, 1);
    EXPECT_GE(texts, 1);  // every level gives a hint
    EXPECT_EQ(goals, name.ends_with(".mapGame1") ? 1 : 0);
  }
}

TEST(Levels, EveryLevelHasAScript) {
  std::set<std::string> played;
  for (const std::string& s : Scripts())
    played.insert(ScriptLevel(Slurp(kSource + "/tests/levels/" + s)));
  for (const char* ext : {".mapGame1", ".mapGame2"}) {
    for (const std::string& level : LevelFiles(ext)) EXPECT_TRUE(played.count(level)) << level;
  }
}

TEST(Levels, RoteGefahrLeavesThreeSecondsBeforeTheFirstDanger) {
  // Without any steering: no burning, no breaking, nothing lost in the first
  // 3 s of play (200 frames of 16 ms).
  const std::string level = "02 Rote Gefahr.mapGame2";
  e2e::ScratchRoot root(e2e::ScratchRoot::SmallSettings());
  root.Write("Res/maps/" + level, Slurp(kSource + "/res/maps/" + level));
  const e2e::RunResult run = e2e::RunHeadless(
      root,
      "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\n"
      "key RIGHT\nframes 2\nkey ENTER\nuntil session\nkey ENTER\nframes 1\ndump-every " +
          root.File("d.jsonl") + "\nframes 200\n");
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const std::vector<e2e::Dump> dumps = e2e::ReadDumps(root.File("d.jsonl"));
  ASSERT_EQ(dumps.size(), 200u);
  EXPECT_EQ(e2e::Str(dumps[0], "ChosenLevelFile"), level);
  EXPECT_GE(e2e::Num(dumps.back(), "time") - e2e::Num(dumps[0], "time"), 3.0);
  for (const e2e::Dump& d : dumps) {
    ASSERT_EQ(e2e::Str(d, "RedContact"), "false") << e2e::Num(d, "time");
    ASSERT_EQ(e2e::Num(d, "MapLineCount"), e2e::Num(dumps[0], "MapLineCount"));
    ASSERT_EQ(e2e::Num(d, "BreakEventPending"), 0.0);
    ASSERT_EQ(e2e::Num(d, "RunLost"), 0.0);
  }
}

// The simulation's fingerprint at each script's last dump, pinned: it moves
// only with a change that alters play on purpose, and that change updates it.
const std::map<std::string, std::string> kPinnedHashes = {
    {"race_01.txt", "69535862e0f8063f"},     {"race_02.txt", "c5692668cd0f39fd"},
    {"race_02_pad.txt", "c5692668cd0f39fd"}, {"race_03.txt", "969038505595ba3e"},
    {"race_04.txt", "44f94bc5d2aa4f3a"},     {"race_05.txt", "860704a767bd168c"},
    {"race_06.txt", "554923666be0fc01"},     {"race_07.txt", "5722689a04db3352"},
    {"race_08.txt", "d1148369eee6c85c"},     {"race_09.txt", "318aabb83743d9b9"},
    {"survival_01.txt", "1085a9d6515a0391"}, {"survival_02.txt", "1427c273ecd29ef5"},
    {"survival_03.txt", "c3162f58b0b5552f"}, {"survival_04.txt", "5af844f3aa77725f"},
};

class LevelScript : public ::testing::TestWithParam<std::string> {};

TEST_P(LevelScript, IsBeatenAndStoresTheRecord) {
  const std::string scriptName = GetParam();
  const std::string level = ScriptLevel(Slurp(kSource + "/tests/levels/" + scriptName));
  ASSERT_FALSE(level.empty()) << scriptName;
  const Played p = Play(scriptName);
  ASSERT_EQ(p.run.exitCode, 0) << p.run.errors;
  ASSERT_FALSE(p.last.empty());
  // Half a minute in the menu left ball 1 burning there; the level starts
  // clean all the same.
  ASSERT_FALSE(p.menu.empty());
  ASSERT_FALSE(p.start.empty());
  EXPECT_EQ(e2e::Str(p.menu, "RedContact"), "true");
  EXPECT_EQ(e2e::Str(p.start, "RedContact"), "false");
  EXPECT_EQ(e2e::Num(p.start, "BurnTime"), 0.0);
  EXPECT_EQ(e2e::Num(p.start, "ParticleCount"), 0.0);
  EXPECT_EQ(e2e::Num(p.start, "BreakEventPending"), 0.0);
  EXPECT_EQ(e2e::Str(p.last, "ChosenLevelFile"), level);
  EXPECT_EQ(e2e::Num(p.last, "RecordStored"), 1.0);
  if (level.ends_with(".mapGame1")) {
    EXPECT_EQ(e2e::Num(p.last, "GameMode"), 1.0);
    EXPECT_EQ(e2e::Num(p.last, "GoalReached"), 1.0);
  } else {
    EXPECT_EQ(e2e::Num(p.last, "GameMode"), 2.0);
    EXPECT_EQ(e2e::Num(p.last, "SurvivalEnded"), 1.0);
    EXPECT_GE(ParseNumber(e2e::Str(p.last, "SurvivalTimeText")), 20.0);
  }
  // The scratch leaderboard gained the level's record.
  EXPECT_EQ(p.board.rfind(level + "\r\n", 0), 0u) << p.board;
  EXPECT_NEAR(ParseNumber(p.board.substr(level.size() + 2)), e2e::Num(p.last, "BestTime"), 1e-3);
  // The record's run, and the last run, re-run to the same result: the best
  // replay with exactly the time the leaderboard stored.
  const std::string stored =
      p.board.substr(level.size() + 2, p.board.find('\r', level.size() + 2) - level.size() - 2);
  const std::string mode = level.ends_with(".mapGame1") ? "Rennen" : "Ueberleben";
  EXPECT_EQ(p.verify.exitCode, 0) << p.verify.output << p.verify.errors;
  // The verifier without a screen proves the same runs to the same lines.
  EXPECT_EQ(p.verifyBare.exitCode, 0) << p.verifyBare.errors;
  EXPECT_EQ(p.verifyBare.output, p.verify.output);
  EXPECT_EQ(p.verify.output.rfind(p.bestReplay + ": verified: " + mode + " " + stored + " s, ", 0),
            0u)
      << p.verify.output;
  EXPECT_NE(p.verify.output.find("\n" + p.lastReplay + ": verified: " + mode + " "),
            std::string::npos)
      << p.verify.output;
  const auto pinned = kPinnedHashes.find(scriptName);
  ASSERT_NE(pinned, kPinnedHashes.end()) << "no pinned hash for " << scriptName;
  EXPECT_EQ(e2e::Str(p.last, "SimHash"), pinned->second) << scriptName;
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelScript, ::testing::ValuesIn(Scripts()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param.substr(0, info.param.size() - 4);
                         });

}  // namespace
