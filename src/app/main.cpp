// Quobbes Zirpel in a window.
#include "app/game.h"

int main() {
  static Game game;
  return RunGame(game);
}
