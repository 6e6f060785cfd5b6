// Replays: a recorded run re-runs to its result, and any change to it is
// caught; the ghost of the best run changes nothing but its own drawing.
#include "session/replays.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "e2e/runner_harness.h"
#include "game/game.h"
#include "session/run_start.h"
#include "tooling.h"
#include "world/map.h"

namespace {

const std::string kSource = ZIRPEL_SOURCE_DIR;
const std::string kLevel = "01 Erste Schritte.mapGame1";

using tooling::Slurp;

// Level 01 won straight from the menu; dumps every frame of the session to
// dumps (when given).
std::string RaceScript(const std::string& dumps = "") {
  return "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
         "until session\n" +
         (dumps.empty() ? std::string() : "dump-every " + dumps + "\n") +
         "frames 40\nhold RIGHT\nframes 200\nrelease RIGHT\nframes 120\n";
}

std::string Settings(const char* ghost) {
  return e2e::ScratchRoot::SmallSettings(std::string("Particle=Enabled\r\nParticleNumber=35\r\n") +
                                         ghost);
}

TEST(Replays, TheGhostIsTheLastRunAtThePlayersTime) {
  const std::vector<Checkpoint> track = {{1, 1, 0.0},  {2, 2, 0.5}, {3, 3, 0.0},
                                         {4, 4, 0.25}, {5, 5, 0.5}, {6, 6, 1.0}};
  const std::vector<Checkpoint> last = LastRunOf(track);  // restarted at the third
  ASSERT_EQ(last.size(), 4u);
  const struct {
    double elapsed;
    float x;
  } cases[] = {{-1.0, 3}, {0.0, 3}, {0.3, 4}, {0.5, 5}, {0.99, 5}, {1.0, 6}, {50.0, 6}};
  for (const auto& c : cases) EXPECT_EQ(GhostAt(last, c.elapsed).x, c.x) << c.elapsed;
  EXPECT_EQ(LastRunOf(std::vector<Checkpoint>()).size(), 0u);
}

// Recorded once for the tampering table below.
class RecordedRace : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Recorded with sound, checked without: the ears never enter the record.
    root_ = new e2e::ScratchRoot(Settings("Sound=Enabled\r\n"));
    root_->Write("Res/maps/" + kLevel, Slurp(kSource + "/res/maps/" + kLevel));
    const e2e::RunResult run = e2e::RunHeadless(*root_, RaceScript());
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    bytes_ = root_->Read("Res/Replays/" + kLevel + ".best.zrp");
  }
  static void TearDownTestSuite() {
    delete root_;
    root_ = nullptr;
  }
  static e2e::ScratchRoot* root_;
  static std::string bytes_;
};
e2e::ScratchRoot* RecordedRace::root_ = nullptr;
std::string RecordedRace::bytes_;

// The first reading of kind at or after frame, as an index into the events.
std::size_t FindReading(const Replay& r, std::uint8_t kind, std::size_t frame, int value = -1) {
  for (std::size_t i = r.log.frameEnds[frame - 1]; i < r.log.events.size(); ++i) {
    const plat::TapEvent& e = r.log.events[i];
    if (e.kind == kind && (value < 0 || e.value == value)) return i;
  }
  ADD_FAILURE() << "no such reading";
  return 0;
}

