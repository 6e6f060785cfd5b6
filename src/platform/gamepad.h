// The game controller, mapped onto the keys the game already reads: both
// backends feed a pad's buttons and stick into a PadMapping (the window from
// SDL's game controllers, the headless runner from its script) and take back
// key strings, key presses and held keys. This is the one place the mapping
// lives:
//   d-pad and left stick  cursor keys (key strings with repeat; held: steer)
//   A                     Enter; held, the boost Space gives
//   B, Back               Esc
//   Start                 Pause
//   Y, X                  the end screens' restart (Y position) and quit (N)
#pragma once

#include <string>
#include <vector>

namespace plat {

// SDL's game-controller names: "a", "b", "x", "y", "back", "start",
// "dpup", "dpdown", "dpleft", "dpright"; axes "leftx", "lefty".
enum class PadButton { kA, kB, kX, kY, kBack, kStart, kUp, kDown, kLeft, kRight, kCount };
enum class PadAxis { kLeftX, kLeftY, kCount };
bool PadButtonNamed(const std::string& name, PadButton& button);
bool PadAxisNamed(const std::string& name, PadAxis& axis);

// What a pad did since the backend last asked: key strings for the key
// buffer and set-1 scancodes that went down (presses, for the latching of
// quick taps and for the asynchronous Pause and Esc).
struct PadOutput {
  std::vector<std::string> keys;
  std::vector<int> presses;
};

class PadMapping {
 public:
  // A menu move repeats after this long held, then at this interval.
  static constexpr double kRepeatDelay = 0.4;
  static constexpr double kRepeatInterval = 0.1;
  // The stick counts as pushed beyond kStickOn and let go below kStickOff.
  static constexpr double kStickOn = 0.5;
  static constexpr double kStickOff = 0.3;

  // A button goes down or up at `now` (timer seconds).
  void Button(PadButton button, bool down, double now, PadOutput& out);
  // An axis moves to value in [-1, 1] (y: negative is up, as SDL has it).
  void Axis(PadAxis axis, double value, double now, PadOutput& out);
  // The repeat of held directions up to `now`; call at every input poll.
  void Repeat(double now, PadOutput& out);
  // Whether the pad holds the key with this set-1 scancode now.
  bool Holds(int scancode) const;

 private:
  enum Direction { kDirUp, kDirDown, kDirLeft, kDirRight, kDirections };
  bool DirectionHeld(int d) const { return dpad_[d] || stick_[d]; }
  void SetDirection(int d, bool dpad, bool down, double now, PadOutput& out);

  bool buttons_[static_cast<int>(PadButton::kCount)] = {};
  bool dpad_[kDirections] = {};
  bool stick_[kDirections] = {};
  double nextRepeat_[kDirections] = {};
};

}  // namespace plat
