#include "gx/key_queue.h"

#include "platform/device/device_event.h"
#include "platform/device/input.h"
#include "platform/win/key_codes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

constexpr int kA = 30;
constexpr int kMinus = 12;

// One keyboard snapshot with the given scan codes held.
std::array<uint8_t, 256> Held(std::initializer_list<int> codes) {
  std::array<uint8_t, 256> keys{};
  for (int c : codes) keys[c] = 0x80;
  return keys;
}

std::vector<int> Drain(KeyQueue& q) {
  std::vector<int> out;
  for (int e = q.Pop(); e != 0; e = q.Pop()) out.push_back(e);
  return out;
}

TEST(KeyQueue, HeldKeyQueuesOncePerPress) {
  KeyQueue q;
  auto a = Held({kA});
  for (int i = 0; i < 50; ++i) q.Scan(a.data());  // auto-repeat does not queue more
  EXPECT_EQ(Drain(q), std::vector<int>{kA});
  q.Scan(Held({}).data());
  q.Scan(a.data());
  EXPECT_EQ(Drain(q), std::vector<int>{kA});
}

TEST(KeyQueue, EventsComeOutInScanOrder) {
  KeyQueue q;
  q.Scan(Held({20}).data());
  q.Scan(Held({20, 3, 40}).data());  // two new keys in one snapshot: lower code first
  q.Scan(Held({}).data());
  q.Scan(Held({20}).data());
  EXPECT_EQ(Drain(q), (std::vector<int>{20, 3, 40, 20}));
}

TEST(KeyQueue, OnlyBitSevenMeansHeld) {
  KeyQueue q;
  std::array<uint8_t, 256> keys{};
  keys[kA] = 0x7F;
  q.Scan(keys.data());
  EXPECT_EQ(q.Pop(), 0);
  q.Scan(nullptr);  // no keyboard yet: nothing happens, nothing crashes
  EXPECT_EQ(q.Pop(), 0);
}

TEST(KeyQueue, LeftShiftCountsInTheSameSnapshot) {
  KeyQueue q;
  q.Scan(Held({KeyQueue::kLeftShift}).data());
  q.Scan(Held({KeyQueue::kLeftShift, kA}).data());
  EXPECT_EQ(q.Pop(), KeyQueue::kLeftShift + 256);  // Shift itself is queued shifted
  const int e = q.Pop();
  EXPECT_EQ(e, kA + 256);
  EXPECT_EQ(KeyQueue::ToChar(e), 'A');

  // Left Shift pressed together with the letter also shifts it: the rule
  // reads the snapshot's left Shift byte, any non-zero value.
  KeyQueue r;
  std::array<uint8_t, 256> keys{};
  keys[KeyQueue::kLeftShift] = 0x01;
  keys[kA] = 0x80;
  r.Scan(keys.data());
  EXPECT_EQ(r.Pop(), kA + 256);
}

TEST(KeyQueue, RightShiftCountsFromTheNextScan) {
  KeyQueue together;
  together.Scan(Held({KeyQueue::kRightShift, kA}).data());
  EXPECT_EQ(Drain(together), (std::vector<int>{kA, KeyQueue::kRightShift}));
  EXPECT_EQ(KeyQueue::ToChar(kA), 'a');

  KeyQueue before;
  before.Scan(Held({KeyQueue::kRightShift}).data());
  before.Scan(Held({KeyQueue::kRightShift, kA}).data());
  EXPECT_EQ(Drain(before), (std::vector<int>{KeyQueue::kRightShift, kA + 256}));

  // Released in the same snapshot as the letter: still recorded as held.
  KeyQueue released;
  released.Scan(Held({KeyQueue::kRightShift}).data());
  released.Scan(Held({kA}).data());
  EXPECT_EQ(Drain(released), (std::vector<int>{KeyQueue::kRightShift, kA + 256}));
}

TEST(KeyQueue, FlushEmptiesButKeepsHeldKeys) {
  KeyQueue q;
  auto a = Held({kA});
  q.Scan(a.data());
  q.Flush();
  EXPECT_EQ(q.Pop(), 0);
  q.Scan(a.data());  // still held: no new event
  EXPECT_EQ(q.Pop(), 0);
}

TEST(KeyQueue, RingWrapsWithoutAFullCheck) {
  KeyQueue q;
  for (int i = 1; i <= 300; ++i) q.Push(i);
  // 300 pushes moved the write index to 44; the read index is still 0, so
  // the queue holds the last 44 values pushed into slots 0..43.
  std::vector<int> expected;
  for (int i = 257; i <= 300; ++i) expected.push_back(i);
  EXPECT_EQ(Drain(q), expected);

  KeyQueue full;
  for (int i = 1; i <= 256; ++i) full.Push(i);
  EXPECT_EQ(full.Pop(), 0);  // exactly 256: the indices meet, reads as empty
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

namespace {

// Taps that arrive all within one poll of the device (xdotool types that
// fast): one snapshot per window message still queues every press.
TEST(KeyQueue, EveryTapOfOnePollReachesTheQueue) {
  KeyQueue q;
  auto key = [](platform::Key k, bool down) {
    platform::DeviceEvent e;
    e.kind = platform::DeviceEvent::Kind::Key;
    e.key = k;
    e.down = down;
    platform::ApplyDeviceEvent(e);
  };
  using platform::Key;
  key(Key::Tab, true), key(Key::Tab, false), key(Key::Tab, true), key(Key::Tab, false), key(Key::A, true),
      key(Key::A, false);
  // As GXGetKeys reads them, by scan code.
  uint8_t keys[256];
  for (int message = 0; message < 6; ++message) {
    platform::SnapshotKeysByScanCode(keys);
    q.Scan(keys);
  }
  constexpr int kTab = KeyQueue::kTab;
  EXPECT_EQ(Drain(q), (std::vector<int>{kTab, kA, kTab}));
  platform::SnapshotKeysByScanCode(keys);
  EXPECT_EQ(keys[kTab] | keys[kA], 0);  // all released in the end
}

}  // namespace
