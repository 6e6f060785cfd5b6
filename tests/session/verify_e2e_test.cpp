// zirpel-verify proves replays without a screen: the same lines and exit
// codes as zirpel-headless --verify, and no window, GL, font or audio library
// in the program at all.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"
#include "tooling.h"

namespace {

const std::string kSource = ZIRPEL_SOURCE_DIR;
const std::string kLevel = "01 Erste Schritte.mapGame1";

TEST(Verify, LinksNoWindowGlFontOrAudioLibrary) {
  const e2e::RunResult elf = e2e::RunCommand("readelf -d '" + std::string(ZIRPEL_VERIFY_BIN) + "'");
  ASSERT_EQ(elf.exitCode, 0) << elf.output;
  std::string needed;
  std::istringstream lines(elf.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("(NEEDED)") != std::string::npos) needed += line + "\n";
  }
  ASSERT_NE(needed.find("libc.so"), std::string::npos) << needed;
  for (const char* lib :
       {"SDL2", "libGL", "libGLU", "OSMesa", "freetype", "fontconfig", "asound"}) {
    EXPECT_EQ(needed.find(lib), std::string::npos) << lib << " in\n" << needed;
  }
}

// Each case: the replay file's bytes, the exit code, and the start of the
// line both programs print for it.
TEST(Verify, SameLinesAndExitCodesAsTheRunner) {
  const std::string good = tooling::Slurp(kSource + "/tests/data/replays/race01.zrp");
  ASSERT_FALSE(good.empty());
  std::string tampered = good;
  tampered[tampered.size() / 2] = static_cast<char>(tampered[tampered.size() / 2] ^ 0x5a);
  struct Case {
    const char* name;
    std::string bytes;
    int exitCode;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"good.zrp", good, 0, "good.zrp: verified: Rennen 4.736001 s, 297 frames ("},
      {"tampered.zrp", tampered, 1, "tampered.zrp: refused: "},
      {"empty.zrp", "", 1, "empty.zrp: refused: "},
      {"short.zrp", good.substr(0, 40), 1, "short.zrp: refused: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    e2e::ScratchRoot root;
    root.Write("Res/maps/" + kLevel, tooling::Slurp(kSource + "/res/maps/" + kLevel));
    root.Write(c.name, c.bytes);
    const e2e::RunResult runner = e2e::RunHeadlessArgs(root, {"--verify", c.name});
    const e2e::RunResult bare =
        e2e::RunProgram(root, {ZIRPEL_VERIFY_BIN, "--levels", root.File("Res/maps"), c.name});
    EXPECT_EQ(runner.exitCode, c.exitCode) << runner.output << runner.errors;
    EXPECT_EQ(bare.exitCode, c.exitCode) << bare.errors;
    EXPECT_EQ(bare.output.rfind(c.line, 0), 0u) << bare.output;
    EXPECT_EQ(bare.output, runner.output);
  }
}

TEST(Verify, JsonCarriesTheProvenRunAndBadArgumentsExitTwo) {
  e2e::ScratchRoot root;
  root.Write("Res/maps/" + kLevel, tooling::Slurp(kSource + "/res/maps/" + kLevel));
  root.Write("run.zrp", tooling::Slurp(kSource + "/tests/data/replays/race01.zrp"));
  const e2e::RunResult json = e2e::RunProgram(
      root, {ZIRPEL_VERIFY_BIN, "--json", "--levels", root.File("Res/maps"), "run.zrp"});
  EXPECT_EQ(json.exitCode, 0) << json.errors;
  for (const char* field :
       {"\"file\":\"run.zrp\"", "\"status\":\"verified\"",
        "\"level\":\"01 Erste Schritte.mapGame1\"", "\"mode\":\"race\"", "\"won\":true",
        "\"time\":\"4.736001\"", "\"frames\":297", "\"simulationVersion\":"}) {
    EXPECT_NE(json.output.find(field), std::string::npos) << field << " in " << json.output;
  }
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"--levels"}, {"--bogus", "run.zrp"}}) {
    std::vector<std::string> full = {ZIRPEL_VERIFY_BIN};
    full.insert(full.end(), args.begin(), args.end());
    EXPECT_EQ(e2e::RunProgram(root, full).exitCode, 2);
  }
}

}  // namespace
