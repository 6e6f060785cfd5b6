// The main menu played through the headless runner: keys, pointer, entries
// and the menu scene, checked in the state dump.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/runner_harness.h"

namespace {

using e2e::Dump;
using e2e::Num;
using e2e::ObjNum;
using e2e::ScratchRoot;
using e2e::Str;

// A menu scene without platforms: dropped balls fall straight through.
void EmptyMenuMap(const ScratchRoot& root) {
  root.Write("Res/maps/Mainmenu.startmap", "");
}

std::string DumpTo(const ScratchRoot& root, const char* name = "d.json") {
  return "dump " + root.File(name) + "\n";
}

double BallField(const Dump& d, size_t ball, const char* field) {
  return ObjNum(e2e::Element(d, "balls", ball - 1), field);
}

// Pointer pixels on the 320 x 200 screen: x 60 lies left of the line at
// -1.0; y 52, 76 and 100 lie on the bars of entries 2, 1 and 0.
constexpr const char* kOverCredits = "60 76";
constexpr const char* kFarAway = "300 190";

std::string Click(const char* where) {
  return std::string("pointer ") + where + " 1\nframes 1\npointer " + where + " 0\n";
}

TEST(MenuE2E, CursorKeysStartUnhighlightedAndWrapAround) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  EmptyMenuMap(root);
  const std::string script = "until menu 5\nframes 2\n" + DumpTo(root) +    // 3
                             "key DOWN\nframes 1\n" + DumpTo(root) +        // 2
                             "key UP\nkey UP\nframes 2\n" + DumpTo(root) +  // 3 + 1 -> -2
                             "key DOWN\nframes 1\n" + DumpTo(root) +        // -2 - 1 -> 3
                             "key DOWN\nkey DOWN\nkey DOWN\nframes 3\n" + DumpTo(root);
  const auto r = e2e::RunHeadless(root, script);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(dumps.size(), 5u);
  const double expected[] = {3, 2, -2, 3, 0};
  for (size_t i = 0; i < dumps.size(); ++i) {
    EXPECT_EQ(Num(dumps[i], "MenuSelection"), expected[i]) << i;
    EXPECT_EQ(Str(dumps[i], "screen"), "menu") << i;
    EXPECT_EQ(Num(dumps[i], "PointerVisible"), 1) << i;
  }
}

TEST(MenuE2E, PointerSelectsOnlyLeftOfMinusOne) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  EmptyMenuMap(root);
  // x 120 is exactly -1.0 world units: no band counts there.
  const std::string script = "until menu 5\npointer 120 76 0\nframes 3\n" + DumpTo(root) +
                             "pointer 300 76 0\nframes 3\n" + DumpTo(root) +
                             "pointer 119 76 0\nframes 1\n" + DumpTo(root) +
                             "pointer 60 28 0\nframes 1\n" + DumpTo(root) +   // band 3
                             "pointer 60 149 0\nframes 1\n" + DumpTo(root) +  // band -2
                             "pointer 60 124 0\nframes 1\n" + DumpTo(root) +  // band -1
                             "pointer 60 112 0\nframes 1\n" + DumpTo(root) +  // gap: stays
                             "key UP\nframes 1\n" + DumpTo(root) +            // keys still work
                             "pointer outside\nframes 1\n" + DumpTo(root);
  const auto r = e2e::RunHeadless(root, script);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(dumps.size(), 9u);
  const double expected[] = {3, 3, 1, 3, -2, -1, -1, 0, 0};
  for (size_t i = 0; i < dumps.size(); ++i) {
    EXPECT_EQ(Num(dumps[i], "MenuSelection"), expected[i]) << i;
  }
}

TEST(MenuE2E, HeldButtonDoesNothingItsReleaseActivates) {
  ScratchRoot root(ScratchRoot::SmallSettings());
  EmptyMenuMap(root);
  const std::string script = "until menu 5\npointer " + std::string(kOverCredits) +
                             " 1\nframes 30\n" + DumpTo(root) + "pointer " + kOverCredits +
                             " 0\nframes 1\n" + DumpTo(root) + "key ESC\nframes 2\n" +
                             DumpTo(root) + "key ESC\nframes 5\n" + DumpTo(root, "late.json");
  const auto r = e2e::RunHeadless(root, script);
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(dumps.size(), 3u);
  EXPECT_EQ(Str(dumps[0], "screen"), "menu");  // held for 30 frames
  EXPECT_EQ(Num(dumps[0], "MenuSelection"), 1);
  EXPECT_EQ(Str(dumps[1], "screen"), "credits");  // released over the entry
  EXPECT_EQ(Num(dumps[1], "PointerVisible"), 0);
  EXPECT_EQ(Str(dumps[2], "screen"), "menu");  // Esc left the credits only
  EXPECT_EQ(Num(dumps[2], "PointerVisible"), 1);
  EXPECT_FALSE(root.Exists("late.json"));  // the second Esc ended the program
}

