// The window program's command line: options, their order, wrong arguments
// and the help that lists them.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

using Action = CommandLine::Action;

TEST(CommandLine, OptionsForOneRun) {
  struct Case {
    std::vector<std::string> args;
    Action action;
    int fullscreen;
  } cases[] = {
      {{}, Action::kPlay, -1},  // the settings decide
      {{"--windowed"}, Action::kPlay, 0},
      {{"--fullscreen"}, Action::kPlay, 1},
      {{"--fullscreen", "--windowed"}, Action::kPlay, 0},  // the last one wins
      {{"--windowed", "--help"}, Action::kHelp, 0},
      {{"-h"}, Action::kHelp, -1},
      {{"--version", "--fullscreen"}, Action::kVersion, 1},
      {{"--version", "--help"}, Action::kHelp, -1},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.action, c.action) << ::testing::PrintToString(c.args);
    EXPECT_EQ(line.launch.fullscreen, c.fullscreen) << ::testing::PrintToString(c.args);
  }
}

TEST(CommandLine, TheFirstWrongArgumentIsNamed) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--replay"}, "unbekannte Option '--replay'"},
      {{"--help", "-x"}, "unbekannte Option '-x'"},  // even next to --help
      {{"--fullscreen=1"}, "unbekannte Option '--fullscreen=1'"},
      {{"level.mapGame1", "--bad"}, "unerwartetes Argument 'level.mapGame1'"},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.action, Action::kError);
    EXPECT_EQ(line.error, c.error);
  }
  EXPECT_EQ(kUsageExitCode, 2);
}

TEST(CommandLine, HelpListsEveryOptionAndVersionTheProjects) {
  const std::string help = HelpText();
  for (const char* option : {"--windowed", "--fullscreen", "--help", "--version"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(ParseCommandLine({option}).action, Action::kError) << option;
  }
  EXPECT_EQ(VersionText(), "Quobbes Zirpel 0.2.0\n");
}

}  // namespace
