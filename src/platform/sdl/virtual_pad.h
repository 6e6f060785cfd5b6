// A virtual game controller driven by text lines, for the real-window test:
// SDL attaches a virtual joystick that its game-controller layer takes for a
// pad, so the window backend's own hot-plugging and mapping meet it like a
// real one. Only the test tool zirpel-vpad uses this.
#pragma once

namespace plat {

// From now on, every input poll of the window backend runs the next complete
// line waiting on fd (which is made non-blocking), one command a line:
//   attach                 a virtual pad is plugged in
//   detach                 it is pulled out again
//   press NAME, release NAME
//                          a button by SDL's name (a, b, x, y, back, start,
//                          dpup, dpdown, dpleft, dpright)
//   axis NAME VALUE        leftx or lefty to a value from -1 to 1
// Unknown lines are named on standard error and skipped.
void ScriptVirtualPad(int fd);
// Runs the next line of the script; the window backend calls it at each pump.
void PumpVirtualPadScript();

}  // namespace plat
