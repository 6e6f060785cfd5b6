// The PostgreSQL connection through libpq. Several servers may share one
// database; what keeps names and runs consistent is in the statements
// (unique keys, INSERT ... ON CONFLICT), so the default isolation serves.
#include <libpq-fe.h>

#include <cstring>

#include "records/db.h"

namespace records {
namespace {

// "?" placeholders as PostgreSQL's $1, $2, ... (the statements hold no '?'
// in their text).
std::string Numbered(const std::string& sql) {
  std::string out;
  int n = 0;
  for (const char c : sql) {
    if (c == '?') {
      out += "$" + std::to_string(++n);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A bytea value in its text form ("\x0a1b..."), as its bytes.
std::string FromByteaHex(const char* text, int length) {
  std::string out;
  if (length < 2 || text[0] != '\\' || text[1] != 'x') return std::string(text, length);
  out.reserve(static_cast<std::size_t>(length - 2) / 2);
  for (int i = 2; i + 1 < length; i += 2) {
    const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) break;
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return out;
}

constexpr Oid kByteaOid = 17;

class PostgresDb : public Db {
 public:
  explicit PostgresDb(const std::string& url) {
    conn_ = PQconnectdb(url.c_str());
    if (PQstatus(conn_) != CONNECTION_OK) {
      std::string why = PQerrorMessage(conn_);
      while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
      PQfinish(conn_);
      conn_ = nullptr;
      throw StoreError("PostgreSQL: " + why, true);
    }
    Query("SET client_min_messages TO warning", {});
  }
  ~PostgresDb() override { PQfinish(conn_); }

  std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params) override {
    const std::string text = Numbered(sql);
    std::vector<const char*> values(params.size());
    std::vector<int> lengths(params.size()), formats(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
      values[i] = params[i].null ? nullptr : params[i].text.c_str();
      lengths[i] = static_cast<int>(params[i].text.size());
      formats[i] = params[i].binary ? 1 : 0;
    }
    PGresult* res = PQexecParams(conn_, text.c_str(), static_cast<int>(params.size()), nullptr,
                                 values.data(), lengths.data(), formats.data(), 0);
    const ExecStatusType status = PQresultStatus(res);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
      std::string why = PQresultErrorMessage(res);
      while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
      const bool retry =
          (state && (std::strcmp(state, "40001") == 0 || std::strcmp(state, "40P01") == 0)) ||
          PQstatus(conn_) != CONNECTION_OK;
      PQclear(res);
      throw StoreError("PostgreSQL: " + why, retry);
    }
    std::vector<SqlRow> rows;
    const int n = PQntuples(res), columns = PQnfields(res);
    rows.reserve(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r) {
      SqlRow row(static_cast<std::size_t>(columns));
      for (int c = 0; c < columns; ++c) {
        if (PQgetisnull(res, r, c)) continue;
        const char* v = PQgetvalue(res, r, c);
        const int length = PQgetlength(res, r, c);
        row[static_cast<std::size_t>(c)] =
            PQftype(res, c) == kByteaOid ? FromByteaHex(v, length) : std::string(v, length);
      }
      rows.push_back(std::move(row));
    }
    PQclear(res);
    return rows;
  }

  void Begin() override { Query("BEGIN", {}); }
  void Commit() override { Query("COMMIT", {}); }
  void Rollback() override {
    if (PQtransactionStatus(conn_) != PQTRANS_IDLE) {
      PQclear(PQexec(conn_, "ROLLBACK"));
    }
  }
  bool Postgres() const override { return true; }
  bool Healthy() const override { return PQstatus(conn_) == CONNECTION_OK; }

 private:
  PGconn* conn_ = nullptr;
};

}  // namespace

bool IsPostgresUrl(const std::string& url) {
  return url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Db> OpenPostgres(const std::string& url) {
  return std::make_unique<PostgresDb>(url);
}

}  // namespace records
