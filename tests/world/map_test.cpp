// Map text: loading, the line accessors, parameter-line parsing, number
// formatting and the parsed-object cache.
#include "world/map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "mapfile/map_file.h"

namespace {

namespace fs = std::filesystem;

fs::path TempDir() {
  fs::path dir =
      fs::temp_directory_path() /
      ("zirpel-map-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(MapParse, NumbersFollowTheConversionRules) {
  EXPECT_EQ(ParseNumber("1.5"), 1.5);
  EXPECT_EQ(ParseNumber("   -2"), -2.0);
  EXPECT_EQ(ParseNumber("\t+3.25xyz"), 3.25);
  EXPECT_EQ(ParseNumber(" 4 "), 4.0);
  EXPECT_EQ(ParseNumber(".5"), 0.5);
  EXPECT_EQ(ParseNumber("-.25"), -0.25);
  EXPECT_EQ(ParseNumber("7."), 7.0);
  EXPECT_EQ(ParseNumber("1e3"), 1000.0);
  EXPECT_EQ(ParseNumber("1E-2"), 0.01);
  EXPECT_EQ(ParseNumber("2.5d2"), 250.0);
  EXPECT_EQ(ParseNumber("-3D+1"), -30.0);
  EXPECT_EQ(ParseNumber("1.5e"), 1.5);  // exponent without digits is trailing text
  EXPECT_EQ(ParseNumber("1.5e+x"), 1.5);
  EXPECT_EQ(ParseNumber("&HFF"), 255.0);
  EXPECT_EQ(ParseNumber("  &h1a"), 26.0);
  EXPECT_EQ(ParseNumber("&O17"), 15.0);
  EXPECT_EQ(ParseNumber("&B101"), 5.0);
  EXPECT_EQ(ParseNumber("&B102"), 2.0);  // the first digit the radix lacks ends it
  EXPECT_EQ(ParseNumber("&X12"), 0.0);
  EXPECT_EQ(ParseNumber(""), 0.0);
  EXPECT_EQ(ParseNumber("abc"), 0.0);
  EXPECT_EQ(ParseNumber("-"), 0.0);
  EXPECT_EQ(ParseNumber("."), 0.0);
  EXPECT_EQ(ParseNumber("e5"), 0.0);
  EXPECT_EQ(ParseNumber("1e-999"), 0.0);
  EXPECT_TRUE(std::isinf(ParseNumber("1e999")));
  EXPECT_EQ(ParseNumber("&HFFFFFFFFFFFFFFFFFFFF"), 18446744073709551615.0);  // saturates
}

TEST(MapParse, PointsDropTheOuterCharactersAndSplitAtTheFirstComma) {
  Point p = ParsePoint("[1.5,-2]");
  EXPECT_EQ(p.x, 1.5f);
  EXPECT_EQ(p.y, -2.0f);
  p = ParsePoint("[ 3 , 4 ]");
  EXPECT_EQ(p.x, 3.0f);
  EXPECT_EQ(p.y, 4.0f);
  p = ParsePoint("(3,4)");
  EXPECT_EQ(p.x, 3.0f);
  EXPECT_EQ(p.y, 4.0f);
  p = ParsePoint("3,4");  // no brackets: the '3' and the '4' are lost
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(p.y, 0.0f);
  p = ParsePoint("[7]");  // no comma: x is 0, y the whole inner text
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(p.y, 7.0f);
  p = ParsePoint("[1,2,3]");
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_EQ(p.y, 2.0f);
  p = ParsePoint("");
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(p.y, 0.0f);
  p = ParsePoint("[");
  EXPECT_EQ(p.y, 0.0f);

  Triple t = ParseTriple("[0,2,12]");
  EXPECT_EQ(t.x, 0.0f);
  EXPECT_EQ(t.y, 2.0f);
  EXPECT_EQ(t.z, 12.0f);
  t = ParseTriple("[-1.5, 2d1 ,&H10]");
  EXPECT_EQ(t.x, -1.5f);
  EXPECT_EQ(t.y, 20.0f);
  EXPECT_EQ(t.z, 16.0f);
  t = ParseTriple("[1,2]");  // one comma: the rest has none, so y is 0
  EXPECT_EQ(t.x, 1.0f);
  EXPECT_EQ(t.y, 0.0f);
  EXPECT_EQ(t.z, 2.0f);
}

TEST(MapParse, FormattingUsesSevenSignificantDigitsOfAFloat) {
  EXPECT_EQ(FormatPoint(0.1f, 2.0f), "[0.1,2]");
  EXPECT_EQ(FormatPoint(-0.000012f, 1234567.8f), "[-1.2e-05,1234568]");
  EXPECT_EQ(FormatPoint(1.72f, 0.0f), "[1.72,0]");
  EXPECT_EQ(FormatFloat7(-3.5f), "-3.5");
  EXPECT_EQ(FormatFloat7(100.0f), "100");
  EXPECT_EQ(FormatFloat7(1.0e10f), "1e+10");
  EXPECT_EQ(FormatFloat7(0.3f), "0.3");
  EXPECT_EQ(FormatFloat7(2.0f / 3.0f), "0.6666667");
  EXPECT_EQ(FormatDouble16(0.1), "0.1");
  EXPECT_EQ(FormatDouble16(1.0 / 3.0), "0.3333333333333333");
  EXPECT_EQ(FormatDouble16(12.5), "12.5");
  // Written points read back as the same floats.
  for (float v : {1.72f, -0.000012f, 123.456f, 2.28f, -7.0f}) {
    Point p = ParsePoint(FormatPoint(v, -v));
    EXPECT_EQ(p.x, v);
    EXPECT_EQ(p.y, -v);
  }
}

TEST(MapText, LinesOutsideTheMapReadAsEmptyAndCannotBeWritten) {
  MapText map = MapFromLines({"Plattform.static", "[0,0]", "[1,0]"});
  EXPECT_EQ(map.Line(1), "Plattform.static");
  EXPECT_EQ(map.Line(4), "");
  EXPECT_EQ(map.Line(0), "");
  EXPECT_EQ(map.Line(-3), "");
  const std::uint64_t before = map.revision;
  map.SetLine(4, "x");
  map.SetLine(0, "x");
  EXPECT_EQ(map.MapLineCount, 3);
  EXPECT_EQ(map.MapLines.size(), 4u);
  EXPECT_EQ(map.revision, before);
  map.SetLine(2, "[5,5]");
  EXPECT_EQ(map.Line(2), "[5,5]");
  EXPECT_GT(map.revision, before);

  AppendMapLines(map, "a", "b", "c", "d");
  EXPECT_EQ(map.MapLineCount, 7);
  EXPECT_EQ(map.Line(4), "a");
  EXPECT_EQ(map.Line(7), "d");
  EXPECT_EQ(map.Line(1), "Plattform.static");
}

TEST(MapText, LoadReadsEveryLineAndMissingFilesReadEmpty) {
  const fs::path dir = TempDir();
  {
    std::ofstream out(dir / "a.startmap", std::ios::binary);
    out << "Plattform.static\r\n[0,0]\r\n[ 2 ,1]\n white \n\n\n";
  }
  MapText map;
  LoadMap(map, (dir / "a.startmap").string());
  ASSERT_EQ(map.MapLineCount, 6);
  EXPECT_EQ(map.Line(1), "Plattform.static");
  EXPECT_EQ(map.Line(3), "[ 2 ,1]");
  EXPECT_EQ(map.Line(4), " white ");  // lines stay exactly as read
  EXPECT_EQ(map.Line(6), "");
  const std::uint64_t loaded = map.revision;

  LoadMap(map, (dir / "missing.startmap").string());
  EXPECT_EQ(map.MapLineCount, 0);
  EXPECT_EQ(map.Line(1), "");
  EXPECT_GT(map.revision, loaded);

  LoadMap(map, dir.string());  // a directory
  EXPECT_EQ(map.MapLineCount, 0);
  fs::remove_all(dir);
}

// The map file's bounds at their edge and one past, with a platform whose
// last line ends exactly at the bound; the text of a file reads as the file.
TEST(MapText, EveryBoundAtItsEdgeAndOnePast) {
  const fs::path dir = TempDir();
  const std::string platform = "Plattform.static\r\n[0,0]\r\n[2,1]\r\nred";
  // Lines of x, n bytes in all, none longer than a map line may be.
  auto bytes = [](std::size_t n) {
    std::string text;
    for (; n > 4096; n -= 4096) text += std::string(4095, 'x') + "\n";
    return text + std::string(n - 1, 'x') + "\n";
  };
  std::string lines;
  for (std::size_t i = 0; i + 4 < kMaxMapLines; ++i) lines += "x\n";
  const struct {
    const char* name;
    std::string text;
    int lineCount;
    ColourWord colour;  // of the last platform
    std::size_t lastLineBytes;
  } cases[] = {
      {"a platform ending at the end", platform, 4, ColourWord::Red, 3},
      {"and a line end", platform + "\r\n", 4, ColourWord::Red, 3},
      {"a byte short", platform.substr(0, platform.size() - 1), 4, ColourWord::Other, 2},
      {"a line short", platform.substr(0, platform.size() - 5), 3, ColourWord::Other, 5},
      {"ending on line 1000000", lines + platform, static_cast<int>(kMaxMapLines), ColourWord::Red,
       3},
      {"ending on line 1000001", "x\n" + lines + platform, static_cast<int>(kMaxMapLines),
       ColourWord::Other, 5},
      {"ending at 64 MiB", bytes(kMaxMapBytes - platform.size()) + platform, 16388, ColourWord::Red,
       3},
      {"ending a byte past it", bytes(kMaxMapBytes - platform.size() + 1) + platform, 16388,
       ColourWord::Other, 2},
      {"a last line of 4096 bytes", platform + std::string(kMaxMapLineBytes - 3, 'd'), 4,
       ColourWord::Other, kMaxMapLineBytes},
      {"a last line of 4097 bytes", platform + std::string(kMaxMapLineBytes - 2, 'd'), 4,
       ColourWord::Other, kMaxMapLineBytes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    { std::ofstream(dir / "a.mapGame1", std::ios::binary) << c.text; }
    MapText map;
    LoadMap(map, (dir / "a.mapGame1").string());
    ASSERT_EQ(map.MapLineCount, c.lineCount);
    EXPECT_EQ(map.Line(map.MapLineCount).size(), c.lastLineBytes);
    const std::vector<MapPlatform>& platforms = MapObjects(map).platforms;
    ASSERT_FALSE(platforms.empty());
    EXPECT_EQ(platforms.back().colour, c.colour);
    EXPECT_TRUE(platforms.back().usable);
    MapText fromText;
    SetMapText(fromText, c.text);
    EXPECT_TRUE(fromText.MapLines == map.MapLines);
  }
  fs::remove_all(dir);
}

TEST(MapObjects, TheCacheParsesObjectsAndSeesEveryRewrite) {
  MapText map = MapFromLines({"note", "Plattform.static.destructible", "[4,1]", "[0,0]", "red",
                              "Sphere.static", "[1,2]", "0.5", "blue", "plattform.static", "[0,0]",
                              "[1,1]", "white", "Plattform.static", "[1,1]", "[1,1]", "white",
                              "Plattform.static.destructible.left"});
  const MapObjectCache* objects = &MapObjects(map);
  ASSERT_EQ(objects->platforms.size(), 3u);  // wrong case is no type word
  const MapPlatform& p = objects->platforms[0];
  EXPECT_EQ(p.line, 2);
  EXPECT_EQ(p.kind, PlatformKind::Intact);
  EXPECT_EQ(p.colour, ColourWord::Red);
  EXPECT_TRUE(p.usable);
  EXPECT_EQ(p.leftX, 0.0f);  // ordered by x
  EXPECT_EQ(p.rightX, 4.0f);
  EXPECT_EQ(p.yLo, 0.0f);
  EXPECT_EQ(p.yHi, 1.0f);
  EXPECT_FALSE(objects->platforms[1].usable);  // both ends equal
  // A type line among the last lines reads missing lines as empty.
  const MapPlatform& last = objects->platforms[2];
  EXPECT_EQ(last.line, 18);
  EXPECT_EQ(last.kind, PlatformKind::RightBroken);
  EXPECT_EQ(last.colour, ColourWord::Other);
  EXPECT_FALSE(last.usable);  // (0,0) to (0,0)
  ASSERT_EQ(objects->spheres.size(), 1u);
  EXPECT_EQ(objects->spheres[0].centre.x, 1.0f);
  EXPECT_EQ(objects->spheres[0].radius, 0.5f);
  EXPECT_EQ(objects->spheres[0].colour, ColourWord::Blue);

  EXPECT_EQ(&MapObjects(map), objects);
  map.SetLine(3, "[8,1]");
  objects = &MapObjects(map);
  EXPECT_EQ(objects->platforms[0].rightX, 8.0f);
  map.SetLine(2, "Plattform.static.destructible.destroyed");
  EXPECT_EQ(MapObjects(map).platforms.size(), 2u);
  AppendMapLines(map, "Plattform.static", "[0,5]", "[2,5]", "blue");
  ASSERT_EQ(MapObjects(map).platforms.size(), 3u);
  EXPECT_EQ(MapObjects(map).platforms[2].line, 19);
  EXPECT_EQ(FirstPlatformAfter(MapObjects(map), 14), 1u);
  EXPECT_EQ(FirstPlatformAfter(MapObjects(map), 18), 2u);
  EXPECT_EQ(FirstPlatformAfter(MapObjects(map), 19), 3u);

  // Numbers past the float range make an object unusable, never infinite.
  MapText huge = MapFromLines(
      {"Plattform.static", "[0,0]", "[1e39,0]", "white", "Sphere.static", "[0,0]", "1e40", "red"});
  EXPECT_FALSE(MapObjects(huge).platforms[0].usable);
  EXPECT_FALSE(MapObjects(huge).spheres[0].usable);
}

TEST(MapObjects, RewritesKeepTheCacheEqualToAFreshParse) {
  // Random rewrites of a map whose objects overlap (a type word on another
  // object's point line, objects at the very end): after each one the cache
  // the rewrites kept up to date equals a parse of the text from scratch.
  const std::vector<std::string> words = {"Plattform.static",
                                          "Plattform.static.destructible",
                                          "Plattform.static.destructible.left",
                                          "Plattform.static.destructible.destroyed",
                                          "Sphere.static",
                                          "[0,0]",
                                          "[1,2]",
                                          "[-3,0.5]",
                                          "0.5",
                                          "red",
                                          "blue",
                                          "white",
                                          "",
                                          "note",
                                          "Output.text",
                                          "FontEvent.static.Activ"};
  std::mt19937 rng(1207);
  auto word = [&] { return words[rng() % words.size()]; };
  auto same = [](const MapObjectCache& a, const MapObjectCache& b) {
    if (a.platforms.size() != b.platforms.size() || a.spheres.size() != b.spheres.size() ||
        a.boxes.size() != b.boxes.size() || a.triggers.size() != b.triggers.size())
      return false;
    for (size_t i = 0; i < a.triggers.size(); ++i) {
      if (a.triggers[i].line != b.triggers[i].line) return false;
    }
    for (size_t i = 0; i < a.platforms.size(); ++i) {
      const MapPlatform &p = a.platforms[i], &q = b.platforms[i];
      if (p.line != q.line || p.kind != q.kind || p.colour != q.colour || p.usable != q.usable ||
          p.a.x != q.a.x || p.a.y != q.a.y || p.b.x != q.b.x || p.b.y != q.b.y ||
          (p.usable && a.boxes[i].leftX != b.boxes[i].leftX))
        return false;
    }
    for (size_t i = 0; i < a.spheres.size(); ++i) {
      if (a.spheres[i].line != b.spheres[i].line || a.spheres[i].radius != b.spheres[i].radius ||
          a.spheres[i].colour != b.spheres[i].colour)
        return false;
    }
    return true;
  };
  for (int round = 0; round < 50; ++round) {
    std::vector<std::string> lines;
    for (int i = 0; i < 12; ++i) lines.push_back(word());
    MapText map = MapFromLines(lines);
    MapObjects(map);
    for (int step = 0; step < 40; ++step) {
      if (rng() % 5 == 0) {
        AppendMapLines(map, word(), word(), word(), word());
      } else {
        map.SetLine(1 + static_cast<int>(rng() % static_cast<unsigned>(map.MapLineCount)), word());
      }
      std::vector<std::string> text(map.MapLines.begin() + 1, map.MapLines.end());
      const MapText fresh = MapFromLines(text);
      ASSERT_EQ(map.cache.revision, map.revision);  // kept up to date, not rebuilt
      ASSERT_TRUE(same(map.cache, MapObjects(fresh))) << "round " << round << " step " << step;
      ASSERT_TRUE(same(MapObjects(map), MapObjects(fresh)));
    }
  }
}

}  // namespace
