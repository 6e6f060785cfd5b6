// The synthesiser: sines, filtered noise and soft envelopes, mixed into the
// game's clips once at start-up.
#include "audio/synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// White noise in [-1, 1) from a 32-bit xorshift: the same seed gives the
// same clip on every machine.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed ? seed : 1u) {}
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }
  double Uniform() { return 0.5 * (Next() + 1.0); }  // [0, 1)

 private:
  std::uint32_t state_;
};

// A second-order filter (the audio cookbook's forms), retunable while it
// runs so that sweeps stay smooth.
class Biquad {
 public:
  enum Kind { kLowpass, kHighpass, kBandpass };
  Biquad(Kind kind, double frequency, double q, double rate) : kind_(kind), rate_(rate) {
    Tune(frequency, q);
  }
  void Tune(double frequency, double q) {
    frequency = std::clamp(frequency, 10.0, 0.45 * rate_);
    const double w = kTwoPi * frequency / rate_;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    switch (kind_) {
      case kLowpass:
        b0_ = (1.0 - c) / 2.0;
        b1_ = 1.0 - c;
        b2_ = b0_;
        break;
      case kHighpass:
        b0_ = (1.0 + c) / 2.0;
        b1_ = -(1.0 + c);
        b2_ = b0_;
        break;
      case kBandpass:  // 0 dB at the centre
        b0_ = alpha;
        b1_ = 0.0;
        b2_ = -alpha;
        break;
    }
    b0_ /= a0;
    b1_ /= a0;
    b2_ /= a0;
    a1_ = -2.0 * c / a0;
    a2_ = (1.0 - alpha) / a0;
  }
  double Tick(double x) {
    const double y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return y;
  }

 private:
  Kind kind_;
  double rate_;
  double b0_ = 1.0, b1_ = 0.0, b2_ = 0.0, a1_ = 0.0, a2_ = 0.0;
  double z1_ = 0.0, z2_ = 0.0;
};

// A soft strike: a raised-cosine rise over `attack` seconds, then an
// exponential fall with time constant `tau`. Zero before the strike.
double Strike(double t, double attack, double tau) {
  if (t < 0.0) return 0.0;
  if (t < attack) return 0.5 - 0.5 * std::cos(std::numbers::pi * t / attack);
  return std::exp(-(t - attack) / tau);
}

// A clip under construction, in double.
struct Draft {
  int rate;
  std::vector<double> s;
  Draft(int r, double seconds) : rate(r), s(static_cast<size_t>(seconds * r), 0.0) {}
  double Time(size_t i) const { return static_cast<double>(i) / rate; }
};

// Adds a struck sine (with optional vibrato) starting at t0.
void AddPartial(Draft& d, double t0, double frequency, double amp, double attack, double tau,
                double vibratoDepth = 0.0, double vibratoRate = 0.0) {
  double phase = 0.0;
  const size_t first = static_cast<size_t>(std::max(0.0, t0) * d.rate);
  for (size_t i = first; i < d.s.size(); ++i) {
    const double t = d.Time(i) - t0;
    const double env = Strike(t, attack, tau);
    if (t > attack && env < 1e-5) break;
    const double f = frequency * (1.0 + vibratoDepth * std::sin(kTwoPi * vibratoRate * t));
    d.s[i] += amp * env * std::sin(phase);
    phase += kTwoPi * f / d.rate;
  }
}

// A note with a few harmonics that die away faster than the fundamental.
void AddNote(Draft& d, double t0, double frequency, double amp, double attack, double tau,
             const std::vector<double>& harmonics) {
  AddPartial(d, t0, frequency, amp, attack, tau);
  for (size_t h = 0; h < harmonics.size(); ++h) {
    const double n = static_cast<double>(h + 2);
    AddPartial(d, t0, frequency * n, amp * harmonics[h], attack, tau / n);
  }
}

// Adds a burst of band-passed noise starting at t0.
void AddNoiseBurst(Draft& d, Noise& noise, double t0, double centre, double q, double amp,
                   double attack, double tau) {
  Biquad bp(Biquad::kBandpass, centre, q, d.rate);
  const size_t first = static_cast<size_t>(std::max(0.0, t0) * d.rate);
  for (size_t i = first; i < d.s.size(); ++i) {
    const double t = d.Time(i) - t0;
    const double env = Strike(t, attack, tau);
    if (t > attack && env < 1e-5) break;
    d.s[i] += amp * env * bp.Tick(noise.Next());
  }
}

