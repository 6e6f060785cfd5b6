// The SQLite connection: one file, write-ahead log, every commit synced to
// disk before it returns, so an acknowledged run survives a kill of the
// server and a power cut alike.
#include <sqlite3.h>

#include <cstdio>

#include "records/db.h"

namespace records {
namespace {

class SqliteDb : public Db {
 public:
  explicit SqliteDb(const std::string& path) {
    const int rc =
        sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close(db_);
      db_ = nullptr;
      throw StoreError(path + ": " + why, false);
    }
    sqlite3_busy_timeout(db_, 20000);
    Query("PRAGMA journal_mode=WAL", {});
    Query("PRAGMA synchronous=FULL", {});
    Query("PRAGMA foreign_keys=ON", {});
    // Pages read through the mapped file: every connection shares the
    // system's cache instead of copying pages into one of its own.
    Query("PRAGMA mmap_size=1073741824", {});
  }
  ~SqliteDb() override {
    for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }

  std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params) override {
    sqlite3_stmt* stmt = Prepare(sql);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (std::size_t i = 0; i < params.size(); ++i) {
      const SqlValue& p = params[i];
      const int at = static_cast<int>(i) + 1;
      if (p.null) {
        sqlite3_bind_null(stmt, at);
      } else if (p.binary) {
        sqlite3_bind_blob64(stmt, at, p.text.data(), p.text.size(), SQLITE_TRANSIENT);
      } else {
        sqlite3_bind_text64(stmt, at, p.text.data(), p.text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      }
    }
    std::vector<SqlRow> rows;
    for (;;) {
      const int rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        const std::string why = sqlite3_errmsg(db_);
        sqlite3_reset(stmt);
        throw StoreError("SQLite: " + why, rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
      }
      const int n = sqlite3_column_count(stmt);
      SqlRow row(static_cast<std::size_t>(n));
      for (int c = 0; c < n; ++c) {
        const int type = sqlite3_column_type(stmt, c);
        if (type == SQLITE_NULL) continue;
        if (type == SQLITE_BLOB) {
          const void* data = sqlite3_column_blob(stmt, c);
          const int size = sqlite3_column_bytes(stmt, c);
          row[static_cast<std::size_t>(c)] =
              std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
        } else {
          const unsigned char* text = sqlite3_column_text(stmt, c);
          const int size = sqlite3_column_bytes(stmt, c);
          row[static_cast<std::size_t>(c)] =
              std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
        }
      }
      rows.push_back(std::move(row));
    }
    sqlite3_reset(stmt);
    return rows;
  }

  void Begin() override { Query("BEGIN IMMEDIATE", {}); }
  void Commit() override { Query("COMMIT", {}); }
  void Rollback() override {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  bool Postgres() const override { return false; }
  bool Healthy() const override { return true; }

 private:
  sqlite3_stmt* Prepare(const std::string& sql) {
    for (auto& [text, stmt] : cache_) {
      if (text == sql) return stmt;
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
      throw StoreError("SQLite: " + std::string(sqlite3_errmsg(db_)),
                       rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    }
    cache_.emplace_back(sql, stmt);
    return stmt;
  }

  sqlite3* db_ = nullptr;
  std::vector<std::pair<std::string, sqlite3_stmt*>> cache_;
};

}  // namespace

SqlValue SqlReal(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return {text, false, false};
}

std::unique_ptr<Db> OpenSqlite(const std::string& path) {
  return std::make_unique<SqliteDb>(path);
}

}  // namespace records
