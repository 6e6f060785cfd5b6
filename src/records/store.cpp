#include "records/store.h"

#include <chrono>
#include <random>
#include <thread>

#include "digest/digest.h"
#include "records/names.h"

namespace records {
namespace {

constexpr const char* kSchemaSqlite[] = {
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS names (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
    "folded TEXT NOT NULL UNIQUE, key_hash TEXT NOT NULL, claimed_at INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS boards (id INTEGER PRIMARY KEY, level TEXT NOT NULL, "
    "level_sha256 TEXT NOT NULL, simulation_version INTEGER NOT NULL, mode TEXT NOT NULL, "
    "created_at INTEGER NOT NULL, players INTEGER NOT NULL DEFAULT 0, "
    "UNIQUE (level, level_sha256, simulation_version, mode))",
    "CREATE TABLE IF NOT EXISTS runs (seq INTEGER PRIMARY KEY AUTOINCREMENT, "
    "id TEXT NOT NULL UNIQUE, board_id INTEGER NOT NULL REFERENCES boards (id), "
    "name_id INTEGER NOT NULL REFERENCES names (id), time_text TEXT NOT NULL, "
    "sort_key REAL NOT NULL, frames INTEGER NOT NULL, line TEXT NOT NULL, "
    "proven_at INTEGER NOT NULL, size INTEGER NOT NULL, answer TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS run_bytes (id TEXT PRIMARY KEY, bytes BLOB NOT NULL)",
    "CREATE TABLE IF NOT EXISTS bests (board_id INTEGER NOT NULL, name_id INTEGER NOT NULL, "
    "run_seq INTEGER NOT NULL, sort_key REAL NOT NULL, PRIMARY KEY (board_id, name_id))",
    "CREATE INDEX IF NOT EXISTS bests_order ON bests (board_id, sort_key, run_seq)",
};

constexpr const char* kSchemaPostgres[] = {
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS names (id BIGSERIAL PRIMARY KEY, name TEXT NOT NULL, "
    "folded TEXT NOT NULL UNIQUE, key_hash TEXT NOT NULL, claimed_at BIGINT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS boards (id BIGSERIAL PRIMARY KEY, level TEXT NOT NULL, "
    "level_sha256 TEXT NOT NULL, simulation_version BIGINT NOT NULL, mode TEXT NOT NULL, "
    "created_at BIGINT NOT NULL, players BIGINT NOT NULL DEFAULT 0, "
    "UNIQUE (level, level_sha256, simulation_version, mode))",
    "CREATE TABLE IF NOT EXISTS runs (seq BIGSERIAL PRIMARY KEY, id TEXT NOT NULL UNIQUE, "
    "board_id BIGINT NOT NULL REFERENCES boards (id), "
    "name_id BIGINT NOT NULL REFERENCES names (id), time_text TEXT NOT NULL, "
    "sort_key DOUBLE PRECISION NOT NULL, frames BIGINT NOT NULL, line TEXT NOT NULL, "
    "proven_at BIGINT NOT NULL, size BIGINT NOT NULL, answer TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS run_bytes (id TEXT PRIMARY KEY, bytes BYTEA NOT NULL)",
    "CREATE TABLE IF NOT EXISTS bests (board_id BIGINT NOT NULL, name_id BIGINT NOT NULL, "
    "run_seq BIGINT NOT NULL, sort_key DOUBLE PRECISION NOT NULL, "
    "PRIMARY KEY (board_id, name_id))",
    "CREATE INDEX IF NOT EXISTS bests_order ON bests (board_id, sort_key, run_seq)",
};

constexpr const char* kSchemaVersion = "1";

long long Int(const std::optional<std::string>& v) {
  if (!v) return 0;
  try {
    return std::stoll(*v);
  } catch (...) {
    return 0;
  }
}

std::string Text(const std::optional<std::string>& v) {
  return v ? *v : std::string();
}

// The best's rank on its board: 1 + the players whose best comes first.
long long RankOf(Db& db, long long boardId, long long nameId, double sortKey, long long seq) {
  const auto rows = db.Query(
      "SELECT COUNT(*) FROM bests WHERE board_id = ? AND name_id <> ? AND "
      "(sort_key < ? OR (sort_key = ? AND run_seq < ?))",
      {Sql(boardId), Sql(nameId), SqlReal(sortKey), SqlReal(sortKey), Sql(seq)});
  return 1 + (rows.empty() ? 0 : Int(rows[0][0]));
}

long long BoardIdFor(Db& db, const BoardKey& key, long long nowMs) {
  const std::vector<SqlValue> k = {Sql(key.level), Sql(key.levelSha256), Sql(key.simulationVersion),
                                   Sql(key.mode)};
  auto rows = db.Query(
      "SELECT id FROM boards WHERE level = ? AND level_sha256 = ? AND simulation_version = ? "
      "AND mode = ?",
      k);
  if (!rows.empty()) return Int(rows[0][0]);
  std::vector<SqlValue> insert = k;
  insert.push_back(Sql(nowMs));
  rows = db.Query(
      "INSERT INTO boards (level, level_sha256, simulation_version, mode, created_at) "
      "VALUES (?, ?, ?, ?, ?) ON CONFLICT (level, level_sha256, simulation_version, mode) "
      "DO NOTHING RETURNING id",
      insert);
  if (!rows.empty()) return Int(rows[0][0]);
  // Made by another server in the meantime.
  rows = db.Query(
      "SELECT id FROM boards WHERE level = ? AND level_sha256 = ? AND simulation_version = ? "
      "AND mode = ?",
      k);
  if (rows.empty()) throw StoreError("a board vanished", true);
  return Int(rows[0][0]);
}

// Inserts the run; 0 when a run with its id is already there.
long long InsertRun(Db& db, const ProvenRun& run, long long boardId, long long nameId,
                    long long nowMs, const std::string& answer) {
  const auto rows = db.Query(
      "INSERT INTO runs (id, board_id, name_id, time_text, sort_key, frames, line, proven_at, "
      "size, answer) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (id) DO NOTHING "
      "RETURNING seq",
      {Sql(run.id), Sql(boardId), Sql(nameId), Sql(run.time), SqlReal(run.sortKey), Sql(run.frames),
       Sql(run.line), Sql(nowMs), Sql(static_cast<long long>(run.bytes.size())), Sql(answer)});
  if (rows.empty()) return 0;
  db.Query("INSERT INTO run_bytes (id, bytes) VALUES (?, ?)", {Sql(run.id), SqlBytes(run.bytes)});
  return Int(rows[0][0]);
}

// The player's best on the board becomes this run when it is better (or
// the player's first); a first best counts one more player on the board.
void MoveBest(Db& db, long long boardId, long long nameId, long long seq, double sortKey) {
  const auto inserted = db.Query(
      "INSERT INTO bests (board_id, name_id, run_seq, sort_key) VALUES (?, ?, ?, ?) "
      "ON CONFLICT (board_id, name_id) DO NOTHING RETURNING run_seq",
      {Sql(boardId), Sql(nameId), Sql(seq), SqlReal(sortKey)});
  if (!inserted.empty()) {
    db.Query("UPDATE boards SET players = players + 1 WHERE id = ?", {Sql(boardId)});
    return;
  }
  db.Query(
      "UPDATE bests SET run_seq = ?, sort_key = ? WHERE board_id = ? AND name_id = ? AND "
      "(sort_key > ? OR (sort_key = ? AND run_seq > ?))",
      {Sql(seq), SqlReal(sortKey), Sql(boardId), Sql(nameId), SqlReal(sortKey), SqlReal(sortKey),
       Sql(seq)});
}

BoardInfo BoardFromRow(const SqlRow& r) {
  BoardInfo b;
  b.id = Int(r[0]);
  b.key.level = Text(r[1]);
  b.key.levelSha256 = Text(r[2]);
  b.key.simulationVersion = Int(r[3]);
  b.key.mode = Text(r[4]);
  b.createdAtMs = Int(r[5]);
  b.players = Int(r[6]);
  return b;
}

constexpr const char* kBoardColumns =
    "SELECT id, level, level_sha256, simulation_version, mode, created_at, players FROM boards";

}  // namespace

// A connection borrowed from the pool for one piece of work.
class Store::Lease {
 public:
  explicit Lease(Store& store) : store_(store) {
    std::unique_lock lock(store.mutex_);
    store.freed_.wait(lock,
                      [&] { return !store.idle_.empty() || store.open_ < store.maxConnections_; });
    if (!store.idle_.empty()) {
      db_ = std::move(store.idle_.back());
      store.idle_.pop_back();
      return;
    }
    ++store.open_;
    lock.unlock();
    try {
      db_ = store.Connect();
    } catch (...) {
      std::lock_guard again(store.mutex_);
      --store.open_;
      store.freed_.notify_one();
      throw;
    }
  }
  ~Lease() {
    std::lock_guard lock(store_.mutex_);
    if (db_ && db_->Healthy()) {
      store_.idle_.push_back(std::move(db_));
    } else {
      --store_.open_;
    }
    store_.freed_.notify_one();
  }
  Db& db() { return *db_; }

 private:
  Store& store_;
  std::unique_ptr<Db> db_;
};

Store::Store(const std::string& where, int connections)
    : where_(where), postgres_(IsPostgresUrl(where)), maxConnections_(std::max(1, connections)) {
  Lease lease(*this);
  SetUp(lease.db());
}

Store::~Store() = default;

std::unique_ptr<Db> Store::Connect() {
  return postgres_ ? OpenPostgres(where_) : OpenSqlite(where_);
}

void Store::SetUp(Db& db) {
  if (postgres_) {
    // Several servers may start at once on a fresh database.
    db.Query("SELECT pg_advisory_lock(72511)");
    try {
      for (const char* sql : kSchemaPostgres) db.Query(sql);
    } catch (...) {
      db.Query("SELECT pg_advisory_unlock(72511)");
      throw;
    }
  } else {
    db.Begin();
    try {
      for (const char* sql : kSchemaSqlite) db.Query(sql);
    } catch (...) {
      db.Rollback();
      throw;
    }
  }
  const auto rows = db.Query("SELECT value FROM meta WHERE key = 'schema'");
  if (rows.empty()) {
    db.Query("INSERT INTO meta (key, value) VALUES ('schema', ?)", {Sql(kSchemaVersion)});
  } else if (Text(rows[0][0]) != kSchemaVersion) {
    if (postgres_)
      db.Query("SELECT pg_advisory_unlock(72511)");
    else
      db.Rollback();
    throw StoreError("the database holds records of another layout (" + Text(rows[0][0]) + ")",
                     false);
  }
  if (postgres_) {
    db.Query("SELECT pg_advisory_unlock(72511)");
  } else {
    db.Commit();
  }
}

template <typename F>
auto Store::Transaction(F&& body) -> decltype(body(std::declval<Db&>())) {
  std::mt19937 jitter(std::random_device{}());
  for (int attempt = 1;; ++attempt) {
    Lease lease(*this);
    Db& db = lease.db();
    try {
      db.Begin();
      auto result = body(db);
      db.Commit();
      return result;
    } catch (const StoreError& e) {
      db.Rollback();
      if (!e.retry || attempt >= 8) throw;
    } catch (...) {
      db.Rollback();
      throw;
    }
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(2, 20 * attempt)(jitter)));
  }
}

NameState Store::CheckName(const std::string& name, const std::string& key) {
  Lease lease(*this);
  const auto rows =
      lease.db().Query("SELECT key_hash FROM names WHERE folded = ?", {Sql(FoldName(name))});
  if (rows.empty()) return NameState::kFree;
  return KeyFits(key, Text(rows[0][0])) ? NameState::kYours : NameState::kTaken;
}

std::optional<std::string> Store::StoredAnswer(const std::string& id) {
  Lease lease(*this);
  const auto rows = lease.db().Query("SELECT answer FROM runs WHERE id = ?", {Sql(id)});
  if (rows.empty()) return std::nullopt;
  return Text(rows[0][0]);
}

CommitOutcome Store::CommitRun(const ProvenRun& run, const std::string& name,
                               const std::string& key, long long nowMs,
                               const std::function<std::string(long long)>& answerFor) {
  // What must not be committed leaves the transaction by this exception,
  // which rolls it back.
  struct NotCommitted {
    CommitOutcome outcome;
  };
  const auto notCommitted = [](CommitOutcome::Kind kind, const std::string& answer) {
    CommitOutcome o;
    o.kind = kind;
    o.answer = answer;
    return NotCommitted{o};
  };
  try {
    return Transaction([&](Db& db) {
      CommitOutcome out;
      auto stored = db.Query("SELECT answer FROM runs WHERE id = ?", {Sql(run.id)});
      if (!stored.empty()) throw notCommitted(CommitOutcome::kAlreadyStored, Text(stored[0][0]));
      const std::string folded = FoldName(name);
      long long nameId = 0;
      auto rows = db.Query("SELECT id, key_hash FROM names WHERE folded = ?", {Sql(folded)});
      if (rows.empty()) {
        const std::string newKey = key.empty() ? NewKey() : key;
        if (newKey.empty()) throw StoreError("no randomness for a key", false);
        rows = db.Query(
            "INSERT INTO names (name, folded, key_hash, claimed_at) VALUES (?, ?, ?, ?) "
            "ON CONFLICT (folded) DO NOTHING RETURNING id",
            {Sql(name), Sql(folded), Sql(KeyHash(newKey)), Sql(nowMs)});
        if (!rows.empty()) {
          nameId = Int(rows[0][0]);
          out.key = newKey;
        } else {
          // Claimed by another submission that committed first.
          rows = db.Query("SELECT id, key_hash FROM names WHERE folded = ?", {Sql(folded)});
          if (rows.empty()) throw StoreError("a name vanished", true);
        }
      }
      if (nameId == 0) {
        if (!KeyFits(key, Text(rows[0][1]))) throw notCommitted(CommitOutcome::kNameTaken, "");
        nameId = Int(rows[0][0]);
      }
      const long long boardId = BoardIdFor(db, run.board, nowMs);
      const long long seq = InsertRun(db, run, boardId, nameId, nowMs, "");
      if (seq == 0) {
        stored = db.Query("SELECT answer FROM runs WHERE id = ?", {Sql(run.id)});
        throw notCommitted(CommitOutcome::kAlreadyStored, stored.empty() ? "" : Text(stored[0][0]));
      }
      MoveBest(db, boardId, nameId, seq, run.sortKey);
      out.rank = RankOf(db, boardId, nameId, run.sortKey, seq);
      out.answer = answerFor(out.rank);
      db.Query("UPDATE runs SET answer = ? WHERE seq = ?", {Sql(out.answer), Sql(seq)});
      out.kind = CommitOutcome::kCommitted;
      return out;
    });
  } catch (const NotCommitted& n) {
    return n.outcome;
  }
}

std::vector<BoardInfo> Store::Boards() {
  Lease lease(*this);
  std::vector<BoardInfo> boards;
  for (const SqlRow& r : lease.db().Query(std::string(kBoardColumns) + " ORDER BY id")) {
    boards.push_back(BoardFromRow(r));
  }
  for (BoardInfo& b : boards) {
    if (b.players == 0) continue;
    const auto top = BoardPage(b.id, 0, 1);
    if (!top.empty()) b.record = top[0];
  }
  return boards;
}

std::optional<BoardInfo> Store::Board(long long id) {
  Lease lease(*this);
  const auto rows = lease.db().Query(std::string(kBoardColumns) + " WHERE id = ?", {Sql(id)});
  if (rows.empty()) return std::nullopt;
  return BoardFromRow(rows[0]);
}

std::vector<RankedRun> Store::BoardPage(long long boardId, long long page, long long perPage) {
  Lease lease(*this);
  const auto rows = lease.db().Query(
      "SELECT n.name, r.time_text, r.id, r.proven_at, r.frames FROM bests b "
      "JOIN runs r ON r.seq = b.run_seq JOIN names n ON n.id = b.name_id "
      "WHERE b.board_id = ? ORDER BY b.sort_key, b.run_seq LIMIT ? OFFSET ?",
      {Sql(boardId), Sql(perPage), Sql(page * perPage)});
  std::vector<RankedRun> runs;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const SqlRow& r = rows[i];
    RankedRun run;
    run.rank = page * perPage + static_cast<long long>(i) + 1;
    run.name = Text(r[0]);
    run.time = Text(r[1]);
    run.id = Text(r[2]);
    run.provenAtMs = Int(r[3]);
    run.frames = Int(r[4]);
    runs.push_back(std::move(run));
  }
  return runs;
}

