// zirpel-vpad: the game in its window, with a virtual game controller that
// lines on standard input plug in, press and pull out (see
// src/platform/sdl/virtual_pad.h). For the real-window test of the pad.
#include <unistd.h>

#include "app/game.h"
#include "platform/platform.h"
#include "platform/sdl/virtual_pad.h"

int main() {
  plat::CatchEndSignals();
  plat::ScriptVirtualPad(STDIN_FILENO);
  static Game game;
  return RunGame(game, LaunchOptions());
}
