#include "frontend/play_screen.h"

#include "game/game.h"
#include "render/frame_draw.h"
#include "sound/sound.h"

namespace {

void DrawPlay(const Game& game, const FrameView& view) {
  DrawFrameView(view, game.video);
}

void HearPlay(Game& game, const PlayEvents& events) {
  HearFrame(game, "session", &events);
}

}  // namespace

const PlayScreen& WindowPlayScreen() {
  static const PlayScreen screen{&DrawPlay, &HearPlay};
  return screen;
}
