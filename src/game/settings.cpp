// The settings store: key=value lines, read once at start-up.
#include "game/settings.h"

#include <cmath>
#include <limits>
#include <vector>

#include "platform/platform.h"
#include "sim/particles.h"
#include "world/map.h"

namespace {

std::string TrimBlanks(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const size_t last = line.find_last_not_of(' ');
  return line.substr(first, last - first + 1);
}

int RoundToInt(double value) {
  if (!(value == value)) return 0;  // not a number
  const double r = std::nearbyint(value);
  if (r >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  if (r <= static_cast<double>(std::numeric_limits<int>::min()))
    return std::numeric_limits<int>::min();
  return static_cast<int>(r);
}

// A plain decimal number from lo to hi, blanks around it allowed: "35",
// " 80", "12.5"; not "", "abc", "35abc", "1e3" or "&H20".
bool PlainNumberWithin(const std::string& value, double lo, double hi) {
  const std::string text = TrimBlanks(value);
  std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  std::size_t digits = 0, points = 0;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      ++digits;
    } else if (text[i] == '.' && points == 0) {
      ++points;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double number = ParseNumber(text);
  return number >= lo && number <= hi;
}

}  // namespace

bool IsLaterSettingsKey(const std::string& key) {
  static const char* const kLater[] = {"Sound",  "SoundVolume",   "Ghost",
                                       "Medals", "RecordsServer", "PlayerName"};
  for (const char* later : kLater) {
    if (key == later) return true;
  }
  return false;
}

int SettingsLoad(SettingsStore& store, const std::string& fileName) {
  if (!fileName.empty()) store.fileName = fileName;
  store.count = 0;
  store.later.clear();
  // A settings file holds a handful of short lines: more than 1 MiB, 10,000
  // lines or 4 KiB in a line is not read (a hostile file costs no memory).
  plat::TextLimits limits;
  limits.maxBytes = std::size_t{1} << 20;
  limits.maxLines = 10000;
  limits.maxLineBytes = 4096;
  std::vector<std::string> lines;
  plat::ReadTextLines(store.fileName, limits, lines);
  for (const std::string& raw : lines) {
    const std::string line = TrimBlanks(raw);
    if (line.empty() || line[0] == '[') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    // The table holds 11 entries; further key lines are ignored, but for the
    // game's later keys (a few of them: one line each is enough).
    if (store.count >= SettingsStore::kCapacity) {
      const std::string key = line.substr(0, eq);
      if (IsLaterSettingsKey(key) && store.later.size() < 16)
        store.later.emplace_back(key, line.substr(eq + 1));
      continue;
    }
    store.keys[store.count] = line.substr(0, eq);
    store.values[store.count] = line.substr(eq + 1);
    ++store.count;
  }
  return store.count;
}

std::string SettingsGet(const SettingsStore& store, const std::string& key) {
  for (int i = 0; i < store.count; ++i) {
    if (store.keys[i] == key) return store.values[i];
  }
  for (const auto& [k, v] : store.later) {
    if (k == key) return v;
  }
  return std::string();
}

int SettingsSet(SettingsStore& store, const std::string& key, const std::string& value) {
  for (int i = 0; i < store.count; ++i) {
    if (store.keys[i] == key) {
      store.values[i] = value;
      return store.count;
    }
  }
  for (auto& [k, v] : store.later) {
    if (k == key) {
      v = value;
      return store.count;
    }
  }
  if (store.count < SettingsStore::kCapacity) {
    store.keys[store.count] = key;
    store.values[store.count] = value;
    ++store.count;
  }
  return store.count;
}

int SettingsSave(SettingsStore& store, const std::string& fileName) {
  if (!fileName.empty()) store.fileName = fileName;
  std::string text;
  for (int i = 0; i < store.count; ++i) text += store.keys[i] + "=" + store.values[i] + "\r\n";
  for (const auto& [k, v] : store.later) text += k + "=" + v + "\r\n";
  plat::WriteFileAtomically(store.fileName, text);
  return store.count;
}

void ParseDisplay(const std::string& value, int& width, int& height) {
  const size_t x = value.find('x');
  if (x == std::string::npos) {
    width = 0;
    height = RoundToInt(ParseNumber(value));
    return;
  }
  width = RoundToInt(ParseNumber(value.substr(0, x)));
  height = RoundToInt(ParseNumber(value.substr(x + 1)));
}

bool SettingEnabled(const SettingsStore& store, const std::string& key) {
  return SettingsGet(store, key) == kEnabled;
}

std::vector<std::string> ReplaceUnusableSettings(SettingsStore& store) {
  struct Rule {
    const char* key;
    const char* fallback;  // what the game takes without the line
    const char* usable;    // what the line should say, for the message
    const char* taken;     // what the game does instead
  };
  static const Rule kRules[] = {
      {"Display", "Auto", "Auto oder Breite x Hoehe wie 1280x800", "die Groesse des Bildschirms"},
      {"SoundVolume", "80", "eine Zahl von 0 bis 100", "80"},
      {"ParticleNumber", "0", "eine Zahl von 0 bis 100", "0 (keine Funken)"},
  };
  std::vector<std::string> said;
  for (const Rule& rule : kRules) {
    bool present = false;
    for (int i = 0; i < store.count; ++i) present = present || store.keys[i] == rule.key;
    for (const auto& entry : store.later) present = present || entry.first == rule.key;
    if (!present) continue;
    const std::string value = SettingsGet(store, rule.key);
    bool usable = false;
    if (rule.key == std::string("Display")) {
      int width = 0, height = 0;
      ParseDisplay(value, width, height);
      usable = value == "Auto" || (width > 0 && height > 0);
    } else if (rule.key == std::string("SoundVolume")) {
      usable = PlainNumberWithin(value, 0.0, 100.0);
    } else {
      usable = PlainNumberWithin(value, 0.0, kMaxParticleNumber);
    }
    if (usable) continue;
    SettingsSet(store, rule.key, rule.fallback);
    said.push_back("Die Einstellung " + std::string(rule.key) + "=" + value +
                   " ist unbrauchbar (erwartet: " + rule.usable + "); das Spiel nimmt " +
                   rule.taken + ".");
    plat::ConsoleWarning(said.back());
  }
  return said;
}
