// The main window as every layer sees it: its handle, the size of its
// client area and its message pump. The shell creates the window and runs
// the frame loop; screens and widgets only read these and pump messages
// during their own waits.
#pragma once

#include "platform/win/window.h"

extern HWND mainWindow;
extern int clientWidth, clientHeight;

// 1 when the quit message was taken from the queue (it is posted again).
int PumpMessages();
// PumpMessages for the middle of an animation: it stops before a close, which
// is left in the queue for the frame loop (the close takes the board down).
int PumpMessagesBeforeClose();
// Whether the program is on its way out: the quit message is posted, or a
// close (the window's close button, Escape) waits in the queue. Blocking animations stop
// waiting then, so closing takes effect at once.
bool CloseRequested();
