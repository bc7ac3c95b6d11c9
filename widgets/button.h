// A named rectangle with state images (normal, mouse over, pressed) that
// moves between its states from the mouse, redraws itself when the state
// changes and raises a one-update click pulse. A ButtonSet holds a screen's
// buttons in order and answers "was the button with this name pressed?".
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/ddraw.h"

constexpr int32_t kButtonNormal = 0;
constexpr int32_t kButtonOver = 1;
constexpr int32_t kButtonPressed = 2;

class Button {
 public:
  Button();
  Button(int x, int y);
  Button(int x, int y, int w, int h);
  Button(const Button&) = delete;
  Button& operator=(const Button&) = delete;

  // The virtual operations, in their fixed slot order (0..23).
  // The button takes ownership of the surface and releases it when destroyed.
  virtual int AddImage(int number, IDirectDrawSurface* image);
  virtual int LoadImage(int number, const char* path);
  virtual void LoadImageStrip(const char* path, int count, int vertical);
  virtual int UpdateMouse(int x, int y, int buttons);
  // Null draws on the back buffer.
  virtual void Draw(IDirectDrawSurface* surface);
  virtual void SetImageBase(int n);
  virtual void DrawTo(IDirectDrawSurface* target);
  virtual void Redraw();
  virtual int WasClicked();
  virtual void Reset();
  virtual void SetName(const char* text);
  virtual void SetOffset(int dx, int dy);
  virtual void SetEnabled(int flag);
  virtual void DrawToBoth(int flag);
  virtual void SwapFirstTwoImages();
  virtual void SetFixedFirstImage(int flag);
  virtual void SetState(int s);
  virtual int GetState();
  virtual void SetHitRect(int x, int y, int w, int h);
  virtual void SetDirtyReporting(int flag);
  virtual void SetPixelHitTest(int flag);
  virtual int IsMouseOver();
  virtual void SetForcedImage(int index);
  virtual int GetForcedImage();
  // After the slots so they keep their order; virtual so that derived
  // buttons are destroyed whole by the set that owns them.
  virtual ~Button();

  struct Image {
    int32_t number;
    IDirectDrawSurface* surface;
  };

  // Fields in their documented order.
  int32_t x, y;
  int32_t width, height;
  int32_t hitX, hitY;
  int32_t hitWidth, hitHeight;
  int32_t offsetX, offsetY;
  int32_t state;
  int32_t imageBase;
  std::vector<Image> images;
  int32_t clicked;
  int32_t clickKind;  // 1 left, 2 right (message-driven only), 0 none
  char name[64];
  int32_t enabled;
  int32_t fixedFirstImage;
  int32_t dirtyReporting;
  int32_t pixelHitTest;
  int32_t mouseOver;
  int32_t forcedImage;

 private:
  // SetState and Draw(none) through the slots, only when the state differs.
  void ChangeTo(int s);
  bool HitHalfOpen(int px, int py) const;
  // 1 = the pixel of image 0 under (px, py) is part of the button, 0 = key
  // colour or outside image 0, -1 = there is no image 0.
  int SampleOpaque(int px, int py) const;
};

class ButtonSet {
 public:
  ButtonSet() = default;
  ButtonSet(const ButtonSet&) = delete;
  ButtonSet& operator=(const ButtonSet&) = delete;
  ~ButtonSet();

  // The set owns the button from then on.
  void Add(Button* button);
  void UpdateAll(int x, int y, int buttons);
  void DrawAll();
  Button* FindClicked();
  int WasPressed(const char* name);
  // The same for one button of the set, without its name.
  int WasPressed(const Button* button);
  Button* Find(const char* name);
  void SetOffsetAll(int x, int y);
  void Remove(const char* name);
  void Clear();

  int Count() const { return static_cast<int>(buttons.size()); }
  Button* At(int index) const { return buttons[static_cast<size_t>(index)]; }

  int32_t offsetX = 0, offsetY = 0;

 private:
  std::vector<Button*> buttons;
};
