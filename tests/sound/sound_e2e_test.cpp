// The game's sound heard through the headless runner: the frame a sound
// starts in (the dump's "Sounds") and what the WAV holds there; sound never
// changes the game.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"
#include "sound/sound.h"
#include "tooling.h"

namespace {

using e2e::Num;
using e2e::Str;

const char* const kToSession =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
    "until session\nkey ENTER\n";

// Ball 1 drops onto a red platform that breaks under it (fire and a break in
// one frame), falls through and lands on the goal.
const char* const kTrapdoorToGoal =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[2,2,5]\n"
    "Plattform.static.destructible\n[-2,0]\n[2,0]\nred\n"
    "Plattform.static\n[-3,-3]\n[3,-3]\nwhite\n"
    "Goal.static\n[0.3,-2.6]\n0.3\n";

// Ball 1 starts resting on a platform (its lowest point on the surface).
const char* const kRestingBall =
    "BallPosition\n[0,1]\nStartgame.zoomin\n[2,2,5]\n"
    "Plattform.static\n[-3,0.74]\n[3,0.74]\nwhite\n";

constexpr double kClockStart = 100.0;  // the WAV's first sample
constexpr double kFrameS = 0.015;      // the runner's default frame

struct Heard {
  e2e::RunResult run;
  std::vector<e2e::Dump> dumps;
  std::vector<std::string> lines;
  std::vector<float> wav;  // mono samples in [-1, 1]
  int rate = 0;
};

using tooling::Slurp;

// The runner's WAV: a 44-byte header, then 16-bit mono samples.
bool ReadWav(const std::string& path, std::vector<float>& samples, int& rate) {
  const std::string bytes = Slurp(path);
  if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") || bytes.compare(36, 4, "data"))
    return false;
  auto u = [&](size_t at, int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i)
      v |= static_cast<unsigned>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return v;
  };
  if (u(22, 2) != 1 || u(34, 2) != 16) return false;
  rate = static_cast<int>(u(24, 4));
  const size_t count = u(40, 4) / 2;
  if (44 + count * 2 > bytes.size()) return false;
  samples.resize(count);
  for (size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<float>(static_cast<std::int16_t>(u(44 + 2 * i, 2))) / 32768.0f;
  }
  return true;
}

// RMS of the WAV from `from` to `to` seconds of the clock.
double Rms(const Heard& h, double from, double to) {
  const auto at = [&](double t) {
    return std::min(h.wav.size(), static_cast<size_t>(std::max(0.0, (t - kClockStart) * h.rate)));
  };
  double sum = 0.0;
  const size_t a = at(from), b = at(to);
  for (size_t i = a; i < b; ++i) sum += static_cast<double>(h.wav[i]) * h.wav[i];
  return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
}

Heard Play(const std::string& map, const std::string& body, const std::string& settingsExtra,
           bool audio) {
  e2e::ScratchRoot root(e2e::ScratchRoot::DefaultSettings() + settingsExtra);
  root.Write("Res/maps/a.mapGame1", map);
  const std::string script =
      std::string(kToSession) + "dump-every " + root.File("d.jsonl") + "\n" + body;
  std::vector<std::string> extra;
  if (audio) extra = {"--audio", root.File("out.wav")};
  Heard h;
  h.run = e2e::RunHeadless(root, script, extra);
  h.dumps = e2e::ReadDumps(root.File("d.jsonl"));
  std::ifstream in(root.File("d.jsonl"));
  for (std::string line; std::getline(in, line);) h.lines.push_back(line);
  if (audio) {
    EXPECT_TRUE(ReadWav(root.File("out.wav"), h.wav, h.rate));
  }
  return h;
}

// A dump line without its "Sounds" field (the names hold no brackets).
std::string WithoutSounds(std::string line) {
  const size_t at = line.find("\"Sounds\":[");
  if (at != std::string::npos) line.erase(at, line.find(']', at) + 1 - at);
  return line;
}

bool Has(const e2e::Dump& d, const std::string& sound) {
  const auto it = d.find("Sounds");
  return it != d.end() && it->second.find("\"" + sound + "\"") != std::string::npos;
}

// The first frame (index into the dumps) that satisfies pred, or -1.
template <typename Pred>
int First(const std::vector<e2e::Dump>& dumps, Pred pred) {
  for (size_t i = 0; i < dumps.size(); ++i) {
    if (pred(dumps[i])) return static_cast<int>(i);
  }
  return -1;
}

