// Level selection: the boxes' strict bounds, pointer conversion, the cursor's
// wrap-around, the level listing and the display names.
#include "frontend/level_select.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(LevelSelectGeometry, BoxesAreOpen) {
  // Row 1 spans y in (1.64 - 1/3, 1.9 - 1/3) = (1.3067, 1.5667).
  EXPECT_TRUE(InsideLevelBox(1, 0.0f, 1.4f));
  EXPECT_FALSE(InsideLevelBox(1, -0.5f, 1.4f));
  EXPECT_FALSE(InsideLevelBox(1, 1.6f, 1.4f));
  EXPECT_FALSE(InsideLevelBox(2, 0.0f, 1.4f));
  EXPECT_TRUE(InsideLevelBox(5, 0.0f, 0.0f));  // row 5 reaches down past y = 0
  EXPECT_EQ(ModeAt(-1.5f, 1.4f), 1);
  EXPECT_EQ(ModeAt(-1.5f, 1.1f), 2);
  EXPECT_EQ(ModeAt(-1.5f, 1.25f), 0);  // the gap between the boxes
  EXPECT_EQ(ModeAt(-0.8f, 1.4f), 0);
  EXPECT_EQ(ModeAt(-1.5f, 0.5f), 0);
}

TEST(LevelSelectGeometry, RowsWrapAround) {
  EXPECT_EQ(WrapRow(1, -1, 5), 5);
  EXPECT_EQ(WrapRow(5, +1, 5), 1);
  EXPECT_EQ(WrapRow(2, +1, 5), 3);
  EXPECT_EQ(WrapRow(1, +1, 1), 1);
  EXPECT_EQ(WrapRow(7, +1, 3), 1);  // a row beyond a shorter list comes back
}

TEST(LevelSelectListing, SortedPlainFilesOfTheModeOnly) {
  const fs::path root = fs::temp_directory_path() / ("zirpel-select-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "res" / "maps" / "d.mapGame1");
  for (const char* name : {"b.mapGame1", "a.mapGame1", "x.mapGame1.bak", "s.mapGame2"}) {
    std::ofstream(root / "res" / "maps" / name) << "BallPosition\n[0,1]\n";
  }
  const fs::path old = fs::current_path();
  fs::current_path(root);
  const std::vector<std::string> race = ListLevels(1);
  const std::vector<std::string> survival = ListLevels(2);
  fs::current_path(old);
  fs::remove_all(root);
  EXPECT_EQ(race, (std::vector<std::string>{"a.mapGame1", "b.mapGame1"}));
  EXPECT_EQ(survival, (std::vector<std::string>{"s.mapGame2"}));
  EXPECT_EQ(DisplayName("01 Erste Schritte.mapGame1"), "01 Erste Schritte");
  EXPECT_EQ(DisplayName(""), "");
}

}  // namespace
