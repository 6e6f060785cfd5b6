// The credits played through the headless runner: page timing, leaving with
// Esc, and the scene rules that differ from the menu's.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"

namespace {

using e2e::Dump;
using e2e::Num;
using e2e::ObjNum;
using e2e::ScratchRoot;
using e2e::Str;

// Two presses of cursor down highlight "Entwickler", Enter chooses it.
const char kEnterCredits[] = "key DOWN\nkey DOWN\nkey ENTER\n";

double BallField(const Dump& d, size_t ball, const char* field) {
  return ObjNum(e2e::Element(d, "balls", ball - 1), field);
}

// Index of the first dump of the credits screen.
size_t FirstCreditsDump(const std::vector<Dump>& dumps) {
  for (size_t i = 0; i < dumps.size(); ++i) {
    if (Str(dumps[i], "screen") == "credits") return i;
  }
  return dumps.size();
}

TEST(CreditsE2E, PagesStartInFrames1_669_1337_2005AndEndIn2673) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  root.Write("Res/maps/Mainmenu.startmap", "");
  const auto r = e2e::RunHeadless(root, "dump-every " + root.File("e.json") + "\nuntil menu 5\n" +
                                            kEnterCredits + "until credits 10\nframes 2700\n");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("e.json"));
  const size_t first = FirstCreditsDump(dumps);
  ASSERT_LT(first, dumps.size());
  // Frame n of the credits is presented n presents after the menu's last one.
  const double before = Num(dumps[first], "frame") - 1;
  std::vector<double> pageStarts;
  double last = 0;
  double end = 0;
  for (size_t i = first; i < dumps.size(); ++i) {
    if (Str(dumps[i], "screen") != "credits") {
      end = Num(dumps[i], "frame") - before;
      break;
    }
    const double page = Num(dumps[i], "CreditsPage");
    if (page != last) pageStarts.push_back(Num(dumps[i], "frame") - before);
    last = page;
  }
  EXPECT_EQ(pageStarts, (std::vector<double>{1, 669, 1337, 2005}));
  // Frame 2673 ends the credits unseen: the next present is the menu's.
  EXPECT_EQ(end, 2673);
  EXPECT_EQ(Str(dumps[first + 2672], "screen"), "menu");
  EXPECT_EQ(Str(dumps[first + 2671], "screen"), "credits");
  // The frame time went on being measured: 15 ms per present + 10 ms sleep.
  EXPECT_NEAR(Num(dumps[first + 100], "FrameTime"), 0.025, 1e-9);
}

TEST(CreditsE2E, EscDuringPageThreeReturnsToTheMenuTheNextEscEnds) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  const auto r = e2e::RunHeadless(
      root, std::string("until menu 5\n") + kEnterCredits + "until credits 10\nframes 1400\n" +
                "dump " + root.File("d.json") +
                // Keys typed after the Esc are drained, not left to the menu.
                "\nkey ESC\nkey DOWN\nkey DOWN\nframes 3\ndump " + root.File("d.json") +
                "\nkey ESC\nframes 5\ndump " + root.File("late.json") + "\n");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(Str(dumps[0], "screen"), "credits");
  EXPECT_EQ(Num(dumps[0], "CreditsPage"), 3);
  EXPECT_EQ(Str(dumps[1], "screen"), "menu");
  EXPECT_EQ(Num(dumps[1], "MenuSelection"), 1);  // kept, and no DOWN arrived
  EXPECT_FALSE(root.Exists("late.json"));

  // The window's close button leaves the credits the same way.
  ScratchRoot closing(ScratchRoot::SmallSettings());
  const auto c = e2e::RunHeadless(closing, std::string("until menu 5\n") + kEnterCredits +
                                               "until credits 10\nframes 20\nkey CLOSE\nframes 3\n"
                                               "dump " +
                                               closing.File("d.json") + "\n");
  EXPECT_EQ(c.exitCode, 0) << c.errors;
  const auto after = e2e::ReadDumps(closing.File("d.json"));
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(Str(after[0], "screen"), "menu");
}

TEST(CreditsE2E, UndroppedBallsFallOnTheCreditsSchedule) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  root.Write("Res/maps/Mainmenu.startmap", "");
  // 36 ms per present + 10 ms sleep: no drop time falls on a frame boundary.
  const auto r = e2e::RunHeadless(root,
                                  "dump-every " + root.File("e.json") + "\nuntil menu 5\n" +
                                      kEnterCredits + "until credits 10\nframes 260\n",
                                  {"--frame-ms", "36"});
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("e.json"));
  const size_t first = FirstCreditsDump(dumps);
  ASSERT_LT(first + 250, dumps.size());
  // The menu ran for less than a second: nothing was dropped there.
  EXPECT_EQ(e2e::Element(dumps[first - 1], "BallDropped", 0), "0");
  // Credits frame 1 runs its scene rules at the credits' start time.
  const double start = Num(dumps[first], "time") - 0.036;
  const double dropTimes[] = {1.0, 4.0, 7.0, 10.0};
  for (size_t k = 0; k < 4; ++k) {
    size_t dropped = 0;
    for (size_t i = first; i < dumps.size() && dropped == 0; ++i) {
      if (e2e::Element(dumps[i], "BallDropped", k) == "1") dropped = i;
    }
    ASSERT_GT(dropped, first) << "ball " << k + 1;
    EXPECT_EQ(Str(dumps[dropped], "screen"), "credits");
    EXPECT_GT(Num(dumps[dropped], "time") - 0.036 - start, dropTimes[k]) << "ball " << k + 1;
    EXPECT_LT(Num(dumps[dropped - 1], "time") - 0.036 - start, dropTimes[k]) << "ball " << k + 1;
    EXPECT_EQ(BallField(dumps[dropped], k + 1, "x"), 0.0);
    EXPECT_EQ(BallField(dumps[dropped], k + 1, "y"), 2.5);
    EXPECT_EQ(BallField(dumps[dropped - 1], k + 1, "y"), 3.0);  // held until then
  }
}

TEST(CreditsE2E, AFallenBallComesBackAtHeightThreeStraightAbove) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  // A slope under the drop point sends the balls off to the right.
  root.Write("Res/maps/Mainmenu.startmap", "Plattform.static\r\n[-1.5,1]\r\n[1,0]\r\nwhite\r\n");
  const auto r = e2e::RunHeadless(root, "dump-every " + root.File("e.json") + "\nuntil menu 5\n" +
                                            kEnterCredits + "until credits 10\nframes 700\n");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("e.json"));
  const size_t first = FirstCreditsDump(dumps);
  int comebacks = 0;
  for (size_t i = first + 1; i < dumps.size(); ++i) {
    if (Str(dumps[i], "screen") != "credits") break;
    const double y = BallField(dumps[i], 1, "y");
    EXPECT_GE(y, -3.5) << i;
    if (BallField(dumps[i - 1], 1, "y") < -3.0 && y == 3.0) {
      ++comebacks;
      const double x = BallField(dumps[i], 1, "x");
      EXPECT_GT(x, 1.0) << "came back over the place it fell, not the drop point";
      EXPECT_LT(std::fabs(x - BallField(dumps[i - 1], 1, "x")), 0.1);
      EXPECT_EQ(BallField(dumps[i], 1, "vx"), 0.0);
      EXPECT_EQ(BallField(dumps[i], 1, "vy"), 0.0);
    }
  }
  EXPECT_GE(comebacks, 2);
}

}  // namespace
