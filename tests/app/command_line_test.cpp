// The window program's command line: options, their order, wrong arguments
// and the help that lists them.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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
      {{"--demo"}, "unbekannte Option '--demo'"},
      {{"--replay"}, "--replay braucht eine Datei"},
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
  // With its file, --replay watches it.
  const CommandLine watch = ParseCommandLine({"--replay", "best.zrp", "--windowed"});
  EXPECT_EQ(watch.action, Action::kPlay);
  EXPECT_EQ(watch.launch.replayFile, "best.zrp");
}

TEST(CommandLine, HelpListsEveryOptionAndVersionTheProjects) {
  const std::string help = HelpText();
  for (const char* option : {"--windowed", "--fullscreen", "--help", "--version"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(ParseCommandLine({option}).action, Action::kError) << option;
  }
  EXPECT_EQ(VersionText(), "Quobbes Zirpel 0.2.0\n");
}

// The manual page names every way to call the program and every exit code
// the program ends with, and the help gives the same codes.
TEST(CommandLine, TheManualPageGivesEveryCallAndEveryExitCode) {
  std::ifstream in(std::string(ZIRPEL_SOURCE_DIR) + "/dist/zirpel.6.in");
  std::stringstream text;
  text << in.rdbuf();
  const std::string page = text.str();
  const auto section = [&](const std::string& head) {
    const std::size_t from = page.find(".SH " + head);
    if (from == std::string::npos) return std::string();
    return page.substr(from, page.find(".SH ", from + 1) - from);
  };
  const std::string synopsis = section("\\(:UBERSICHT");
  const std::string codes = section("R\\(:UCKGABEWERT");
  ASSERT_FALSE(synopsis.empty());
  ASSERT_FALSE(codes.empty());
  for (const char* call : {"\\-\\-windowed", "\\-\\-replay", "\\-\\-help", "\\-\\-version"}) {
    EXPECT_NE(synopsis.find(call), std::string::npos) << call;
  }
  for (const int code : {0, kNoDataExitCode, kNotVerifiedExitCode, kUsageExitCode}) {
    EXPECT_NE(codes.find(".B " + std::to_string(code) + "\n"), std::string::npos) << code;
  }
  // Exit code 1 is more than "no data": a replay that cannot be played too.
  const std::string one = codes.substr(codes.find(".B 1\n"));
  EXPECT_NE(one.substr(0, one.find(".TP")).find("\\-\\-replay"), std::string::npos);
  EXPECT_NE(HelpText().find("1 ohne Spieldaten, ohne Fenster mit OpenGL oder\nbei einer "
                            "Wiederholung, die sich nicht abspielen laesst"),
            std::string::npos);
}

}  // namespace
