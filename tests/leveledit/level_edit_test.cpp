// The level editor's model: the file's bytes kept, placing, selecting,
// moving, deleting, undo and redo, the grid and the level's file.
#include "leveledit/level_edit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "tooling.h"

namespace {

namespace fs = std::filesystem;

const std::string kSource = ZIRPEL_SOURCE_DIR;

std::string Slurp(const fs::path& path) {
  return tooling::Slurp(path.string());
}

// A small race with a note and trailing blank lines the editor must keep.
const std::string kLevel =
    "BallPosition\n[0,1]\n"                          // 1-2
    "# Boden\n"                                      // 3
    "Plattform.static\n[ -3 , 0 ]\n[14,0]\nwhite\n"  // 4-7
    "Goal.static\n[10,0.5]\n0.4\n"                   // 8-10
    "\n\n";                                          // 11-12

TEST(LevelEdit, EveryShippedLevelAndOddTextsComeBackByteForByte) {
  std::vector<std::string> texts = {
      "",
      "no line end",
      "crlf\r\nlines\r\n",
      "mixed\r\nends\nand a lone cr\r",
      "\n\n\n",
      "BallPosition\n[0,1]\r\n\xe4\xf6\xfc note\n  \t\n",
  };
  for (const auto& e : fs::directory_iterator(kSource + "/res/maps"))
    texts.push_back(Slurp(e.path()));
  for (const std::string& text : texts) {
    const LevelDoc doc = OpenLevel(text, LevelKind::kRace);
    EXPECT_EQ(LevelBytes(doc), text);
    // The lines are the game's lines.
    std::vector<std::string> game = plat::SplitTextLines(text);
    ASSERT_EQ(doc.lines.size(), game.size());
    for (std::size_t i = 0; i < game.size(); ++i) EXPECT_EQ(doc.lines[i].text, game[i]);
    EXPECT_FALSE(LevelChanged(doc));
  }
}

PaletteChoice Choice(LevelObjectType t, PlatformKind k = PlatformKind::Fixed,
                     const char* colour = "white") {
  PaletteChoice c;
  c.type = t;
  c.platformKind = k;
  c.colour = colour;
  return c;
}

struct Placement {
  PaletteChoice choice;
  Point a, b;
  int line;           // the type line the object gets
  std::string added;  // the lines that come in after line 10
};

TEST(LevelEdit, PlacingPutsTheObjectAfterTheLastLineThatIsNotBlank) {
  PaletteChoice text = Choice(LevelObjectType::kText);
  text.text = "Spring!";
  text.counter = 2500;
  const std::vector<Placement> table = {
      {Choice(LevelObjectType::kPlatform, PlatformKind::RightBroken, "red"),
       {1, 2},
       {3.5f, 2},
       11,
       "Plattform.static.destructible.left\n[1,2]\n[3.5,2]\nred\n"},
      {Choice(LevelObjectType::kPlatform, PlatformKind::Intact, "blue"),
       {-0.1f, 0.3f},
       {0.7f, 0.3f},
       11,
       "Plattform.static.destructible\n[-0.1,0.3]\n[0.7,0.3]\nblue\n"},
      {Choice(LevelObjectType::kSphere, PlatformKind::Fixed, "red"),
       {2, 2},
       {2, 2.6f},
       11,
       "Sphere.static\n[2,2]\n0.6\nred\n"},
      {Choice(LevelObjectType::kSphere), {2, 2}, {2, 2}, 11, "Sphere.static\n[2,2]\n0.5\nwhite\n"},
      {Choice(LevelObjectType::kRagdoll, PlatformKind::Fixed, "blue"),
       {4, 3},
       {4, 3},
       11,
       "Sphere.ragdoll\n[4,3]\n0.18\nblue\n"},
      {text, {0, 0}, {0, 2}, 11, "Output.text\n[0,0]\n[0,2]\nSpring!\n2500\n"},
      {Choice(LevelObjectType::kCamera), {5, 3}, {5, 3}, 11, "Startgame.zoomin\n[5,3,6]\n"},
  };
  for (const Placement& p : table) {
    LevelDoc doc = OpenLevel(kLevel, LevelKind::kRace);
    EXPECT_EQ(PlaceObject(doc, p.choice, p.a, p.b), p.line) << p.added;
    EXPECT_EQ(LevelBytes(doc), kLevel.substr(0, kLevel.size() - 2) + p.added + "\n\n");
    EXPECT_TRUE(LevelChanged(doc));
  }
  // Into a file whose last line has no line end, with the file's own ends.
  LevelDoc crlf = OpenLevel("BallPosition\r\n[0,1]", LevelKind::kSurvival);
  EXPECT_EQ(PlaceObject(crlf, Choice(LevelObjectType::kSphere), {1, 1}, {1, 1.25f}), 3);
  EXPECT_EQ(LevelBytes(crlf),
            "BallPosition\r\n[0,1]\r\nSphere.static\r\n[1,1]\r\n0.25\r\nwhite\r\n");
}

TEST(LevelEdit, StartCameraAndGoalExistOnce) {
  // Ball 1's start goes into lines 1 and 2, on whole numbers.
  LevelDoc doc = OpenLevel("Plattform.static\n[0,0]\n[1,0]\nwhite\n", LevelKind::kRace);
  EXPECT_EQ(PlaceObject(doc, Choice(LevelObjectType::kBallStart), {2.5f, 3.4f}, {}), 1);
  EXPECT_EQ(LevelBytes(doc), "BallPosition\n[2,3]\nPlattform.static\n[0,0]\n[1,0]\nwhite\n");
  EXPECT_EQ(PlaceObject(doc, Choice(LevelObjectType::kBallStart), {-1.6f, 0}, {}), 1);
  EXPECT_EQ(doc.lines[1].text, "[-2,0]");
  // A second goal moves the goal and takes the placed kind and size.
  doc = OpenLevel(kLevel, LevelKind::kRace);
  EXPECT_EQ(PlaceObject(doc, Choice(LevelObjectType::kGoalRagdoll), {7, 1}, {7, 1}), 8);
  EXPECT_EQ(LevelBytes(doc),
            "BallPosition\n[0,1]\n# Boden\nPlattform.static\n[ -3 , 0 ]\n[14,0]\n"
            "white\nGoal.ragdoll\n[7,1]\n0.4\n\n\n");
  // A second camera keeps the first one's distance.
  doc = OpenLevel("Startgame.zoomin\n[5,3,9]\n", LevelKind::kRace);
  EXPECT_EQ(PlaceObject(doc, Choice(LevelObjectType::kCamera), {1, 1}, {}), 1);
  EXPECT_EQ(LevelBytes(doc), "Startgame.zoomin\n[1,1,9]\n");
}

TEST(LevelEdit, HitTestFindsEndsAndRimsBeforeBodies) {
  const std::vector<LevelObject> objects = LevelObjects(OpenLevel(
      kLevel + "Sphere.static\n[2,3]\n0.5\nred\nStartgame.zoomin\n[5,5,6]\n", LevelKind::kRace));
  struct Probe {
    Point p;
    int line;
    HitPart part;
  };
  const Probe probes[] = {
      {{-3, 0.05f}, 4, HitPart::kEndA},  {{13.95f, 0}, 4, HitPart::kEndB},
      {{5, 0.1f}, 4, HitPart::kBody},    {{5, 0.3f}, 0, HitPart::kNone},
      {{10, 0.5f}, 8, HitPart::kBody},   {{10.4f, 0.5f}, 8, HitPart::kRim},
      {{2, 3.52f}, 13, HitPart::kRim},   {{2.1f, 3}, 13, HitPart::kBody},
      {{0, 1.1f}, 1, HitPart::kBody},    {{5.05f, 5}, 17, HitPart::kBody},
      {{9.9f, 0.3f}, 8, HitPart::kBody},
  };
  for (const Probe& probe : probes) {
    const Hit hit = HitTest(objects, probe.p, 0.1f);
    EXPECT_EQ(hit.line, probe.line) << probe.p.x << "," << probe.p.y;
    EXPECT_EQ(hit.part, probe.part) << probe.p.x << "," << probe.p.y;
  }
}

TEST(LevelEdit, MovingRewritesOnlyTheLinesWhoseValueChanges) {
  LevelDoc doc = OpenLevel(kLevel, LevelKind::kRace);
  // End B moves; end A keeps its own way of writing.
  EXPECT_EQ(MoveEnd(doc, 4, HitPart::kEndB, SnapToGrid({12.04f, 1.96f})), 4);
  EXPECT_EQ(doc.lines[4].text, "[ -3 , 0 ]");
  EXPECT_EQ(doc.lines[5].text, "[12,2]");
  // The body moves by a delta: both ends.
  EXPECT_EQ(MoveObject(doc, 4, {0.1f, -0.2f}), 4);
  EXPECT_EQ(doc.lines[4].text, "[-2.9,-0.2]");
  EXPECT_EQ(doc.lines[5].text, "[12.1,1.8]");
  // The goal's rim sets its radius.
  EXPECT_EQ(MoveEnd(doc, 8, HitPart::kRim, {10, 1.25f}), 8);
  EXPECT_EQ(doc.lines[9].text, "0.75");
  // Ball 1's start moves in whole numbers.
  EXPECT_EQ(MoveObject(doc, 1, {1.4f, 0}), 1);
  EXPECT_EQ(doc.lines[1].text, "[1,1]");
  // Parts an object lacks, and objects that are not there, do nothing.
  const std::string before = LevelBytes(doc);
  EXPECT_EQ(MoveEnd(doc, 8, HitPart::kEndA, {0, 0}), 0);
  EXPECT_EQ(MoveObject(doc, 3, {1, 1}), 0);
  EXPECT_EQ(LevelBytes(doc), before);
  // A change of the platform's kind and colour keeps its ends.
  LevelObject v = LevelObjects(doc)[1];
  v.platformKind = PlatformKind::BothBroken;
  v.colour = "blue";
  EXPECT_EQ(SetObject(doc, 4, v), 4);
  EXPECT_EQ(doc.lines[3].text, "Plattform.static.destructible.both");
  EXPECT_EQ(doc.lines[4].text, "[-2.9,-0.2]");
  EXPECT_EQ(doc.lines[6].text, "blue");
  v.type = LevelObjectType::kSphere;  // another layout: refused
  EXPECT_EQ(SetObject(doc, 4, v), 0);
}

TEST(LevelEdit, DeletingRemovesTheObjectsLinesOnly) {
  LevelDoc doc = OpenLevel(kLevel, LevelKind::kRace);
  EXPECT_TRUE(DeleteObject(doc, 4));
  EXPECT_EQ(LevelBytes(doc), "BallPosition\n[0,1]\n# Boden\nGoal.static\n[10,0.5]\n0.4\n\n\n");
  EXPECT_FALSE(DeleteObject(doc, 3));  // a note is no object
  // An object cut short by the next one loses only its own lines; SetObject
  // writes the lines it lacks.
  doc = OpenLevel("Sphere.static\n[1,1]\nGoal.static\n[2,2]\n0.3\n", LevelKind::kRace);
  LevelObject sphere = LevelObjects(doc)[0];
  sphere.radius = 0.5f;
  sphere.colour = "red";
  EXPECT_EQ(SetObject(doc, 1, sphere), 1);
  EXPECT_EQ(LevelBytes(doc), "Sphere.static\n[1,1]\n0.5\nred\nGoal.static\n[2,2]\n0.3\n");
  EXPECT_TRUE(DeleteObject(doc, 5));
  EXPECT_TRUE(DeleteObject(doc, 1));
  EXPECT_EQ(LevelBytes(doc), "");
}

TEST(LevelEdit, UndoAndRedoWalkAtLeastAHundredSteps) {
  LevelDoc doc = OpenLevel(kLevel, LevelKind::kRace);
  std::vector<std::string> states{LevelBytes(doc)};
  PaletteChoice platform;
  for (int i = 0; i < 150; ++i) {
    if (i % 3 == 2) {
      ASSERT_TRUE(DeleteObject(doc, LevelObjects(doc).back().line));
    } else {
      PlaceObject(doc, platform, {static_cast<float>(i), 2}, {static_cast<float>(i) + 1, 2});
    }
    states.push_back(LevelBytes(doc));
  }
  for (int i = 150; i > 0; --i) {
    ASSERT_TRUE(Undo(doc));
    ASSERT_EQ(LevelBytes(doc), states[static_cast<std::size_t>(i - 1)]) << i;
  }
  EXPECT_FALSE(Undo(doc));
  EXPECT_FALSE(LevelChanged(doc));
  for (int i = 1; i <= 150; ++i) {
    ASSERT_TRUE(Redo(doc));
    ASSERT_EQ(LevelBytes(doc), states[static_cast<std::size_t>(i)]) << i;
  }
  EXPECT_FALSE(Redo(doc));
  // A new edit drops what could be redone.
  Undo(doc);
  MoveObject(doc, 4, {1, 0});
  EXPECT_FALSE(Redo(doc));
  // A drag made of many moves is one step.
  const std::string beforeDrag = LevelBytes(doc);
  MoveObject(doc, 4, {0.1f, 0});
  for (int i = 0; i < 10; ++i) {
    ContinueStep(doc);
    MoveObject(doc, 4, {0.1f, 0});
  }
  EXPECT_NE(LevelBytes(doc), beforeDrag);
  Undo(doc);
  EXPECT_EQ(LevelBytes(doc), beforeDrag);
}

TEST(LevelEdit, GridAndFindingsPerObject) {
  EXPECT_EQ(FormatPoint(SnapToGrid({0.349f, -1.251f}).x, SnapToGrid({0.349f, -1.251f}).y),
            "[0.3,-1.3]");
  EXPECT_EQ(FormatPoint(SnapToGrid({2.06f, 7.96f}).x, SnapToGrid({2.06f, 7.96f}).y), "[2.1,8]");
  // The palette starts on a white static platform.
  const std::vector<PaletteEntry> palette = Palette();
  ASSERT_FALSE(palette.empty());
  EXPECT_EQ(palette[0].choice.type, LevelObjectType::kPlatform);
  EXPECT_EQ(palette[0].choice.platformKind, PlatformKind::Fixed);
  EXPECT_EQ(palette[0].choice.colour, "white");
  EXPECT_EQ(palette.size(), 15u + 6u + 5u);

  LevelDoc doc = OpenLevel(kLevel, LevelKind::kRace);
  EXPECT_TRUE(CheckLevel(doc).empty());
  LevelObject goal = LevelObjects(doc)[2];
  goal.a = Point{10, 0};
  SetObject(doc, 8, goal);
  const std::vector<MapFinding> findings = CheckLevel(doc);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].code, "goal-inside-platform");
  EXPECT_EQ(findings[0].objectLine, 8);
  EXPECT_EQ(ObjectOfLine(LevelObjects(doc), 10), 8);
  EXPECT_EQ(ObjectOfLine(LevelObjects(doc), 3), 0);
  EXPECT_EQ(FindingLine(findings[0]), "8: warning: das Ziel liegt in der Plattform aus Zeile 4");

  Point low, high;
  ASSERT_TRUE(LevelExtent(LevelObjects(doc), low, high));
  EXPECT_EQ(FormatPoint(low.x, low.y), "[-3,-0.4]");
  EXPECT_EQ(FormatPoint(high.x, high.y), "[14,1.18]");
  EXPECT_FALSE(LevelExtent({}, low, high));
}

