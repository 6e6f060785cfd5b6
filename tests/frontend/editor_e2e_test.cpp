// The level editor played through the headless runner: a race level built
// from nothing, saved into the player's folder, found in the level selection
// and won; its author run made in test-play and dropped once the level
// changes; the editing keys; and the selection's mark on a broken level.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/runner_harness.h"

namespace {

using e2e::Dump;
using e2e::Num;
using e2e::ScratchRoot;

const std::string kPlayerMaps = std::string(e2e::kXdgData) + "/zirpel/maps/";

std::string DumpTo(const ScratchRoot& root, const char* name = "d.json") {
  return "dump " + root.File(name) + "\n";
}

// On the 320 x 200 screen a new level's camera shows about 20 pixels a
// unit with (0, 0) at the centre: a platform from (-3.5, -1) to (7, -1),
// ball 1 at (-2, 0), the goal at (5, -0.5) and the start camera at (0, 2).
std::string BuildRaceLevel() {
  return "until editor 5\n"
         "drag 90 120 300 120\n"     // the palette's white static platform
         "key -\nkey -\nframes 3\n"  // the start camera
         "click 160 60\nframes 3\n"
         "key -\nframes 2\n"  // ball 1's start
         "click 120 100\nframes 3\n"
         "key -\nkey -\nframes 3\n"  // the static goal
         "click 260 110\nframes 3\n";
}

// Ball 1 rolls right into the goal: the zoom first, then the arrow key.
std::string WinTheRace() {
  return "frames 150\nhold RIGHT\nframes 200\nrelease RIGHT\nframes 2\n";
}

std::vector<Dump> Dumps(const ScratchRoot& root, const char* name = "d.json") {
  return e2e::ReadDumps(root.File(name));
}

TEST(EditorE2E, ARaceBuiltFromNothingIsSavedFoundInTheSelectionAndWon) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  const std::string build = BuildRaceLevel() + DumpTo(root) + "key ctrl+s\nframes 3\n" +
                            DumpTo(root) + "key ESC\nframes 5\n";
  const auto edit = e2e::RunHeadless(root, build, {"--edit", "Testbahn"});
  ASSERT_EQ(edit.exitCode, 0) << edit.errors;
  const auto dumps = Dumps(root);
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(e2e::Str(dumps[0], "screen"), "editor");
  EXPECT_EQ(Num(dumps[0], "EditorObjects"), 4);
  EXPECT_EQ(e2e::Element(dumps[0], "EditorFindings", 0), "") << "a fair level has no findings";
  const std::string saved = root.Read(kPlayerMaps + "Testbahn.mapGame1");
  EXPECT_EQ(saved,
            "BallPosition\n[-2,0]\nPlattform.static\n[-3.5,-1]\n[7,-1]\nwhite\n"
            "Startgame.zoomin\n[0,2,6]\nGoal.static\n[5,-0.5]\n0.4\n")
      << "ball 1's start goes to line 1 when it is placed";
  EXPECT_FALSE(root.Exists("Res/maps/Testbahn.mapGame1")) << "the data folder is never written";

  // The level selection lists the player's level (the only race level
  // here, so row 1); Enter plays it.
  const std::string play =
      "until menu 5\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
      "until session\n" +
      WinTheRace() + DumpTo(root, "p.json");
  const auto played = e2e::RunHeadless(root, play);
  ASSERT_EQ(played.exitCode, 0) << played.errors;
  const auto result = Dumps(root, "p.json");
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(e2e::Str(result[0], "ChosenLevelFile"), "Testbahn.mapGame1");
  EXPECT_EQ(Num(result[0], "GoalReached"), 1);
  EXPECT_EQ(played.errors.find("Fehler in Level"), std::string::npos) << played.errors;
}