std::optional<StoredRun> Store::Run(const std::string& id) {
  std::optional<StoredRun> run;
  long long boardId = 0;
  {
    Lease lease(*this);
    Db& db = lease.db();
    const auto rows = db.Query(
        "SELECT r.id, r.board_id, n.name, r.time_text, r.frames, r.line, r.proven_at, r.size, "
        "r.answer, r.seq, r.sort_key, r.name_id FROM runs r JOIN names n ON n.id = r.name_id "
        "WHERE r.id = ?",
        {Sql(id)});
    if (rows.empty()) return std::nullopt;
    const SqlRow& r = rows[0];
    run.emplace();
    run->id = Text(r[0]);
    boardId = Int(r[1]);
    run->name = Text(r[2]);
    run->time = Text(r[3]);
    run->frames = Int(r[4]);
    run->line = Text(r[5]);
    run->provenAtMs = Int(r[6]);
    run->bytesSize = Int(r[7]);
    run->answer = Text(r[8]);
    const long long seq = Int(r[9]);
    const double sortKey = r[10] ? std::stod(*r[10]) : 0.0;
    const long long nameId = Int(r[11]);
    const auto best = db.Query("SELECT run_seq FROM bests WHERE board_id = ? AND name_id = ?",
                               {Sql(boardId), Sql(nameId)});
    if (!best.empty() && Int(best[0][0]) == seq) {
      run->rank = RankOf(db, boardId, nameId, sortKey, seq);
    }
  }
  if (auto board = Board(boardId)) run->board = *board;
  return run;
}

