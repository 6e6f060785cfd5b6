// 64-bit FNV-1a: the one hash of the game's fingerprints (the simulation's
// state, a level file's bytes). Equal bytes give equal hashes on every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class Fnv1a {
 public:
  static constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ull;
  static constexpr std::uint64_t kPrime = 0x100000001b3ull;

  explicit Fnv1a(std::uint64_t basis = kOffsetBasis) : hash_(basis) {}

  void Bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) {
      hash_ ^= p[i];
      hash_ *= kPrime;
    }
  }
  void Float(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    Bytes(&bits, sizeof bits);
  }
  void Int(std::int64_t v) { Bytes(&v, sizeof v); }
  // Length first, so "ab","c" and "a","bc" differ.
  void String(const std::string& s) {
    Int(static_cast<std::int64_t>(s.size()));
    Bytes(s.data(), s.size());
  }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_;
};
