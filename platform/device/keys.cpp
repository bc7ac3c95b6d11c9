#include "platform/device/keys.h"

#include <cctype>
#include <string>

namespace platform {
namespace {

constexpr KeyInfo kKeys[] = {
    {0x01, 0x1B, "ESC", 0, 0},
    {0x02, '1', "1", '1', '!'},
    {0x03, '2', "2", '2', '@'},
    {0x04, '3', "3", '3', '#'},
    {0x05, '4', "4", '4', '$'},
    {0x06, '5', "5", '5', '%'},
    {0x07, '6', "6", '6', '^'},
    {0x08, '7', "7", '7', '&'},
    {0x09, '8', "8", '8', '*'},
    {0x0A, '9', "9", '9', '('},
    {0x0B, '0', "0", '0', ')'},
    {0x0C, 0xBD, "MINUS", '-', '_'},
    {0x0D, 0xBB, nullptr, '=', '+'},
    {0x0E, 0x08, "BACKSPACE", 0, 0},
    {0x0F, 0x09, "TAB", 0, 0},
    {0x10, 'Q', "Q", 'q', 'Q'},
    {0x11, 'W', "W", 'w', 'W'},
    {0x12, 'E', "E", 'e', 'E'},
    {0x13, 'R', "R", 'r', 'R'},
    {0x14, 'T', "T", 't', 'T'},
    {0x15, 'Y', "Y", 'y', 'Y'},
    {0x16, 'U', "U", 'u', 'U'},
    {0x17, 'I', "I", 'i', 'I'},
    {0x18, 'O', "O", 'o', 'O'},
    {0x19, 'P', "P", 'p', 'P'},
    {0x1A, 0xDB, nullptr, '[', '{'},
    {0x1B, 0xDD, nullptr, ']', '}'},
    {0x1C, 0x0D, "ENTER", 0, 0},
    {0x1E, 'A', "A", 'a', 'A'},
    {0x1F, 'S', "S", 's', 'S'},
    {0x20, 'D', "D", 'd', 'D'},
    {0x21, 'F', "F", 'f', 'F'},
    {0x22, 'G', "G", 'g', 'G'},
    {0x23, 'H', "H", 'h', 'H'},
    {0x24, 'J', "J", 'j', 'J'},
    {0x25, 'K', "K", 'k', 'K'},
    {0x26, 'L', "L", 'l', 'L'},
    {0x27, 0xBA, nullptr, ';', ':'},
    {0x28, 0xDE, nullptr, '\'', '"'},
    {0x29, 0xC0, nullptr, '`', '~'},
    {0x2A, 0x10, "LSHIFT", 0, 0},
    {0x2B, 0xDC, nullptr, '\\', '|'},
    {0x2C, 'Z', "Z", 'z', 'Z'},
    {0x2D, 'X', "X", 'x', 'X'},
    {0x2E, 'C', "C", 'c', 'C'},
    {0x2F, 'V', "V", 'v', 'V'},
    {0x30, 'B', "B", 'b', 'B'},
    {0x31, 'N', "N", 'n', 'N'},
    {0x32, 'M', "M", 'm', 'M'},
    {0x33, 0xBC, nullptr, ',', '<'},
    {0x34, 0xBE, nullptr, '.', '>'},
    {0x35, 0xBF, nullptr, '/', '?'},
    {0x36, 0x10, "RSHIFT", 0, 0},
    {0x39, 0x20, "SPACE", ' ', ' '},
    {0x3B, 0x70, "F1", 0, 0},
    // The extended keys: the arrows and the block above them.
    {0xC7, 0x24, "HOME", 0, 0},
    {0xC8, 0x26, "UP", 0, 0},
    {0xC9, 0x21, "PAGEUP", 0, 0},
    {0xCB, 0x25, "LEFT", 0, 0},
    {0xCD, 0x27, "RIGHT", 0, 0},
    {0xCF, 0x23, "END", 0, 0},
    {0xD0, 0x28, "DOWN", 0, 0},
    {0xD1, 0x22, "PAGEDOWN", 0, 0},
};

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

const KeyInfo* KeyByScanCode(int scanCode) {
  for (const KeyInfo& k : kKeys)
    if (k.scanCode == scanCode) return &k;
  return nullptr;
}

}  // namespace platform
