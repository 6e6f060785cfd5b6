#include "digest/digest.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdint>

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 15]);
  }
  return hex;
}

bool IsSha256Hex(std::string_view text) {
  if (text.size() != 64) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string NewKey() {
  unsigned char raw[32];
  if (RAND_bytes(raw, sizeof raw) != 1) return std::string();
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string key;
  std::uint32_t acc = 0;
  int bits = 0;
  for (const unsigned char b : raw) {
    acc = (acc << 8) | b;
    bits += 8;
    while (bits >= 6) {
      bits -= 6;
      key.push_back(kAlphabet[(acc >> bits) & 63]);
    }
  }
  if (bits > 0) key.push_back(kAlphabet[(acc << (6 - bits)) & 63]);
  return key;
}
