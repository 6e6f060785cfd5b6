// Little byte streams for the replay files: fixed-width little-endian
// integers, variable-length integers (7 bits a byte), zig-zag signed values
// and length-prefixed text. A reader never reads past its input: running out
// sets bad and yields zeros.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

inline std::uint64_t ZigZag(std::int64_t v) {
  return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}
inline std::int64_t UnZigZag(std::uint64_t v) {
  return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
}

struct ByteWriter {
  std::string out;
  void U8(std::uint8_t v) { out.push_back(static_cast<char>(v)); }
  void Fixed(std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Var(std::uint64_t v) {
    while (v >= 0x80) {
      U8(static_cast<std::uint8_t>(v | 0x80));
      v >>= 7;
    }
    U8(static_cast<std::uint8_t>(v));
  }
  void SVar(std::int64_t v) { Var(ZigZag(v)); }
  void Text(const std::string& s) {
    Var(s.size());
    out += s;
  }
};

struct ByteReader {
  const std::string& in;
  std::size_t at = 0;
  bool bad = false;
  bool beyond = false;  // a text longer than its bound (bad is set too)
  std::size_t Left() const { return in.size() - at; }
  std::uint8_t U8() {
    if (at >= in.size()) {
      bad = true;
      return 0;
    }
    return static_cast<std::uint8_t>(in[at++]);
  }
  std::uint64_t Fixed(int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(U8()) << (8 * i);
    return v;
  }
  std::uint64_t Var() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const std::uint8_t b = U8();
      v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
      if (!(b & 0x80)) return v;
    }
    bad = true;
    return 0;
  }
  std::int64_t SVar() { return UnZigZag(Var()); }
  // A count no larger than limit (and no larger than the bytes left when each
  // item needs at least one).
  std::size_t Count(std::size_t limit) {
    const std::uint64_t n = Var();
    if (n > limit) {
      bad = true;
      return 0;
    }
    return static_cast<std::size_t>(n);
  }
  // A count of items that take at least itemBytes each: no more than the
  // bytes after the count hold.
  std::size_t CountHeld(std::size_t itemBytes) {
    const std::uint64_t n = Var();
    if (bad || n > Left() / itemBytes) {
      bad = true;
      return 0;
    }
    return static_cast<std::size_t>(n);
  }
  // Text of at most limit bytes; longer text sets beyond, text the input does
  // not hold whole after its length is cut short; both set bad.
  std::string Text(std::size_t limit) {
    const std::uint64_t n = Var();
    if (bad || n > Left()) {
      bad = true;
      return std::string();
    }
    if (n > limit) {
      bad = beyond = true;
      return std::string();
    }
    std::string s = in.substr(at, static_cast<std::size_t>(n));
    at += static_cast<std::size_t>(n);
    return s;
  }
};
