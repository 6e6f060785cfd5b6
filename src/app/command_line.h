// The window program's command line: a few options that hold for one run.
#pragma once

#include <string>
#include <vector>

#include "app/game.h"

struct CommandLine {
  enum class Action { kPlay, kHelp, kVersion, kError };
  Action action = Action::kPlay;
  LaunchOptions launch;
  std::string error;  // what was wrong (German), for kError
};

// Exit code for an option the program does not know.
constexpr int kUsageExitCode = 2;

// Reads the arguments after the program's name. A later option wins over
// an earlier one ("--windowed --fullscreen" plays full screen); --help and
// --version win over playing; the first wrong argument is the error.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
// What --help prints: every option, the files and the exit codes.
std::string HelpText();
// What --version prints: the game's name and version.
std::string VersionText();
