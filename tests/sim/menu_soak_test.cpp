// The menu scene over a long run through the menu's own frame step: random
// frame times, the scene, its sphere refill and the menu's rules. Nothing may become NaN or
// infinite, and the map may grow only by the pieces its breaks append.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "frontend/menu.h"
#include "game/game.h"
#include "mapfile/map_file.h"

namespace {

double DestructibleLength(const MapText& map) {
  double total = 0.0;
  for (const MapPlatform& p : MapObjects(map).platforms) {
    if (p.kind == PlatformKind::Fixed) continue;
    total += std::hypot(p.rightX - p.leftX, p.rightY - p.leftY);
  }
  return total;
}

TEST(MenuSoak, HundredThousandRandomFramesStayFinite) {
  MapText map;
  LoadMap(map, ZIRPEL_SOURCE_DIR "/res/maps/Mainmenu.startmap");
  ASSERT_GT(map.MapLineCount, 0);
  const int initialLines = map.MapLineCount;
  // Each split removes a hole of at least 0.56 from the breakable length.
  const int maxSplits = static_cast<int>(DestructibleLength(map) / 0.56) + 1;
  ASSERT_GT(DestructibleLength(map), 0.0);

  auto game = std::make_unique<Game>();
  InitGameState(*game);
  SettingsSet(game->settings, "Menu_DroppBalls", "Enabled");
  game->map = map;
  SimState& sim = game->sim;
  sim.BallCount = 4;
  sim.SceneMode = 1;
  for (int i = 1; i <= 4; ++i) sim.Balls[i].x = 30.0f;
  const MenuState& menu = game->menu;
  std::mt19937 rng(20261207);
  std::uniform_real_distribution<double> frameTime(0.001, 0.050);
  const double start = 100.0;
  game->frame.MenuStartTime = start;
  double now = start;
  int respawns = 0, breakFrames = 0;
  FrameView view;
  view.recording = false;
  for (int frame = 0; frame < 100000; ++frame) {
    const double dt = frameTime(rng);
    now += dt;
    const int linesBefore = game->map.MapLineCount;
    sim.Break.pending = 0;
    bool wasDropped[5] = {};
    for (int i = 1; i <= 4; ++i) wasDropped[i] = menu.BallDropped[i] != 0;
    // The menu's own frame step, with the pointer outside the window.
    game->frame.FrameTime = dt;
    MenuInput in;
    in.ballClock = now;
    in.rulesClock = now;
    FrameHits hits;
    ASSERT_EQ(StepMenuFrame(*game, in, view, hits), -1);
    const int grown = game->map.MapLineCount - linesBefore;
    ASSERT_EQ(grown % 4, 0);
    if (grown > 0) {
      ASSERT_EQ(sim.Break.pending, 1) << "lines appended without a break";
    }
    if (sim.Break.pending) ++breakFrames;
    for (int i = 1; i <= 4; ++i) {
      const Ball& b = sim.Balls[i];
      ASSERT_TRUE(std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.vx) &&
                  std::isfinite(b.vy))
          << "frame " << frame << " ball " << i;
      // A ball that fell off came back to the drop point, at rest.
      if (wasDropped[i] && b.x == kDropPointX && b.y == kDropPointY && b.vx == 0.0f &&
          b.vy == 0.0f) {
        ++respawns;
      }
    }
  }
  const MapText& map2 = game->map;
  EXPECT_LE(map2.MapLineCount, initialLines + 4 * maxSplits);
  EXPECT_GT(breakFrames, 0);  // the balls do break the menu's platforms
  EXPECT_GT(respawns, 20);    // and keep falling off and coming back
}

}  // namespace
