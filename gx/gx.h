// The graphics and input library as the programs see it: display set-up,
// flipping, bitmap loading, mouse and keyboard state by DirectInput scan
// code, a small text font and the frame-rate meter.
#pragma once

#include "platform/win/ddraw.h"
#include "platform/win/window.h"

void GXSetInstance(HINSTANCE instance);
void GXDebugEnable(int on);
// Full screen: the desktop's full screen with the 800 x 600 picture scaled
// between black bars.
int GXInitDirectX(HWND window, int width, int height, int bits);
// Windowed, with a back buffer of that size.
int GXInitDirectX(HWND window, int width, int height);
int GXSetViewport(int x, int y, int width, int height);
IDirectDraw* GXGetLPDD();
void GXGetDDInfo(IDirectDrawSurface** primary, IDirectDrawSurface** back);
// Presents the back buffer, never more than once per 10 ms slot.
int GXFlip();
IDirectDrawSurface* GXLoadBitmap(const char* path, int bits);
void GXGetRGBABits(const DDPIXELFORMAT* format, int* red, int* green, int* blue, int* alpha);
int GXInitMouse();
int GXAcquireMouse(int on);
// The buttons held now (0 while the mouse is not acquired). The screens take
// presses and releases in order from the input queue instead (MouseCursor).
void GXGetMouseData(int* dx, int* dy, int* buttons);
int GXInitKeyboard();
// 256 bytes by DirectInput scan code, bit 7 set while held; null before GXInitKeyboard.
unsigned char* GXGetKeys();
void GXInitFont(HWND window);
int GXPrintString(const char* text, int x, int y);
// Frames actually presented in the last second.
float GXGetFPS();
void GXSetWindowXY(int x, int y);
void GXFreeFont();
void GXFreeDirectInput();
void GXFreeDirectX();
void GXPrintError();
