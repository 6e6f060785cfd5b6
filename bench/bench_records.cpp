// The records server under load: a store filled with 100,000 proven runs on
// the 13 shipped levels (written straight into the store, as if proven),
// then the board pages' times as a browser and the game ask for them (the
// 95th percentile's goal: under 20 ms) and proven submissions a second
// from several clients (goal: at least 20), each run a new one under a new
// name, proven by the verifier in its child process.
//
//   bench_records [--runs 100000] [--pages 2000] [--submissions 400]
//                 [--clients 4] [--workers 2] [--db FILE|postgresql://...]
//                 [--keep FILE] [--verifier PATH]
//
// The verifier is the game's zirpel-verify unless --verifier names another,
// and the submissions are genuine runs: the won race of tests/data/replays
// on level 1, each made a new file by the best time it carries (which the
// proof does not depend on). A submission's cost is mostly the verifier's;
// tests/data/records/instant-verify proves everything at once and so shows
// the server's own cost.
#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "digest/digest.h"
#include "records/levels.h"
#include "records/pages.h"
#include "records/store.h"
#include "replay/replay_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct Level {
  std::string name, sha, mode;
  std::uint64_t hash = 0;
};

std::vector<Level> ShippedLevels() {
  const std::string dir = std::string(ZIRPEL_SOURCE_DIR) + "/res/maps";
  std::vector<Level> levels;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    const std::string mode = records::ModeOfLevel(name);
    if (mode.empty()) continue;
    const std::string bytes = Slurp(e.path().string());
    levels.push_back({name, Sha256Hex(bytes), mode, HashBytes(bytes)});
  }
  std::sort(levels.begin(), levels.end(),
            [](const Level& a, const Level& b) { return a.name < b.name; });
  return levels;
}

std::string PlayerName(std::mt19937& random) {
  static const char* kFirst[] = {"Zir", "Kug", "Bro", "Fla", "Tom", "Lin", "Mar", "Rik", "Jul",
                                 "Fen", "Ole", "Pia", "Sam", "Ida", "Hek", "Nel", "Bea", "Kai"};
  static const char* kSecond[] = {"pel", "el", "ka", "ra",   "to", "mi", "na",
                                  "lo",  "ri", "sa", "bert", "li", "xa", "us"};
  std::string name = std::string(kFirst[random() % 18]) + kSecond[random() % 14];
  if (random() % 3 != 0) name += std::to_string(random() % 1000);
  return name;
}

// Processor seconds (user and system) a process has used so far, with
// its children's (the verifiers) when asked.
double CpuSeconds(pid_t pid, bool children = false) {
  std::string stat = Slurp("/proc/" + std::to_string(pid) + "/stat");
  stat = stat.substr(stat.rfind(')') + 2);  // past the program's name
  std::istringstream in(stat);
  std::string field;
  double ticks = 0.0;
  for (int i = 3; i <= 17 && in >> field; ++i) {
    if (i == 14 || i == 15 || (children && (i == 16 || i == 17))) ticks += std::atof(field.c_str());
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct Percentiles {
  double p50 = 0, p95 = 0, p99 = 0, max = 0;
};
Percentiles Of(std::vector<double> v) {
  Percentiles p;
  if (v.empty()) return p;
  std::sort(v.begin(), v.end());
  auto at = [&](double q) {
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * v.size()))];
  };
  p.p50 = at(0.50);
  p.p95 = at(0.95);
  p.p99 = at(0.99);
  p.max = v.back();
  return p;
}

