#include "records/server.h"

#include <fcntl.h>
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "records/levels.h"
#include "records/limiter.h"
#include "records/names.h"
#include "records/pages.h"
#include "digest/digest.h"
#include "records/store.h"
#include "records/verify_queue.h"

namespace records {
namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

long long WallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One log line per request, whole lines even from many threads.
void LogLine(const std::string& line) {
  const std::string text = line + "\n";
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(2, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// Bytes from a request as they may stand in a log: printable ASCII, the
// rest as %XX.
std::string Printable(const std::string& text, std::size_t limit = 300, bool spaces = false) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c > 0x20 || (spaces && c == 0x20)) && c < 0x7f) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
    if (out.size() >= limit) {
      out += "...";
      break;
    }
  }
  return out;
}

// What the log line of a request adds, set while it is handled.
struct RequestNote {
  double start = 0.0;
  bool started = false;
  std::string outcome;
};
thread_local RequestNote tNote;

// The address a request comes from. Behind a proxy on this machine (the
// connection from loopback) that is the last address the proxy put in
// X-Forwarded-For; nobody else is believed.
std::string ClientAddress(const httplib::Request& req) {
  const bool loopback = req.remote_addr.rfind("127.", 0) == 0 || req.remote_addr == "::1" ||
                        req.remote_addr.rfind("::ffff:127.", 0) == 0;
  if (!loopback || !req.has_header("X-Forwarded-For")) return req.remote_addr;
  const std::string chain = req.get_header_value("X-Forwarded-For");
  std::string last = chain.substr(chain.rfind(',') == std::string::npos ? 0 : chain.rfind(',') + 1);
  while (!last.empty() && last.front() == ' ') last.erase(0, 1);
  while (!last.empty() && last.back() == ' ') last.pop_back();
  return last.empty() || last.size() > 64 ? req.remote_addr : last;
}

void SetJson(httplib::Response& res, int status, const Json& j) {
  res.status = status;
  res.set_content(Dump(j), "application/json; charset=utf-8");
}

void SetError(httplib::Response& res, int status, const std::string& message) {
  Json j;
  j["error"] = message;
  SetJson(res, status, j);
}

void SetHtml(httplib::Response& res, const std::string& html) {
  res.status = 200;
  res.set_content(html, "text/html; charset=utf-8");
}

std::string DefaultError(int status) {
  switch (status) {
    case 400:
      return "die Anfrage ist fehlerhaft";
    case 404:
      return "nicht gefunden";
    case 405:
      return "diese Methode gibt es hier nicht";
    case 413:
      return "zu gross: ein Lauf darf hoechstens 256 KiB haben";
    case 414:
      return "die Adresse ist zu lang";
    case 415:
      return "falscher Inhaltstyp: application/octet-stream erwartet";
    case 429:
      return "zu viele Anfragen; bitte spaeter wieder";
    case 431:
      return "die Kopfzeilen sind zu gross";
    default:
      return status >= 500 ? "der Server hat ein Problem" : "die Anfrage ist fehlerhaft";
  }
}

// A page number from ?page= (1 when absent); false for anything else than
// 1 to 1,000,000.
bool PageParam(const httplib::Request& req, long long& page) {
  page = 1;
  if (!req.has_param("page")) return true;
  const std::string text = req.get_param_value("page");
  if (text.empty() || text.size() > 7) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  page = std::stoll(text);
  return page >= 1 && page <= 1000000;
}

bool IdParam(const httplib::Request& req, const char* name, long long& id) {
  id = 0;
  if (!req.has_param(name)) return true;
  const std::string text = req.get_param_value(name);
  if (text.empty() || text.size() > 15) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  id = std::stoll(text);
  return id >= 1;
}

Json RunJson(const RankedRun& r) {
  Json j;
  j["rank"] = r.rank;
  j["name"] = r.name;
  j["time"] = r.time;
  j["id"] = r.id;
  j["date"] = IsoDate(r.provenAtMs);
  j["frames"] = r.frames;
  return j;
}

