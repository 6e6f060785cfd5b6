// zirpel-vpad: the game in its window, with a virtual game controller that
// lines on standard input plug in, press and pull out (see
// src/platform/sdl/virtual_pad.h). For the real-window test of the pad.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/run_game.h"
#include "game/game.h"
#include "platform/platform.h"
#include "platform/sdl/virtual_pad.h"

namespace {

const char* const kUsage =
    "usage: zirpel-vpad [--help]\n"
    "Starts the game in its window with a virtual game controller driven by\n"
    "lines on standard input, one command a line:\n"
    "  attach                 a virtual pad is plugged in\n"
    "  detach                 it is pulled out again\n"
    "  press NAME, release NAME\n"
    "                         a button: a, b, x, y, back, start, dpup, dpdown,\n"
    "                         dpleft, dpright\n"
    "  axis NAME VALUE        leftx or lefty to a value from -1 to 1\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "zirpel-vpad: unknown argument '%s'\n%s", arg.c_str(), kUsage);
    return 2;
  }
  plat::CatchEndSignals();
  plat::ScriptVirtualPad(STDIN_FILENO);
  static Game game;
  return RunGame(game, LaunchOptions());
}
