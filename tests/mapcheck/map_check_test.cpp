// The level checker: broken levels and the finding each must get, the
// shipped levels clean, the ways findings are told and the program.
#include "mapcheck/map_check.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "e2e/runner_harness.h"
#include "mapfile/map_file.h"
#include "sim/level_objects.h"
#include "sim/sim_state.h"

namespace {

namespace fs = std::filesystem;

const std::string kSource = ZIRPEL_SOURCE_DIR;

// A fair race of 11 lines: ball 1 drops onto a long platform, the goal rests
// on it further right. Lines added after it start at line 12.
const std::string kRace =
    "BallPosition\n[0,1]\n"                      // 1-2
    "Startgame.zoomin\n[5,3,6]\n"                // 3-4
    "Plattform.static\n[-3,0]\n[14,0]\nwhite\n"  // 5-8
    "Goal.static\n[10,0.5]\n0.4\n";              // 9-11
// The same ground as a survival level, without the goal (8 lines).
const std::string kSurvival =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[5,3,6]\n"
    "Plattform.static\n[-3,0]\n[14,0]\nwhite\n";

// text with line k (1-based) replaced.
std::string WithLine(const std::string& text, int k, const std::string& line) {
  std::size_t from = 0;
  for (int i = 1; i < k; ++i) from = text.find('\n', from) + 1;
  const std::size_t to = text.find('\n', from);
  return text.substr(0, from) + line + text.substr(to);
}

std::string Repeat(const std::string& text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

struct Broken {
  const char* what;
  LevelKind kind;
  std::string text;
  const char* code;
  int line;
};

std::vector<Broken> BrokenLevels() {
  const LevelKind race = LevelKind::kRace, survival = LevelKind::kSurvival;
  const std::string sphere = "Sphere.static\n[20,5]\n0.3\nwhite\n";
  return {
      // Parameter lines missing.
      {"platform cut by the end", race, kRace + "Plattform.static\n[0,0]\n[1,0]\n", "missing-lines",
       12},
      {"sphere runs into the next object", race,
       kRace + "Sphere.static\n[3,3]\n0.5\nPlattform.static\n[4,4]\n[5,4]\nwhite\n",
       "missing-lines", 12},
      {"text trigger without counter", race, kRace + "Output.text\n[0,0]\n[1,0]\nHallo\n",
       "missing-lines", 12},
      {"lone start word", race, "BallPosition\n", "missing-lines", 1},
      {"goal without radius", race, WithLine(kRace, 11, "Goal.ragdoll") + "[1,1]\n0.3\n",
       "missing-lines", 9},
      // Points and triples.
      {"point without closing bracket", race, WithLine(kRace, 6, "[-3,0"), "bad-point", 6},
      {"point in round brackets", race, WithLine(kRace, 7, "(14,0)"), "bad-point", 7},
      {"point with a semicolon", race, WithLine(kRace, 2, "[0;1]"), "bad-point", 2},
      {"point of three numbers", race, WithLine(kRace, 10, "[10,0.5,1]"), "bad-point", 10},
      {"empty point", race, WithLine(kRace, 6, ""), "bad-point", 6},
      {"point of letters", race, WithLine(kRace, 7, "[x,y]"), "bad-point", 7},
      {"point with trailing text", race, WithLine(kRace, 7, "[14,0m]"), "bad-point", 7},
      {"point of one number", race, WithLine(kRace, 10, "[10]"), "bad-point", 10},
      {"triple of two numbers", race, WithLine(kRace, 4, "[5,3]"), "bad-triple", 4},
      {"triple of four numbers", race, WithLine(kRace, 4, "[5,3,6,7]"), "bad-triple", 4},
      // Numbers.
      {"radius in words", race, WithLine(kRace, 11, "gross"), "bad-number", 11},
      {"empty radius", race, kRace + "Sphere.static\n[3,3]\n\nwhite\n", "bad-number", 14},
      {"counter in words", race, kRace + "Output.text\n[0,0]\n[1,0]\nHallo\nviel\n", "bad-number",
       16},
      {"signed radix", race, WithLine(kRace, 11, "-&H10"), "bad-number", 11},
      // Colours.
      {"colour in capitals", race, WithLine(kRace, 8, "White"), "bad-colour", 8},
      {"colour in German", race, WithLine(kRace, 8, "rot"), "bad-colour", 8},
      {"unknown colour", race, WithLine(kRace, 8, "green"), "bad-colour", 8},
      {"ragdoll colour", race, kRace + "Sphere.ragdoll\n[12,3]\n0.2\nbleu\n", "bad-colour", 15},
      // Type words.
      {"start word late", race, kRace + "BallPosition\n[0,1]\n", "ball-position-not-first", 12},
      {"type word in other case", race, WithLine(kRace, 5, "Plattform.Static"),
       "misspelt-type-word", 5},
      {"type word missing a letter", race, WithLine(kRace, 5, "Platform.static"),
       "misspelt-type-word", 5},
      {"type word with a letter off", race, WithLine(kRace, 9, "Goal.statik"), "misspelt-type-word",
       9},
      {"type word with a blank", race, kRace + "Sphere.static \n[3,3]\n0.5\nwhite\n",
       "misspelt-type-word", 12},
      {"start word in small letters", race, WithLine(kRace, 1, "ballposition"),
       "misspelt-type-word", 1},
      {"type word with letters swapped", race, kRace + "Output.txet\n[0,0]\n[1,0]\nHi\n2000\n",
       "misspelt-type-word", 12},
      {"camera word in other case", race, WithLine(kRace, 3, "Startgame.Zoomin"),
       "misspelt-type-word", 3},
      // Tables.
      {"51 static spheres", race, kRace + Repeat(sphere, 51), "too-many-spheres", 12 + 50 * 4},
      {"static goal beside 50 spheres", race, kRace + Repeat(sphere, 50), "too-many-spheres", 9},
      {"50 balls besides ball 1", race, kRace + Repeat("Sphere.ragdoll\n[20,5]\n0.1\nwhite\n", 49),
       "too-many-balls", 12 + 48 * 4},
      // Bounds.
      {"end beyond the float range", race, WithLine(kRace, 7, "[1e39,0]"), "number-too-large", 7},
      {"radius beyond the float range", race, WithLine(kRace, 11, "1e40"), "number-too-large", 11},
      {"start beyond the whole numbers", race, WithLine(kRace, 2, "[0,2147483648]"),
       "number-too-large", 2},
      {"camera beyond the float range", race, WithLine(kRace, 4, "[1e39,3,6]"), "number-too-large",
       4},
      {"line beyond the line bound", race, kRace + std::string(kMaxMapLineBytes + 1, '#') + "\n",
       "line-too-long", 12},
      {"lines beyond the line bound", race, kRace + std::string(kMaxMapLines, '\n'),
       "too-many-lines", static_cast<int>(kMaxMapLines) + 1},
      // Warnings.
      {"platform of length 0", race, kRace + "Plattform.static\n[2,2]\n[2,2]\nred\n",
       "zero-length-platform", 12},
      {"start inside a platform", race, WithLine(kRace, 2, "[0,0]"), "ball-start-inside", 1},
      {"start inside a sphere", race, kRace + "Sphere.static\n[0.5,1.5]\n0.6\nwhite\n",
       "ball-start-inside", 1},
      {"start inside a loose ball", race, kRace + "Sphere.ragdoll\n[0,1.2]\n0.18\nblue\n",
       "ball-start-inside", 1},
      {"race without a goal", race, kSurvival, "no-goal", 1},
      {"goal inside a platform", race, WithLine(kRace, 10, "[10,0.05]"), "goal-inside-platform", 9},
      {"same platform twice", race, kRace + "Plattform.static\n[14,0]\n[-3,0]\nwhite\n",
       "duplicate-object", 12},
      {"same sphere twice", race, kRace + sphere + sphere, "duplicate-object", 16},
      {"counter never shows", race, kRace + "Output.text\n[0,0]\n[1,0]\nHallo\n20\n",
       "text-never-shown", 16},
      {"race falls out at once", race, WithLine(WithLine(kRace, 2, "[0,-14]"), 7, "[-1,0]"),
       "lost-without-steering", 1},
      {"survival falls out at once", survival, WithLine(kSurvival, 7, "[-1,0]"),
       "lost-without-steering", 1},
      {"race burns at once", race, WithLine(kRace, 8, "red"), "burns-without-steering", 1},
      {"sphere of radius 0", race, kRace + "Sphere.static\n[3,3]\n0\nwhite\n", "bad-radius", 14},
      {"two goals", race, kRace + "Goal.ragdoll\n[12,2]\n0.3\n", "extra-goal", 9},
      {"goal in survival", survival, kSurvival + "Goal.static\n[10,0.5]\n0.4\n", "goal-in-survival",
       9},
      {"destroyed platform", race, kRace + "Plattform.static.destructible.destroyed\n",
       "destroyed-platform", 12},
      {"goal in the menu", LevelKind::kMenu, "Goal.static\n[1,1]\n0.4\n", "ignored-in-menu", 1},
      {"menu colour", LevelKind::kMenu, "Plattform.static\n[0,0]\n[1,0]\nwite\n", "bad-colour", 4},
      {"line ends of another system", race,
       "BallPosition\r\n[0,1]\r\nPlattform.static\r\n[-3,0]\r\n[14 0]\r\nwhite\r\n", "bad-point",
       5},
  };
}

TEST(MapCheck, EachBrokenLevelGetsItsFindingAtItsLine) {
  const std::vector<Broken> levels = BrokenLevels();
  EXPECT_GE(levels.size(), 40u);
  std::set<std::string> codesSeen;
  for (const Broken& b : levels) {
    const std::vector<MapFinding> findings = CheckMapText(b.text, b.kind);
    std::set<int> typeLines;
    for (const LevelObject& o : ListLevelObjects(MapOfBytes(b.text))) typeLines.insert(o.line);
    std::string told;
    bool found = false;
    for (const MapFinding& f : findings) {
      told += CompilerLine("x", f) + "\n";
      found = found || (f.code == b.code && f.line == b.line);
      // A finding names an object only by a type line the game reads.
      EXPECT_TRUE(f.objectLine == 0 || typeLines.count(f.objectLine)) << b.what << ": " << f.code;
    }
    EXPECT_TRUE(found) << b.what << ": wanted " << b.code << " at " << b.line << ", got\n" << told;
    codesSeen.insert(b.code);
  }
  // Every code the checker knows is shown by one level here, except the
  // file's byte bound, which has a test of its own.
  for (int i = 0; i < kFindingCodeCount; ++i) {
    if (std::string(kFindingCodes[i]) == "file-too-large") continue;
    EXPECT_TRUE(codesSeen.count(kFindingCodes[i])) << kFindingCodes[i];
  }
}

TEST(MapCheck, AFairLevelHasNoFindingAndErrorsSayWhatTheGameReads) {
  EXPECT_TRUE(CheckMapText(kRace, LevelKind::kRace).empty());
  EXPECT_TRUE(CheckMapText(kSurvival, LevelKind::kSurvival).empty());
  // Blanks around numbers, exponents and radix numbers are read as written.
  EXPECT_TRUE(
      CheckMapText(WithLine(WithLine(kRace, 7, "[ 14 , 0.0e0 ]"), 11, "&H1 "), LevelKind::kRace)
          .empty());
  // A number line with text after its number reads as its number.
  EXPECT_TRUE(CheckMapText(WithLine(kRace, 11, "0.4 Einheiten"), LevelKind::kRace).empty());

  const std::vector<MapFinding> f = CheckMapText(WithLine(kRace, 6, "[-3;0]"), LevelKind::kRace);
  ASSERT_FALSE(f.empty());
  EXPECT_EQ(f[0].message, "\"[-3;0]\" ist kein Punkt [x,y] aus Zahlen: das Spiel liest [0,-3]");
  EXPECT_EQ(f[0].objectLine, 5);
  const std::vector<MapFinding> g =
      CheckMapText(WithLine(kRace, 5, "Platform.static"), LevelKind::kRace);
  ASSERT_FALSE(g.empty());
  EXPECT_NE(g[0].message.find("meintest du \"Plattform.static\"?"), std::string::npos);
  const std::vector<MapFinding> c = CheckMapText(WithLine(kRace, 8, "weiss"), LevelKind::kRace);
  ASSERT_FALSE(c.empty());
  EXPECT_NE(c[0].message.find("meintest du \"white\"?"), std::string::npos);
  // Without the simulation only the text is judged; the game asks for the
  // errors alone.
  CheckOptions quick;
  quick.simulate = false;
  EXPECT_TRUE(CheckMapText(WithLine(kRace, 8, "red"), LevelKind::kRace, quick).empty());
  const std::vector<MapFinding> errors =
      MapErrors(WithLine(WithLine(kRace, 6, "[-3;0]"), 11, "0"), LevelKind::kRace);
  ASSERT_EQ(errors.size(), 1u);  // the radius 0 is only a warning
  EXPECT_EQ(errors[0].code, "bad-point");
}

TEST(MapCheck, AFileBeyondTheByteBoundIsNamedWhereTheGameStopsReading) {
  // Lines of 4000 bytes: the bound falls inside line 16778.
  const std::string line = std::string(3999, '#') + "\n";
  std::string text = kRace;
  while (text.size() <= kMaxMapBytes) text += line;
  CheckOptions quick;
  quick.simulate = false;
  const std::vector<MapFinding> f = CheckMapText(text, LevelKind::kRace, quick);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].code, "file-too-large");
  EXPECT_EQ(f[0].line, 11 + static_cast<int>((kMaxMapBytes - kRace.size()) / 4000) + 1);
}

