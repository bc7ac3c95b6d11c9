// Device state (keys by scan code, mouse buttons and position) and the
// stream of device events from the backend and the script. Events are
// applied one at a time, just before the message they make is taken, so the
// state a program reads matches the message it is handling. The state lives
// in atomics: the timer thread reads the mouse buttons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_event.h"
#include "platform/script.h"

namespace platform {

void SnapshotKeys(uint8_t out[256]);
bool KeyHeld(int scanCode);
bool VirtualKeyHeld(int virtualKey);
int MouseButtons();  // bit 0 left, bit 1 right
void MousePosition(int* x, int* y);

// Loads QB_SCRIPT, or takes the next script of QB_SCRIPT_DIR for this
// program. A malformed script ends the process with code 2.
void LoadStartupScript();
// Replaces the script (tests).
void SetScript(Script script);

// Moves the backend's new events and the script events that are due into the pending queue.
void GatherDeviceEvents();
// Takes the next pending event and applies it to the device state.
bool NextDeviceEvent(DeviceEvent* event);
// Applies an event directly (tests).
void ApplyDeviceEvent(const DeviceEvent& event);

// Frame dumps whose tick has come.
std::vector<std::string> TakeDueShots(uint32_t now);

}  // namespace platform
