// The world records in the game itself: the headless runner plays with
// "RecordsServer" set to a records server started here on loopback (with
// the real zirpel-verify), sends its record, shows the world record in the
// level selection and races its run, proven here, as the second ghost.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "e2e/runner_harness.h"
#include "platform/platform.h"
#include "records/records_harness.h"

namespace {

const std::string kLevel = "01 Erste Schritte.mapGame1";

// From the menu into level 1 (the only race level here) and through its
// goal, as tests/levels/race_01.txt plays it; the selection's frames wait
// for the records server first.
const std::string kWinLevel1 =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\n"
    "records-wait 30\nframes 2\nrecords-wait 30\nframes 2\ndump select.json\n"
    "key ENTER\nuntil session\nframes 40\nhold RIGHT\nframes 200\nrelease RIGHT\n"
    "frames 200\nrecords-wait 30\ndump won.json\n";

// Into level 1 and G pressed three times, dumping the ghost after each.
const std::string kCycleGhost =
    "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\n"
    "records-wait 30\nframes 2\nrecords-wait 30\nframes 2\ndump select.json\n"
    "key ENTER\nuntil session\nframes 60\ndump ghost.json\n"
    "key g\nframes 3\ndump ghost.json\nkey g\nframes 3\ndump ghost.json\n"
    "key g\nframes 3\ndump ghost.json\n";

std::string Settings(const std::string& records) {
  return e2e::ScratchRoot::SmallSettings("Ghost=Enabled\r\nPlayerName=Anna\r\n" + records);
}

std::string ServerLine(const rtest::Server& s) {
  return "RecordsServer=http://127.0.0.1:" + std::to_string(s.port()) + "\r\n";
}

void AddLevel(const e2e::ScratchRoot& root) {
  root.Write("Res/maps/" + kLevel, rtest::ReadFile(rtest::LevelsFolder() + "/" + kLevel));
}

std::vector<std::string> GhostKinds(const std::string& dumps) {
  std::vector<std::string> kinds;
  for (const e2e::Dump& d : e2e::ReadDumps(dumps)) {
    const std::string raw = d.count("GhostKind") ? d.at("GhostKind") : "?";
    kinds.push_back(raw == "null" ? "none" : e2e::Str(d, "GhostKind"));
  }
  return kinds;
}

// What zirpel-verify --json says about a replay file.
nlohmann::json Proof(const std::string& file) {
  const e2e::RunResult r = e2e::RunCommand(std::string(ZIRPEL_VERIFY_BIN) + " --levels '" +
                                           rtest::LevelsFolder() + "' --json '" + file + "'");
  return nlohmann::json::parse(r.output, nullptr, false);
}

TEST(WorldRecords, TheGameSendsShowsAndRacesTheWorldRecord) {
  rtest::TempDir work;
  rtest::Server server(rtest::ServerArgs(work.File("r.sqlite")), work.File("server.log"));
  ASSERT_TRUE(server.started()) << rtest::ReadFile(work.File("server.log"));
  const std::string best = "Res/Replays/" + kLevel + ".best.zrp";

  {  // Without "RecordsServer" nothing is sent and nothing is asked.
    e2e::ScratchRoot root(Settings(""));
    AddLevel(root);
    const std::string before = rtest::ReadFile(work.File("server.log"));
    const e2e::RunResult r = e2e::RunHeadless(root, kWinLevel1);
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_TRUE(root.Exists(best));
    EXPECT_FALSE(root.Exists("Res/Replays/Outbox"));
    EXPECT_EQ(e2e::Str(e2e::ReadDumps(root.File("select.json")).at(0), "WorldRecord"), "");
    EXPECT_EQ(rtest::ReadFile(work.File("server.log")), before);
  }

  e2e::ScratchRoot root(Settings(ServerLine(server)));
  AddLevel(root);
  {  // A local record goes to the server, which proves it and keeps it.
    const e2e::RunResult r = e2e::RunHeadless(root, kWinLevel1);
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(e2e::Str(e2e::ReadDumps(root.File("select.json")).at(0), "WorldRecord"), "");
    const std::vector<std::string> answers = plat::ListFiles(root.File("Res/Replays/Outbox/*"));
    ASSERT_EQ(answers.size(), 1u) << "only the answer stays in the outbox";
    const nlohmann::json kept = nlohmann::json::parse(
        rtest::ReadFile(root.File("Res/Replays/Outbox/" + answers[0])), nullptr, false);
    const nlohmann::json answer = nlohmann::json::parse(kept.value("answer", ""), nullptr, false);
    EXPECT_EQ(answer.value("status", ""), "verified") << kept.dump();
    EXPECT_TRUE(root.Exists("xdg-config/zirpel/records-keys.txt"));
    const std::vector<nlohmann::json> board = rtest::WholeBoard(server, kLevel, "race");
    ASSERT_EQ(board.size(), 1u);
    EXPECT_EQ(board[0].value("name", ""), "Anna");
    EXPECT_EQ(board[0].value("time", ""), Proof(root.File(best)).value("time", "-"));
  }
  {  // The next start shows the record and races its run: G picks own best,
     // world record, none, and own best again.
    const e2e::RunResult r = e2e::RunHeadless(root, kCycleGhost);
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    const std::string time = rtest::WholeBoard(server, kLevel, "race").at(0).value("time", "");
    // Dumps are appended: the last is this start's.
    EXPECT_EQ(e2e::Str(e2e::ReadDumps(root.File("select.json")).back(), "WorldRecord"),
              "Weltrekord: " + time + " s \u2013 Anna");
    EXPECT_TRUE(root.Exists("Res/Replays/" + kLevel + ".world.zrp"));
    EXPECT_EQ(GhostKinds(root.File("ghost.json")),
              (std::vector<std::string>{"best", "world", "none", "best"}));
    EXPECT_EQ(e2e::Str(e2e::ReadDumps(root.File("ghost.json")).at(0), "WorldRecord"), "");
  }
}

TEST(WorldRecords, ARecordThatDoesNotProveHereIsNoGhost) {
  rtest::TempDir work;
  // A server whose "verifier" proves anything: it ranks a run whose claimed
  // time was changed, which the game's own proof refuses.
  std::vector<std::string> args = rtest::ServerArgs(work.File("r.sqlite"));
  args.push_back("--verifier");
  args.push_back(rtest::InstantVerifier());
  rtest::Server server(args, work.File("server.log"));
  ASSERT_TRUE(server.started()) << rtest::ReadFile(work.File("server.log"));
  const rtest::Reply sent =
      server.Submit(rtest::Changed([](Replay& r) { r.time -= 1.0f; }), "Mogler");
  ASSERT_EQ(sent.json.value("status", ""), "verified") << sent.body;

  e2e::ScratchRoot root(Settings(ServerLine(server)));
  AddLevel(root);
  const e2e::RunResult r = e2e::RunHeadless(root, kCycleGhost);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(e2e::Str(e2e::ReadDumps(root.File("select.json")).at(0), "WorldRecord"),
            "Weltrekord: 9.5 s \u2013 Mogler");
  EXPECT_NE(r.errors.find("laesst sich hier nicht beweisen"), std::string::npos) << r.errors;
  // No best of its own and no proven record: no ghost at all, G or not.
  EXPECT_EQ(GhostKinds(root.File("ghost.json")),
            (std::vector<std::string>{"none", "none", "none", "none"}));
}

}  // namespace
