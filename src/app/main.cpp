// Quobbes Zirpel in a window.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/game.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  const CommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (command.action) {
    case CommandLine::Action::kHelp:
      plat::ConsoleText(HelpText());
      return 0;
    case CommandLine::Action::kVersion:
      plat::ConsoleText(VersionText());
      return 0;
    case CommandLine::Action::kError:
      plat::ConsoleWarning(command.error + "\nMehr mit: zirpel --help");
      return kUsageExitCode;
    case CommandLine::Action::kPlay:
      break;
  }
  plat::CatchEndSignals();
  static Game game;
  return RunGame(game, command.launch);
}
