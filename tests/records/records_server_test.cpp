// zirpel-records as a program: submissions answered as the interface fixes
// them, boards and archived versions, hostile submissions never ranked,
// kills at random moments losing no acknowledged run, two servers on one
// database, a busy server, the command line. Each store-dependent test runs
// on SQLite and on a throw-away PostgreSQL cluster.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "digest/digest.h"
#include "records/records_harness.h"

namespace {

using rtest::Json;
using rtest::Reply;
using rtest::Server;

const std::string kLevel01 = "01 Erste Schritte.mapGame1";

std::string Str(const Json& j, const char* key) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_string()) return "";
  return j[key].get<std::string>();
}

bool Verified(const Reply& r) {
  return r.status == 200 && Str(r.json, "status") == "verified";
}

// A replay file around a zlib stream that unpacks to `unpacked` zero bytes,
// its header claiming `claimed` of them; the checksum fits.
std::string ZipBomb(std::size_t unpacked, std::size_t claimed) {
  const std::string zeros(unpacked, '\0');
  uLongf packedSize = compressBound(static_cast<uLong>(zeros.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
            reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uLong>(zeros.size()), 9);
  packed.resize(packedSize);
  std::string file = "ZRPL";
  auto put = [&](std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) file.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
  };
  put(1, 2);
  put(claimed, 4);
  put(packed.size(), 4);
  file += packed;
  put(crc32(0L, reinterpret_cast<const Bytef*>(file.data()), static_cast<uInt>(file.size())), 4);
  return file;
}

// A run of frames far beyond any level: the verifier would simulate for
// hours.
std::string EndlessRun() {
  return rtest::Changed([](Replay& r) {
    const double tps = r.log.ticksPerSecond > 0 ? r.log.ticksPerSecond : 1000.0;
    r.log.events.clear();
    r.log.frameEnds.clear();
    r.track.clear();
    for (std::uint32_t f = 0; f < 300000; ++f) {
      plat::TapEvent e;
      e.kind = plat::kTapTimer;
      e.timer = 100.0 + static_cast<double>(f) * 16.0 / 1000.0 * (tps / tps);
      r.log.events.push_back(e);
      r.log.frameEnds.push_back(f + 1);
      r.track.push_back({0.0f, 0.0f, static_cast<double>(f) / 60.0});
    }
  });
}

class RecordsServer : public ::testing::TestWithParam<std::string> {
 protected:
  std::string Store() {
    const std::string where = rtest::StoreFor(GetParam(), dir_);
    EXPECT_FALSE(where.empty()) << "no database";
    return where;
  }
  std::string Log() const { return dir_.File("server.log"); }
  rtest::TempDir dir_;
};

