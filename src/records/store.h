// What the records server keeps: names with the hashes of their keys,
// boards (one per level file version, simulation version and mode), every
// proven run with its bytes, and each player's best run per board. Ranks
// are never stored: a board is read in the order of its best runs (race:
// lower time first, survival: higher first, ties: the earlier proven
// first), so no two players ever share a rank. Backed by SQLite or
// PostgreSQL (the same statements); safe to use from many threads and, with
// PostgreSQL, from many processes. Failures throw StoreError.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "records/db.h"

namespace records {

// A board: the level file by name and SHA-256 of its bytes, the simulation
// version that proved its runs, and "race" or "survival".
struct BoardKey {
  std::string level;
  std::string levelSha256;
  long long simulationVersion = 0;
  std::string mode;
};

// A run as a board shows it.
struct RankedRun {
  long long rank = 0;
  std::string name;
  std::string time;  // as the leaderboard writes it
  std::string id;    // SHA-256 of the replay's bytes
  long long provenAtMs = 0;
  long long frames = 0;
};

struct BoardInfo {
  long long id = 0;
  BoardKey key;
  long long createdAtMs = 0;
  long long players = 0;  // ranked players
  std::optional<RankedRun> record;
};

// A run proven by the verifier, ready to be committed.
struct ProvenRun {
  std::string id;     // SHA-256 of bytes
  std::string bytes;  // the replay file
  BoardKey board;
  std::string time;      // as the verifier wrote it
  double sortKey = 0.0;  // lower ranks first: the time (race) or minus it
  long long frames = 0;
  std::string line;          // the verifier's line
  long long provenAtMs = 0;  // InsertUnproven only: when (0: now)
};

// One stored run with everything its page shows.
struct StoredRun {
  std::string id;
  BoardInfo board;
  std::string name;
  std::string time;
  long long frames = 0;
  std::string line;
  long long provenAtMs = 0;
  long long bytesSize = 0;
  // The run's place when it is its player's best on its board, else 0.
  long long rank = 0;
  std::string answer;  // the JSON the submission was answered with
};

enum class NameState { kFree, kYours, kTaken };

struct CommitOutcome {
  enum Kind { kCommitted, kAlreadyStored, kNameTaken } kind = kCommitted;
  std::string answer;  // the answer's JSON without the key (committed or stored)
  long long rank = 0;
  std::string key;  // set when this run claimed its name
};

class Store {
 public:
  // Opens (and on first use sets up) the database: a file path for SQLite,
  // a postgresql:// URL for PostgreSQL. connections bounds the open
  // connections.
  Store(const std::string& where, int connections);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  bool Postgres() const { return postgres_; }

  // Whether name may send with key ("" for none): free, claimed with this
  // key, or claimed by someone else.
  NameState CheckName(const std::string& name, const std::string& key);
  // The answer a run with this id was given, when it is stored.
  std::optional<std::string> StoredAnswer(const std::string& id);
  // Stores a proven run in one transaction: claims the name when it is free
  // (with key when given, else with a fresh one), makes the board when it is
  // new, keeps the run and moves the player's best. answerFor makes the
  // answer's JSON from the run's rank; the answer stored is the one
  // returned. Once this returns kCommitted the run is on disk.
  CommitOutcome CommitRun(const ProvenRun& run, const std::string& name, const std::string& key,
                          long long nowMs,
                          const std::function<std::string(long long rank)>& answerFor);

  // Every board, oldest first, with its record and its count of players.
  std::vector<BoardInfo> Boards();
  std::optional<BoardInfo> Board(long long id);
  // One page (0-based) of a board's ranking.
  std::vector<RankedRun> BoardPage(long long boardId, long long page, long long perPage);
  std::optional<StoredRun> Run(const std::string& id);
  std::optional<std::string> RunBytes(const std::string& id);
  // The newest simulation version any board has (0 for none).
  long long NewestSimulationVersion();
  // Counts for the log and the benchmark.
  long long RunCount();

  // For the benchmark and tests only: stores runs with no verification,
  // many in one transaction.
  void InsertUnproven(const std::vector<ProvenRun>& runs, const std::vector<std::string>& names,
                      long long nowMs);

 private:
  class Lease;
  std::unique_ptr<Db> Connect();
  void SetUp(Db& db);
  template <typename F>
  auto Transaction(F&& body) -> decltype(body(std::declval<Db&>()));

  std::string where_;
  bool postgres_ = false;
  int maxConnections_ = 1;
  int open_ = 0;
  std::vector<std::unique_ptr<Db>> idle_;
  std::mutex mutex_;
  std::condition_variable freed_;
};

}  // namespace records
