#include "gx/key_queue.h"

#include <array>

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

void KeyQueue::Scan(const uint8_t* keys) {
  if (keys == nullptr) return;
  // Left Shift is taken from this snapshot, right Shift from what earlier
  // scans recorded, so a right Shift pressed together with a letter only
  // counts from the next scan on.
  const int shift = (keys[kLeftShift] != 0 || down_[kRightShift] == 1) ? 1 : 0;
  for (int i = 0; i < kSize; ++i) {
    if ((keys[i] & 0x80) != 0) {
      if (down_[i] == 0) Push(i + kShiftBit * shift);
      down_[i] = 1;
    } else {
      down_[i] = 0;
    }
  }
}

void KeyQueue::Push(int event) {
  events_[writeIndex_] = event;
  writeIndex_ = (writeIndex_ + 1) % kSize;
}

int KeyQueue::Pop() {
  if (readIndex_ == writeIndex_) return 0;
  const int event = events_[readIndex_];
  readIndex_ = (readIndex_ + 1) % kSize;
  return event;
}

void KeyQueue::Flush() {
  writeIndex_ = 0;
  readIndex_ = 0;
}

char KeyQueue::ToChar(int event) {
  const int code = event & 0xFF;
  return (event & kShiftBit) != 0 ? kUsTable.shifted[code] : kUsTable.plain[code];
}
