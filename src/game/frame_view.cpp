#include "game/frame_view.h"

#include <algorithm>
#include <initializer_list>

namespace {

// The item with its numbers, in the order the op names them.
ViewItem& Add(FrameView& view, ViewOp op, std::initializer_list<float> numbers = {}) {
  ViewItem& item = view.items.emplace_back();
  item.op = op;
  std::copy(numbers.begin(), numbers.end(), item.f);
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
  Add(*this, ViewOp::kTranslate, {x, y, z});
}

void FrameView::Balls(const SimState& sim, float burnTime) {
  if (!recording) return;
  Add(*this, ViewOp::kBalls, {burnTime}).snapshot = Keep(sims, sim);
}

void FrameView::Ghost(float x, float y, float radius) {
  if (!recording) return;
  Add(*this, ViewOp::kGhost, {x, y, radius});
}

void FrameView::MapObjects(const MapText& map) {
  if (!recording) return;
  Add(*this, ViewOp::kMapObjects).snapshot = Keep(maps, map);
}

void FrameView::Grid(float cx, float cy) {
  if (!recording) return;
  Add(*this, ViewOp::kGrid, {cx, cy});
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
  Add(*this, ViewOp::kPanel, {cy, hx, hy, r, alpha});
}

void FrameView::HudBackground(float energy, float energyMax, bool raceWon) {
  if (!recording) return;
  Add(*this, ViewOp::kHudBackground, {energy, energyMax}).i = raceWon ? 1 : 0;
}

void FrameView::Text(ViewOp op, const std::string& text, float x, float y, float r, float g,
                     float b) {
  if (!recording) return;
  Add(*this, op, {x, y, r, g, b}).text = text;
}

void FrameView::FlatBox(float x0, float x1, float bottom, float top, float grey) {
  if (!recording) return;
  Add(*this, ViewOp::kFlatBox, {x0, x1, bottom, top, grey});
}

void FrameView::Logo(bool fade, float alpha) {
  if (!recording) return;
  Add(*this, ViewOp::kLogo, {alpha}).i = fade ? 1 : 0;
}

void FrameView::Handle(float x, float y, float half, EditMarkColour colour) {
  if (!recording) return;
  Add(*this, ViewOp::kHandle, {x, y, half}).i = static_cast<int>(colour);
}

void FrameView::EditLine(float x0, float y0, float x1, float y1, EditMarkColour colour) {
  if (!recording) return;
  Add(*this, ViewOp::kEditLine, {x0, y0, x1, y1}).i = static_cast<int>(colour);
}
