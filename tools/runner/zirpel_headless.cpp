// zirpel-headless: the real game on the headless backend, driven by a
// script, for tests and level authors.
//   zirpel-headless [--root DIR] [--size WxH] [--frame-ms MS] [--audio FILE.wav] SCRIPT
//   zirpel-headless [--root DIR] [--size WxH] --edit FILE SCRIPT
//   zirpel-headless [--root DIR] --verify FILE...
//   zirpel-headless [--root DIR] [--size WxH] --replay FILE [SCRIPT]
//   zirpel-headless [--root DIR] [--size WxH] --replay-readings FILE [SCRIPT]
//   zirpel-headless --help | --version
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/run_game.h"
#include "app/state_dump.h"
#include "frontend/level_records.h"
#include "own_heap.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "replay/replay_file.h"

namespace {

const char* const kUsage =
    "usage: zirpel-headless [--root DIR] [--size WxH] [--frame-ms MS] [--audio FILE.wav] "
    "SCRIPT\n"
    "       zirpel-headless [--root DIR] [--size WxH] --edit FILE SCRIPT\n"
    "       zirpel-headless [--root DIR] --verify FILE...\n"
    "       zirpel-headless [--root DIR] [--size WxH] --replay FILE [SCRIPT]\n"
    "       zirpel-headless [--root DIR] [--size WxH] --replay-readings FILE [SCRIPT]\n"
    "       zirpel-headless --help | --version\n"
    "--replay-readings plays the readings of a replay of any simulation version under\n"
    "this game's physics, at their recorded pace, without judging the recorded track.\n";

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

// A copy of the replay at `from` that this game's simulation version plays
// (the same readings, level and track, marked as this version), as a path to
// a file in memory that goes with the process. Empty, with the reason, when
// the file is no replay.
std::string ReplayOfThisVersion(const std::string& from, std::string& why) {
  std::ifstream in(from, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  Replay replay;
  if (!in || !DecodeReplayOfAnySimulation(bytes.str(), replay, why)) {
    if (why.empty()) why = "cannot be read";
    return "";
  }
  replay.simulationVersion = kSimulationVersion;
  const std::string copy = EncodeReplay(replay);
  const int fd = ::memfd_create("zirpel-readings", 0);
  if (fd < 0 || ::write(fd, copy.data(), copy.size()) != static_cast<ssize_t>(copy.size())) {
    return (why = "no room for a copy in memory", "");
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

// A path given on the command line, from the folder the runner started in
// (the game itself runs in --root).
std::string FromStart(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[4096];
  return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

int main(int argc, char** argv) {
  headless::Options options;
  std::string script;
  LaunchOptions launch;
  bool verify = false;
  std::string readings;  // --replay-readings FILE
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
    } else if (arg == "--edit" && i + 1 < argc) {
      launch.editFile = argv[++i];
      // A file the runner was given, from where it started; a bare name is
      // a level name.
      if (launch.editFile.find('/') != std::string::npos)
        launch.editFile = FromStart(launch.editFile);
    } else if (arg == "--verify") {
      verify = true;
    } else if (arg == "--replay" && i + 1 < argc) {
      launch.replayFile = FromStart(argv[++i]);
    } else if (arg == "--replay-readings" && i + 1 < argc) {
      readings = FromStart(argv[++i]);
    } else if (verify && (arg.empty() || arg[0] != '-')) {
      launch.verifyNames.push_back(arg);
      launch.verifyFiles.push_back(FromStart(arg));
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return Usage(("unknown option " + arg).c_str());
    } else if (script.empty()) {
      script = arg;
    } else {
      return Usage("more than one script");
    }
  }
  if (!readings.empty()) {
    if (verify || !launch.replayFile.empty()) {
      return Usage("--replay-readings takes no --replay or --verify");
    }
    std::string why;
    // A check of physics, not a watch: the program ends with the readings.
    launch.replayHoldsEnd = false;
    launch.replayFile = ReplayOfThisVersion(readings, why);
    if (launch.replayFile.empty()) {
      std::fprintf(stderr, "zirpel-headless: %s: refused: %s\n", readings.c_str(), why.c_str());
      return 1;
    }
  }
  if (verify && launch.verifyFiles.empty()) return Usage("--verify without a file");
  if (verify && (!launch.replayFile.empty() || !script.empty())) {
    return Usage("--verify takes replay files alone");
  }
  if (script.empty() && !verify && launch.replayFile.empty()) return Usage("no script");
  // Before the script's first commands: a `signal` among them ends the game
  // at its first frame boundary.
  plat::CatchEndSignals();
  if (!headless::Start(options, script)) return 2;
  static Game game;
  headless::SetDumper([] {
    return DumpGameState(game, headless::PresentedFrames(), plat::UntappedTimer(),
                         headless::ScreenName());
  });
  headless::SetOwnHeapCounter(OwnHeapCounterOrNull());
  headless::SetRecordsWaiter(&WaitForWorldRecords);
  headless::RunUntilBlocked();
  const int code = RunGame(game, launch);
  std::fflush(nullptr);
  std::_Exit(code);
}