TEST_P(RecordsServer, AnswersAsTheInterfaceFixes) {
  Server s(rtest::ServerArgs(Store()), Log());
  ASSERT_TRUE(s.started()) << rtest::ReadFile(Log());
  const std::string race = rtest::Race01();
  const std::string id = Sha256Hex(race);

  const Reply first = s.Submit(race, "Anna");
  ASSERT_TRUE(Verified(first)) << first.body;
  EXPECT_EQ(Str(first.json, "level"), kLevel01);
  EXPECT_EQ(Str(first.json, "mode"), "race");
  EXPECT_EQ(Str(first.json, "time"), "4.736001");
  EXPECT_EQ(first.json["frames"], 297);
  EXPECT_EQ(Str(first.json, "id"), id);
  EXPECT_EQ(first.json["rank"], 1);
  const std::string key = Str(first.json, "key");
  EXPECT_EQ(key.size(), 43u);
  Json again = first.json;  // the answer to the same bytes: the same, without the key
  again.erase("key");

  struct Case {
    std::string what;
    std::string body;
    std::map<std::string, std::string> headers;
    int status;
    std::string runStatus;  // "" for an error answer ({"error": ...})
  };
  const std::string garbage = "kein Lauf, nur Text";
  const Case cases[] = {
      {"the same bytes again", race, {{"X-Zirpel-Name", "Anna"}}, 200, "verified"},
      {"the same bytes under another name", race, {{"X-Zirpel-Name", "Bert"}}, 200, "verified"},
      {"a taken name without its key", garbage, {{"X-Zirpel-Name", "Anna"}}, 403, ""},
      {"a taken name in other letter case", garbage, {{"X-Zirpel-Name", "aNNA"}}, 403, ""},
      {"a taken name with a wrong key",
       garbage,
       {{"X-Zirpel-Name", "Anna"}, {"X-Zirpel-Key", "falscher-schluessel-0000"}},
       403,
       ""},
      {"the name with its key",
       garbage,
       {{"X-Zirpel-Name", "anna"}, {"X-Zirpel-Key", key}},
       200,
       "refused"},
      {"no name", garbage, {}, 400, ""},
      {"an empty name", garbage, {{"X-Zirpel-Name", ""}}, 400, ""},
      {"a name of 25 characters", garbage, {{"X-Zirpel-Name", std::string(25, 'x')}}, 400, ""},
      {"a name that is no UTF-8", garbage, {{"X-Zirpel-Name", "\xff\xfe"}}, 400, ""},
      {"a key that is no key",
       garbage,
       {{"X-Zirpel-Name", "Carl"}, {"X-Zirpel-Key", "kurz"}},
       400,
       ""},
      {"a form instead of a replay",
       garbage,
       {{"X-Zirpel-Name", "Carl"}, {"Content-Type", "text/plain"}},
       415,
       ""},
      {"an empty body", "", {{"X-Zirpel-Name", "Carl"}}, 400, ""},
      {"256 KiB of garbage",
       std::string(256 * 1024, 'x'),
       {{"X-Zirpel-Name", "Carl"}},
       200,
       "refused"},
      {"one byte more", std::string(256 * 1024 + 1, 'x'), {{"X-Zirpel-Name", "Carl"}}, 413, ""},
  };
  for (const Case& c : cases) {
    const Reply r = s.Post(c.body, c.headers);
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.body;
    ASSERT_TRUE(r.json.is_object()) << c.what << ": " << r.body;
    EXPECT_NE(r.contentType.find("application/json"), std::string::npos) << c.what;
    if (c.runStatus.empty()) {
      EXPECT_FALSE(Str(r.json, "error").empty()) << c.what;
    } else {
      EXPECT_EQ(Str(r.json, "status"), c.runStatus) << c.what;
      if (c.runStatus != "verified") {
        EXPECT_FALSE(Str(r.json, "reason").empty()) << c.what;
      }
    }
    if (c.runStatus == "verified") {
      EXPECT_EQ(r.json, again) << c.what;
    }
  }

  // Reading: levels, the board, the bytes, the pages.
  const Reply levels = s.Get("/api/levels");
  ASSERT_EQ(levels.status, 200);
  ASSERT_TRUE(levels.json.is_array());
  std::size_t shipped = 0;
  for (const auto& e : std::filesystem::directory_iterator(rtest::LevelsFolder())) {
    const std::string ext = e.path().extension().string();
    shipped += ext == ".mapGame1" || ext == ".mapGame2";
  }
  EXPECT_EQ(levels.json.size(), shipped);
  bool seen = false;
  for (const Json& l : levels.json) {
    if (Str(l, "level") != kLevel01) continue;
    seen = true;
    EXPECT_EQ(Str(l, "mode"), "race");
    EXPECT_EQ(Str(l["record"], "name"), "Anna");
    EXPECT_EQ(Str(l["record"], "time"), "4.736001");
    EXPECT_EQ(Str(l["record"], "id"), id);
  }
  EXPECT_TRUE(seen);
  const std::string board = "/api/boards/" + rtest::Encode(kLevel01) + "/race";
  const Reply page = s.Get(board + "?page=1");
  ASSERT_EQ(page.status, 200) << page.body;
  EXPECT_EQ(Str(page.json, "level"), kLevel01);
  EXPECT_EQ(page.json["page"], 1);
  ASSERT_EQ(page.json["runs"].size(), 1u);
  EXPECT_EQ(page.json["runs"][0]["rank"], 1);
  EXPECT_EQ(Str(page.json["runs"][0], "name"), "Anna");
  EXPECT_EQ(Str(page.json["runs"][0], "time"), "4.736001");
  EXPECT_EQ(Str(page.json["runs"][0], "id"), id);
  EXPECT_FALSE(Str(page.json["runs"][0], "date").empty());
  const Reply bytes = s.Get("/runs/" + id + ".zrp");
  EXPECT_EQ(bytes.status, 200);
  EXPECT_TRUE(bytes.body == race);

  struct Read {
    std::string path;
    int status;
    std::string contains;  // in the body
  };
  const std::string levelPage = "/level/" + rtest::Encode(kLevel01);
  const Read reads[] = {
      {board + "?page=2", 200, "\"runs\":[]"},
      {board + "?page=0", 400, "error"},
      {board + "?page=zwei", 400, "error"},
      {board + "?page=99999999999", 400, "error"},
      {"/api/boards/" + rtest::Encode(kLevel01) + "/survival", 404, "error"},
      {"/api/boards/" + rtest::Encode(kLevel01) + "/fliegen", 400, "error"},
      {"/api/boards/nichts.mapGame1/race", 404, "error"},
      {"/runs/" + std::string(64, '0') + ".zrp", 404, "error"},
      {"/runs/nicht-hex.zrp", 404, "error"},
      {"/run/" + id, 200, "zirpel-verify " + id + ".zrp"},
      {"/run/" + id, 200, "4.736001 s"},
      {levelPage, 200, "Anna"},
      {levelPage + "?mode=race&page=1", 200, "/runs/" + id + ".zrp"},
      {levelPage + "?mode=survival", 404, "error"},
      {levelPage + "?page=-1", 400, "error"},
      {"/", 200, "Weltrekorde"},
      {"/", 200, "01 Erste Schritte"},
      {"/gibt/es/nicht", 404, "error"},
  };
  for (const Read& r : reads) {
    const Reply got = s.Get(r.path);
    EXPECT_EQ(got.status, r.status) << r.path << ": " << got.body.substr(0, 200);
    EXPECT_NE(got.body.find(r.contains), std::string::npos) << r.path;
  }
  // Broken HTTP: a 4xx or nothing, never a 5xx; the server stays up.
  const std::string raw[] = {
      "GARBAGE\r\n\r\n",
      "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n",
      "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(100000, 'b') + "\r\n\r\n",
      "POST /api/runs HTTP/1.1\r\nHost: x\r\nContent-Length: -5\r\n\r\n",
      "POST /api/runs HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999999999999\r\n\r\n",
      "POST /api/runs HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
      std::string("\0\1\2\3", 4),
  };
  for (const std::string& bytes : raw) {
    const int status = rtest::RawExchange(s.port(), bytes);
    EXPECT_TRUE(status == 0 || (status >= 400 && status < 500)) << status;
  }
  EXPECT_TRUE(s.Alive());
  EXPECT_EQ(s.Get("/api/levels").status, 200);
  // One line per request in the log.
  EXPECT_NE(rtest::ReadFile(Log()).find("POST /api/runs 200"), std::string::npos);
  EXPECT_EQ(s.Stop(), 0);
}

