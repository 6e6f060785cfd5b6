#include "records/limiter.h"

#include <algorithm>
#include <cmath>

namespace records {

AddressLimiter::AddressLimiter(double perSecond, double burst)
    : perSecond_(perSecond), burst_(std::max(1.0, burst)) {}

int AddressLimiter::Take(const std::string& address, double now) {
  if (perSecond_ <= 0.0) return 0;
  std::lock_guard lock(mutex_);
  if (now - lastSweep_ > 60.0 || buckets_.size() > 100000) {
    lastSweep_ = now;
    for (auto it = buckets_.begin(); it != buckets_.end();) {
      it = now - it->second.last > 600.0 ? buckets_.erase(it) : std::next(it);
    }
    // Still too many: an attack from many addresses; start afresh.
    if (buckets_.size() > 100000) buckets_.clear();
  }
  auto [it, fresh] = buckets_.try_emplace(address);
  Bucket& b = it->second;
  if (fresh) {
    b.tokens = burst_;
    b.last = now;
  }
  b.tokens = std::min(burst_, b.tokens + std::max(0.0, now - b.last) * perSecond_);
  b.last = now;
  if (b.tokens >= 1.0) {
    b.tokens -= 1.0;
    return 0;
  }
  return static_cast<int>(std::max(1.0, std::ceil((1.0 - b.tokens) / perSecond_)));
}

}  // namespace records
