// What the window's keyboard messages carry, as the layer's keys and text:
// kept apart from the window (no Windows header here) so the native tests
// check them too.
#pragma once

#include <cstdint>
#include <string>

#include "platform/device/keys.h"

namespace platform {

// A key from its scan code (bits 16-23 of a key message's lParam) and the
// extended bit (bit 24): the key's place, as the SDL backend takes it. The
// keypad's keys (the same scan codes without the extended bit) are none of
// the layer's keys, but the keypad's Enter is Enter. `typed` is what the
// player's layout types with the key unshifted (MapVirtualKeyW's
// MAPVK_VK_TO_CHAR: a capital for a letter, the top bit set for a dead key,
// 0 for none), so a letter is the layout's letter wherever it sits.
// `virtualKey` is the message's wParam, for the Pause key, whose scan code
// some keyboards leave out. Key::None for a key the layer does not know.
Key KeyOfWindowsKey(unsigned scanCode, bool extended, unsigned virtualKey, uint32_t typed);

// Typed text from WM_CHAR, one UTF-16 unit per message: a surrogate pair
// spans two messages and becomes one character. Control characters (below
// 0x20, and DEL, which Ctrl+Backspace types) are keys, not text.
class Utf16Text {
 public:
  // The UTF-8 of the character this unit completes, or empty (the first
  // half of a pair, a control character, a half without its partner).
  std::string Take(uint16_t unit);

 private:
  uint16_t high_ = 0;  // a pair's first half, waiting for its second
};

}  // namespace platform
