// One connection to the database the server keeps its records in: SQLite
// (a file) or PostgreSQL (a postgresql:// URL through libpq). Statements are
// written once with '?' placeholders; the PostgreSQL connection numbers
// them. Every failure throws StoreError; retry says whether the whole
// transaction may simply be tried again (a serialization failure, a
// deadlock, a busy database).
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace records {

class StoreError : public std::runtime_error {
 public:
  StoreError(const std::string& what, bool retry) : std::runtime_error(what), retry(retry) {}
  bool retry;
};

struct SqlValue {
  std::string text;
  bool null = false;
  bool binary = false;  // bytes (BLOB, BYTEA), not text
};
inline SqlValue Sql(const std::string& text) {
  return {text, false, false};
}
inline SqlValue Sql(long long value) {
  return {std::to_string(value), false, false};
}
SqlValue SqlReal(double value);  // exact: printed with 17 digits
inline SqlValue SqlBytes(const std::string& bytes) {
  return {bytes, false, true};
}

// A row of results as text (bytes columns as their bytes), NULL as nullopt.
using SqlRow = std::vector<std::optional<std::string>>;

class Db {
 public:
  virtual ~Db() = default;
  virtual std::vector<SqlRow> Query(const std::string& sql,
                                    const std::vector<SqlValue>& params = {}) = 0;
  // A transaction that writes: SQLite takes the write lock at once, so two
  // writers never deadlock upgrading their locks.
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;  // never throws
  virtual bool Postgres() const = 0;
  // Whether the connection can still be used (a lost server cannot).
  virtual bool Healthy() const = 0;
};

std::unique_ptr<Db> OpenSqlite(const std::string& path);
std::unique_ptr<Db> OpenPostgres(const std::string& url);
// Whether a --db value names a PostgreSQL database.
bool IsPostgresUrl(const std::string& url);

}  // namespace records
