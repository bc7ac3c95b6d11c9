#include "widgets/sprite.h"

#include <cmath>
#include <cstring>

#include "platform/win/window.h"
#include "gx/main_window.h"
#include "gx/frame_clock.h"
#include "gx/gx.h"
#include "widgets/fixed_text.h"
#include "widgets/redraw_manager.h"
#include "gx/surface.h"

SpriteList spriteList;

namespace {

// a - b on the tick counter, right across its 32-bit wrap.
int Difference(int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }

}  // namespace

Sprite::Sprite()
    : x(0),
      y(0),
      vx(0),
      vy(0),
      width(0),
      height(0),
      playMode(kPlayHold),
      animating(0),
      currentFrame(0),
      centred(0),
      sourceRect{0, 0, 0, 0},
      frameDelay(0),
      frameStep(1),
      frameTime(0),
      sharedFrames(0),
      rangeStart(-1),
      rangeEnd(-1),
      dirtyReporting(1),
      visible(1) {
  name[0] = '\0';
}

Sprite::Sprite(const Sprite& source) : Sprite() {
  for (IDirectDrawSurface* frame : source.frames) AddFrame(frame);
  x = source.x;
  y = source.y;
  width = source.width;
  height = source.height;
  frameStep = source.frameStep;
  currentFrame = source.currentFrame;
  centred = source.centred;
  vx = source.vx;
  vy = source.vy;
  frameTime = source.frameTime;
  frameDelay = source.frameDelay;
  rangeStart = source.rangeStart;
  rangeEnd = source.rangeEnd;
  dirtyReporting = source.dirtyReporting;
  playMode = source.playMode;
  animating = source.animating;
  visible = source.visible;
  std::memcpy(name, source.name, sizeof(name));
  sharedFrames = 1;
}

Sprite::~Sprite() {
  if (!sharedFrames) {
    for (IDirectDrawSurface* frame : frames)
      if (frame) frame->Release();
  }
}

void Sprite::SetPosition(int px, int py) {
  x = static_cast<float>(px);
  y = static_cast<float>(py);
}

void Sprite::Draw() { DrawTo(redrawManager.GetTarget()); }

bool Sprite::DrawableFrame() const {
  return currentFrame >= 0 && currentFrame < static_cast<int32_t>(frames.size()) && frames[currentFrame];
}

void Sprite::DrawRegion(int srcX, int srcY, int w, int h, IDirectDrawSurface* target, int destX, int destY) {
  if (!DrawableFrame()) return;
  if (visible) BlitClipped(frames[currentFrame], srcX, srcY, w, h, target, destX, destY, kDefaultBlitFlags);
  if (dirtyReporting) redrawManager.AddDirtyRect(RECT{destX, destY, destX + w, destY + h}, kDirtyOneShot, kDirtyPresent);
}

void Sprite::DrawTo(IDirectDrawSurface* target) {
  if (!DrawableFrame()) return;
  int left, top;
  if (centred) {
    left = static_cast<int>(std::trunc(x - static_cast<float>(width / 2)));
    top = static_cast<int>(std::trunc(y - static_cast<float>(height / 2)));
  } else {
    left = static_cast<int>(std::trunc(x));
    top = static_cast<int>(std::trunc(y));
  }
  if (visible) DrawSurfaceAt(frames[currentFrame], target, left, top, kDefaultBlitFlags);
  if (dirtyReporting)
    redrawManager.AddDirtyRect(RECT{left, top, left + width, top + height}, kDirtyOneShot, kDirtyPresent);
}

void Sprite::Move() {
  x += vx;
  y += vy;
}

void Sprite::SetSourceRect(int sx, int sy, int w, int h) { sourceRect = {sx, sy, w, h}; }

void Sprite::SelectFrame(int n) {
  if (n >= 0 && n < static_cast<int>(frames.size())) currentFrame = n;
}

void Sprite::SetVisible(int flag) { visible = flag; }
void Sprite::SetFrameDelay(int ms) { frameDelay = ms; }

void Sprite::SetColorKey(int r, int g, int b) {
  for (IDirectDrawSurface* frame : frames) SetColorKeyRGB(frame, r, g, b);
}

int Sprite::StepFrame() {
  // frameTime holds the next allowed change here; the signed difference
  // keeps the comparison right across the counter's wrap.
  const int now = GetTicks();
  if (Difference(now, frameTime) <= 0) return 0;
  const int next = currentFrame + frameStep;
  if (next >= 0 && next < static_cast<int>(frames.size())) currentFrame = next;
  frameTime = static_cast<int32_t>(static_cast<uint32_t>(now) + static_cast<uint32_t>(frameDelay));
  return 1;
}

void Sprite::SetCurrentFrame(int n) { currentFrame = n; }

int Sprite::LoadStrip(const char* path, int count, int vertical) {
  IDirectDrawSurface* bitmap = GXLoadBitmap(path, 16);
  if (!bitmap) return 0;
  int w = 0, h = 0;
  GetSurfaceSize(bitmap, &w, &h);
  if (count > 0) {
    const int frameWidth = vertical ? w : w / count;
    const int frameHeight = vertical ? h / count : h;
    SplitSurface(bitmap, frames, frameWidth, frameHeight);
  }
  bitmap->Release();
  width = w;
  height = h;
  rangeStart = 0;
  rangeEnd = static_cast<int32_t>(frames.size());
  return static_cast<int>(frames.size());
}