// Finishing: a high-pass at 25 Hz takes any offset out, the edges fade to
// exactly zero, and the peak is scaled to `peak`.
void Finish(Draft& d, double peak, double fadeIn = 0.0005, double fadeOut = 0.008) {
  Biquad hp(Biquad::kHighpass, 25.0, 0.7071, d.rate);
  for (double& v : d.s) v = hp.Tick(v);
  const size_t n = d.s.size();
  const size_t in = std::min(n, static_cast<size_t>(fadeIn * d.rate) + 1);
  const size_t out = std::min(n, static_cast<size_t>(fadeOut * d.rate) + 1);
  for (size_t i = 0; i < in; ++i) {
    d.s[i] *= 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / in);
  }
  for (size_t i = 0; i < out; ++i) {
    d.s[n - 1 - i] *= 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / out);
  }
  double max = 0.0;
  for (double v : d.s) max = std::max(max, std::abs(v));
  if (max > 0.0) {
    for (double& v : d.s) v *= peak / max;
  }
}

// A loop: the draft holds the loop plus `overlap` seconds more, which are
// faded into the loop's start (equal power), so the last sample runs on into
// the first. The offset is taken out over the whole loop.
void FinishLoop(Draft& d, double overlap, double peak) {
  const size_t x = static_cast<size_t>(overlap * d.rate);
  const size_t n = d.s.size() - x;
  for (size_t i = 0; i < x; ++i) {
    const double a = 0.5 * std::numbers::pi * static_cast<double>(i) / x;
    d.s[i] = d.s[i] * std::sin(a) + d.s[n + i] * std::cos(a);
  }
  d.s.resize(n);
  double mean = 0.0;
  for (double v : d.s) mean += v;
  mean /= static_cast<double>(n);
  double max = 0.0;
  for (double& v : d.s) {
    v -= mean;
    max = std::max(max, std::abs(v));
  }
  if (max > 0.0) {
    for (double& v : d.s) v *= peak / max;
  }
}

// ---- the sounds ------------------------------------------------------------

// A knock on a plank: a low body that drops in pitch, a short overtone and a
// click of noise.
Draft HitPlatform(int rate) {
  Draft d(rate, 0.30);
  Noise noise(11);
  double phase = 0.0, phase2 = 0.0;
  for (size_t i = 0; i < d.s.size(); ++i) {
    const double t = d.Time(i);
    const double f = 150.0 + 95.0 * std::exp(-t / 0.025);
    d.s[i] += std::sin(phase) * Strike(t, 0.003, 0.055);
    d.s[i] += 0.28 * std::sin(phase2) * Strike(t, 0.003, 0.022);
    phase += kTwoPi * f / rate;
    phase2 += kTwoPi * f * 2.31 / rate;
  }
  AddNoiseBurst(d, noise, 0.0, 1800.0, 1.2, 0.6, 0.002, 0.006);
  Finish(d, 0.9);
  return d;
}

// Glass: inharmonic partials of a small bell.
Draft HitSphere(int rate) {
  Draft d(rate, 0.75);
  Noise noise(12);
  const double f = 1180.0;
  AddPartial(d, 0.0, f, 1.0, 0.002, 0.22);
  AddPartial(d, 0.0, f * 2.76, 0.5, 0.002, 0.12);
  AddPartial(d, 0.0, f * 5.40, 0.25, 0.002, 0.06);
  AddPartial(d, 0.0, f * 8.93, 0.1, 0.002, 0.03);
  AddNoiseBurst(d, noise, 0.0, 4000.0, 1.5, 0.3, 0.002, 0.003);
  Finish(d, 0.7);
  return d;
}

// Two hard balls: a short bright clack.
Draft HitBall(int rate) {
  Draft d(rate, 0.16);
  Noise noise(13);
  AddPartial(d, 0.0, 2100.0, 1.0, 0.0015, 0.030);
  AddPartial(d, 0.0, 3400.0, 0.6, 0.0015, 0.018);
  AddPartial(d, 0.0, 5200.0, 0.3, 0.0015, 0.010);
  AddNoiseBurst(d, noise, 0.0, 2800.0, 1.5, 0.8, 0.0015, 0.004);
  Finish(d, 0.8);
  return d;
}

