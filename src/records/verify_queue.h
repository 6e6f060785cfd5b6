// Verification, queued: a fixed number of workers take submissions from a
// bounded queue. A full queue takes nothing (the caller answers 429 with
// the wait RetryAfterSeconds estimates); the same bytes submitted while
// they wait or are being verified share the one verification.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "records/verifier.h"

namespace records {

struct Verification {
  VerifierOutcome outcome;
  std::string levelSha256;  // of the level file the run was proven on
};

class VerifyQueue {
 public:
  using Work = std::function<Verification(const std::string& id, const std::string& bytes)>;
  VerifyQueue(int workers, std::size_t capacity, Work work);
  ~VerifyQueue();  // verifies what waits, then stops
  VerifyQueue(const VerifyQueue&) = delete;
  VerifyQueue& operator=(const VerifyQueue&) = delete;

  // The verification to wait for; nullopt when the queue is full.
  std::optional<std::shared_future<Verification>> Submit(const std::string& id,
                                                         const std::string& bytes);
  // Seconds a refused submitter should wait: the queue's length times the
  // mean time of a verification, over the workers (1 to 120).
  int RetryAfterSeconds();

 private:
  struct Job {
    std::string id;
    std::string bytes;
    std::promise<Verification> promise;
  };
  void Worker();

  Work work_;
  std::size_t capacity_;
  int workers_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> jobs_;
  std::map<std::string, std::shared_future<Verification>> inFlight_;
  double meanSeconds_ = 0.5;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace records
