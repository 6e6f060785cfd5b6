// The game finds its data from any working directory, keeps the player's
// records in the player's folder when its own is read-only, and says what
// went wrong with a picture or a record.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/runner_harness.h"

namespace fs = std::filesystem;

namespace {

using e2e::Num;

const char* const kToSession =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
    "until session\n";

const char* const kFlatRace =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[3,3,6]\n"
    "Plattform.static\n[-3,0]\n[20,0]\nwhite\n"
    "Goal.static\n[15,0.5]\n0.3\n";

std::string MenuShot(const e2e::ScratchRoot& root, e2e::RunResult& r) {
  r = e2e::RunHeadless(root, "until menu 5\nframes 2\nshot " + root.File("s.png") + "\n");
  int w = 0, h = 0;
  std::vector<unsigned char> px;
  if (!e2e::ReadShot(root.File("s.png"), w, h, px)) return std::string();
  return std::to_string(w) + "x" + std::to_string(h) + std::string(px.begin(), px.end());
}

TEST(DataFolder, WithoutResInTheWorkingDirectoryTheOneBesideTheProgramServes) {
  e2e::RunResult r;
  e2e::ScratchRoot portable;
  portable.Write(std::string(e2e::kXdgConfig) + "/zirpel/settings.ini",
                 e2e::ScratchRoot::DefaultSettings());
  const std::string expected = MenuShot(portable, r);
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  // The runner's own folder holds res/ (the build tree's); the settings
  // come from the player's config folder, 640 x 400.
  e2e::ScratchRoot elsewhere;
  fs::remove_all(elsewhere.File("res"));
  fs::remove_all(elsewhere.File("Res"));
  elsewhere.Write(std::string(e2e::kXdgConfig) + "/zirpel/settings.ini",
                  e2e::ScratchRoot::DefaultSettings());
  const std::string shot = MenuShot(elsewhere, r);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  // The same menu frame, title picture and all.
  EXPECT_EQ(shot.substr(0, 7), "640x400");
  EXPECT_TRUE(shot == expected);
}

TEST(DataFolder, AMissingOrBrokenPictureIsOneWarningEach) {
  e2e::ScratchRoot root;
  fs::remove(root.File("res/gfx"));
  fs::create_directories(root.File("res/gfx"));
  for (const auto& e : fs::directory_iterator(std::string(ZIRPEL_SOURCE_DIR) + "/res/gfx")) {
    const std::string name = e.path().filename().string();
    if (name != "zirpel.png") fs::copy_file(e.path(), root.File("res/gfx/" + name));
  }
  root.Write("res/gfx/LOGO.png", "kein Bild");
  const auto r = e2e::RunHeadless(root, "until menu 5\nframes 2\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.errors, "zirpel-headless: Bild " + root.File("res/gfx/LOGO.png") +
                          " nicht ladbar: Datei zu kurz\n"
                          "zirpel-headless: Bild " +
                          root.File("res/gfx/zirpel.png") +
                          " nicht ladbar: Datei laesst sich nicht oeffnen\n");
}

TEST(DataFolder, WhereARecordGoes) {
  struct Case {
    const char* name;
    bool readOnly;     // the data folder without write permission
    bool blocked;      // the record's temporary file cannot be made
    const char* file;  // where the record lands; "" nowhere
  } cases[] = {
      {"installed copy", true, false, "xdg-data/zirpel/Leaderboard.dat"},
      {"failed write", false, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    e2e::ScratchRoot root;
    root.Write("Res/maps/a.mapGame1", kFlatRace);
    root.Write("Res/Leaderboard.dat", "a.mapGame1\r\n99\r\n");
    if (c.blocked) fs::create_directories(root.File("Res/Leaderboard.dat.tmp"));
    const fs::perms write =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (c.readOnly) fs::permissions(root.File("Res"), write, fs::perm_options::remove);
    const auto r = e2e::RunHeadless(root, std::string(kToSession) +
                                              "key ENTER\nhold RIGHT\nframes 400\ndump " +
                                              root.File("d.json") + "\n");
    fs::permissions(root.File("Res"), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(r.exitCode, 0);
    const auto dumps = e2e::ReadDumps(root.File("d.json"));
    ASSERT_EQ(dumps.size(), 1u);
    ASSERT_EQ(Num(dumps[0], "RecordStored"), 1.0);
    if (c.file[0] != '\0') {
      EXPECT_EQ(r.errors, "");
      EXPECT_EQ(root.Read(c.file).rfind("a.mapGame1\r\n", 0), 0u);
      EXPECT_NE(root.Read(c.file), "a.mapGame1\r\n99\r\n");
    } else {
      EXPECT_EQ(r.errors,
                "zirpel-headless: Der Rekord fuer a.mapGame1 liess sich nicht speichern (" +
                    root.File("Res/Leaderboard.dat") +
                    ": dort liegt ein Ordner); die alte Bestenliste bleibt erhalten.\n");
    }
    // The data folder's old list is untouched.
    EXPECT_EQ(root.Read("Res/Leaderboard.dat"), "a.mapGame1\r\n99\r\n");
  }
}

}  // namespace