TEST_P(RecordsServer, BoardsRankEachPlayersBestAndKeepOldVersions) {
  rtest::TempDir levels;
  std::filesystem::copy(rtest::LevelsFolder(), levels.path(),
                        std::filesystem::copy_options::recursive);
  std::vector<std::string> args = rtest::ServerArgs(Store(), levels.path());
  args.push_back("--verifier");
  args.push_back(rtest::FakeVerifier());  // synthetic runs: the stand-in proves them
  Server s(args, Log());
  ASSERT_TRUE(s.started()) << rtest::ReadFile(Log());
  const std::string race = "02 Schub nach oben.mapGame1";
  const std::string survival = "01 Broeckelboden.mapGame2";
  struct Run {
    std::string level, name;
    float time;
    long long rank;  // in the answer
  };
  const Run runs[] = {
      {race, "Anna", 5.0f, 1},      {race, "Bert", 4.0f, 1},
      {race, "Anna", 3.5f, 1},      {race, "Carl", 4.0f, 3},  // a tie goes to the earlier
      {race, "Bert", 4.5f, 3},                                // worse: kept, not ranked higher
      {survival, "Anna", 10.0f, 1}, {survival, "Bert", 20.0f, 1},
  };
  std::map<std::string, std::string> keys;
  int n = 0;
  for (const Run& r : runs) {
    const Reply got =
        s.Submit(rtest::FakeRun(r.level, r.time, "r" + std::to_string(++n), levels.path()), r.name,
                 keys[r.name]);
    ASSERT_TRUE(Verified(got)) << got.body;
    EXPECT_EQ(got.json["rank"], r.rank) << r.name << " " << r.time;
    if (keys[r.name].empty()) keys[r.name] = Str(got.json, "key");
  }
  auto names = [&](const std::string& level, const std::string& mode) {
    std::string out;
    for (const Json& j : rtest::WholeBoard(s, level, mode)) {
      out +=
          std::to_string(j["rank"].get<int>()) + "." + Str(j, "name") + " " + Str(j, "time") + ";";
    }
    return out;
  };
  EXPECT_EQ(names(race, "race"), "1.Anna 3.5;2.Bert 4;3.Carl 4;");
  EXPECT_EQ(names(survival, "survival"), "1.Bert 20;2.Anna 10;");

  // A changed level file gets a new board; the old one is archived.
  rtest::WriteFile(levels.File(race), rtest::ReadFile(levels.File(race)) + "\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  const Reply dora = s.Submit(rtest::FakeRun(race, 6.0f, "neu", levels.path()), "Dora");
  ASSERT_TRUE(Verified(dora)) << dora.body;
  EXPECT_EQ(dora.json["rank"], 1);
  EXPECT_EQ(names(race, "race"), "1.Dora 6;");
  // A run on the old version is refused now.
  EXPECT_EQ(Str(s.Submit(rtest::FakeRun(race, 1.0f, "alt", rtest::LevelsFolder()), "Erik").json,
                "status"),
            "refused");
  const Reply levelsJson = s.Get("/api/levels");
  long long oldBoard = 0;
  for (const Json& l : levelsJson.json) {
    if (Str(l, "level") != race) continue;
    EXPECT_EQ(Str(l["record"], "name"), "Dora");
    ASSERT_EQ(l["archived"].size(), 1u);
    EXPECT_EQ(Str(l["archived"][0]["record"], "name"), "Anna");
    oldBoard = l["archived"][0]["board"].get<long long>();
  }
  ASSERT_NE(oldBoard, 0);
  const Reply archived =
      s.Get("/level/" + rtest::Encode(race) + "?mode=race&board=" + std::to_string(oldBoard));
  EXPECT_EQ(archived.status, 200);
  EXPECT_NE(archived.body.find("Archiviert"), std::string::npos);
  EXPECT_NE(archived.body.find("Anna"), std::string::npos);
  const Reply oldJson =
      s.Get("/api/boards/" + rtest::Encode(race) + "/race?board=" + std::to_string(oldBoard));
  EXPECT_EQ(oldJson.json["archived"], true);
  EXPECT_EQ(oldJson.json["runs"].size(), 3u);
  EXPECT_NE(s.Get("/").body.find("Archiv"), std::string::npos);

  // Pages of 50.
  const std::string many = "04 Bruchkanten.mapGame1";
  for (int i = 0; i < 52; ++i) {
    const Reply got = s.Submit(rtest::FakeRun(many, 10.0f + 0.25f * static_cast<float>(i),
                                              "p" + std::to_string(i), levels.path()),
                               "Spieler " + std::to_string(i));
    ASSERT_TRUE(Verified(got)) << got.body;
  }
  const Reply page2 = s.Get("/api/boards/" + rtest::Encode(many) + "/race?page=2");
  ASSERT_EQ(page2.json["runs"].size(), 2u);
  EXPECT_EQ(page2.json["runs"][0]["rank"], 51);
  EXPECT_EQ(Str(page2.json["runs"][1], "name"), "Spieler 51");
  EXPECT_EQ(page2.json["pages"], 2);
  EXPECT_NE(s.Get("/level/" + rtest::Encode(many) + "?page=2").body.find("Seite 2 von 2"),
            std::string::npos);
}

// Every hostile submission: none is ranked, the server stays up.
TEST_P(RecordsServer, HostileSubmissionsAreNeverRanked) {
  const std::string store = Store();
  std::vector<std::string> args = rtest::ServerArgs(store);
  Server s(args, Log());
  ASSERT_TRUE(s.started()) << rtest::ReadFile(Log());
  // The verifier's own misbehaviour is the stand-in's to act out.
  args.push_back("--verifier");
  args.push_back(rtest::FakeVerifier());
  Server fake(args, dir_.File("fake.log"));
  ASSERT_TRUE(fake.started()) << rtest::ReadFile(dir_.File("fake.log"));

  const std::string race = rtest::Race01();
  struct Case {
    std::string what;
    std::string bytes;
    const Server* server;
  };
  std::vector<Case> cases;
  // Every byte flipped, one at a time: a spread sample here, the whole
  // sweep with ZIRPEL_RECORDS_FULL_SWEEP=1.
  const char* sweep = std::getenv("ZIRPEL_RECORDS_FULL_SWEEP");
  const bool full = sweep && *sweep == '1';
  std::set<std::size_t> at;
  for (std::size_t i = 0; i < 18; ++i) at.insert(i);
  for (std::size_t i = 0; i < 24; ++i) at.insert(18 + i * (race.size() - 19) / 23);
  if (full) {
    for (std::size_t i = 0; i < race.size(); ++i) at.insert(i);
  }
  for (const std::size_t i : at) {
    std::string b = race;
    b[i] = static_cast<char>(b[i] ^ 0x5a);
    cases.push_back({"byte " + std::to_string(i) + " flipped", b, &s});
  }
  for (const std::size_t n : {std::size_t{1}, std::size_t{4}, std::size_t{13}, std::size_t{18},
                              race.size() / 2, race.size() - 4, race.size() - 1}) {
    cases.push_back({"cut to " + std::to_string(n), race.substr(0, n), &s});
  }
  cases.push_back({"another level's name",
                   rtest::Changed([](Replay& r) { r.levelFile = "02 Schub nach oben.mapGame1"; }),
                   &s});
  if (rtest::RealVerifier()) {
    // With the other level's fingerprint too only simulating tells.
    cases.push_back({"another level's replay", rtest::Changed([](Replay& r) {
                       r.levelFile = "02 Schub nach oben.mapGame1";
                       r.levelHash = HashBytes(
                           rtest::ReadFile(rtest::LevelsFolder() + "/02 Schub nach oben.mapGame1"));
                     }),
                     &s});
  }
  cases.push_back({"an unknown level",
                   rtest::Changed([](Replay& r) { r.levelFile = "99 Gibt es nicht.mapGame1"; }),
                   &s});
  cases.push_back({"a climbing path",
                   rtest::Changed([](Replay& r) { r.levelFile = "../../etc/passwd.mapGame1"; }),
                   &s});
  cases.push_back(
      {"a claimed time one second better", rtest::Changed([](Replay& r) { r.time -= 1.0f; }), &s});
  cases.push_back(
      {"a claimed time a little worse", rtest::Changed([](Replay& r) { r.time += 0.001f; }), &s});
  cases.push_back({"a lost race claimed", rtest::Changed([](Replay& r) { r.won = false; }), &s});
  cases.push_back({"the next simulation version",
                   rtest::Changed([](Replay& r) { r.simulationVersion += 1; }), &s});
  cases.push_back(
      {"simulation version 0", rtest::Changed([](Replay& r) { r.simulationVersion = 0; }), &s});
  cases.push_back(
      {"survival claimed on a race level", rtest::Changed([](Replay& r) { r.mode = 2; }), &s});
  cases.push_back({"a zip bomb (100 MB in 100 KB)",
                   rtest::ReadFile("/dev/null") + ZipBomb(100u << 20, 100u << 20), &s});
  cases.push_back({"a zip bomb that lies about its size", ZipBomb(40u << 20, 1000), &s});
  cases.push_back({"40 MB of zeros unpacked", ZipBomb(40u << 20, 40u << 20), &s});
  cases.push_back({"300,000 frames", EndlessRun(), &s});
  for (const char* how : {"fake:loop", "fake:sleep", "fake:crash", "fake:flood", "fake:hog",
                          "fake:garbage", "fake:liar"}) {
    cases.push_back({std::string("a verifier that goes ") + how,
                     rtest::Changed([&](Replay& r) { r.particle = how; }), &fake});
  }

  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::vector<std::string> ranked, failed;
  std::vector<std::thread> clients;
  for (int c = 0; c < 4; ++c) {
    clients.emplace_back([&, c] {
      for (std::size_t i = next++; i < cases.size(); i = next++) {
        const Case& k = cases[i];
        const Reply r = k.server->Submit(k.bytes, "Boese " + std::to_string(c));
        std::lock_guard lock(mutex);
        if (Verified(r)) ranked.push_back(k.what);
        const bool refusedRun = r.status == 200 && (Str(r.json, "status") == "refused" ||
                                                    Str(r.json, "status") == "mismatch");
        if (!refusedRun && !(r.status >= 400 && r.status < 500)) {
          failed.push_back(k.what + ": " + std::to_string(r.status) + " " + r.body);
        }
      }
    });
  }
  for (std::thread& t : clients) t.join();
  // The last: 10 MB at once.
  const Reply huge = s.Submit(std::string(10u << 20, 'z'), "Boese");
  EXPECT_TRUE(huge.status == 413 || huge.status == 0) << huge.status;
  EXPECT_TRUE(ranked.empty()) << "ranked: " << ranked.front();
  EXPECT_TRUE(failed.empty()) << failed.front();
  std::printf("hostile submissions: %zu (%zu byte flips%s), none ranked\n", cases.size() + 1,
              at.size(), full ? ", the full sweep" : "");
  for (const Server* server : {&s, &fake}) {
    const Reply levels = server->Get("/api/levels");
    ASSERT_EQ(levels.status, 200);
    for (const Json& l : levels.json) EXPECT_EQ(l["players"], 0) << Str(l, "level");
  }
  EXPECT_TRUE(s.Alive());
  EXPECT_TRUE(fake.Alive());
  // The genuine run still goes through afterwards.
  EXPECT_TRUE(Verified(s.Submit(race, "Ehrlich")));
}

// SIGKILL at random moments while several clients send 500 runs: every
// run answered "verified" is on its board afterwards.
TEST_P(RecordsServer, KilledAtRandomMomentsLosesNoAcknowledgedRun) {
  const std::string store = Store();
  // 500 genuine runs, each proven by zirpel-verify while the server is
  // killed again and again.
  std::vector<std::string> args = rtest::ServerArgs(store);
  std::mutex mutex;
  auto server = std::make_unique<Server>(args, Log());
  ASSERT_TRUE(server->started()) << rtest::ReadFile(Log());
  std::atomic<int> port{server->port()};
  constexpr int kRuns = 500, kClients = 4;
  std::vector<std::string> bytes(kRuns);
  for (int i = 0; i < kRuns; ++i) bytes[i] = rtest::GenuineRun(i);
  std::atomic<int> next{0}, answered{0};
  std::vector<int> acknowledged;  // run numbers answered "verified"
  std::atomic<bool> done{false};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&] {
      for (int i = next++; i < kRuns; i = next++) {
        for (int attempt = 0; attempt < 400; ++attempt) {
          const Reply r = rtest::HttpPost(port.load(), bytes[i],
                                          {{"X-Zirpel-Name", "Spieler " + std::to_string(i)}});
          if (r.status == 200 && r.json.is_object()) {
            std::lock_guard lock(mutex);
            if (Verified(r)) acknowledged.push_back(i);
            ++answered;
            break;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
      }
    });
  }
  std::mt19937 random(26);
  int kills = 0;
  while (answered.load() < kRuns && kills < 30) {
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(50, 400)(random)));
    if (answered.load() >= kRuns) break;
    server->Kill();
    ++kills;
    server = std::make_unique<Server>(args, Log());
    ASSERT_TRUE(server->started()) << rtest::ReadFile(Log());
    port = server->port();
  }
  for (std::thread& t : clients) t.join();
  done = true;
  ASSERT_EQ(answered.load(), kRuns);
  EXPECT_EQ(acknowledged.size(), static_cast<std::size_t>(kRuns));  // all proven
  server->Kill();
  Server after(args, Log());
  ASSERT_TRUE(after.started());
  std::set<std::string> onBoards;
  const std::vector<Json> board = rtest::WholeBoard(after, kLevel01, "race");
  for (std::size_t k = 0; k < board.size(); ++k) {
    EXPECT_EQ(board[k]["rank"], static_cast<int>(k) + 1);
    EXPECT_TRUE(onBoards.insert(Str(board[k], "id")).second) << "twice on a board";
  }
  int missing = 0;
  for (const int i : acknowledged) {
    if (!onBoards.count(Sha256Hex(bytes[i]))) ++missing;
  }
  EXPECT_EQ(missing, 0);
  EXPECT_GE(kills, 3);
  std::printf("500 runs, %d kills, %zu acknowledged, %d missing afterwards\n", kills,
              acknowledged.size(), missing);
}