TEST(Sound, ABreakAFireAndAWinSoundInTheirOwnFrame) {
  const Heard h = Play(kTrapdoorToGoal, "frames 300\n", "Sound=Enabled\r\n", true);
  ASSERT_EQ(h.run.exitCode, 0) << h.run.errors;
  ASSERT_EQ(h.rate, kSoundRate);
  const auto broken = [](const e2e::Dump& d) {
    return e2e::Element(d, "MapLines", 4) != "\"Plattform.static.destructible\"";
  };
  struct Event {
    const char* sound;
    int frame;
  } events[] = {
      {"break", First(h.dumps, broken)},
      {"fire", First(h.dumps, [](const e2e::Dump& d) { return Str(d, "RedContact") == "true"; })},
      {"win", First(h.dumps, [](const e2e::Dump& d) { return Num(d, "GoalReached") == 1.0; })},
  };
  for (const Event& e : events) {
    SCOPED_TRACE(e.sound);
    ASSERT_GT(e.frame, 0);
    const int sounded = First(h.dumps, [&](const e2e::Dump& d) { return Has(d, e.sound); });
    EXPECT_EQ(sounded, e.frame);
    // The frame's sound begins where the frame was presented, in the WAV.
    const double t = Num(h.dumps[static_cast<size_t>(e.frame)], "time") - kFrameS;
    EXPECT_GT(Rms(h, t, t + 0.15), 0.02);
  }
  // Ball 1 fell silently onto the trapdoor: nothing before the break frame.
  const double t = Num(h.dumps[static_cast<size_t>(events[0].frame)], "time") - kFrameS;
  EXPECT_LT(Rms(h, t - 0.3, t), 1e-3);
  // The samples stay in range and centred over the whole run.
  double mean = 0.0;
  for (float v : h.wav) mean += v;
  EXPECT_LT(std::abs(mean / static_cast<double>(h.wav.size())), 1e-3);
}

TEST(Sound, ABallRestingOnAPlatformStaysQuiet) {
  const Heard h = Play(kRestingBall, "frames 300\n", "Sound=Enabled\r\n", true);
  ASSERT_EQ(h.run.exitCode, 0) << h.run.errors;
  ASSERT_GE(h.dumps.size(), 300u);
  for (size_t i = 20; i < h.dumps.size(); ++i) {
    EXPECT_EQ(h.dumps[i].at("Sounds"), "[]") << "frame " << i;
  }
  EXPECT_LT(Rms(h, Num(h.dumps[20], "time"), Num(h.dumps.back(), "time")), 1e-4);
}

// The same play with sound on (into a WAV) and off: the game state is the
// same in every frame.
TEST(Sound, ChangesNothingInTheGame) {
  const std::string body =
      "hold RIGHT\nframes 120\nhold SPACE\nframes 60\nrelease SPACE\nframes 60\n";
  const Heard on = Play(kTrapdoorToGoal, body, "Sound=Enabled\r\nSoundVolume=50\r\n", true);
  const Heard off = Play(kTrapdoorToGoal, body, "", false);
  for (const Heard* h : {&on, &off}) ASSERT_EQ(h->run.exitCode, 0) << h->run.errors;
  ASSERT_EQ(on.lines.size(), off.lines.size());
  bool boosted = false;
  for (size_t i = 0; i < off.lines.size(); ++i) {
    EXPECT_EQ(WithoutSounds(on.lines[i]), WithoutSounds(off.lines[i]));
    EXPECT_EQ(off.dumps[i].at("Sounds"), "[]");
    boosted = boosted || Has(on.dumps[i], "boost");
  }
  EXPECT_TRUE(boosted);
  EXPECT_EQ(on.run.errors, "");
}

TEST(Sound, VolumeFromTheSettings) {
  const struct {
    const char* value;
    float gain;
  } cases[] = {{"", 0.8f},   {"80", 0.8f},   {"0", 0.0f},    {"100", 1.0f},   {"150", 1.0f},
               {"-5", 0.0f}, {" 35", 0.35f}, {"laut", 0.8f}, {"12.5", 0.125f}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(SoundVolumeGain(c.value), c.gain) << c.value;
}

}  // namespace
