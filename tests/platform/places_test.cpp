// Where the game's files are: the data folder's search order, the player's
// folders of an installed copy, the player's levels and the settings.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

// A scratch tree; places set up in it are forgotten again at the end, so
// the other tests keep paths relative to the working directory.
class Tree {
 public:
  Tree() {
    std::string templ = (fs::temp_directory_path() / "zirpel-places-XXXXXX").string();
    path = ::mkdtemp(templ.data());
  }
  ~Tree() {
    plat::ForgetPlaces();
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    for (const auto& e : fs::recursive_directory_iterator(path)) {
      if (e.is_directory()) fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
    }
    fs::remove_all(path);
  }
  std::string File(const std::string& rel) const { return path + "/" + rel; }
  void Write(const std::string& rel, const std::string& text) const {
    fs::create_directories(fs::path(File(rel)).parent_path());
    std::ofstream(File(rel), std::ios::binary) << text;
  }
  std::string Read(const std::string& rel) const {
    std::ifstream in(File(rel), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The inputs of a program in bin/ started from work/, with the player's
  // folders below the tree.
  plat::PlaceInputs Inputs() const {
    plat::PlaceInputs in;
    in.workingDir = File("work");
    in.programDir = File("bin");
    in.dataHome = File("data-home");
    in.configHome = File("config-home");
    in.home = File("home");
    return in;
  }
  std::string path;
};

// Every entry of a folder and its subfolders without write permission, as
// `chmod -R a-w` leaves an installed tree.
void MakeReadOnly(const std::string& dir) {
  const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    fs::permissions(e.path(), write, fs::perm_options::remove);
  }
  fs::permissions(dir, write, fs::perm_options::remove);
}

TEST(Places, TheFirstFolderWithPicturesInSearchOrder) {
  struct Case {
    const char* name;
    std::vector<const char*> pictures;  // folders given a gfx/x.png
    bool env;                           // ZIRPEL_DATA_DIR names env/
    const char* found;                  // relative to the tree; "" none
  } cases[] = {
      {"all four", {"work/res", "bin/res", "share/zirpel", "env"}, true, "work/res"},
      {"beside the program", {"bin/res", "share/zirpel", "env"}, true, "bin/res"},
      {"installed tree", {"share/zirpel", "env"}, true, "share/zirpel"},
      {"the variable last", {"env"}, true, "env"},
      {"variable unset", {"env"}, false, ""},
      {"any case", {"work/Res/GFX"}, false, "work/Res"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    fs::create_directories(t.File("work"));
    fs::create_directories(t.File("bin/res/gfx"));  // a gfx folder without pictures: passed over
    for (const char* dir : c.pictures) {
      const std::string rel = std::string(dir).ends_with("GFX") ? dir : std::string(dir) + "/gfx";
      t.Write(rel + "/x.png", "");
    }
    plat::PlaceInputs in = t.Inputs();
    if (c.env) in.dataDirEnv = t.File("env");
    std::vector<std::string> tried;
    const bool found = plat::FindPlaces(in, tried);
    EXPECT_EQ(found, c.found[0] != '\0');
    EXPECT_EQ(plat::DataFolder(), found ? t.File(c.found) : "");
    if (!found) {
      // The message names every place looked at.
      EXPECT_EQ(tried, (std::vector<std::string>{t.File("work/res"), t.File("bin/res"),
                                                 t.File("share/zirpel"),
                                                 "ZIRPEL_DATA_DIR (nicht gesetzt)"}));
    }
  }
}

TEST(Places, RecordsOfAReadOnlyTreeGoToThePlayersFolder) {
  struct Case {
    const char* name;
    bool readOnly;
    bool dataHomeSet;  // else the default below HOME
    const char* board;
  } cases[] = {
      {"portable copy", false, true, "share/zirpel/Leaderboard.dat"},
      {"installed copy", true, true, "data-home/zirpel/Leaderboard.dat"},
      {"installed, default folder", true, false, "home/.local/share/zirpel/Leaderboard.dat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    fs::create_directories(t.File("work"));
    t.Write("share/zirpel/gfx/LOGO.png", "");
    if (c.readOnly) MakeReadOnly(t.File("share/zirpel"));
    plat::PlaceInputs in = t.Inputs();
    if (!c.dataHomeSet) in.dataHome = "relative/is/ignored";
    std::vector<std::string> tried;
    ASSERT_TRUE(plat::FindPlaces(in, tried));
    EXPECT_EQ(plat::PlayerFilesInDataFolder(), !c.readOnly);
    // The folder is made when the first record goes into it.
    EXPECT_TRUE(plat::WriteFileAtomically("Res/Leaderboard.dat", "a.mapGame1\r\n12\r\n"));
    EXPECT_EQ(t.Read(c.board), "a.mapGame1\r\n12\r\n");
    EXPECT_EQ(plat::ReadTextLines("Res/Leaderboard.dat").at(1), "12");
  }
}

TEST(Places, ThePlayersLevelsJoinTheShippedOnes) {
  Tree t;
  fs::create_directories(t.File("work"));
  t.Write("share/zirpel/gfx/LOGO.png", "");
  t.Write("share/zirpel/maps/01 Start.mapGame1", "shipped 01");
  t.Write("share/zirpel/maps/03 Ende.mapGame1", "shipped 03");
  t.Write("data-home/zirpel/maps/02 Eigenes.mapGame1", "own 02");
  t.Write("data-home/zirpel/maps/01 start.MAPGAME1", "own 01");
  t.Write("data-home/zirpel/maps/Eigenes.mapGame2", "own survival");
  std::vector<std::string> tried;
  ASSERT_TRUE(plat::FindPlaces(t.Inputs(), tried));
  // One list in name order; the player's file takes the place of the
  // shipped one with the same name.
  EXPECT_EQ(
      plat::ListFiles("Res/maps/*.mapGame1"),
      (std::vector<std::string>{"01 start.MAPGAME1", "02 Eigenes.mapGame1", "03 Ende.mapGame1"}));
  EXPECT_EQ(plat::ListFiles("Res/maps/*.mapGame2"), (std::vector<std::string>{"Eigenes.mapGame2"}));
  EXPECT_EQ(plat::ReadTextLines("Res/maps/01 Start.mapGame1").at(0), "own 01");
  EXPECT_EQ(plat::ReadTextLines("Res/maps/02 Eigenes.mapGame1").at(0), "own 02");
  EXPECT_EQ(plat::ReadTextLines("Res/maps/03 Ende.mapGame1").at(0), "shipped 03");
}

TEST(Places, SettingsFromTheConfigFolderWhenThere) {
  Tree t;
  fs::create_directories(t.File("work"));
  t.Write("work/res/gfx/LOGO.png", "");
  t.Write("work/res/settings.ini", "Display=Auto\r\n");
  std::vector<std::string> tried;
  ASSERT_TRUE(plat::FindPlaces(t.Inputs(), tried));
  EXPECT_EQ(plat::SettingsFile(), t.File("work/res/settings.ini"));
  t.Write("config-home/zirpel/settings.ini", "Display=800x600\r\n");
  EXPECT_EQ(plat::SettingsFile(), t.File("config-home/zirpel/settings.ini"));
}

}  // namespace