// Two servers on one database: one owner per name, one ranking.
TEST_P(RecordsServer, TwoServersShareOneDatabase) {
  // Genuine runs, each proven by zirpel-verify on one of the two.
  const std::vector<std::string> args = rtest::ServerArgs(Store());
  Server a(args, Log()), b(args, dir_.File("second.log"));
  ASSERT_TRUE(a.started() && b.started()) << rtest::ReadFile(Log());
  constexpr int kClients = 4, kNames = 6, kEach = 8;
  std::mutex mutex;
  std::map<std::string, std::set<int>> owners;  // name -> clients that got a run in
  std::vector<std::string> ids;
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      const std::string key = "schluessel-des-spielers-" + std::to_string(c);
      for (int i = 0; i < kEach; ++i) {
        const Server& server = (c + i) % 2 ? a : b;
        const std::string name = "Geteilt " + std::to_string(i % kNames);
        const std::string run = rtest::GenuineRun(c * kEach + i);
        const Reply r = server.Submit(run, name, key);
        std::lock_guard lock(mutex);
        if (Verified(r)) {
          owners[name].insert(c);
          ids.push_back(Str(r.json, "id"));
        } else {
          EXPECT_EQ(r.status, 403) << r.body;
        }
      }
    });
  }
  for (std::thread& t : clients) t.join();
  for (const auto& [name, who] : owners) EXPECT_EQ(who.size(), 1u) << name;
  EXPECT_EQ(owners.size(), static_cast<std::size_t>(kNames));
  const std::vector<Json> fromA = rtest::WholeBoard(a, kLevel01, "race");
  const std::vector<Json> fromB = rtest::WholeBoard(b, kLevel01, "race");
  EXPECT_EQ(fromA, fromB);
  ASSERT_EQ(fromA.size(), static_cast<std::size_t>(kNames));
  for (std::size_t k = 0; k < fromA.size(); ++k)
    EXPECT_EQ(fromA[k]["rank"], static_cast<int>(k) + 1);
  for (const std::string& id : ids) EXPECT_EQ(b.Get("/runs/" + id + ".zrp").status, 200);
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordsServer, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

