// The synthesiser's clips and the mixer, without any device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/synth.h"

namespace {

const SoundBank& Bank() {
  static const SoundBank bank = BuildSoundBank(44100);
  return bank;
}

float Peak(const std::vector<float>& s, size_t from = 0, size_t to = SIZE_MAX) {
  float peak = 0.0f;
  for (size_t i = from; i < std::min(to, s.size()); ++i) peak = std::max(peak, std::abs(s[i]));
  return peak;
}

std::vector<float> Render(Mixer& mixer, double seconds) {
  std::vector<float> out(static_cast<size_t>(seconds * 44100));
  // In blocks of an odd size, as a device would ask.
  for (size_t at = 0; at < out.size(); at += 333) {
    mixer.Render(out.data() + at, static_cast<int>(std::min<size_t>(333, out.size() - at)));
  }
  return out;
}

TEST(SoundBank, EveryClipIsSoftCentredUnclippedAndLoopsRunOnSeamlessly) {
  std::set<std::string> names;
  for (int i = 0; i < kSoundCount; ++i) {
    const Sound sound = static_cast<Sound>(i);
    SCOPED_TRACE(SoundName(sound));
    names.insert(SoundName(sound));
    const std::vector<float>& s = Bank().Clip(sound).samples;
    ASSERT_GT(s.size(), 2000u);
    EXPECT_EQ(Bank().Clip(sound).loop, SoundLoops(sound));
    const float peak = Peak(s);
    EXPECT_GT(peak, 0.3f);
    EXPECT_LE(peak, 0.95f);
    double mean = 0.0;
    for (float v : s) mean += v;
    EXPECT_LT(std::abs(mean / static_cast<double>(s.size())), 1e-3);  // no offset
    float largestStep = 0.0f;
    for (size_t k = 1; k < s.size(); ++k)
      largestStep = std::max(largestStep, std::abs(s[k] - s[k - 1]));
    if (SoundLoops(sound)) {
      // From the last sample on to the first: no step larger than inside.
      EXPECT_LE(std::abs(s.front() - s.back()), largestStep);
    } else {
      // Starts and ends at rest, and rises softly: the first half
      // millisecond stays far below the peak.
      EXPECT_EQ(s.front(), 0.0f);
      EXPECT_LT(std::abs(s.back()), 1e-4f);
      EXPECT_LT(Peak(s, 0, 22), 0.25f * peak);
    }
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kSoundCount));
  // The same rate gives the same sounds.
  EXPECT_EQ(BuildSoundBank(44100).Clip(Sound::kBreak).samples, Bank().Clip(Sound::kBreak).samples);
}

TEST(Mixer, AFixedSetOfVoicesNeverClipsAndTheQuietestMakesRoom) {
  Mixer mixer(Bank(), 1.0f);
  for (int i = 0; i < 40; ++i) mixer.Play(i % 2 ? Sound::kWin : Sound::kBreak, 4.0f, 1.0f);
  const std::vector<float> out = Render(mixer, 0.05);
  EXPECT_EQ(mixer.ActiveVoices(), Mixer::kVoices);
  EXPECT_GT(Peak(out), 0.5f);
  EXPECT_LE(Peak(out), 0.9f);
  // Everything plays out; afterwards the mix is silent and every voice free.
  const std::vector<float> rest = Render(mixer, 2.5);
  EXPECT_EQ(mixer.ActiveVoices(), 0);
  EXPECT_LT(Peak(rest, rest.size() - 4410), 1e-4f);
  EXPECT_LE(Peak(rest), 0.9f);
}

TEST(Mixer, LoopsLastAsLongAsTheyAreHeldAndVolumeScalesEverything) {
  Mixer mixer(Bank(), 1.0f);
  mixer.Hold(Sound::kSizzle, 1.0f);
  std::vector<float> out = Render(mixer, 0.1);
  EXPECT_GT(Peak(out, 2205), 0.1f);  // eased in within 50 ms
  // Held again within its lease, it goes on past the clip's own end.
  for (int i = 0; i < 30; ++i) {
    mixer.Hold(Sound::kSizzle, 1.0f);
    out = Render(mixer, 0.1);
  }
  EXPECT_GT(Peak(out), 0.1f);
  EXPECT_EQ(mixer.ActiveVoices(), 1);
  // No longer held: it fades out and frees its voice.
  out = Render(mixer, 0.5);
  EXPECT_EQ(mixer.ActiveVoices(), 0);
  EXPECT_LT(Peak(out, out.size() - 4410), 1e-4f);

  Mixer silent(Bank(), 0.0f);
  silent.Play(Sound::kWin, 1.0f);
  EXPECT_EQ(Peak(Render(silent, 0.5)), 0.0f);
  Mixer half(Bank(), 0.5f);
  Mixer full(Bank(), 1.0f);
  half.Play(Sound::kHint, 0.5f);
  full.Play(Sound::kHint, 0.5f);
  EXPECT_NEAR(Peak(Render(half, 0.5)), 0.5f * Peak(Render(full, 0.5)), 0.01f);
}

}  // namespace
