// The platform layer's shared parts: key buffer, paths, listings, files.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "e2e/runner_harness.h"
#include "platform/scancodes.h"
#include "platform/text_codec.h"

namespace fs = std::filesystem;

namespace {

using e2e::TempDir;

TEST(KeyBuffer, KeepsTheFifteenNewestAndSignalsArrival) {
  plat::KeyBuffer keys;
  EXPECT_EQ(keys.Poll(), "");
  for (int i = 0; i < 16; ++i) keys.Push(std::string(1, static_cast<char>('a' + i)));
  EXPECT_TRUE(keys.arrived);
  EXPECT_EQ(keys.count, 15);
  // The oldest ("a") made room for the sixteenth.
  for (int i = 1; i < 16; ++i) EXPECT_EQ(keys.Poll(), std::string(1, static_cast<char>('a' + i)));
  EXPECT_EQ(keys.Poll(), "");
  // Auto-repeat adds entries of the same key; extended keys stay whole.
  keys.Push(plat::kKeyDown);
  keys.Push(plat::kKeyDown);
  keys.Push(plat::kKeyClose);
  EXPECT_EQ(keys.Poll(), std::string("\xff"
                                     "P",
                                     2));
  EXPECT_EQ(keys.Poll(), plat::kKeyDown);
  EXPECT_EQ(keys.Poll(), std::string("\xff"
                                     "k",
                                     2));
}

TEST(Scancodes, StandardKeyboardUsesSetOneCodes) {
  EXPECT_EQ(plat::Set1FromHid(79), 77);    // cursor right
  EXPECT_EQ(plat::Set1FromHid(80), 75);    // cursor left
  EXPECT_EQ(plat::Set1FromHid(82), 0x48);  // cursor up
  EXPECT_EQ(plat::Set1FromHid(81), 0x50);  // cursor down
  EXPECT_EQ(plat::Set1FromHid(44), 57);    // space
  EXPECT_EQ(plat::Set1FromHid(28), 21);    // the Y position (z on a German layout)
  EXPECT_EQ(plat::Set1FromHid(17), 49);    // N
  EXPECT_EQ(plat::Set1FromHid(41), 1);     // Esc
  EXPECT_TRUE(plat::IsExtendedHid(82));
  EXPECT_TRUE(plat::IsExtendedHid(58));  // F1
  EXPECT_FALSE(plat::IsExtendedHid(4));  // a character key
}

TEST(TextCodec, Utf8BecomesWindows1252) {
  EXPECT_EQ(plat::Cp1252FromUtf8("t"), "t");
  EXPECT_EQ(plat::Cp1252FromUtf8("\xc3\xb6\xc3\xa4"), "\xf6\xe4");  // ö ä
  EXPECT_EQ(plat::Cp1252FromUtf8("\xe2\x82\xac"), "\x80");          // euro sign
  EXPECT_EQ(plat::Cp1252FromUtf8("\xe4\xb8\xad"), "");              // not in the code page
  EXPECT_EQ(plat::Cp1252FromUtf8("\xc3"), "");                      // truncated
  EXPECT_EQ(plat::UnicodeFromCp1252(0x80), 0x20ACu);
  EXPECT_EQ(plat::UnicodeFromCp1252(0xE4), 0xE4u);
  // And back, for what the state dump and the records server read.
  const std::string names = "\x96\xe4\x80";  // en dash, ae, euro sign
  EXPECT_EQ(plat::Utf8FromCp1252(names), "\xe2\x80\x93\xc3\xa4\xe2\x82\xac");
  EXPECT_EQ(plat::Cp1252FromUtf8(plat::Utf8FromCp1252(names)), names);
  EXPECT_EQ(plat::Utf8FromCp1252("\x81"), "\xef\xbf\xbd");  // not in the code page
}

TEST(Paths, ResDirectoryMatchesWithoutRegardToCase) {
  TempDir dir;
  dir.Write("res/maps/Level.mapGame1", "x");
  dir.Write("res/settings.ini", "Display=Auto");
  EXPECT_EQ(plat::ResolvePath(dir.path() + "\\Res\\settings.ini"),
            dir.path() + "/res/settings.ini");
  EXPECT_EQ(plat::ResolvePath(dir.path() + "/Res/maps/level.MAPGAME1"),
            dir.path() + "/res/maps/Level.mapGame1");
  // An exact name wins over a case-insensitive one.
  dir.Write("Res/settings.ini", "Display=1x1");
  EXPECT_EQ(plat::ResolvePath(dir.path() + "/Res/settings.ini"), dir.path() + "/Res/settings.ini");
  EXPECT_EQ(plat::ResolvePath(dir.path() + "/nothing/here"), dir.path() + "/nothing/here");
  // Of several names that differ only in case, the smallest wins, whatever
  // order the directory lists them in.
  for (const char* name : {"level.txt", "Level.txt", "LEVEL.TXT", "LeVeL.txt", "lEVEL.tXT"}) {
    dir.Write(std::string("cases/") + name, name);
  }
  EXPECT_EQ(plat::ResolvePath(dir.path() + "/cases/LEVEL.txt"), dir.path() + "/cases/LEVEL.TXT");
}

TEST(Listing, PlainFilesOnlyInNameOrder) {
  TempDir dir;
  dir.Write("maps/b.mapGame1", "");
  dir.Write("maps/A.mapGame1", "");
  dir.Write("maps/c.mapGame2", "");
  dir.Write("maps/x.mapGame1.bak", "");
  dir.Write("maps/.hidden.mapGame1", "");
  fs::create_directories(dir.path() + "/maps/d.mapGame1");
  const auto names = plat::ListFiles(dir.path() + "/Maps/*.mapGame1");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "A.mapGame1");
  EXPECT_EQ(names[1], "b.mapGame1");
  EXPECT_TRUE(plat::ListFiles(dir.path() + "/none/*.mapGame1").empty());
}

