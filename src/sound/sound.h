// The game's sound: the switch in the settings, the audio device, and the
// ears that turn what a frame did into sounds. Sound only listens: after
// each frame it hears the events the step reported and reads what the scene
// and the screens left, and never writes any of it, so the game plays the
// same with and without it.
#pragma once

#include <string>

#include "game/play_events.h"
#include "game/sound_state.h"

struct Game;

constexpr int kSoundRate = 44100;

// "SoundVolume" as a gain: 0 to 100 per cent, 80 when missing or not a
// number.
float SoundVolumeGain(const std::string& value);

// At start-up: with "Sound" "Enabled", makes the sounds and opens the audio
// device; without a device the game stays silent and says so once on
// standard error.
void StartSound(Game& game);

// After a frame, before it is presented: starts the sounds of what the frame
// did. `screen` names the screen ("menu", "levelselect", "session",
// "credits"); play, menu and credits frames bring the events their step
// reported (the menu and credits scenes their balls' hits).
void HearFrame(Game& game, const char* screen, const PlayEvents* events = nullptr);
