#include "records/records_harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <glob.h>
#include <httplib.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/sanitizer.h"
#include "records/pages.h"

extern "C" char** environ;

namespace rtest {
namespace {

namespace fs = std::filesystem;

[[maybe_unused]] bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// Runs a command line through /bin/sh, standard output and error into log.
int Shell(const std::string& command) {
  return std::system(command.c_str());
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out.push_back(c);
  }
  return out + "'";
}

Reply Finish(const httplib::Result& res) {
  Reply r;
  if (!res) return r;
  r.status = res->status;
  r.body = res->body;
  r.json = Json::parse(r.body, nullptr, false);
  r.retryAfter = res->get_header_value("Retry-After");
  r.contentType = res->get_header_value("Content-Type");
  return r;
}

PgCluster& SharedCluster() {
  static PgCluster cluster;
  return cluster;
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "zirpel-records-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string FakeVerifier() {
  return std::string(ZIRPEL_SOURCE_DIR) + "/tests/data/records/fake-zirpel-verify";
}

std::string InstantVerifier() {
  return std::string(ZIRPEL_SOURCE_DIR) + "/tests/data/records/instant-verify";
}

bool RealVerifier() {
#ifdef ZIRPEL_VERIFY_BIN
  const char* fake = std::getenv("ZIRPEL_RECORDS_FAKE");
  return !(fake && *fake) && Exists(ZIRPEL_VERIFY_BIN);
#else
  return false;
#endif
}

std::string Verifier() {
#ifdef ZIRPEL_VERIFY_BIN
  if (RealVerifier()) return ZIRPEL_VERIFY_BIN;
#endif
  return FakeVerifier();
}

PgCluster::PgCluster() {
  glob_t found{};
  if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0 && found.gl_pathc > 0) {
    bin_ = fs::path(found.gl_pathv[found.gl_pathc - 1]).parent_path().string();
  }
  globfree(&found);
  if (bin_.empty()) {
    why_ = "no PostgreSQL server programs (Debian's postgresql package)";
    return;
  }
  std::string pattern = "/tmp/zirpel-pg-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    why_ = "no temp folder";
    return;
  }
  folder_ = pattern;
  std::string as;
  if (::getuid() == 0) {
    // PostgreSQL refuses to run as root: the cluster belongs to an
    // unprivileged user.
    const passwd* pw = ::getpwnam("postgres");
    if (!pw) pw = ::getpwnam("nobody");
    if (!pw) {
      why_ = "no unprivileged user to run PostgreSQL";
      return;
    }
    user_ = pw->pw_name;
    if (::chown(folder_.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
      why_ = "cannot hand the cluster's folder to " + user_;
      return;
    }
    as = "runuser -u " + user_ + " -- ";
  }
  ::chmod(folder_.c_str(), 0700);
  const std::string data = folder_ + "/data";
  if (Shell(as + Quote(bin_ + "/initdb") + " -D " + Quote(data) +
            " -U zirpel --auth=trust -E UTF8 --locale=C.UTF-8 -N >" +
            Quote(folder_ + "/initdb.log") + " 2>&1") != 0) {
    why_ = "initdb failed (" + folder_ + "/initdb.log)";
    return;
  }
  const std::string options = "-c listen_addresses='' -c unix_socket_directories='" + folder_ +
                              "' -c fsync=off -c max_connections=300 -c shared_buffers=16MB";
  const std::string stop = as + Quote(bin_ + "/pg_ctl") + " -D " + Quote(data) +
                           " -m immediate stop >/dev/null 2>&1; rm -rf " + Quote(folder_);
  stop_ = stop;
  // The watchdog stops the cluster when this process goes, however it goes
  // (a crash, a test runner's kill of every descendant at a timeout): a
  // shell left behind by its parent, so no longer a descendant, waits for
  // the pipe's other end to close.
  int fds[2];
  if (::pipe(fds) != 0) {
    why_ = "no pipe";
    return;
  }
  const std::string script = "(read ignored <&3; " + stop + ") >/dev/null 2>&1 & exit 0";
  const pid_t starter = ::fork();
  if (starter == 0) {
    ::setsid();
    ::dup2(fds[0], 3);
    if (fds[0] != 3) ::close(fds[0]);
    ::close(fds[1]);
    ::execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[0]);
  watchdog_ = fds[1];
  ::fcntl(watchdog_, F_SETFD, FD_CLOEXEC);
  ::waitpid(starter, nullptr, 0);
  if (Shell(as + Quote(bin_ + "/pg_ctl") + " -D " + Quote(data) + " -l " +
            Quote(folder_ + "/server.log") + " -w -t 60 -o " + Quote(options) +
            " start >/dev/null 2>&1") != 0) {
    why_ = "the cluster did not start (" + folder_ + "/server.log)";
    return;
  }
  ok_ = true;
}

PgCluster::~PgCluster() {
  if (!stop_.empty()) Shell(stop_);
  if (watchdog_ >= 0) ::close(watchdog_);
}

std::string PgCluster::NewDatabase() {
  if (!ok_) return std::string();
  const std::string name = "records_" + std::to_string(++databases_);
  if (Shell(Quote(bin_ + "/createdb") + " -h " + Quote(folder_) + " -U zirpel " + name +
            " >/dev/null 2>&1") != 0) {
    why_ = "createdb failed";
    return std::string();
  }
  return "postgresql:///" + name + "?host=" + folder_ + "&user=zirpel";
}

std::string StoreFor(const std::string& kind, const TempDir& folder) {
  if (kind == "postgresql") {
    PgCluster& cluster = SharedCluster();
    return cluster.NewDatabase();
  }
  return folder.File("records.sqlite");
}