TEST(EditorE2E, TestPlayMakesTheAuthorRunAndAChangeDropsIt) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  // Test-play before saving: the run proves the bytes that are then saved.
  const std::string first = BuildRaceLevel() + "key F5\nuntil session 20\n" + WinTheRace() +
                            DumpTo(root, "t.json") + "key ESC\nuntil editor 100\nframes 2\n" +
                            DumpTo(root) + "key ctrl+z\nframes 2\n" + DumpTo(root) +
                            "key ctrl+y\nframes 2\nkey ctrl+s\nframes 3\n" + DumpTo(root) +
                            "key ESC\nframes 3\n";
  const auto made = e2e::RunHeadless(root, first, {"--edit", "Beweis.mapGame1"});
  ASSERT_EQ(made.exitCode, 0) << made.errors;
  const auto test = Dumps(root, "t.json");
  ASSERT_EQ(test.size(), 1u);
  EXPECT_EQ(Num(test[0], "GoalReached"), 1);
  EXPECT_EQ(e2e::Str(test[0], "screen"), "session");
  auto dumps = Dumps(root);
  ASSERT_EQ(dumps.size(), 3u);
  EXPECT_EQ(Num(dumps[0], "EditorObjects"), 4) << "back with the same level";
  EXPECT_EQ(Num(dumps[1], "EditorObjects"), 3) << "and the same undo history";
  EXPECT_EQ(Num(dumps[0], "EditorProven"), 0) << "not saved yet: nothing to prove against";
  EXPECT_EQ(Num(dumps[2], "EditorProven"), 1) << "saved: the author run proves the file";
  EXPECT_TRUE(root.Exists(kPlayerMaps + "Beweis.mapGame1.author.zrp"));
  EXPECT_FALSE(root.Exists("Res/Replays/last.zrp")) << "test-play stores no run of its own";
  EXPECT_EQ(root.Read("Res/Leaderboard.dat"), "") << "nor a record";
  const std::string author = root.File(kPlayerMaps + "Beweis.mapGame1.author.zrp");
  EXPECT_EQ(e2e::RunHeadlessArgs(root, {"--verify", author}).exitCode, 0);

  // Opened again: still proven; moving the platform's end and saving drops it.
  const std::string second = "until editor 5\nframes 2\n" + DumpTo(root, "e.json") +
                             "drag 300 120 300 140\nframes 2\nkey ctrl+s\nframes 3\n" +
                             DumpTo(root, "e.json") + "key ESC\nframes 3\n";
  const auto changed = e2e::RunHeadless(root, second, {"--edit", "Beweis.mapGame1"});
  ASSERT_EQ(changed.exitCode, 0) << changed.errors;
  dumps = Dumps(root, "e.json");
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(Num(dumps[0], "EditorProven"), 1);
  EXPECT_EQ(Num(dumps[1], "EditorProven"), 0);
  EXPECT_NE(e2e::RunHeadlessArgs(root, {"--verify", author}).exitCode, 0);
}

// A survival level has no goal: its test-play run, to its end, is the
// author run, for the time it lasted.
TEST(EditorE2E, ASurvivalTestPlayToItsEndIsTheAuthorRun) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  // Ball 1 alone (three rows up the palette): it falls out of the level.
  const std::string script =
      "until editor 5\nkey -\nkey -\nkey -\nframes 3\nclick 160 100\n"
      "frames 3\nkey F5\nuntil session 20\nkey ENTER\nframes 500\n" +
      DumpTo(root, "t.json") + "key ESC\nuntil editor 100\nframes 2\nkey ctrl+s\nframes 3\n" +
      DumpTo(root) + "key ESC\nframes 3\nkey ESC\nframes 3\n";
  const auto run = e2e::RunHeadless(root, script, {"--edit", "Fall.mapGame2"});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const auto test = Dumps(root, "t.json");
  ASSERT_EQ(test.size(), 1u);
  EXPECT_EQ(Num(test[0], "SurvivalEnded"), 1);
  const auto dumps = Dumps(root);
  ASSERT_EQ(dumps.size(), 1u);
  EXPECT_EQ(Num(dumps[0], "EditorProven"), 1);
  const std::string author = root.File(kPlayerMaps + "Fall.mapGame2.author.zrp");
  EXPECT_EQ(e2e::RunHeadlessArgs(root, {"--verify", author}).exitCode, 0);
}

