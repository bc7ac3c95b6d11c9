#include "gx/mouse_cursor.h"

#include "platform/device/input.h"

MouseCursor mouseCursor;

namespace {

bool IsMove(const platform::DeviceEvent& e) { return e.kind == platform::DeviceEvent::Kind::MouseMove; }
int Bit(const platform::DeviceEvent& e) { return e.button == 0 ? 1 : 2; }

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
  buttons_ = e.down ? (buttons_ | Bit(e)) : (buttons_ & ~Bit(e));
}

void MouseCursor::GetState(int* x, int* y, int* buttons) {
  // A read of the buttons takes everything queued up to a button that would
  // go both ways: a tap (or a release and a new press) is seen on two
  // reads, so no click is lost; the other button's changes read with it, as
  // the held buttons show them. The read is where its last press or release
  // happened; the moves after it place the pointer for later reads. A read
  // of the position alone takes the moves up to the next press or release.
  int changed = 0;
  int atX = 0, atY = 0;
  platform::InputEvent taken;
  // A press of a button held, or a release of one up, changes nothing.
  const auto changes = [this](const platform::DeviceEvent& e) { return e.down != ((buttons_ & Bit(e)) != 0); };
  while (platform::TakeInputEvent(platform::InputStream::Pointer, &taken, [&](const platform::DeviceEvent& e) {
    return IsMove(e) || (buttons && (!(changed & Bit(e)) || !changes(e)));
  })) {
    if (!IsMove(taken.event) && changes(taken.event)) {
      changed |= Bit(taken.event);
      atX = taken.event.x - offsetX_;
      atY = taken.event.y - offsetY_;
    }
    Apply(taken.event);
  }
  if (changed == 0) {
    atX = x_;
    atY = y_;
  }
  if (x) *x = atX;
  if (y) *y = atY;
  if (buttons) *buttons = buttons_;
}

void MouseCursor::DropPresses() {
  platform::InputEvent taken;
  while (platform::TakeInputEvent(platform::InputStream::Pointer, &taken)) Apply(taken.event);
}
