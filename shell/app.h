// The shell shared by both programs: start-up, the main window and its
// window procedure, the message pump, the frame loop and its pacing.
#pragma once

#include <atomic>

#include "gx/main_window.h"
#include "platform/win/ddraw.h"
#include "platform/win/window.h"

// Process-wide state of the shell (the window itself: gx/main_window.h).
extern std::atomic<int> appActive;
extern int fullScreen;
extern int fpsVisible;
extern float frameRate;
extern int nextFrameTick;
extern int mouseOffsetX, mouseOffsetY;
extern char commandLine[512];

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
  bool printFpsInLoop = false;      // the launcher prints GXGetFPS before each frame
  int quitPauseMs = 0;              // sleep before destroying the window on 7
  // Program-specific steps the shell calls at the right moments.
  void (*startSound)(HWND window) = nullptr;         // sound library up, effects switch read
  void (*registerScreens)(const char* commandLine) = nullptr;  // add screens and switch to the first
  void (*shutdownProgram)() = nullptr;               // game object's Cleanup
  void (*shutdownSound)() = nullptr;                 // sound library down
  // On Escape's release: true when the program used it itself (to cancel a
  // question), and the window then stays open.
  bool (*takeEscape)() = nullptr;
};

// Runs the whole program: start-up, frame loop, shutdown. Returns the exit code.
int RunShell(const ShellVariant& variant, HINSTANCE instance, const char* commandLine);
