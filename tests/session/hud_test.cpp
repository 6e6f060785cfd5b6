// HUD: the trigger geometries with their boundary rules, the counter, the
// frame-rate count and the overlay margin.
#include "session/hud.h"
#include "session/run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "session/session.h"
#include "world/map.h"

namespace {

constexpr float kR = 0.18f;

TEST(TextTriggerGeometry, HorizontalIncludesItsBoundaries) {
  // Line y = 1 from x = 0 to 2; ball radius 0.18.
  EXPECT_TRUE(TriggerFires(0, 1, 2, 1, 1.0f, 0.75f, 0.25f));   // touches from below
  EXPECT_TRUE(TriggerFires(2, 1, 0, 1, -0.25f, 1.0f, 0.25f));  // end included, any order
  EXPECT_FALSE(TriggerFires(0, 1, 2, 1, 1.0f, 0.74f, 0.25f));
  EXPECT_FALSE(TriggerFires(0, 1, 2, 1, -0.26f, 1.0f, 0.25f));
  // Both ends equal: treated as horizontal.
  EXPECT_TRUE(TriggerFires(1, 1, 1, 1, 1.25f, 1.0f, 0.25f));
}

TEST(TextTriggerGeometry, ShallowSlopeExcludesItsBoundaries) {
  // From (0, 0) to (4, 2): slope 0.5; at x = 2 the line is at y = 1.
  EXPECT_TRUE(TriggerFires(0, 0, 4, 2, 2.0f, 1.1f, kR));
  EXPECT_FALSE(TriggerFires(0, 0, 4, 2, 2.0f, 1.0f + 0.25f, 0.25f));  // exactly touching
  EXPECT_FALSE(TriggerFires(0, 0, 4, 2, -0.25f, -0.1f, 0.25f));       // at the left end
  EXPECT_TRUE(TriggerFires(0, 0, 4, 2, -0.2f, -0.1f, 0.25f));
  // Falling to the right: negative slope.
  EXPECT_TRUE(TriggerFires(0, 2, 4, 0, 2.0f, 0.9f, kR));
  EXPECT_FALSE(TriggerFires(0, 2, 4, 0, 2.0f, 0.5f, kR));
}

TEST(TextTriggerGeometry, SteepSlopeUsesTheLinesX) {
  // From (0, 0) to (1, 4): slope 4; at y = 2 the line is at x = 0.5.
  EXPECT_TRUE(TriggerFires(0, 0, 1, 4, 0.6f, 2.0f, kR));
  EXPECT_FALSE(TriggerFires(0, 0, 1, 4, 0.5f + 0.25f, 2.0f, 0.25f));  // exactly touching
  EXPECT_FALSE(TriggerFires(0, 0, 1, 4, 0.0f, -0.25f, 0.25f));        // below the lower end
  EXPECT_TRUE(TriggerFires(1, 4, 0, 0, 0.9f, 3.9f, kR));
}

TEST(TextTriggerGeometry, VerticalIncludesItsBoundaries) {
  EXPECT_TRUE(TriggerFires(1, 0, 1, 3, 1.25f, 1.5f, 0.25f));
  EXPECT_TRUE(TriggerFires(1, 3, 1, 0, 1.0f, 3.25f, 0.25f));
  EXPECT_FALSE(TriggerFires(1, 0, 1, 3, 1.0f + 0.19f, 1.5f, kR));
  EXPECT_FALSE(TriggerFires(1, 0, 1, 3, 1.0f, -0.19f, kR));
}

MapText TriggerMap(const std::string& type, const std::string& counter) {
  MapText map;
  for (const char* l : {"BallPosition", "[0,0]"}) map.MapLines.push_back(l);
  map.MapLines.push_back(type);
  map.MapLines.push_back("[-1,0]");
  map.MapLines.push_back("[1,0]");
  map.MapLines.push_back("Leertaste: Schub!");
  map.MapLines.push_back(counter);
  map.MapLineCount = 7;
  return map;
}

TEST(TextTriggerCounter, FiresOnceCountsDownAndStops) {
  Ball away;
  away.x = 5.0f;
  away.radius = kR;
  Ball on = away;
  on.x = 0.0f;
  MapText map = TriggerMap("Output.text", "1000");
  EXPECT_TRUE(StepTextTriggers(map, away, 0.1).empty());
  EXPECT_EQ(map.Line(3), "Output.text");
  std::vector<TriggerText> shown = StepTextTriggers(map, on, 0.25);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Leertaste: Schub!");
  EXPECT_FLOAT_EQ(shown[0].x, 17.0f / -16.0f);
  EXPECT_EQ(map.Line(3), "FontEvent.static.Activ");
  EXPECT_EQ(map.Line(7), "750");
  // Away from the line the active text keeps counting down.
  EXPECT_EQ(StepTextTriggers(map, away, 0.5).size(), 1u);
  EXPECT_EQ(map.Line(7), "250");
  EXPECT_EQ(StepTextTriggers(map, away, 0.25).size(), 1u);
  EXPECT_EQ(map.Line(7), "0");
  EXPECT_TRUE(StepTextTriggers(map, away, 0.1).empty());
  EXPECT_TRUE(StepTextTriggers(map, on, 0.1).empty());  // never fires again

  // Written active in the map: shows from the first frame, wherever ball 1 is.
  MapText active = TriggerMap("FontEvent.static.Activ", "3000");
  EXPECT_EQ(StepTextTriggers(active, away, 0.015).size(), 1u);
  EXPECT_EQ(active.Line(7), "2985");
  // The counter is a map number, held as a 32-bit float once parsed.
  MapText fraction = TriggerMap("FontEvent.static.Activ", "1000.1");
  EXPECT_EQ(StepTextTriggers(fraction, away, 0.25).size(), 1u);
  EXPECT_EQ(fraction.Line(7), "750.0999755859375");
  // A counter of exactly 20 never shows; a non-number reads as 0.
  MapText twenty = TriggerMap("FontEvent.static.Activ", "20");
  EXPECT_TRUE(StepTextTriggers(twenty, away, 0.015).empty());
  MapText text = TriggerMap("Output.text", "lang");
  EXPECT_TRUE(StepTextTriggers(text, on, 0.015).empty());
}

TEST(HudCounters, FrameRateShowsTheLastCompleteSecond) {
  HudState hud;
  hud.WindowStart = 100.0f;
  for (int i = 0; i < 59; ++i) CountFrame(hud, 100.0 + i / 60.0);
  EXPECT_EQ(hud.FpsText, "FPS: 0");
  CountFrame(hud, 101.0);
  EXPECT_EQ(hud.FpsText, "FPS: 60");
  CountFrame(hud, 101.5);
  EXPECT_EQ(hud.FpsText, "FPS: 60");
}

// A clock's readings for frames of `frame` seconds from `start`: on a
// timer's grid of `tps` ticks a second as the window reads it, or (tps 0)
// summed up frame by frame as the headless clock is.
std::vector<double> Readings(double start, double frame, std::uint64_t tps, double seconds) {
  std::vector<double> out;
  double sum = start;
  for (int k = 1; k * frame <= seconds; ++k) {
    sum += frame;
    const auto ticks = static_cast<std::uint64_t>(k * frame * static_cast<double>(tps));
    out.push_back(tps == 0 ? sum : start + static_cast<double>(ticks) / static_cast<double>(tps));
  }
  return out;
}

// Over ten seconds the rate shown is the count of each second's frames:
// every second alike, however late in the session, on any timer.
TEST(HudCounters, FrameRateOverSeveralSeconds) {
  const struct {
    const char* name;
    double start, frame;
    std::uint64_t tps;
    const char* shown;  // each text the count showed, in turn
  } cases[] = {
      {"60 Hz, nanosecond timer", 100.0, 1.0 / 60, 1000000000, "0 60 60 60 60 60 60 60 60 60 60"},
      {"60 Hz, millisecond timer", 100.0, 1.0 / 60, 1000, "0 60 60 60 60 60 60 60 60 60 60"},
      {"60 Hz, an hour in", 3700.0, 1.0 / 60, 10000000, "0 60 60 60 60 60 60 60 60 60 60"},
      {"60 Hz, a day in", 86500.0, 1.0 / 60, 1000000, "0 60 60 60 60 60 60 60 60 60 60"},
      {"the headless clock's 15 ms", 100.0, 0.015, 0, "0 67 67 67 67 67 67 67 67 67 67"},
      {"144 Hz, microsecond timer", 100.0, 1.0 / 144, 1000000,
       "0 144 144 144 144 144 144 144 144 144 144"},
      {"25 Hz", 100.0, 0.04, 0, "0 25 25 25 25 25 25 25 25 25 25"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HudState hud;
    hud.WindowStart = static_cast<float>(c.start);  // the run's start
    std::string shown = hud.FpsText.substr(5);
    std::string last = hud.FpsText;
    for (const double now : Readings(c.start, c.frame, c.tps, 10.5)) {
      const float windowStart = hud.WindowStart;
      CountFrame(hud, now);
      if (hud.WindowStart != windowStart) {
        shown += " " + hud.FpsText.substr(5);
        EXPECT_GE(now - windowStart, 1.0);  // a whole second went by
        EXPECT_LT(now - windowStart, 1.0 + c.frame + 1.0e-3);
      } else {
        EXPECT_EQ(hud.FpsText, last);  // within a second the text stands
      }
      last = hud.FpsText;
    }
    EXPECT_EQ(shown, c.shown);
  }
}

TEST(HudCounters, FrameRateAtItsEdges) {
  const struct {
    int framesBefore;
    double now;
    const char* text;
  } cases[] = {
      {59, 100.999999, "FPS: 0"},    // not yet a second
      {59, 101.0, "FPS: 60"},        // a second exactly
      {99998, 101.0, "FPS: 99999"},  // ten characters
      {99999, 101.0, "FPS: 10000"},  // and no more
      {0, 101.0, "FPS: 1"},          // one frame in a long second
      {0, 4000.0, "FPS: 1"},         // after a pause of an hour
  };
  for (const auto& c : cases) {
    HudState hud;
    hud.WindowStart = 100.0f;
    hud.FpsCounter = c.framesBefore;
    CountFrame(hud, c.now);
    EXPECT_EQ(hud.FpsText, c.text) << c.framesBefore << " " << c.now;
  }
}

// The time line's text, frame by frame through the first two minutes: the
// elapsed time cut to one decimal, never ahead of the clock, never behind it
// by a tenth, never going back; the same an hour into the session.
TEST(HudCounters, TheTimeTextFollowsTheClockOverMinutes) {
  for (const double start : {100.0 + 7.0 / 60, 3700.0 + 1.0 / 3}) {
    SessionState session;
    session.SessionStartTime = static_cast<float>(start);
    const double origin = static_cast<double>(session.SessionStartTime);
    double before = 0.0;
    for (const double now : Readings(start, 1.0 / 60, 1000000, 120.0)) {
      const double elapsed = ElapsedTime(session, now);
      const std::string text = ShortTime(FormatDouble16(elapsed));
      SCOPED_TRACE(std::to_string(start) + " + " + std::to_string(now - origin) + ": " + text);
      ASSERT_DOUBLE_EQ(elapsed, now - origin);
      const double shown = ParseNumber(text);
      EXPECT_LE(shown, elapsed);
      if (elapsed >= 0.1) {
        EXPECT_GT(shown, elapsed - 0.1);
      }
      EXPECT_GE(shown, before);
      const std::size_t point = text.find('.');
      EXPECT_TRUE(point == std::string::npos || point + 2 == text.size());
      before = shown;
    }
    EXPECT_GE(before, 119.8);
  }
  SessionState later;
  later.SessionStartTime = 200.0f;
  EXPECT_EQ(ElapsedTime(later, 150.0), 0.0);  // a clock before the start shows 0
}

TEST(HudCounters, DangerMarginClosesInAndStopsAtZero) {
  EXPECT_EQ(DangerMargin(1280, 0.0f), 9600);  // 7.5 screen widths each side
  EXPECT_EQ(DangerMargin(1280, 29.0f), 320);
  EXPECT_EQ(DangerMargin(1280, 30.0f), 0);
  EXPECT_EQ(DangerMargin(1280, 45.0f), 0);
}

}  // namespace
