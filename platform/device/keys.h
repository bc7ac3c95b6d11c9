// The US keyboard as the layer knows it: its own key codes, which the
// backends report and scripts name, with the characters each key types. The
// Windows codes of a key (scan code, virtual key) are the Windows-shaped
// interface's business (platform/win/key_codes.h).
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

enum class Key : uint8_t {
  None,
  Escape,
  Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9, Digit0,
  Minus, Equals, Backspace, Tab,
  Q, W, E, R, T, Y, U, I, O, P, LeftBracket, RightBracket, Enter,
  A, S, D, F, G, H, J, K, L, Semicolon, Apostrophe, Grave, LeftShift, Backslash,
  Z, X, C, V, B, N, M, Comma, Period, Slash, RightShift,
  Space, F1,
  Home, Up, PageUp, Left, Right, End, Down, PageDown,
  Pause,
};
// Every code is below this, so state can be kept in an array by code.
constexpr int kKeyCount = static_cast<int>(Key::Pause) + 1;

struct KeyInfo {
  Key key;
  const char* name;  // script name, or null when scripts do not name it
  char plain;        // character typed without shift, 0 if none
  char shifted;      // character typed with shift, 0 if none
};

// By script name (ESC, F1, TAB, ENTER, BACKSPACE, SPACE, LSHIFT, RSHIFT, MINUS, A-Z, 0-9,
// UP, DOWN, LEFT, RIGHT, PAGEUP, PAGEDOWN, HOME, END, PAUSE).
const KeyInfo* KeyByName(std::string_view name);
// The key that types c, and whether shift is needed.
const KeyInfo* KeyForChar(char c, bool* needsShift);
// Null for Key::None.
const KeyInfo* KeyInfoOf(Key key);

// A key as the player's layout means it, from the character the key types
// (unshifted where the backend can tell) and the key at its place: a letter
// is that letter's key wherever the layout put it; a sign typed at a letter's
// place (the French "," where a US M is) is the key a US keyboard types it
// with unshifted, or none; anything else (a character beyond ASCII, a key
// typing nothing) is the key at its place.
Key KeyByLayout(char32_t typed, Key placed, bool letterPlace);

}  // namespace platform
