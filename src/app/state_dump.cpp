// The state dump: field names are fixed, checks outside the game read them.
#include "app/state_dump.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "game/game.h"
#include "platform/platform.h"
#include "platform/text_codec.h"
#include "sim/world_hash.h"

namespace {

class Json {
 public:
  void Key(const char* name) {
    out_ += first_ ? "" : ",";
    first_ = false;
    out_ += '"';
    out_ += name;
    out_ += "\":";
  }
  void Int(const char* name, long long v) {
    Key(name);
    out_ += std::to_string(v);
  }
  void Float(const char* name, float v) {
    Key(name);
    RawFloat(v);
  }
  void Double(const char* name, double v) {
    Key(name);
    RawDouble(v);
  }
  void String(const char* name, const std::string& v) {
    Key(name);
    RawString(v);
  }
  void RawFloat(float v) { Number(v, "%.9g"); }
  void RawDouble(double v) { Number(v, "%.17g"); }
  void RawString(const std::string& s) {
    out_ += '"';
    for (const char ch : s) {
      const unsigned char c = static_cast<unsigned char>(ch);
      char buf[8];
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += static_cast<char>(c);
      } else if (c < 0x20 || c >= 0x7f) {
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out_ += buf;
      } else {
        out_ += static_cast<char>(c);
      }
    }
    out_ += '"';
  }
  void Raw(const std::string& s) { out_ += s; }
  void StringList(const char* name, const std::vector<std::string>& items) {
    Key(name);
    out_ += '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i > 0) out_ += ',';
      RawString(items[i]);
    }
    out_ += ']';
  }
  std::string Done() { return "{" + out_ + "}"; }

 private:
  void Number(double v, const char* format) {
    if (!std::isfinite(v)) {
      out_ += "null";  // never expected: the simulation keeps values finite
      return;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, format, v);
    out_ += buf;
  }
  std::string out_;
  bool first_ = true;
};

std::string FloatList(const float* values, int n) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) {
    char buf[40];
    if (std::isfinite(values[i])) {
      std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(values[i]));
    } else {
      std::snprintf(buf, sizeof buf, "null");
    }
    s += (i ? "," : "") + std::string(buf);
  }
  return s + "]";
}

}  // namespace

std::string DumpGameState(const Game& g, long long frame, double time, const std::string& screen) {
  Json j;
  j.Int("frame", frame);
  j.Double("time", time);
  j.String("screen", screen);
  j.Key("LastKey");
  std::string keys = "[";
  for (size_t i = 0; i < g.frame.LastKey.size(); ++i) {
    keys += (i ? "," : "") + std::to_string(static_cast<unsigned char>(g.frame.LastKey[i]));
  }
  j.Raw(keys + "]");
  j.Double("FrameTime", g.frame.FrameTime);
  j.Int("ScreenWidth", g.video.ScreenWidth);
  j.Int("ScreenHeight", g.video.ScreenHeight);
  j.Int("TextUnit", g.video.TextUnit);
  j.Float("PixelsPerUnitX", g.video.PixelsPerUnitX);
  j.Float("PixelsPerUnitY", g.video.PixelsPerUnitY);
  j.String("WindowTitle", plat::WindowTitle());
  j.Int("PointerVisible", plat::PointerVisible() ? 1 : 0);
  j.Int("MenuSelection", g.menu.MenuSelection);
  j.Key("BallDropped");
  j.Raw("[" + std::to_string(g.menu.BallDropped[1]) + "," + std::to_string(g.menu.BallDropped[2]) +
        "," + std::to_string(g.menu.BallDropped[3]) + "," + std::to_string(g.menu.BallDropped[4]) +
        "]");
  j.Int("SceneMode", g.sim.SceneMode);
  j.Int("GameMode", static_cast<int>(g.sim.GameMode));
  j.Int("BallCount", g.sim.BallCount);
  j.Key("balls");
  std::string balls = "[";
  for (int i = 1; i <= g.sim.BallCount && i <= kMaxBalls; ++i) {
    const Ball& b = g.sim.Balls[static_cast<size_t>(i)];
    Json o;
    o.Float("x", b.x);
    o.Float("y", b.y);
    o.Float("vx", b.vx);
    o.Float("vy", b.vy);
    o.Float("radius", b.radius);
    o.String("colour", b.colour);
    balls += (i > 1 ? "," : "") + o.Done();
  }
  j.Raw(balls + "]");
  j.Int("StaticSphereCount", g.sim.StaticSphereCount);
  j.Int("MapLineCount", g.map.MapLineCount);
  j.Key("MapLines");
  j.Raw("[");
  for (int k = 1; k <= g.map.MapLineCount; ++k) {
    if (k > 1) j.Raw(",");
    j.RawString(g.map.Line(k));
  }
  j.Raw("]");
  j.Int("BreakEventPending", g.sim.Break.pending);
  j.String("RedContact", g.sim.RedContact ? "true" : "false");
  j.Float("BurnTime", g.session.BurnTime);
  j.Float("Energy", g.session.Energy);
  j.Int("ControlsEnabled", g.session.ControlsEnabled);
  j.Int("CameraPhase", g.session.CameraPhase);
  j.Float("GoalPresent", g.sim.Goal.GoalPresent ? 1.0f : 0.0f);
  j.Float("GoalIsRagdoll", g.sim.Goal.GoalIsRagdoll);
  j.Float("GoalBallIndex", g.sim.Goal.GoalBallIndex);
  j.Float("GoalReached", g.sim.Goal.GoalReached ? 1.0f : 0.0f);
  j.Int("RunLost", g.session.RunLost);
  j.Int("SurvivalEnded", g.session.SurvivalEnded);
  j.String("SurvivalTimeText", g.session.SurvivalTimeText);
  j.Int("RecordStored", g.session.RecordStored);
  j.Float("BestTime", g.session.BestTime);
  j.Int("SelectedMode", g.select.SelectedMode);
  j.Int("HighlightedLevel", g.select.HighlightedLevel);
  j.String("ChosenLevelFile", g.select.ChosenLevelFile);
  j.Int("LevelListFirstRow", g.select.firstRow);
  j.Int("ParticleCount", static_cast<long long>(g.particles.items.size()));
  j.Int("CreditsPage", g.credits.CreditsPage);
  j.Key("CreditsFade");
  j.Raw(FloatList(g.credits.CreditsFade, 3));
  j.Int("InfoOverlay", g.session.InfoOverlay);
  j.Int("Wireframe", g.session.Wireframe);
  j.StringList("HudTexts", g.hud.shownTexts);
  j.StringList("Sounds", g.sound.Sounds);
  j.Key("Ghost");
  if (g.replay.ghostShown) {
    j.Raw("[");
    j.RawFloat(g.replay.ghostX);
    j.Raw(",");
    j.RawFloat(g.replay.ghostY);
    j.Raw("]");
  } else {
    j.Raw("null");
  }
  j.String("WorldRecord", plat::Utf8FromCp1252(g.records.shownText));
  j.Key("GhostKind");
  j.Raw(!g.replay.ghostShown ? "null" : g.replay.ghostIsWorld ? "\"world\"" : "\"best\"");
  j.Int("EditorObjects", g.editor.objects);
  j.StringList("EditorFindings", g.editor.findings);
  j.Int("EditorProven", g.editor.proven ? 1 : 0);
  j.String("SimHash", FormatHash(HashSimulation(g.sim, g.map, g.particles)));
  return j.Done();
}
