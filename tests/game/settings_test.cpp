// The settings grammar and the "Display" value.
#include "game/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "e2e/runner_harness.h"

namespace fs = std::filesystem;

namespace {

SettingsStore LoadText(const std::string& text) {
  const e2e::TempDir dir("zirpel-settings");
  dir.Write("settings.ini", text);
  SettingsStore store;
  SettingsLoad(store, dir.File("settings.ini"));
  return store;
}

TEST(Settings, LineGrammar) {
  SettingsStore s = LoadText("[Options]\r\n\r\nDisplay=Auto\r\n");
  EXPECT_EQ(s.count, 1);
  EXPECT_EQ(SettingsGet(s, "Display"), "Auto");

  s = LoadText("   PlayIntro=Enabled   \n");
  EXPECT_EQ(SettingsGet(s, "PlayIntro"), "Enabled");

  s = LoadText("Display=800x600=1\n=Enabled\nno equals sign\n");
  EXPECT_EQ(s.count, 1);
  EXPECT_EQ(SettingsGet(s, "Display"), "800x600=1");

  // Blanks next to "=" belong to key and value.
  s = LoadText("Display = Auto\n");
  EXPECT_EQ(SettingsGet(s, "Display"), "");
  EXPECT_EQ(SettingsGet(s, "Display "), " Auto");

  s = LoadText("Fullscreen=Enabled\nFullscreen=Disabled\n");
  EXPECT_EQ(SettingsGet(s, "Fullscreen"), "Enabled");
  EXPECT_EQ(SettingsGet(s, "fullscreen"), "");

  s = LoadText("");
  EXPECT_EQ(s.count, 0);
  SettingsStore missing;
  EXPECT_EQ(SettingsLoad(missing, "/no/such/settings.ini"), 0);
}

TEST(Settings, TableHoldsElevenEntriesAndIgnoresTheRest) {
  std::string text;
  for (int i = 0; i < 14; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  SettingsStore s = LoadText(text);
  EXPECT_EQ(s.count, 11);
  EXPECT_EQ(SettingsGet(s, "Key10"), "10");
  EXPECT_EQ(SettingsGet(s, "Key11"), "");
  EXPECT_EQ(SettingsSet(s, "Key12", "x"), 11);  // full: not added
  EXPECT_EQ(SettingsSet(s, "Key3", "y"), 11);
  EXPECT_EQ(SettingsGet(s, "Key3"), "y");

  // The shipped file with every later key of the game set too: past the
  // table, the later keys are still read, the table's own kind is not.
  s = LoadText(
      "Display=1280x800\nFullscreen=Disabled\nPlayIntro=Enabled\nMenu_DroppBalls=Enabled\n"
      "Particle=Enabled\nParticleNumber=35\nSound=Enabled\nSoundVolume=80\nGhost=Enabled\n"
      "Medals=Enabled\nRecordsServer=http://127.0.0.1:8080\nPlayerName=Anna\n"
      "PlayIntro=Disabled\nDisplay=Auto\nSound=Disabled\n");
  EXPECT_EQ(s.count, 11);
  EXPECT_EQ(SettingsGet(s, "RecordsServer"), "http://127.0.0.1:8080");
  EXPECT_EQ(SettingsGet(s, "PlayerName"), "Anna");
  EXPECT_EQ(SettingsGet(s, "Sound"), "Enabled");  // the first line of a key counts
  EXPECT_EQ(SettingsGet(s, "PlayIntro"), "Enabled");
  EXPECT_EQ(SettingsGet(s, "Display"), "1280x800");
}

// Lines of x, n bytes in all with their line ends, none longer than a
// settings line may be.
std::string Padding(std::size_t n) {
  std::string text;
  for (; n > 4096; n -= 4096) text += std::string(4095, 'x') + "\n";
  if (n > 0) text += std::string(n - 1, 'x') + "\n";
  return text;
}

// The file's bounds (10,000 lines, 4 KiB a line, 1 MiB) at their edge and
// one past, with an entry that ends exactly at the bound.
TEST(Settings, EveryBoundAtItsEdgeAndOnePast) {
  const std::string entry = "Display=1024x768";
  std::string lines9999;
  for (int i = 0; i < 9999; ++i) lines9999 += "x\n";
  const struct {
    const char* name;
    std::string text;
    std::string display;
  } cases[] = {
      {"an entry on line 10000", lines9999 + entry, "1024x768"},
      {"an entry on line 10001", lines9999 + "x\n" + entry, ""},
      {"an entry of 4096 bytes", "Display=" + std::string(4088, '7'), std::string(4088, '7')},
      {"an entry of 4096 bytes and CR LF", "Display=" + std::string(4088, '7') + "\r\n",
       std::string(4088, '7')},
      {"an entry of 4097 bytes", "Display=" + std::string(4089, '7'), std::string(4088, '7')},
      {"an entry ending at 1 MiB", Padding((1 << 20) - entry.size()) + entry, "1024x768"},
      {"an entry ending a byte past it", Padding((1 << 20) - entry.size() + 1) + entry, "1024x76"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SettingsStore s = LoadText(c.text);
    EXPECT_EQ(SettingsGet(s, "Display"), c.display);
  }
}

TEST(Settings, SaveWritesEveryEntryAndLoadsBack) {
  std::string templ = (fs::temp_directory_path() / "zirpel-settings-XXXXXX").string();
  const std::string dir = ::mkdtemp(templ.data());
  SettingsStore s;
  SettingsSet(s, "Display", "Auto");
  SettingsSet(s, "Particle", "Enabled");
  EXPECT_EQ(SettingsSave(s, dir + "/out.ini"), 2);
  std::ifstream in(dir + "/out.ini", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "Display=Auto\r\nParticle=Enabled\r\n");
  fs::remove_all(dir);
}

TEST(Settings, DisplayValues) {
  int w = -1, h = -1;
  ParseDisplay("1280x1024", w, h);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 1024);
  ParseDisplay("1024", w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 1024);
  ParseDisplay("800x600=1", w, h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  ParseDisplay("1280 x 1024", w, h);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 1024);
  ParseDisplay("1280X1024", w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 1280);
  ParseDisplay("", w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  ParseDisplay("640.5x480.5", w, h);  // halves round to even
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
}

}  // namespace

TEST(Settings, UnusableValuesAreSaidOnceAndReplacedByWhatNoLineGives) {
  const struct {
    const char* line;
    const char* key;
    const char* after;  // the value the game goes on with
    bool said;
  } cases[] = {
      {"Display=abcxdef", "Display", "Auto", true},
      {"Display=", "Display", "Auto", true},
      {"Display=0x600", "Display", "Auto", true},
      {"Display=Auto", "Display", "Auto", false},
      {"Display=1280x800", "Display", "1280x800", false},
      {"SoundVolume=9999", "SoundVolume", "80", true},
      {"SoundVolume=-1", "SoundVolume", "80", true},
      {"SoundVolume=laut", "SoundVolume", "80", true},
      {"SoundVolume=0", "SoundVolume", "0", false},
      {"SoundVolume=100", "SoundVolume", "100", false},
      {"SoundVolume=12.5", "SoundVolume", "12.5", false},
      {"ParticleNumber=99999999", "ParticleNumber", "0", true},
      {"ParticleNumber=1e9", "ParticleNumber", "0", true},
      {"ParticleNumber=35abc", "ParticleNumber", "0", true},
      {"ParticleNumber=35", "ParticleNumber", "35", false},
      {"ParticleNumber=100", "ParticleNumber", "100", false},
      {"Particle=vielleicht", "Particle", "vielleicht", false},  // a switch is off, not wrong
  };
  for (const auto& c : cases) {
    SettingsStore s = LoadText(std::string(c.line) + "\r\nSound=Enabled\r\n");
    const std::vector<std::string> said = ReplaceUnusableSettings(s);
    EXPECT_EQ(SettingsGet(s, c.key), c.after) << c.line;
    EXPECT_EQ(SettingsGet(s, "Sound"), "Enabled") << c.line;
    ASSERT_EQ(said.size(), c.said ? 1u : 0u) << c.line;
    if (c.said) {
      EXPECT_EQ(said[0].rfind(std::string("Die Einstellung ") + c.line + " ist unbrauchbar", 0), 0u)
          << said[0];
    }
    EXPECT_TRUE(ReplaceUnusableSettings(s).empty()) << c.line;  // once
  }
  // All three wrong at once: three lines; no settings at all: none.
  SettingsStore s = LoadText("Display=abcxdef\nSoundVolume=9999\nParticleNumber=99999999\n");
  EXPECT_EQ(ReplaceUnusableSettings(s).size(), 3u);
  SettingsStore none;
  EXPECT_TRUE(ReplaceUnusableSettings(none).empty());
  EXPECT_EQ(none.count, 0);
}