TEST(RecordsServerLoad, ABusyServerAsksClientsToComeBack) {
  rtest::TempDir dir;
  std::vector<std::string> args = rtest::ServerArgs(dir.File("r.sqlite"));
  args.push_back("--verifier");
  args.push_back(rtest::FakeVerifier());
  for (const char* a : {"--workers", "1", "--queue", "1", "--verifier-timeout", "3", "--rate",
                        "0.2", "--burst", "4"}) {
    args.push_back(a);
  }
  Server s(args, dir.File("server.log"));
  ASSERT_TRUE(s.started()) << rtest::ReadFile(dir.File("server.log"));
  // One verifying, one waiting: the third is told to come back.
  std::vector<Reply> replies(3);
  std::vector<std::thread> clients;
  for (int i = 0; i < 3; ++i) {
    clients.emplace_back([&, i] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150 * i));
      replies[i] = s.Submit(rtest::Changed([&](Replay& r) {
                              r.particle = "fake:sleep";
                              r.particleNumber = std::to_string(i);
                            }),
                            "Geduldig " + std::to_string(i));
    });
  }
  for (std::thread& t : clients) t.join();
  int busy = 0;
  for (const Reply& r : replies) {
    if (r.status == 429) {
      ++busy;
      EXPECT_GE(std::atoi(r.retryAfter.c_str()), 1);
      EXPECT_FALSE(Str(r.json, "error").empty());
    } else {
      EXPECT_EQ(Str(r.json, "status"), "refused") << r.body;  // the verifier slept too long
    }
  }
  EXPECT_EQ(busy, 1);
  // One address sending too much is slowed down: once its burst of 4 is
  // spent, it is told to wait.
  int slowed = 0;
  for (int i = 0; i < 6; ++i) {
    const Reply r = s.Submit("zu viel " + std::to_string(i), "Eilig");
    if (r.status == 429) {
      ++slowed;
      EXPECT_GE(std::atoi(r.retryAfter.c_str()), 1);
    }
  }
  EXPECT_GE(slowed, 1);
  // Behind a proxy on this machine each player has a bucket of their own.
  EXPECT_EQ(
      s.Post("zu viel", {{"X-Zirpel-Name", "Eilig"}, {"X-Forwarded-For", "203.0.113.9"}}).status,
      200);
  EXPECT_EQ(s.Get("/api/levels").status, 200);  // reading is not slowed
}