TEST(MenuE2E, ClickAnywhereActivatesTheHighlightedEntryOnly) {
  struct Case {
    const char* keys;  // cursor presses before the click
    double selection;
    const char* screen;  // after the click; "" when the program ended
  } cases[] = {
      {"", 3, "menu"},
      {"key DOWN\nkey DOWN\nkey DOWN\nkey DOWN\n", -1, "menu"},
      {"key DOWN\nkey DOWN\nkey DOWN\nkey DOWN\nkey DOWN\n", -2, "menu"},
      {"key DOWN\nkey DOWN\n", 1, "credits"},
      {"key DOWN\nkey DOWN\nkey DOWN\n", 0, ""},  // "Beenden"
  };
  for (const Case& c : cases) {
    ScratchRoot root(ScratchRoot::SmallSettings());
    EmptyMenuMap(root);
    const std::string script = std::string("until menu 5\n") + c.keys + "frames 6\n" +
                               DumpTo(root, "before.json") + Click(kFarAway) + "frames 3\n" +
                               DumpTo(root, "after.json");
    const auto r = e2e::RunHeadless(root, script);
    EXPECT_EQ(r.exitCode, 0) << c.selection << r.errors;
    const auto before = e2e::ReadDumps(root.File("before.json"));
    ASSERT_EQ(before.size(), 1u) << c.selection;
    EXPECT_EQ(Num(before[0], "MenuSelection"), c.selection);
    const auto after = e2e::ReadDumps(root.File("after.json"));
    if (std::string(c.screen).empty()) {
      EXPECT_TRUE(after.empty()) << c.selection;
    } else {
      ASSERT_EQ(after.size(), 1u) << c.selection;
      EXPECT_EQ(Str(after[0], "screen"), c.screen) << c.selection;
      EXPECT_EQ(Num(after[0], "MenuSelection"), c.selection);
    }
  }
}

TEST(MenuE2E, BeendenAndEscEndTheProgramWithCodeZero) {
  const std::string ends[] = {
      "key DOWN\nkey DOWN\nkey DOWN\nkey ENTER\n",       // "Beenden" by keys
      "pointer 60 100 1\nframes 2\npointer 60 100 0\n",  // "Beenden" by pointer
      "pointer 60 100 1\npointer 60 100 0\n",            // a click between two frames
      "click 60 100\n",                                  // the same, as a touchpad tap
      "key DOWN\nframes 10\nkey ESC\n",
      "key DOWN\nframes 10\nkey CLOSE\n",
  };
  for (const std::string& end : ends) {
    ScratchRoot root(ScratchRoot::SmallSettings());
    EmptyMenuMap(root);
    const auto r = e2e::RunHeadless(
        root, "until menu 5\nframes 3\n" + end + "frames 8\n" + DumpTo(root, "late.json"));
    EXPECT_EQ(r.exitCode, 0) << end << r.errors;
    EXPECT_FALSE(root.Exists("late.json")) << end;
  }
  // Enter with nothing highlighted does nothing.
  ScratchRoot root(ScratchRoot::SmallSettings());
  EmptyMenuMap(root);
  const auto r = e2e::RunHeadless(root, "until menu 5\nkey ENTER\nframes 3\n" + DumpTo(root));
  EXPECT_EQ(r.exitCode, 0);
  const auto dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(dumps.size(), 1u);
  EXPECT_EQ(Str(dumps[0], "screen"), "menu");
}

