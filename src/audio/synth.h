// The game's sounds, made from code at start-up: every effect and jingle is
// synthesised here into a clip of mono samples; no sound file is read.
#pragma once

#include <cstdint>
#include <vector>

// Every sound the game plays. The loops (fire's sizzle, the boost's whoosh,
// the menus' chords) play for as long as the game keeps asking for them.
enum class Sound : std::uint8_t {
  kHitPlatform,  // a ball knocks on a platform
  kHitSphere,    // a ball glances off a static sphere
  kHitBall,      // two balls clack together
  kBreak,        // a platform cracks, with a sparkle tail
  kFire,         // ball 1 catches fire
  kSizzle,       // loop: ball 1 burns
  kHiss,         // blue puts the fire out
  kBoost,        // loop: the boost pushes
  kHint,         // a text hint appears
  kWin,          // jingle: the race is won
  kLose,         // jingle: the run is lost
  kClick,        // a move in the menu or the level selection
  kSelect,       // a choice in the menu or the level selection
  kBack,         // back to the menu
  kAmbient,      // loop: quiet chords under the menus
  kCount
};
constexpr int kSoundCount = static_cast<int>(Sound::kCount);

// The sound's name as the state dump writes it ("hit_platform", "break", ...).
const char* SoundName(Sound sound);
bool SoundLoops(Sound sound);

// One sound as samples in [-1, 1] at the bank's rate. A one-shot starts and
// ends at zero; a loop runs on seamlessly from its last sample to its first.
struct SoundClip {
  std::vector<float> samples;
  bool loop = false;
  double fadeSeconds = 0.0;  // a loop's fade in and out, from silence to full
};

struct SoundBank {
  int rate = 44100;
  SoundClip clips[kSoundCount];
  const SoundClip& Clip(Sound sound) const { return clips[static_cast<int>(sound)]; }
};

// Synthesises every sound at the given sample rate. Deterministic: the same
// rate gives the same samples (the noise comes from a fixed seed).
SoundBank BuildSoundBank(int rate);