TEST(RecordsServerProgram, CommandLineAndStartUp) {
  rtest::TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string says;  // in its output
  };
  const std::string levels = rtest::LevelsFolder();
  const Case cases[] = {
      {{"--help"}, 0, "--listen HOST:PORT"},
      {{"--version"}, 0, "zirpel-records 0."},
      {{"--gibt-es-nicht"}, 2, "unbekannte Option"},
      {{"--workers"}, 2, "braucht einen Wert"},
      {{"--levels", levels, "--verifier", "/gibt/es/nicht"}, 1, "kein ausfuehrbarer Pruefer"},
      {{"--levels", levels, "--verifier", rtest::FakeVerifier(), "--db", "/proc/nein/r.sqlite"},
       1,
       "Datenbank"},
      {{"--levels", levels, "--verifier", rtest::FakeVerifier(), "--db",
        "postgresql:///nichts?host=/gibt/es/nicht"},
       1,
       "Datenbank"},
      {{"--levels", levels, "--verifier", rtest::FakeVerifier(), "--db", dir.File("r.sqlite"),
        "--tls-cert", "/gibt/es/nicht.pem", "--tls-key", "/gibt/es/nicht.pem"},
       1,
       "TLS"},
  };
  for (const Case& c : cases) {
    std::string command = std::string(ZIRPEL_RECORDS_BIN) + " --listen 127.0.0.1:0";
    for (const std::string& a : c.args) command += " '" + a + "'";
    command += " >" + dir.File("out") + " 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.code) << command;
    EXPECT_NE(rtest::ReadFile(dir.File("out")).find(c.says), std::string::npos)
        << command << "\n"
        << rtest::ReadFile(dir.File("out"));
  }
}

}  // namespace