// The replay with a count beyond anything the file holds, packed properly.
std::string WithHugeCount(const std::string& file, const Replay& r) {
  std::uint32_t unpacked = 0;
  std::memcpy(&unpacked, file.data() + 6, 4);
  std::string payload(unpacked, '\0');
  uLongf got = unpacked;
  uncompress(reinterpret_cast<Bytef*>(payload.data()), &got,
             reinterpret_cast<const Bytef*>(file.data() + 14), file.size() - 18);
  // The event count follows the header fields.
  const std::size_t at = 4 + 1 + r.levelFile.size() + 8 + 1 + 1 + 4 + 4 + 1 + r.particle.size() +
                         1 + r.particleNumber.size() + 2 + r.log.randomState.size() + 8;
  std::size_t end = at;
  while (static_cast<unsigned char>(payload[end]) & 0x80) ++end;
  payload.replace(at, end + 1 - at, "\xff\xff\xff\xff\xff\xff\xff\x7f");
  uLongf packedSize = compressBound(payload.size());
  std::string packed(packedSize, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
           reinterpret_cast<const Bytef*>(payload.data()), payload.size());
  packed.resize(packedSize);
  std::string out = file.substr(0, 6);
  const std::uint32_t sizes[2] = {static_cast<std::uint32_t>(payload.size()),
                                  static_cast<std::uint32_t>(packed.size())};
  out.append(reinterpret_cast<const char*>(sizes), 8);
  out += packed;
  const std::uint32_t crc = static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size())));
  out.append(reinterpret_cast<const char*>(&crc), 4);
  return out;
}

TEST_F(RecordedRace, EveryChangeIsAMismatchOrRefused) {
  Replay good;
  std::string why;
  ASSERT_TRUE(DecodeReplay(bytes_, good, why)) << why;
  ASSERT_TRUE(good.won);
  ASSERT_GT(ReplayFrames(good), 200u);
  struct Case {
    const char* name;
    std::string bytes;
    const char* expected;  // how the line goes on after "FILE: "
  };
  std::vector<Case> cases;
  cases.push_back({"as recorded", bytes_, "verified: Rennen "});
  {
    Replay r = good;  // the right cursor key let go for one frame
    r.log.events[FindReading(r, plat::kTapKeyDown, 100, 1)].value = 0;
    cases.push_back({"one input", EncodeReplay(r), "mismatch at frame "});
  }
  {
    Replay r = good;  // one frame 1 ms longer
    r.log.events[FindReading(r, plat::kTapTimer, 150)].timer += 0.001;
    cases.push_back({"one frame time", EncodeReplay(r), "mismatch at frame "});
  }
  {
    Replay r = good;  // a won result claimed for a slower time
    r.time += 0.5f;
    cases.push_back({"the result", EncodeReplay(r), "mismatch at frame "});
  }
  {
    Replay r = good;
    r.simulationVersion = kSimulationVersion + 1;
    cases.push_back({"another simulation", EncodeReplay(r), "refused: simulation version"});
  }
  cases.push_back({"truncated", bytes_.substr(0, bytes_.size() / 2), "refused: truncated"});
  std::string flipped = bytes_;
  flipped[flipped.size() - 2] ^= 0x10;
  cases.push_back({"checksum byte", flipped, "refused: checksum"});
  cases.push_back({"huge count", WithHugeCount(bytes_, good), "refused: more readings"});
  cases.push_back({"no replay", "ZIRPEL?", "refused: not a replay"});
  cases.push_back({"a file recorded before", Slurp(kSource + "/tests/data/replays/race01.zrp"),
                   "verified: Rennen 4.736001 s, 297 frames"});
  // Recorded when a slow frame was one step: its readings play another game.
  cases.push_back({"simulation version 1",
                   Slurp(kSource + "/tests/data/replays/long-frames/l01_rest_fallthrough.zrp"),
                   "refused: simulation version 1, this game plays 2"});

  std::vector<std::string> args = {"--verify"};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string file = "case" + std::to_string(i) + ".zrp";
    root_->Write(file, cases[i].bytes);
    args.push_back(root_->File(file));
  }
  // A changed level file: the replay is refused before anything runs.
  const std::string level = Slurp(kSource + "/res/maps/" + kLevel);
  const e2e::RunResult run = e2e::RunHeadlessArgs(*root_, args);
  root_->Write("Res/maps/" + kLevel, level + "\r\n");
  const e2e::RunResult changed = e2e::RunHeadlessArgs(*root_, {"--verify", args[1]});
  root_->Write("Res/maps/" + kLevel, level);

  EXPECT_EQ(run.exitCode, 1) << run.errors;
  std::istringstream lines(run.output);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::string line;
    ASSERT_TRUE(std::getline(lines, line)) << cases[i].name;
    const std::string head = args[i + 1] + ": " + cases[i].expected;
    EXPECT_EQ(line.rfind(head, 0), 0u) << cases[i].name << ": " << line;
  }
  EXPECT_EQ(changed.exitCode, 1);
  EXPECT_EQ(changed.output, args[1] + ": refused: level file changed: " + kLevel + "\n");
  EXPECT_EQ(e2e::RunHeadlessArgs(*root_, {"--verify"}).exitCode, 2);
}

