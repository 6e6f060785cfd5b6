#include "outbox/outbox.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <random>

#include "digest/digest.h"
#include "platform/platform.h"
#include "platform/player_files.h"

namespace outbox {
namespace {

using Json = nlohmann::json;

constexpr std::size_t kMaxReplayBytes = 256 * 1024;
constexpr std::size_t kMaxEnvelopeBytes = kMaxReplayBytes + 4096;
constexpr std::size_t kMaxAnswerBytes = 64 * 1024;
constexpr std::size_t kMaxLevelsBytes = 4 << 20;
constexpr std::size_t kMaxKeyFileBytes = 64 * 1024;
constexpr const char* kEnvelopeMagic = "ZIRPEL-OUTBOX 1\n";

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

namespace {

bool IsId(const std::string& text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// A name as the server compares it, near enough for finding its key: ASCII
// letters in lower case.
std::string Folded(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

struct Url {
  std::string base;    // scheme://host[:port]
  std::string prefix;  // a path in front of the server's own ("" or "/x")
};

bool SplitUrl(const std::string& url, Url& out) {
  std::size_t start = 0;
  if (url.rfind("http://", 0) == 0) {
    start = 7;
  } else if (url.rfind("https://", 0) == 0) {
    start = 8;
  } else {
    return false;
  }
  for (const char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  }
  const std::size_t slash = url.find('/', start);
  out.base = url.substr(0, slash);
  out.prefix = slash == std::string::npos ? std::string() : url.substr(slash);
  while (!out.prefix.empty() && out.prefix.back() == '/') out.prefix.pop_back();
  return out.base.size() > start;
}

struct Envelope {
  std::string server, name, bytes;
};

std::string MakeEnvelope(const Envelope& e) {
  return std::string(kEnvelopeMagic) + "server " + e.server + "\nname " + e.name + "\n\n" + e.bytes;
}

bool ReadEnvelope(const std::string& text, Envelope& e) {
  const std::string magic = kEnvelopeMagic;
  if (text.compare(0, magic.size(), magic) != 0) return false;
  const std::size_t end = text.find("\n\n", magic.size());
  if (end == std::string::npos || end > 4096) return false;
  std::size_t at = magic.size();
  while (at < end) {
    const std::size_t nl = text.find('\n', at);
    const std::string line = text.substr(at, nl - at);
    if (line.rfind("server ", 0) == 0) e.server = line.substr(7);
    if (line.rfind("name ", 0) == 0) e.name = line.substr(5);
    at = nl + 1;
  }
  e.bytes = text.substr(end + 2);
  return !e.server.empty() && !e.name.empty() && !e.bytes.empty();
}

SentRun RunFromAnswer(const std::string& id, int httpStatus, const std::string& answer) {
  SentRun run;
  run.id = id;
  run.httpStatus = httpStatus;
  run.answer = answer;
  const Json j = Json::parse(answer, nullptr, false);
  if (!j.is_object()) return run;
  auto text = [&](const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  run.status = text("status");
  run.reason = httpStatus == 200 ? text("reason") : text("error");
  run.level = text("level");
  run.mode = text("mode");
  run.time = text("time");
  const auto rank = j.find("rank");
  if (rank != j.end() && rank->is_number_integer()) run.rank = rank->get<long long>();
  return run;
}

std::string Describe(httplib::Error error) {
  switch (error) {
    case httplib::Error::Connection:
      return "keine Verbindung zum Weltrekord-Server";
    case httplib::Error::Read:
    case httplib::Error::Write:
      return "die Verbindung zum Weltrekord-Server brach ab";
    case httplib::Error::SSLConnection:
    case httplib::Error::SSLLoadingCerts:
    case httplib::Error::SSLServerVerification:
      return "die sichere Verbindung zum Weltrekord-Server misslang";
    case httplib::Error::Canceled:
      return "zu viele Daten vom Weltrekord-Server";
    default:
      return "der Weltrekord-Server antwortet nicht";
  }
}

}  // namespace

bool ValidServerUrl(const std::string& url) {
  Url u;
  return SplitUrl(url, u);
}

const WorldRecord* WorldRecords::Find(const std::string& level, const std::string& mode) const {
  for (const WorldRecord& r : records) {
    if (r.level == level && r.mode == mode) return &r;
  }
  return nullptr;
}

RecordsLink::RecordsLink(RecordsSettings settings) : settings_(std::move(settings)) {
  std::string name = settings_.playerName;
  const bool nameOk =
      !name.empty() && name.size() <= 96 && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
      });
  enabled_ = ValidServerUrl(settings_.server);
  canSend_ = enabled_ && nameOk;
  while (!settings_.server.empty() && settings_.server.back() == '/') settings_.server.pop_back();
  keyFile_ = settings_.keyFile;
  if (keyFile_.empty()) {
    const std::string folder = plat::PlayerConfigFolder();
    keyFile_ = folder.empty() ? "Res/records-keys.txt" : folder + "/records-keys.txt";
  }
  loading_ = enabled_;
  if (enabled_) thread_ = std::thread([this] { Run(); });
}

RecordsLink::~RecordsLink() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    if (client_) static_cast<httplib::Client*>(client_)->stop();
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::string RecordsLink::OutboxPath(const std::string& file) const {
  return settings_.outboxFolder + "/" + file;
}

bool RecordsLink::Send(const std::string& replayBytes, std::string* why) {
  auto fail = [&](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  if (!enabled_) return fail("kein Weltrekord-Server eingestellt");
  if (!canSend_) return fail("kein Spielername eingestellt (PlayerName)");
  if (replayBytes.empty() || replayBytes.size() > kMaxReplayBytes) {
    return fail("der Lauf ist zu gross fuer den Weltrekord-Server");
  }
  const std::string id = Sha256Hex(replayBytes);
  {
    std::lock_guard lock(mutex_);
    if (answers_.count(id)) return true;
    for (const Entry& e : entries_) {
      if (e.id == id) return true;
    }
  }
  const std::string file = OutboxPath(id + ".zout");
  if (settings_.outboxFolder.rfind("Res/", 0) != 0) plat::MakeFolder(settings_.outboxFolder);
  std::string reason;
  if (!plat::WriteFileAtomically(
          file, MakeEnvelope({settings_.server, settings_.playerName, replayBytes}), &reason)) {
    return fail(reason);
  }
  {
    // The outbox thread's first look at the folder may have found the file
    // already, between the write and this line: one entry per run.
    std::lock_guard lock(mutex_);
    const bool known =
        std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.id == id; });
    if (!known) entries_.push_back({id, file, 0.0});
  }
  wake_.notify_all();
  return true;
}

std::vector<SentRun> RecordsLink::TakeAnswers() {
  std::lock_guard lock(mutex_);
  std::vector<SentRun> out;
  out.swap(fresh_);
  return out;
}

std::map<std::string, SentRun> RecordsLink::Answers() {
  std::lock_guard lock(mutex_);
  return answers_;
}

int RecordsLink::Waiting() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(entries_.size());
}

bool RecordsLink::Idle() {
  std::lock_guard lock(mutex_);
  return !loading_ && entries_.empty() && !wantLevels_ && wantRuns_.empty() && fetching_ == 0;
}

void RecordsLink::FetchWorldRecords() {
  if (!enabled_) return;
  {
    std::lock_guard lock(mutex_);
    wantLevels_ = true;
  }
  wake_.notify_all();
}

WorldRecords RecordsLink::WorldRecordsNow() {
  std::lock_guard lock(mutex_);
  return records_;
}

void RecordsLink::FetchRun(const std::string& id) {
  if (!enabled_ || !IsId(id)) return;
  {
    std::lock_guard lock(mutex_);
    if (std::find(wantRuns_.begin(), wantRuns_.end(), id) == wantRuns_.end()) {
      wantRuns_.push_back(id);
    }
  }
  wake_.notify_all();
}

bool RecordsLink::TakeRun(const std::string& id, std::string& bytes) {
  std::lock_guard lock(mutex_);
  const auto it = runs_.find(id);
  if (it == runs_.end()) return false;
  bytes = std::move(it->second);
  runs_.erase(it);
  return true;
}

std::string RecordsLink::LastError() {
  std::lock_guard lock(mutex_);
  return error_;
}

void RecordsLink::LoadOutbox() {
  std::map<std::string, SentRun> answers;
  for (const std::string& file : plat::ListFiles(OutboxPath("*.answer"))) {
    const std::string id = file.substr(0, file.size() - 7);
    std::string text, why;
    if (!IsId(id) || !plat::ReadFileBytes(OutboxPath(file), kMaxAnswerBytes * 2, text, why)) {
      continue;
    }
    const Json kept = Json::parse(text, nullptr, false);
    if (!kept.is_object()) continue;
    const auto status = kept.find("httpStatus");
    const auto answer = kept.find("answer");
    if (status == kept.end() || !status->is_number_integer() || answer == kept.end() ||
        !answer->is_string()) {
      continue;
    }
    answers[id] = RunFromAnswer(id, status->get<int>(), answer->get<std::string>());
  }
  std::vector<Entry> entries;
  for (const std::string& file : plat::ListFiles(OutboxPath("*.zout"))) {
    const std::string id = file.substr(0, file.size() - 5);
    if (!IsId(id)) continue;
    // Answered, but killed before the run left the outbox.
    if (answers.count(id)) {
      plat::RemoveFile(OutboxPath(file));
      continue;
    }
    entries.push_back({id, OutboxPath(file), 0.0});
  }
  std::lock_guard lock(mutex_);
  for (auto& [id, run] : answers) answers_.emplace(id, run);
  for (const Entry& e : entries) {
    const bool known =
        std::any_of(entries_.begin(), entries_.end(), [&](const Entry& k) { return k.id == e.id; });
    if (!known) entries_.push_back(e);
  }
}

bool RecordsLink::KeyFor(const std::string& server, const std::string& name, std::string& key,
                         std::string& why) {
  // One line per server and name: server TAB name TAB key.
  std::string text;
  std::string ignored;
  std::vector<std::string> lines;
  if (plat::ReadFileBytes(keyFile_, kMaxKeyFileBytes, text, ignored)) {
    lines = plat::SplitTextLines(text);
  }
  const std::string wanted = server + "\t" + Folded(name) + "\t";
  for (const std::string& line : lines) {
    if (line.rfind(wanted, 0) == 0 && line.size() > wanted.size()) {
      key = line.substr(wanted.size());
      return true;
    }
  }
  key = NewKey();
  if (key.empty()) return (why = "kein Zufall fuer einen Schluessel", false);
  std::string out;
  for (const std::string& line : lines) {
    if (!line.empty()) out += line + "\n";
  }
  out += wanted + key + "\n";
  const std::size_t slash = keyFile_.rfind('/');
  if (keyFile_.rfind("Res/", 0) != 0 && slash != std::string::npos) {
    plat::MakeFolder(keyFile_.substr(0, slash));
  }
  // The key is kept before the run that claims the name is sent: a kill
  // in between cannot leave a name claimed with a key nobody has.
  return plat::WriteFileAtomically(keyFile_, out, &why);
}

void RecordsLink::Backoff(double retryAfter) {
  static thread_local std::mt19937 jitter(std::random_device{}());
  pauseSeconds_ = pauseSeconds_ <= 0.0
                      ? settings_.firstRetrySeconds
                      : std::min(settings_.longestRetrySeconds, pauseSeconds_ * 2.0);
  const double spread = std::uniform_real_distribution<double>(0.8, 1.2)(jitter);
  pausedUntil_ = Now() + std::max(pauseSeconds_ * spread, std::min(retryAfter, 3600.0));
}

void RecordsLink::SendOne(Entry& entry) {
  std::string text, why;
  Envelope env;
  if (!plat::ReadFileBytes(entry.file, kMaxEnvelopeBytes, text, why) || !ReadEnvelope(text, env) ||
      Sha256Hex(env.bytes) != entry.id) {
    // Not a run this game wrote whole: it can never be sent.
    std::lock_guard lock(mutex_);
    error_ = "unlesbar im Ausgang: " + entry.file;
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) { return e.id == entry.id; }),
                   entries_.end());
    return;
  }
  if (env.server != settings_.server) {
    // Made for another server: it waits in the outbox until that server is
    // set again.
    std::lock_guard lock(mutex_);
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) { return e.id == entry.id; }),
                   entries_.end());
    return;
  }
  std::string key;
  const bool haveKey = KeyFor(env.server, env.name, key, why);
  Url url;
  if (!haveKey || !SplitUrl(env.server, url)) {
    std::lock_guard lock(mutex_);
    error_ = haveKey ? "ungueltige Server-Adresse" : "Schluessel nicht speicherbar: " + why;
    Backoff(0.0);
    return;
  }
  httplib::Client client(url.base);
  client.set_connection_timeout(5, 0);
  client.set_read_timeout(60, 0);
  client.set_write_timeout(30, 0);
  if (!settings_.caFile.empty()) client.set_ca_cert_path(settings_.caFile);
  client.enable_server_certificate_verification(true);
  client.set_tcp_nodelay(true);
  httplib::Request req;
  req.method = "POST";
  req.path = url.prefix + "/api/runs";
  req.set_header("Content-Type", "application/octet-stream");
  req.set_header("X-Zirpel-Name", env.name);
  req.set_header("X-Zirpel-Key", key);
  req.body = env.bytes;
  std::string answer;
  bool tooLong = false;
  req.content_receiver = [&](const char* data, std::size_t length, uint64_t, uint64_t) {
    if (answer.size() + length > kMaxAnswerBytes) return !(tooLong = true);
    answer.append(data, length);
    return true;
  };
  httplib::Response res;
  httplib::Error error = httplib::Error::Success;
  {
    std::lock_guard lock(mutex_);
    if (stop_) return;
    client_ = &client;
  }
  const bool sent = client.send(req, res, error);
  {
    std::lock_guard lock(mutex_);
    client_ = nullptr;
    if (stop_) return;
  }
  const int status = sent ? res.status : 0;
  if (!sent || tooLong || status == 408 || status == 429 || status >= 500 || status < 200) {
    double retryAfter = 0.0;
    if (sent && res.has_header("Retry-After")) {
      retryAfter = std::atof(res.get_header_value("Retry-After").c_str());
    }
    std::lock_guard lock(mutex_);
    error_ = !sent ? Describe(error)
                   : "der Weltrekord-Server ist beschaeftigt (" + std::to_string(status) + ")";
    Backoff(retryAfter);
    return;
  }
  // The server has answered: what it said is kept, then the run leaves the
  // outbox.
  Json kept;
  kept["httpStatus"] = status;
  kept["answer"] = answer;
  kept["server"] = env.server;
  kept["name"] = env.name;
  std::string keepWhy;
  if (!plat::WriteFileAtomically(OutboxPath(entry.id + ".answer"),
                                 kept.dump(-1, ' ', false, Json::error_handler_t::replace),
                                 &keepWhy)) {
    std::lock_guard lock(mutex_);
    error_ = "Antwort nicht speicherbar: " + keepWhy;
    Backoff(0.0);
    return;
  }
  plat::RemoveFile(entry.file);
  const SentRun run = RunFromAnswer(entry.id, status, answer);
  std::lock_guard lock(mutex_);
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const Entry& e) { return e.id == entry.id; }),
                 entries_.end());
  answers_[entry.id] = run;
  fresh_.push_back(run);
  error_.clear();
  pauseSeconds_ = 0.0;
  pausedUntil_ = 0.0;
}

