// The game's side of the world records against the real server: runs go
// through the outbox and are answered, across restarts and kills; the key
// is kept; world records and their runs come back; HTTPS with a
// certificate the game must trust.
#include "outbox/outbox.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "digest/digest.h"
#include "platform/platform.h"
#include "records/records_harness.h"

namespace {

using outbox::RecordsLink;
using outbox::RecordsSettings;
using rtest::Server;

template <typename F>
bool WaitFor(F done, double seconds = 60.0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t length = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  ::close(fd);
  return ntohs(addr.sin_port);
}

class Outbox : public ::testing::Test {
 protected:
  RecordsSettings Settings(int port, const std::string& name = "Anna") const {
    RecordsSettings s;
    s.server = "http://127.0.0.1:" + std::to_string(port);
    s.playerName = name;
    s.outboxFolder = dir_.File("data/Outbox");
    s.keyFile = dir_.File("config/zirpel/records-keys.txt");
    s.firstRetrySeconds = 0.2;
    s.longestRetrySeconds = 1.0;
    return s;
  }
  std::vector<std::string> OutboxFiles(const std::string& pattern) const {
    return plat::ListFiles(dir_.File("data/Outbox/" + pattern));
  }
  rtest::TempDir dir_;
};

TEST_F(Outbox, OffWithoutAServerAndSendingNothingWithoutAName) {
  const struct {
    std::string server, name;
    bool asks;  // a server to ask for the world records; sending needs a name too
  } settings[] = {
      {"", "Anna", false},
      {"ftp://127.0.0.1", "Anna", false},
      {"http://", "Anna", false},
      {"http://127.0.0.1 x", "Anna", false},
      {"http://127.0.0.1", "", true},
      {"http://127.0.0.1", "A\nB", true},
  };
  for (const auto& c : settings) {
    RecordsSettings s;
    s.server = c.server;
    s.playerName = c.name;
    s.outboxFolder = dir_.File("data/Outbox");
    RecordsLink link(s);
    EXPECT_EQ(link.Enabled(), c.asks) << c.server << " " << c.name;
    EXPECT_FALSE(link.CanSend()) << c.server << " " << c.name;
    std::string why;
    EXPECT_FALSE(link.Send(rtest::Race01(), &why));
    EXPECT_FALSE(why.empty());
    if (!c.asks) {
      link.FetchWorldRecords();
      EXPECT_TRUE(link.Idle());
      EXPECT_FALSE(link.WorldRecordsNow().answered);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("data/Outbox")));
  EXPECT_TRUE(outbox::ValidServerUrl("https://records.example:8443/zirpel/"));
}

TEST_F(Outbox, SendsKeepsTheAnswerAndTheKey) {
  Server server(rtest::ServerArgs(dir_.File("r.sqlite")), dir_.File("server.log"));
  ASSERT_TRUE(server.started());
  const std::string race = rtest::Race01();
  const std::string id = Sha256Hex(race);
  std::vector<outbox::SentRun> answers;
  {
    RecordsLink link(Settings(server.port()));
    ASSERT_TRUE(link.Enabled());
    ASSERT_TRUE(link.Send(race));
    ASSERT_TRUE(link.Send("kein Lauf"));
    ASSERT_TRUE(WaitFor([&] {
      for (auto& a : link.TakeAnswers()) answers.push_back(a);
      return answers.size() == 2;
    })) << link.LastError();
    EXPECT_EQ(link.Waiting(), 0);
  }
  ASSERT_EQ(answers.size(), 2u);
  const outbox::SentRun& run = answers[0].id == id ? answers[0] : answers[1];
  const outbox::SentRun& junk = answers[0].id == id ? answers[1] : answers[0];
  EXPECT_EQ(run.httpStatus, 200);
  EXPECT_EQ(run.status, "verified");
  EXPECT_EQ(run.time, "4.736001");
  EXPECT_EQ(run.rank, 1);
  EXPECT_EQ(junk.status, "refused");
  EXPECT_FALSE(junk.reason.empty());
  // What the server said is kept; the runs have left the outbox.
  EXPECT_EQ(OutboxFiles("*.zout").size(), 0u);
  EXPECT_EQ(OutboxFiles("*.answer").size(), 2u);
  // The key was made here, kept before the send, and claimed the name.
  const std::string keys = rtest::ReadFile(dir_.File("config/zirpel/records-keys.txt"));
  const std::string prefix = "http://127.0.0.1:" + std::to_string(server.port()) + "\tanna\t";
  ASSERT_EQ(keys.rfind(prefix, 0), 0u) << keys;
  const std::string key = keys.substr(prefix.size(), keys.find('\n') - prefix.size());
  const rtest::Json first = rtest::Json::parse(run.answer);
  EXPECT_EQ(first["key"], key);
  EXPECT_EQ(server.Submit("noch ein Lauf", "ANNA").status, 403);
  EXPECT_EQ(server.Submit("noch ein Lauf", "ANNA", key).status, 200);
  // After a restart the answers are there and nothing is sent twice.
  RecordsLink again(Settings(server.port()));
  ASSERT_TRUE(WaitFor([&] { return again.Answers().size() == 2; }));
  EXPECT_EQ(again.Answers().at(id).status, "verified");
  EXPECT_TRUE(again.Send(race));
  EXPECT_EQ(again.Waiting(), 0);
  EXPECT_EQ(OutboxFiles("*.zout").size(), 0u);
  // A run made while another server was set waits for that one.
  {
    RecordsLink other(Settings(FreePort()));
    ASSERT_TRUE(other.Send("fuer den anderen"));
  }
  RecordsLink back(Settings(server.port()));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(WaitFor([&] { return back.Waiting() == 0; }, 10));
  EXPECT_EQ(OutboxFiles("*.zout").size(), 1u);
  EXPECT_EQ(back.Answers().size(), 2u);
}

TEST_F(Outbox, WaitsForTheServerAcrossRestarts) {
  const int port = FreePort();
  const std::string race = rtest::Race01();
  {
    RecordsLink link(Settings(port));
    ASSERT_TRUE(link.Send(race));
    ASSERT_TRUE(WaitFor([&] { return !link.LastError().empty(); }, 10));
    EXPECT_EQ(link.Waiting(), 1);
    link.FetchWorldRecords();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(link.WorldRecordsNow().answered);
  }  // the game ends with the run unsent
  EXPECT_EQ(OutboxFiles("*.zout").size(), 1u);
  std::vector<std::string> args = rtest::ServerArgs(dir_.File("r.sqlite"));
  args.push_back("--listen");
  args.push_back("127.0.0.1:" + std::to_string(port));
  Server server(args, dir_.File("server.log"));
  ASSERT_EQ(server.port(), port) << rtest::ReadFile(dir_.File("server.log"));
  RecordsLink link(Settings(port));
  std::vector<outbox::SentRun> answers;
  ASSERT_TRUE(WaitFor([&] {
    for (auto& a : link.TakeAnswers()) answers.push_back(a);
    return !answers.empty();
  })) << link.LastError();
  EXPECT_EQ(answers[0].status, "verified");
  EXPECT_TRUE(link.LastError().empty());
  EXPECT_EQ(OutboxFiles("*.zout").size(), 0u);
}

TEST_F(Outbox, AGameKilledDuringASendLosesNoRun) {
  std::vector<std::string> args = rtest::ServerArgs(dir_.File("r.sqlite"));
  args.push_back("--verifier");
  args.push_back(rtest::FakeVerifier());
  Server server(args, dir_.File("server.log"));
  ASSERT_TRUE(server.started());
  std::mt19937 random(26);
  std::vector<std::string> ids;
  for (int trial = 0; trial < 8; ++trial) {
    const std::string run =
        rtest::FakeRun("02 Schub nach oben.mapGame1", 7.0f + static_cast<float>(trial),
                       "g" + std::to_string(trial));
    ids.push_back(Sha256Hex(run));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t game = ::fork();
    if (game == 0) {
      ::close(ready[0]);
      RecordsLink link(Settings(server.port()));
      const bool sent = link.Send(run);
      (void)!::write(ready[1], sent ? "1" : "0", 1);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char sent = 0;
    ASSERT_EQ(::read(ready[0], &sent, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(sent, '1');
    // Killed somewhere in the send: before, during or after the request.
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 120)(random)));
    ::kill(game, SIGKILL);
    ::waitpid(game, nullptr, 0);
  }
  RecordsLink link(Settings(server.port()));
  ASSERT_TRUE(WaitFor([&] {
    const auto answers = link.Answers();
    for (const std::string& id : ids) {
      if (!answers.count(id)) return false;
    }
    return true;
  })) << link.LastError();
  for (const auto& [id, answer] : link.Answers()) EXPECT_EQ(answer.status, "verified") << id;
  EXPECT_EQ(OutboxFiles("*.zout").size(), 0u);
}

TEST_F(Outbox, BringsWorldRecordsAndTheirRuns) {
  Server server(rtest::ServerArgs(dir_.File("r.sqlite")), dir_.File("server.log"));
  ASSERT_TRUE(server.started());
  const std::string race = rtest::Race01();
  ASSERT_EQ(server.Submit(race, "Anna").status, 200);
  RecordsLink link(Settings(server.port(), "Bert"));
  link.FetchWorldRecords();
  ASSERT_TRUE(WaitFor([&] { return link.WorldRecordsNow().answered; })) << link.LastError();
  const outbox::WorldRecords records = link.WorldRecordsNow();
  const outbox::WorldRecord* record = records.Find("01 Erste Schritte.mapGame1", "race");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->name, "Anna");
  EXPECT_EQ(record->time, "4.736001");
  EXPECT_EQ(record->frames, 297);
  EXPECT_EQ(records.Find("02 Schub nach oben.mapGame1", "race"), nullptr);
  link.FetchRun(record->id);
  link.FetchRun(std::string(64, '0'));  // no such run
  std::string bytes;
  ASSERT_TRUE(WaitFor([&] { return link.TakeRun(record->id, bytes); })) << link.LastError();
  EXPECT_TRUE(bytes == race);
  EXPECT_FALSE(link.TakeRun(record->id, bytes));  // taken once
  ASSERT_TRUE(WaitFor([&] { return !link.LastError().empty(); }, 10));
  EXPECT_FALSE(link.TakeRun(std::string(64, '0'), bytes));
}

