#include "screens/mouse_cursor.h"

#include "shell/gx.h"

MouseCursor mouseCursor;

void MouseCursor::SetPosition(int x, int y) {
  x_.store(x, std::memory_order_relaxed);
  y_.store(y, std::memory_order_relaxed);
}

void MouseCursor::GetState(int* x, int* y, int* buttons) const {
  if (x) *x = x_.load(std::memory_order_relaxed);
  if (y) *y = y_.load(std::memory_order_relaxed);
  if (buttons) *buttons = buttons_.load(std::memory_order_relaxed);
}

void MouseCursor::Poll() {
  if (messageButtons_.load(std::memory_order_relaxed) == 1) return;
  int dx = 0, dy = 0, b = 0;
  GXGetMouseData(&dx, &dy, &b);
  buttons_.store(b, std::memory_order_relaxed);
}

void MouseCursor::SetLeftButton(int on) {
  if (on)
    buttons_.fetch_or(1, std::memory_order_relaxed);
  else
    buttons_.fetch_and(2, std::memory_order_relaxed);
}

void MouseCursor::SetRightButton(int on) {
  if (on)
    buttons_.fetch_or(2, std::memory_order_relaxed);
  else
    buttons_.fetch_and(1, std::memory_order_relaxed);
}

void MouseCursor::SetMessageButtons(int on) { messageButtons_.store(on, std::memory_order_relaxed); }
