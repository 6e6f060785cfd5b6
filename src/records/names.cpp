#include "records/names.h"

#include <openssl/crypto.h>

#include <cstdint>

#include "digest/digest.h"

namespace records {
namespace {

// Decodes one UTF-8 sequence at i; false for a broken or overlong one.
bool NextCodePoint(const std::string& s, std::size_t& i, std::uint32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  int extra = 0;
  if (b < 0x80) {
    cp = b;
  } else if ((b & 0xE0) == 0xC0) {
    cp = b & 0x1F;
    extra = 1;
  } else if ((b & 0xF0) == 0xE0) {
    cp = b & 0x0F;
    extra = 2;
  } else if ((b & 0xF8) == 0xF0) {
    cp = b & 0x07;
    extra = 3;
  } else {
    return false;
  }
  if (i + static_cast<std::size_t>(extra) >= s.size()) return false;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char c = byte(i + static_cast<std::size_t>(k));
    if ((c & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (c & 0x3F);
  }
  static const std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += static_cast<std::size_t>(extra) + 1;
  return true;
}

bool Control(std::uint32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0x2028 || cp == 0x2029 ||
         (cp >= 0x200B && cp <= 0x200F) || cp == 0xFEFF || (cp >= 0x202A && cp <= 0x202E);
}

}  // namespace

bool ValidPlayerName(const std::string& name, std::string& why) {
  if (name.empty()) return (why = "der Name ist leer", false);
  std::size_t i = 0;
  int count = 0;
  bool visible = false;
  while (i < name.size()) {
    std::uint32_t cp = 0;
    if (!NextCodePoint(name, i, cp)) return (why = "der Name ist kein gueltiges UTF-8", false);
    if (Control(cp)) return (why = "der Name enthaelt Steuerzeichen", false);
    if (cp != ' ' && cp != 0xA0) visible = true;
    if (++count > kMaxNameCharacters) {
      return (why = "der Name ist laenger als 24 Zeichen", false);
    }
  }
  if (!visible) return (why = "der Name besteht nur aus Leerzeichen", false);
  return true;
}

std::string FoldName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c >= 'A' && c <= 'Z') {
      out.push_back(static_cast<char>(c - 'A' + 'a'));
    } else if (c == 0xC3 && i + 1 < name.size()) {
      // U+00C0..U+00DE (but U+00D7, the multiplication sign) fold to
      // U+00E0..U+00FE: the second byte gains 0x20.
      const unsigned char d = static_cast<unsigned char>(name[i + 1]);
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>(d >= 0x80 && d <= 0x9E && d != 0x97 ? d + 0x20 : d));
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

bool ValidKey(const std::string& key) {
  if (key.size() < 20 || key.size() > 128) return false;
  for (const char c : key) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string KeyHash(const std::string& key) {
  return Sha256Hex("zirpel-records-key\n" + key);
}

bool KeyFits(const std::string& key, const std::string& stored) {
  const std::string hash = KeyHash(key);
  return hash.size() == stored.size() &&
         CRYPTO_memcmp(hash.data(), stored.data(), hash.size()) == 0;
}

}  // namespace records
