#include "platform/win32/win32_keys.h"

#include <iterator>

namespace platform {
namespace {

constexpr unsigned kVirtualKeyPause = 0x13;  // VK_PAUSE

// The main block's keys by scan code (set 1), 0x01 to 0x39, as a US
// keyboard has them; a letter's place is then the layout's letter there.
constexpr Key kMainBlock[] = {
    Key::None,      Key::Escape,     Key::Digit1,    Key::Digit2,     Key::Digit3,    Key::Digit4,
    Key::Digit5,    Key::Digit6,     Key::Digit7,    Key::Digit8,     Key::Digit9,    Key::Digit0,
    Key::Minus,     Key::Equals,     Key::Backspace, Key::Tab,        Key::Q,         Key::W,
    Key::E,         Key::R,          Key::T,         Key::Y,          Key::U,         Key::I,
    Key::O,         Key::P,          Key::LeftBracket, Key::RightBracket, Key::Enter, Key::None /* Ctrl */,
    Key::A,         Key::S,          Key::D,         Key::F,          Key::G,         Key::H,
    Key::J,         Key::K,          Key::L,         Key::Semicolon,  Key::Apostrophe, Key::Grave,
    Key::LeftShift, Key::Backslash,  Key::Z,         Key::X,          Key::C,         Key::V,
    Key::B,         Key::N,          Key::M,         Key::Comma,      Key::Period,    Key::Slash,
    Key::RightShift, Key::None /* keypad * */, Key::None /* Alt */, Key::Space,
};

bool IsLetter(Key key) {
  switch (key) {
    case Key::Q: case Key::W: case Key::E: case Key::R: case Key::T: case Key::Y: case Key::U: case Key::I:
    case Key::O: case Key::P: case Key::A: case Key::S: case Key::D: case Key::F: case Key::G: case Key::H:
    case Key::J: case Key::K: case Key::L: case Key::Z: case Key::X: case Key::C: case Key::V: case Key::B:
    case Key::N: case Key::M:
      return true;
    default:
      return false;
  }
}

// The key at the place, before the layout has its say.
Key KeyAtPlace(unsigned scanCode, bool extended, unsigned virtualKey) {
  if (virtualKey == kVirtualKeyPause) return Key::Pause;
  if (extended) {
    switch (scanCode) {
      case 0x1C: return Key::Enter;  // the keypad's
      case 0x47: return Key::Home;
      case 0x48: return Key::Up;
      case 0x49: return Key::PageUp;
      case 0x4B: return Key::Left;
      case 0x4D: return Key::Right;
      case 0x4F: return Key::End;
      case 0x50: return Key::Down;
      case 0x51: return Key::PageDown;
      default: return Key::None;  // right Ctrl and Alt, the keypad's /, Num Lock
    }
  }
  if (scanCode < std::size(kMainBlock)) return kMainBlock[scanCode];
  if (scanCode == 0x3B) return Key::F1;
  if (scanCode == 0x45) return Key::Pause;  // without the extended bit; with it, Num Lock
  return Key::None;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

Key KeyOfWindowsKey(unsigned scanCode, bool extended, unsigned virtualKey, uint32_t typed) {
  const Key placed = KeyAtPlace(scanCode, extended, virtualKey);
  const bool letterPlace = IsLetter(placed);
  // A dead key types nothing yet: the key at its place.
  if (typed & 0x80000000u) typed = 0;
  return KeyByLayout(static_cast<char32_t>(typed), placed, letterPlace);
}

std::string Utf16Text::Take(uint16_t unit) {
  std::string out;
  const uint16_t high = high_;
  high_ = 0;
  if (unit >= 0xD800 && unit < 0xDC00) {
    high_ = unit;  // a lone first half before it is dropped
  } else if (unit >= 0xDC00 && unit < 0xE000) {
    if (high) AppendUtf8(0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (unit - 0xDC00), out);
  } else if (unit >= 0x20 && unit != 0x7F) {
    AppendUtf8(unit, out);
  }
  return out;
}

}  // namespace platform
