#include "records/verify_queue.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace records {

VerifyQueue::VerifyQueue(int workers, std::size_t capacity, Work work)
    : work_(std::move(work)), capacity_(capacity), workers_(std::max(1, workers)) {
  for (int i = 0; i < workers_; ++i) threads_.emplace_back([this] { Worker(); });
}

VerifyQueue::~VerifyQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  ready_.notify_all();
  for (std::thread& t : threads_) t.join();
}

std::optional<std::shared_future<Verification>> VerifyQueue::Submit(const std::string& id,
                                                                    const std::string& bytes) {
  std::lock_guard lock(mutex_);
  const auto known = inFlight_.find(id);
  if (known != inFlight_.end()) return known->second;
  if (jobs_.size() >= capacity_ || stopping_) return std::nullopt;
  Job job;
  job.id = id;
  job.bytes = bytes;
  std::shared_future<Verification> result = job.promise.get_future().share();
  inFlight_.emplace(id, result);
  jobs_.push_back(std::move(job));
  ready_.notify_one();
  return result;
}

int VerifyQueue::RetryAfterSeconds() {
  std::lock_guard lock(mutex_);
  const double wait = meanSeconds_ *
                      static_cast<double>(jobs_.size() + static_cast<std::size_t>(workers_)) /
                      static_cast<double>(workers_);
  return static_cast<int>(std::clamp(std::ceil(wait), 1.0, 120.0));
}

void VerifyQueue::Worker() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    const auto start = std::chrono::steady_clock::now();
    Verification result;
    try {
      result = work_(job.id, job.bytes);
    } catch (...) {
      result.outcome.verdict = Verdict::kUnavailable;
      result.outcome.reason = "die Pruefung schlug fehl";
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    {
      std::lock_guard lock(mutex_);
      meanSeconds_ = 0.8 * meanSeconds_ + 0.2 * seconds;
      inFlight_.erase(job.id);
    }
    job.promise.set_value(std::move(result));
  }
}

}  // namespace records
