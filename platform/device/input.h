// The input of the programs: the device events of the backend and the
// script, taken once at each pump, in order, into the held state (keys,
// buttons, pointer position) and into one queue of input events that the
// readers take from (the mouse cursor its moves and buttons, the key queue
// its key presses and typed text). Everything here is the main thread's: the
// pump, the state and the readers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/device/device_event.h"
#include "platform/automation/script.h"

namespace platform {

// The held state, as of the last pump. By key code (platform/device/keys.h):
// 0x80 for a key held.
void SnapshotKeys(uint8_t out[kKeyCount]);
bool KeyHeld(Key key);
int MouseButtons();  // bit 0 left, bit 1 right
void MousePosition(int* x, int* y);

// One queued input event. Pointer: MouseMove (only while the window is
// active) and MouseButton, each with the position it happened at. Keyboard:
// key presses (Key, down) with whether Shift was held, and Text.
struct InputEvent {
  DeviceEvent event;
  bool shift = false;
};
enum class InputStream { Pointer, Keyboard };
// Takes the oldest queued event of the stream, if accept (when given) takes
// it; false when there is none or it was refused (it then stays queued).
bool TakeInputEvent(InputStream stream, InputEvent* out,
                    const std::function<bool(const DeviceEvent&)>& accept = {});
// Drops every queued event of the stream.
void DropInputEvents(InputStream stream);

// The system's text input (an on-screen keyboard, an input method) on or
// off: on while a text field has the focus.
void SetTextInput(bool on);
// What SetTextInput last asked for.
bool TextInputOn();

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
// The program's further state, for the script's "details PATH": what the
// state dump leaves out so that its lines stay as they always were.
void SetDetailText(std::string (*describe)());
std::string DetailText();
// Writes the state dumps whose tick has come; called where frames are
// presented, so a dump sees the same state as a shot of the same tick.
void WriteDueDumps(uint32_t now);

}  // namespace platform
