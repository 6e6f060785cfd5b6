// Screen-dependent quantities: text unit, font heights, pixels per unit.
#include "render/video.h"

#include <gtest/gtest.h>

namespace {

TEST(Video, TextUnitAndFontHeights) {
  EXPECT_EQ(ComputeTextUnit(1920, 1080), 1500);
  EXPECT_EQ(TextFontHeight(1500), 43);
  EXPECT_EQ(TitleFontHeight(1500), 65);
  EXPECT_EQ(ComputeTextUnit(1024, 768), 896);
  EXPECT_EQ(TextFontHeight(896), 26);
  EXPECT_EQ(TitleFontHeight(896), 39);
  EXPECT_EQ(ComputeTextUnit(1001, 0), 500);  // 500.5 rounds to even
  EXPECT_EQ(ComputeTextUnit(1003, 0), 502);  // 501.5 rounds to even
}

TEST(Video, AspectTableRows) {
  float x = 0.0f, y = 0.0f;
  LookUpAspect(1280, 800, x, y);
  EXPECT_EQ(x, 160.0f);
  EXPECT_EQ(y, static_cast<float>(800 / 4.97));
  LookUpAspect(1920, 1080, x, y);
  EXPECT_EQ(x, static_cast<float>(1920 / 8.8));
  EXPECT_EQ(y, static_cast<float>(1080 / 5.0));
  // 1366 x 768 lies 0.00087 from 16:9 and takes its own row.
  LookUpAspect(1366, 768, x, y);
  EXPECT_EQ(x, static_cast<float>(1366 / 9.2));
  EXPECT_EQ(y, static_cast<float>(768 / 5.2));
  LookUpAspect(1024, 768, x, y);
  EXPECT_EQ(x, static_cast<float>(1024 / 6.6));
  LookUpAspect(1600, 1024, x, y);
  EXPECT_EQ(x, static_cast<float>(1600 / 7.76));
}

TEST(Video, UnknownShapesFallBackToTheProjection) {
  float x = 0.0f, y = 0.0f;
  LookUpAspect(1000, 1000, x, y);  // square: no row
  // The plane z = -6 shows 12 tan(22.5 deg) = 4.9706 units in each direction.
  EXPECT_NEAR(y, 1000 / 4.97056, 0.01);
  EXPECT_NEAR(x, 1000 / 4.97056, 0.01);
  LookUpAspect(2560, 1080, x, y);
  EXPECT_NEAR(y, 1080 / 4.97056, 0.01);
  EXPECT_NEAR(x, 2560 / (4.97056 * 2560.0 / 1080.0), 0.01);
}

TEST(Video, TexturesAreNeverReadPastTheirPicture) {
  int w = 256, h = 256;
  TextureUploadSize(256, 256, w, h);
  EXPECT_EQ(w, 256);
  EXPECT_EQ(h, 256);
  TextureUploadSize(64, 32, w, h);  // smaller: its own size
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 32);
  w = 800, h = 300;
  TextureUploadSize(1024, 1024, w, h);  // larger: read at the table's size
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 300);
  w = 256, h = 256;
  TextureUploadSize(1000, 10, w, h);  // fewer pixels in all, though wider
  EXPECT_EQ(w, 1000);
  EXPECT_EQ(h, 10);
}

}  // namespace