Server::Server(const std::vector<std::string>& args, const std::string& log) {
  std::vector<std::string> all = {ZIRPEL_RECORDS_BIN, "--listen", "127.0.0.1:0"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  // Its work folder goes beside its log, into the test's folder, so a
  // killed server leaves nothing behind in the system's temp folder.
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) {
    if (std::string(*e).rfind("TMPDIR=", 0) != 0) envText.push_back(*e);
  }
  envText.push_back("TMPDIR=" + fs::path(log).parent_path().string());
  std::vector<char*> env;
  for (std::string& e : envText) env.push_back(e.data());
  env.push_back(nullptr);
  const std::size_t before = ReadFile(log).size();
  pid_ = ::fork();
  if (pid_ == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) ::dup2(fd, 2);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
    }
    ::execve(argv[0], argv.data(), env.data());
    ::_exit(127);
  }
  // The start-up line names the port.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = ReadFile(log);
    const std::size_t at = text.find("hoert auf http", before);
    if (at != std::string::npos) {
      const std::size_t colon = text.find("127.0.0.1:", at);
      if (colon != std::string::npos) {
        port_ = std::atoi(text.c_str() + colon + 10);
        return;
      }
    }
    if (!Alive()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

Server::~Server() {
  Stop();
}

bool Server::Alive() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void Server::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

int Server::Stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 1000; ++i) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Kill();
  return -1;
}

Reply HttpGet(int port, const std::string& path) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(5, 0);
  client.set_tcp_nodelay(true);
  client.set_read_timeout(60, 0);
  return Finish(client.Get(path));
}

Reply HttpPost(int port, const std::string& body,
               const std::map<std::string, std::string>& headers) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(5, 0);
  client.set_tcp_nodelay(true);
  client.set_read_timeout(60, 0);
  client.set_write_timeout(60, 0);
  httplib::Headers h;
  std::string type = "application/octet-stream";
  for (const auto& [k, v] : headers) {
    if (k == "Content-Type")
      type = v;
    else
      h.emplace(k, v);
  }
  return Finish(client.Post("/api/runs", h, body, type));
}

Reply Server::Get(const std::string& path) const {
  return HttpGet(port_, path);
}

Reply Server::Post(const std::string& body,
                   const std::map<std::string, std::string>& headers) const {
  return HttpPost(port_, body, headers);
}

Reply Server::Submit(const std::string& replay, const std::string& name,
                     const std::string& key) const {
  std::map<std::string, std::string> headers = {{"X-Zirpel-Name", name}};
  if (!key.empty()) headers["X-Zirpel-Key"] = key;
  return Post(replay, headers);
}

std::vector<std::string> ServerArgs(const std::string& store, const std::string& levels) {
  std::vector<std::string> args = {"--db",
                                   store,
                                   "--levels",
                                   levels.empty() ? LevelsFolder() : levels,
                                   "--verifier",
                                   Verifier(),
                                   "--rate",
                                   "0",
                                   "--request-rate",
                                   "0",
                                   "--verifier-cpu",
                                   "2",
                                   "--verifier-timeout",
                                   "6"};
#ifdef ZIRPEL_ASAN
  // A verifier built with the address sanitizer needs more address space
  // than any limit would allow.
  if (RealVerifier()) {
    args.push_back("--verifier-memory");
    args.push_back("0");
  }
#endif
  return args;
}

std::string LevelsFolder() {
  return std::string(ZIRPEL_SOURCE_DIR) + "/res/maps";
}

std::string Race01() {
  return ReadFile(std::string(ZIRPEL_SOURCE_DIR) + "/tests/data/replays/race01.zrp");
}

Replay Decoded(const std::string& bytes) {
  Replay r;
  std::string why;
  DecodeReplay(bytes, r, why);
  return r;
}

std::string Changed(const std::function<void(Replay&)>& change) {
  Replay r = Decoded(Race01());
  change(r);
  return EncodeReplay(r);
}

std::string GenuineRun(int n) {
  return Changed([&](Replay& r) { r.bestTime = 1000.0f + 0.25f * static_cast<float>(n); });
}

std::string FakeRun(const std::string& level, float time, const std::string& tag,
                    const std::string& levels) {
  return Changed([&](Replay& r) {
    r.levelFile = level;
    r.levelHash = HashBytes(ReadFile((levels.empty() ? LevelsFolder() : levels) + "/" + level));
    r.mode = level.ends_with(".mapGame2") ? 2 : 1;
    r.won = true;
    r.time = time;
    if (!r.track.empty()) r.track.back().elapsed = static_cast<double>(time);
    r.particle = tag;
  });
}

std::vector<Json> WholeBoard(const Server& server, const std::string& level,
                             const std::string& mode) {
  std::vector<Json> runs;
  for (int page = 1; page <= 200; ++page) {
    const Reply r =
        server.Get("/api/boards/" + Encode(level) + "/" + mode + "?page=" + std::to_string(page));
    if (r.status != 200 || !r.json.is_object() || !r.json["runs"].is_array() ||
        r.json["runs"].empty()) {
      break;
    }
    for (const Json& run : r.json["runs"]) runs.push_back(run);
  }
  return runs;
}

int RawExchange(int port, const std::string& bytes) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return 0;
  }
  ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  ::shutdown(fd, SHUT_WR);
  std::string got;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
    if (got.size() > 65536) break;
  }
  ::close(fd);
  if (got.rfind("HTTP/1.", 0) != 0 || got.size() < 12) return 0;
  return std::atoi(got.c_str() + 9);
}

std::string Encode(const std::string& level) {
  return records::PercentEncode(level);
}

}  // namespace rtest
