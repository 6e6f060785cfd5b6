// Hostile files, one table per reader: maps, the settings file, the
// leaderboard and the level folder. Each row is a file no level author or
// player should write, and the outcome the game owes it: it keeps running
// (or refuses the file cleanly), never crashes, never hangs, never loses the
// leaderboard. The map, settings and level-folder rows run the real game
// through the headless runner.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"
#include "frontend/level_select.h"
#include "session/leaderboard.h"
#include "world/map.h"

namespace {

namespace fs = std::filesystem;
using e2e::Num;
using e2e::Str;

// From the main menu into the level selection, the highlighted row, the
// start zoom skipped.
const char* const kToPlay =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
    "until session\nkey ENTER\nframes 2\n";

// A floor under ball 1 with a goal far to the right: room to play.
const std::string kFloor =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[3,3,6]\nPlattform.static\n[-3,0]\n[20,0]\nwhite\n";

struct Played {
  e2e::RunResult result;
  std::vector<e2e::Dump> dumps;
  std::string board;
};

// Plays the script on a scratch tree; "DUMP" in it stands for the dump file.
Played Play(e2e::ScratchRoot& root, std::string script) {
  for (size_t at; (at = script.find("DUMP")) != std::string::npos;) {
    script.replace(at, 4, root.File("dump.jsonl"));
  }
  Played run;
  run.result = e2e::RunHeadless(root, script, {}, 300);
  run.dumps = e2e::ReadDumps(root.File("dump.jsonl"));
  run.board = root.Read("Res/Leaderboard.dat");
  return run;
}

std::string Repeat(const std::string& text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// ---- maps -------------------------------------------------------------------

struct MapCase {
  const char* name;
  std::function<std::string()> map;
  // Checks of the last dump beyond "still playing, ball 1 finite".
  std::function<void(const e2e::Dump&)> check;
};

// A level with the number in every kind of place a map holds one: the start,
// the camera, a platform end, sphere and goal radii, a ragdoll's place and a
// text counter.
std::string NumberLevel(const std::string& n) {
  return "BallPosition\n[" + n + "," + n + "]\nStartgame.zoomin\n[" + n + ",3," + n +
         "]\nPlattform.static\n[-3,0]\n[20,0]\nwhite\nPlattform.static.destructible\n[" + n +
         ",-1]\n[4,-1]\nred\nSphere.static\n[2,1]\n" + n + "\nblue\nSphere.ragdoll\n[" + n +
         ",2]\n" + n + "\nwhite\nSphere.ragdoll\n[1,2]\n" + n + "\nred\nGoal.static\n[15," + n +
         "]\n" + n + "\nOutput.text\n[-1,0]\n[1," + n + "]\nText\n" + n + "\n";
}

const MapCase kMapCases[] = {
    {"TwoHundredThousandLines",
     [] {
       // 199,992 more lines below the floor: destroyed platforms and notes,
       // and every hundredth time a platform and a sphere that are drawn.
       std::string map = kFloor;
       for (int i = 0; i < 199992 / 8; ++i) {
         const std::string x = std::to_string(i % 1000);
         if (i % 100 == 0) {
           map += "Plattform.static.destructible\n[" + x + ",-100]\n[" + x + ".5,-101]\nwhite\n";
           map += "Sphere.static\n[" + x + ",-90]\n0.2\nred\n";
         } else {
           map += "Plattform.static.destructible.destroyed\n[" + x + ",-100]\n[" + x +
                  ".5,-101]\nwhite\nnote " + x + "\n[" + x + ",0]\n0.2\nred\n";
         }
       }
       return map;
     },
     [](const e2e::Dump& d) { EXPECT_EQ(Num(d, "MapLineCount"), 200000.0); }},
    {"TenMegabyteLines",
     [] {
       // A text of 10 MB, and a point line of 10 MB of digits.
       return kFloor + "Output.text\n[-1,0.5]\n[1,0.5]\n" + std::string(10 << 20, 'A') +
              "\n5000\nPlattform.static\n[5," + std::string(10 << 20, '7') + "]\n[6,0]\nred\n";
     },
     [](const e2e::Dump& d) {
       // Every line keeps its first 4 KiB; the text was touched and shows.
       EXPECT_EQ(Num(d, "MapLineCount"), 17.0);
       EXPECT_EQ(e2e::Element(d, "MapLines", 8), "\"FontEvent.static.Activ\"");
       EXPECT_EQ(e2e::Element(d, "MapLines", 11).size(), kMaxMapLineBytes + 2);
       EXPECT_EQ(e2e::Element(d, "MapLines", 14).size(), kMaxMapLineBytes + 2);
     }},
    {"Overflow", [] { return NumberLevel("1e999"); }, nullptr},
    {"NegativeZero", [] { return NumberLevel("-0"); }, nullptr},
    {"HexBeyondSixtyFourBits", [] { return NumberLevel("&HFFFFFFFFFFFFFFFFFF"); }, nullptr},
    {"Nan", [] { return NumberLevel("nan"); }, nullptr},
    {"Inf", [] { return NumberLevel("inf"); }, nullptr},
    {"SixtyBallsSixtySpheres",
     [] {
       std::string map = kFloor;
       for (int i = 0; i < 60; ++i) {
         const std::string x = std::to_string(i % 20 - 3);
         map += "Sphere.ragdoll\n[" + x + "," + std::to_string(2 + i / 20) + "]\n0.18\nwhite\n";
         map += "Sphere.static\n[" + x + ",-2]\n0.3\nblue\n";
       }
       return map;
     },
     [](const e2e::Dump& d) {
       EXPECT_EQ(Num(d, "BallCount"), 50.0);  // ball 1 and the first 49 ragdolls
       EXPECT_EQ(Num(d, "StaticSphereCount"), 50.0);
     }},
    {"ZeroLengthPlatforms",
     [] {
       return "BallPosition\n[0,1]\nStartgame.zoomin\n[3,3,6]\n"
              "Plattform.static.destructible\n[0,0]\n[0,0]\nred\n"
              "Plattform.static\n[0,-0.5]\n[0,-0.5]\nwhite\n"
              "Plattform.static\n[-3,-2]\n[20,-2]\nwhite\n";
     },
     [](const e2e::Dump& d) {
       // Ball 1 falls through both onto the floor below, unharmed.
       EXPECT_EQ(Str(d, "RedContact"), "false");
       EXPECT_GT(e2e::ObjNum(e2e::Element(d, "balls", 0), "y"), -2.0);
     }},
    {"BreakableFloorTenMillionUnitsOut",
     [] {
       // Seven written digits cannot hold a hole out there.
       return "BallPosition\n[10000000,1]\nStartgame.zoomin\n[10000000,3,6]\n"
              "Plattform.static.destructible\n[9999990,0]\n[10000010,0]\nwhite\n";
     },
     [](const e2e::Dump& d) { EXPECT_LE(Num(d, "MapLineCount"), 20.0); }},
    {"GoalInsideAPlatform",
     [] {
       // Ball 1 drops onto the goal, whose centre lies inside the floor.
       return "BallPosition\n[2,1]\nStartgame.zoomin\n[3,3,6]\nPlattform.static\n[-3,0]\n[20,0]\n"
              "white\nGoal.static\n[2,0]\n1\n";
     },
     [](const e2e::Dump& d) { EXPECT_EQ(Num(d, "GoalReached"), 1.0); }},
};

class HostileMap : public ::testing::TestWithParam<MapCase> {};

TEST_P(HostileMap, PlaysOnWithBallOneFinite) {
  e2e::ScratchRoot root;
  root.Write("Res/maps/hostile.mapGame1", GetParam().map());
  // 240 frames of steering and boost, a dump every 30.
  const std::string dump30 = "frames 30\ndump DUMP\n";
  const Played run = Play(root, std::string(kToPlay) + "hold RIGHT\n" + Repeat(dump30, 5) +
                                    "release RIGHT\nhold SPACE\n" + dump30 + "release SPACE\n" +
                                    Repeat(dump30, 2));
  ASSERT_EQ(run.result.exitCode, 0) << run.result.errors;
  ASSERT_EQ(run.dumps.size(), 8u);
  for (const e2e::Dump& d : run.dumps) {
    ASSERT_EQ(Str(d, "screen"), "session");
    const std::string b1 = e2e::Element(d, "balls", 0);
    ASSERT_TRUE(std::isfinite(e2e::ObjNum(b1, "x")) && std::isfinite(e2e::ObjNum(b1, "y")) &&
                std::isfinite(e2e::ObjNum(b1, "vx")) && std::isfinite(e2e::ObjNum(b1, "vy")))
        << "frame " << Num(d, "frame") << ": " << b1;
  }
  if (GetParam().check) GetParam().check(run.dumps.back());
}

INSTANTIATE_TEST_SUITE_P(Maps, HostileMap, ::testing::ValuesIn(kMapCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the settings file --------------------------------------------------------

struct SettingsCase {
  const char* name;
  std::function<std::string()> file;
  int width, height;  // the screen the game opens
};

const SettingsCase kSettingsCases[] = {
    {"HundredMegabytes",
     [] {
       // The game's settings, then 100 MB of lines no one reads.
       return "Display=320x200\r\nPlayIntro=Disabled\r\n" +
              Repeat("Display=640x400 and then some more text to make up the size\r\n",
                     (100u << 20) / 60);
     },
     320, 200},
    {"OneHundredMegabyteLine", [] { return "Display=320x200\r\n" + std::string(100u << 20, 'x'); },
     320, 200},
    {"BinaryBytes",
     [] {
       std::string bytes;
       for (int round = 0; round < 64; ++round) {
         for (int b = 0; b < 256; ++b) bytes += static_cast<char>((b * 7 + round) & 0xFF);
       }
       return "Display=320x200\r\n" + bytes + std::string(1000, '\0');
     },
     320, 200},
};

class HostileSettings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(HostileSettings, TheGameStartsWithWhatItCouldRead) {
  e2e::ScratchRoot root(GetParam().file());
  const Played run = Play(root, "until menu\nframes 5\ndump DUMP\n");
  ASSERT_EQ(run.result.exitCode, 0) << run.result.errors;
  ASSERT_EQ(run.dumps.size(), 1u);
  EXPECT_EQ(Str(run.dumps[0], "screen"), "menu");
  EXPECT_EQ(Num(run.dumps[0], "ScreenWidth"), GetParam().width);
  EXPECT_EQ(Num(run.dumps[0], "ScreenHeight"), GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(Settings, HostileSettings, ::testing::ValuesIn(kSettingsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the leaderboard ----------------------------------------------------------

struct BoardCase {
  const char* name;
  std::function<std::string()> file;
  const char* key;  // the level started and then beaten
  float best;       // what the level starts with as its best time
  float record;     // the new record stored
  int linesAfter;   // lines of the rewritten file
};

const BoardCase kBoardCases[] = {
    {"HundredThousandPairs",
     [] {
       std::string text;
       for (int i = 0; i < 100000; ++i)
         text +=
             "level" + std::to_string(i) + ".mapGame1\r\n" + std::to_string(i % 90 + 10) + "\r\n";
       return text;
     },
     "level77777.mapGame1", 27.0f, 12.5f, 200000},
    // No number: no record yet, so any finish is one.
    {"NanTime", [] { return std::string("a.mapGame1\r\nnan\r\nb.mapGame1\r\n20\r\n"); },
     "a.mapGame1", 0.0f, 30.0f, 4},
    // Beyond a float: no usable record either.
    {"HugeNegativeTime", [] { return std::string("a.mapGame1\r\n-1e300\r\nb.mapGame1\r\n20\r\n"); },
     "a.mapGame1", 0.0f, 30.0f, 4},
    // The file ends after a key: the record gets its time line.
    {"MissingTimeLine", [] { return std::string("b.mapGame1\r\n20\r\na.mapGame1\r\n"); },
     "a.mapGame1", 0.0f, 15.0f, 4},
};

class HostileLeaderboard : public ::testing::TestWithParam<BoardCase> {};

TEST_P(HostileLeaderboard, NoPairIsLostAndTheRecordReadsBack) {
  const BoardCase& c = GetParam();
  const fs::path dir = fs::temp_directory_path() /
                       ("zirpel-hostile-board-" + std::to_string(::getpid()) + "-" + c.name);
  fs::create_directories(dir);
  const std::string path = (dir / "Leaderboard.dat").string();
  const std::string old = c.file();
  std::ofstream(path, std::ios::binary) << old;

  Leaderboard board;
  ReadLeaderboard(board, path);
  EXPECT_EQ(LookUpBestTime(board, c.key), c.best);
  ASSERT_TRUE(StoreRecord(board, c.key, c.record, path));

  Leaderboard back;
  ReadLeaderboard(back, path);
  EXPECT_EQ(back.LeaderboardLineCount, c.linesAfter);
  EXPECT_EQ(LookUpBestTime(back, c.key), c.record);
  // Every other line is where it was, byte for byte.
  Leaderboard before;
  std::ofstream(dir / "old.dat", std::ios::binary) << old;
  ReadLeaderboard(before, (dir / "old.dat").string());
  int changed = 0;
  for (int i = 1; i <= before.LeaderboardLineCount; ++i) {
    if (back.lines[static_cast<size_t>(i)] != before.lines[static_cast<size_t>(i)]) ++changed;
  }
  EXPECT_LE(changed, 1);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Leaderboard, HostileLeaderboard, ::testing::ValuesIn(kBoardCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A race won in its first play frame: ball 1 starts inside the goal.
const std::string kInstantWin =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[0,1,3]\nPlattform.static\n[-3,0]\n[3,0]\nwhite\n"
    "Goal.static\n[0,1]\n0.5\n";

TEST(HostileLeaderboardWrite, AFullDiskKeepsTheOldBoardAndTheGameGoesOn) {
  e2e::ScratchRoot root;
  root.Write("Res/maps/voll.mapGame1", kInstantWin);
  const std::string old = "alt.mapGame1\r\n42\r\n";
  root.Write("Res/Leaderboard.dat", old);
  // Every write of the new board fails as on a full disk.
  fs::create_symlink("/dev/full", root.File("Res/Leaderboard.dat.tmp"));
  const Played run = Play(root, std::string(kToPlay) +
                                    "frames 5\ndump DUMP\nhold N\nuntil menu\nrelease N\n"
                                    "frames 2\nkey ENTER\nuntil levelselect\n"
                                    "frames 2\nkey ENTER\nuntil session\nframes 2\ndump DUMP\n");
  ASSERT_EQ(run.result.exitCode, 0) << run.result.errors;
  ASSERT_EQ(run.dumps.size(), 2u);
  EXPECT_EQ(Num(run.dumps[0], "RecordStored"), 1.0);
  EXPECT_EQ(run.board, old);
  EXPECT_NE(run.result.errors.find("voll.mapGame1"), std::string::npos) << run.result.errors;
  EXPECT_NE(run.result.errors.find("nicht speichern"), std::string::npos) << run.result.errors;
  // The game went on: back in the menu and into the level again, where the
  // record of the first run still counts for this run of the program.
  EXPECT_EQ(Str(run.dumps[1], "screen"), "session");
  const float best = static_cast<float>(Num(run.dumps[0], "BestTime"));
  EXPECT_EQ(static_cast<float>(Num(run.dumps[1], "BestTime")),
            static_cast<float>(ParseNumber(FormatFloat7(best))));
}

// ---- the level folder ---------------------------------------------------------

struct FolderCase {
  const char* name;
  std::function<std::vector<std::string>()> files;  // level files, the first one played
};

const FolderCase kFolderCases[] = {
    {"TenThousandFiles",
     [] {
       std::vector<std::string> names;
       for (int i = 0; i < 10000; ++i) {
         char name[32];
         std::snprintf(name, sizeof name, "%05d.mapGame1", i);
         names.push_back(name);
       }
       return names;
     }},
    // The longest names a Linux folder holds (255 bytes; 1,000 cannot exist).
    {"LongestNames",
     [] {
       return std::vector<std::string>{std::string(246, 'a') + ".mapGame1",
                                       std::string(246, 'b') + ".mapGame1"};
     }},
    // Bytes Windows-1252 leaves undefined, and bytes that are no UTF-8.
    {"NotWindows1252",
     [] {
       return std::vector<std::string>{"\x81\x8d\x8f\x90\x9d.mapGame1", "\xff\xfe\xc3(.mapGame1"};
     }},
};

class HostileLevelFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(HostileLevelFolder, TheFirstLevelIsListedPlayedAndItsRecordKept) {
  e2e::ScratchRoot root;
  const std::vector<std::string> names = GetParam().files();
  for (const std::string& name : names) root.Write("Res/maps/" + name, kInstantWin);
  // The names are given in the order the selection lists them.
  const std::string& first = names.front();
  const Played run = Play(root, std::string(kToPlay) +
                                    "frames 5\ndump DUMP\nhold N\n"
                                    "until menu\nrelease N\nframes 2\ndump DUMP\n");
  ASSERT_EQ(run.result.exitCode, 0) << run.result.errors;
  ASSERT_EQ(run.dumps.size(), 2u);
  EXPECT_EQ(Str(run.dumps[0], "ChosenLevelFile"), first);
  EXPECT_EQ(Num(run.dumps[0], "GoalReached"), 1.0);
  EXPECT_EQ(Num(run.dumps[0], "RecordStored"), 1.0);
  EXPECT_EQ(Str(run.dumps[1], "screen"), "menu");
  // The record is stored under the file's exact name and found again.
  Leaderboard board;
  ReadLeaderboard(board, root.File("Res/Leaderboard.dat"));
  EXPECT_EQ(board.LeaderboardLineCount, 2);
  // (in the file's seven digits)
  const float best = static_cast<float>(Num(run.dumps[0], "BestTime"));
  EXPECT_EQ(LookUpBestTime(board, first), static_cast<float>(ParseNumber(FormatFloat7(best))));
}

INSTANTIATE_TEST_SUITE_P(LevelFolder, HostileLevelFolder, ::testing::ValuesIn(kFolderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileLevelFolderNames, AThousandByteNameCannotBeMadeButWouldBeShownAndKept) {
  const std::string name = std::string(991, 'n') + ".mapGame1";
  const fs::path dir = fs::temp_directory_path() / ("zirpel-long-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const int fd = ::open((dir / name).c_str(), O_CREAT | O_WRONLY, 0644);
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(errno, ENAMETOOLONG);
  // Its display name and its record, were it listed.
  EXPECT_EQ(DisplayName(name), std::string(991, 'n'));
  Leaderboard board;
  ASSERT_TRUE(StoreRecord(board, name, 42.0f, (dir / "Leaderboard.dat").string()));
  Leaderboard back;
  ReadLeaderboard(back, (dir / "Leaderboard.dat").string());
  EXPECT_EQ(LookUpBestTime(back, name), 42.0f);
  fs::remove_all(dir);
}

}  // namespace
