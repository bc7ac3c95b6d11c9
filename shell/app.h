// The shell shared by both programs: start-up, the main window and its
// window procedure, the message pump, the frame loop and its pacing.
#pragma once

#include <atomic>

#include "platform/win/ddraw.h"
#include "platform/win/window.h"

// Process-wide state of the shell.
extern HWND mainWindow;
extern std::atomic<int> appActive;
extern int fullScreen;
extern int fpsVisible;
extern float frameRate;
extern int nextFrameTick;
extern int clientWidth, clientHeight;
extern int mouseOffsetX, mouseOffsetY;
extern char commandLine[512];
extern IDirectDraw* directDraw;
extern IDirectDrawSurface* primarySurface;
extern IDirectDrawSurface* backSurface;

// 1 when the quit message was taken from the queue (it is posted again).
int PumpMessages();
// Whether the program is on its way out: the quit message is posted, or a
// close (the window's close button, Escape) waits in the queue. Blocking animations stop
// waiting then, so closing takes effect at once.
bool CloseRequested();
// Waits until the next frame may start, then sets the next deadline.
void FramePace(int rate);
void SetWindowTitle(const char* text);
void SetBusyCursor(int busy);
int RegisterMainClass(HINSTANCE instance);
int CreateMainWindow(HINSTANCE instance);
LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What tells the two programs' shells apart.
struct ShellVariant {
  const char* title = "Quibbleton";
  bool requireCommandLine = true;   // the game refuses to start without one
  bool checkDisplayDepth = false;   // the launcher wants a 15/16-bit display
  bool topmostAt800x600 = false;    // the launcher's window rule
  bool paceFrames = true;           // FramePace(100) in the frame loop
  bool music = true;                // MCI music and its window messages
  bool messageButtons = false;      // mouse buttons from window messages
  bool printFpsInLoop = false;      // the launcher prints GXGetFPS before each frame
  int quitPauseMs = 0;              // sleep before destroying the window on 7
  // Program-specific steps the shell calls at the right moments.
  void (*startSound)(HWND window) = nullptr;         // sound library up, effects switch read
  void (*registerScreens)(const char* commandLine) = nullptr;  // add screens and switch to the first
  void (*shutdownProgram)() = nullptr;               // game object's Cleanup
  void (*shutdownSound)() = nullptr;                 // sound library down
};

// Runs the whole program: start-up, frame loop, shutdown. Returns the exit code.
int RunShell(const ShellVariant& variant, HINSTANCE instance, const char* commandLine);
