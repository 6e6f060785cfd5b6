// Particles: emission from a break, per-frame motion and fading, settings.
#include "sim/particles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double g_values[5] = {0.5, 0.5, 0.5, 0.5, 0.5};
int g_calls = 0;
double Scripted() {
  return g_values[g_calls++ % 5];
}

BreakEvent HorizontalBreak() {
  // A ball of radius 0.18 punched a 0.56 gap from x = 1.72 to 2.28.
  BreakEvent e;
  e.pending = 1;
  e.leftX = 1.72f;
  e.leftY = 0.0f;
  e.rightX = 2.28f;
  e.rightY = 0.0f;
  e.angle = 0.0f;
  e.mx = 0.1f;
  e.my = -0.2f;
  e.colour = "red";
  return e;
}

TEST(Particles, DefaultSettingsGiveAboutTwentySparksInTheGap) {
  ParticleList list;
  BreakEvent e = HorizontalBreak();
  g_calls = 0;
  EmitBreakParticles(list, e, "35", &Scripted);
  EXPECT_EQ(list.items.size(), 20u);  // round(35 * 0.56) = round(19.6)
  EXPECT_EQ(g_calls, 100);            // five numbers per spark
  EXPECT_EQ(e.pending, 0);
  for (const ParticleRecord& p : list.items) {
    EXPECT_NEAR(p.x, 1.72f + 0.5f * 0.56f, 1e-5);
    EXPECT_NEAR(p.y, 0.0f, 1e-6);
    EXPECT_NEAR(p.vx, 0.1f * 1.0, 1e-6);  // (0.5/4 + 0.875) = 1
    EXPECT_NEAR(p.vy, -0.2f, 1e-6);
    EXPECT_EQ(p.alpha, 1.0f);
    EXPECT_EQ(p.sprite, 2.0f);
    EXPECT_EQ(p.colour, "red");
  }
  // A second break adds to the list; a negative angle spreads left and down.
  e = HorizontalBreak();
  e.angle = -0.5f;
  EmitBreakParticles(list, e, "35", &Scripted);
  EXPECT_EQ(list.items.size(), 40u);
  for (std::size_t i = 19; i <= 20; ++i) {  // the first batch's newest spark stays as it was
    EXPECT_EQ(list.items[i].y < 0.0f, i == 20) << "spark " << i + 1;
  }
  EXPECT_LT(list.items.back().x, 1.72f);
  EXPECT_LT(list.items.back().y, 0.0f);
}

TEST(Particles, MissingOrBadNumbersGiveNoSparksButClearTheEvent) {
  for (const char* value : {"", "0", "abc", "-35"}) {
    ParticleList list;
    list.items.resize(3);  // sparks already flying stay
    BreakEvent e = HorizontalBreak();
    EmitBreakParticles(list, e, value, &Scripted);
    EXPECT_EQ(list.items.size(), 3u) << value;
    EXPECT_EQ(e.pending, 0) << value;
  }
  // A number beyond the range throws as many sparks as 100 does.
  for (const char* value : {"101", "99999999", "1e30"}) {
    ParticleList list;
    BreakEvent e = HorizontalBreak();
    EmitBreakParticles(list, e, value, &Scripted);
    EXPECT_EQ(list.items.size(), 56u) << value;  // round(100 * 0.56)
  }
  // A huge ball's gap is bounded too, per break and in all.
  ParticleList list;
  BreakEvent e = HorizontalBreak();
  e.rightX = 5000.0f;
  EmitBreakParticles(list, e, "100", &Scripted);
  EXPECT_EQ(list.items.size(), 10000u);
  for (int i = 0; i < 20; ++i) {
    e = HorizontalBreak();
    e.rightX = 5000.0f;
    EmitBreakParticles(list, e, "100", &Scripted);
  }
  EXPECT_EQ(list.items.size(), 100000u);
  StepParticles(list);  // sparks already flying keep going
  EXPECT_EQ(list.items.size(), 100000u);
}

TEST(Particles, SparksMoveFadeAndDieByFrames) {
  ParticleList list;
  ParticleRecord p;
  p.vx = 1.0f;
  p.vy = -1.0f;
  list.items.push_back(p);
  StepParticles(list);
  EXPECT_FLOAT_EQ(list.items[0].x, 1.0f);
  EXPECT_FLOAT_EQ(list.items[0].y, -1.0f);
  EXPECT_FLOAT_EQ(list.items[0].vx, 1.001f);
  EXPECT_FLOAT_EQ(list.items[0].alpha, 0.998f);
  int frames = 1;
  while (!list.items.empty() && frames < 1000) {
    StepParticles(list);
    ++frames;
  }
  EXPECT_NEAR(frames, 501, 2);  // about 500 frames of life
  // The factors are 1.001 and 0.002 exactly, applied to the stored floats.
  ParticleList slow;
  ParticleRecord s;
  s.vx = 0.3f;
  slow.items.push_back(s);
  float vx = 0.3f, alpha = 1.0f;
  for (int i = 0; i < 400; ++i) {
    StepParticles(slow);
    vx = static_cast<float>(static_cast<double>(vx) * 1.001);
    alpha = static_cast<float>(static_cast<double>(alpha) - 0.002);
  }
  ASSERT_EQ(slow.items.size(), 1u);
  EXPECT_EQ(slow.items[0].vx, vx);
  EXPECT_EQ(slow.items[0].alpha, alpha);
  // A dead spark's slot goes to the last one, which moves this same frame.
  ParticleList two;
  ParticleRecord dead;
  dead.alpha = 0.0f;
  ParticleRecord alive;
  alive.vx = 2.0f;
  two.items = {dead, alive};
  StepParticles(two);
  ASSERT_EQ(two.items.size(), 1u);
  EXPECT_FLOAT_EQ(two.items[0].x, 2.0f);
}

}  // namespace
