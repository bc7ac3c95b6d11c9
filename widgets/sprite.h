// The framework's moving, animated picture: an ordered list of frames (each
// a 16-bit surface with the pure-blue colour key), a float position and
// velocity, a play mode for the ends of the frame range, and the switches that
// make it report what it drew to the redraw manager. The global sprite list
// keeps clones of configured sprites that animate and draw on their own.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/ddraw.h"

// What Animate does when currentFrame leaves the range.
constexpr int32_t kPlayHold = 0;    // stop on the last frame (or the first, backwards)
constexpr int32_t kPlayLoop = 1;    // wrap around
constexpr int32_t kPlayRewind = 2;  // stop on the first frame of the range
constexpr int32_t kPlayVanish = 3;  // stop and show nothing (currentFrame -1)

class Sprite {
 public:
  Sprite();
  // Shares the source's frames (sharedFrames = 1) and copies its state; the
  // copy is always a plain Sprite. The source must outlive the copy or own
  // nothing.
  Sprite(const Sprite& source);
  Sprite& operator=(const Sprite&) = delete;

  // The virtual operations, in their fixed slot order (0..21).
  virtual void SetPosition(int x, int y);
  virtual void Draw();
  virtual void DrawRegion(int srcX, int srcY, int w, int h, IDirectDrawSurface* target, int destX, int destY);
  virtual void DrawTo(IDirectDrawSurface* target);
  virtual void Move();
  virtual void SetSourceRect(int x, int y, int w, int h);
  virtual void SelectFrame(int n);
  virtual void SetVisible(int flag);
  virtual void SetFrameDelay(int ms);
  virtual void SetColorKey(int r, int g, int b);
  virtual int StepFrame();
  virtual void SetCurrentFrame(int n);
  virtual int LoadStrip(const char* path, int count, int vertical);
  virtual int LoadGrid(const char* path, int frameWidth, int frameHeight);
  virtual void SetFrameRange(int start, int end);
  virtual void SetName(const char* text);
  virtual void SetAnimating(int flag);
  virtual void SetPlayMode(int mode);
  virtual void SetDirtyReporting(int flag);
  virtual void Animate();
  virtual void DivideWidthByFrames();
  virtual void SetCentred(int flag);
  // Declared after the slots so they keep their order; virtual so that a
  // derived sprite (the game's score pop-ups) is destroyed whole through a
  // Sprite pointer.
  virtual ~Sprite();

  // A missing surface is ignored. Gives the surface the blue key, makes the
  // range cover every frame and the size that of this frame. Returns 1.
  int AddFrame(IDirectDrawSurface* surface);
  // Shows "ERROR: can't find file!" with the path when the bitmap is missing.
  int AddFrameFromFile(const char* path);
  void AddSharedFrame(IDirectDrawSurface* surface);
  void Rewind() { currentFrame = 0; }
  int FrameCount() const { return static_cast<int>(frames.size()); }

  // Fields in their documented order; owners write vx, vy and frameStep directly.
  char name[64];
  float x, y;
  float vx, vy;
  int32_t width, height;
  int32_t playMode;
  int32_t animating;
  std::vector<IDirectDrawSurface*> frames;
  int32_t currentFrame;
  int32_t centred;
  struct {
    int32_t x, y, w, h;
  } sourceRect;
  int32_t frameDelay;
  int32_t frameStep;
  int32_t frameTime;
  int32_t sharedFrames;
  int32_t rangeStart;
  int32_t rangeEnd;
  int32_t dirtyReporting;
  int32_t visible;

 private:
  bool DrawableFrame() const;
  void ApplyEndOfRange();
  void ApplyBelowZero();
};

// Clones that live on their own, animated and drawn once per frame. Clones
// the list takes out (finished vanishing clones, Remove) are kept aside and
// destroyed by the next Clear, so a pointer a caller still holds stays valid
// until then and nothing leaks.
class SpriteList {
 public:
  SpriteList() = default;
  SpriteList(const SpriteList&) = delete;
  SpriteList& operator=(const SpriteList&) = delete;
  ~SpriteList();

  // Restarts the source's clock and frame, then appends a clone sharing its frames.
  Sprite* Add(Sprite& source);
  void DrawAll(IDirectDrawSurface* target);
  // The oldest clone with that exact name.
  Sprite* Find(const char* name);
  void Remove(const char* name);
  void Clear();

  // Clones still in the list, in order (empty when there is no list).
  int Count() const { return list ? static_cast<int>(list->size()) : 0; }
  bool HasList() const { return list != nullptr; }
  bool Contains(const Sprite* sprite) const;

 private:
  void TakeOut(size_t index);

  std::vector<Sprite*>* list = nullptr;
  std::vector<Sprite*> takenOut;
};

extern SpriteList spriteList;
