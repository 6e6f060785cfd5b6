// Scene drawing on an off-screen OSMesa context: platform kinds, colours and
// ends, textured spheres, balls and the burn pie, the goal exemption and the
// grid, checked at chosen pixels.
#include "render/scene_draw.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/osmesa.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "sim/balls.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

using Rgb = std::array<int, 3>;
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kFixedWhite{191, 191, 191};
constexpr Rgb kFixedBlue{0, 0, 191};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBallBlue{26, 77, 153};
constexpr Rgb kBurn{0, 140, 166};
// The sphere textures of the test, one flat colour each.
constexpr Rgb kWhiteTexel{250, 250, 0};
constexpr Rgb kBlueTexel{0, 250, 250};
constexpr Rgb kRedTexel{250, 0, 250};

class SceneDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    ASSERT_NE(context_, nullptr);
    pixels_.assign(static_cast<std::size_t>(kWidth) * kHeight * 4, 0);
    ASSERT_TRUE(OSMesaMakeCurrent(context_, pixels_.data(), GL_UNSIGNED_BYTE, kWidth, kHeight));
    // The game's start-up state: perspective 45 degrees, near 5.5, far 50.
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(kWidth) / kHeight, 5.5, 50.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    video_.tex.SphereWhiteTexture = FlatTexture(kWhiteTexel);
    video_.tex.SphereBlueTexture = FlatTexture(kBlueTexel);
    video_.tex.SphereRedTexture = FlatTexture(kRedTexel);
    video_.DiskQuadric = gluNewQuadric();
  }

  void TearDown() override {
    if (video_.DiskQuadric != nullptr) gluDeleteQuadric(video_.DiskQuadric);
    if (context_ != nullptr) OSMesaDestroyContext(context_);
  }

  static unsigned FlatTexture(Rgb c) {
    unsigned name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    std::vector<unsigned char> texels;
    for (int i = 0; i < 16; ++i) {
      texels.insert(texels.end(),
                    {static_cast<unsigned char>(c[0]), static_cast<unsigned char>(c[1]),
                     static_cast<unsigned char>(c[2]), 255});
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
  }

  // The colour drawn at world point (x, y) on the plane z.
  Rgb At(double x, double y, double z = kSceneDepth) {
    glFinish();
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx, wy, wz;
    gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
    const int px = static_cast<int>(wx);
    const int py = static_cast<int>(wy);
    EXPECT_TRUE(px >= 0 && px < kWidth && py >= 0 && py < kHeight) << x << "," << y;
    unsigned char rgba[4] = {0, 0, 0, 0};
    glReadPixels(px, py, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return Rgb{rgba[0], rgba[1], rgba[2]};
  }

  static MapText MapOf(const std::vector<std::string>& lines) {
    MapText map;
    for (const std::string& line : lines) map.MapLines.push_back(line);
    map.MapLineCount = static_cast<int>(lines.size());
    ++map.revision;
    return map;
  }

  OSMesaContext context_ = nullptr;
  std::vector<unsigned char> pixels_;
  VideoState video_;
};

::testing::AssertionResult Looks(const Rgb& got, const Rgb& expected) {
  for (int i = 0; i < 3; ++i) {
    if (std::abs(got[i] - expected[i]) > 3) {
      return ::testing::AssertionFailure()
             << "drawn (" << got[0] << ", " << got[1] << ", " << got[2] << "), expected ("
             << expected[0] << ", " << expected[1] << ", " << expected[2] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(SceneDraw, PlatformsShowTheirKindColourAndEnds) {
  MapText map = MapOf({
      "Plattform.static",
      "[-3,2]",
      "[-1,2]",
      "white",  //
      "Plattform.static",
      "[3,2]",
      "[1,2]",
      "blue",  // right to left
      "Plattform.static.destructible",
      "[-3,0.5]",
      "[-1,1]",
      "red",  // rising
      "Plattform.static.destructible.left",
      "[1,0.5]",
      "[3,0.5]",
      "white",
      "Plattform.static.destructible.right",
      "[1,-0.5]",
      "[3,-0.5]",
      "blue",
      "Plattform.static.destructible.both",
      "[1,-1.5]",
      "[3,-1.5]",
      "red",
      "Plattform.static",
      "[-0.3,-2]",
      "[-0.3,-1]",
      "white",  // upright, lower first
      "Plattform.static",
      "[0.3,-1]",
      "[0.3,-2]",
      "white",  // upright, upper first
      "Plattform.static.destructible.destroyed",
      "[-3,-2]",
      "[-1,-2]",
      "white",
      "Plattform.static",
      "[-3,-1]",
      "[-3,-1]",
      "white",  // both ends equal
  });
  SimState sim;
  RefillStaticSpheres(sim, map);
  DrawMapObjects(map, video_);

  EXPECT_TRUE(Looks(At(-2.0, 2.0), kFixedWhite));
  EXPECT_TRUE(Looks(At(-2.0, 2.06), kFixedWhite));  // 0.16 thick
  EXPECT_TRUE(Looks(At(-2.0, 2.12), kBlack));
  EXPECT_TRUE(Looks(At(-3.05, 2.0), kFixedWhite));  // round end
  EXPECT_TRUE(Looks(At(-3.07, 2.05), kBlack));
  EXPECT_TRUE(Looks(At(2.0, 2.0), kFixedBlue));
  EXPECT_TRUE(Looks(At(2.0, 2.12), kBlack));
  EXPECT_TRUE(Looks(At(-2.0, 0.75), kRed));  // along the slope
  EXPECT_TRUE(Looks(At(-2.0, 0.95), kBlack));

  // Broken right end: the jag reaches out above the axis, not below it.
  EXPECT_TRUE(Looks(At(2.0, 0.5), kWhite));
  EXPECT_TRUE(Looks(At(0.95, 0.5), kWhite));  // round left end
  EXPECT_TRUE(Looks(At(3.0, 0.48), kBlack));  // the notch under the jag
  EXPECT_TRUE(Looks(At(3.03, -0.05 + 0.5), kBlack));
  EXPECT_TRUE(Looks(At(2.9, 0.5), kWhite));
  EXPECT_TRUE(Looks(At(3.02, 0.545), kWhite));  // the jag tip
  // Broken left end: the jag reaches out below the axis; the right end is round.
  EXPECT_TRUE(Looks(At(2.0, -0.5), kBlue));
  EXPECT_TRUE(Looks(At(0.97, -0.52), kBlue));
  EXPECT_TRUE(Looks(At(0.97, -0.45), kBlack));
  EXPECT_TRUE(Looks(At(3.05, -0.5), kBlue));
  // Both ends broken.
  EXPECT_TRUE(Looks(At(2.0, -1.5), kRed));
  EXPECT_TRUE(Looks(At(0.97, -1.52), kRed));
  EXPECT_TRUE(Looks(At(0.97, -1.45), kBlack));
  EXPECT_TRUE(Looks(At(3.03, -1.48), kRed));
  EXPECT_TRUE(Looks(At(3.03, -1.55), kBlack));
  // Upright platforms, either end first, look alike.
  for (double x : {-0.3, 0.3}) {
    EXPECT_TRUE(Looks(At(x, -1.5), kFixedWhite)) << x;
    EXPECT_TRUE(Looks(At(x + 0.12, -1.5), kBlack)) << x;
    EXPECT_TRUE(Looks(At(x - 0.12, -1.5), kBlack)) << x;
    EXPECT_TRUE(Looks(At(x, -0.95), kFixedWhite)) << x;
  }
  // Destroyed and degenerate platforms are not drawn.
  EXPECT_TRUE(Looks(At(-2.0, -2.0), kBlack));
  EXPECT_TRUE(Looks(At(-3.0, -1.0), kBlack));
  EXPECT_EQ(sim.StaticSphereCount, 0);
}

TEST_F(SceneDraw, SpheresShowTheirTextureAndFillTheTable) {
  MapText map = MapOf({"Sphere.static", "[-2,1]", "0.5", "white",  //
                       "Sphere.static", "[0,1]", "0.4", "blue",    //
                       "Sphere.static", "[2,1]", "0.3", "red"});
  SimState sim;
  sim.StaticSphereCount = 7;
  glColor3f(0.2f, 0.9f, 0.1f);  // the current colour does not tint a sphere
  RefillStaticSpheres(sim, map);
  DrawMapObjects(map, video_);
  EXPECT_TRUE(Looks(At(-2.0, 1.0), kWhiteTexel));
  EXPECT_TRUE(Looks(At(-2.0, 1.45), kWhiteTexel));
  EXPECT_TRUE(Looks(At(-2.0, 1.56), kBlack));
  EXPECT_TRUE(Looks(At(0.0, 1.0), kBlueTexel));
  EXPECT_TRUE(Looks(At(2.0, 1.0), kRedTexel));
  EXPECT_TRUE(Looks(At(2.0, 1.36), kBlack));
  ASSERT_EQ(sim.StaticSphereCount, 3);
  EXPECT_EQ(sim.Spheres[2].x, 0.0f);
  EXPECT_EQ(sim.Spheres[2].radius, 0.4f);
  EXPECT_EQ(sim.Spheres[3].colour, "red");
}

TEST_F(SceneDraw, BallsInTheMenuAndInPlay) {
  SimState sim;
  sim.BallCount = 3;
  sim.Balls[1] = Ball{-2.0f, 0.0f, 0.0f, 0.0f, 0.4f, "", 0.0f, 0.0f};
  sim.Balls[2] = Ball{0.0f, 0.0f, 0.0f, 0.0f, 0.4f, "red", 0.0f, 0.0f};
  sim.Balls[3] = Ball{2.0f, 0.0f, 0.0f, 0.0f, 0.4f, "blue", 0.0f, 0.0f};

  // Menu: plain discs of radius 0.18, whatever the table says.
  sim.SceneMode = 1;
  DrawBalls(sim, video_, 0.0f);
  EXPECT_TRUE(Looks(At(-2.0, 0.0), kBallBlue));
  EXPECT_TRUE(Looks(At(-2.0, 0.35), kBallBlue));  // ball 1 keeps its radius
  EXPECT_TRUE(Looks(At(0.0, 0.1), kBallBlue));
  EXPECT_TRUE(Looks(At(0.0, 0.3), kBlack));

  // Play: textured by colour word; ball 1 with a half-burnt pie on its right.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  sim.SceneMode = 0;
  sim.GameMode = PlayMode::kSurvival;
  DrawBalls(sim, video_, 15.0f);
  EXPECT_TRUE(Looks(At(-1.8, 0.0), kBurn));
  EXPECT_TRUE(Looks(At(-2.2, 0.0), kBallBlue));
  EXPECT_TRUE(Looks(At(0.0, 0.3), kRedTexel));
  EXPECT_TRUE(Looks(At(2.0, 0.0), kBlueTexel));

  // A race with a goal: the goal ball is left to the goal disk.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  sim.GameMode = PlayMode::kRace;
  sim.Goal.GoalPresent = true;
  sim.Goal.GoalBallIndex = 3.0f;
  DrawBalls(sim, video_, 0.0f);
  EXPECT_TRUE(Looks(At(0.0, 0.0), kRedTexel));
  EXPECT_TRUE(Looks(At(2.0, 0.0), kBlack));
  EXPECT_TRUE(Looks(At(-1.8, 0.0), kBallBlue));  // no pie without burning
}

TEST_F(SceneDraw, TheGridLiesBehindTheSceneOnMultiplesOfFour) {
  DrawGrid(0.0f, 0.0f);
  // Lines at x = 0.2 and y = 0.2 (the others, 4 units away, are off screen).
  EXPECT_TRUE(Looks(At(0.2, 1.0, -6.2), kWhite));
  EXPECT_TRUE(Looks(At(1.0, 0.2, -6.2), kWhite));
  EXPECT_TRUE(Looks(At(1.0, 1.0, -6.2), kBlack));
  EXPECT_TRUE(Looks(At(2.2, 1.0, -6.2), kBlack));

  // Around (2, 1.5): x from -4 to 8 and y from round(-4.5) = -4 to 8.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawGrid(2.0f, 1.5f);
  EXPECT_TRUE(Looks(At(0.2, 1.0, -6.2), kWhite));
  EXPECT_TRUE(Looks(At(1.0, 0.2, -6.2), kWhite));
  // A platform drawn afterwards covers the grid.
  MapText map = MapOf({"Plattform.static", "[-1,0.2]", "[2,0.2]", "red"});
  SimState sim;
  RefillStaticSpheres(sim, map);
  DrawMapObjects(map, video_);
  EXPECT_TRUE(Looks(At(1.0, 0.2), Rgb{191, 0, 0}));
}

}  // namespace