Json BoardSummaryJson(const BoardInfo& b) {
  Json j;
  j["board"] = b.id;
  j["sha256"] = b.key.levelSha256;
  j["simulationVersion"] = b.key.simulationVersion;
  j["players"] = b.players;
  j["record"] = b.record ? RunJson(*b.record) : Json(nullptr);
  return j;
}

// Remembers the answers to refused runs for a while, so the same broken
// bytes sent again cost no verification. Forgotten when the levels change.
class RefusedAnswers {
 public:
  std::optional<std::string> Find(const std::string& id, int levels) {
    std::lock_guard lock(mutex_);
    if (levels != levels_) return std::nullopt;
    const auto it = answers_.find(id);
    if (it == answers_.end()) return std::nullopt;
    return it->second;
  }
  void Keep(const std::string& id, int levels, const std::string& answer) {
    std::lock_guard lock(mutex_);
    if (levels != levels_) {
      answers_.clear();
      order_.clear();
      levels_ = levels;
    }
    if (!answers_.emplace(id, answer).second) return;
    order_.push_back(id);
    if (order_.size() > 4096) {
      answers_.erase(order_.front());
      order_.pop_front();
    }
  }

 private:
  std::mutex mutex_;
  int levels_ = 0;
  std::map<std::string, std::string> answers_;
  std::deque<std::string> order_;
};

class RecordsServer {
 public:
  RecordsServer(const ServerOptions& o, Store& store, LevelLibrary& levels, std::string work)
      : o_(o),
        store_(store),
        levels_(levels),
        work_(std::move(work)),
        submissions_(o.rate, o.burst),
        requests_(o.requestRate, std::max(20.0, o.requestRate * 4.0)),
        queue_(
            o.workers, static_cast<std::size_t>(o.queue),
            [this](const std::string& id, const std::string& bytes) { return Verify(id, bytes); }) {
  }

  void Install(httplib::Server& svr);

 private:
  Verification Verify(const std::string& id, const std::string& bytes);
  void Submit(const httplib::Request& req, httplib::Response& res);
  struct Listing {
    std::vector<LevelListing> levels;
    std::vector<BoardInfo> gone;
  };
  Listing List();
  // Every board with its record: read again when older than a second or
  // when this server committed a run since (another server's runs show
  // within the second).
  std::shared_ptr<const std::vector<BoardInfo>> Boards();
  void BoardsChanged();
  bool IsCurrent(const BoardInfo& b, const LevelSnapshot& snap, long long newest) const;
  void Levels(httplib::Response& res);
  void Index(httplib::Response& res);
  // The board a request means: ?board=ID or the level's current one.
  bool FindBoard(const httplib::Request& req, const std::string& level, const std::string& mode,
                 httplib::Response& res, BoardView& view);
  void BoardJson(const httplib::Request& req, httplib::Response& res);
  void LevelPage(const httplib::Request& req, httplib::Response& res);
  void RunPage(const httplib::Request& req, httplib::Response& res);
  void RunFile(const httplib::Request& req, httplib::Response& res);

  const ServerOptions& o_;
  Store& store_;
  LevelLibrary& levels_;
  std::string work_;
  AddressLimiter submissions_, requests_;
  RefusedAnswers refused_;
  std::atomic<long long> jobCounter_{0};
  std::mutex boardsMutex_;
  std::shared_ptr<const std::vector<BoardInfo>> boards_;
  double boardsRead_ = 0.0;
  VerifyQueue queue_;
};

