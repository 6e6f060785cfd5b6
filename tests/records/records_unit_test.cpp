// The records server's parts on their own: names and keys, the command
// line, judging what the verifier said, the verifier's limits, the
// slow-down per address, the pages' escaping, and the store's ranks and
// names on SQLite and PostgreSQL.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include "digest/digest.h"
#include "records/limiter.h"
#include "records/names.h"
#include "records/pages.h"
#include "records/records_harness.h"
#include "records/server.h"
#include "records/store.h"
#include "records/verifier.h"

namespace {

using namespace records;

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(RecordsNames, PrintableUpTo24AndOneInAnyCase) {
  struct Case {
    std::string name;
    bool valid;
  };
  const Case cases[] = {
      {"Anna", true},
      {"x", true},
      {std::string(24, 'a'), true},
      {std::string(25, 'a'), false},
      {"\xc3\x84pfel Kuchen", true},   // UTF-8, counted by characters
      {Repeat("\xc3\xa4", 24), true},  // 24 characters, 48 bytes
      {Repeat("\xc3\xa4", 25), false},
      {"", false},
      {"   ", false},
      {"Tab\tTab", false},
      {"Zeile\nZwei", false},
      {std::string("Null\0Byte", 9), false},
      {"\x7f", false},
      {"\xc2\x85", false},  // C1 control
      {"\xe2\x80\xae"
       "abc",
       false},              // right-to-left override
      {"\xff\xfe", false},  // no UTF-8
      {"\xc0\xaf", false},  // overlong
      {"\xc3", false},      // cut short
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(ValidPlayerName(c.name, why), c.valid) << "'" << c.name << "' " << why;
    if (!c.valid) {
      EXPECT_FALSE(why.empty());
    }
  }
  EXPECT_EQ(FoldName("ANNA"), FoldName("anna"));
  EXPECT_EQ(FoldName("\xc3\x84PFEL"), FoldName("\xc3\xa4pfel"));  // Äpfel, äpfel
  EXPECT_NE(FoldName("\xc3\x97"), FoldName("\xc3\xb7"));          // × is no letter
  EXPECT_NE(FoldName("Anna"), FoldName("Anne"));
}

TEST(RecordsNames, KeysAreRandomAndOnlyTheirHashIsKept) {
  const std::string a = NewKey(), b = NewKey();
  EXPECT_EQ(a.size(), 43u);
  EXPECT_TRUE(ValidKey(a));
  EXPECT_NE(a, b);
  EXPECT_TRUE(KeyFits(a, KeyHash(a)));
  EXPECT_FALSE(KeyFits(b, KeyHash(a)));
  EXPECT_FALSE(KeyFits("", KeyHash(a)));
  EXPECT_EQ(KeyHash(a).find(a), std::string::npos);
  for (const std::string& bad : std::vector<std::string>{
           "short", std::string(129, 'a'), std::string(30, ' '), std::string(30, 'a') + "!"}) {
    EXPECT_FALSE(ValidKey(bad)) << bad;
  }
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_TRUE(IsSha256Hex(Sha256Hex("")));
  EXPECT_FALSE(IsSha256Hex(std::string(64, 'A')));
}

TEST(RecordsOptions, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    OptionsResult result;
    std::function<bool(const ServerOptions&)> check;
  };
  const std::string levels = rtest::LevelsFolder();
  const Case cases[] = {
      {{"--levels", levels},
       OptionsResult::kRun,
       [](const ServerOptions& o) {
         return o.host == "127.0.0.1" && o.port == 8080 && o.db == "records.sqlite" &&
                o.workers == 2 && o.verifier == "/bin/x/zirpel-verify" &&
                o.limits.cpuSeconds == 5 && o.limits.memoryBytes == 256LL << 20;
       }},
      {{"--listen", "0.0.0.0:9000", "--db=postgresql://u@h/db", "--workers", "4",
        "--levels=" + levels, "--verifier", "/v"},
       OptionsResult::kRun,
       [](const ServerOptions& o) {
         return o.host == "0.0.0.0" && o.port == 9000 && o.db == "postgresql://u@h/db" &&
                o.workers == 4 && o.verifier == "/v";
       }},
      {{"--listen", "[::1]:0", "--levels", levels},
       OptionsResult::kRun,
       [](const ServerOptions& o) { return o.host == "::1" && o.port == 0; }},
      {{"--levels", levels, "--tls-cert", "c.pem", "--tls-key", "k.pem", "--rate", "0.5"},
       OptionsResult::kRun,
       [](const ServerOptions& o) { return o.tlsCert == "c.pem" && o.rate == 0.5; }},
      {{"--help"}, OptionsResult::kHelp, nullptr},
      {{"--levels", levels, "--version"}, OptionsResult::kVersion, nullptr},
      {{"--bogus"}, OptionsResult::kError, nullptr},
      {{"--listen"}, OptionsResult::kError, nullptr},
      {{"--listen", "8080"}, OptionsResult::kError, nullptr},
      {{"--listen", "host:99999"}, OptionsResult::kError, nullptr},
      {{"--listen", "a b:80"}, OptionsResult::kError, nullptr},
      {{"--workers", "0"}, OptionsResult::kError, nullptr},
      {{"--workers", "two"}, OptionsResult::kError, nullptr},
      {{"--queue", "-1"}, OptionsResult::kError, nullptr},
      {{"--rate", "nan"}, OptionsResult::kError, nullptr},
      {{"--levels", "/no/such/folder"}, OptionsResult::kError, nullptr},
      {{"--levels", levels, "--tls-cert", "c.pem"}, OptionsResult::kError, nullptr},
      {{"--db", ""}, OptionsResult::kError, nullptr},
  };
  for (const Case& c : cases) {
    ServerOptions o;
    std::string message;
    const OptionsResult r = ParseServerOptions(c.args, "/bin/x", o, message);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(r, c.result) << shown << message;
    if (r == OptionsResult::kError) {
      EXPECT_NE(message.find("zirpel-records: "), std::string::npos);
    }
    if (c.check && r == OptionsResult::kRun) {
      EXPECT_TRUE(c.check(o)) << shown;
    }
  }
}

