// libFuzzer entry for the settings file. The input is the file. It is read,
// every entry is looked up, the values the game reads are used the way the
// game uses them, one entry is set (a key and value taken from the input,
// shaped as a file line could hold them), the table is saved and read back.
// The run stops with a trap when
//   - a lookup does not give the value of the first entry with that key,
//   - what was saved does not read back as the same table,
//   - saving the table read back does not give the same bytes,
//   - a value the game reads gives a screen size, spark count or sound
//     volume out of range.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_files.h"
#include "game/settings.h"
#include "sim/particles.h"
#include "sound/sound.h"

namespace {

bool SameTable(const SettingsStore& a, const SettingsStore& b) {
  if (a.count != b.count) return false;
  for (int i = 0; i < a.count; ++i) {
    if (a.keys[i] != b.keys[i] || a.values[i] != b.values[i]) return false;
  }
  return true;
}

// A key or value as a file line can carry it: no line break, no blank or
// CR where reading would trim it, a key without '=' that does not start a
// section line.
std::string Shaped(std::string text, bool key) {
  std::string out;
  for (char c : text) {
    if (c == '\n' || (key && c == '=')) continue;
    out += c;
  }
  while (!out.empty() && (out.back() == ' ' || (!key && out.back() == '\r'))) out.pop_back();
  while (!out.empty() && (out.front() == ' ' || (key && out.front() == '['))) out.erase(0, 1);
  if (key && out.empty()) out = "Key";
  return out;
}

double Zero() {
  return 0.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::ScratchDir() + "/settings.ini";
  const std::string saved = fuzz::ScratchDir() + "/saved.ini";
  FuzzedDataProvider in(data, size);
  const std::string key = Shaped(in.ConsumeRandomLengthString(64), true);
  const std::string value = Shaped(in.ConsumeRandomLengthString(64), false);
  fuzz::WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));

  SettingsStore store;
  const int count = SettingsLoad(store, path);
  if (count != store.count || count < 0 || count > SettingsStore::kCapacity) __builtin_trap();
  for (int i = 0; i < store.count; ++i) {
    int first = 0;
    while (store.keys[first] != store.keys[i]) ++first;
    if (SettingsGet(store, store.keys[i]) != store.values[first]) __builtin_trap();
  }

  // The values the game reads, used as the game uses them.
  int width = 0, height = 0;
  ParseDisplay(SettingsGet(store, "Display"), width, height);
  BreakEvent event;
  event.rightX = 1.0f;  // a gap of one unit: the count is the number itself, up to the cap
  ParticleList sparks;
  EmitBreakParticles(sparks, event, SettingsGet(store, "ParticleNumber"), Zero);
  if (sparks.items.size() > 10000) __builtin_trap();
  const float gain = SoundVolumeGain(SettingsGet(store, "SoundVolume"));
  if (!(gain >= 0.0f && gain <= 1.0f)) __builtin_trap();

  SettingsSet(store, key, value);
  if (store.count > SettingsStore::kCapacity) __builtin_trap();
  SettingsSave(store, saved);
  SettingsStore back;
  SettingsLoad(back, saved);
  if (!SameTable(store, back)) __builtin_trap();
  const std::string first = fuzz::ReadFile(saved);
  SettingsSave(back, saved);
  if (fuzz::ReadFile(saved) != first) __builtin_trap();
  return 0;
}