TEST(RecordsTls, ServerAndGameTalkHttps) {
  rtest::TempDir dir;
  const std::string cert = dir.File("cert.pem"), key = dir.File("key.pem");
  ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                         "-addext subjectAltName=IP:127.0.0.1 -keyout " +
                         key + " -out " + cert + " >/dev/null 2>&1")
                            .c_str()),
            0);
  std::vector<std::string> args = rtest::ServerArgs(dir.File("r.sqlite"));
  for (const std::string& a : {std::string("--tls-cert"), cert, std::string("--tls-key"), key}) {
    args.push_back(a);
  }
  Server server(args, dir.File("server.log"));
  ASSERT_TRUE(server.started()) << rtest::ReadFile(dir.File("server.log"));
  EXPECT_NE(rtest::ReadFile(dir.File("server.log")).find("https://127.0.0.1:"), std::string::npos);
  RecordsSettings s;
  s.server = "https://127.0.0.1:" + std::to_string(server.port());
  s.playerName = "Sicher";
  s.outboxFolder = dir.File("Outbox");
  s.keyFile = dir.File("keys.txt");
  s.firstRetrySeconds = 0.2;
  {
    // A certificate the game does not trust: nothing is sent.
    RecordsLink untrusting(s);
    ASSERT_TRUE(untrusting.Send(rtest::Race01()));
    ASSERT_TRUE(WaitFor([&] { return !untrusting.LastError().empty(); }, 20));
    EXPECT_EQ(untrusting.Waiting(), 1);
  }
  s.caFile = cert;
  RecordsLink link(s);
  std::vector<outbox::SentRun> answers;
  ASSERT_TRUE(WaitFor([&] {
    for (auto& a : link.TakeAnswers()) answers.push_back(a);
    return !answers.empty();
  })) << link.LastError();
  EXPECT_EQ(answers[0].status, "verified");
  link.FetchWorldRecords();
  ASSERT_TRUE(WaitFor([&] { return link.WorldRecordsNow().answered; })) << link.LastError();
  EXPECT_NE(link.WorldRecordsNow().Find("01 Erste Schritte.mapGame1", "race"), nullptr);
  // Plain HTTP to the HTTPS port gets no answer about a run.
  EXPECT_NE(rtest::HttpGet(server.port(), "/api/levels").status, 200);
}

}  // namespace