int Sprite::LoadGrid(const char* path, int frameWidth, int frameHeight) {
  LoadAndSplit(path, frames, frameWidth, frameHeight);
  width = frameWidth;
  height = frameHeight;
  rangeStart = 0;
  rangeEnd = static_cast<int32_t>(frames.size());
  return static_cast<int>(frames.size());
}

void Sprite::SetFrameRange(int start, int end) {
  rangeStart = start;
  rangeEnd = end;
}

void Sprite::SetName(const char* text) { CopyFixedText(name, text); }
void Sprite::SetAnimating(int flag) { animating = flag; }
void Sprite::SetPlayMode(int mode) { playMode = mode; }
void Sprite::SetDirtyReporting(int flag) { dirtyReporting = flag; }

void Sprite::ApplyEndOfRange() {
  switch (playMode) {
    case kPlayHold:
      animating = 0;
      currentFrame = rangeEnd - 1;
      break;
    case kPlayLoop:
      currentFrame = rangeStart;
      break;
    case kPlayRewind:
      animating = 0;
      currentFrame = rangeStart;
      break;
    case kPlayVanish:
      animating = 0;
      currentFrame = -1;
      break;
    default:
      break;
  }
}

void Sprite::ApplyBelowZero() {
  switch (playMode) {
    case kPlayHold:
    case kPlayRewind:
      animating = 0;
      currentFrame = rangeStart;
      break;
    case kPlayLoop:
      currentFrame = rangeEnd - 1;
      break;
    case kPlayVanish:
      animating = 0;
      currentFrame = -1;
      break;
    default:
      break;
  }
}

void Sprite::Animate() {
  if (rangeStart == -1) return;
  // A change needs strictly more than frameDelay milliseconds.
  const int now = GetTicks();
  if (Difference(now, frameTime) <= frameDelay) return;
  frameTime = now;
  if (animating == 1) {
    currentFrame += frameStep;
    SelectFrame(currentFrame);
  }
  if (currentFrame >= rangeEnd) ApplyEndOfRange();
  if (currentFrame < 0) ApplyBelowZero();
}

void Sprite::DivideWidthByFrames() {
  if (!frames.empty()) width = width / static_cast<int32_t>(frames.size());
}

void Sprite::SetCentred(int flag) { centred = flag; }

int Sprite::AddFrame(IDirectDrawSurface* surface) {
  if (!surface) return 1;
  SetColorKeyRGB(surface, 0, 0, 255);
  int w = 0, h = 0;
  GetSurfaceSize(surface, &w, &h);
  SetSourceRect(0, 0, w, h);
  frames.push_back(surface);
  rangeStart = 0;
  rangeEnd = static_cast<int32_t>(frames.size());
  width = w;
  height = h;
  return 1;
}

int Sprite::AddFrameFromFile(const char* path) {
  IDirectDrawSurface* surface = GXLoadBitmap(path, 16);
  if (!surface) {
    MessageBoxA(mainWindow, path ? path : "", "ERROR: can't find file!", MB_OK);
    return 1;
  }
  return AddFrame(surface);
}

void Sprite::AddSharedFrame(IDirectDrawSurface* surface) {
  sharedFrames = 1;
  AddFrame(surface);
}

// ---------------------------------------------------------------------------

SpriteList::~SpriteList() { Clear(); }

Sprite* SpriteList::Add(Sprite& source) {
  if (!list) list = new std::vector<Sprite*>();
  source.frameTime = GetTicks();
  source.currentFrame = source.rangeStart == -1 ? 0 : source.rangeStart;
  Sprite* clone = new Sprite(source);
  list->push_back(clone);
  return clone;
}

void SpriteList::TakeOut(size_t index) {
  takenOut.push_back((*list)[index]);
  list->erase(list->begin() + static_cast<std::ptrdiff_t>(index));
}

void SpriteList::DrawAll(IDirectDrawSurface* target) {
  if (!list) return;
  for (Sprite* sprite : *list) {
    sprite->Animate();
    if (sprite->rangeStart <= sprite->currentFrame && sprite->currentFrame < sprite->rangeEnd) sprite->DrawTo(target);
  }
  for (size_t i = 0; i < list->size();) {
    Sprite* sprite = (*list)[i];
    const bool outside = sprite->currentFrame < sprite->rangeStart || sprite->currentFrame >= sprite->rangeEnd;
    if (sprite->playMode == kPlayVanish && outside)
      TakeOut(i);
    else
      ++i;
  }
}

Sprite* SpriteList::Find(const char* name) {
  if (!list || !name) return nullptr;
  for (Sprite* sprite : *list)
    if (std::strcmp(sprite->name, name) == 0) return sprite;
  return nullptr;
}

void SpriteList::Remove(const char* name) {
  Sprite* sprite = Find(name);
  if (!sprite) return;
  for (size_t i = 0; i < list->size(); ++i)
    if ((*list)[i] == sprite) {
      TakeOut(i);
      return;
    }
}

void SpriteList::Clear() {
  if (list) {
    for (Sprite* sprite : *list) delete sprite;
    delete list;
    list = nullptr;
  }
  for (Sprite* sprite : takenOut) delete sprite;
  takenOut.clear();
}

bool SpriteList::Contains(const Sprite* sprite) const {
  if (!list) return false;
  for (const Sprite* s : *list)
    if (s == sprite) return true;
  return false;
}