TEST(MenuE2E, WithoutDropsTheBallsRestInARowAtHeightThree) {
  for (const char* drops : {"", "Menu_DroppBalls=enabled\r\n", "Menu_DroppBalls=Disabled\r\n"}) {
    ScratchRoot root(ScratchRoot::SmallSettings(drops));
    EmptyMenuMap(root);
    // 500 frames of 51 ms: 25.5 s, past the last drop time.
    const auto r =
        e2e::RunHeadless(root, "until menu 5\nframes 500\n" + DumpTo(root), {"--frame-ms", "50"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    const auto dumps = e2e::ReadDumps(root.File("d.json"));
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_GT(Num(dumps[0], "time"), 125.0);
    for (size_t i = 1; i <= 4; ++i) {
      EXPECT_EQ(BallField(dumps[0], i, "x"), static_cast<double>(i) - 2.0) << drops << i;
      EXPECT_EQ(BallField(dumps[0], i, "y"), 3.0) << drops << i;
      EXPECT_EQ(BallField(dumps[0], i, "vy"), 0.0) << drops << i;
    }
    EXPECT_EQ(e2e::Element(dumps[0], "BallDropped", 0), "0");
    EXPECT_EQ(e2e::Element(dumps[0], "BallDropped", 3), "0");
  }
}

// One run of the menu with drops on an empty map, 38 ms per frame (no drop
// time falls on a frame boundary), dumped every frame.
const std::vector<Dump>& DroppingMenu() {
  static const std::vector<Dump> dumps = [] {
    ScratchRoot root(ScratchRoot::SmallSettings());
    EmptyMenuMap(root);
    const auto r =
        e2e::RunHeadless(root, "dump-every " + root.File("e.json") + "\nuntil menu 5\nframes 640\n",
                         {"--frame-ms", "37"});
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    return e2e::ReadDumps(root.File("e.json"));
  }();
  return dumps;
}

TEST(MenuE2E, BallKDropsToTheDropPointAfterItsTime) {
  const auto& dumps = DroppingMenu();
  ASSERT_GT(dumps.size(), 600u);
  // The menu's first frame runs at its start time; each dump is taken when
  // a frame is presented, 37 ms after its scene rules ran.
  const double start = Num(dumps[0], "time") - 0.037;
  const double dropTimes[] = {1.0, 8.0, 15.0, 22.0};
  for (size_t k = 0; k < 4; ++k) {
    size_t first = 0;
    for (size_t i = 0; i < dumps.size() && first == 0; ++i) {
      if (e2e::Element(dumps[i], "BallDropped", k) == "1") first = i;
    }
    ASSERT_GT(first, 0u) << "ball " << k + 1;
    const double ranAt = Num(dumps[first], "time") - 0.037 - start;
    const double ranBefore = Num(dumps[first - 1], "time") - 0.037 - start;
    EXPECT_GT(ranAt, dropTimes[k]) << "ball " << k + 1;
    EXPECT_LT(ranBefore, dropTimes[k]) << "ball " << k + 1;
    EXPECT_EQ(BallField(dumps[first], k + 1, "x"), 0.0) << "ball " << k + 1;
    EXPECT_EQ(BallField(dumps[first], k + 1, "y"), 2.5) << "ball " << k + 1;
    EXPECT_EQ(BallField(dumps[first], k + 1, "vy"), 0.0) << "ball " << k + 1;
    // Until then it waited at its hold position.
    EXPECT_EQ(BallField(dumps[first - 1], k + 1, "x"), static_cast<double>(k) - 1.0);
    EXPECT_EQ(BallField(dumps[first - 1], k + 1, "y"), 3.0);
  }
}

TEST(MenuE2E, AFallenBallComesBackAtTheDropPointAtRest) {
  const auto& dumps = DroppingMenu();
  ASSERT_GT(dumps.size(), 600u);
  int comebacks = 0;
  for (size_t i = 1; i < dumps.size(); ++i) {
    EXPECT_GE(BallField(dumps[i], 1, "y"), -3.5) << i;  // never seen below
    if (BallField(dumps[i - 1], 1, "y") < -3.0 && BallField(dumps[i], 1, "y") == 2.5) {
      ++comebacks;
      EXPECT_EQ(BallField(dumps[i], 1, "x"), 0.0);
      EXPECT_EQ(BallField(dumps[i], 1, "vx"), 0.0);
      EXPECT_EQ(BallField(dumps[i], 1, "vy"), 0.0);
    }
  }
  // Ball 1 falls 6 units under gravity 3 in 2 s: several times in 24 s.
  EXPECT_GE(comebacks, 5);
}

}  // namespace
