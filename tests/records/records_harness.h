// The records server's tests: its program started as a child process on a
// store of its own (a SQLite file, or a throw-away PostgreSQL cluster made
// by the test), HTTP to it over loopback, and replays made for it from the
// test data.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "replay/replay_file.h"

namespace rtest {

using Json = nlohmann::json;

// A fresh folder under the system's temp folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// The verifier the tests run: zirpel-verify when the build has it (and
// ZIRPEL_RECORDS_FAKE is not set), else the stand-in in tests/data/records.
std::string Verifier();
bool RealVerifier();
std::string FakeVerifier();
// A verifier that proves every file at once (a race on the first level).
std::string InstantVerifier();

// A PostgreSQL cluster of its own: initdb in a temp folder (as an
// unprivileged user when the test runs as root), listening only on a
// socket in that folder, stopped and removed when this object goes, or
// when the test process dies (a watchdog process sees to that).
class PgCluster {
 public:
  PgCluster();
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;
  // A database of its own in the cluster, as a postgresql:// URL.
  std::string NewDatabase();
  const std::string& why() const { return why_; }
  bool ok() const { return ok_; }

 private:
  std::string folder_, bin_, user_, why_, stop_;
  bool ok_ = false;
  int watchdog_ = -1;  // write end of the pipe the watchdog waits on
  int databases_ = 0;
};

// The store a test runs on: "sqlite" (a file in folder) or "postgresql"
// (a database in one cluster per test process).
std::string StoreFor(const std::string& kind, const TempDir& folder);

struct Reply {
  int status = 0;  // 0: no answer (no connection, broken off)
  std::string body;
  Json json;  // the body parsed (discarded when it is no JSON)
  std::string retryAfter;
  std::string contentType;
};

// zirpel-records as a child process, on 127.0.0.1 and a free port.
class Server {
 public:
  // args: everything after --listen (the store, the verifier, ...);
  // standard error goes to log.
  Server(const std::vector<std::string>& args, const std::string& log);
  ~Server();  // SIGTERM, then SIGKILL after 10 s
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  bool started() const { return port_ > 0; }
  int port() const { return port_; }
  bool Alive();
  void Kill();  // SIGKILL, reaped
  // Stops with SIGTERM and returns the exit code (-1 for a signal).
  int Stop();

  Reply Get(const std::string& path) const;
  Reply Post(const std::string& body, const std::map<std::string, std::string>& headers) const;
  // A run submitted as the game sends it.
  Reply Submit(const std::string& replay, const std::string& name,
               const std::string& key = "") const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

Reply HttpGet(int port, const std::string& path);
Reply HttpPost(int port, const std::string& body,
               const std::map<std::string, std::string>& headers);

// The common arguments of a test server: its store, the test levels, the
// verifier, no limit per address, short limits for a hostile verifier.
std::vector<std::string> ServerArgs(const std::string& store, const std::string& levels = "");

// The level folder of the game (res/maps of the source tree).
std::string LevelsFolder();
// The replay of a won race on "01 Erste Schritte" (tests/data/replays).
std::string Race01();
Replay Decoded(const std::string& bytes);
// race01 changed and written again (a whole, well-formed replay).
std::string Changed(const std::function<void(Replay&)>& change);
// A genuine run the real verifier proves: race01, made a file of its own
// by the best time it carries (which the proof does not depend on).
std::string GenuineRun(int n);
// A run the stand-in verifier proves: level's file name and hash, its mode,
// the time (the track's end, and the claim), tag to tell runs apart.
std::string FakeRun(const std::string& level, float time, const std::string& tag,
                    const std::string& levels = "");
// The status line's code of whatever the server sends back to raw bytes
// (0 when it sends nothing within a few seconds).
int RawExchange(int port, const std::string& bytes);

// Every run on a board (all pages), as the JSON runs.
std::vector<Json> WholeBoard(const Server& server, const std::string& level,
                             const std::string& mode);

std::string Encode(const std::string& level);  // percent-encoded level name

}  // namespace rtest
