// Set-1 scancodes of a standard PC keyboard by USB HID usage.
#include "platform/scancodes.h"

namespace plat {
namespace {

struct Entry {
  int hid;
  int set1;
  bool extended;
};

// HID usages (as SDL_Scancode values) to PC set-1 scancodes.
// clang-format off
constexpr Entry kTable[] = {
    {4, 0x1E, false},   {5, 0x30, false},   {6, 0x2E, false},   {7, 0x20, false},  // a b c d
    {8, 0x12, false},   {9, 0x21, false},   {10, 0x22, false},  {11, 0x23, false},  // e f g h
    {12, 0x17, false},  {13, 0x24, false},  {14, 0x25, false},  {15, 0x26, false},  // i j k l
    {16, 0x32, false},  {17, 0x31, false},  {18, 0x18, false},  {19, 0x19, false},  // m n o p
    {20, 0x10, false},  {21, 0x13, false},  {22, 0x1F, false},  {23, 0x14, false},  // q r s t
    {24, 0x16, false},  {25, 0x2F, false},  {26, 0x11, false},  {27, 0x2D, false},  // u v w x
    {28, 0x15, false},  {29, 0x2C, false},                                          // y z
    {30, 0x02, false},  {31, 0x03, false},  {32, 0x04, false},  {33, 0x05, false},  // 1..4
    {34, 0x06, false},  {35, 0x07, false},  {36, 0x08, false},  {37, 0x09, false},  // 5..8
    {38, 0x0A, false},  {39, 0x0B, false},                                          // 9 0
    {40, 0x1C, false},  {41, 0x01, false},  {42, 0x0E, false},  {43, 0x0F, false},  // ret esc bs tab
    {44, 0x39, false},  {45, 0x0C, false},  {46, 0x0D, false},  {47, 0x1A, false},  // spc - = [
    {48, 0x1B, false},  {49, 0x2B, false},  {50, 0x2B, false},  {51, 0x27, false},  // ] \ # ;
    {52, 0x28, false},  {53, 0x29, false},  {54, 0x33, false},  {55, 0x34, false},  // ' ` , .
    {56, 0x35, false},  {57, 0x3A, false},                                          // / caps
    {58, 0x3B, true},   {59, 0x3C, true},   {60, 0x3D, true},   {61, 0x3E, true},   // F1..F4
    {62, 0x3F, true},   {63, 0x40, true},   {64, 0x41, true},   {65, 0x42, true},   // F5..F8
    {66, 0x43, true},   {67, 0x44, true},   {68, 0x57, true},   {69, 0x58, true},   // F9..F12
    {70, 0x37, true},   {71, 0x46, false},  {72, 0x45, true},                       // prt scrl pause
    {73, 0x52, true},   {74, 0x47, true},   {75, 0x49, true},   {76, 0x53, true},   // ins home pgup del
    {77, 0x4F, true},   {78, 0x51, true},   {79, 0x4D, true},   {80, 0x4B, true},   // end pgdn right left
    {81, 0x50, true},   {82, 0x48, true},                                           // down up
    {83, 0x45, false},  {84, 0x35, false},  {85, 0x37, false},  {86, 0x4A, false},  // num / * -
    {87, 0x4E, false},  {88, 0x1C, false},  {89, 0x4F, false},  {90, 0x50, false},  // kp+ kpenter 1 2
    {91, 0x51, false},  {92, 0x4B, false},  {93, 0x4C, false},  {94, 0x4D, false},  // kp3 4 5 6
    {95, 0x47, false},  {96, 0x48, false},  {97, 0x49, false},  {98, 0x52, false},  // kp7 8 9 0
    {99, 0x53, false},  {100, 0x56, false}, {101, 0x5D, true},                      // kp. <> menu
    {224, 0x1D, false}, {225, 0x2A, false}, {226, 0x38, false}, {227, 0x5B, true},  // lctrl lshift lalt lgui
    {228, 0x1D, false}, {229, 0x36, false}, {230, 0x38, false}, {231, 0x5C, true},  // rctrl rshift ralt rgui
};
// clang-format on

const Entry* Find(int hid) {
  for (const Entry& e : kTable) {
    if (e.hid == hid) return &e;
  }
  return nullptr;
}

}  // namespace

int Set1FromHid(int hidUsage) {
  const Entry* e = Find(hidUsage);
  return e ? e->set1 : 0;
}

bool IsExtendedHid(int hidUsage) {
  const Entry* e = Find(hidUsage);
  return e && e->extended;
}

}  // namespace plat