// A name is a name: wildcard characters in it match only themselves.
TEST(Files, IsFileTakesTheNameAsItIs) {
  TempDir dir;
  dir.Write("r/ab.zrp", "");
  dir.Write("r/x*.zrp", "");
  fs::create_directories(dir.path() + "/r/d.zrp");
  const struct {
    const char* name;
    bool file;
  } cases[] = {{"r/ab.zrp", true},  {"R/AB.zrp", true},    {"r/x*.zrp", true},
               {"r/a*.zrp", false}, {"r/a?.zrp", false},   {"r/a[b].zrp", false},
               {"r/d.zrp", false},  {"r/none.zrp", false}, {"r/*", false}};
  for (const auto& c : cases) EXPECT_EQ(plat::IsFile(dir.path() + "/" + c.name), c.file) << c.name;
}

TEST(TextFiles, LinesWithEitherEndingAndMissingFilesAsEmpty) {
  TempDir dir;
  dir.Write("a.txt", "one\r\ntwo\nthree");
  const auto lines = plat::ReadTextLines(dir.path() + "/a.txt");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "one");
  EXPECT_EQ(lines[1], "two");
  EXPECT_EQ(lines[2], "three");
  EXPECT_TRUE(plat::ReadTextLines(dir.path() + "/missing.txt").empty());
  EXPECT_TRUE(plat::ReadTextLines(dir.path()).empty());  // a directory
  dir.Write("b.txt", "a,b\nc\n");
  EXPECT_EQ(plat::CountCommaItems(dir.path() + "/b.txt"), 3);
}