// A crack that splinters, a low thump, then a tail of falling sparkles.
Draft Break(int rate) {
  Draft d(rate, 0.95);
  Noise noise(14);
  Biquad crack(Biquad::kBandpass, 3000.0, 0.9, rate);
  for (size_t i = 0; i < d.s.size(); ++i) {
    const double t = d.Time(i);
    if ((i & 15) == 0) crack.Tune(700.0 + 2300.0 * std::exp(-t / 0.05), 0.9);
    const double env = Strike(t, 0.002, 0.028) + 0.6 * Strike(t - 0.018, 0.0015, 0.02);
    d.s[i] += 1.6 * env * crack.Tick(noise.Next());
  }
  AddPartial(d, 0.0, 95.0, 0.5, 0.004, 0.05);
  Noise sparkle(15);
  for (int k = 0; k < 16; ++k) {
    const double t0 = 0.035 + 0.5 * std::pow(sparkle.Uniform(), 1.7);
    const double f = 2400.0 + 3800.0 * sparkle.Uniform();
    const double amp = 0.32 * std::exp(-t0 / 0.28) * (0.6 + 0.4 * sparkle.Uniform());
    AddPartial(d, t0, f, amp, 0.0015, 0.04);
  }
  Finish(d, 0.9);
  return d;
}

// Catching fire: a soft whoomp of rising noise over a low rumble, with the
// first crackles.
Draft Fire(int rate) {
  Draft d(rate, 0.95);
  Noise noise(16);
  Biquad lp(Biquad::kLowpass, 250.0, 0.9, rate);
  for (size_t i = 0; i < d.s.size(); ++i) {
    const double t = d.Time(i);
    if ((i & 15) == 0) lp.Tune(250.0 + 2800.0 * (1.0 - std::exp(-t / 0.12)), 0.9);
    d.s[i] += lp.Tick(noise.Next()) * Strike(t, 0.06, 0.22);
  }
  AddPartial(d, 0.0, 70.0, 0.4, 0.05, 0.2);
  Noise pops(17);
  for (int k = 0; k < 8; ++k) {
    const double t0 = 0.1 + 0.5 * pops.Uniform();
    AddNoiseBurst(d, noise, t0, 2500.0 + 2000.0 * pops.Uniform(), 1.5, 0.5, 0.0005, 0.004);
  }
  Finish(d, 0.8, 0.002, 0.05);
  return d;
}

// Burning: the low roar of a small flame that wavers, a faint hiss, and
// crackles, mostly small, now and then a louder one.
Draft Sizzle(int rate) {
  constexpr double kLoop = 2.0, kOverlap = 0.08;
  Draft d(rate, kLoop + kOverlap);
  Noise noise(18);
  Biquad roar(Biquad::kLowpass, 500.0, 0.7071, rate);
  Biquad hiss(Biquad::kBandpass, 4000.0, 0.8, rate);
  Biquad wobble(Biquad::kLowpass, 4.0, 0.7071, rate);
  Noise wobbleNoise(19);
  for (size_t i = 0; i < d.s.size(); ++i) {
    const double w = std::clamp(1.0 + 10.0 * wobble.Tick(wobbleNoise.Next()), 0.3, 1.7);
    d.s[i] += 0.9 * w * roar.Tick(noise.Next()) + 0.08 * hiss.Tick(noise.Next());
  }
  Noise crackles(20);
  const int count = static_cast<int>(40 * (kLoop + kOverlap));
  for (int k = 0; k < count; ++k) {
    const double t0 = (kLoop + kOverlap) * crackles.Uniform();
    const double size = std::pow(crackles.Uniform(), 3.0);
    AddNoiseBurst(d, noise, t0, 1500.0 + 3500.0 * crackles.Uniform(), 1.2, 0.15 + 0.85 * size,
                  0.0004, 0.0015 + 0.0025 * crackles.Uniform());
  }
  Biquad lp(Biquad::kLowpass, 8000.0, 0.7071, rate);
  for (double& v : d.s) v = lp.Tick(v);
  FinishLoop(d, kOverlap, 0.6);
  return d;
}

// Steam: a hiss whose colour sinks as it fades.
Draft Hiss(int rate) {
  Draft d(rate, 1.1);
  Noise noise(21);
  Biquad bp(Biquad::kBandpass, 6500.0, 0.7, rate);
  Biquad hp(Biquad::kHighpass, 1500.0, 0.7071, rate);
  Biquad lp(Biquad::kLowpass, 9000.0, 0.7071, rate);
  for (size_t i = 0; i < d.s.size(); ++i) {
    const double t = d.Time(i);
    if ((i & 15) == 0) bp.Tune(2500.0 + 4000.0 * std::exp(-t / 0.3), 0.7);
    d.s[i] += lp.Tick(hp.Tick(bp.Tick(noise.Next()))) * Strike(t, 0.012, 0.28);
  }
  Finish(d, 0.7, 0.002, 0.05);
  return d;
}