TEST(RecordsVerifier, OnlyAWholeVerifiedAnswerStands) {
  const VerifierLimits limits;
  ChildEnd exited0;
  exited0.exited = true;
  ChildEnd exited1 = exited0;
  exited1.code = 1;
  const std::string good =
      R"({"file":"f","status":"verified","line":"verified: Rennen 4.7 s","level":"01 A.mapGame1","mode":"race","won":true,"time":"4.716667","frames":283,"simulationVersion":1})";
  auto with = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  ChildEnd killed;
  killed.signal = SIGSEGV;
  ChildEnd cpu;
  cpu.signal = SIGXCPU;
  ChildEnd late = exited0;
  late.timedOut = true;
  ChildEnd flood = exited0;
  flood.outputCut = true;
  ChildEnd missing = exited0;
  missing.code = 127;
  ChildEnd badArgs = exited0;
  badArgs.code = 2;
  struct Case {
    std::string output;
    ChildEnd end;
    Verdict verdict;
  };
  const Case cases[] = {
      {good + "\n", exited0, Verdict::kVerified},
      {"noise\n" + good + "\n", exited0, Verdict::kVerified},
      {good, exited1, Verdict::kRefused},  // verified, but the exit code says otherwise
      {with("\"file\":\"f\"", "\"file\":\"g\""), exited0, Verdict::kRefused},  // another file
      {with("\"won\":true", "\"won\":false"), exited0, Verdict::kRefused},
      {with("4.716667", "schnell"), exited0, Verdict::kRefused},
      {with("4.716667", "-1"), exited0, Verdict::kRefused},
      {with("4.716667", "inf"), exited0, Verdict::kRefused},
      {with("\"frames\":283", "\"frames\":0"), exited0, Verdict::kRefused},
      {with("\"frames\":283", "\"frames\":\"283\""), exited0, Verdict::kRefused},
      {with("\"mode\":\"race\"", "\"mode\":\"fly\""), exited0, Verdict::kRefused},
      {with("01 A.mapGame1", "../x.mapGame1"), exited0, Verdict::kRefused},
      {with(",\"won\":true", ""), exited0, Verdict::kRefused},
      {R"({"file":"f","status":"mismatch","reason":"frame 3","line":"mismatch at frame 3: x"})",
       exited1, Verdict::kMismatch},
      {R"({"file":"f","status":"refused","reason":"not a replay file"})", exited1,
       Verdict::kRefused},
      {"", exited0, Verdict::kRefused},
      {"[1,2]\n{\"file\":", exited1, Verdict::kRefused},
      {good, killed, Verdict::kRefused},
      {good, cpu, Verdict::kRefused},
      {good, late, Verdict::kRefused},
      {good, flood, Verdict::kRefused},
      {"", missing, Verdict::kUnavailable},
      {"", badArgs, Verdict::kUnavailable},
  };
  for (const Case& c : cases) {
    const VerifierOutcome o = JudgeVerifierOutput(c.output, "f", c.end, limits);
    EXPECT_EQ(static_cast<int>(o.verdict), static_cast<int>(c.verdict)) << c.output;
    if (o.verdict != Verdict::kVerified) {
      EXPECT_FALSE(o.reason.empty()) << c.output;
    }
  }
  const VerifierOutcome o = JudgeVerifierOutput(good, "f", exited0, limits);
  EXPECT_EQ(o.level, "01 A.mapGame1");
  EXPECT_EQ(o.time, "4.716667");
  EXPECT_EQ(o.frames, 283);
}

