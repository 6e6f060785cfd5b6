// HUD: overlay, triggers, frame rate, energy bar, panels and info lines.
#include "session/hud.h"

#include <algorithm>
#include <cmath>

#include "session/run.h"

bool TriggerFires(float x1, float y1, float x2, float y2, float bx, float by, float br) {
  if (x1 > x2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const double dx = std::fabs(static_cast<double>(x1) - x2);
  const double dy = std::fabs(static_cast<double>(y1) - y2);
  double s = 0.0;
  if (dx != 0.0 && dy != 0.0)
    s = dy / dx;
  else if (dx == 0.0 && dy != 0.0)
    s = 1.0e9;
  if (y1 > y2) s = -s;
  const double x = bx, y = by, r = br;
  if (s > -0.01 && s < 0.01) {
    const double ym = (static_cast<double>(y1) + y2) / 2.0;
    return y + r >= ym && y - r <= ym && x + r >= x1 && x - r <= x2;
  }
  if (s >= -1.0e6 && s <= 1.0e6) {
    const double q = y2 - x2 * s;
    const double yl = q + x * s;
    const double xl = (y - q) / s;
    if (s > -1.0 && s < 1.0) return y + r > yl && y - r < yl && x + r > x1 && x - r < x2;
    if (y1 > y2) std::swap(y1, y2);
    return x + r > xl && x - r < xl && y + r > y1 && y - r < y2;
  }
  if (y1 > y2) std::swap(y1, y2);
  const double xm = (static_cast<double>(x1) + x2) / 2.0;
  return x + r >= xm && x - r <= xm && y + r >= y1 && y - r <= y2;
}

std::vector<TriggerText> StepTextTriggers(MapText& map, const Ball& ball1, double dt, int* fired) {
  std::vector<TriggerText> shown;
  // The trigger objects in line order, as a scan of every line would meet
  // them: the rewrites below only turn a type word into the other one or a
  // counter line into a number, so no line becomes a trigger during the scan
  // and each one is judged by its text when it is reached.
  std::vector<MapTrigger> triggers = MapObjects(map).triggers;
  map.scanWork += triggers.size();
  for (const MapTrigger& trigger : triggers) {
    const int i = trigger.line;
    if (map.Line(i) == "Output.text") {
      const Point a = ParsePoint(map.Line(i + 1));
      const Point b = ParsePoint(map.Line(i + 2));
      if (TriggerFires(a.x, a.y, b.x, b.y, ball1.x, ball1.y, ball1.radius)) {
        map.SetLine(i, "FontEvent.static.Activ");
        if (fired) ++*fired;
      }
    }
    if (map.Line(i) == "FontEvent.static.Activ") {
      // A map number: held as a 32-bit float once parsed.
      const float counter = static_cast<float>(ParseNumber(map.Line(i + 4)));
      if (counter > 20.0f) {
        map.SetLine(i + 4, FormatDouble16(static_cast<double>(counter) - 1000.0 * dt));
        TriggerText t;
        t.text = map.Line(i + 3);
        t.x = static_cast<float>(static_cast<double>(t.text.size()) / -16.0);
        shown.push_back(std::move(t));
      }
    }
  }
  return shown;
}

void CountFrame(HudState& hud, double now) {
  hud.FpsCounter += 1;
  if (now - static_cast<double>(hud.WindowStart) >= 1.0) {
    hud.WindowStart = static_cast<float>(now);
    hud.ShownRate = hud.FpsCounter;
    hud.FpsCounter = 0;
  }
  hud.FpsText = ("FPS: " + std::to_string(hud.ShownRate)).substr(0, 10);
}

std::string ShortTime(const std::string& secondsText) {
  const double t = ParseNumber(secondsText);
  // Truncated to one decimal, anything under 0.1 s is nothing: "0", not the
  // first characters of an exponent form such as "8.54e-07".
  if (t < 0.1) return "0";
  std::size_t n = 0;
  if (t < 10.0)
    n = 3;
  else if (t < 100.0)
    n = 4;
  else if (t < 1000.0)
    n = 5;
  else if (t < 10000.0)
    n = 6;
  return secondsText.substr(0, std::min(n, secondsText.size()));
}

int DangerMargin(int screenWidth, float burnTime) {
  const double left = std::max(0.0, static_cast<double>(kBurnLimit) - burnTime);
  return static_cast<int>(std::nearbyint(screenWidth / 4.0 * left));
}

void ShowText(HudState& hud, FrameView& view, const std::string& text, float x, float y, float r,
              float g, float b) {
  view.Text(ViewOp::kTextOnPlane, text, x, y, r, g, b);
  hud.shownTexts.push_back(text);
}

void ShowTitle(HudState& hud, FrameView& view, const std::string& text, float x, float y, float r,
               float g, float b) {
  view.Text(ViewOp::kTitleOnPlane, text, x, y, r, g, b);
  hud.shownTexts.push_back(text);
}

int ShowTextTriggers(HudState& hud, FrameView& view, MapText& map, const Ball& ball1, double dt) {
  int fired = 0;
  const std::vector<TriggerText> texts = StepTextTriggers(map, ball1, dt, &fired);
  for (const TriggerText& t : texts) ShowTitle(hud, view, t.text, t.x, -2.0f, 1.0f, 1.0f, 1.0f);
  return fired;
}

void ShowHudBars(HudState& hud, FrameView& view, float energy, const SimState& sim) {
  view.HudBackground(energy, kEnergyMax, sim.GameMode == PlayMode::kRace && sim.Goal.GoalReached);
  ShowText(hud, view, "Energie: ", -1.05f, 2.2f, 1.0f, 1.0f, 1.0f);
}

void ShowInfoLines(HudState& hud, FrameView& view, const SessionState& session, double now) {
  if (session.InfoOverlay != 1) return;
  const double elapsed = ElapsedTime(session, now);
  ShowText(hud, view, "Zeit: " + ShortTime(FormatDouble16(elapsed)), 1.4f, 2.2f, 1.0f, 1.0f, 1.0f);
  ShowText(hud, view, "Bestzeit: " + FormatFloat7(session.BestTime) + " s", 1.4f, 2.0f, 1.0f, 1.0f,
           1.0f);
  ShowText(hud, view, hud.FpsText, 1.4f, 1.8f, 1.0f, 1.0f, 1.0f);
}