TEST(ReplayFile, EveryCutAndEveryFlippedByteIsRefused) {
  Replay r;
  r.levelFile = kLevel;
  r.log.randomState = "1 2 3";
  for (int f = 0; f < 50; ++f) {
    plat::TapEvent e;
    e.kind = plat::kTapTimer;
    e.timer = 100.0 + f * 0.016;
    r.log.events.push_back(e);
    e.kind = plat::kTapPollKey;
    e.key = f % 7 == 0 ? "g" : "";
    r.log.events.push_back(e);
    r.log.frameEnds.push_back(static_cast<std::uint32_t>(r.log.events.size()));
    r.track.push_back({static_cast<float>(f), -1.0f, f * 0.016});
  }
  const std::string bytes = EncodeReplay(r);
  Replay back;
  std::string why;
  ASSERT_TRUE(DecodeReplay(bytes, back, why)) << why;
  EXPECT_EQ(back.log.events.size(), r.log.events.size());
  EXPECT_EQ(back.log.events[15].key, "g");
  EXPECT_EQ(back.log.events[98].timer, r.log.events[98].timer);
  EXPECT_EQ(back.track[49].elapsed, r.track[49].elapsed);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_FALSE(DecodeReplay(bytes.substr(0, n), back, why)) << n;
    std::string flipped = bytes;
    flipped[n] ^= 0x01;
    EXPECT_FALSE(DecodeReplay(flipped, back, why)) << n;
  }
  EXPECT_FALSE(DecodeReplay(bytes + "x", back, why));
}

TEST(Replays, TheGhostChangesNothingButItsOwnField) {
  e2e::ScratchRoot root(Settings(""));
  root.Write("Res/maps/" + kLevel, Slurp(kSource + "/res/maps/" + kLevel));
  ASSERT_EQ(e2e::RunHeadless(root, RaceScript()).exitCode, 0);  // the best run
  std::vector<std::vector<e2e::Dump>> runs;
  for (const char* ghost : {"Ghost=Enabled\r\n", "Ghost=Disabled\r\n"}) {
    root.Write("Res/settings.ini", Settings(ghost));
    const std::string dumps = root.File(std::string("d") + ghost[6] + ".jsonl");
    const e2e::RunResult run = e2e::RunHeadless(root, RaceScript(dumps));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    runs.push_back(e2e::ReadDumps(dumps));
  }
  ASSERT_EQ(runs[0].size(), runs[1].size());
  ASSERT_GT(runs[0].size(), 300u);
  int shown = 0;
  std::string finish;  // where the ghost's run ended
  for (std::size_t i = 0; i < runs[0].size(); ++i) {
    e2e::Dump with = runs[0][i], without = runs[1][i];
    EXPECT_EQ(without["Ghost"], "null");
    if (with["Ghost"] != "null") {
      ++shown;
      // The same inputs as the best run: the ghost is where the ball is,
      // up to the goal; there its run ended, and there it stays.
      e2e::Dump ball = e2e::ParseDump(e2e::Element(with, "balls", 0));
      if (finish.empty()) {
        EXPECT_EQ(with["Ghost"], "[" + ball["x"] + "," + ball["y"] + "]") << i;
      } else {
        EXPECT_EQ(with["Ghost"], finish) << i;
      }
      if (e2e::Num(with, "GoalReached") == 1.0 && finish.empty()) finish = with["Ghost"];
    }
    EXPECT_EQ(with["GhostKind"], with["Ghost"] == "null" ? "null" : "\"best\"") << i;
    for (const char* own : {"Ghost", "GhostKind"}) {
      with.erase(own);
      without.erase(own);
    }
    ASSERT_EQ(with, without) << "frame " << i;
  }
  EXPECT_GT(shown, 300);
  EXPECT_FALSE(finish.empty());
}