// The boost: wind through a band that swells twice per loop.
Draft Boost(int rate) {
  constexpr double kLoop = 1.6, kOverlap = 0.1;
  Draft d(rate, kLoop + kOverlap);
  Noise noise(22);
  Biquad band(Biquad::kBandpass, 550.0, 1.4, rate);
  Biquad upper(Biquad::kBandpass, 1200.0, 1.4, rate);
  Biquad lp(Biquad::kLowpass, 2000.0, 0.7071, rate);
  for (size_t i = 0; i < d.s.size(); ++i) {
    const double t = d.Time(i);
    // Two whole cycles per loop, so the sweep runs on across the seam.
    const double centre = 550.0 + 300.0 * std::sin(kTwoPi * 1.25 * t);
    if ((i & 15) == 0) {
      band.Tune(centre, 1.4);
      upper.Tune(centre * 2.2, 1.4);
    }
    const double x = noise.Next();
    const double swell = 0.85 + 0.15 * std::sin(kTwoPi * 2.5 * t);
    d.s[i] += swell * lp.Tick(band.Tick(x) + 0.4 * upper.Tick(x));
  }
  FinishLoop(d, kOverlap, 0.7);
  return d;
}

// A soft two-note chime, a fifth apart.
Draft Hint(int rate) {
  Draft d(rate, 1.4);
  AddNote(d, 0.0, 1046.5, 1.0, 0.006, 0.45, {0.3, 0.12});
  AddNote(d, 0.11, 1568.0, 0.8, 0.006, 0.45, {0.3, 0.12});
  Finish(d, 0.55);
  return d;
}

// Won: a rising major arpeggio that rings out in a chord.
Draft Win(int rate) {
  Draft d(rate, 1.9);
  const std::vector<double> mallet = {0.35, 0.15, 0.08};
  AddNote(d, 0.0, 523.25, 0.8, 0.004, 0.25, mallet);
  AddNote(d, 0.1, 659.25, 0.8, 0.004, 0.25, mallet);
  AddNote(d, 0.2, 783.99, 0.8, 0.004, 0.25, mallet);
  AddNote(d, 0.3, 1046.5, 0.9, 0.004, 0.7, mallet);
  AddNote(d, 0.3, 1318.5, 0.35, 0.004, 0.6, mallet);
  AddNote(d, 0.3, 783.99, 0.35, 0.004, 0.6, mallet);
  Finish(d, 0.8);
  return d;
}

// Lost: four notes sinking by semitones, the last one wavering.
Draft Lose(int rate) {
  Draft d(rate, 2.0);
  const double notes[] = {392.0, 369.99, 349.23, 329.63};
  for (int k = 0; k < 3; ++k) AddNote(d, 0.22 * k, notes[k], 0.8, 0.01, 0.18, {0.4, 0.2});
  AddPartial(d, 0.66, notes[3], 0.9, 0.01, 0.6, 0.015, 5.0);
  AddPartial(d, 0.66, notes[3] * 2.0, 0.3, 0.01, 0.3, 0.015, 5.0);
  AddPartial(d, 0.66, notes[3] * 3.0, 0.12, 0.01, 0.2, 0.015, 5.0);
  Biquad lp(Biquad::kLowpass, 1800.0, 0.7071, rate);
  for (double& v : d.s) v = lp.Tick(v);
  Finish(d, 0.75);
  return d;
}

Draft Click(int rate) {
  Draft d(rate, 0.07);
  AddPartial(d, 0.0, 1800.0, 1.0, 0.0015, 0.010);
  AddPartial(d, 0.0, 3600.0, 0.3, 0.0015, 0.006);
  Finish(d, 0.5);
  return d;
}

// Two blips, rising for a choice and falling for the way back.
Draft Blips(int rate, double first, double second) {
  Draft d(rate, 0.25);
  AddNote(d, 0.0, first, 1.0, 0.002, 0.035, {0.2});
  AddNote(d, 0.055, second, 1.0, 0.002, 0.035, {0.2});
  Finish(d, 0.55);
  return d;
}