// zirpel-records as a child; its start-up line names the port.
struct ServerChild {
  pid_t pid = -1;
  int port = 0;
  ServerChild(const std::vector<std::string>& args, const std::string& log) {
    std::vector<std::string> all = {ZIRPEL_RECORDS_BIN, "--listen", "127.0.0.1:0"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid = ::fork();
    if (pid == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    for (int i = 0; i < 3000 && port == 0; ++i) {
      const std::string text = Slurp(log);
      const std::size_t at = text.find("hoert auf http://127.0.0.1:");
      if (at != std::string::npos) port = std::atoi(text.c_str() + at + 27);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~ServerChild() {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
};

}  // namespace

int main(int argc, char** argv) {
  long long runs = 100000, pages = 2000, submissions = 400;
  int clients = 4, workers = 2;
  std::string db, keep, verifier = ZIRPEL_VERIFY_BIN;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i], v = argv[i + 1];
    if (a == "--runs")
      runs = std::atoll(v.c_str());
    else if (a == "--pages")
      pages = std::atoll(v.c_str());
    else if (a == "--submissions")
      submissions = std::atoll(v.c_str());
    else if (a == "--clients")
      clients = std::max(1, std::atoi(v.c_str()));
    else if (a == "--workers")
      workers = std::max(1, std::atoi(v.c_str()));
    else if (a == "--db")
      db = v;
    else if (a == "--keep")
      keep = v;
    else if (a == "--verifier")
      verifier = v;
  }
  const fs::path work =
      fs::temp_directory_path() / ("zirpel-bench-records-" + std::to_string(::getpid()));
  fs::create_directories(work);
  if (db.empty()) db = keep.empty() ? (work / "records.sqlite").string() : keep;
  const std::vector<Level> levels = ShippedLevels();
  std::mt19937 random(26);

  // 1. The store, filled as if every run had been proven.
  const auto fillStart = Clock::now();
  {
    records::Store store(db, 2);
    std::vector<std::string> pool;
    for (int i = 0; i < 20000; ++i) pool.push_back(PlayerName(random));
    const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (long long done = 0; done < runs;) {
      std::vector<records::ProvenRun> batch;
      std::vector<std::string> names;
      for (int i = 0; i < 5000 && done < runs; ++i, ++done) {
        const Level& l = levels[static_cast<std::size_t>(done) % levels.size()];
        records::ProvenRun r;
        r.bytes = "bench run " + std::to_string(done);
        r.id = Sha256Hex(r.bytes);
        r.board = {l.name, l.sha, kSimulationVersion, l.mode};
        const double x = u(random);
        const double t = l.mode == "race" ? 4.7 + 14.0 * std::pow(x, 0.9) : 8.0 + 140.0 * x * x;
        char text[32];
        std::snprintf(text, sizeof text, "%.7g", static_cast<double>(static_cast<float>(t)));
        r.time = text;
        r.sortKey = l.mode == "race" ? std::atof(text) : -std::atof(text);
        r.frames = static_cast<long long>(t * 60.0);
        r.line = std::string("verified: ") + (l.mode == "race" ? "Rennen " : "Ueberleben ") + text +
                 " s";
        r.provenAtMs = now - static_cast<long long>(u(random) * 90.0 * 86400000.0);
        batch.push_back(std::move(r));
        names.push_back(pool[random() % pool.size()]);
      }
      store.InsertUnproven(batch, names, now);
    }
    std::printf("store: %lld runs on %zu levels, filled in %.1f s (%s)\n", store.RunCount(),
                levels.size(), Ms(Clock::now() - fillStart) / 1000.0,
                store.Postgres() ? "PostgreSQL" : "SQLite");
  }

  // 2. The server on it.
  const std::string log = (work / "server.log").string();
  ServerChild server({"--db", db, "--levels", std::string(ZIRPEL_SOURCE_DIR) + "/res/maps",
                      "--verifier", verifier, "--rate", "0", "--request-rate", "0", "--workers",
                      std::to_string(workers), "--queue", "1000"},
                     log);
  if (server.port == 0) {
    std::fprintf(stderr, "bench_records: the server did not start:\n%s\n", Slurp(log).c_str());
    return 1;
  }

  // 3. Board pages: HTML as a browser asks, JSON as the game asks.
  httplib::Client client("127.0.0.1", server.port);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  std::vector<double> html, json, index;
  const double cpuBefore = CpuSeconds(server.pid);
  for (long long i = 0; i < pages + 50; ++i) {
    const Level& l = levels[random() % levels.size()];
    const long long page =
        i % 10 == 0 ? 1 + static_cast<long long>(random() % 120) : 1 + random() % 5;
    const std::string level = records::PercentEncode(l.name);
    const bool asJson = i % 2 == 1;
    const std::string path =
        asJson ? "/api/boards/" + level + "/" + l.mode + "?page=" + std::to_string(page)
               : "/level/" + level + "?page=" + std::to_string(page);
    const auto start = Clock::now();
    const auto res = client.Get(path);
    const double ms = Ms(Clock::now() - start);
    if (!res || res->status != 200) {
      std::fprintf(stderr, "bench_records: %s failed\n", path.c_str());
      return 1;
    }
    if (i < 50) continue;  // warming up
    (asJson ? json : html).push_back(ms);
    if (i % 20 == 0) {
      const auto s = Clock::now();
      client.Get(i % 40 == 0 ? "/" : "/api/levels");
      index.push_back(Ms(Clock::now() - s));
    }
  }
  const double cpuPerPage = (CpuSeconds(server.pid) - cpuBefore) * 1000.0 /
                            static_cast<double>(pages + 50 + static_cast<long long>(index.size()));
  const Percentiles h = Of(html), j = Of(json), x = Of(index);
  std::printf("server processor time per page: %.2f ms (load average now %s)\n", cpuPerPage,
              Slurp("/proc/loadavg").substr(0, 14).c_str());
  std::printf(
      "board page (HTML), %zu requests: p50 %.2f ms, p95 %.2f ms, p99 %.2f ms, max %.2f ms\n",
      html.size(), h.p50, h.p95, h.p99, h.max);
  std::printf("board (JSON), %zu requests: p50 %.2f ms, p95 %.2f ms, p99 %.2f ms, max %.2f ms\n",
              json.size(), j.p50, j.p95, j.p99, j.max);
  std::printf("level list (/ and /api/levels), %zu requests: p50 %.2f ms, p95 %.2f ms\n",
              index.size(), x.p50, x.p95);

  // 4. Proven submissions: new runs under new names from several clients.
  Replay base;
  std::string why;
  DecodeReplay(Slurp(std::string(ZIRPEL_SOURCE_DIR) + "/tests/data/replays/race01.zrp"), base, why);
  std::vector<std::string> bodies;
  for (long long i = 0; i < submissions; ++i) {
    Replay r = base;
    r.bestTime = 1000.0f + static_cast<float>(::getpid() % 1000) + 0.001f * static_cast<float>(i);
    bodies.push_back(EncodeReplay(r));
  }
  std::atomic<long long> next{0}, proven{0}, other{0};
  std::vector<std::vector<double>> latency(static_cast<std::size_t>(clients));
  const auto submitStart = Clock::now();
  const double cpuStart = CpuSeconds(server.pid, true);
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      httplib::Client cli("127.0.0.1", server.port);
      cli.set_read_timeout(120, 0);
      cli.set_tcp_nodelay(true);
      for (long long i = next++; i < submissions; i = next++) {
        httplib::Headers headers = {
            {"X-Zirpel-Name",
             "Bench " + std::to_string(::getpid() % 100000) + "-" + std::to_string(i)}};
        const auto s = Clock::now();
        const auto res = cli.Post("/api/runs", headers, bodies[static_cast<std::size_t>(i)],
                                  "application/octet-stream");
        latency[static_cast<std::size_t>(c)].push_back(Ms(Clock::now() - s));
        if (res && res->status == 200 && res->body.find("\"verified\"") != std::string::npos) {
          ++proven;
        } else if (++other == 1) {
          std::fprintf(stderr, "bench_records: not proven: %d %s\n", res ? res->status : 0,
                       res ? res->body.c_str() : httplib::to_string(res.error()).c_str());
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  const double seconds = Ms(Clock::now() - submitStart) / 1000.0;
  const double cpuPerRun =
      (CpuSeconds(server.pid, true) - cpuStart) / static_cast<double>(std::max(1LL, proven.load()));
  std::vector<double> all;
  for (const auto& v : latency) all.insert(all.end(), v.begin(), v.end());
  const Percentiles s = Of(all);
  std::printf(
      "submissions: %lld proven, %lld not, in %.1f s from %d clients, %d workers: "
      "%.1f proven a second (answer p50 %.0f ms, p95 %.0f ms); verifier %s\n",
      proven.load(), other.load(), seconds, clients, workers,
      static_cast<double>(proven.load()) / seconds, s.p50, s.p95, verifier.c_str());
  std::printf(
      "processor time per proven submission (server and verifier): %.1f ms, so at most "
      "%.0f a second on %ld idle cores\n",
      cpuPerRun * 1000.0, static_cast<double>(::sysconf(_SC_NPROCESSORS_ONLN)) / cpuPerRun,
      ::sysconf(_SC_NPROCESSORS_ONLN));
  std::error_code ignored;
  fs::remove_all(work, ignored);
  return 0;
}
