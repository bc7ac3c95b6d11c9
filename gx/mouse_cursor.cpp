#include "gx/mouse_cursor.h"

#include "gx/gx.h"

MouseCursor mouseCursor;

void MouseCursor::SetPosition(int x, int y) {
  x_.store(x, std::memory_order_relaxed);
  y_.store(y, std::memory_order_relaxed);
}

void MouseCursor::GetState(int* x, int* y, int* buttons) {
  if (x) *x = x_.load(std::memory_order_relaxed);
  if (y) *y = y_.load(std::memory_order_relaxed);
  // Only a read of the buttons takes the presses since the previous one;
  // without the library's mouse they are those set by hand.
  if (!buttons) return;
  if (GXMouseReady()) Poll();
  *buttons = buttons_.load(std::memory_order_relaxed);
  unseenPress_.store(0, std::memory_order_relaxed);
  if (const int released = pendingRelease_.exchange(0, std::memory_order_relaxed))
    buttons_.fetch_and(~released, std::memory_order_relaxed);
}

void MouseCursor::Poll() {
  if (messageButtons_.load(std::memory_order_relaxed) == 1) return;
  int dx = 0, dy = 0, b = 0;
  GXGetMouseData(&dx, &dy, &b);
  buttons_.store(b, std::memory_order_relaxed);
}

void MouseCursor::DropPresses() {
  int ignored = 0;
  GetState(nullptr, nullptr, &ignored);
}

void MouseCursor::SetMessageButton(int bit, int on) {
  if (on) {
    buttons_.fetch_or(bit, std::memory_order_relaxed);
    unseenPress_.fetch_or(bit, std::memory_order_relaxed);
    pendingRelease_.fetch_and(~bit, std::memory_order_relaxed);
  } else if (unseenPress_.load(std::memory_order_relaxed) & bit) {
    pendingRelease_.fetch_or(bit, std::memory_order_relaxed);
  } else {
    buttons_.fetch_and(~bit, std::memory_order_relaxed);
  }
}

void MouseCursor::SetLeftButton(int on) { SetMessageButton(1, on); }
void MouseCursor::SetRightButton(int on) { SetMessageButton(2, on); }

void MouseCursor::SetMessageButtons(int on) { messageButtons_.store(on, std::memory_order_relaxed); }