TEST(EditorE2E, KeysUndoRedoDeleteAndTheViewKeepTheirPromises) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  // Each row: what the script does after the level is built, and the
  // objects it leaves.
  struct Case {
    const char* what;
    const char* script;
    int objects;
  } const cases[] = {
      {"undo takes back the goal", "key ctrl+z\nframes 2\n", 3},
      {"undo twice, redo once",
       "key ctrl+z\nframes 1\nkey ctrl+z\nframes 1\nkey ctrl+y\nframes 2\n", 3},
      {"Del removes the selected goal", "key DEL\nframes 2\n", 3},
      {"with a platform chosen a click on empty ground selects nothing",
       "key +\nkey +\nkey +\nkey +\nkey +\nframes 6\nclick 200 40\nframes 3\nkey DEL\nframes 2\n",
       4},
      {"a pan and zoom move no object",
       "rdrag 200 150 100 150\nwheel 3\nframes 2\nwheel -2\nframes 2\n", 4},
      {"a body dragged is one undo step",
       "drag 200 120 200 150\nframes 2\nkey ctrl+z\nframes 2\nkey ctrl+z\nframes 2\n", 3},
  };
  for (const Case& c : cases) {
    const auto run = e2e::RunHeadless(
        root, BuildRaceLevel() + c.script + DumpTo(root, "k.json") + "key ESC\nkey ESC\nframes 3\n",
        {"--edit", "Tasten"});
    ASSERT_EQ(run.exitCode, 0) << c.what << "\n" << run.errors;
    const auto dumps = Dumps(root, "k.json");
    ASSERT_FALSE(dumps.empty()) << c.what;
    EXPECT_EQ(Num(dumps.back(), "EditorObjects"), c.objects) << c.what;
  }
}

TEST(EditorE2E, ATextTriggerGetsItsTextAndCounter) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  // From the goal four entries on is the text trigger; Enter types its
  // text (Backspace takes back a letter, "g" is a letter here), ] adds 500
  // to its counter.
  const std::string script = BuildRaceLevel() +
                             "key +\nkey +\nkey +\nkey +\nframes 5\ndrag 100 60 220 60\n"
                             "key ENTER\nkey x\nkey g\nframes 3\nkey BACKSPACE\nframes 2\nkey !\n"
                             "key ENTER\nframes 5\nkey ]\nframes 2\nkey ctrl+s\nframes 3\n"
                             "key ESC\nframes 3\n";
  const auto run = e2e::RunHeadless(root, script, {"--edit", "Texte"});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const std::string saved = root.Read(kPlayerMaps + "Texte.mapGame1");
  EXPECT_NE(saved.find("Output.text\n[-3,2]\n[3,2]\nHinweisx!\n3500\n"), std::string::npos)
      << saved;
}

TEST(EditorE2E, ShippedLevelsAreCopiedForEditingAndBrokenOnesToldOnceAndMarked) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  const std::string shipped = "BallPosition\n[0,1]\nPlattform.static\n[-3,0]\n[3,0]\nwhite\n";
  root.Write("Res/maps/Aaa.mapGame1", shipped);
  root.Write(kPlayerMaps + "Kaputt.mapGame1",
             "BallPosition\n[0,1]\nPlattform.static\n[-3,0]\n[3,0\nwhite\n");
  // Row 1 is the shipped level: E edits a copy; back in the selection the
  // copy is row 2 and the broken level row 3, which plays as the game
  // reads it.
  const std::string script =
      "until menu 5\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\n"
      "frames 5\nkey e\nuntil editor 10\nframes 2\n" +
      DumpTo(root) + "key ESC\nuntil levelselect 10\nframes 2\n" +
      "key DOWN\nframes 2\nkey DOWN\nframes 2\nkey ENTER\nuntil session\n"
      "frames 5\n" +
      DumpTo(root) + "key ESC\nuntil menu\nframes 2\n";
  const auto run = e2e::RunHeadless(root, script);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const auto dumps = Dumps(root);
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(Num(dumps[0], "EditorObjects"), 2);
  EXPECT_EQ(root.Read(kPlayerMaps + "Aaa Kopie.mapGame1"), shipped);
  EXPECT_EQ(root.Read("Res/maps/Aaa.mapGame1"), shipped);
  EXPECT_EQ(e2e::Str(dumps[1], "ChosenLevelFile"), "Kaputt.mapGame1");
  const std::string told = "Fehler in Level Kaputt.mapGame1, Zeile 5";
  const std::size_t at = run.errors.find(told);
  ASSERT_NE(at, std::string::npos) << run.errors;
  EXPECT_EQ(run.errors.find(told, at + 1), std::string::npos) << "said once";
  EXPECT_EQ(run.errors.find("Aaa"), std::string::npos) << run.errors;
}

}  // namespace
