// Particles: emission from the pending break and per-frame motion.
#include "sim/particles.h"

#include <algorithm>
#include <cmath>

#include "world/map.h"

namespace {

// One break adds at most this many sparks, whatever the settings file says,
// and no break adds any while this many fly (a map of huge balls breaking
// platform after platform would otherwise fill the memory and the screen).
constexpr double kMaxSparksPerBreak = 10000.0;
constexpr double kMaxLiveSparks = 100000.0;

}  // namespace

void EmitBreakParticles(ParticleList& list, BreakEvent& event,
                        const std::string& particleNumberValue, const RandomFn& random) {
  const double px = event.leftX, py = event.leftY;
  const double gx = static_cast<double>(event.leftX) - event.rightX;
  const double gy = static_cast<double>(event.leftY) - event.rightY;
  const float length = static_cast<float>(std::sqrt(gx * gx + gy * gy));
  double n = std::nearbyint(ParseNumber(particleNumberValue));
  if (n > kMaxParticleNumber) n = kMaxParticleNumber;
  double kd = n * static_cast<double>(length);
  if (!std::isfinite(kd) || kd < 0.0) kd = 0.0;
  if (kd > kMaxSparksPerBreak) kd = kMaxSparksPerBreak;
  const double count = static_cast<double>(list.items.size());
  if (kd > kMaxLiveSparks - count) kd = std::max(0.0, kMaxLiveSparks - count);
  const float k = static_cast<float>(kd);

  const long newTotal = static_cast<long>(std::nearbyint(count + k));
  if (newTotal > static_cast<long>(list.items.size())) {
    list.items.resize(static_cast<std::size_t>(newTotal));
  }
  long first = static_cast<long>(std::nearbyint(static_cast<double>(newTotal) - k + 1.0));
  if (first < 1) first = 1;
  const double a = event.angle;
  const double ca = std::cos(std::fabs(a)), sa = std::sin(std::fabs(a));
  const double side = a >= 0.0 ? 1.0 : -1.0;
  for (long i = first; i <= newTotal; ++i) {
    ParticleRecord& p = list.items[static_cast<std::size_t>(i - 1)];
    const double u1 = random(), u2 = random(), u3 = random(), u4 = random(), u5 = random();
    p.x = static_cast<float>(px + side * u1 * length * ca);
    p.y = static_cast<float>(py + side * u2 * length * sa);
    p.vx = static_cast<float>((u3 / 4.0 + 0.875) * event.mx);
    p.vy = static_cast<float>((u4 / 4.0 + 0.875) * event.my);
    p.alpha = 1.0f;
    p.sprite = static_cast<float>(4.0 * u5);
    p.size = 0.1f;
    p.colour = event.colour;
  }
  event.pending = 0;
}

void StepParticles(ParticleList& list) {
  std::size_t i = 0;
  while (i < list.items.size()) {
    ParticleRecord& p = list.items[i];
    if (p.alpha <= 0.0f) {
      p = list.items.back();
      list.items.pop_back();
      continue;  // the moved spark is looked at in this same frame
    }
    p.x += p.vx;
    p.y += p.vy;
    p.vx = static_cast<float>(static_cast<double>(p.vx) * 1.001);
    p.vy = static_cast<float>(static_cast<double>(p.vy) * 1.001);
    p.alpha = static_cast<float>(static_cast<double>(p.alpha) - 0.002);
    ++i;
  }
}