bool RecordsLink::Download(const std::string& path, std::size_t limit, std::string& body,
                           std::string (*refused)(int status)) {
  Url url;
  SplitUrl(settings_.server, url);
  httplib::Client client(url.base);
  client.set_connection_timeout(5, 0);
  client.set_read_timeout(20, 0);
  if (!settings_.caFile.empty()) client.set_ca_cert_path(settings_.caFile);
  client.enable_server_certificate_verification(true);
  client.set_tcp_nodelay(true);
  {
    std::lock_guard lock(mutex_);
    if (stop_) return false;
    client_ = &client;
  }
  const auto res = client.Get(url.prefix + path, [&](const char* data, std::size_t length) {
    if (body.size() + length > limit) return false;
    body.append(data, length);
    return true;
  });
  std::lock_guard lock(mutex_);
  client_ = nullptr;
  if (res && res->status == 200) return true;
  error_ = res ? refused(res->status) : Describe(res.error());
  return false;
}

void RecordsLink::FetchLevels() {
  std::string body;
  if (!Download("/api/levels", kMaxLevelsBytes, body, [](int status) {
        return "der Weltrekord-Server antwortet mit " + std::to_string(status);
      })) {
    return;
  }
  // Read outside the lock: the game's frames ask for the records meanwhile.
  const Json all = Json::parse(body, nullptr, false);
  if (!all.is_array()) {
    std::lock_guard lock(mutex_);
    error_ = "unlesbare Weltrekorde";
    return;
  }
  WorldRecords records;
  records.answered = true;
  for (const Json& level : all) {
    if (!level.is_object()) continue;
    const auto record = level.find("record");
    if (record == level.end() || !record->is_object()) continue;
    auto text = [](const Json& j, const char* key) {
      const auto it = j.find(key);
      return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    WorldRecord r;
    r.level = text(level, "level");
    r.mode = text(level, "mode");
    r.name = text(*record, "name");
    r.time = text(*record, "time");
    r.id = text(*record, "id");
    r.sha256 = text(level, "sha256");
    const auto version = level.find("simulationVersion");
    if (version != level.end() && version->is_number_integer()) {
      r.simulationVersion = version->get<int>();
    }
    const auto frames = record->find("frames");
    if (frames != record->end() && frames->is_number_integer()) r.frames = frames->get<long long>();
    if (!r.level.empty() && IsId(r.id)) records.records.push_back(r);
  }
  std::lock_guard lock(mutex_);
  records_ = std::move(records);
  error_.clear();
}

void RecordsLink::FetchOne(const std::string& id) {
  std::string body;
  if (!Download("/runs/" + id + ".zrp", kMaxReplayBytes, body,
                [](int) { return std::string("der Lauf ist auf dem Server nicht zu finden"); })) {
    return;
  }
  std::lock_guard lock(mutex_);
  if (Sha256Hex(body) != id) {
    error_ = "der Lauf vom Server ist nicht der verlangte";
    return;
  }
  runs_[id] = std::move(body);
  error_.clear();
}

void RecordsLink::Run() {
  LoadOutbox();
  std::unique_lock lock(mutex_);
  loading_ = false;
  while (!stop_) {
    if (wantLevels_) {
      wantLevels_ = false;
      ++fetching_;
      lock.unlock();
      FetchLevels();
      lock.lock();
      --fetching_;
      continue;
    }
    if (!wantRuns_.empty()) {
      const std::string id = wantRuns_.front();
      wantRuns_.erase(wantRuns_.begin());
      ++fetching_;
      lock.unlock();
      FetchOne(id);
      lock.lock();
      --fetching_;
      continue;
    }
    const double now = Now();
    if (!entries_.empty() && now >= pausedUntil_) {
      Entry entry = entries_.front();
      // The next one waits its turn behind the others.
      std::rotate(entries_.begin(), entries_.begin() + 1, entries_.end());
      lock.unlock();
      SendOne(entry);
      lock.lock();
      continue;
    }
    if (entries_.empty()) {
      wake_.wait(lock);
    } else {
      wake_.wait_for(lock, std::chrono::duration<double>(pausedUntil_ - now));
    }
  }
}

}  // namespace outbox
