// The mixer's voices, its command queue and the master stage (offset
// blocker and peak limiter).
#include "audio/mixer.h"

#include <algorithm>
#include <cmath>

namespace {

// The master stage keeps peaks below this, whatever plays at once.
constexpr double kCeiling = 0.89;
// How fast the limiter lets go after a peak (per sample, about 150 ms).
constexpr double kReleaseSeconds = 0.15;

}  // namespace

Mixer::Mixer(const SoundBank& bank, float volume)
    : bank_(bank), volume_(std::clamp(volume, 0.0f, 1.0f)) {}

void Mixer::Post(const Command& c) {
  const std::uint32_t head = head_.load(std::memory_order_relaxed);
  if (head - tail_.load(std::memory_order_acquire) >= kQueue) return;  // full: dropped
  queue_[head % kQueue] = c;
  head_.store(head + 1, std::memory_order_release);
}

void Mixer::Play(Sound sound, float gain, float pitch) {
  Post(Command{0, sound, gain, pitch});
}

void Mixer::Hold(Sound loop, float gain) {
  Post(Command{1, loop, gain, 1.0f});
}

void Mixer::Apply(const Command& c) {
  const SoundClip& clip = bank_.Clip(c.sound);
  if (clip.samples.empty() || (clip.loop && !c.hold)) return;
  const float gain = std::clamp(c.gain, 0.0f, 4.0f);
  if (c.hold) {
    for (Voice& v : voices_) {
      if (v.active && v.sound == c.sound) {
        v.target = gain;
        v.lease = gain > 0.0f ? static_cast<long>(kLoopLeaseSeconds * bank_.rate) : 0;
        return;
      }
    }
    if (gain <= 0.0f) return;
  }
  Voice* slot = nullptr;
  for (Voice& v : voices_) {
    if (!v.active) {
      slot = &v;
      break;
    }
  }
  if (!slot) {
    // Every voice busy: the one-shot with the least left to say makes room.
    double least = 1e30;
    for (Voice& v : voices_) {
      if (v.clip->loop) continue;
      const double left = v.gain * (1.0 - v.pos / static_cast<double>(v.clip->samples.size()));
      if (left < least) {
        least = left;
        slot = &v;
      }
    }
    if (!slot) return;
  }
  Voice& v = *slot;
  v = Voice();
  v.active = true;
  v.sound = c.sound;
  v.clip = &clip;
  v.step = std::clamp(static_cast<double>(c.pitch), 0.25, 4.0);
  v.target = gain;
  // A loop fades in and out over its clip's fade time, in a straight line.
  v.slope = static_cast<float>(1.0 / (std::max(clip.fadeSeconds, 0.002) * bank_.rate));
  if (c.hold) {
    v.gain = 0.0f;
    v.lease = static_cast<long>(kLoopLeaseSeconds * bank_.rate);
  } else {
    v.gain = gain;  // a one-shot brings its own soft attack
  }
}

void Mixer::RenderVoice(Voice& v, float* acc, int frames) {
  const std::vector<float>& s = v.clip->samples;
  const double length = static_cast<double>(s.size());
  const bool loop = v.clip->loop;
  for (int i = 0; i < frames; ++i) {
    if (loop) {
      if (v.lease > 0 && --v.lease == 0) v.target = 0.0f;
      if (v.target == 0.0f && v.gain == 0.0f) {
        v.active = false;
        return;
      }
    }
    if (v.gain < v.target) {
      v.gain = std::min(v.target, v.gain + v.slope);
    } else if (v.gain > v.target) {
      v.gain = std::max(v.target, v.gain - v.slope);
    }
    const size_t at = static_cast<size_t>(v.pos);
    const double frac = v.pos - static_cast<double>(at);
    const float a = s[at];
    const float b = at + 1 < s.size() ? s[at + 1] : (loop ? s[0] : 0.0f);
    acc[i] += v.gain * static_cast<float>(a + (b - a) * frac);
    v.pos += v.step;
    if (v.pos >= length) {
      if (!loop) {
        v.active = false;
        return;
      }
      v.pos -= length;
    }
  }
}

void Mixer::Render(float* out, int frames) {
  for (std::uint32_t tail = tail_.load(std::memory_order_relaxed);
       tail != head_.load(std::memory_order_acquire); ++tail) {
    Apply(queue_[tail % kQueue]);
    tail_.store(tail + 1, std::memory_order_release);
  }
  const double release = std::exp(-1.0 / (kReleaseSeconds * bank_.rate));
  constexpr int kChunk = static_cast<int>(sizeof scratch_ / sizeof scratch_[0]);
  for (int done = 0; done < frames;) {
    const int n = std::min(kChunk, frames - done);
    std::fill(scratch_, scratch_ + n, 0.0f);
    for (Voice& v : voices_) {
      if (v.active) RenderVoice(v, scratch_, n);
    }
    for (int i = 0; i < n; ++i) {
      // An offset blocker (a few hertz), then a limiter that takes peaks
      // down at once and lets go slowly: the stream never clips.
      const double x = static_cast<double>(scratch_[i]) * volume_;
      dcOut_ = x - dcIn_ + 0.9995 * dcOut_;
      dcIn_ = x;
      peak_ = std::max(std::abs(dcOut_), peak_ * release);
      const double gain = peak_ > kCeiling ? kCeiling / peak_ : 1.0;
      out[done + i] = static_cast<float>(std::clamp(dcOut_ * gain, -1.0, 1.0));
    }
    done += n;
  }
}

int Mixer::ActiveVoices() const {
  int n = 0;
  for (const Voice& v : voices_) n += v.active ? 1 : 0;
  return n;
}