Verification RecordsServer::Verify(const std::string& id, const std::string& bytes) {
  Verification v;
  const std::shared_ptr<const LevelSnapshot> snap = levels_.Now();
  const std::string file =
      work_ + "/jobs/" + id.substr(0, 16) + "-" + std::to_string(++jobCounter_) + ".zrp";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool written = fd >= 0;
  std::size_t done = 0;
  while (written && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0)
      written = false;
    else
      done += static_cast<std::size_t>(n);
  }
  if (fd >= 0 && ::close(fd) != 0) written = false;
  if (!written) {
    ::unlink(file.c_str());
    v.outcome.verdict = Verdict::kUnavailable;
    v.outcome.reason = "der Server konnte den Lauf nicht ablegen";
    return v;
  }
  const std::string levelsDir = snap->folder.empty() ? work_ + "/no-levels" : snap->folder;
  v.outcome = RunVerifier(o_.verifier, levelsDir, file, o_.limits);
  ::unlink(file.c_str());
  if (v.outcome.verdict == Verdict::kVerified) {
    const LevelFile* level = snap->Find(v.outcome.level);
    if (level == nullptr) {
      v.outcome.verdict = Verdict::kRefused;
      v.outcome.reason = "unbekanntes Level " + v.outcome.level;
    } else if (level->mode != v.outcome.mode) {
      v.outcome.verdict = Verdict::kRefused;
      v.outcome.reason = "der Modus passt nicht zum Level";
    } else {
      v.levelSha256 = level->sha256;
    }
  }
  return v;
}

void RecordsServer::Submit(const httplib::Request& req, httplib::Response& res) {
  if (const int wait = submissions_.Take(ClientAddress(req), SteadySeconds())) {
    res.set_header("Retry-After", std::to_string(wait));
    SetError(res, 429,
             "zu viele Laeufe von dieser Adresse; bitte in " + std::to_string(wait) + " s wieder");
    return;
  }
  if (req.has_header("Content-Type")) {
    std::string type = req.get_header_value("Content-Type");
    type = type.substr(0, type.find(';'));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    if (type != "application/octet-stream") {
      SetError(res, 415, DefaultError(415));
      return;
    }
  }
  if (req.get_header_value_count("X-Zirpel-Name") != 1) {
    SetError(res, 400, "die Kopfzeile X-Zirpel-Name (der Name des Spielers) fehlt");
    return;
  }
  const std::string name = req.get_header_value("X-Zirpel-Name");
  std::string why;
  if (!ValidPlayerName(name, why)) {
    SetError(res, 400, "ungueltiger Name: " + why);
    return;
  }
  if (req.get_header_value_count("X-Zirpel-Key") > 1) {
    SetError(res, 400, "mehr als ein X-Zirpel-Key");
    return;
  }
  const std::string key = req.get_header_value("X-Zirpel-Key");
  if (!key.empty() && !ValidKey(key)) {
    SetError(res, 400, "ungueltiger Schluessel in X-Zirpel-Key");
    return;
  }
  if (req.body.empty()) {
    SetError(res, 400, "kein Lauf: der Koerper der Anfrage ist leer");
    return;
  }
  if (req.body.size() > kMaxReplayBytes) {
    SetError(res, 413, DefaultError(413));
    return;
  }
  const std::string id = Sha256Hex(req.body);
  if (const auto stored = store_.StoredAnswer(id)) {
    tNote.outcome = "schon bekannt";
    res.status = 200;
    res.set_content(*stored, "application/json; charset=utf-8");
    return;
  }
  const std::shared_ptr<const LevelSnapshot> snap = levels_.Now();
  if (const auto answer = refused_.Find(id, snap->generation)) {
    tNote.outcome = "schon abgelehnt";
    res.status = 200;
    res.set_content(*answer, "application/json; charset=utf-8");
    return;
  }
  if (store_.CheckName(name, key) == NameState::kTaken) {
    SetError(res, 403,
             "der Name '" + name +
                 "' gehoert einem anderen Spieler (Schluessel fehlt "
                 "oder passt nicht)");
    return;
  }
  const auto pending = queue_.Submit(id, req.body);
  if (!pending) {
    res.set_header("Retry-After", std::to_string(queue_.RetryAfterSeconds()));
    SetError(res, 429, "der Server prueft gerade zu viele Laeufe; bitte spaeter wieder");
    return;
  }
  const Verification v = pending->get();
  const VerifierOutcome& out = v.outcome;
  if (out.verdict == Verdict::kUnavailable) {
    tNote.outcome = "pruefer: " + out.reason;
    res.set_header("Retry-After", "30");
    SetError(res, 503, "der Lauf kann gerade nicht geprueft werden: " + out.reason);
    return;
  }
  if (out.verdict != Verdict::kVerified) {
    Json j;
    j["status"] = out.verdict == Verdict::kMismatch ? "mismatch" : "refused";
    j["reason"] = out.reason;
    j["id"] = id;
    const std::string answer = Dump(j);
    refused_.Keep(id, snap->generation, answer);
    tNote.outcome = j["status"].get<std::string>();
    res.status = 200;
    res.set_content(answer, "application/json; charset=utf-8");
    return;
  }
  ProvenRun run;
  run.id = id;
  run.bytes = req.body;
  run.board = {out.level, v.levelSha256, out.simulationVersion, out.mode};
  run.time = out.time;
  const double t = std::strtod(out.time.c_str(), nullptr);
  run.sortKey = out.mode == "survival" ? -t : t;
  run.frames = out.frames;
  run.line = out.line;
  const CommitOutcome done = store_.CommitRun(run, name, key, WallMs(), [&](long long rank) {
    Json j;
    j["status"] = "verified";
    j["level"] = out.level;
    j["mode"] = out.mode;
    j["time"] = out.time;
    j["frames"] = out.frames;
    j["id"] = id;
    j["rank"] = rank;
    return Dump(j);
  });
  if (done.kind == CommitOutcome::kCommitted) BoardsChanged();
  if (done.kind == CommitOutcome::kNameTaken) {
    SetError(res, 403, "der Name '" + name + "' gehoert einem anderen Spieler");
    return;
  }
  tNote.outcome = done.kind == CommitOutcome::kCommitted ? "verified" : "schon bekannt";
  std::string answer = done.answer;
  if (!done.key.empty()) {
    Json j = Json::parse(answer, nullptr, false);
    if (j.is_object()) {
      j["key"] = done.key;
      answer = Dump(j);
    }
    tNote.outcome += ", Name vergeben";
  }
  res.status = 200;
  res.set_content(answer, "application/json; charset=utf-8");
}

