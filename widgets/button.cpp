#include "widgets/button.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "gx/gx.h"
#include "widgets/fixed_text.h"
#include "widgets/redraw_manager.h"
#include "gx/surface.h"

Button::Button() : Button(0, 0, 0, 0) {}

Button::Button(int px, int py) : Button(px, py, 0, 0) {}

Button::Button(int px, int py, int w, int h)
    : x(px),
      y(py),
      width(w),
      height(h),
      hitX(px),
      hitY(py),
      hitWidth(w),
      hitHeight(h),
      offsetX(0),
      offsetY(0),
      state(kButtonNormal),
      imageBase(0),
      clicked(0),
      clickKind(0),
      enabled(1),
      fixedFirstImage(0),
      dirtyReporting(0),
      pixelHitTest(0),
      mouseOver(0),
      forcedImage(-1) {
  name[0] = '\0';
}

Button::~Button() {
  for (Image& image : images)
    if (image.surface) image.surface->Release();
}

int Button::AddImage(int number, IDirectDrawSurface* image) {
  SetColorKeyRGB(image, 0, 0, 255);
  images.push_back(Image{number, image});
  int w = 0, h = 0;
  GetSurfaceSize(image, &w, &h);
  width = hitWidth = w;
  height = hitHeight = h;
  return 1;
}

int Button::LoadImage(int number, const char* path) {
  IDirectDrawSurface* image = GXLoadBitmap(path, 16);
  if (!image) return 0;
  return AddImage(number, image);
}

void Button::LoadImageStrip(const char* path, int count, int vertical) {
  IDirectDrawSurface* bitmap = GXLoadBitmap(path, 16);
  if (!bitmap) return;
  int w = 0, h = 0;
  GetSurfaceSize(bitmap, &w, &h);
  std::vector<IDirectDrawSurface*> cells;
  if (count > 0) SplitSurface(bitmap, cells, vertical ? w : w / count, vertical ? h / count : h);
  if (static_cast<int>(cells.size()) == count) {
    for (int i = 0; i < count; ++i) AddImage(i, cells[static_cast<size_t>(i)]);
  } else {
    // A strip that did not give the asked number of cells adds nothing.
    for (IDirectDrawSurface* cell : cells) cell->Release();
  }
  bitmap->Release();
}

bool Button::HitHalfOpen(int px, int py) const {
  const int left = hitX + offsetX, top = hitY + offsetY;
  return left <= px && px < left + hitWidth && top <= py && py < top + hitHeight;
}

int Button::SampleOpaque(int px, int py) const {
  if (images.empty() || !images[0].surface) return -1;
  IDirectDrawSurface* image = images[0].surface;
  const int sx = px - (hitX + offsetX), sy = py - (hitY + offsetY);
  int w = 0, h = 0;
  GetSurfaceSize(image, &w, &h);
  // A hit rectangle larger than image 0 can put the point outside it; such
  // points are treated as transparent, never read.
  if (sx < 0 || sy < 0 || sx >= w || sy >= h) return 0;
  return ReadPixel(image, sx, sy) != PackColor(image, 0, 0, 255) ? 1 : 0;
}

void Button::ChangeTo(int s) {
  if (state == s) return;
  SetState(s);
  Draw(nullptr);
}

int Button::UpdateMouse(int px, int py, int buttons) {
  if (!enabled) return state;
  clicked = 0;
  clickKind = 0;
  const bool over = HitHalfOpen(px, py);
  mouseOver = over ? 1 : 0;
  if (buttons & 1) {
    if (!over) {
      ChangeTo(kButtonNormal);
    } else if (state != kButtonPressed) {
      if (!pixelHitTest || SampleOpaque(px, py) == 1) ChangeTo(kButtonPressed);
    }
    return state;
  }
  if (!over) {
    ChangeTo(kButtonNormal);
    return state;
  }
  if (pixelHitTest) {
    const int sample = SampleOpaque(px, py);
    if (sample < 0) return state;
    if (sample == 0) {
      SetState(kButtonNormal);
      Draw(nullptr);
      return state;
    }
  }
  if (state == kButtonPressed) {
    clicked = 1;
    clickKind = 1;
  }
  ChangeTo(kButtonOver);
  return state;
}

