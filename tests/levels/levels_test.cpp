// The game's own levels: every race level is won and every survival level
// outlasts 20 seconds, played by its script through the headless runner from
// the main menu on (after half a minute there, and starting clean); every
// level file has the objects a level needs; and no level is lost or burning
// in its first five seconds when the player does nothing.
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
#include "platform/platform.h"
#include "session/author_run.h"
#include "session/hud.h"
#include "sim/balls.h"
#include "sim/level_objects.h"
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
  EXPECT_GE(race.size(), 25u);
  EXPECT_GE(survival.size(), 12u);
  std::vector<std::string> all = race;
  all.insert(all.end(), survival.begin(), survival.end());
  for (const std::string& name : all) {
    SCOPED_TRACE(name);
    // Names the player reads: a two-digit order prefix, plain ASCII.
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(name[0])) &&
                std::isdigit(static_cast<unsigned char>(name[1])));
    for (unsigned char c : name) EXPECT_LT(c, 0x80);
    // The hints too: umlauts written out ("ue"), as in every text of the game.
    for (unsigned char c : Slurp(kSource + "/res/maps/" + name)) ASSERT_LT(c, 0x80) << name;
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

TEST(Levels, NoLevelIsLostOrBurningInItsFirstFiveSeconds) {
  // The simulation of play without input at frames of 1/60 s, from the
  // level's first play frame on (the spheres the start zoom drew in place).
  for (const char* ext : {".mapGame1", ".mapGame2"}) {
    for (const std::string& name : LevelFiles(ext)) {
      SCOPED_TRACE(name);
      MapText map;
      LoadMap(map, kSource + "/res/maps/" + name);
      SimState sim;
      sim.GameMode = name.ends_with(".mapGame2") ? PlayMode::kSurvival : PlayMode::kRace;
      sim.SceneMode = 0;
      for (Ball& b : sim.Balls) b.radius = kBallRadius;
      SetUpLevelObjects(sim, map);
      RefillStaticSpheres(sim, map);
      double now = 100.0;
      const double dt = 1.0 / 60.0;
      for (int frame = 1; frame <= 300; ++frame) {
        now += dt;
        StepBalls(sim, map, dt, now);
        RefillStaticSpheres(sim, map);
        ASSERT_FALSE(sim.RedContact) << "burning after " << frame << " frames";
        ASSERT_GE(sim.Balls[1].y, -25.0f) << "lost after " << frame << " frames";
      }
    }
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
    {"race_02_pad.txt", "c5692668cd0f39fd"}, {"race_03.txt", "e11888c5895c68d4"},
    {"race_04.txt", "44f94bc5d2aa4f3a"},     {"race_05.txt", "750fb7b3e382fd33"},
    {"race_06.txt", "93db30beb8805ab2"},     {"race_07.txt", "a7eed26a82efecd0"},
    {"race_08.txt", "3ae11e4c69d0b711"},     {"race_09.txt", "14ae3a038662c269"},
    {"race_10.txt", "5dce5ca6a6c4a1ac"},     {"race_11.txt", "ce923678af3b3e99"},
    {"race_12.txt", "db21626619a881f6"},     {"race_13.txt", "f1d748304f2eb0c9"},
    {"race_14.txt", "213ef324444bd482"},     {"race_15.txt", "eabdf9f7c7c7fe2a"},
    {"race_16.txt", "7de488838e32de65"},     {"race_17.txt", "8e51cb522fc58fdf"},
    {"race_18.txt", "95132a2c3acce679"},     {"race_19.txt", "05e11a4cfb2cf0c3"},
    {"race_20.txt", "0ec293fde1c392ca"},     {"race_21.txt", "b8986990c9c5df6b"},
    {"race_22.txt", "414bc9e1e3a38ee2"},     {"race_23.txt", "d76c37c790b89e66"},
    {"race_24.txt", "557b596e826e9a13"},     {"race_25.txt", "fbcc3e198c717ab4"},
    {"survival_01.txt", "d88fd675240bead8"}, {"survival_02.txt", "8cced81585bc5f9b"},
    {"survival_03.txt", "aebe532730809916"}, {"survival_04.txt", "327a1eb243888fd9"},
    {"survival_05.txt", "bcf1bf13a16fe469"}, {"survival_06.txt", "d9576bd5624f593a"},
    {"survival_07.txt", "95c87e578237e525"}, {"survival_08.txt", "d06d3f866b5c2e9e"},
    {"survival_09.txt", "750d3a6653fe016b"}, {"survival_10.txt", "b75a320b8261106a"},
    {"survival_11.txt", "203b6b650db8095d"}, {"survival_12.txt", "072c6e4a4b342cef"},
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

// The sanitizer build plays the scripts of the first five race levels (one
// idea each) and of the first four survival levels; the dev build plays
// every script (the others are "LevelsLong/...", which tools/test.sh leaves
// out of the sanitizer step to keep its time in bounds).
bool PlayedUnderSanitizers(const std::string& script) {
  return script <= "race_05.txt" ||
         (script.rfind("survival_", 0) == 0 && script <= "survival_04.txt");
}

std::vector<std::string> ScriptsWhere(bool underSanitizers) {
  std::vector<std::string> names;
  for (const std::string& s : Scripts()) {
    if (PlayedUnderSanitizers(s) == underSanitizers) names.push_back(s);
  }
  return names;
}

std::string ScriptTestName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param.substr(0, info.param.size() - 4);
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelScript, ::testing::ValuesIn(ScriptsWhere(true)),
                         ScriptTestName);
INSTANTIATE_TEST_SUITE_P(LevelsLong, LevelScript, ::testing::ValuesIn(ScriptsWhere(false)),
                         ScriptTestName);

TEST(Levels, EveryLevelHasAnAuthorRunThatProvesIt) {
  // Proven in the test's own process against the levels as shipped: the
  // run names its level, verifies and was won (finished, or survived for at
  // least the 20 s a level script survives).
  plat::UseLevelsFolder(kSource + "/res/maps");
  for (const char* ext : {".mapGame1", ".mapGame2"}) {
    for (const std::string& name : LevelFiles(ext)) {
      const AuthorRun run = ProveAuthorRun("Res/maps/" + name);
      EXPECT_TRUE(run.found) << name;
      EXPECT_TRUE(run.proven) << name << ": " << run.line;
      EXPECT_EQ(run.mode, name.ends_with(".mapGame2") ? 2 : 1) << name;
      if (name.ends_with(".mapGame2")) {
        EXPECT_GE(run.time, 20.0f) << name;
      }
    }
  }
  plat::ForgetPlaces();
}

}  // namespace
