// The game's sound: the switch in the settings, the audio device, and the
// ears that turn what a frame left behind into sounds. Sound only listens:
// after each frame it reads what the scene, the rules and the screens left
// and never writes any of it, so the game plays the same with and without it.
//
// Depends on: audio (synth, mixer), app (game state, settings), platform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/synth.h"

struct Game;

// What the ears remember of one ball from the frame before.
struct HeardBall {
  bool known = false;
  float x = 0.0f, y = 0.0f, vx = 0.0f, vy = 0.0f, lastDampTime = 0.0f;
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
  int hintsWaiting = 0;          // "Output.text" objects not yet fired
  bool burning = false;
  bool boosting = false;
  float energy = 0.0f;
  float burnTime = 0.0f;
  float goalReached = 0.0f;
  int runLost = 0;
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

constexpr int kSoundRate = 44100;

// "SoundVolume" as a gain: 0 to 100 per cent, 80 when missing or not a
// number.
float SoundVolumeGain(const std::string& value);

// At start-up: with "Sound" "Enabled", makes the sounds and opens the audio
// device; without a device the game stays silent and says so once on
// standard error.
void StartSound(Game& game);

// After a frame, before it is presented: starts the sounds of what changed
// since the frame before. `screen` names the screen ("menu", "levelselect",
// "session", "credits").
void HearFrame(Game& game, const char* screen);
