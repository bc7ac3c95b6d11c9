// The Windows codes of the layer's keys: the DirectInput scan code (the
// index of GXGetKeys and bits 16-23 of a key message's lParam) and the
// virtual-key code (a key message's wParam, GetAsyncKeyState). The one place
// where the layer's key codes become Windows ones.
#pragma once

#include <cstdint>

#include "platform/device/keys.h"

namespace platform {

struct WindowsKeyCodes {
  int scanCode = 0;
  int virtualKey = 0;
};

// Zeros for Key::None.
WindowsKeyCodes WindowsCodesOf(Key key);

// The keyboard as DirectInput shows it: 256 bytes by scan code, 0x80 for a
// key down (one snapshot of the device state, platform::SnapshotKeys).
void SnapshotKeysByScanCode(uint8_t out[256]);

// Whether the key or mouse button with this virtual-key code is held now.
bool VirtualKeyHeld(int virtualKey);

}  // namespace platform