void Button::Draw(IDirectDrawSurface* surface) { DrawTo(surface ? surface : redrawManager.GetBackBuffer()); }

void Button::SetImageBase(int n) {
  imageBase = n;
  Redraw();
}

void Button::DrawTo(IDirectDrawSurface* target) {
  const int count = static_cast<int>(images.size());
  if (count == 0) return;
  const int left = x + offsetX, top = y + offsetY;
  RECT rect{left, top, left + width, top + height};
  int chosen;
  if (state + imageBase < count)
    chosen = forcedImage != -1 ? forcedImage : fixedFirstImage ? 0 : state + imageBase;
  else
    chosen = count - 1;
  if (dirtyReporting) redrawManager.AddDirtyRect(rect, kDirtyOneShot, kDirtyPresent);
  // An index outside the list (a stale forced image) draws nothing.
  if (chosen < 0 || chosen >= count || !target) return;
  IDirectDrawSurface* image = images[static_cast<size_t>(chosen)].surface;
  if (!image) return;
  int w = 0, h = 0;
  GetSurfaceSize(image, &w, &h);
  RECT whole{0, 0, w, h};
  target->Blt(&rect, image, &whole, DDBLT_KEYSRC | DDBLT_WAIT, nullptr);
}

void Button::Redraw() {
  if (enabled) DrawTo(redrawManager.GetBackBuffer());
}

int Button::WasClicked() { return clicked; }

void Button::Reset() {
  SetState(kButtonNormal);
  Redraw();
}

void Button::SetName(const char* text) { CopyFixedText(name, text); }

void Button::SetOffset(int dx, int dy) {
  offsetX = dx;
  offsetY = dy;
}

void Button::SetEnabled(int flag) { enabled = flag; }

void Button::DrawToBoth(int flag) {
  if (!flag) return;
  Draw(redrawManager.GetBackground());
  Draw(redrawManager.GetTarget());
}

void Button::SwapFirstTwoImages() {
  if (images.size() >= 2) std::swap(images[0], images[1]);
  Redraw();
}

void Button::SetFixedFirstImage(int flag) { fixedFirstImage = flag; }
void Button::SetState(int s) { state = s; }
int Button::GetState() { return state; }

void Button::SetHitRect(int hx, int hy, int w, int h) {
  hitX = hx;
  hitY = hy;
  hitWidth = w;
  hitHeight = h;
}

void Button::SetDirtyReporting(int flag) { dirtyReporting = flag; }
void Button::SetPixelHitTest(int flag) { pixelHitTest = flag; }
int Button::IsMouseOver() { return mouseOver; }
void Button::SetForcedImage(int index) { forcedImage = index; }
int Button::GetForcedImage() { return forcedImage; }

// ---------------------------------------------------------------------------

ButtonSet::~ButtonSet() { Clear(); }

void ButtonSet::Add(Button* button) {
  if (button) buttons.push_back(button);
}

void ButtonSet::UpdateAll(int x, int y, int mouseButtons) {
  for (Button* button : buttons) button->UpdateMouse(x, y, mouseButtons);
}

void ButtonSet::DrawAll() {
  for (Button* button : buttons) button->Redraw();
}

Button* ButtonSet::FindClicked() {
  for (Button* button : buttons)
    if (button->clicked && button->enabled) return button;
  return nullptr;
}

int ButtonSet::WasPressed(const char* text) {
  Button* button = FindClicked();
  if (button && text && std::strcmp(button->name, text) == 0) return button->WasClicked();
  return 0;
}

int ButtonSet::WasPressed(const Button* button) {
  Button* clicked = FindClicked();
  return clicked && clicked == button ? clicked->WasClicked() : 0;
}

Button* ButtonSet::Find(const char* text) {
  if (!text) return nullptr;
  for (Button* button : buttons)
    if (std::strcmp(button->name, text) == 0) return button;
  return nullptr;
}

void ButtonSet::SetOffsetAll(int x, int y) {
  offsetX = x;
  offsetY = y;
  for (Button* button : buttons) button->SetOffset(x, y);
}

void ButtonSet::Remove(const char* text) {
  Button* button = Find(text);
  if (!button) return;
  buttons.erase(std::find(buttons.begin(), buttons.end(), button));
  delete button;
}

void ButtonSet::Clear() {
  for (Button* button : buttons) delete button;
  buttons.clear();
}
