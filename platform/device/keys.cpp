#include "platform/device/keys.h"


namespace platform {
namespace {

constexpr KeyInfo kKeys[] = {
    {Key::Escape, "ESC", 0, 0},
    {Key::Digit1, "1", '1', '!'},
    {Key::Digit2, "2", '2', '@'},
    {Key::Digit3, "3", '3', '#'},
    {Key::Digit4, "4", '4', '$'},
    {Key::Digit5, "5", '5', '%'},
    {Key::Digit6, "6", '6', '^'},
    {Key::Digit7, "7", '7', '&'},
    {Key::Digit8, "8", '8', '*'},
    {Key::Digit9, "9", '9', '('},
    {Key::Digit0, "0", '0', ')'},
    {Key::Minus, "MINUS", '-', '_'},
    {Key::Equals, nullptr, '=', '+'},
    {Key::Backspace, "BACKSPACE", 0, 0},
    {Key::Tab, "TAB", 0, 0},
    {Key::Q, "Q", 'q', 'Q'},
    {Key::W, "W", 'w', 'W'},
    {Key::E, "E", 'e', 'E'},
    {Key::R, "R", 'r', 'R'},
    {Key::T, "T", 't', 'T'},
    {Key::Y, "Y", 'y', 'Y'},
    {Key::U, "U", 'u', 'U'},
    {Key::I, "I", 'i', 'I'},
    {Key::O, "O", 'o', 'O'},
    {Key::P, "P", 'p', 'P'},
    {Key::LeftBracket, nullptr, '[', '{'},
    {Key::RightBracket, nullptr, ']', '}'},
    {Key::Enter, "ENTER", 0, 0},
    {Key::A, "A", 'a', 'A'},
    {Key::S, "S", 's', 'S'},
    {Key::D, "D", 'd', 'D'},
    {Key::F, "F", 'f', 'F'},
    {Key::G, "G", 'g', 'G'},
    {Key::H, "H", 'h', 'H'},
    {Key::J, "J", 'j', 'J'},
    {Key::K, "K", 'k', 'K'},
    {Key::L, "L", 'l', 'L'},
    {Key::Semicolon, nullptr, ';', ':'},
    {Key::Apostrophe, nullptr, '\'', '"'},
    {Key::Grave, nullptr, '`', '~'},
    {Key::LeftShift, "LSHIFT", 0, 0},
    {Key::Backslash, nullptr, '\\', '|'},
    {Key::Z, "Z", 'z', 'Z'},
    {Key::X, "X", 'x', 'X'},
    {Key::C, "C", 'c', 'C'},
    {Key::V, "V", 'v', 'V'},
    {Key::B, "B", 'b', 'B'},
    {Key::N, "N", 'n', 'N'},
    {Key::M, "M", 'm', 'M'},
    {Key::Comma, nullptr, ',', '<'},
    {Key::Period, nullptr, '.', '>'},
    {Key::Slash, nullptr, '/', '?'},
    {Key::RightShift, "RSHIFT", 0, 0},
    {Key::Space, "SPACE", ' ', ' '},
    {Key::F1, "F1", 0, 0},
    // The extended keys: the arrows and the block above them.
    {Key::Home, "HOME", 0, 0},
    {Key::Up, "UP", 0, 0},
    {Key::PageUp, "PAGEUP", 0, 0},
    {Key::Left, "LEFT", 0, 0},
    {Key::Right, "RIGHT", 0, 0},
    {Key::End, "END", 0, 0},
    {Key::Down, "DOWN", 0, 0},
    {Key::PageDown, "PAGEDOWN", 0, 0},
    {Key::Pause, "PAUSE", 0, 0},
};

// KeyInfoOf finds a key by its code: the table runs in the order of the codes.
constexpr bool InCodeOrder() {
  if (sizeof kKeys / sizeof kKeys[0] != kKeyCount - 1) return false;
  for (int i = 0; i < kKeyCount - 1; ++i)
    if (static_cast<int>(kKeys[i].key) != i + 1) return false;
  return true;
}
static_assert(InCodeOrder());

}  // namespace

const KeyInfo* KeyByName(std::string_view name) {
  for (const KeyInfo& k : kKeys)
    if (k.name && name == k.name) return &k;
  return nullptr;
}

const KeyInfo* KeyForChar(char c, bool* needsShift) {
  for (const KeyInfo& k : kKeys) {
    if (k.plain == c) {
      if (needsShift) *needsShift = false;
      return &k;
    }
    if (k.shifted == c) {
      if (needsShift) *needsShift = true;
      return &k;
    }
  }
  return nullptr;
}

const KeyInfo* KeyInfoOf(Key key) {
  const int index = static_cast<int>(key) - 1;
  return index >= 0 && index < kKeyCount - 1 ? &kKeys[index] : nullptr;
}

Key KeyByLayout(char32_t typed, Key placed, bool letterPlace) {
  const bool upper = typed >= 'A' && typed <= 'Z';
  if (upper || (typed >= 'a' && typed <= 'z'))
    return KeyForChar(static_cast<char>(upper ? typed - 'A' + 'a' : typed), nullptr)->key;
  if (letterPlace && typed > ' ' && typed < 0x7F) {
    bool shifted = false;
    const KeyInfo* sign = KeyForChar(static_cast<char>(typed), &shifted);
    return sign && !shifted ? sign->key : Key::None;
  }
  return placed;
}

}  // namespace platform
