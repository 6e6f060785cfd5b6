// The game controller through the headless runner: Start pauses and goes on,
// Y and X answer the end screens' question as quick taps, B leaves, and a
// held stick moves the level selection with key repeat.
#include <gtest/gtest.h>

#include <string>

#include "e2e/runner_harness.h"

namespace {

using e2e::Num;
using e2e::Str;

// Ball 1 drops into the void: the race is lost about 4 s into play.
const char* const kVoid = "BallPosition\n[0,1]\nStartgame.zoomin\n[2,2,5]\n";

TEST(Pad, PausesAnswersTheEndScreensAndLeaves) {
  e2e::ScratchRoot root;
  root.Write("Res/maps/a.mapGame1", kVoid);
  root.Write("Res/maps/b.mapGame1", kVoid);
  root.Write("Res/maps/c.mapGame1", kVoid);
  root.Write("Res/maps/d.mapGame1", kVoid);
  const std::string d = root.File("d.jsonl");
  const std::string script =
      "until menu\npad dpdown\nframes 2\npad a\nuntil levelselect\n"
      // Held down for 1.75 s (70 frames of 25 ms): one move at once and 14
      // by repeat (after 0.4 s, every 0.1 s), over four rows from row 1 to
      // row 4; then a tap of the d-pad wraps to row 1.
      "axis lefty 1\nframes 70\naxis lefty 0\nframes 2\ndump " +
      d +
      "\npad dpdown\nframes 2\n"
      "dump " +
      d +
      "\npad a\nuntil session\npad a\nframes 20\n"
      "pad start\nframes 20\ndump " +
      d + "\npad start\nframes 40\ndump " + d + "\nframes 400\ndump " + d +
      "\npad y\nframes 2\ndump " + d + "\nframes 400\npad x\nuntil menu 20\nframes 2\ndump " + d +
      "\npad b\nframes 20\n";
  const e2e::RunResult r = e2e::RunHeadless(root, script);
  ASSERT_EQ(r.exitCode, 0) << r.errors;  // B in the menu ended the program
  const std::vector<e2e::Dump> dumps = e2e::ReadDumps(d);
  ASSERT_EQ(dumps.size(), 7u);
  EXPECT_EQ(Num(dumps[0], "HighlightedLevel"), 4.0);
  EXPECT_EQ(Num(dumps[1], "HighlightedLevel"), 1.0);
  EXPECT_EQ(Str(dumps[2], "WindowTitle"), "Quobbes Zirpel (Pause)");
  EXPECT_EQ(Str(dumps[3], "WindowTitle"), "Quobbes Zirpel");
  EXPECT_EQ(Num(dumps[4], "RunLost"), 1.0);
  // Y restarted the level: ball 1 is back at its start, the run goes on.
  EXPECT_EQ(Num(dumps[5], "RunLost"), 0.0);
  EXPECT_GT(e2e::ObjNum(e2e::Element(dumps[5], "balls", 0), "y"), 0.0);
  EXPECT_EQ(Str(dumps[6], "screen"), "menu");  // X quit to the menu
}

}  // namespace
