#include "gx/key_queue.h"

#include <array>
#include <cstring>

#include "platform/device/input.h"
#include "platform/win/key_codes.h"

KeyQueue keyQueue;

namespace {

struct CharTable {
  std::array<char, 256> plain{};
  std::array<char, 256> shifted{};
};

// Fills a run of consecutive scan codes from two strings of equal length.
constexpr void Row(CharTable& t, int first, const char* plain, const char* shifted) {
  for (int i = 0; plain[i] != '\0'; ++i) {
    t.plain[first + i] = plain[i];
    t.shifted[first + i] = shifted[i];
  }
}

// A US keyboard. Backspace, Tab, Enter and every key not listed give no
// character. The minus key gives "-" and "_": without them e-mail addresses
// and hyphenated names could not be typed as they are.
constexpr CharTable MakeUsTable() {
  CharTable t{};
  Row(t, 2, "1234567890", "!@#$%^&*()");
  Row(t, 12, "-=", "_+");
  Row(t, 16, "qwertyuiop[]", "QWERTYUIOP{}");
  Row(t, 30, "asdfghjkl;'`", "ASDFGHJKL:\"~");
  Row(t, 43, "\\zxcvbnm,./", "|ZXCVBNM<>?");
  Row(t, 57, " ", " ");
  return t;
}

constexpr CharTable kUsTable = MakeUsTable();

}  // namespace

bool KeyQueue::Take(Event* out) {
  platform::InputEvent taken;
  while (platform::TakeInputEvent(platform::InputStream::Keyboard, &taken)) {
    const platform::DeviceEvent& e = taken.event;
    *out = Event{};
    if (e.kind == platform::DeviceEvent::Kind::Text) {
      std::memcpy(out->text, e.text, sizeof out->text);
      out->text[sizeof out->text - 1] = '\0';
      return true;
    }
    const int scanCode = platform::WindowsCodesOf(e.key).scanCode;
    if (scanCode == 0) continue;
    out->key = scanCode | (taken.shift ? kShiftBit : 0);
    return true;
  }
  return false;
}

int KeyQueue::Pop() {
  Event event;
  while (Take(&event))
    if (event.key != 0) return event.key;
  return 0;
}

void KeyQueue::Flush() { platform::DropInputEvents(platform::InputStream::Keyboard); }

char KeyQueue::ToChar(int event) {
  const int code = event & 0xFF;
  return (event & kShiftBit) != 0 ? kUsTable.shifted[code] : kUsTable.plain[code];
}
