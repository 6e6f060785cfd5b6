// What the game's ears keep between frames: the sound switch, the mixer
// and what the previous frame showed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/synth.h"

// What the ears remember of one ball from the frame before.
struct HeardBall {
  bool known = false;     // heard since the screen began or the level restarted
  double level = 0.0;     // recent impacts, fading: a resting ball stays quiet
  double lastHit = -1.0;  // timer seconds of its last hit sound
};

// What the previous frame showed.
struct HeardFrame {
  std::string screen;
  HeardBall balls[5];  // 1..4: the menu's balls; ball 1 alone in play
  std::uint64_t mapRevision = 0;
  int mapLineCount = 0;
  double breakableLength = 0.0;  // destructible platforms, world units
  bool burning = false;
  bool boosting = false;
  int menuSelection = 0;
  int selectedMode = 0;
  int highlightedLevel = 0;
};

struct SoundState {
  bool on = false;  // "Sound" is "Enabled"
  std::shared_ptr<const SoundBank> bank;
  std::shared_ptr<Mixer> mixer;     // null while there is no device
  std::vector<std::string> Sounds;  // names of the sounds started this frame
  HeardFrame heard;
  std::uint32_t random = 0x2545f491u;  // pitch variation, apart from the game's
};
