// The logo intro: its fade curve and the keys that end it.
#include "app/intro.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"
#include "image/png_encode.h"
#include "platform/platform.h"

namespace {

TEST(IntroFade, BlackLeadInFadeInFadeOutBlackTail) {
  struct Case {
    double e;
    float alpha;
  };
  const Case cases[] = {
      {0.0, 0.0f}, {0.99, 0.0f},  {1.6, 0.2f}, {2.5, 0.5f}, {3.999, 0.999666f}, {4.3, 0.9f},
      {5.5, 0.5f}, {6.97, 0.01f}, {7.0, 0.0f}, {7.2, 0.0f}, {7.5, 0.0f},
  };
  for (const Case& c : cases) {
    float alpha = -1.0f;
    ASSERT_TRUE(IntroAlpha(c.e, alpha)) << c.e;
    EXPECT_NEAR(alpha, c.alpha, 1e-5) << c.e;
    EXPECT_GE(alpha, 0.0f) << c.e;
    EXPECT_LE(alpha, 1.0f) << c.e;
  }
  // At exactly 1.0 s and 4.0 s the previous frame's colour stays.
  float alpha = 0.25f;
  EXPECT_FALSE(IntroAlpha(1.0, alpha));
  EXPECT_FALSE(IntroAlpha(4.0, alpha));
  EXPECT_EQ(alpha, 0.25f);
}

TEST(IntroKeys, AnyKeyEndsItButNothingElse) {
  for (const std::string& key :
       {std::string("a"), std::string(" "), plat::kKeyEnter, plat::kKeyEsc, plat::kKeyClose,
        plat::kKeyDown, std::string("\x02"), std::string("\xe4")}) {
    EXPECT_TRUE(IntroKeyEnds(key)) << key;
  }
  EXPECT_FALSE(IntroKeyEnds(""));
  EXPECT_FALSE(IntroKeyEnds(std::string("\x01")));
  EXPECT_FALSE(IntroKeyEnds(std::string(1, '\0')));
}

}  // namespace

// ---- the intro played through the headless runner -------------------------

namespace {

using e2e::Num;
using e2e::ScratchRoot;
using e2e::Str;

std::string Settings(const std::string& intro) {
  return "Display=320x200\r\nFullscreen=Disabled\r\n" + intro + "Menu_DroppBalls=Enabled\r\n";
}

// A plain white logo, so the fade shows as screen brightness whatever the
// game's own picture looks like.
void WhiteLogo(const ScratchRoot& root) {
  std::filesystem::remove(root.File("res/gfx"));
  std::filesystem::create_directories(root.File("res/gfx"));
  const std::vector<std::uint8_t> white(512 * 512 * 3, 255);
  const std::vector<std::uint8_t> png = EncodeRgbPng(white.data(), 512, 512);
  root.Write("res/gfx/LOGO.png", std::string(png.begin(), png.end()));
}

// Mean brightness (0..255) of the picture's middle, where the logo stands.
double CentreBrightness(const std::string& file) {
  int w = 0, h = 0;
  std::vector<unsigned char> px;
  if (!e2e::ReadShot(file, w, h, px)) return -1.0;
  double sum = 0.0;
  int n = 0;
  for (int y = h * 2 / 5; y < h * 3 / 5; ++y) {
    for (int x = w * 2 / 5; x < w * 3 / 5; ++x) {
      const unsigned char* p = &px[(static_cast<size_t>(y) * w + x) * 4];
      sum += (p[0] + p[1] + p[2]) / 3.0;
      ++n;
    }
  }
  return n ? sum / n : -1.0;
}

TEST(IntroE2E, PlaysOnlyForExactlyEnabled) {
  for (const std::string& intro :
       {std::string(), std::string("PlayIntro=enabled\r\n"), std::string("PlayIntro=ENABLED\r\n"),
        std::string("PlayIntro=Disabled\r\n")}) {
    ScratchRoot root(Settings(intro));
    const auto r = e2e::RunHeadless(root, "dump-every " + root.File("e.json") + "\nframes 3\n");
    ASSERT_EQ(r.exitCode, 0) << intro << r.errors;
    const auto dumps = e2e::ReadDumps(root.File("e.json"));
    ASSERT_EQ(dumps.size(), 3u);
    // The first present is the menu's, with no 200 ms pause before it.
    EXPECT_EQ(Str(dumps[0], "screen"), "menu") << intro;
    EXPECT_LT(Num(dumps[0], "time"), 100.1) << intro;
  }
  ScratchRoot root(Settings("PlayIntro=Enabled\r\n"));
  const auto r = e2e::RunHeadless(root, "dump-every " + root.File("e.json") + "\nframes 3\n");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("e.json"));
  ASSERT_EQ(dumps.size(), 3u);
  EXPECT_EQ(Str(dumps[0], "screen"), "intro");
}

TEST(IntroE2E, AnyKeyEndsItAndIsConsumed) {
  for (const char* key : {"DOWN", "CLOSE", "ESC", "x"}) {
    ScratchRoot root(Settings("PlayIntro=Enabled\r\n"));
    const auto r = e2e::RunHeadless(
        root, "dump-every " + root.File("e.json") + "\nframes 10\nkey " + key + "\nframes 3\n");
    ASSERT_EQ(r.exitCode, 0) << key << r.errors;  // the program goes on
    const auto dumps = e2e::ReadDumps(root.File("e.json"));
    ASSERT_EQ(dumps.size(), 13u) << key;
    EXPECT_EQ(Str(dumps[9], "screen"), "intro") << key;
    EXPECT_EQ(Str(dumps[10], "screen"), "menu") << key;
    EXPECT_EQ(Num(dumps[10], "MenuSelection"), 3) << key;  // DOWN never reached it
    // The lead-in ended at once: the menu came after the 200 ms pause, not
    // after 7.5 s.
    const double gap = Num(dumps[10], "time") - Num(dumps[9], "time");
    EXPECT_GT(gap, 0.2) << key;
    EXPECT_LT(gap, 0.3) << key;
  }
}

TEST(IntroE2E, LogoFadesInFromOneToFourAndOutUntilSeven) {
  ScratchRoot root(Settings("PlayIntro=Enabled\r\n"));
  WhiteLogo(root);
  // Intro frame n draws at e = (n - 1) x 25 ms (15 ms present, 10 ms sleep).
  struct Shot {
    int frame;
    double low, high;  // expected brightness
  } shots[] = {
      {1, 0, 1},       {39, 0, 1},   // 0.95 s: still black
      {81, 80, 90},                  // 2.0 s: a third of the way
      {161, 250, 255},               // 4.0 s: full logo
      {221, 120, 135},               // 5.5 s: half
      {281, 0, 1},     {300, 0, 1},  // from 7.0 s black again
  };
  std::string script;
  int at = 0;
  for (const Shot& s : shots) {
    script += "frames " + std::to_string(s.frame - at) + "\nshot " +
              root.File("s" + std::to_string(s.frame) + ".png") + "\n";
    at = s.frame;
  }
  script += "dump " + root.File("d.json") + "\n";
  const auto r = e2e::RunHeadless(root, script);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  for (const Shot& s : shots) {
    const double b = CentreBrightness(root.File("s" + std::to_string(s.frame) + ".png"));
    EXPECT_GE(b, s.low) << "frame " << s.frame;
    EXPECT_LE(b, s.high) << "frame " << s.frame;
  }
  const auto dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(dumps.size(), 1u);
  EXPECT_EQ(Str(dumps[0], "screen"), "intro");  // the black tail runs to 7.5 s
}

}  // namespace
