// Destructible platforms: holes and splits, end bites, the state words, the
// written points and the break event.
#include "sim/breaking.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "sim/balls.h"

namespace {

constexpr double kNow = 100.0;

std::vector<std::string> Lines(const MapText& map) {
  return std::vector<std::string>(map.MapLines.begin() + 1,
                                  map.MapLines.begin() + 1 + map.MapLineCount);
}

SimState BallAt(float x, float y, float vx, float vy) {
  SimState sim;
  sim.BallCount = 2;
  sim.Balls[1].x = 1000.0f;
  sim.Balls[1].radius = 0.18f;
  sim.Balls[2] = Ball{x, y, vx, vy, 0.18f, "", 0.0f, 0.0f};
  return sim;
}

TEST(Breaking, ABodyHitPunchesAHoleAndAppendsTheOtherPiece) {
  MapText map = MapFromLines({"Plattform.static.destructible", "[0,0]", "[4,0]", "blue"});
  SimState sim = BallAt(2.0f, 0.2f, 0.0f, -2.0f);
  StepBalls(sim, map, 0.01, kNow);
  EXPECT_EQ(Lines(map), (std::vector<std::string>{
                            "Plattform.static.destructible.left", "[0,0]", "[1.72,0]", "blue",
                            "Plattform.static.destructible.right", "[2.28,0]", "[4,0]", "blue"}));
  const BreakEvent& e = sim.Break;
  EXPECT_EQ(e.pending, 1);
  EXPECT_FLOAT_EQ(e.leftX, 1.72f);
  EXPECT_EQ(e.leftY, 0.0f);
  EXPECT_FLOAT_EQ(e.rightX, 2.28f);
  EXPECT_EQ(e.angle, 0.0f);
  EXPECT_FLOAT_EQ(e.mx, 0.0f);
  EXPECT_FLOAT_EQ(e.my, -0.02f);
  EXPECT_EQ(e.colour, "blue");

  // 0.2 from the left end (within 0.28): the left part is gone.
  map = MapFromLines({"Plattform.static.destructible", "[4,0]", "[0,0]", "red"});
  sim = BallAt(0.2f, 0.2f, 0.0f, -2.0f);
  StepBalls(sim, map, 0.01, kNow);
  EXPECT_EQ(Lines(map), (std::vector<std::string>{
                            "Plattform.static.destructible.destroyed", "[4,0]", "[0,0]", "red",
                            "Plattform.static.destructible.right", "[0.48,0]", "[4,0]", "red"}));
  EXPECT_EQ(sim.Break.pending, 1);
  EXPECT_EQ(sim.Break.colour, "red");

  // A piece already broken on the right, hit in its middle.
  map = MapFromLines({"Plattform.static.destructible.left", "[0,0]", "[2,0]", "white"});
  sim = BallAt(1.0f, 0.2f, 0.0f, -2.0f);
  StepBalls(sim, map, 0.01, kNow);
  EXPECT_EQ(Lines(map), (std::vector<std::string>{
                            "Plattform.static.destructible.left", "[0,0]", "[0.72,0]", "white",
                            "Plattform.static.destructible.both", "[1.28,0]", "[2,0]", "white"}));

  // Broken on the left, hit in the middle: the mirror image.
  map = MapFromLines({"Plattform.static.destructible.right", "[0,0]", "[2,0]", "white"});
  sim = BallAt(1.0f, 0.2f, 0.0f, -2.0f);
  StepBalls(sim, map, 0.01, kNow);
  EXPECT_EQ(map.Line(1), "Plattform.static.destructible.both");
  EXPECT_EQ(map.Line(5), "Plattform.static.destructible.right");

  // A fixed platform never breaks.
  map = MapFromLines({"Plattform.static", "[0,0]", "[4,0]", "blue"});
  sim = BallAt(2.0f, 0.2f, 0.0f, -2.0f);
  StepBalls(sim, map, 0.01, kNow);
  EXPECT_EQ(map.MapLineCount, 4);
  EXPECT_EQ(sim.Break.pending, 0);
}

TEST(Breaking, SlopedPlatformsAreCutAlongTheirSlope) {
  // Falling to the right: the lower end is the right one, so the piece
  // that keeps the object's place is the right piece, broken on its left.
  const WorldPoint lower{3.0, 0.0}, upper{0.0, 1.0};
  const double theta = -std::atan2(1.0, 3.0) * 57.29577951308232;
  MapText map = MapFromLines({"Plattform.static.destructible", "[0,1]", "[3,0]", "red"});
  BreakEvent event;
  const WorldPoint f{1.5, 0.5};
  BreakBody(map, event, 1, theta, f, lower, upper, 0.18, "red", WorldPoint{0.01, -0.02});
  const double c = 0.28 * 3.0 / std::sqrt(10.0), s = 0.28 / std::sqrt(10.0);
  EXPECT_EQ(map.Line(1), "Plattform.static.destructible.right");
  EXPECT_EQ(map.Line(2), "[3,0]");
  EXPECT_EQ(map.Line(3), FormatPoint(static_cast<float>(1.5 + c), static_cast<float>(0.5 - s)));
  EXPECT_EQ(map.Line(5), "Plattform.static.destructible.left");
  EXPECT_EQ(map.Line(6), FormatPoint(static_cast<float>(1.5 - c), static_cast<float>(0.5 + s)));
  EXPECT_EQ(map.Line(7), "[0,1]");
  EXPECT_EQ(map.Line(8), "red");
  EXPECT_FLOAT_EQ(event.leftX, static_cast<float>(1.5 + c));  // towards the lower end
  EXPECT_FLOAT_EQ(event.rightX, static_cast<float>(1.5 - c));
  EXPECT_FLOAT_EQ(event.angle, static_cast<float>(theta * 0.0174532925199433));
  EXPECT_FLOAT_EQ(event.mx, 0.01f);
}

TEST(Breaking, SlopesSteeperThan8995DegreesAreCutVertically) {
  EXPECT_EQ(CutAngleDegrees(89.95), 89.95);
  EXPECT_EQ(CutAngleDegrees(89.96), 90.0);
  EXPECT_EQ(CutAngleDegrees(-89.96), 90.0);
  EXPECT_EQ(CutAngleDegrees(-89.95), -89.95);
  EXPECT_EQ(CutAngleDegrees(-30.0), -30.0);

  // Nearly upright, falling to the right (about -89.99 degrees): the hole is
  // cut straight up and down, and the lower end keeps the object's place.
  MapText map = MapFromLines({"Plattform.static.destructible", "[0,4]", "[0.001,0]", "white"});
  BreakEvent event;
  BreakBody(map, event, 1, -89.99, WorldPoint{0.0005, 2.0}, WorldPoint{0.001, 0.0},
            WorldPoint{0.0, 4.0}, 0.18, "white", WorldPoint{});
  EXPECT_EQ(map.Line(1), "Plattform.static.destructible.left");
  EXPECT_EQ(map.Line(3), "[0.0005,1.72]");
  EXPECT_EQ(map.Line(5), "Plattform.static.destructible.right");
  EXPECT_EQ(map.Line(6), "[0.0005,2.28]");
  EXPECT_FLOAT_EQ(event.angle, static_cast<float>(90.0 * 0.0174532925199433));

  // An upright platform written top first, touched at its top end: the
  // bite shortens it from the top instead of lengthening it downwards.
  map = MapFromLines({"Plattform.static.destructible", "[0,4]", "[0,0]", "white"});
  BreakEnd(map, 1, -90.0, WorldPoint{0.0, 4.0}, WorldPoint{0.0, 0.0}, WorldPoint{0.1, 4.1}, 0.18);
  Point bottom = ParsePoint(map.Line(2)), top = ParsePoint(map.Line(3));
  EXPECT_FLOAT_EQ(bottom.y, 0.0f);
  EXPECT_FLOAT_EQ(top.y, 3.72f);
  EXPECT_EQ(map.Line(1), "Plattform.static.destructible.left");
}

TEST(Breaking, EndTouchesBiteOffTheNearerEnd) {
  const double r = 0.18;
  // Shorter than 0.11 + r: destroyed, nothing else changes.
  MapText map = MapFromLines({"Plattform.static.destructible.left", "[0,0]", "[0.25,0]", "blue"});
  BreakEnd(map, 1, 0.0, WorldPoint{0, 0}, WorldPoint{0.25, 0}, WorldPoint{0.4, 0.1}, r);
  EXPECT_EQ(Lines(map), (std::vector<std::string>{"Plattform.static.destructible.destroyed",
                                                  "[0,0]", "[0.25,0]", "blue"}));

  // At the right end of an intact platform.
  map = MapFromLines({"Plattform.static.destructible", "[2,0]", "[0,0]", "blue"});
  BreakEnd(map, 1, 0.0, WorldPoint{0, 0}, WorldPoint{2, 0}, WorldPoint{2.1, 0.1}, r);
  EXPECT_EQ(Lines(map), (std::vector<std::string>{"Plattform.static.destructible.left", "[0,0]",
                                                  "[1.72,0]", "blue"}));
  // Then at its left end.
  BreakEnd(map, 1, 0.0, WorldPoint{0, 0}, WorldPoint{1.72, 0}, WorldPoint{-0.1, 0.1}, r);
  EXPECT_EQ(Lines(map), (std::vector<std::string>{"Plattform.static.destructible.both", "[0.28,0]",
                                                  "[1.72,0]", "blue"}));
  // A kind that already lacks that end keeps its word.
  map = MapFromLines({"Plattform.static.destructible.left", "[0,0]", "[2,0]", "red"});
  BreakEnd(map, 1, 0.0, WorldPoint{0, 0}, WorldPoint{2, 0}, WorldPoint{2.1, 0.0}, r);
  EXPECT_EQ(map.Line(1), "Plattform.static.destructible.left");
  EXPECT_EQ(map.Line(3), "[1.72,0]");

  // Through the scene step: a ball beside the end of a platform.
  map = MapFromLines({"Plattform.static.destructible", "[0,0]", "[2,0]", "red"});
  SimState sim = BallAt(2.15f, 0.05f, -1.0f, 0.0f);
  StepBalls(sim, map, 0.001, kNow);
  EXPECT_EQ(map.Line(1), "Plattform.static.destructible.left");
  EXPECT_EQ(map.Line(3), "[1.72,0]");
  EXPECT_EQ(sim.Balls[2].vx, 1.0f);  // turned back by the cap
  EXPECT_EQ(sim.Break.pending, 0);   // end bites leave no event

  // A ball landing exactly on the end of a short platform touches both the
  // body and the end in one frame: the body break alone shapes the piece,
  // while the end contact still turns the ball back.
  map = MapFromLines({"Plattform.static.destructible", "[0,0]", "[0.5,0]", "white"});
  sim = BallAt(0.5f, 0.0f, 0.0f, -1.0f);  // centred on the end: no push-out
  StepBalls(sim, map, 0.001, kNow);
  EXPECT_EQ(Lines(map), (std::vector<std::string>{"Plattform.static.destructible.left", "[0,0]",
                                                  "[0.22,0]", "white"}));
  EXPECT_LT(sim.Balls[2].vy, 0.0f);
  EXPECT_EQ(sim.Break.pending, 1);
}

TEST(Breaking, RepeatedBreaksRoundThroughTheWrittenForm) {
  MapText map = MapFromLines({"Plattform.static.destructible", "[0,0]", "[30,7.3]", "white"});
  SimState sim;
  sim.BallCount = 1;
  double now = kNow;
  for (int drop = 0; drop < 40; ++drop) {
    // Drop a ball onto the upper part of what is left of the platform.
    const MapObjectCache& objects = MapObjects(map);
    if (objects.platforms.empty()) break;
    const MapPlatform& p = objects.platforms.back();
    const float x = p.leftX + 0.37f * (p.rightX - p.leftX);
    const float y = p.leftY + 0.37f * (p.rightY - p.leftY) + 0.3f;
    sim.Balls[1] = Ball{x, y, 0.3f, -2.0f, 0.18f, "", 0.0f, 0.0f};
    for (int f = 0; f < 10; ++f) StepBalls(sim, map, 0.01, now += 0.01);
  }
  EXPECT_GT(map.MapLineCount, 40);
  // Every written point is the 7-digit form of the floats it holds.
  for (int k = 1; k <= map.MapLineCount; ++k) {
    const std::string& line = map.Line(k);
    if (line.empty() || line[0] != '[') continue;
    const Point p = ParsePoint(line);
    EXPECT_EQ(FormatPoint(p.x, p.y), line) << k;
  }
  // A hole at one third of a unit cuts at 7 digits.
  MapText thirds = MapFromLines({"Plattform.static.destructible", "[0,0]", "[4,0]", "white"});
  BreakEvent event;
  BreakBody(thirds, event, 1, 0.0, WorldPoint{1.0 / 3.0 + 0.28, 0.0}, WorldPoint{0, 0},
            WorldPoint{4, 0}, 0.18, "white", WorldPoint{});
  EXPECT_EQ(thirds.Line(3), "[0.3333333,0]");
}

TEST(Breaking, APieceAppendedDuringAScanIsVisitedByThatScan) {
  // The ball holes the platform at x = 0, then three upright walls (after
  // it in the file) shove it 0.29 to the right, over the piece appended at
  // the end: that piece is holed again in the same scan.
  std::vector<std::string> lines = {"Plattform.static.destructible", "[-2,0.5]", "[2,0.5]", "red"};
  for (float wall : {-0.01f, 0.01f, 0.03f}) {
    for (const std::string& line : {std::string("Plattform.static"), FormatPoint(wall, 0.6f),
                                    FormatPoint(wall, 1.5f), std::string("white")}) {
      lines.push_back(line);
    }
  }
  MapText map = MapFromLines(lines);
  SimState sim = BallAt(0.0f, 0.7f, 0.0f, -1.0f);
  StepBalls(sim, map, 0.0001, kNow);
  ASSERT_EQ(map.MapLineCount, 16 + 8);
  EXPECT_EQ(map.Line(1), "Plattform.static.destructible.left");
  EXPECT_EQ(map.Line(3), "[-0.28,0.5]");
  // The first appended piece, holed again right at its broken end: it is
  // gone, and a third piece follows it.
  EXPECT_EQ(map.Line(17), "Plattform.static.destructible.destroyed");
  EXPECT_EQ(map.Line(18), "[0.28,0.5]");
  EXPECT_EQ(map.Line(22), "[0.57,0.5]");
  EXPECT_EQ(map.Line(21), "Plattform.static.destructible.right");
  EXPECT_EQ(map.Line(23), "[2,0.5]");
}

TEST(Breaking, AFrameOfManyBreaksLooksAtEachLineOnlyAFewTimes) {
  // 300 breakable platforms one above the other, 0.01 apart, under one ball,
  // and 2,000 lines of notes: each break pushes the ball onto the next
  // platform, so one scan breaks one after another. Each break parses only
  // what it changed, so the frame's work stays a few looks at each line, not
  // a look at the whole map per break.
  std::vector<std::string> lines;
  for (int i = 0; i < 300; ++i) {
    const float y = static_cast<float>(i) * 0.01f;
    for (const std::string& line :
         {std::string("Plattform.static.destructible"), FormatPoint(-2.0f, y), FormatPoint(2.0f, y),
          std::string("red")})
      lines.push_back(line);
  }
  for (int i = 0; i < 2000; ++i) lines.push_back("note");
  MapText map = MapFromLines(lines);
  MapObjects(map);
  SimState sim = BallAt(0.0f, 0.2f, 0.0f, -1.0f);
  const std::uint64_t before = map.scanWork;
  StepBalls(sim, map, 0.01, kNow);
  EXPECT_GE(map.MapLineCount, 3200 + 4 * 200);  // the breaks did happen
  EXPECT_LE(map.scanWork - before, 4u * static_cast<std::uint64_t>(map.MapLineCount));
}

TEST(Breaking, FarOutWhereSevenDigitsCannotHoldTheHoleNoPieceCopiesItself) {
  // Ten million units out, the written ends round a hole of 0.56 away.
  const WorldPoint a{9999990.0, 0.0}, b{10000010.0, 0.0}, f{1.0e7, 0.0};
  BreakEvent event;
  // A hit in the middle still leaves two shorter pieces.
  MapText map =
      MapFromLines({"Plattform.static.destructible", "[9999990,0]", "[1.000001e+07,0]", "red"});
  BreakBody(map, event, 1, 0.0, f, a, b, 0.18, "red", WorldPoint{});
  EXPECT_EQ(Lines(map),
            (std::vector<std::string>{"Plattform.static.destructible.left", "[9999990,0]",
                                      "[1e+07,0]", "red", "Plattform.static.destructible.right",
                                      "[1e+07,0]", "[1.000001e+07,0]", "red"}));
  // A hit at the broken end of the right piece would write that very piece
  // again: it is gone instead, and nothing is appended; so is the left piece
  // when hit at its broken end.
  BreakBody(map, event, 5, 0.0, f, f, b, 0.18, "red", WorldPoint{});
  BreakBody(map, event, 1, 0.0, f, a, f, 0.18, "red", WorldPoint{});
  EXPECT_EQ(map.MapLineCount, 8);
  EXPECT_EQ(map.Line(1), "Plattform.static.destructible.destroyed");
  EXPECT_EQ(map.Line(5), "Plattform.static.destructible.destroyed");
  EXPECT_EQ(event.pending, 1);  // the sparks fly all the same
}

}  // namespace