std::vector<std::string> ShippedMaps() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(kSource + "/res/maps")) {
    // The author runs beside the levels are replays.
    if (e.path().extension() != ".zrp") names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(MapCheck, EveryShippedLevelAndTheMenuAreClean) {
  // Findings a shipped level is known to have, by file and code; none today.
  const std::set<std::pair<std::string, std::string>> kKnown = {};
  const std::vector<std::string> names = ShippedMaps();
  EXPECT_GE(names.size(), 13u);
  for (const std::string& name : names) {
    std::vector<MapFinding> findings;
    std::string why;
    ASSERT_TRUE(CheckMapFile(kSource + "/res/maps/" + name, findings, why)) << why;
    for (const MapFinding& f : findings) {
      EXPECT_TRUE(kKnown.count({name, f.code})) << CompilerLine(name, f);
    }
    // The checker sees the objects the game's own consumers see.
    MapText map;
    LoadMap(map, kSource + "/res/maps/" + name);
    const std::vector<LevelObject> objects = ListLevelObjects(map);
    const auto count = [&](LevelObjectType t) {
      return std::count_if(objects.begin(), objects.end(),
                           [t](const LevelObject& o) { return o.type == t; });
    };
    EXPECT_EQ(static_cast<std::size_t>(count(LevelObjectType::kPlatform)),
              MapObjects(map).platforms.size());
    EXPECT_EQ(static_cast<std::size_t>(count(LevelObjectType::kSphere)),
              MapObjects(map).spheres.size());
    EXPECT_EQ(static_cast<std::size_t>(count(LevelObjectType::kText) +
                                       count(LevelObjectType::kTextShown)),
              MapObjects(map).triggers.size());
    if (LevelKindOfName(name) != LevelKind::kMenu) {
      SimState sim;
      sim.GameMode = PlayMode::kRace;
      SetUpLevelObjects(sim, map);
      EXPECT_EQ(sim.BallCount, 1 + count(LevelObjectType::kRagdoll) +
                                   count(LevelObjectType::kGoalStatic) +
                                   count(LevelObjectType::kGoalRagdoll));
    }
  }
}

TEST(MapCheck, FindingsAreToldAsCompilersAndTheGameTellThem) {
  MapFinding f;
  f.line = 7;
  f.code = "bad-colour";
  f.message = "Farbwort \"gr\xfcn\" gibt es nicht";
  f.objectLine = 5;
  EXPECT_EQ(CompilerLine("a/b.mapGame1", f),
            "a/b.mapGame1:7: error: Farbwort \"gr\xc3\xbcn\" gibt es nicht [bad-colour]");
  EXPECT_EQ(FindingJson("a\"b.mapGame1", f),
            "{\"file\":\"a\\\"b.mapGame1\",\"line\":7,\"severity\":\"error\",\"code\":"
            "\"bad-colour\",\"message\":\"Farbwort \\\"gr\xc3\xbcn\\\" gibt es nicht\","
            "\"object\":5}");
  EXPECT_EQ(GermanFindingLine("Mein Level.mapGame1", f),
            "Fehler in Level Mein Level.mapGame1, Zeile 7: Farbwort \"gr\xc3\xbcn\" gibt es nicht");
  f.severity = Severity::kWarning;
  f.message = "tab\there";
  EXPECT_EQ(CompilerLine("x", f), "x:7: warning: tab\there [bad-colour]");
  EXPECT_NE(FindingJson("x", f).find("\"severity\":\"warning\""), std::string::npos);
  EXPECT_NE(FindingJson("x", f).find("tab\\u0009here"), std::string::npos);
  EXPECT_EQ(GermanFindingLine("L", f).rfind("Warnung in Level L, Zeile 7: ", 0), 0u);
}

TEST(MapCheck, PlayingWithoutSteeringFollowsThePlayFrame) {
  MapText map = MapOfBytes(kRace);
  const NoInputRun rest = SimulateWithoutInput(map, 1, 3.0);
  EXPECT_EQ(rest.frames, 180);
  EXPECT_FALSE(rest.lost || rest.caughtFire || rest.won);
  // Bouncing lower and lower on the platform, whose top is 0.08 above its
  // line.
  EXPECT_GT(rest.lastBall1.y, 0.25f);
  EXPECT_LT(rest.lastBall1.y, 0.5f);
  // Free fall from y = 1: below -25 once 1.5 t^2 > 26.
  const NoInputRun fall = SimulateWithoutInput(MapOfBytes("BallPosition\n[0,1]\n"), 2, 5.0);
  EXPECT_TRUE(fall.lost);
  EXPECT_NEAR(fall.lostAt, 4.17, 0.02);
  EXPECT_LT(fall.frames, 300);
  // A goal right below the start is won, and a won race is not lost.
  const NoInputRun won =
      SimulateWithoutInput(MapOfBytes("BallPosition\n[0,1]\nGoal.static\n[0,0]\n0.5\n"), 1, 5.0);
  EXPECT_TRUE(won.won);
  EXPECT_FALSE(won.lost);
  // The level itself is untouched by the breaking the run caused.
  MapText breakable =
      MapOfBytes("BallPosition\n[0,1]\nPlattform.static.destructible\n[-3,0]\n[3,0]\nwhite\n");
  const std::uint64_t revision = breakable.revision;
  SimulateWithoutInput(breakable, 2, 1.0);
  EXPECT_EQ(breakable.revision, revision);
  EXPECT_EQ(breakable.Line(3), "Plattform.static.destructible");
}

// ---- the program --------------------------------------------------------------------

std::string CheckerPath() {
  return (fs::path(ZIRPEL_HEADLESS_BIN).parent_path() / "tools" / "mapcheck" / "zirpel-mapcheck")
      .string();
}

e2e::RunResult RunChecker(const std::string& arguments) {
  return e2e::RunCommand(CheckerPath() + " " + arguments);
}

TEST(MapCheckProgram, ExitCodesAndOneLinePerFinding) {
  if (!fs::exists(CheckerPath())) GTEST_SKIP() << "zirpel-mapcheck not built";
  const fs::path dir =
      fs::temp_directory_path() / ("zirpel-mapcheck-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string good = (dir / "good.mapGame1").string();
  const std::string bad = (dir / "bad.mapGame1").string();
  std::ofstream(good, std::ios::binary) << kRace;
  std::ofstream(bad, std::ios::binary) << WithLine(WithLine(kRace, 10, "[10;0.5]"), 8, "red");

  std::string shipped;
  for (const std::string& name : ShippedMaps())
    shipped += " '" + kSource + "/res/maps/" + name + "'";
  const e2e::RunResult clean = RunChecker(shipped);
  EXPECT_EQ(clean.exitCode, 0) << clean.output;
  EXPECT_EQ(clean.output, "");

  const e2e::RunResult both = RunChecker(good + " " + bad);
  EXPECT_EQ(both.exitCode, 1);
  EXPECT_EQ(both.output, bad +
                             ":1: warning: ohne Steuern faengt Kugel 1 nach 0.72 s Feuer "
                             "[burns-without-steering]\n" +
                             bad +
                             ":10: error: \"[10;0.5]\" ist kein Punkt [x,y] aus Zahlen: das Spiel "
                             "liest [0,10] [bad-point]\n");
  const e2e::RunResult json = RunChecker("--json " + bad);
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_EQ(std::count(json.output.begin(), json.output.end(), '\n'), 2);
  EXPECT_EQ(json.output.rfind("{\"file\":\"" + bad + "\",\"line\":1,\"severity\":\"warning\"", 0),
            0u)
      << json.output;

  EXPECT_EQ(RunChecker("").exitCode, 2);
  EXPECT_EQ(RunChecker("--strict " + good).exitCode, 2);
  const e2e::RunResult missing =
      RunChecker(good + " " + (dir / "none.mapGame1").string() + " " + bad);
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.output.find("none.mapGame1"), std::string::npos);
  EXPECT_NE(missing.output.find("[bad-point]"), std::string::npos);  // the others still checked
  fs::remove_all(dir);
}

}  // namespace
