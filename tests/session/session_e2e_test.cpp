// The game session played through the headless runner: the start zoom, the
// toggles, pause, the end of a session, restart and quit, a lost race that
// still wins, the sparks of a break, and the keyboard in the level selection.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"

namespace {

using e2e::Num;
using e2e::Str;

// From the main menu into the level selection, then the highlighted row.
const char* const kToSession =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
    "until session\n";
// The same in survival mode.
const char* const kToSurvival =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey RIGHT\n"
    "frames 2\nkey ENTER\nuntil session\n";

const char* const kFlatRace =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[3,3,6]\n"
    "Plattform.static\n[-3,0]\n[20,0]\nwhite\n"
    "Goal.static\n[15,0.5]\n0.3\n";

// Ball 1 drops onto a breakable red platform under a trigger line, catches
// fire and falls through into the void.
const char* const kTrapdoor =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[2,2,5]\n"
    "Plattform.static.destructible\n[-2,0]\n[2,0]\nred\n"
    "Output.text\n[-1,0.5]\n[1,0.5]\nHallo\n3000\n";

struct Played {
  e2e::RunResult result;
  std::vector<e2e::Dump> dumps;
  std::string board;
};

Played Play(const std::string& level, const std::string& map, const std::string& body,
            const std::string& settings = e2e::ScratchRoot::DefaultSettings(),
            const char* toSession = kToSession) {
  e2e::ScratchRoot root(settings);
  root.Write("Res/maps/" + level, map);
  std::string script = std::string(toSession) + body;
  // "DUMP" stands for the scratch dump file.
  for (size_t at; (at = script.find("DUMP")) != std::string::npos;) {
    script.replace(at, 4, root.File("dump.jsonl"));
  }
  Played run;
  run.result = e2e::RunHeadless(root, script);
  run.dumps = e2e::ReadDumps(root.File("dump.jsonl"));
  run.board = root.Read("Res/Leaderboard.dat");
  return run;
}

TEST(SessionPlay, EnterSkipsTheZoomTogglesOnlyInPlayCloseReturnsToTheMenu) {
  const Played r = Play("a.mapGame1", kFlatRace,
                        "dump DUMP\nkey t\nframes 2\nkey z\nframes 2\ndump DUMP\n"
                        "key ENTER\nframes 2\ndump DUMP\n"
                        "key t\nframes 2\nkey Z\nframes 2\ndump DUMP\n"
                        "key CLOSE\nuntil menu\nframes 2\ndump DUMP\n");
  ASSERT_EQ(r.result.exitCode, 0) << r.result.errors;
  ASSERT_EQ(r.dumps.size(), 5u);
  EXPECT_EQ(Num(r.dumps[0], "CameraPhase"), 0.0);
  EXPECT_EQ(Num(r.dumps[0], "PointerVisible"), 0.0);
  // t and z do nothing during the zoom.
  EXPECT_EQ(Num(r.dumps[1], "CameraPhase"), 0.0);
  EXPECT_EQ(Num(r.dumps[1], "InfoOverlay"), 0.0);
  EXPECT_EQ(Num(r.dumps[1], "Wireframe"), 0.0);
  EXPECT_EQ(Num(r.dumps[2], "CameraPhase"), 1.0);  // Enter ended the zoom
  EXPECT_EQ(Num(r.dumps[3], "InfoOverlay"), 1.0);
  EXPECT_EQ(Num(r.dumps[3], "Wireframe"), 1.0);
  // The close button leaves the session, not the program; the menu scene is
  // back with its four balls and wire-frame drawing off.
  const e2e::Dump& m = r.dumps[4];
  EXPECT_EQ(Str(m, "screen"), "menu");
  EXPECT_EQ(Num(m, "BallCount"), 4.0);
  EXPECT_EQ(Num(m, "SceneMode"), 1.0);
  EXPECT_EQ(Num(m, "Wireframe"), 0.0);
  EXPECT_EQ(Num(m, "InfoOverlay"), 0.0);
  EXPECT_EQ(Num(m, "GoalPresent"), 0.0);
  EXPECT_EQ(Num(m, "CameraPhase"), 0.0);
  EXPECT_EQ(Num(m, "Energy"), 5.0);
}

TEST(SessionPlay, PauseIsNotCountedInTheLevelTime) {
  // Pause for about 3 s of idle frames, then roll into the goal.
  const Played r = Play("a.mapGame1", kFlatRace,
                        "key ENTER\nframes 3\ndump DUMP\npause\nframes 4\ndump DUMP\nframes 200\n"
                        "pause\nframes 20\ndump DUMP\nhold RIGHT\ndump-every DUMP\nframes 400\n");
  ASSERT_EQ(r.result.exitCode, 0) << r.result.errors;
  ASSERT_GE(r.dumps.size(), 4u);
  EXPECT_EQ(Str(r.dumps[1], "WindowTitle"), "Quobbes Zirpel (Pause)");
  EXPECT_EQ(Str(r.dumps[2], "WindowTitle"), "Quobbes Zirpel");
  const double start = Num(r.dumps[0], "time");
  const double paused = Num(r.dumps[2], "time") - Num(r.dumps[1], "time");
  EXPECT_GT(paused, 2.5);
  double won = 0.0;
  for (const e2e::Dump& d : r.dumps) {
    if (Num(d, "GoalReached") == 1.0) {
      won = Num(d, "time");
      break;
    }
  }
  ASSERT_GT(won, 0.0);
  const double best = Num(r.dumps.back(), "BestTime");
  EXPECT_GT(best, 0.5);
  EXPECT_LT(best, won - start - 2.5);  // the pause is not in the record
}

TEST(SessionPlay, EscEndingAPauseAlsoEndsTheSession) {
  const Played r = Play("a.mapGame1", kFlatRace,
                        "key ENTER\nframes 3\npause\nframes 40\nkey ESC\nuntil menu 50\nframes 1\n"
                        "dump DUMP\n");
  ASSERT_EQ(r.result.exitCode, 0) << r.result.errors;
  ASSERT_EQ(r.dumps.size(), 1u);
  EXPECT_EQ(Str(r.dumps[0], "screen"), "menu");
  EXPECT_EQ(Str(r.dumps[0], "WindowTitle"), "Quobbes Zirpel");
}

TEST(SessionInput, KeysTappedBetweenTwoFramesCountOnceAndOnlyWhenFresh) {
  // A tap of cursor right pushes ball 1 in one frame; hold and release
  // before the game looks are such a tap too.
  const Played steer = Play("a.mapGame1", kFlatRace,
                            "key ENTER\nframes 3\ndump DUMP\ntap RIGHT\nframes 1\ndump DUMP\n"
                            "frames 1\ndump DUMP\nhold LEFT\nrelease LEFT\nframes 1\ndump DUMP\n");
  ASSERT_EQ(steer.result.exitCode, 0) << steer.result.errors;
  ASSERT_EQ(steer.dumps.size(), 4u);
  const auto vx = [&](size_t i) {
    return e2e::ObjNum(e2e::Element(steer.dumps[i], "balls", 0), "vx");
  };
  EXPECT_NEAR(vx(1) - vx(0), 4.0 * Num(steer.dumps[1], "FrameTime"), 1e-4);
  EXPECT_NEAR(vx(2), vx(1), 1e-4);  // up at the read after
  EXPECT_NEAR(vx(3) - vx(2), -4.0 * Num(steer.dumps[3], "FrameTime"), 1e-4);
  // A tap of Y answers the restart question; one made long before it was
  // asked does not.
  const Played answer =
      Play("t.mapGame1", kTrapdoor,
           "key ENTER\nframes 3\ntap Y\nframes 400\ndump DUMP\ntap Y\nframes 1\ndump DUMP\n");
  ASSERT_EQ(answer.result.exitCode, 0) << answer.result.errors;
  ASSERT_EQ(answer.dumps.size(), 2u);
  EXPECT_EQ(Num(answer.dumps[0], "RunLost"), 1.0);
  EXPECT_EQ(Num(answer.dumps[1], "RunLost"), 0.0);
  EXPECT_EQ(Num(answer.dumps[1], "MapLineCount"), 13.0);
}

TEST(SessionPlay, OnlyPausePressesOfThisPlayCount) {
  // Back from a first session into a second one; the menu keeps "Spiel
  // starten" highlighted.
  const std::string again =
      "until menu\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
      "until session\nkey ENTER\nframes 3\n";
  struct Case {
    const char* name;
    std::string body;
    std::vector<std::string> titles;  // at each dump
  } cases[] = {
      {"a Pause pressed in the menu does not pause the next level",
       "key CLOSE\nuntil menu\npause\n" + again + "frames 30\ndump DUMP\n",
       {"Quobbes Zirpel"}},
      {"the Esc that left the last level does not end the next pause",
       "key ENTER\nframes 3\nkey ESC\n" + again + "pause\nframes 60\ndump DUMP\n",
       {"Quobbes Zirpel (Pause)"}},
      {"the Pause still held after ending a pause does not start the next, a new press does",
       "key ENTER\nframes 3\npause\nframes 30\nhold 69\nframes 30\nrelease 69\nframes 5\n"
       "dump DUMP\npause\nframes 5\ndump DUMP\n",
       {"Quobbes Zirpel", "Quobbes Zirpel (Pause)"}},
  };
  for (const Case& c : cases) {
    const Played r = Play("a.mapGame1", kFlatRace, c.body);
    ASSERT_EQ(r.result.exitCode, 0) << c.name << r.result.errors;
    ASSERT_EQ(r.dumps.size(), c.titles.size()) << c.name;
    for (size_t i = 0; i < c.titles.size(); ++i) {
      EXPECT_EQ(Str(r.dumps[i], "screen"), "session") << c.name;
      EXPECT_EQ(Str(r.dumps[i], "WindowTitle"), c.titles[i]) << c.name << " dump " << i;
    }
  }
}

TEST(SessionRules, TheRestartQuestionAnswersToTheLettersOfEveryLayout) {
  // Ball 1 starts below the fall limit: the run is lost at once, and again
  // in the frame after each restart.
  struct Step {
    const char* name;
    const char* keys;  // then one frame and a dump
    const char* screen;
    double runLost;
  } steps[] = {
      {"the key labelled Y on a German keyboard", "key y\n", "session", 0},
      {"shifted", "frames 2\nkey Y\n", "session", 0},
      {"the key labelled Z on a German keyboard: Y position and \"z\"", "frames 2\nhold Y\nkey z\n",
       "session", 0},
      {"the same with its character a frame late", "release Y\nframes 2\ntap Y\nframes 1\nkey z\n",
       "session", 1},
      {"other letters do nothing", "frames 2\nkey x\n", "session", 1},
      {"n", "key n\n", "menu", 0},
  };
  std::string body = "key ENTER\nframes 5\ndump DUMP\n";
  for (const Step& s : steps) body += std::string(s.keys) + "frames 1\ndump DUMP\n";
  const Played r = Play("d.mapGame1", "BallPosition\n[0,-30]\nStartgame.zoomin\n[2,2,5]\n", body);
  ASSERT_EQ(r.result.exitCode, 0) << r.result.errors;
  ASSERT_EQ(r.dumps.size(), std::size(steps) + 1);
  EXPECT_EQ(Num(r.dumps[0], "RunLost"), 1.0);
  for (size_t i = 0; i < std::size(steps); ++i) {
    const e2e::Dump& d = r.dumps[i + 1];
    EXPECT_EQ(Str(d, "screen"), steps[i].screen) << steps[i].name;
    EXPECT_EQ(Num(d, "RunLost"), steps[i].runLost) << steps[i].name;
    // The key that answered did not also switch wire-frame drawing on.
    EXPECT_EQ(Num(d, "Wireframe"), 0.0) << steps[i].name;
  }
}

TEST(SessionPlay, AMissingFirePictureLeavesTheBackgroundDark) {
  // Every picture but the danger overlay's.
  e2e::ScratchRoot root;
  std::filesystem::remove(root.File("res/gfx"));
  std::filesystem::create_directories(root.File("res/gfx"));
  for (const auto& e :
       std::filesystem::directory_iterator(std::string(ZIRPEL_SOURCE_DIR) + "/res/gfx")) {
    if (e.path().filename() == "ScreenTexture.png") continue;
    std::filesystem::create_symlink(e.path(), root.File("res/gfx/" + e.path().filename().string()));
  }
  root.Write("Res/maps/a.mapGame1", kFlatRace);
  const e2e::RunResult res = e2e::RunHeadless(
      root, std::string(kToSession) + "key ENTER\nframes 5\nshot " + root.File("play.png") + "\n");
  ASSERT_EQ(res.exitCode, 0) << res.errors;
  int w = 0, h = 0;
  std::vector<unsigned char> px;
  ASSERT_TRUE(e2e::ReadShot(root.File("play.png"), w, h, px));
  size_t white = 0;
  for (size_t i = 0; i + 3 < px.size(); i += 4) {
    if (px[i] > 200 && px[i + 1] > 200 && px[i + 2] > 200) ++white;
  }
  EXPECT_LT(white, px.size() / 4 / 20) << "of " << px.size() / 4 << " pixels";
}

TEST(SessionRules, TimesTooSmallForOneDecimalShowAsZero) {
  // Survival with ball 1 below the limit: lost at once. Y held restarts in
  // every frame, so every frame shows the clock of a run just begun (a few
  // microseconds, or none, after the 32-bit start time).
  const Played r = Play("d.mapGame2", "BallPosition\n[0,-30]\nStartgame.zoomin\n[2,2,5]\n",
                        "key ENTER\nframes 3\nhold Y\nframes 1\ndump-every DUMP\nframes 60\n",
                        e2e::ScratchRoot::DefaultSettings(), kToSurvival);
  ASSERT_EQ(r.result.exitCode, 0) << r.result.errors;
  ASSERT_EQ(r.dumps.size(), 60u);
  for (const e2e::Dump& d : r.dumps) {
    EXPECT_EQ(Num(d, "SurvivalEnded"), 0.0);
    const std::string texts = d.at("HudTexts");
    EXPECT_NE(texts.find("\"Zeit: 0\""), std::string::npos) << texts;
  }
}

std::string MapLine(const e2e::Dump& d, size_t k) {
  // MapLines is a JSON array of the lines 1..MapLineCount.
  std::string raw = e2e::Element(d, "MapLines", k - 1);
  if (raw.size() >= 2 && raw.front() == '"') raw = raw.substr(1, raw.size() - 2);
  return raw;
}

TEST(SessionRules, RestartReloadsTheMapAndQuitReturnsToTheMenu) {
  const Played r = Play("t.mapGame1", kTrapdoor,
                        "key ENTER\nframes 400\ndump DUMP\nhold Y\nframes 1\nrelease Y\nframes 1\n"
                        "dump DUMP\nframes 400\ndump DUMP\nhold N\nframes 2\nrelease N\n"
                        "until menu 10\nframes 1\ndump DUMP\n");
  ASSERT_EQ(r.result.exitCode, 0) << r.result.errors;
  ASSERT_EQ(r.dumps.size(), 4u);
  const e2e::Dump& lost = r.dumps[0];
  EXPECT_EQ(Num(lost, "RunLost"), 1.0);
  EXPECT_EQ(Num(lost, "ControlsEnabled"), 0.0);
  EXPECT_GT(Num(lost, "MapLineCount"), 13.0);  // the platform split
  EXPECT_EQ(MapLine(lost, 9), "FontEvent.static.Activ");
  EXPECT_GT(Num(lost, "BurnTime"), 0.0);
  EXPECT_GT(Num(lost, "ParticleCount"), 0.0);
  // Restart: the map as loaded, the trigger armed again, the run afresh
  // without the last run's burn and sparks, but no second zoom.
  const e2e::Dump& again = r.dumps[1];
  EXPECT_EQ(Num(again, "RunLost"), 0.0);
  EXPECT_EQ(Num(again, "ControlsEnabled"), 1.0);
  EXPECT_EQ(Num(again, "MapLineCount"), 13.0);
  EXPECT_EQ(MapLine(again, 5), "Plattform.static.destructible");
  EXPECT_EQ(MapLine(again, 9), "Output.text");
  EXPECT_EQ(Num(again, "CameraPhase"), 1.0);
  EXPECT_EQ(Num(again, "BurnTime"), 0.0);
  EXPECT_EQ(Num(again, "ParticleCount"), 0.0);
  EXPECT_EQ(Num(again, "BreakEventPending"), 0.0);
  EXPECT_EQ(Num(r.dumps[2], "RunLost"), 1.0);
  // N quits to the menu; a race without a goal stored nothing.
  EXPECT_EQ(Str(r.dumps[3], "screen"), "menu");
  EXPECT_EQ(Num(r.dumps[3], "BallCount"), 4.0);
  EXPECT_EQ(Num(r.dumps[3], "RunLost"), 0.0);
  EXPECT_TRUE(r.board.empty());
}

TEST(SessionRules, ALostRaceThatRollsIntoTheGoalIsWonToo) {
  // Ball 1 falls past the limit into a goal hanging below it.
  const Played r = Play("g.mapGame1",
                        "BallPosition\n[0,1]\nStartgame.zoomin\n[2,2,5]\n"
                        "Goal.static\n[0,-28]\n1.5\n",
                        "key ENTER\ndump-every DUMP\nframes 450\n");
  ASSERT_EQ(r.result.exitCode, 0) << r.result.errors;
  ASSERT_FALSE(r.dumps.empty());
  bool lostFirst = false;
  for (const e2e::Dump& d : r.dumps) {
    if (Num(d, "GoalReached") == 1.0) break;
    if (Num(d, "RunLost") == 1.0) lostFirst = true;
  }
  EXPECT_TRUE(lostFirst);
  const e2e::Dump& end = r.dumps.back();
  EXPECT_EQ(Num(end, "GoalReached"), 1.0);
  EXPECT_EQ(Num(end, "RunLost"), 1.0);
  EXPECT_EQ(Num(end, "RecordStored"), 1.0);
  EXPECT_EQ(r.board.rfind("g.mapGame1\r\n", 0), 0u);
}

int FirstSparks(const std::vector<e2e::Dump>& dumps) {
  for (const e2e::Dump& d : dumps) {
    if (Num(d, "ParticleCount") > 0.0) return static_cast<int>(Num(d, "ParticleCount"));
  }
  return 0;
}

TEST(SessionParticles, SparksFollowTheSettings) {
  const std::string body = "key ENTER\ndump-every DUMP\nframes 150\n";
  const std::string base = "Display=640x400\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n";
  // Defaults: about 20 sparks from one break of a ball of radius 0.18.
  Played on =
      Play("t.mapGame1", kTrapdoor, body, base + "Particle=Enabled\r\nParticleNumber=35\r\n");
  ASSERT_EQ(on.result.exitCode, 0) << on.result.errors;
  EXPECT_EQ(FirstSparks(on.dumps), 20);
  // Switched off: no sparks, the break stays pending.
  Played off =
      Play("t.mapGame1", kTrapdoor, body, base + "Particle=enabled\r\nParticleNumber=35\r\n");
  EXPECT_EQ(FirstSparks(off.dumps), 0);
  ASSERT_FALSE(off.dumps.empty());
  EXPECT_EQ(Num(off.dumps.back(), "BreakEventPending"), 1.0);
  // No number: no sparks, and the break is used up.
  Played none = Play("t.mapGame1", kTrapdoor, body, base + "Particle=Enabled\r\n");
  EXPECT_EQ(FirstSparks(none.dumps), 0);
  ASSERT_FALSE(none.dumps.empty());
  EXPECT_EQ(Num(none.dumps.back(), "BreakEventPending"), 0.0);
}

TEST(LevelSelectPlay, CursorLeftAndRightSwitchTheModeAndARestingPointerNeverOverridesKeys) {
  e2e::ScratchRoot root;
  for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
    root.Write(std::string("Res/maps/") + name + ".mapGame1", kFlatRace);
  }
  root.Write("Res/maps/s.mapGame2", kFlatRace);
  const std::string dump = "dump " + root.File("dump.jsonl") + "\n";
  // 640 x 400: the screen's centre lies on row 5; pixel (200, 111) on the
  // "Ueberleben" box.
  const e2e::RunResult res = e2e::RunHeadless(
      root, "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\n" + dump +
                "key RIGHT\nframes 2\n" + dump + "key LEFT\nframes 2\n" + dump +
                "pointer 320 200 0\nframes 3\n" + dump + "key DOWN\nframes 3\n" + dump +
                "key DOWN\nframes 3\n" + dump + "pointer 322 200 0\nframes 3\n" + dump +
                "pointer 200 111 0\nframes 3\n" + dump + "key LEFT\nframes 3\n" + dump +
                "pointer 320 200 0\nframes 3\nkey UP\nframes 3\n" + dump +
                "click 320 200\nuntil session\n" + dump);
  ASSERT_EQ(res.exitCode, 0) << res.errors;
  const std::vector<e2e::Dump> d = e2e::ReadDumps(root.File("dump.jsonl"));
  ASSERT_EQ(d.size(), 11u);
  const double mode[] = {1, 2, 1, 1, 1, 1, 1, 2, 1, 1};
  const double row[] = {1, 1, 1, 5, 6, 1, 5, 5, 5, 4};
  const char* const what[] = {"entry",         "right",
                              "left",          "pointer onto row 5",
                              "down, resting", "down wraps, resting",
                              "pointer moves", "pointer onto the survival box",
                              "left, resting", "up, resting"};
  for (size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(Num(d[i], "SelectedMode"), mode[i]) << what[i];
    EXPECT_EQ(Num(d[i], "HighlightedLevel"), row[i]) << what[i];
  }
  // A click without moving picks the row under the pointer.
  EXPECT_EQ(Str(d[10], "ChosenLevelFile"), "e.mapGame1");
  EXPECT_EQ(Num(d[10], "GameMode"), 1.0);
}