// W on the keyboard, X on the pad: the best run plays, then the selection
// is back as it was, and nothing was stored.
TEST(Replays, WOrPadXWatchesTheBestRunAndStoresNothing) {
  e2e::ScratchRoot root(Settings(""));
  root.Write("Res/maps/" + kLevel, Slurp(kSource + "/res/maps/" + kLevel));
  ASSERT_EQ(e2e::RunHeadless(root, RaceScript()).exitCode, 0);
  const std::string board = root.Read("Res/Leaderboard.dat");
  const std::string last = root.Read("Res/Replays/last.zrp");
  for (const char* watch : {"key w", "pad x"}) {
    SCOPED_TRACE(watch);
    const e2e::RunResult run = e2e::RunHeadless(
        root, "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\n" +
                  std::string(watch) + "\nuntil session 5\nframes 100\ndump " +
                  root.File("w.json") + "\nuntil levelselect 1000\nframes 2\ndump " +
                  root.File("back.json") + "\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::vector<e2e::Dump> watching = e2e::ReadDumps(root.File("w.json"));
    const std::vector<e2e::Dump> back = e2e::ReadDumps(root.File("back.json"));
    ASSERT_EQ(watching.size(), 1u);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_NE(watching[0].at("HudTexts").find("\"Wiederholung\""), std::string::npos);
    EXPECT_EQ(watching[0].at("Ghost"), "null");
    EXPECT_EQ(e2e::Str(back[0], "screen"), "levelselect");
    EXPECT_EQ(root.Read("Res/Leaderboard.dat"), board);
    EXPECT_EQ(root.Read("Res/Replays/last.zrp"), last);
    std::remove(root.File("w.json").c_str());
    std::remove(root.File("back.json").c_str());
  }
}

// zirpel --replay: the run's result stays on screen until a key is pressed.
TEST(Replays, AWatchedReplayEndsOnItsResultUntilAKey) {
  e2e::ScratchRoot root(Settings(""));
  root.Write("Res/maps/" + kLevel, Slurp(kSource + "/res/maps/" + kLevel));
  root.Write("run.zrp", Slurp(kSource + "/tests/data/replays/race01.zrp"));
  const e2e::RunResult run =
      e2e::RunHeadless(root,
                       "frames 600\ndump " + root.File("held.json") +
                           "\nkey ENTER\nframes 30\ndump " + root.File("after.json") + "\n",
                       {"--replay", root.File("run.zrp")});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  const std::vector<e2e::Dump> held = e2e::ReadDumps(root.File("held.json"));
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(e2e::Str(held[0], "screen"), "session");
  EXPECT_NE(held[0].at("HudTexts").find("\"Du hast gewonnen!\""), std::string::npos);
  // The key ended the program before its next dump.
  EXPECT_TRUE(e2e::ReadDumps(root.File("after.json")).empty());
  // An unplayable replay is said in German.
  root.Write("bad.zrp", "kaputt");
  const e2e::RunResult bad =
      e2e::RunHeadless(root, "frames 5\n", {"--replay", root.File("bad.zrp")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.errors.find("laesst sich nicht abspielen: die Datei ist keine Wiederholung."),
            std::string::npos)
      << bad.errors;
}

TEST(Replays, AReplayThatCannotBeWrittenLeavesPlayAndRecordAlone) {
  e2e::ScratchRoot root(Settings(""));
  root.Write("Res/maps/" + kLevel, Slurp(kSource + "/res/maps/" + kLevel));
  root.Write("Res/Replays", "a file where the folder should be");
  const e2e::RunResult run = e2e::RunHeadless(root, RaceScript());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(root.Read("Res/Leaderboard.dat").rfind(kLevel + "\r\n", 0), 0u);
  EXPECT_NE(run.errors.find("Wiederholung"), std::string::npos) << run.errors;
}

// A slow win, Y, a faster win: the record is the second run, and its replay
// holds that run alone, from the state the restart left behind.
TEST(Replays, ARunAfterARestartIsItsOwnReplay) {
  e2e::ScratchRoot root(Settings(""));
  root.Write("Res/maps/" + kLevel, Slurp(kSource + "/res/maps/" + kLevel));
  const e2e::RunResult played =
      e2e::RunHeadless(root, RaceScript() +
                                 "key y\nframes 40\nhold RIGHT\nframes 200\n"
                                 "release RIGHT\nframes 60\n");
  ASSERT_EQ(played.exitCode, 0) << played.errors;
  const std::string best = root.Read("Res/Replays/" + kLevel + ".best.zrp");
  ASSERT_EQ(best, root.Read("Res/Replays/last.zrp"));
  Replay good;
  std::string why;
  ASSERT_TRUE(DecodeReplay(best, good, why)) << why;
  ASSERT_FALSE(good.runStart.empty());
  EXPECT_LT(ReplayFrames(good), 300u);  // the first run took more than 360 frames
  EXPECT_LT(good.track.front().elapsed, 0.05);

  // Start states no restart leaves behind.
  const struct {
    const char* name;
    void (*change)(Game&);
    const char* expected;
  } forged[] = {
      {"as recorded", [](Game&) {}, "verified: Rennen "},
      {"ball 1 ahead", [](Game& g) { g.sim.Balls[1].x += 2.0f; },
       "refused: the run does not start"},
      {"a map line", [](Game& g) { g.map.SetLine(2, "[5,5]"); }, "refused: the run does not start"},
      {"more energy", [](Game& g) { g.session.Energy = 50.0f; }, "refused: the run does not start"},
      {"a later clock start", [](Game& g) { g.session.SessionStartTime += 1.0f; },
       "refused: the run's play time"},
  };
  std::vector<std::string> args = {"--verify"};
  for (std::size_t i = 0; i < std::size(forged); ++i) {
    Replay r = good;
    const auto game = std::make_unique<Game>();
    ASSERT_TRUE(DecodeRunStart(r.runStart, *game, why)) << why;
    forged[i].change(*game);
    r.runStart = EncodeRunStart(*game);
    const std::string file = "forged" + std::to_string(i) + ".zrp";
    root.Write(file, EncodeReplay(r));
    args.push_back(root.File(file));
  }
  const e2e::RunResult run = e2e::RunHeadlessArgs(root, args);
  std::istringstream lines(run.output);
  for (std::size_t i = 0; i < std::size(forged); ++i) {
    std::string line;
    ASSERT_TRUE(std::getline(lines, line)) << forged[i].name;
    EXPECT_EQ(line.rfind(args[i + 1] + ": " + forged[i].expected, 0), 0u) << line;
  }
  EXPECT_EQ(run.exitCode, 1);
}

// A record, then a slower run of the same level: the best replay stays the
// record's (with the leaderboard's time), last.zrp is the slower run, and
// both prove their own times. Watching either stores nothing.
TEST(Replays, ASlowerRunKeepsTheRecordsReplayAndWatchingStoresNothing) {
  e2e::ScratchRoot root(Settings(""));
  root.Write("Res/maps/" + kLevel, Slurp(kSource + "/res/maps/" + kLevel));
  ASSERT_EQ(e2e::RunHeadless(root, RaceScript()).exitCode, 0);
  const std::string best = root.Read("Res/Replays/" + kLevel + ".best.zrp");
  const std::string board = root.Read("Res/Leaderboard.dat");
  ASSERT_EQ(best, root.Read("Res/Replays/last.zrp"));
  // The same run, started 60 frames later.
  std::string slower = RaceScript();
  slower.replace(slower.find("frames 40\n"), 10, "frames 100\n");
  ASSERT_EQ(e2e::RunHeadless(root, slower).exitCode, 0);
  EXPECT_EQ(root.Read("Res/Replays/" + kLevel + ".best.zrp"), best);
  EXPECT_EQ(root.Read("Res/Leaderboard.dat"), board);
  const std::string last = root.Read("Res/Replays/last.zrp");
  ASSERT_NE(last, best);
  Replay record, later;
  std::string why;
  ASSERT_TRUE(DecodeReplay(best, record, why)) << why;
  ASSERT_TRUE(DecodeReplay(last, later, why)) << why;
  EXPECT_GT(later.time, record.time);
  EXPECT_NE(board.find(FormatFloat7(record.time)), std::string::npos) << board;
  const e2e::RunResult proof =
      e2e::RunHeadlessArgs(root, {"--verify", root.File("Res/Replays/" + kLevel + ".best.zrp"),
                                  root.File("Res/Replays/last.zrp")});
  EXPECT_EQ(proof.exitCode, 0) << proof.output;
  EXPECT_NE(proof.output.find(" " + FormatFloat7(record.time) + " s"), std::string::npos);
  EXPECT_NE(proof.output.find(" " + FormatFloat7(later.time) + " s"), std::string::npos);
  // Watching the slower run with --replay stores nothing either.
  root.Write("watch.zrp", last);
  EXPECT_EQ(e2e::RunHeadless(root, "frames 500\nkey ENTER\nframes 5\n",
                             {"--replay", root.File("watch.zrp")})
                .exitCode,
            0);
  EXPECT_EQ(root.Read("Res/Replays/last.zrp"), last);
  EXPECT_EQ(root.Read("Res/Replays/" + kLevel + ".best.zrp"), best);
  EXPECT_EQ(root.Read("Res/Leaderboard.dat"), board);
}

// The restart key held as the goal is reached: the level starts again in the
// very frame the race ends, so that run is neither stored nor written; the
// run after it is its own replay, from the level's start, and proves.
TEST(Replays, ARestartInTheFrameOfTheEndStartsTheNextRunCleanly) {
  e2e::ScratchRoot root(Settings(""));
  root.Write("Res/maps/" + kLevel, Slurp(kSource + "/res/maps/" + kLevel));
  std::string script = RaceScript(root.File("d.json"));
  script.replace(script.find("release RIGHT\n"), 14, "hold Y\nrelease RIGHT\n");
  script += "release Y\nframes 5\nhold RIGHT\nframes 200\nrelease RIGHT\nframes 120\n";
  ASSERT_EQ(e2e::RunHeadless(root, script).exitCode, 0);
  const std::vector<e2e::Dump> dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_GT(dumps.size(), 600u);
  // The first run never showed its end: the restart came in the same frame.
  std::size_t firstEnd = dumps.size();
  for (std::size_t f = 0; f < dumps.size(); ++f) {
    if (e2e::Num(dumps[f], "GoalReached") == 1.0) {
      firstEnd = f;
      break;
    }
  }
  ASSERT_LT(firstEnd, dumps.size());
  EXPECT_GT(firstEnd, 400u) << "the first run's end was shown";
  const std::string best = root.Read("Res/Replays/" + kLevel + ".best.zrp");
  ASSERT_EQ(best, root.Read("Res/Replays/last.zrp"));
  Replay run;
  std::string why;
  ASSERT_TRUE(DecodeReplay(best, run, why)) << why;
  EXPECT_FALSE(run.runStart.empty());  // a run after a restart
  const std::string board = root.Read("Res/Leaderboard.dat");
  EXPECT_NE(board.find(FormatFloat7(run.time)), std::string::npos) << board;
  const e2e::RunResult proof = e2e::RunProgram(
      root,
      {ZIRPEL_VERIFY_BIN, "--levels", root.File("Res/maps"), root.File("Res/Replays/last.zrp")});
  EXPECT_EQ(proof.exitCode, 0) << proof.output;
}

}  // namespace