bool RecordsServer::IsCurrent(const BoardInfo& b, const LevelSnapshot& snap,
                              long long newest) const {
  const LevelFile* level = snap.Find(b.key.level);
  return level != nullptr && level->sha256 == b.key.levelSha256 && level->mode == b.key.mode &&
         b.key.simulationVersion == newest;
}

std::shared_ptr<const std::vector<BoardInfo>> RecordsServer::Boards() {
  {
    std::lock_guard lock(boardsMutex_);
    if (boards_ && SteadySeconds() - boardsRead_ < 1.0) return boards_;
  }
  const double readAt = SteadySeconds();
  auto fresh = std::make_shared<const std::vector<BoardInfo>>(store_.Boards());
  std::lock_guard lock(boardsMutex_);
  // A commit while reading made these stale already: keep them for this
  // request only.
  if (boardsRead_ <= readAt) {
    boards_ = fresh;
    boardsRead_ = readAt;
  }
  return fresh;
}

void RecordsServer::BoardsChanged() {
  std::lock_guard lock(boardsMutex_);
  boards_.reset();
  boardsRead_ = SteadySeconds();
}

RecordsServer::Listing RecordsServer::List() {
  const auto snap = levels_.Now();
  const std::shared_ptr<const std::vector<BoardInfo>> cached = Boards();
  const std::vector<BoardInfo>& boards = *cached;
  long long newest = 0;
  for (const BoardInfo& b : boards) newest = std::max(newest, b.key.simulationVersion);
  Listing out;
  std::map<std::string, std::size_t> at;
  for (const LevelFile& l : snap->levels) {
    at[l.name] = out.levels.size();
    out.levels.push_back({l.name, l.mode, l.sha256, std::nullopt, {}});
  }
  for (const BoardInfo& b : boards) {
    const auto it = at.find(b.key.level);
    if (it == at.end()) {
      out.gone.push_back(b);
    } else if (IsCurrent(b, *snap, newest)) {
      out.levels[it->second].board = b;
    } else {
      out.levels[it->second].archived.push_back(b);
    }
  }
  return out;
}

