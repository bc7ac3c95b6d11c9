// Key presses taken from the library's keyboard state array (256 bytes by
// DirectInput scan code, bit 7 set while held) and queued as events for the
// text fields. An event is the scan code in bits 0-7, with bit 8 set when
// Shift was held; the queue never holds 0, which Pop uses for "empty".
#pragma once

#include <cstdint>

class KeyQueue {
 public:
  static constexpr int kSize = 256;
  static constexpr int kShiftBit = 0x100;

  // Scan codes the programs name.
  static constexpr int kBackspace = 14;
  static constexpr int kTab = 15;
  static constexpr int kEnter = 28;
  static constexpr int kLeftShift = 42;
  static constexpr int kRightShift = 54;
  static constexpr int kSpace = 57;
  static constexpr int kHome = 0xC7;
  static constexpr int kUp = 0xC8;
  static constexpr int kPageUp = 0xC9;
  static constexpr int kLeft = 0xCB;
  static constexpr int kRight = 0xCD;
  static constexpr int kEnd = 0xCF;
  static constexpr int kDown = 0xD0;
  static constexpr int kPageDown = 0xD1;

  // Queues one event per key that went down since the previous scan. A null
  // array (no keyboard yet) does nothing.
  void Scan(const uint8_t* keys);
  // No full check: after 256 pushes without a pop the indices meet and the
  // queue reads as empty again.
  void Push(int event);
  // The oldest event, or 0 when the queue is empty.
  int Pop();
  // Empties the queue; keys still held stay recorded as held, so they do not
  // queue again until released and pressed anew.
  void Flush();
  // The US-layout character of an event, or 0 for a key without one.
  static char ToChar(int event);

 private:
  uint8_t down_[kSize] = {};
  int events_[kSize] = {};
  int writeIndex_ = 0;
  int readIndex_ = 0;
};

extern KeyQueue keyQueue;
