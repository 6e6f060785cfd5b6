// SIGINT and SIGTERM end the game from every screen at the next frame
// boundary, with exit code 0, and never between a record and its file.
#include <gtest/gtest.h>

#include <string>

#include "e2e/runner_harness.h"

namespace {

using e2e::Num;
using e2e::Str;

const char* const kToSession =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
    "until session\n";

const char* const kFlatRace =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[3,3,6]\n"
    "Plattform.static\n[-3,0]\n[20,0]\nwhite\n"
    "Goal.static\n[15,0.5]\n0.3\n";

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (size_t at; (at = text.find(what)) != std::string::npos;) text.replace(at, what.size(), with);
  return text;
}

TEST(EndSignals, EveryScreenEndsWithinOneFrame) {
  struct Case {
    const char* screen;
    const char* reach;  // script up to the screen; the settings say whether the intro plays
    bool intro;
  } cases[] = {
      {"intro", "frames 20\n", true},
      {"menu", "until menu 5\nframes 3\n", false},
      {"levelselect", "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\n",
       false},
      {"credits", "until menu\nkey DOWN\nkey DOWN\nkey ENTER\nuntil credits 10\nframes 5\n", false},
      {"session", "SESSIONkey ENTER\nframes 3\n", false},
      {"session", "SESSIONkey ENTER\nframes 3\npause\nframes 40\n", false},  // paused
  };
  for (const Case& c : cases) {
    for (const char* signal : {"INT", "TERM"}) {
      SCOPED_TRACE(std::string(c.reach) + signal);
      e2e::ScratchRoot root(c.intro ? "Display=640x400\r\nPlayIntro=Enabled\r\n"
                                    : e2e::ScratchRoot::DefaultSettings());
      root.Write("Res/maps/a.mapGame1", kFlatRace);
      // The second dump would follow one more frame: the game must be gone.
      const std::string script = Replace(std::string(c.reach), "SESSION", kToSession) +
                                 "dump DUMP\nsignal " + signal + "\nframes 1\ndump DUMP\n";
      const auto r = e2e::RunHeadless(root, Replace(script, "DUMP", root.File("d.json")));
      EXPECT_EQ(r.exitCode, 0) << r.errors;
      const auto dumps = e2e::ReadDumps(root.File("d.json"));
      ASSERT_EQ(dumps.size(), 1u);
      EXPECT_EQ(Str(dumps[0], "screen"), c.screen);
    }
  }
}

TEST(EndSignals, ARecordIsWrittenWholeOrNotAtAll) {
  const std::string oldBoard = "a.mapGame1\r\n99\r\n";
  auto play = [&](const std::string& tail, e2e::RunResult& r) {
    e2e::ScratchRoot root;
    root.Write("Res/maps/a.mapGame1", kFlatRace);
    root.Write("Res/Leaderboard.dat", oldBoard);
    const std::string script =
        std::string(kToSession) + "dump DUMP\nkey ENTER\nhold RIGHT\n" + tail;
    r = e2e::RunHeadless(root, Replace(script, "DUMP", root.File("d.json")));
    return std::make_pair(e2e::ReadDumps(root.File("d.json")), root.Read("Res/Leaderboard.dat"));
  };
  // Find the frame that stores the record.
  e2e::RunResult r;
  const auto [dumps, board] = play("dump-every DUMP\nframes 600\n", r);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  ASSERT_GT(dumps.size(), 2u);
  double recordFrame = 0;
  for (const e2e::Dump& d : dumps) {
    if (Num(d, "RecordStored") == 1.0) {
      recordFrame = Num(d, "frame");
      break;
    }
  }
  ASSERT_GT(recordFrame, 0) << "the race was not won";
  ASSERT_NE(board, oldBoard);
  const int wait = static_cast<int>(recordFrame - Num(dumps[0], "frame"));
  // A signal in the frame of the record: the file is complete. One frame
  // earlier: the game ends first and the old file stays.
  EXPECT_EQ(play("frames " + std::to_string(wait) + "\nsignal TERM\nframes 5\n", r).second, board);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(play("frames " + std::to_string(wait - 1) + "\nsignal TERM\nframes 5\n", r).second,
            oldBoard);
  EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
