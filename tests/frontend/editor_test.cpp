// The editor's step without a screen: the pointer's gestures move the
// camera as the hand moves, the wheel zooms around the point under the
// pointer, and the palette answers to clicks on its rows.
#include "frontend/editor.h"

#include <gtest/gtest.h>

#include <memory>

#include "game/game.h"

namespace {

struct Editor {
  std::unique_ptr<Game> game = std::make_unique<Game>();
  EditorSession ed;
  FrameView view;

  Editor() {
    game->video.ScreenWidth = 320;
    game->video.ScreenHeight = 200;
    game->video.TextUnit = 260;
    OpenEditorSession(ed, "Neu.mapGame1", "");
  }
  void Step(int x, int y, int buttons, int wheel = 0, const std::string& key = "") {
    game->frame.LastKey = key;
    EditorInput in;
    in.pointer = plat::Pointer{x, y, buttons};
    in.wheel = wheel;
    view.Reset();
    StepEditorFrame(*game, ed, in, view);
  }
};

TEST(Editor, TheWheelZoomsAroundThePointAndStaysWithinItsBounds) {
  const struct {
    int x, y, notches;
  } cases[] = {{160, 100, 2}, {300, 20, 3}, {40, 180, -4}, {200, 120, 40}, {200, 120, -40}};
  for (const auto& c : cases) {
    Editor e;
    e.Step(c.x, c.y, 0);
    const Point before = EditorPointToWorld(*e.game, e.ed, c.x, c.y);
    e.Step(c.x, c.y, 0, c.notches);
    const Point after = EditorPointToWorld(*e.game, e.ed, c.x, c.y);
    EXPECT_NEAR(after.x, before.x, 1e-4) << c.notches;
    EXPECT_NEAR(after.y, before.y, 1e-4) << c.notches;
    EXPECT_GE(e.ed.camDistance, kEditorNearest);
    EXPECT_LE(e.ed.camDistance, kEditorFarthest);
    EXPECT_EQ(e.game->editor.objects, 0) << "a zoom places nothing";
  }
}

TEST(Editor, ARightDragPansTheLevelWithTheHand) {
  Editor e;
  e.Step(200, 100, 0);
  const Point grabbed = EditorPointToWorld(*e.game, e.ed, 200, 100);
  e.Step(200, 100, 2);
  e.Step(150, 130, 2);
  e.Step(100, 160, 2);
  e.Step(100, 160, 0);
  const Point under = EditorPointToWorld(*e.game, e.ed, 100, 160);
  EXPECT_NEAR(under.x, grabbed.x, 1e-4);
  EXPECT_NEAR(under.y, grabbed.y, 1e-4);
  EXPECT_EQ(e.game->editor.objects, 0);
}

TEST(Editor, PaletteKeysWrapAndAClickOnARowChoosesIt) {
  Editor e;
  const int n = static_cast<int>(e.ed.palette.size());
  e.Step(300, 190, 0, 0, "-");
  EXPECT_EQ(e.ed.paletteIndex, n - 1);
  e.Step(300, 190, 0, 0, "+");
  EXPECT_EQ(e.ed.paletteIndex, 0);
  // The rows stand in the top left; each click there picks a row, none
  // draws.
  int picked = 0;
  for (int y = 0; y < 100; y += 2) {
    e.Step(20, y, 1);
    e.Step(20, y, 0);
    if (e.ed.paletteIndex != 0) ++picked;
  }
  EXPECT_GT(picked, 10);
  EXPECT_EQ(e.game->editor.objects, 0);
}

}  // namespace