void RecordsServer::Levels(httplib::Response& res) {
  const Listing list = List();
  Json all = Json::array();
  for (const LevelListing& l : list.levels) {
    Json j;
    j["level"] = l.level;
    j["mode"] = l.mode;
    j["sha256"] = l.sha256;
    j["simulationVersion"] = l.board ? Json(l.board->key.simulationVersion) : Json(nullptr);
    j["players"] = l.board ? l.board->players : 0;
    j["record"] = l.board && l.board->record ? RunJson(*l.board->record) : Json(nullptr);
    Json archived = Json::array();
    for (const BoardInfo& b : l.archived) archived.push_back(BoardSummaryJson(b));
    j["archived"] = archived;
    all.push_back(j);
  }
  SetJson(res, 200, all);
}

void RecordsServer::Index(httplib::Response& res) {
  const Listing list = List();
  SetHtml(res, IndexHtml(list.levels, list.gone));
}

bool RecordsServer::FindBoard(const httplib::Request& req, const std::string& level,
                              const std::string& mode, httplib::Response& res, BoardView& view) {
  view.level = level;
  view.mode = mode;
  long long boardId = 0;
  if (mode != "race" && mode != "survival") {
    SetError(res, 400, "der Modus ist race oder survival");
    return false;
  }
  if (!PageParam(req, view.page)) {
    SetError(res, 400, "page erwartet eine Seitenzahl von 1 bis 1000000");
    return false;
  }
  if (!IdParam(req, "board", boardId)) {
    SetError(res, 400, "board erwartet die Nummer einer Liste");
    return false;
  }
  const Listing list = List();
  const LevelListing* listing = nullptr;
  for (const LevelListing& l : list.levels) {
    if (l.level == level) listing = &l;
  }
  std::vector<BoardInfo> all;
  if (listing) {
    if (listing->board) all.push_back(*listing->board);
    all.insert(all.end(), listing->archived.begin(), listing->archived.end());
  }
  for (const BoardInfo& b : list.gone) {
    if (b.key.level == level) all.push_back(b);
  }
  if (boardId != 0) {
    for (const BoardInfo& b : all) {
      if (b.id == boardId && b.key.mode == mode) view.board = b;
    }
    if (!view.board) {
      SetError(res, 404, "keine solche Liste fuer dieses Level");
      return false;
    }
    view.archived = !(listing && listing->board && listing->board->id == boardId);
  } else {
    if (!listing) {
      SetError(res, 404, "unbekanntes Level");
      return false;
    }
    if (listing->mode != mode) {
      SetError(res, 404, "dieses Level hat keinen Modus " + mode);
      return false;
    }
    view.board = listing->board;
  }
  for (const BoardInfo& b : all) {
    if (b.key.mode == mode && (!view.board || b.id != view.board->id)) view.others.push_back(b);
  }
  if (view.board) {
    view.pages = std::max(1LL, (view.board->players + kRunsPerPage - 1) / kRunsPerPage);
    view.runs = store_.BoardPage(view.board->id, view.page - 1, kRunsPerPage);
  }
  return true;
}

void RecordsServer::BoardJson(const httplib::Request& req, httplib::Response& res) {
  BoardView view;
  if (!FindBoard(req, req.matches[1], req.matches[2], res, view)) return;
  Json j;
  j["level"] = view.level;
  j["mode"] = view.mode;
  j["page"] = view.page;
  j["pages"] = view.pages;
  j["board"] = view.board ? Json(view.board->id) : Json(nullptr);
  j["archived"] = view.archived;
  Json runs = Json::array();
  for (const RankedRun& r : view.runs) runs.push_back(RunJson(r));
  j["runs"] = runs;
  SetJson(res, 200, j);
}

void RecordsServer::LevelPage(const httplib::Request& req, httplib::Response& res) {
  const std::string level = req.matches[1];
  std::string mode = req.has_param("mode") ? req.get_param_value("mode") : ModeOfLevel(level);
  if (mode.empty()) mode = "race";
  BoardView view;
  if (!FindBoard(req, level, mode, res, view)) return;
  SetHtml(res, BoardHtml(view));
}

