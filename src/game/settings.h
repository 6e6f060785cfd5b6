// Settings store: key=value lines of Res/settings.ini, read once at start-up.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct SettingsStore {
  static constexpr int kCapacity = 11;
  std::string keys[kCapacity];
  std::string values[kCapacity];
  int count = 0;
  std::string fileName;
  // The game's later keys (sound, ghost, medals, world records) in lines past
  // the table's 11 entries: a file with all of them still reaches each one.
  // Keys of the table's own kind stay ignored there.
  std::vector<std::pair<std::string, std::string>> later;
};

// Whether the key is one of the game's later keys (see SettingsStore::later).
bool IsLaterSettingsKey(const std::string& key);

// Replaces the whole table with the file's entries (a non-empty name becomes
// the current file). Lines beyond the table's 11 entries are ignored but for
// the game's later keys, and so is everything past the file's first 1 MiB,
// 10,000 lines or 4 KiB of a line.
int SettingsLoad(SettingsStore& store, const std::string& fileName);
// Value of the first entry with exactly this key (a later key past the
// table too), "" when there is none.
std::string SettingsGet(const SettingsStore& store, const std::string& key);
// Replaces the first matching entry's value or appends an entry (ignored
// when the table is full). Returns the entry count.
int SettingsSet(SettingsStore& store, const std::string& key, const std::string& value);
// Writes every entry as key=value CR LF to the current file.
int SettingsSave(SettingsStore& store, const std::string& fileName);

// The value that switches a setting on; any other value, or none, is off.
inline const std::string kEnabled = "Enabled";
// Whether the key's value is "Enabled".
bool SettingEnabled(const SettingsStore& store, const std::string& key);

// "Display" as width "x" height; "1024" gives 0 by 1024.
void ParseDisplay(const std::string& value, int& width, int& height);

// Right after loading: a "Display", "SoundVolume" or "ParticleNumber" value
// the game cannot use (no size, a volume outside 0 to 100, a spark number
// outside 0 to 100) is replaced by what the game takes without the line
// ("Auto", "80", "0"), and said on standard error in German, one line per
// value. Returns those lines. Missing keys and usable values stay untouched.
std::vector<std::string> ReplaceUnusableSettings(SettingsStore& store);