TEST(TextFiles, LimitsCutWhatLiesBeyondThemAndSaySo) {
  TempDir dir;
  dir.Write("a.txt", "one\r\ntwo\nthree");
  dir.Write("b.txt", "one\r\ntwo\r\n");  // 10 bytes, the last line ends at the end
  dir.Write("e.txt", "x\n\n");
  dir.Write("empty.txt", "");
  ::mkfifo((dir.path() + "/fifo").c_str(), 0644);  // would block a reader
  using plat::TextRead;
  const struct {
    const char* file;
    std::size_t maxBytes, maxLines, maxLineBytes;
    TextRead outcome;
    std::vector<std::string> lines;
  } cases[] = {
      {"a.txt", SIZE_MAX, SIZE_MAX, SIZE_MAX, TextRead::kWhole, {"one", "two", "three"}},
      {"a.txt", 14, SIZE_MAX, SIZE_MAX, TextRead::kWhole, {"one", "two", "three"}},
      {"a.txt", 13, SIZE_MAX, SIZE_MAX, TextRead::kCut, {"one", "two", "thre"}},
      {"a.txt", SIZE_MAX, 2, SIZE_MAX, TextRead::kCut, {"one", "two"}},
      {"a.txt", SIZE_MAX, 3, 3, TextRead::kCut, {"one", "two", "thr"}},
      {"a.txt", SIZE_MAX, 3, 5, TextRead::kWhole, {"one", "two", "three"}},
      {"a.txt", SIZE_MAX, 3, 4, TextRead::kCut, {"one", "two", "thre"}},
      // A line ending exactly at the end, and the limits one byte or line short.
      {"b.txt", 10, SIZE_MAX, SIZE_MAX, TextRead::kWhole, {"one", "two"}},
      {"b.txt", 9, SIZE_MAX, SIZE_MAX, TextRead::kCut, {"one", "two"}},
      {"b.txt", 8, SIZE_MAX, SIZE_MAX, TextRead::kCut, {"one", "two"}},
      {"b.txt", 7, SIZE_MAX, SIZE_MAX, TextRead::kCut, {"one", "tw"}},
      {"b.txt", SIZE_MAX, 2, SIZE_MAX, TextRead::kWhole, {"one", "two"}},
      {"b.txt", SIZE_MAX, 1, SIZE_MAX, TextRead::kCut, {"one"}},
      {"b.txt", SIZE_MAX, SIZE_MAX, 3, TextRead::kWhole, {"one", "two"}},  // CR is no byte of it
      {"b.txt", SIZE_MAX, SIZE_MAX, 2, TextRead::kCut, {"on", "tw"}},
      {"e.txt", SIZE_MAX, 2, SIZE_MAX, TextRead::kWhole, {"x", ""}},
      {"e.txt", SIZE_MAX, 1, SIZE_MAX, TextRead::kCut, {"x"}},
      {"empty.txt", 0, 0, 0, TextRead::kWhole, {}},
      {"missing.txt", SIZE_MAX, SIZE_MAX, SIZE_MAX, TextRead::kMissing, {}},
      {"", SIZE_MAX, SIZE_MAX, SIZE_MAX, TextRead::kMissing, {}},  // the folder itself
      {"fifo", SIZE_MAX, SIZE_MAX, SIZE_MAX, TextRead::kUnreadable, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.maxBytes) + " " +
                 std::to_string(c.maxLines) + " " + std::to_string(c.maxLineBytes));
    plat::TextLimits limits;
    limits.maxBytes = c.maxBytes;
    limits.maxLines = c.maxLines;
    limits.maxLineBytes = c.maxLineBytes;
    std::vector<std::string> lines{"stale"};
    EXPECT_EQ(plat::ReadTextLines(dir.path() + "/" + c.file, limits, lines), c.outcome);
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(TextFiles, AtomicWriteReplacesWholeOrNothing) {
  TempDir dir;
  dir.Write("board.dat", "old\r\n");
  ASSERT_TRUE(plat::WriteFileAtomically(dir.path() + "/board.dat", "new\r\n"));
  EXPECT_EQ(plat::ReadTextLines(dir.path() + "/board.dat").at(0), "new");
  EXPECT_FALSE(fs::exists(dir.path() + "/board.dat.tmp"));
  // A directory that cannot be written keeps the old file.
  EXPECT_FALSE(plat::WriteFileAtomically(dir.path() + "/no/such/dir/board.dat", "x"));
}

TEST(Random, UniformInUnitInterval) {
  plat::SeedRandom(100.0);
  double lo = 1.0, hi = 0.0, sum = 0.0;
  for (int i = 0; i < 10000; ++i) {
    const double r = plat::Random();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    lo = std::min(lo, r);
    hi = std::max(hi, r);
    sum += r;
  }
  EXPECT_LT(lo, 0.01);
  EXPECT_GT(hi, 0.99);
  EXPECT_NEAR(sum / 10000.0, 0.5, 0.02);
}

}  // namespace
