// The game's side of the world records: the player's runs sent to the
// records server, and the world records read from it. Everything that
// waits on the network happens on one background thread; the game only
// hands over and polls, and no call here waits for the network.
//
// A run to send is written into the outbox folder first (one file, written
// through a temporary file and renamed, so a kill loses nothing) and stays
// there until the server has answered it; then what the server said is
// kept beside it as <id>.answer and the run leaves the outbox. A send that
// fails (no network, a busy or broken server) is tried again later, with a
// growing pause, also after a restart; a run made while another server was
// set waits until that one is set again. The player's key for a name is made
// here before the first send and kept in the player's config folder; the
// first run under a free name claims it with that key.
//
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace outbox {

struct RecordsSettings {
  std::string server;      // "RecordsServer": http://HOST[:PORT][/PATH] or https://...; "" off
  std::string playerName;  // "PlayerName"
  // The outbox: a game path (it follows the player like the replays do) or
  // a host path.
  std::string outboxFolder = "Res/Replays/Outbox";
  // The player's keys ("" for records-keys.txt in the player's config
  // folder).
  std::string keyFile;
  std::string caFile;  // certificates to trust for https ("" for the system's)
  // The first pause after a failed send and the longest one (seconds).
  double firstRetrySeconds = 2.0;
  double longestRetrySeconds = 300.0;
};

// Whether a RecordsServer value can be used: http:// or https://, a host,
// no spaces.
bool ValidServerUrl(const std::string& url);

// What the server said about one run.
struct SentRun {
  std::string id;      // SHA-256 of the replay's bytes, lower-case hex
  int httpStatus = 0;  // 200 for an answer about the run, 4xx for a refused request
  std::string status;  // "verified", "refused", "mismatch"; "" for a 4xx
  std::string reason;  // the server's reason (or its error for a 4xx)
  std::string level, mode, time;
  long long rank = 0;
  std::string answer;  // the JSON as the server sent it
};

struct WorldRecord {
  std::string level;  // the level's file name
  std::string mode;   // "race" or "survival"
  std::string name;
  std::string time;  // as the leaderboard writes it
  std::string id;    // the run's id, for FetchRun
  long long frames = 0;
  std::string sha256;         // the level version's SHA-256 the board belongs to
  int simulationVersion = 0;  // the simulation its runs were proven on
};

struct WorldRecords {
  bool answered = false;  // the server has answered at least once
  std::vector<WorldRecord> records;
  // The record of a level in a mode, or none.
  const WorldRecord* Find(const std::string& level, const std::string& mode) const;
};

class RecordsLink {
 public:
  // Starts the background thread when the settings name a server;
  // otherwise the link stays off and every call does nothing. Runs are sent
  // only under a name.
  explicit RecordsLink(RecordsSettings settings);
  ~RecordsLink();  // a send under way is given up; its run stays in the outbox
  RecordsLink(const RecordsLink&) = delete;
  RecordsLink& operator=(const RecordsLink&) = delete;

  bool Enabled() const { return enabled_; }
  bool CanSend() const { return canSend_; }

  // Puts a replay into the outbox (one atomic write; called once at a run's
  // end, like the leaderboard's) and wakes the sender. False, with why in
  // German, when it could not be written or the link is off.
  bool Send(const std::string& replayBytes, std::string* why = nullptr);
  // The answers received since the previous call.
  std::vector<SentRun> TakeAnswers();
  // Every answer kept in the outbox folder, by id (read at start and kept
  // up to date).
  std::map<std::string, SentRun> Answers();
  // Runs in the outbox still waiting for an answer from this server.
  int Waiting();
  // Nothing under way: no run waiting for this server, no world records or
  // run asked for and not yet fetched.
  bool Idle();

  // Asks for the world records (GET /api/levels) in the background.
  void FetchWorldRecords();
  // The latest world records (answered is false until the server answered).
  WorldRecords WorldRecordsNow();
  // Downloads a run's bytes (GET /runs/<id>.zrp) in the background.
  void FetchRun(const std::string& id);
  // True, with the bytes, once the run is here (its SHA-256 is its id);
  // taken once.
  bool TakeRun(const std::string& id, std::string& bytes);

  // The last trouble talking to the server, in German ("" after a success).
  std::string LastError();

 private:
  struct Entry {
    std::string id;
    std::string file;  // the outbox file (a game or host path)
    double nextTry = 0.0;
  };
  void Run();
  void LoadOutbox();
  void SendOne(Entry& entry);
  void FetchLevels();
  void FetchOne(const std::string& id);
  // GETs the server's path into body (at most limit bytes). False when the
  // link stops or the server does not answer 200; error_ then says why, with
  // refused(status) for an answer that is not 200.
  bool Download(const std::string& path, std::size_t limit, std::string& body,
                std::string (*refused)(int status));
  // The player's key for name on server, made and kept when there is none.
  bool KeyFor(const std::string& server, const std::string& name, std::string& key,
              std::string& why);
  std::string OutboxPath(const std::string& file) const;
  void Backoff(double retryAfter);

  RecordsSettings settings_;
  bool enabled_ = false;
  bool canSend_ = false;
  std::string keyFile_;

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::vector<Entry> entries_;
  std::vector<SentRun> fresh_;
  std::map<std::string, SentRun> answers_;
  bool wantLevels_ = false;
  std::vector<std::string> wantRuns_;
  int fetching_ = 0;     // requests of the world records or runs under way
  bool loading_ = true;  // the outbox folder is still being read
  WorldRecords records_;
  std::map<std::string, std::string> runs_;
  std::string error_;
  double pauseSeconds_ = 0.0;  // the current pause after failures
  double pausedUntil_ = 0.0;
  void* client_ = nullptr;  // the HTTP client of the request under way

  std::thread thread_;
};

}  // namespace outbox
