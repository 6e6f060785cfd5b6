// The program state's start values and the frame helpers every screen uses.
#include "game/game.h"

#include "platform/platform.h"

void InitGameState(Game& game) {
  game = Game();
  for (int i = 1; i <= 20; ++i) game.sim.Balls[static_cast<size_t>(i)].radius = kBallRadius;
}

void PollKeyInto(Game& game) {
  game.frame.LastKey = plat::PollKey();
}

void MeasureFrameTime(Game& game) {
  game.frame.FrameTime = plat::Timer() - game.frame.LastFrameStamp;
  game.frame.LastFrameStamp = plat::Timer();
}

void DrainKeys(Game& game) {
  do {
    plat::SleepMs(1);
    PollKeyInto(game);
  } while (!game.frame.LastKey.empty());
}
