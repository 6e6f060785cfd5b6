// SHA-256 of bytes as lower-case hex: how runs and level files are named.
#pragma once

#include <string>
#include <string_view>

namespace records {

std::string Sha256Hex(std::string_view bytes);
// Whether text is 64 lower-case hex digits (a run's id).
bool IsSha256Hex(std::string_view text);

}  // namespace records
