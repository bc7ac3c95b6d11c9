#include "platform/win/key_codes.h"

#include <cstring>

#include "platform/device/input.h"
#include "platform/win/wintypes.h"

namespace platform {
namespace {

struct KeyCodes {
  Key key;
  WindowsKeyCodes codes;
};

// US keyboard scan codes; the extended keys (the arrows and the block above
// them) as DirectInput numbers them, 0x80 above their base codes.
constexpr KeyCodes kCodes[] = {
    {Key::Escape, {0x01, 0x1B}},
    {Key::Digit1, {0x02, '1'}},
    {Key::Digit2, {0x03, '2'}},
    {Key::Digit3, {0x04, '3'}},
    {Key::Digit4, {0x05, '4'}},
    {Key::Digit5, {0x06, '5'}},
    {Key::Digit6, {0x07, '6'}},
    {Key::Digit7, {0x08, '7'}},
    {Key::Digit8, {0x09, '8'}},
    {Key::Digit9, {0x0A, '9'}},
    {Key::Digit0, {0x0B, '0'}},
    {Key::Minus, {0x0C, 0xBD}},
    {Key::Equals, {0x0D, 0xBB}},
    {Key::Backspace, {0x0E, 0x08}},
    {Key::Tab, {0x0F, 0x09}},
    {Key::Q, {0x10, 'Q'}},
    {Key::W, {0x11, 'W'}},
    {Key::E, {0x12, 'E'}},
    {Key::R, {0x13, 'R'}},
    {Key::T, {0x14, 'T'}},
    {Key::Y, {0x15, 'Y'}},
    {Key::U, {0x16, 'U'}},
    {Key::I, {0x17, 'I'}},
    {Key::O, {0x18, 'O'}},
    {Key::P, {0x19, 'P'}},
    {Key::LeftBracket, {0x1A, 0xDB}},
    {Key::RightBracket, {0x1B, 0xDD}},
    {Key::Enter, {0x1C, 0x0D}},
    {Key::A, {0x1E, 'A'}},
    {Key::S, {0x1F, 'S'}},
    {Key::D, {0x20, 'D'}},
    {Key::F, {0x21, 'F'}},
    {Key::G, {0x22, 'G'}},
    {Key::H, {0x23, 'H'}},
    {Key::J, {0x24, 'J'}},
    {Key::K, {0x25, 'K'}},
    {Key::L, {0x26, 'L'}},
    {Key::Semicolon, {0x27, 0xBA}},
    {Key::Apostrophe, {0x28, 0xDE}},
    {Key::Grave, {0x29, 0xC0}},
    {Key::LeftShift, {0x2A, 0x10}},
    {Key::Backslash, {0x2B, 0xDC}},
    {Key::Z, {0x2C, 'Z'}},
    {Key::X, {0x2D, 'X'}},
    {Key::C, {0x2E, 'C'}},
    {Key::V, {0x2F, 'V'}},
    {Key::B, {0x30, 'B'}},
    {Key::N, {0x31, 'N'}},
    {Key::M, {0x32, 'M'}},
    {Key::Comma, {0x33, 0xBC}},
    {Key::Period, {0x34, 0xBE}},
    {Key::Slash, {0x35, 0xBF}},
    {Key::RightShift, {0x36, 0x10}},
    {Key::Space, {0x39, 0x20}},
    {Key::F1, {0x3B, 0x70}},
    {Key::Home, {0xC7, 0x24}},
    {Key::Up, {0xC8, 0x26}},
    {Key::PageUp, {0xC9, 0x21}},
    {Key::Left, {0xCB, 0x25}},
    {Key::Right, {0xCD, 0x27}},
    {Key::End, {0xCF, 0x23}},
    {Key::Down, {0xD0, 0x28}},
    {Key::PageDown, {0xD1, 0x22}},
    {Key::Pause, {0xC5, 0x13}},
};

constexpr bool InCodeOrder() {
  if (sizeof kCodes / sizeof kCodes[0] != kKeyCount - 1) return false;
  for (int i = 0; i < kKeyCount - 1; ++i)
    if (static_cast<int>(kCodes[i].key) != i + 1) return false;
  return true;
}
static_assert(InCodeOrder(), "one row per key, in the order of the codes");

}  // namespace

WindowsKeyCodes WindowsCodesOf(Key key) {
  const int index = static_cast<int>(key) - 1;
  return index >= 0 && index < kKeyCount - 1 ? kCodes[index].codes : WindowsKeyCodes{};
}

void SnapshotKeysByScanCode(uint8_t out[256]) {
  uint8_t byKey[kKeyCount];
  SnapshotKeys(byKey);
  std::memset(out, 0, 256);
  for (const KeyCodes& k : kCodes) out[k.codes.scanCode] |= byKey[static_cast<int>(k.key)];
}

bool VirtualKeyHeld(int virtualKey) {
  if (virtualKey == VK_LBUTTON) return MouseButtons() & 1;
  if (virtualKey == VK_RBUTTON) return MouseButtons() & 2;
  // Both shift keys are VK_SHIFT in the table; each also has a code of its own.
  if (virtualKey == VK_LSHIFT) return KeyHeld(Key::LeftShift);
  if (virtualKey == VK_RSHIFT) return KeyHeld(Key::RightShift);
  for (const KeyCodes& k : kCodes)
    if (k.codes.virtualKey == virtualKey && KeyHeld(k.key)) return true;
  return false;
}

}  // namespace platform
