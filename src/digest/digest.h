// SHA-256 digests and secret keys: how runs and level versions are named,
// and the keys that guard a player's name, on the server and in the game.
#pragma once

#include <string>
#include <string_view>

// SHA-256 of bytes as lower-case hex.
std::string Sha256Hex(std::string_view bytes);
// Whether text is 64 lower-case hex digits (a run's id).
bool IsSha256Hex(std::string_view text);
// A fresh key: 256 random bits as 43 characters of base64url; "" without the
// system's randomness (no key can be trusted then).
std::string NewKey();
