// Slows down an address that sends too much: a bucket of tokens per
// address, refilled at a steady rate up to a burst. A request with no token
// left is told how many seconds to wait. Addresses not seen for ten
// minutes are forgotten; at most 100,000 are remembered.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>

namespace records {

class AddressLimiter {
 public:
  // perSecond <= 0: no limit.
  AddressLimiter(double perSecond, double burst);
  // 0 when the address may go on (a token is taken), else the seconds (at
  // least 1) until it may.
  int Take(const std::string& address, double nowSeconds);

 private:
  struct Bucket {
    double tokens = 0.0;
    double last = 0.0;
  };
  double perSecond_, burst_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
  double lastSweep_ = 0.0;
};

}  // namespace records