// Under the menus: four slow chords (A minor 7, F major 7, C major 7, G with
// an added sixth), four seconds each, swelling in and out of one another,
// with a few soft high plucks. The last chord's release is folded into the
// loop's start, so the loop runs on seamlessly.
Draft Ambient(int rate) {
  constexpr double kChord = 4.0, kLoop = 4 * kChord, kTail = 2.5;
  Draft d(rate, kLoop + kTail);
  const std::vector<std::vector<double>> chords = {
      {110.0, 164.81, 196.0, 261.63},
      {87.31, 130.81, 164.81, 220.0},
      {130.81, 196.0, 246.94, 329.63},
      {98.0, 146.83, 246.94, 329.63},
  };
  for (size_t c = 0; c < chords.size(); ++c) {
    const double start = kChord * static_cast<double>(c);
    for (const double f : chords[c]) {
      // Two slightly detuned voices per note, each a sine with a little of
      // its octave, rotated as phasors (cheap and exact enough).
      for (const double detune : {0.9985, 1.0015}) {
        const double w = kTwoPi * f * detune / rate;
        double re = 1.0, im = 0.0, re2 = 1.0, im2 = 0.0;
        const double cw = std::cos(w), sw = std::sin(w), cw2 = std::cos(2 * w),
                     sw2 = std::sin(2 * w);
        const size_t first = static_cast<size_t>(start * rate);
        const size_t last =
            std::min(d.s.size(), static_cast<size_t>((start + kChord + kTail) * rate));
        for (size_t i = first; i < last; ++i) {
          const double t = d.Time(i) - start;
          // In over 1.5 s, held, out over the next chord's first 2.5 s.
          const double in = t < 1.5 ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / 1.5) : 1.0;
          const double out =
              t < kChord ? 1.0 : 0.5 + 0.5 * std::cos(std::numbers::pi * (t - kChord) / kTail);
          d.s[i] += in * out * (im + 0.25 * im2) / f;  // lower notes a little louder
          const double r = re * cw - im * sw;
          im = re * sw + im * cw;
          re = r;
          const double r2 = re2 * cw2 - im2 * sw2;
          im2 = re2 * sw2 + im2 * cw2;
          re2 = r2;
        }
      }
    }
  }
  Noise pluck(23);
  const double plucks[] = {659.25, 880.0, 1046.5, 1318.5, 783.99};
  for (int k = 0; k < 6; ++k) {
    const double t0 = 1.0 + (kLoop - 2.0) * pluck.Uniform();
    AddPartial(d, t0, plucks[static_cast<int>(pluck.Uniform() * 5.0)], 0.0025, 0.01, 0.6);
  }
  const size_t n = static_cast<size_t>(kLoop * rate);
  for (size_t i = n; i < d.s.size(); ++i) d.s[i - n] += d.s[i];
  d.s.resize(n);
  Biquad lp(Biquad::kLowpass, 2500.0, 0.7071, rate);
  for (const double v : d.s) lp.Tick(v);  // settled on one whole loop first
  for (double& v : d.s) v = lp.Tick(v);
  FinishLoop(d, 0.0, 0.6);
  return d;
}

SoundClip ToClip(const Draft& d, bool loop) {
  SoundClip clip;
  clip.loop = loop;
  clip.samples.reserve(d.s.size());
  for (double v : d.s) clip.samples.push_back(static_cast<float>(std::clamp(v, -1.0, 1.0)));
  return clip;
}

}  // namespace

const char* SoundName(Sound sound) {
  static const char* const kNames[kSoundCount] = {
      "hit_platform", "hit_sphere", "hit_ball", "break", "fire",   "sizzle", "hiss",   "boost",
      "hint",         "win",        "lose",     "click", "select", "back",   "ambient"};
  const int i = static_cast<int>(sound);
  return i >= 0 && i < kSoundCount ? kNames[i] : "";
}

bool SoundLoops(Sound sound) {
  return sound == Sound::kSizzle || sound == Sound::kBoost || sound == Sound::kAmbient;
}

SoundBank BuildSoundBank(int rate) {
  SoundBank bank;
  bank.rate = rate;
  auto put = [&](Sound s, const Draft& d) {
    bank.clips[static_cast<int>(s)] = ToClip(d, SoundLoops(s));
  };
  put(Sound::kHitPlatform, HitPlatform(rate));
  put(Sound::kHitSphere, HitSphere(rate));
  put(Sound::kHitBall, HitBall(rate));
  put(Sound::kBreak, Break(rate));
  put(Sound::kFire, Fire(rate));
  put(Sound::kSizzle, Sizzle(rate));
  put(Sound::kHiss, Hiss(rate));
  put(Sound::kBoost, Boost(rate));
  put(Sound::kHint, Hint(rate));
  put(Sound::kWin, Win(rate));
  put(Sound::kLose, Lose(rate));
  put(Sound::kClick, Click(rate));
  put(Sound::kSelect, Blips(rate, 880.0, 1320.0));
  put(Sound::kBack, Blips(rate, 1320.0, 880.0));
  put(Sound::kAmbient, Ambient(rate));
  bank.clips[static_cast<int>(Sound::kSizzle)].fadeSeconds = 0.03;
  bank.clips[static_cast<int>(Sound::kBoost)].fadeSeconds = 0.04;
  bank.clips[static_cast<int>(Sound::kAmbient)].fadeSeconds = 0.8;
  return bank;
}
