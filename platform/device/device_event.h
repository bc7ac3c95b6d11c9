// Raw device events, as a backend or a script produces them, before they
// become window messages and device state (input.cpp).
#pragma once

#include <cstdint>

#include "platform/device/keys.h"

namespace platform {

struct DeviceEvent {
  enum class Kind { MouseMove, MouseButton, Key, Text, Activate, Deactivate, Close, Moved };
  // Text holds whole UTF-8 characters; longer input comes as several events.
  static constexpr int kTextBytes = 32;
  Kind kind = Kind::MouseMove;
  int x = 0, y = 0;     // client coordinates (MouseMove, MouseButton); window position (Moved)
  int button = 0;       // 0 left, 1 right
  bool down = false;    // MouseButton, Key
  Key key = Key::None;  // Key
  char text[kTextBytes] = {};  // Text: UTF-8, NUL-terminated
};

}  // namespace platform
