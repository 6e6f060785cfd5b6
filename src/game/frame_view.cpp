#include "game/frame_view.h"

#include <utility>

namespace {

ViewItem& Add(FrameView& view, ViewOp op) {
  ViewItem& item = view.items.emplace_back();
  item.op = op;
  return item;
}

template <class T>
std::uint32_t Keep(std::vector<T>& kept, const T& value) {
  kept.push_back(value);
  return static_cast<std::uint32_t>(kept.size() - 1);
}

}  // namespace

void FrameView::Reset() {
  items.clear();
  sims.clear();
  maps.clear();
  particles.clear();
}

void FrameView::Op(ViewOp op, int i) {
  if (!recording) return;
  Add(*this, op).i = i;
}

void FrameView::Translate(float x, float y, float z) {
  if (!recording) return;
  ViewItem& item = Add(*this, ViewOp::kTranslate);
  item.f[0] = x;
  item.f[1] = y;
  item.f[2] = z;
}

void FrameView::Balls(const SimState& sim, float burnTime) {
  if (!recording) return;
  ViewItem& item = Add(*this, ViewOp::kBalls);
  item.snapshot = Keep(sims, sim);
  item.f[0] = burnTime;
}

void FrameView::Ghost(float x, float y, float radius) {
  if (!recording) return;
  ViewItem& item = Add(*this, ViewOp::kGhost);
  item.f[0] = x;
  item.f[1] = y;
  item.f[2] = radius;
}

void FrameView::MapObjects(const MapText& map) {
  if (!recording) return;
  Add(*this, ViewOp::kMapObjects).snapshot = Keep(maps, map);
}

void FrameView::Grid(float cx, float cy) {
  if (!recording) return;
  ViewItem& item = Add(*this, ViewOp::kGrid);
  item.f[0] = cx;
  item.f[1] = cy;
}

void FrameView::GoalDisk(const SimState& sim) {
  if (!recording) return;
  Add(*this, ViewOp::kGoalDisk).snapshot = Keep(sims, sim);
}

void FrameView::Particles(const ParticleList& list) {
  if (!recording) return;
  Add(*this, ViewOp::kParticles).snapshot = Keep(particles, list);
}

void FrameView::Panel(float cy, float hx, float hy, float r, float alpha) {
  if (!recording) return;
  ViewItem& item = Add(*this, ViewOp::kPanel);
  item.f[0] = cy;
  item.f[1] = hx;
  item.f[2] = hy;
  item.f[3] = r;
  item.f[4] = alpha;
}

void FrameView::HudBackground(float energy, float energyMax, bool raceWon) {
  if (!recording) return;
  ViewItem& item = Add(*this, ViewOp::kHudBackground);
  item.f[0] = energy;
  item.f[1] = energyMax;
  item.i = raceWon ? 1 : 0;
}

void FrameView::Text(ViewOp op, const std::string& text, float x, float y, float r, float g,
                     float b) {
  if (!recording) return;
  ViewItem& item = Add(*this, op);
  item.text = text;
  item.f[0] = x;
  item.f[1] = y;
  item.f[2] = r;
  item.f[3] = g;
  item.f[4] = b;
}

void FrameView::FlatBox(float x0, float x1, float bottom, float top, float grey) {
  if (!recording) return;
  ViewItem& item = Add(*this, ViewOp::kFlatBox);
  item.f[0] = x0;
  item.f[1] = x1;
  item.f[2] = bottom;
  item.f[3] = top;
  item.f[4] = grey;
}

void FrameView::Logo(bool fade, float alpha) {
  if (!recording) return;
  ViewItem& item = Add(*this, ViewOp::kLogo);
  item.i = fade ? 1 : 0;
  item.f[0] = alpha;
}
