// Runs recorded in a real window on a busy machine (frames of 80 to 520 ms,
// tests/data/replays/long-frames), each lost in its day when a slow frame
// took the ball through a floor or a wall: their readings played again by
// today's game through the runner's --replay-readings pass no ball through a
// fixed platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e/runner_harness.h"
#include "mapfile/map_file.h"
#include "tooling.h"

namespace {

namespace fs = std::filesystem;

const std::string kSource = ZIRPEL_SOURCE_DIR;

std::string Slurp(const fs::path& path) {
  return tooling::Slurp(path.string());
}

using e2e::Crosses;
using e2e::Segment;

std::vector<Segment> FixedPlatforms(const std::string& level) {
  MapText map;
  LoadMap(map, kSource + "/res/maps/" + level);
  std::vector<Segment> fixed;
  for (const MapPlatform& p : MapObjects(map).platforms) {
    if (p.kind == PlatformKind::Fixed && p.usable) fixed.push_back({p.a.x, p.a.y, p.b.x, p.b.y});
  }
  return fixed;
}

TEST(LongFrames, RecordedRunsPlayedAgainPassNoFixedPlatform) {
  std::vector<fs::path> runs;
  for (const auto& e : fs::directory_iterator(kSource + "/tests/data/replays/long-frames")) {
    if (e.path().extension() == ".zrp") runs.push_back(e.path());
  }
  std::sort(runs.begin(), runs.end());
  ASSERT_EQ(runs.size(), 9u);
  for (const fs::path& run : runs) {
    SCOPED_TRACE(run.filename().string());
    e2e::ScratchRoot root(e2e::ScratchRoot::SmallSettings());
    for (const auto& e : fs::directory_iterator(kSource + "/res/maps")) {
      root.Write("Res/maps/" + e.path().filename().string(), Slurp(e.path()));
    }
    const e2e::RunResult r =
        e2e::RunHeadless(root, "dump-every " + root.File("d.json") + "\nframes 100000\n",
                         {"--replay-readings", run.string()});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    const std::vector<e2e::Dump> dumps = e2e::ReadDumps(root.File("d.json"));
    ASSERT_GT(dumps.size(), 100u);
    const std::vector<Segment> fixed = FixedPlatforms(e2e::Str(dumps.front(), "ChosenLevelFile"));
    ASSERT_FALSE(fixed.empty());
    double longest = 0.0;
    for (std::size_t f = 1; f < dumps.size(); ++f) {
      longest = std::max(longest, e2e::Num(dumps[f], "FrameTime"));
      for (std::size_t i = 0;; ++i) {
        const std::string was = e2e::Element(dumps[f - 1], "balls", i);
        const std::string is = e2e::Element(dumps[f], "balls", i);
        if (was.empty() || is.empty()) break;
        for (const Segment& s : fixed) {
          EXPECT_FALSE(Crosses(e2e::ObjNum(was, "x"), e2e::ObjNum(was, "y"), e2e::ObjNum(is, "x"),
                               e2e::ObjNum(is, "y"), s))
              << "ball " << i + 1 << " in frame " << e2e::Num(dumps[f], "frame") << " through ["
              << s.ax << "," << s.ay << "]-[" << s.bx << "," << s.by << "]";
        }
      }
    }
    EXPECT_GT(longest, 0.15);  // the slow frames are played as recorded
  }
}

}  // namespace