TEST(LevelEdit, ACopyGetsTheFirstFreeName) {
  EXPECT_EQ(CopyName("01 Erste Schritte.mapGame1", {}), "01 Erste Schritte Kopie.mapGame1");
  EXPECT_EQ(CopyName("Insel.mapGame2", {"insel kopie.mapgame2", "Insel Kopie 2.mapGame2"}),
            "Insel Kopie 3.mapGame2");
}

TEST(LevelEdit, SavingWritesTheWholeFileAndMarksItSaved) {
  const fs::path dir =
      fs::temp_directory_path() / ("zirpel-leveledit-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "Mein Level.mapGame2").string();
  std::ofstream(path, std::ios::binary) << kLevel;
  LevelDoc doc;
  std::string why;
  ASSERT_TRUE(ReadLevelFile(path, doc, why)) << why;
  EXPECT_EQ(doc.kind, LevelKind::kSurvival);
  ASSERT_TRUE(WriteLevelFile(path, doc, why)) << why;  // unchanged: written all the same
  EXPECT_EQ(Slurp(path), kLevel);
  DeleteObject(doc, 8);
  EXPECT_TRUE(LevelChanged(doc));
  ASSERT_TRUE(WriteLevelFile(path, doc, why)) << why;
  EXPECT_FALSE(LevelChanged(doc));
  EXPECT_EQ(Slurp(path), LevelBytes(doc));
  Undo(doc);
  EXPECT_TRUE(LevelChanged(doc));
  EXPECT_FALSE(ReadLevelFile((dir / "none.mapGame1").string(), doc, why));
  EXPECT_FALSE(why.empty());
  fs::remove_all(dir);
}

}  // namespace
