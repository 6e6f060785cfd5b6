// A level's author run counts while it proves the level as it is now.
#include "session/author_run.h"

#include <gtest/gtest.h>

#include "e2e/runner_harness.h"
#include "platform/platform.h"
#include "tooling.h"

namespace {

const std::string kSource = ZIRPEL_SOURCE_DIR;
const std::string kLevel = "01 Erste Schritte.mapGame1";
const std::string kOther = "02 Anders.mapGame1";

TEST(AuthorRun, CountsOnlyWhileItProvesThisLevel) {
  const std::string level = tooling::Slurp(kSource + "/res/maps/" + kLevel);
  const std::string run = tooling::Slurp(kSource + "/tests/data/replays/race01.zrp");
  const struct {
    const char* what;
    std::string levelBytes;
    std::string authorFor;  // the level the author file sits beside
    std::string runBytes;
    bool found, proven;
  } cases[] = {
      {"proven", level, kLevel, run, true, true},
      {"no author run", level, "", run, false, false},
      {"the level changed since", level + "\r\n", kLevel, run, true, false},
      {"beside another level", level, kOther, run, true, false},
      {"not a replay", level, kLevel, "kaputt", true, false},
  };
  for (const auto& c : cases) {
    e2e::TempDir dir;
    dir.Write(kLevel, c.levelBytes);
    dir.Write(kOther, c.levelBytes);
    if (!c.authorFor.empty()) dir.Write(c.authorFor + ".author.zrp", c.runBytes);
    plat::UseLevelsFolder(dir.path());
    plat::SeedRandom(7.0);
    const std::string random = plat::RandomState();
    const std::string levelPath = "Res/maps/" + (c.authorFor.empty() ? kLevel : c.authorFor);
    const AuthorRun author = ProveAuthorRun(levelPath);
    EXPECT_EQ(author.found, c.found) << c.what;
    EXPECT_EQ(author.proven, c.proven) << c.what << ": " << author.line;
    if (c.proven) {
      EXPECT_EQ(author.mode, 1) << c.what;
      EXPECT_GT(author.time, 4.0f) << c.what;
      EXPECT_LT(author.time, 5.0f) << c.what;
    }
    // The caller's random numbers go on as if nothing had been proven.
    EXPECT_EQ(plat::RandomState(), random) << c.what;
    plat::ForgetPlaces();
  }
  EXPECT_EQ(AuthorRunPath("Res/maps/" + kLevel), "Res/maps/" + kLevel + ".author.zrp");
}

}  // namespace
