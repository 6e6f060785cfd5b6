// Set-1 scancodes of a standard PC keyboard and the host keys behind them.
#pragma once

namespace plat {

// The set-1 scancode byte of a key named by its USB HID usage (the numbering
// SDL's scancodes use), 0 for keys without one. Extended keys (cursor block,
// navigation keys, right-hand modifiers) share their byte with the keypad key
// of the same position, as set 1 sends them after an E0 prefix.
int Set1FromHid(int hidUsage);

// Whether a key is an extended key: it arrives as byte 255 + its set-1 byte
// instead of as a character.
bool IsExtendedHid(int hidUsage);

}  // namespace plat
