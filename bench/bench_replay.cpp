// Replay size and speed. A minute of play is built from the readings of a
// recorded race (tests/data/replays/race01.zrp, its frames repeated) with
// the clock of each kind of play: the headless runner's steady frames, and
// a window's nanosecond clock at 60 and at 144 frames a second with the
// jitter of a real machine (the game's clock moves at frame boundaries).
// Each benchmark reports bytes per minute of play (the target is at most
// 64 KB) and how long writing and reading such a file take.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "replay/replay_file.h"

namespace {

Replay Recorded() {
  std::ifstream in(std::string(ZIRPEL_SOURCE_DIR) + "/tests/data/replays/race01.zrp",
                   std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Replay r;
  std::string why;
  DecodeReplay(bytes, r, why);
  return r;
}

enum class Clock { kHeadless, kWindow60, kWindow144 };

// One minute of frames with the recorded race's readings, frame after frame
// (its play frames, from the middle of the run, over and over).
Replay Minute(Clock clock) {
  const Replay race = Recorded();
  Replay r = race;
  r.log.events.clear();
  r.log.frameEnds.clear();
  r.track.clear();
  std::mt19937_64 noise(7);
  const double frame = clock == Clock::kWindow144 ? 1.0 / 144.0 : 1.0 / 60.0;
  const double tps = clock == Clock::kHeadless ? 0.0 : 1.0e9;
  r.log.ticksPerSecond = tps;
  double now = 100.0;
  long long ticks = 0;
  auto reading = [&](bool newFrame) {
    if (clock == Clock::kHeadless) {
      if (newFrame) now += 0.016;
      return now;
    }
    // Nanoseconds, moving at frame boundaries only (readings within a
    // frame agree): a frame's length with up to 0.3 ms of jitter.
    if (newFrame) {
      ticks += static_cast<long long>(frame * 1.0e9) + static_cast<long long>(noise() % 300000);
    }
    return 100.0 + static_cast<double>(ticks) / tps;
  };
  const std::size_t frames = static_cast<std::size_t>(60.0 / frame);
  const std::size_t first = race.log.frameEnds.size() / 3, last = race.log.frameEnds.size() - 2;
  Checkpoint point;
  double lastReading = 100.0;
  for (std::size_t f = 0; f < frames; ++f) {
    const std::size_t src = first + f % (last - first);
    bool newFrame = true;
    for (std::size_t i = race.log.frameEnds[src - 1]; i < race.log.frameEnds[src]; ++i) {
      plat::TapEvent e = race.log.events[i];
      if (e.kind == plat::kTapTimer) {
        e.timer = reading(newFrame);
        lastReading = e.timer;
        newFrame = false;
      }
      r.log.events.push_back(e);
    }
    r.log.frameEnds.push_back(static_cast<std::uint32_t>(r.log.events.size()));
    point = race.track[src];
    point.elapsed = r.log.events.empty() ? 0.0 : lastReading - 100.0;
    r.track.push_back(point);
  }
  return r;
}

void Encode(benchmark::State& state, Clock clock) {
  const Replay minute = Minute(clock);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string file = EncodeReplay(minute);
    bytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.counters["KB_per_minute"] = static_cast<double>(bytes) / 1024.0;
  state.counters["frames"] = static_cast<double>(minute.log.frameEnds.size());
  state.counters["readings"] = static_cast<double>(minute.log.events.size());
}

void Decode(benchmark::State& state, Clock clock) {
  const std::string file = EncodeReplay(Minute(clock));
  for (auto _ : state) {
    Replay r;
    std::string why;
    benchmark::DoNotOptimize(DecodeReplay(file, r, why));
  }
}

BENCHMARK_CAPTURE(Encode, Headless, Clock::kHeadless)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, Window60, Clock::kWindow60)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, Window144, Clock::kWindow144)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, Window60, Clock::kWindow60)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
