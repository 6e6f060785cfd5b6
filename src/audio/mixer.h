// The mixer: a fixed set of voices that play clips of the sound bank, summed
// into one mono stream. The game posts commands into a lock-free queue and
// never waits; Render runs wherever the samples are pulled (the audio
// device's thread, or the headless clock) and never waits either.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/synth.h"

class Mixer {
 public:
  static constexpr int kVoices = 16;
  // A loop that is not held again within this time fades out.
  static constexpr double kLoopLeaseSeconds = 0.15;

  // volume in [0, 1] scales everything. The bank must outlive the mixer.
  Mixer(const SoundBank& bank, float volume);

  // ---- game thread -------------------------------------------------------
  // Starts a one-shot at gain (1 = the clip as made) and pitch (playback
  // speed, 1 = as made); loops are left to Hold. With every voice busy, the
  // quietest one-shot makes room. Commands that find the queue full are
  // dropped.
  void Play(Sound sound, float gain, float pitch = 1.0f);
  // Keeps a loop sounding at gain for the next lease; gain 0 fades it out.
  void Hold(Sound loop, float gain);

  // ---- audio side --------------------------------------------------------
  // The next `frames` samples, in [-1, 1].
  void Render(float* out, int frames);
  int ActiveVoices() const;  // voices sounding now (audio side only)

 private:
  struct Command {
    std::uint8_t hold = 0;
    Sound sound = Sound::kClick;
    float gain = 0.0f;
    float pitch = 1.0f;
  };
  struct Voice {
    bool active = false;
    Sound sound = Sound::kClick;
    const SoundClip* clip = nullptr;
    double pos = 0.0;
    double step = 1.0;
    float gain = 0.0f;    // now, moving towards target
    float target = 0.0f;  // asked for
    float slope = 1.0f;   // gain change per sample: the clip's fade
    long lease = 0;       // samples left before a loop fades out
  };
  static constexpr std::uint32_t kQueue = 256;

  void Post(const Command& c);
  void Apply(const Command& c);
  void RenderVoice(Voice& v, float* acc, int frames);

  const SoundBank& bank_;
  float volume_;
  Command queue_[kQueue];
  std::atomic<std::uint32_t> head_{0};  // written by the game thread
  std::atomic<std::uint32_t> tail_{0};  // written by the audio side
  Voice voices_[kVoices];
  double dcIn_ = 0.0, dcOut_ = 0.0;
  double peak_ = 0.0;
  float scratch_[512];
};
