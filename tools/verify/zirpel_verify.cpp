// zirpel-verify: proves replays without a screen.
//   zirpel-verify [--levels DIR] [--json] FILE...
// Each file's session is stepped again from its recorded readings, exactly as
// the game stepped it, and judged against its record: one line per file,
// "FILE: verified: ...", "FILE: refused: ..." or "FILE: mismatch at frame N:
// ...", as zirpel-headless --verify prints them. Exit 0 when every file
// verified, 1 when any did not (or no data folder was found), 2 for bad
// arguments. --json prints one JSON object per file instead.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "game/game.h"
#include "platform/platform.h"
#include "session/watch.h"

namespace {

int Usage(const char* why) {
  if (why) std::fprintf(stderr, "zirpel-verify: %s\n", why);
  std::fprintf(why ? stderr : stdout,
               "Usage: zirpel-verify [--levels DIR] [--json] FILE...\n"
               "Proves each replay FILE by stepping its session again without a screen.\n"
               "  --levels DIR  the folder holding the level files the replays name\n"
               "                (default: the game's own levels)\n"
               "  --json        one JSON object per file instead of a line\n"
               "Exit status: 0 every file verified, 1 any did not, 2 bad arguments.\n");
  return why ? 2 : 0;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7f) {
      // Non-ASCII bytes too: a level name need not be UTF-8.
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonLine(const VerifiedRun& run, const Replay* replay) {
  static const char* const kStatus[] = {"verified", "refused", "mismatch"};
  std::string j = "{\"file\":" + Quoted(run.name) + ",\"status\":\"" + kStatus[run.status] +
                  "\",\"line\":" + Quoted(run.text);
  if (run.status != VerifiedRun::kVerified) {
    const std::size_t colon = run.text.find(": ");
    j += ",\"reason\":" +
         Quoted(colon == std::string::npos ? run.text : run.text.substr(colon + 2));
  }
  if (replay) {
    j += ",\"level\":" + Quoted(replay->levelFile);
    j += std::string(",\"mode\":\"") + (replay->mode == 2 ? "survival" : "race") + "\"";
    j += std::string(",\"won\":") + (replay->won ? "true" : "false");
    j += ",\"time\":" + Quoted(FormatFloat7(replay->time));
    j += ",\"frames\":" + std::to_string(ReplayFrames(*replay));
    j += ",\"simulationVersion\":" + std::to_string(replay->simulationVersion);
  }
  return j + "}";
}

}  // namespace

int main(int argc, char** argv) {
  std::string levels;
  bool json = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return Usage(nullptr);
    if (arg == "--version") {
      std::printf("zirpel-verify %s\n", ZIRPEL_VERSION);
      return 0;
    }
    if (arg == "--json") {
      json = true;
    } else if (arg == "--levels") {
      if (++i >= argc) return Usage("--levels without a folder");
      levels = argv[i];
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return Usage(("unknown option " + arg).c_str());
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return Usage("no replay file");
  if (!levels.empty()) {
    plat::UseLevelsFolder(levels);
  } else {
    std::vector<std::string> tried;
    if (!plat::FindPlaces(plat::PlaceInputsFromProcess(), tried)) {
      std::string where;
      for (const std::string& t : tried) where += "\n  " + t;
      plat::ConsoleError("zirpel-verify: no level data found; looked in:" + where);
      return 1;
    }
  }
  const auto game = std::make_unique<Game>();
  InitGameState(*game);
  const int failures =
      VerifyReplayFiles(*game, files, files, [json](const VerifiedRun& run, const Replay* replay) {
        const std::string line = json ? JsonLine(run, replay) : run.name + ": " + run.text;
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
      });
  return failures == 0 ? 0 : 1;
}
