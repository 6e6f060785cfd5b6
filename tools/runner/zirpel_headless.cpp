// zirpel-headless: the real game on the headless backend, driven by a
// script, for tests and level authors.
//   zirpel-headless [--root DIR] [--size WxH] [--frame-ms MS] [--audio FILE.wav] SCRIPT
//   zirpel-headless --help | --version
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/game.h"
#include "app/state_dump.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

const char* const kUsage =
    "usage: zirpel-headless [--root DIR] [--size WxH] [--frame-ms MS] [--audio FILE.wav] "
    "SCRIPT\n"
    "       zirpel-headless --help | --version\n";

int Usage(const char* why) {
  std::fprintf(stderr, "zirpel-headless: %s\n%s", why, kUsage);
  return 2;
}

bool ParseSize(const char* text, int& w, int& h) {
  char* end = nullptr;
  const long lw = std::strtol(text, &end, 10);
  if (*end != 'x') return false;
  const long lh = std::strtol(end + 1, &end, 10);
  if (*end != '\0' || lw <= 0 || lh <= 0 || lw > 16384 || lh > 16384) return false;
  w = static_cast<int>(lw);
  h = static_cast<int>(lh);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  headless::Options options;
  std::string script;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("zirpel-headless (Quobbes Zirpel) %s\n", ZIRPEL_VERSION);
      return 0;
    }
    if (arg == "--root" && i + 1 < argc) {
      options.root = argv[++i];
    } else if (arg == "--size" && i + 1 < argc) {
      if (!ParseSize(argv[++i], options.desktopWidth, options.desktopHeight)) {
        return Usage("bad --size");
      }
    } else if (arg == "--frame-ms" && i + 1 < argc) {
      char* end = nullptr;
      options.frameMs = std::strtod(argv[++i], &end);
      if (*end != '\0' || !(options.frameMs > 0.0)) return Usage("bad --frame-ms");
    } else if (arg == "--audio" && i + 1 < argc) {
      options.audioFile = argv[++i];
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return Usage(("unknown option " + arg).c_str());
    } else if (script.empty()) {
      script = arg;
    } else {
      return Usage("more than one script");
    }
  }
  if (script.empty()) return Usage("no script");
  // Before the script's first commands: a `signal` among them ends the game
  // at its first frame boundary.
  plat::CatchEndSignals();
  if (!headless::Start(options, script)) return 2;
  static Game game;
  headless::SetDumper([] {
    return DumpGameState(game, headless::PresentedFrames(), plat::Timer(), headless::ScreenName());
  });
  headless::RunUntilBlocked();
  const int code = RunGame(game);
  std::fflush(nullptr);
  std::_Exit(code);
}
