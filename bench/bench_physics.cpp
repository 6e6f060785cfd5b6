// StepBalls on generated maps: 4 and 50 balls over 100 and 2,000 platforms,
// once with the parsed-object cache and once re-parsing the text for every
// ball's scan, as a map without a cache would be read.
#include <benchmark/benchmark.h>

#include <random>

#include "sim/balls.h"

namespace {

// Platforms at gentle slopes spread over a field whose area grows with
// their number, so every map is about as crowded as the menu's; one in ten
// is destructible, and a sphere stands among every twenty.
MapText GenerateMap(int platforms, float& halfWidth, float& top) {
  std::mt19937 rng(static_cast<unsigned>(platforms));
  halfWidth = 5.0f * std::sqrt(platforms / 25.0f);
  top = halfWidth / 2.0f;
  std::uniform_real_distribution<float> x(-halfWidth, halfWidth), y(-top, top);
  std::uniform_real_distribution<float> length(0.8f, 2.0f), slope(-0.7f, 0.7f);
  const char* colours[] = {"white", "blue", "red"};
  MapText map;
  auto add = [&map](const std::string& line) {
    map.MapLines.push_back(line);
    ++map.MapLineCount;
  };
  for (int p = 0; p < platforms; ++p) {
    const float ax = x(rng), ay = y(rng), l = length(rng), a = slope(rng);
    add(p % 10 == 0 ? "Plattform.static.destructible" : "Plattform.static");
    add(FormatPoint(ax, ay));
    add(FormatPoint(ax + l * std::cos(a), ay + l * std::sin(a)));
    add(colours[p % 3]);
    if (p % 20 == 0) {
      add("Sphere.static");
      add(FormatPoint(x(rng), y(rng)));
      add("0.25");
      add(colours[p % 3]);
    }
  }
  ++map.revision;
  return map;
}

void BM_StepBalls(benchmark::State& state) {
  const int balls = static_cast<int>(state.range(0));
  const int platforms = static_cast<int>(state.range(1));
  const bool literal = state.range(2) != 0;
  float halfWidth = 0.0f, top = 0.0f;
  MapText map = GenerateMap(platforms, halfWidth, top);
  map.cache.literalReparse = literal;
  SimState sim;
  sim.BallCount = balls;
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dropX(-halfWidth, halfWidth);
  for (int i = 1; i <= balls; ++i) {
    sim.Balls[i] = Ball{dropX(rng), top, 0.0f, 0.0f, 0.18f, "white", 0.0f, 0.0f};
  }
  RefillStaticSpheres(sim, map);
  double now = 100.0;
  const double dt = 0.015;
  for (auto _ : state) {
    now += dt;
    StepBalls(sim, map, dt, now);
    // Fallen balls start again from the top, as in the menu.
    for (int i = 1; i <= balls; ++i) {
      if (sim.Balls[i].y < -top - 1.0f) {
        sim.Balls[i] = Ball{dropX(rng), top, 0.0f, 0.0f, 0.18f, "white", 0.0f, 0.0f};
      }
    }
    benchmark::DoNotOptimize(sim.Balls[1].x);
  }
  state.counters["lines"] = map.MapLineCount;
}

BENCHMARK(BM_StepBalls)
    ->ArgNames({"balls", "platforms", "literal"})
    ->ArgsProduct({{4, 50}, {100, 2000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
