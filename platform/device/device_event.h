// Raw device events, as a backend or a script produces them, before they
// become window messages and device state (input.cpp).
#pragma once

#include <cstdint>

namespace platform {

struct DeviceEvent {
  enum class Kind { MouseMove, MouseButton, Key, Activate, Deactivate, Close, Moved };
  Kind kind = Kind::MouseMove;
  int x = 0, y = 0;    // client coordinates (MouseMove, MouseButton); window position (Moved)
  int button = 0;      // 0 left, 1 right
  bool down = false;   // MouseButton, Key
  int scanCode = 0;    // DirectInput scan code (Key)
  int virtualKey = 0;  // Windows virtual-key code (Key)
};

// DirectInput scan codes of the keys the programs and scripts use.
namespace dik {
constexpr int ESCAPE = 0x01;
constexpr int MINUS = 0x0C;
constexpr int BACK = 0x0E;
constexpr int TAB = 0x0F;
constexpr int RETURN = 0x1C;
constexpr int LSHIFT = 0x2A;
constexpr int RSHIFT = 0x36;
constexpr int SPACE = 0x39;
constexpr int F1 = 0x3B;
}  // namespace dik

}  // namespace platform
