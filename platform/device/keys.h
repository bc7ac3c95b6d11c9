// The US keyboard as the layer knows it: DirectInput scan codes, virtual-key
// codes, script key names and the characters each key types.
#pragma once

#include <string_view>

namespace platform {

struct KeyInfo {
  int scanCode;
  int virtualKey;
  const char* name;  // script name, or null when scripts do not name it
  char plain;        // character typed without shift, 0 if none
  char shifted;      // character typed with shift, 0 if none
};

// By script name (ESC, F1, TAB, ENTER, BACKSPACE, SPACE, LSHIFT, RSHIFT, MINUS, A-Z, 0-9,
// UP, DOWN, LEFT, RIGHT, PAGEUP, PAGEDOWN, HOME, END).
const KeyInfo* KeyByName(std::string_view name);
// The key that types c, and whether shift is needed.
const KeyInfo* KeyForChar(char c, bool* needsShift);
const KeyInfo* KeyByScanCode(int scanCode);

}  // namespace platform