void RecordsServer::RunPage(const httplib::Request& req, httplib::Response& res) {
  const auto run = store_.Run(req.matches[1]);
  if (!run) {
    SetError(res, 404, "kein solcher Lauf");
    return;
  }
  const auto snap = levels_.Now();
  SetHtml(res, RunHtml(*run, !IsCurrent(run->board, *snap, store_.NewestSimulationVersion())));
}

void RecordsServer::RunFile(const httplib::Request& req, httplib::Response& res) {
  const std::string id = req.matches[1];
  const auto bytes = store_.RunBytes(id);
  if (!bytes) {
    SetError(res, 404, "kein solcher Lauf");
    return;
  }
  res.status = 200;
  res.set_header("Content-Disposition", "attachment; filename=\"" + id + ".zrp\"");
  res.set_header("Cache-Control", "public, max-age=31536000, immutable");
  res.set_content(*bytes, "application/octet-stream");
}

// Every handler runs inside this: a failing store is the server's trouble
// (503, try again later); anything else thrown by a request's content is
// the request's (400). Neither takes the server down.
template <typename F>
httplib::Server::Handler Guarded(F handler) {
  return [handler](const httplib::Request& req, httplib::Response& res) {
    try {
      handler(req, res);
    } catch (const StoreError& e) {
      tNote.outcome = std::string("Speicher: ") + e.what();
      res.set_header("Retry-After", "10");
      SetError(res, 503, "die Bestenlisten sind gerade nicht erreichbar");
    } catch (const std::exception& e) {
      tNote.outcome = std::string("Fehler: ") + e.what();
      SetError(res, 400, "die Anfrage ist nicht verarbeitbar");
    }
  };
}

void RecordsServer::Install(httplib::Server& svr) {
  svr.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    tNote = RequestNote{SteadySeconds(), true, ""};
    if (const int wait = requests_.Take(ClientAddress(req), SteadySeconds())) {
      res.set_header("Retry-After", std::to_string(wait));
      SetError(res, 429, DefaultError(429));
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  svr.Post("/api/runs", Guarded([this](const auto& req, auto& res) { Submit(req, res); }));
  svr.Get("/api/levels", Guarded([this](const auto&, auto& res) { Levels(res); }));
  svr.Get(R"(/api/boards/([^/]+)/([^/]+))",
          Guarded([this](const auto& req, auto& res) { BoardJson(req, res); }));
  svr.Get(R"(/runs/([0-9a-f]{64})\.zrp)",
          Guarded([this](const auto& req, auto& res) { RunFile(req, res); }));
  svr.Get("/", Guarded([this](const auto&, auto& res) { Index(res); }));
  svr.Get(R"(/level/([^/]+))",
          Guarded([this](const auto& req, auto& res) { LevelPage(req, res); }));
  svr.Get(R"(/run/([0-9a-f]{64}))",
          Guarded([this](const auto& req, auto& res) { RunPage(req, res); }));
  svr.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    if (res.status >= 500) res.status = 400;
    SetError(res, res.status, DefaultError(res.status));
  });
  svr.set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        SetError(res, 400, "die Anfrage ist nicht verarbeitbar");
      });
  svr.set_logger([](const httplib::Request& req, const httplib::Response& res) {
    const double ms = tNote.started ? (SteadySeconds() - tNote.start) * 1000.0 : 0.0;
    char took[32];
    std::snprintf(took, sizeof took, "%.1fms", ms);
    std::string line = IsoDate(WallMs()) + " " + Printable(ClientAddress(req), 64) + " " +
                       Printable(req.method, 16) + " " + Printable(req.target) + " " +
                       std::to_string(res.status) + " " + std::to_string(res.body.size()) + " " +
                       took;
    if (!tNote.outcome.empty()) line += " " + Printable(tNote.outcome, 200, true);
    LogLine(line);
    tNote = RequestNote();
  });
  svr.set_payload_max_length(kMaxReplayBytes);
  svr.set_tcp_nodelay(true);
  svr.set_read_timeout(10, 0);
  svr.set_write_timeout(10, 0);
  svr.set_keep_alive_timeout(5);
  svr.set_keep_alive_max_count(100);
  const int threads = o_.threads;
  svr.new_task_queue = [threads] {
    return new httplib::ThreadPool(static_cast<std::size_t>(threads));
  };
}