TEST(LevelSelectPlay, CursorKeysMoveTheHighlightWithWrapAround) {
  e2e::ScratchRoot root;
  root.Write("Res/maps/a.mapGame1", kFlatRace);
  root.Write("Res/maps/b.mapGame1", kFlatRace);
  root.Write("Res/maps/c.mapGame1", kFlatRace);
  const std::string dump = root.File("dump.jsonl");
  const e2e::RunResult res = e2e::RunHeadless(
      root, "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\ndump " + dump +
                "\nkey UP\nframes 2\ndump " + dump + "\nkey DOWN\nframes 2\nkey DOWN\n" +
                "frames 2\ndump " + dump + "\nkey ENTER\nuntil session\ndump " + dump + "\n");
  ASSERT_EQ(res.exitCode, 0) << res.errors;
  const std::vector<e2e::Dump> d = e2e::ReadDumps(dump);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(Num(d[0], "HighlightedLevel"), 1.0);
  EXPECT_EQ(Num(d[0], "BallCount"), 1.0);
  EXPECT_EQ(Num(d[1], "HighlightedLevel"), 3.0);  // up from the first row wraps
  EXPECT_EQ(Num(d[2], "HighlightedLevel"), 2.0);  // down from the last wraps
  EXPECT_EQ(Str(d[3], "ChosenLevelFile"), "b.mapGame1");
  EXPECT_EQ(Num(d[3], "GameMode"), 1.0);
  EXPECT_EQ(Num(d[3], "SceneMode"), 0.0);
  EXPECT_EQ(Str(d[3], "SurvivalTimeText"), "0");
}

}  // namespace