TEST(RecordsVerifier, TheChildIsHeldToItsLimits) {
  VerifierLimits limits;
  limits.cpuSeconds = 1;
  limits.wallSeconds = 2;
  limits.maxOutputBytes = 4096;
  // How each ends: exits by itself, is killed at its processor limit (or,
  // on a crowded machine, at the wall clock first), at the wall clock, or
  // for its output.
  enum End { kExits, kKilled, kLate, kCut };
  const std::pair<std::string, End> cases[] = {
      {"echo hello", kExits},   {"while :; do :; done", kKilled},
      {"exec sleep 30", kLate}, {"(sleep 30 &) ; exec sleep 30", kLate},
      {"exec yes", kCut},
  };
  for (const auto& [script, expected] : cases) {
    std::string out;
    const auto start = std::chrono::steady_clock::now();
    const ChildEnd end = RunLimited("/bin/sh", {"-c", script}, limits, out);
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(end.started);
    EXPECT_EQ(end.exited, expected == kExits) << script;
    if (expected == kKilled) {
      EXPECT_TRUE(end.signal == SIGXCPU || end.signal == SIGKILL || end.timedOut) << script;
    } else {
      EXPECT_EQ(end.timedOut, expected == kLate) << script;
    }
    EXPECT_EQ(end.outputCut, expected == kCut) << script;
    EXPECT_LE(out.size(), limits.maxOutputBytes + 16384) << script;
    EXPECT_LT(took, 6.0) << script;
  }
  std::string out;
  EXPECT_FALSE(RunLimited("/no/such/verifier", {}, limits, out).exited &&
               RunLimited("/no/such/verifier", {}, limits, out).code == 0);
  // Off the network where the system allows it: only loopback is left.
  if (NetworkIsolation().rfind("eigener", 0) == 0) {
    const ChildEnd end = RunLimited("/bin/sh", {"-c", "cat /proc/net/dev"}, limits, out);
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(out.find("eth"), std::string::npos) << out;
    EXPECT_NE(out.find("lo:"), std::string::npos) << out;
  }
}

TEST(RecordsLimiter, ABurstThenTheRate) {
  AddressLimiter limiter(2.0, 3.0);
  EXPECT_EQ(limiter.Take("a", 100.0), 0);
  EXPECT_EQ(limiter.Take("a", 100.0), 0);
  EXPECT_EQ(limiter.Take("a", 100.0), 0);
  EXPECT_GE(limiter.Take("a", 100.0), 1);  // the burst is spent
  EXPECT_EQ(limiter.Take("b", 100.0), 0);  // another address is not slowed
  EXPECT_EQ(limiter.Take("a", 100.6), 0);  // refilled at 2 a second
  EXPECT_GE(limiter.Take("a", 100.6), 1);
  AddressLimiter off(0.0, 1.0);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(off.Take("a", 1.0), 0);
}

