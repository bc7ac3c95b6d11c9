#include "gx/mouse_cursor.h"

#include "platform/device/input.h"

MouseCursor mouseCursor;

namespace {

bool IsMove(const platform::DeviceEvent& e) { return e.kind == platform::DeviceEvent::Kind::MouseMove; }

}  // namespace

void MouseCursor::SetPosition(int x, int y) {
  x_ = x;
  y_ = y;
}

void MouseCursor::SetOffset(int x, int y) {
  offsetX_ = x;
  offsetY_ = y;
}

void MouseCursor::Apply(const platform::DeviceEvent& e) {
  SetPosition(e.x - offsetX_, e.y - offsetY_);
  if (IsMove(e)) return;
  const int bit = e.button == 0 ? 1 : 2;
  buttons_ = e.down ? (buttons_ | bit) : (buttons_ & ~bit);
}

void MouseCursor::GetState(int* x, int* y, int* buttons) {
  platform::InputEvent taken;
  while (platform::TakeInputEvent(platform::InputStream::Pointer, &taken, buttons ? nullptr : IsMove)) {
    Apply(taken.event);
    if (!IsMove(taken.event)) break;
  }
  if (x) *x = x_;
  if (y) *y = y_;
  if (buttons) *buttons = buttons_;
}

void MouseCursor::DropPresses() {
  platform::InputEvent taken;
  while (platform::TakeInputEvent(platform::InputStream::Pointer, &taken)) Apply(taken.event);
}
