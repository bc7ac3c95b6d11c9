#include "gx/key_queue.h"

#include "platform/device/device_event.h"
#include "platform/device/input.h"
#include "platform/win/key_codes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <cstdint>
#include <vector>

namespace {

constexpr int kA = 30;
constexpr int kMinus = 12;

void Press(platform::Key k, bool down) {
  platform::DeviceEvent e;
  e.kind = platform::DeviceEvent::Kind::Key;
  e.key = k;
  e.down = down;
  platform::ApplyDeviceEvent(e);
}

void Tap(platform::Key k) {
  Press(k, true);
  Press(k, false);
}

void Text(const char* utf8) {
  platform::DeviceEvent e;
  e.kind = platform::DeviceEvent::Kind::Text;
  std::snprintf(e.text, sizeof e.text, "%s", utf8);
  platform::ApplyDeviceEvent(e);
}

std::vector<int> Drain(KeyQueue& q) {
  std::vector<int> out;
  for (int e = q.Pop(); e != 0; e = q.Pop()) out.push_back(e);
  return out;
}

// Everything the device sent before a read is there, in order, however
// many taps one frame held: two taps of one key are two presses. Shift is
// the one held when the key went down; releases queue nothing.
TEST(KeyQueue, EveryPressBetweenTwoReadsInOrder) {
  KeyQueue q;
  q.Flush();
  using platform::Key;
  Tap(Key::Tab);
  Tap(Key::Tab);
  Tap(Key::A);
  Press(Key::RightShift, true);
  Tap(Key::A);
  Press(Key::RightShift, false);
  Press(Key::Space, true);  // held: one press however long
  constexpr int kTab = KeyQueue::kTab, kShift = KeyQueue::kShiftBit;
  EXPECT_EQ(Drain(q), (std::vector<int>{kTab, kTab, kA, KeyQueue::kRightShift, kA | kShift, KeyQueue::kSpace}));
  Press(Key::Space, false);
  EXPECT_EQ(q.Pop(), 0);
}

// Text and keys come out of Take in the order they were typed; Pop skips
// the text; Flush drops both.
TEST(KeyQueue, TextAndKeysInOneOrder) {
  KeyQueue q;
  q.Flush();
  using platform::Key;
  Press(Key::A, true);
  Text("a");
  Press(Key::A, false);
  Text("\xC3\xAB");  // a dead key's accented letter: text alone
  Tap(Key::Backspace);
  std::vector<std::string> taken;
  KeyQueue::Event e;
  while (q.Take(&e)) taken.push_back(e.key ? "key " + std::to_string(e.key) : std::string("text ") + e.text);
  EXPECT_EQ(taken, (std::vector<std::string>{"key 30", "text a", "text \xC3\xAB", "key 14"}));
  Text("b");
  Tap(Key::Tab);
  Text("c");
  EXPECT_EQ(q.Pop(), KeyQueue::kTab);
  ASSERT_TRUE(q.Take(&e));
  EXPECT_STREQ(e.text, "c");
  Tap(Key::Enter);
  Text("d");
  q.Flush();
  EXPECT_FALSE(q.Take(&e));
}

TEST(KeyQueue, UsLayout) {
  const char* plain = "1234567890";
  const char* shifted = "!@#$%^&*()";
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(KeyQueue::ToChar(2 + i), plain[i]);
    EXPECT_EQ(KeyQueue::ToChar(2 + i + 256), shifted[i]);
  }
  struct Case {
    int code;
    char plain, shifted;
  };
  for (const Case& c : {Case{kMinus, '-', '_'}, Case{13, '=', '+'}, Case{16, 'q', 'Q'}, Case{25, 'p', 'P'}, Case{26, '[', '{'},
                        Case{27, ']', '}'}, Case{30, 'a', 'A'}, Case{38, 'l', 'L'}, Case{39, ';', ':'},
                        Case{40, '\'', '"'}, Case{41, '`', '~'}, Case{43, '\\', '|'}, Case{44, 'z', 'Z'},
                        Case{50, 'm', 'M'}, Case{51, ',', '<'}, Case{52, '.', '>'}, Case{53, '/', '?'},
                        Case{57, ' ', ' '}}) {
    EXPECT_EQ(KeyQueue::ToChar(c.code), c.plain) << c.code;
    EXPECT_EQ(KeyQueue::ToChar(c.code + 256), c.shifted) << c.code;
  }
  for (int code : {0, 1, KeyQueue::kBackspace, KeyQueue::kTab, KeyQueue::kEnter, 29, 42, 54, 58, 255}) {
    EXPECT_EQ(KeyQueue::ToChar(code), 0) << code;
    EXPECT_EQ(KeyQueue::ToChar(code + 256), 0) << code;
  }
}


}  // namespace

