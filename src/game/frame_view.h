// What a frame shows: the drawing a screen's step asks for, in the order the
// picture is built, each with the values it is to show as they were at that
// moment of the step (a ball drawn before the rules restart the level is
// drawn where it was, not at the start). The step only fills this; drawing
// (render's DrawFrameView) reads it and makes every GL call. A view that is
// not recording (a verifier's) takes nothing and costs nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_state.h"
#include "world/map.h"

enum class ViewOp : std::uint8_t {
  kClear,           // colour and depth
  kFinish,          // everything drawn reaches the picture
  kResetModelView,  // identity model-view
  kTranslate,       // f[0..2]
  kPushView,
  kPopView,
  kWireframe,      // on = i
  kOpaqueBlend,    // (one, zero)
  kFadeBlend,      // (source alpha, one minus source alpha)
  kBalls,          // sims[snapshot], burn time f[0]
  kGhost,          // at f[0], f[1], radius f[2]
  kMapObjects,     // maps[snapshot]
  kGrid,           // centre f[0], f[1]
  kGoalDisk,       // sims[snapshot]
  kParticles,      // particles[snapshot]
  kBurnOverlay,    // margin i
  kPanel,          // centre y f[0], half sizes f[1], f[2], corner f[3], alpha f[4]
  kHudBackground,  // energy f[0], most f[1], race won i
  kTextOnPlane,    // text at f[0], f[1] in colour f[2..4]
  kTitleOnPlane,
  kText,  // raster text at f[0], f[1] in colour f[2..4] (the current model-view)
  kTitle,
  kTitleImage,
  kEntryBars,  // selection i
  kFlatBox,    // x0 f[0], x1 f[1], bottom f[2], top f[3], grey f[4]
  kLogo,       // fade i, alpha f[0]
  kMark,       // where a chosen sub-screen runs: drawing stops here
  kHandle,     // the editor's handle: a square outline at f[0], f[1], half size f[2], colour i
  kEditLine,   // the editor's line from f[0], f[1] to f[2], f[3], colour i
};

// The colours of the editor's marks (kHandle, kEditLine).
enum class EditMarkColour : std::uint8_t { kHandle, kSelected, kError, kWarning, kDraft };

struct ViewItem {
  ViewOp op = ViewOp::kClear;
  int i = 0;
  float f[5] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  std::string text;
  std::uint32_t snapshot = 0;
};

struct FrameView {
  bool recording = true;
  std::vector<ViewItem> items;
  std::vector<SimState> sims;
  std::vector<MapText> maps;
  std::vector<ParticleList> particles;

  void Reset();  // empty, ready for the next frame (keeps `recording`)

  void Op(ViewOp op, int i = 0);
  void Clear() { Op(ViewOp::kClear); }
  void Finish() { Op(ViewOp::kFinish); }
  void ResetModelView() { Op(ViewOp::kResetModelView); }
  void PushView() { Op(ViewOp::kPushView); }
  void PopView() { Op(ViewOp::kPopView); }
  void Wireframe(bool on) { Op(ViewOp::kWireframe, on ? 1 : 0); }
  void Translate(float x, float y, float z);
  void Balls(const SimState& sim, float burnTime);
  void Ghost(float x, float y, float radius);
  void MapObjects(const MapText& map);
  void Grid(float cx, float cy);
  void GoalDisk(const SimState& sim);
  void Particles(const ParticleList& list);
  void BurnOverlay(int margin) { Op(ViewOp::kBurnOverlay, margin); }
  void Panel(float cy, float hx, float hy, float r, float alpha);
  void HudBackground(float energy, float energyMax, bool raceWon);
  void Text(ViewOp op, const std::string& text, float x, float y, float r, float g, float b);
  void FlatBox(float x0, float x1, float bottom, float top, float grey);
  void Logo(bool fade, float alpha);
  void Mark() { Op(ViewOp::kMark); }
  void Handle(float x, float y, float half, EditMarkColour colour);
  void EditLine(float x0, float y0, float x1, float y1, EditMarkColour colour);
};
