// The keyboard as the screens read it: key presses and typed text, taken in
// the order they came from the input queue (platform/device/input.h) when
// read. A key event is the DirectInput scan code in bits 0-7, with bit 8 set
// when Shift was held; never 0, which Pop uses for "empty". Text is what the
// system's text input typed (any layout, dead keys, input methods), UTF-8.
#pragma once

#include <cstdint>

#include "platform/device/device_event.h"

class KeyQueue {
 public:
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

  struct Event {
    int key = 0;  // a key event, or 0 for text
    char text[platform::DeviceEvent::kTextBytes] = {};  // whole UTF-8 characters, NUL-terminated
  };
  // The oldest key press or text; false when there is none.
  bool Take(Event* out);
  // The oldest key event (text skipped), or 0 when there is none.
  int Pop();
  // Drops every key press and text not yet taken.
  void Flush();
  // The US-layout character of an event, or 0 for a key without one.
  static char ToChar(int event);
};

extern KeyQueue keyQueue;
