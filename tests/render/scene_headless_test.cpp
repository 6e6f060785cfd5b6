// The scene as the real menu frame draws it: a test map played by the
// headless runner, its screenshot checked where each object must appear.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"

namespace {

// 640 x 400 under the 45 degree projection: at the scene depth 6 the view
// is 2 * 6 * tan(22.5 deg) units high, so one unit is 200 / 2.4853 pixels.
constexpr int kWidth = 640;
constexpr int kHeight = 400;
const double kPixelsPerUnit = 200.0 / (6.0 * std::tan(22.5 * 3.14159265358979 / 180.0));

struct Shot {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;

  // The colour at world point (x, y) of the scene plane.
  std::array<int, 3> At(double x, double y) const {
    const int px = static_cast<int>(std::lround(kWidth / 2.0 + x * kPixelsPerUnit));
    const int py = static_cast<int>(std::lround(kHeight / 2.0 - y * kPixelsPerUnit));
    if (px < 0 || px >= width || py < 0 || py >= height) return {-1, -1, -1};
    const unsigned char* p = &rgba[(static_cast<std::size_t>(py) * width + px) * 4];
    return {p[0], p[1], p[2]};
  }
};

::testing::AssertionResult Looks(const std::array<int, 3>& got, const std::array<int, 3>& want) {
  for (int i = 0; i < 3; ++i) {
    if (std::abs(got[i] - want[i]) > 3) {
      return ::testing::AssertionFailure()
             << "drawn (" << got[0] << ", " << got[1] << ", " << got[2] << "), expected ("
             << want[0] << ", " << want[1] << ", " << want[2] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

bool Dark(const std::array<int, 3>& c) {
  return c[0] < 8 && c[1] < 8 && c[2] < 8;
}

TEST(SceneHeadless, TheMenuFrameDrawsPlatformsSpheresAndBallsWhereTheyAre) {
  e2e::ScratchRoot root(
      "Display=640x400\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n"
      "Menu_DroppBalls=Enabled\r\n");
  // Everything right of the title image and above it, clear of the entries.
  root.Write("Res/maps/Mainmenu.startmap",
             "Plattform.static\n[2.6,1.8]\n[3.7,1.8]\nwhite\n"
             "Plattform.static.destructible\n[3.7,1.5]\n[2.6,1.2]\nblue\n"
             "Plattform.static.destructible.both\n[2.6,0.6]\n[3.7,0.6]\nred\n"
             "Plattform.static\n[2.6,0.3]\n[3.7,0.3]\nred\n"
             "Sphere.static\n[1.5,1.5]\n0.3\nwhite\n");
  // Ball 1 drops after 1 s and falls through the empty middle.
  const std::string script = "until menu 5\nframes 130\nshot " + root.File("s.png") + "\ndump " +
                             root.File("d.json") + "\n";
  const auto run = e2e::RunHeadless(root, script);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  Shot shot;
  ASSERT_TRUE(e2e::ReadShot(root.File("s.png"), shot.width, shot.height, shot.rgba));
  ASSERT_EQ(shot.width, kWidth);
  ASSERT_EQ(shot.height, kHeight);

  EXPECT_TRUE(Looks(shot.At(3.1, 1.8), {191, 191, 191}));  // fixed white
  EXPECT_TRUE(Dark(shot.At(3.1, 1.92)));
  EXPECT_TRUE(Looks(shot.At(3.15, 1.35), {0, 0, 255}));  // breakable blue, sloped
  EXPECT_TRUE(Looks(shot.At(3.1, 0.6), {255, 0, 0}));    // breakable red
  EXPECT_TRUE(Looks(shot.At(3.1, 0.3), {191, 0, 0}));    // fixed red
  EXPECT_TRUE(Dark(shot.At(3.1, 0.45)));
  // The sphere shows its texture, not the background, within its radius.
  EXPECT_FALSE(Dark(shot.At(1.5, 1.5)));
  EXPECT_TRUE(Dark(shot.At(1.5, 1.85)));

  const auto dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(dumps.size(), 1u);
  EXPECT_EQ(e2e::Num(dumps[0], "StaticSphereCount"), 1.0);
  const std::string ball = e2e::Element(dumps[0], "balls", 0);
  const double x = e2e::ObjNum(ball, "x"), y = e2e::ObjNum(ball, "y");
  ASSERT_LT(y, 2.3);  // dropped and in view
  ASSERT_GT(y, -2.3);
  EXPECT_TRUE(Looks(shot.At(x, y), {26, 77, 153}));
  EXPECT_TRUE(Looks(shot.At(x + 0.12, y), {26, 77, 153}));
  EXPECT_TRUE(Dark(shot.At(x + 0.25, y)));
}

}  // namespace
