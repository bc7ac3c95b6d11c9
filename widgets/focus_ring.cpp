#include "widgets/focus_ring.h"

#include <cstdlib>

#include "gx/key_queue.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "gx/surface.h"

namespace {

bool shown = false;
bool mouseKnown = false;
int lastMouseX = 0, lastMouseY = 0;

// One line of the frame, inset by `in` from rect.
void Outline(IDirectDrawSurface* surface, const RECT& rect, int in, int thickness, uint16_t colour) {
  const int x = rect.left + in, y = rect.top + in;
  const int w = rect.right - rect.left - 2 * in, h = rect.bottom - rect.top - 2 * in;
  if (w < 2 * thickness || h < 2 * thickness) return;
  FillRect(surface, x, y, w, thickness, colour);
  FillRect(surface, x, y + h - thickness, w, thickness, colour);
  FillRect(surface, x, y + thickness, thickness, h - 2 * thickness, colour);
  FillRect(surface, x + w - thickness, y + thickness, thickness, h - 2 * thickness, colour);
}

bool IsArrow(int event) {
  const int code = event & 0xFF;
  return code == KeyQueue::kLeft || code == KeyQueue::kRight || code == KeyQueue::kUp || code == KeyQueue::kDown;
}

int CentreX(const RECT& r) { return (r.left + r.right) / 2; }
int CentreY(const RECT& r) { return (r.top + r.bottom) / 2; }

}  // namespace

void DrawFocusFrame(const RECT& rect) {
  IDirectDrawSurface* back = redrawManager.GetBackBuffer();
  if (!back) return;
  int w = 0, h = 0;
  GetSurfaceSize(back, &w, &h);
  // Kept inside the surface: a fill that sticks out draws nothing at all.
  const RECT r{rect.left < 0 ? 0 : rect.left, rect.top < 0 ? 0 : rect.top, rect.right > w ? w : rect.right,
               rect.bottom > h ? h : rect.bottom};
  // Dark, light, dark: one of them stands out on any picture.
  const uint16_t dark = PackColor(back, 0, 0, 0);
  const uint16_t light = PackColor(back, 255, 255, 255);
  Outline(back, r, 0, 1, dark);
  Outline(back, r, 1, 3, light);
  Outline(back, r, 4, 1, dark);
  redrawManager.AddDirtyRect(r.left, r.top, r.right - r.left, r.bottom - r.top, kDirtyOneShot, kDirtyPresent);
}

std::vector<FocusTarget> FocusRing::ButtonTargets(const ButtonSet* set) {
  std::vector<FocusTarget> targets;
  if (!set) return targets;
  for (int i = 0; i < set->Count(); ++i) {
    const Button* b = set->At(i);
    if (!b->enabled || b->width <= 0 || b->height <= 0) continue;
    const int left = b->x + b->offsetX, top = b->y + b->offsetY;
    targets.push_back({b->name, RECT{left, top, left + b->width, top + b->height}});
  }
  return targets;
}

void FocusRing::Press(ButtonSet* set, const std::string& name) { Press(set ? set->Find(name.c_str()) : nullptr); }

void FocusRing::Press(Button* button) {
  if (!button || !button->enabled) return;
  button->clicked = 1;
  button->clickKind = 1;
}

bool FocusRing::Shown() { return shown; }
void FocusRing::Show() { shown = true; }
void FocusRing::Hide() { shown = false; }

void FocusRing::NoteMouse(int x, int y) {
  if (mouseKnown && (x != lastMouseX || y != lastMouseY)) shown = false;
  mouseKnown = true;
  lastMouseX = x;
  lastMouseY = y;
}

int FocusRing::FocusedIndex(const std::vector<FocusTarget>& targets) {
  for (size_t i = 0; i < targets.size(); ++i)
    if (targets[i].name == focused) return static_cast<int>(i);
  if (targets.empty()) return -1;
  focused = targets[0].name;
  return 0;
}

FocusRing::Result FocusRing::HandleKey(int event, const std::vector<FocusTarget>& targets) {
  const int code = event & 0xFF;
  int dx = 0, dy = 0;
  switch (code) {
    case KeyQueue::kLeft: dx = -1; break;
    case KeyQueue::kRight: dx = 1; break;
    case KeyQueue::kUp: dy = -1; break;
    case KeyQueue::kDown: dy = 1; break;
    case KeyQueue::kTab:
    case KeyQueue::kEnter:
    case KeyQueue::kSpace: break;
    default: return Result::kNone;
  }
  const int current = FocusedIndex(targets);
  if (current < 0) return Result::kBlocked;
  const int count = static_cast<int>(targets.size());
  const bool press = code == KeyQueue::kEnter || code == KeyQueue::kSpace;
  if (!shown) {
    // The first key shows what it would press; with one target there is
    // nothing to choose, so a picture closes with one key after a click.
    if (press && count == 1) return Result::kPressed;
    shown = true;
    return Result::kShown;
  }
  if (press) return Result::kPressed;
  if (code == KeyQueue::kTab) {
    const int step = (event & KeyQueue::kShiftBit) ? count - 1 : 1;
    focused = targets[static_cast<size_t>((current + step) % count)].name;
    return Result::kMoved;
  }
  // The nearest target whose centre lies past the focused one's edge that
  // way, straying sideways counting double, so a button straight ahead
  // beats a closer diagonal one. Past the edge, not merely past the centre:
  // two boxes of one column a pixel apart are not left or right of each
  // other, nor is a button whose top is level with the focused one's.
  const RECT& from = targets[static_cast<size_t>(current)].rect;
  int best = -1;
  long bestScore = 0;
  for (int i = 0; i < count; ++i) {
    const RECT& to = targets[static_cast<size_t>(i)].rect;
    const long ax = CentreX(to) - CentreX(from), ay = CentreY(to) - CentreY(from);
    const long ahead = ax * dx + ay * dy;
    const long aside = std::labs(dx != 0 ? ay : ax);
    const long beyond = dx < 0   ? from.left - CentreX(to)
                        : dx > 0 ? CentreX(to) - from.right
                        : dy < 0 ? from.top - CentreY(to)
                                 : CentreY(to) - from.bottom;
    if (i == current || beyond <= 0) continue;
    const long score = ahead + 2 * aside;
    if (best < 0 || score < bestScore) {
      best = i;
      bestScore = score;
    }
  }
  if (best < 0) return Result::kBlocked;
  focused = targets[static_cast<size_t>(best)].name;
  return Result::kMoved;
}

int FocusRing::PollKeys(ButtonSet* set, const std::vector<FocusTarget>& targets, std::string* pressed) {
  int other = 0;
  while (int event = keyQueue.Pop()) {
    const Result result = HandleKey(event, targets);
    // An arrow with nowhere to go that way is the owner's too (the players
    // pop-up goes back to its boxes from the top row of buttons).
    if (result == Result::kNone || (result == Result::kBlocked && IsArrow(event))) other = event & 0xFF;
    if (result != Result::kPressed) continue;
    if (set && set->Find(focused.c_str())) Press(set, focused);
    else if (pressed) *pressed = focused;
    keyQueue.Flush();
    break;
  }
  return other;
}

void FocusRing::Draw(const std::vector<FocusTarget>& targets) const {
  if (!shown) return;
  for (const FocusTarget& t : targets)
    if (t.name == focused) DrawFocusFrame(t.rect);
}

std::string FocusRing::Describe() const { return "focus " + (shown && !focused.empty() ? focused : "-") + "\n"; }