// A private folder for the level copies and the replays being verified.
std::string MakeWorkFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zirpel-records-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return std::string();
  ::chmod(pattern.c_str(), 0711);
  ::mkdir((pattern + "/jobs").c_str(), 0711);
  ::mkdir((pattern + "/no-levels").c_str(), 0755);
  return pattern;
}

}  // namespace

int RunServer(const ServerOptions& o, const std::string& version) {
  ::signal(SIGPIPE, SIG_IGN);
  // SIGINT and SIGTERM are taken by one thread, which stops the server.
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);

  if (::access(o.verifier.c_str(), X_OK) != 0) {
    LogLine("zirpel-records: kein ausfuehrbarer Pruefer unter " + o.verifier +
            " (--verifier PROGRAMM nennt ihn)");
    return 1;
  }
  const std::string work = MakeWorkFolder();
  if (work.empty()) {
    LogLine("zirpel-records: kein Arbeitsordner im temporaeren Ordner");
    return 1;
  }
  struct RemoveWork {
    std::string path;
    ~RemoveWork() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } removeWork{work};

  std::unique_ptr<Store> store;
  try {
    // Connections enough for the reads and the workers' commits, few enough
    // that several servers stay within a PostgreSQL's default of 100.
    store = std::make_unique<Store>(o.db, std::min(o.threads, 16) + o.workers + 2);
  } catch (const std::exception& e) {
    LogLine(std::string("zirpel-records: die Datenbank laesst sich nicht oeffnen: ") + e.what());
    return 1;
  }
  LevelLibrary levels(o.levels, work);
  const std::size_t levelCount = levels.Now()->levels.size();
  if (levelCount == 0) LogLine("zirpel-records: Warnung: keine Level in " + o.levels);

  std::unique_ptr<httplib::Server> svr;
  if (!o.tlsCert.empty()) {
    svr = std::make_unique<httplib::SSLServer>(o.tlsCert.c_str(), o.tlsKey.c_str());
  } else {
    svr = std::make_unique<httplib::Server>();
  }
  if (!svr->is_valid()) {
    LogLine("zirpel-records: Zertifikat oder Schluessel fuer TLS nicht lesbar (" + o.tlsCert +
            ", " + o.tlsKey + ")");
    return 1;
  }
  // The queue's workers end (with what waits) before the store closes.
  auto server = std::make_unique<RecordsServer>(o, *store, levels, work);
  server->Install(*svr);
  int port = o.port;
  if (port == 0) {
    port = svr->bind_to_any_port(o.host);
  } else if (!svr->bind_to_port(o.host, port)) {
    port = -1;
  }
  if (port < 0) {
    LogLine("zirpel-records: " + o.host + ":" + std::to_string(o.port) +
            " ist belegt oder nicht erreichbar");
    return 1;
  }
  const std::string scheme = o.tlsCert.empty() ? "http" : "https";
  const std::string shownHost = o.host.find(':') != std::string::npos ? "[" + o.host + "]" : o.host;
  LogLine("zirpel-records " + version + ": hoert auf " + scheme + "://" + shownHost + ":" +
          std::to_string(port) +
          " (Speicher: " + (store->Postgres() ? std::string("PostgreSQL") : "SQLite " + o.db) +
          "; Level: " + o.levels + ", " + std::to_string(levelCount) + "; Pruefer: " + o.verifier +
          ", " + std::to_string(o.workers) +
          " zugleich; Netz fuer den Pruefer: " + NetworkIsolation() + ")");

  std::thread stopper([&svr, ending] {
    int sig = 0;
    sigwait(&ending, &sig);
    if (sig == SIGINT || sig == SIGTERM) LogLine("zirpel-records: Ende auf Signal");
    svr->stop();
  });
  svr->listen_after_bind();
  // Wakes the stopper when the server ended for another reason.
  pthread_kill(stopper.native_handle(), SIGUSR1);
  stopper.join();
  server.reset();
  return 0;
}

}  // namespace records