std::optional<std::string> Store::RunBytes(const std::string& id) {
  Lease lease(*this);
  const auto rows = lease.db().Query("SELECT bytes FROM run_bytes WHERE id = ?", {Sql(id)});
  if (rows.empty()) return std::nullopt;
  return Text(rows[0][0]);
}

long long Store::NewestSimulationVersion() {
  Lease lease(*this);
  const auto rows = lease.db().Query("SELECT MAX(simulation_version) FROM boards");
  return rows.empty() ? 0 : Int(rows[0][0]);
}

long long Store::RunCount() {
  Lease lease(*this);
  const auto rows = lease.db().Query("SELECT COUNT(*) FROM runs");
  return rows.empty() ? 0 : Int(rows[0][0]);
}

void Store::InsertUnproven(const std::vector<ProvenRun>& runs,
                           const std::vector<std::string>& names, long long nowMs) {
  Transaction([&](Db& db) {
    std::vector<long long> nameIds;
    for (const std::string& name : names) {
      auto rows = db.Query(
          "INSERT INTO names (name, folded, key_hash, claimed_at) VALUES (?, ?, ?, ?) "
          "ON CONFLICT (folded) DO NOTHING RETURNING id",
          {Sql(name), Sql(FoldName(name)), Sql(KeyHash("benchmark-key-0000000")), Sql(nowMs)});
      if (rows.empty()) {
        rows = db.Query("SELECT id FROM names WHERE folded = ?", {Sql(FoldName(name))});
      }
      nameIds.push_back(rows.empty() ? 0 : Int(rows[0][0]));
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
      const ProvenRun& run = runs[i];
      const long long nameId = nameIds[i % nameIds.size()];
      const long long boardId = BoardIdFor(db, run.board, nowMs);
      const long long seq =
          InsertRun(db, run, boardId, nameId,
                    run.provenAtMs != 0 ? run.provenAtMs : nowMs + static_cast<long long>(i), "{}");
      if (seq != 0) MoveBest(db, boardId, nameId, seq, run.sortKey);
    }
    return 0;
  });
}

}  // namespace records
