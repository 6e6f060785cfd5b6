// Players' names and their secret keys. A name is 1 to 24 printable
// characters (UTF-8, no control characters, not only spaces); names that
// differ only in letter case are the same name. The key that claims a name
// is stored only as its hash.
#pragma once

#include <string>

namespace records {

constexpr int kMaxNameCharacters = 24;

// Whether text may be a player's name; why (German) when not.
bool ValidPlayerName(const std::string& name, std::string& why);
// The name as it is compared: letters folded to lower case (ASCII and the
// Latin-1 letters, so "Äpfel" and "äPFEL" are one name).
std::string FoldName(const std::string& name);

// A key the client chose itself: 20 to 128 of [A-Za-z0-9_-].
bool ValidKey(const std::string& key);
// What is stored of a key.
std::string KeyHash(const std::string& key);
// Whether key hashes to stored, in time that does not depend on where they
// differ.
bool KeyFits(const std::string& key, const std::string& stored);

}  // namespace records
