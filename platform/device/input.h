// Device state (keys by the layer's key code, mouse buttons and position) and the
// stream of device events from the backend and the script. Like the input
// devices the programs were written for, the state is live: it changes at
// every event pump, whether or not the window's messages are handled yet.
// Events arrive on the main thread; the state is kept in atomics all the
// same, so any thread may look at it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/device/device_event.h"
#include "platform/automation/script.h"

namespace platform {

// By key code (platform/device/keys.h): 0x80 for a key shown down.
void SnapshotKeys(uint8_t out[kKeyCount]);
bool KeyHeld(Key key);
int MouseButtons();  // bit 0 left, bit 1 right
// The buttons for the frame's read: held now, or pressed at any time since
// the previous poll (a tap released before this poll reads as pressed once,
// however long ago the previous frame was).
int PollMouseButtons();
void MousePosition(int* x, int* y);

// Loads QB_SCRIPT, or takes the next script of QB_SCRIPT_DIR for this
// program. A malformed script ends the process with code 2.
void LoadStartupScript();
// The path of the lowest-numbered "NN-Program.txt" of dir for this program
// (ProgramName), renamed to "NN-Program.taken"; empty when there is none.
std::string TakeFromScriptDir(const std::string& dir);
// Replaces the script (tests).
void SetScript(Script script);

// Where pumped events go after they have changed the device state: the
// window turns them into messages.
void SetDeviceEventSink(void (*sink)(const DeviceEvent& event));
// The event pump: applies the backend's new events and the script events
// that are due, in order, and hands each to the sink.
void GatherDeviceEvents();
// Applies an event directly (tests).
void ApplyDeviceEvent(const DeviceEvent& event);

// Frame dumps whose tick has come.
std::vector<std::string> TakeDueShots(uint32_t now);

// The program's state as text, for the script's "dump PATH": the program
// registers what describes it (screen, board, scores, buttons ...).
void SetStateText(std::string (*describe)());
// That text now (empty when the program registered none).
std::string StateText();
// Writes the state dumps whose tick has come; called where frames are
// presented, so a dump sees the same state as a shot of the same tick.
void WriteDueDumps(uint32_t now);

}  // namespace platform