TEST(RecordsPages, OutsideTextIsEscaped) {
  EXPECT_EQ(HtmlEscape("<a href=\"x\">&'</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(PercentEncode("01 Erste Schritte.mapGame1"), "01%20Erste%20Schritte.mapGame1");
  EXPECT_EQ(PercentEncode("a/b?c#d%"), "a%2Fb%3Fc%23d%25");
  EXPECT_EQ(LevelTitle("01 Erste Schritte.mapGame1"), "01 Erste Schritte");
  BoardView view;
  view.level = "<script>.mapGame1";
  view.mode = "race";
  RankedRun run;
  run.rank = 1;
  run.name = "<img src=x onerror=alert(1)>";
  run.time = "4.7";
  run.id = std::string(64, 'a');
  view.runs.push_back(run);
  const std::string html = BoardHtml(view);
  EXPECT_EQ(html.find("<img"), std::string::npos);
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_NE(html.find("&lt;img src=x"), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);  // no script at all
}

class RecordsStore : public ::testing::TestWithParam<std::string> {};

ProvenRun Proven(const std::string& tag, const std::string& level, const std::string& mode,
                 double time) {
  ProvenRun r;
  r.bytes = "run " + tag;
  r.id = Sha256Hex(r.bytes);
  r.board = {level, std::string(64, '1'), 1, mode};
  char text[32];
  std::snprintf(text, sizeof text, "%g", time);
  r.time = text;
  r.sortKey = mode == "survival" ? -time : time;
  r.frames = 100;
  r.line = "verified";
  return r;
}

TEST_P(RecordsStore, RanksBestsAndNames) {
  rtest::TempDir dir;
  const std::string where = rtest::StoreFor(GetParam(), dir);
  ASSERT_FALSE(where.empty()) << "no database";
  Store store(where, 4);
  const auto answer = [](long long rank) { return "{\"rank\":" + std::to_string(rank) + "}"; };
  struct Step {
    std::string tag, name, key, mode;
    double time;
    CommitOutcome::Kind kind;
    long long rank;
    bool claims;
  };
  const Step steps[] = {
      {"a1", "Anna", "", "race", 5.0, CommitOutcome::kCommitted, 1, true},
      {"b1", "Bert", "", "race", 4.0, CommitOutcome::kCommitted, 1, true},
      {"c1", "Carl", "carl-eigener-schluessel-1", "race", 4.0, CommitOutcome::kCommitted, 2, true},
      {"a1", "Anna", "", "race", 5.0, CommitOutcome::kAlreadyStored, 0, false},  // same bytes
      {"x1", "ANNA", "", "race", 1.0, CommitOutcome::kNameTaken, 0, false},  // other case, no key
      {"x2", "bert", "carl-eigener-schluessel-1", "race", 1.0, CommitOutcome::kNameTaken, 0, false},
      {"c2", "cArL", "carl-eigener-schluessel-1", "race", 6.0, CommitOutcome::kCommitted, 3, false},
      {"c3", "Carl", "carl-eigener-schluessel-1", "race", 3.0, CommitOutcome::kCommitted, 1, false},
      {"s1", "Anna", "*", "survival", 10.0, CommitOutcome::kCommitted, 1, false},
      {"s2", "Bert", "*", "survival", 20.0, CommitOutcome::kCommitted, 1, false},
  };
  std::map<std::string, std::string> keys;
  for (const Step& s : steps) {
    const std::string level = s.mode == "race" ? "01 A.mapGame1" : "01 B.mapGame2";
    const std::string key = s.key == "*" ? keys[FoldName(s.name)] : s.key;
    const CommitOutcome out =
        store.CommitRun(Proven(s.tag, level, s.mode, s.time), s.name, key, 1000, answer);
    EXPECT_EQ(out.kind, s.kind) << s.tag << " " << s.name;
    if (s.kind == CommitOutcome::kCommitted) {
      EXPECT_EQ(out.rank, s.rank) << s.tag;
    }
    EXPECT_EQ(!out.key.empty(), s.claims) << s.tag;
    if (s.claims) keys[FoldName(s.name)] = out.key;
    if (s.kind == CommitOutcome::kAlreadyStored) {
      EXPECT_EQ(out.answer, "{\"rank\":1}");
    }
  }
  EXPECT_EQ(keys[FoldName("Carl")], "carl-eigener-schluessel-1");
  EXPECT_EQ(store.CheckName("CARL", "carl-eigener-schluessel-1"), NameState::kYours);
  EXPECT_EQ(store.CheckName("carl", "falsch-falsch-falsch-falsch"), NameState::kTaken);
  EXPECT_EQ(store.CheckName("Dora", ""), NameState::kFree);
  // Race: lower first; a worse run keeps the best; ties go to the earlier.
  const auto boards = store.Boards();
  ASSERT_EQ(boards.size(), 2u);
  EXPECT_EQ(boards[0].players, 3);
  EXPECT_EQ(boards[1].players, 2);
  const auto race = store.BoardPage(boards[0].id, 0, 50);
  ASSERT_EQ(race.size(), 3u);
  EXPECT_EQ(race[0].name, "Carl");
  EXPECT_EQ(race[0].time, "3");
  EXPECT_EQ(race[1].name, "Bert");
  EXPECT_EQ(race[2].name, "Anna");
  const auto survival = store.BoardPage(boards[1].id, 0, 50);
  ASSERT_EQ(survival.size(), 2u);
  EXPECT_EQ(survival[0].name, "Bert");  // the longer first
  EXPECT_EQ(survival[0].rank, 1);
  EXPECT_EQ(survival[1].rank, 2);
  EXPECT_EQ(store.BoardPage(boards[0].id, 1, 2).size(), 1u);
  EXPECT_EQ(store.BoardPage(boards[0].id, 1, 2)[0].rank, 3);
  // Every proven run is kept, the worse ones too.
  EXPECT_EQ(store.RunCount(), 7);
  const auto worse = store.Run(Proven("c2", "01 A.mapGame1", "race", 6.0).id);
  ASSERT_TRUE(worse.has_value());
  EXPECT_EQ(worse->rank, 0);  // not Carl's best any more
  EXPECT_EQ(store.RunBytes(worse->id).value_or(""), "run c2");
}

TEST_P(RecordsStore, ConcurrentClaimsLeaveOneOwnerAndDistinctRanks) {
  rtest::TempDir dir;
  const std::string where = rtest::StoreFor(GetParam(), dir);
  ASSERT_FALSE(where.empty()) << "no database";
  Store a(where, 4), b(where, 4);  // two servers' worth of connections
  std::atomic<int> committed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      Store& store = t % 2 ? a : b;
      for (int i = 0; i < 10; ++i) {
        const std::string name = "Spieler " + std::to_string(i);
        const std::string key = "schluessel-von-thread-" + std::to_string(t);
        const auto out =
            store.CommitRun(Proven(std::to_string(t) + "-" + std::to_string(i), "01 A.mapGame1",
                                   "race", 10.0 + i * 0.5 + t),
                            name, key, 1000, [](long long) { return std::string("{}"); });
        if (out.kind == CommitOutcome::kCommitted) ++committed;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(committed.load(), 10);  // each name had one owner, who got in
  const auto boards = a.Boards();
  ASSERT_EQ(boards.size(), 1u);
  EXPECT_EQ(boards[0].players, 10);  // counted once each, however the commits raced
  const auto runs = a.BoardPage(boards[0].id, 0, 50);
  ASSERT_EQ(runs.size(), 10u);
  for (std::size_t i = 0; i < runs.size(); ++i)
    EXPECT_EQ(runs[i].rank, static_cast<long long>(i) + 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordsStore, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

}  // namespace
