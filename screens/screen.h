// The base of every screen of both programs: a named page that owns, while it
// is entered, a list of named bitmaps and a button set, receives window
// messages and one call per frame, and presents the frame.
#pragma once

#include <vector>

#include "platform/win/ddraw.h"
#include "platform/win/wintypes.h"

class Button;
class ButtonSet;

// A named bitmap with a place on the screen, loaded at 16 bits with a black
// colour key. Not polymorphic.
class ScreenImage {
 public:
  // Empty, with an empty name: an image whose later Load fails still has a
  // defined (empty) name.
  ScreenImage();
  explicit ScreenImage(const char* path);
  ~ScreenImage();
  ScreenImage(const ScreenImage&) = delete;
  ScreenImage& operator=(const ScreenImage&) = delete;

  IDirectDrawSurface* Load(const char* path);
  void SetName(const char* text);
  void Draw(IDirectDrawSurface* target, int x, int y);

  char name[256];
  int x, y;
  int width, height;
  IDirectDrawSurface* surface;
};

// What a screen's Run gives the frame loop each frame; kScreenQuit ends the
// program.
enum ScreenResult : int32_t {
  kScreenNotShown = 0,  // nothing new went out this frame
  kScreenShown = 1,
  kScreenQuit = 7,
};

class Screen {
 public:
  Screen();
  virtual ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // The virtual operations, in their fixed slot order (0..20).
  virtual void Setup();
  virtual void Enter(IDirectDraw* directDraw, IDirectDrawSurface* surface);
  virtual void Leave();
  virtual int HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  virtual int Run(int active);
  virtual void SetName(const char* text);
  virtual const char* GetName();
  virtual ScreenImage* LoadImage(const char* path);
  virtual void FreeImages();
  virtual void RemoveImage(ScreenImage* image);
  virtual void SetRedrawTarget(IDirectDrawSurface* surface);
  virtual void SetRedrawBackground(IDirectDrawSurface* surface);
  virtual void LoadImages(const char* iniPath);
  virtual ScreenImage* FindImage(const char* name);
  virtual ScreenImage* AddImage(const char* path, const char* name);
  virtual void RemoveImageByName(const char* name);
  virtual int DrawImageAt(IDirectDrawSurface* target, const char* name, int x, int y);
  virtual int DrawImage(IDirectDrawSurface* target, const char* name);
  virtual int Flip();
  virtual void SetFlipDelegate(Screen* screen);
  virtual void AddButton(Button* button);

  // Read access for the screen manager, pop-ups and tests.
  ButtonSet* GetButtons() const { return buttons; }
  Screen* GetFlipDelegate() const { return flipDelegate; }
  // Null between Leave and the next Setup.
  std::vector<ScreenImage*>* GetImages() const { return images; }

 protected:
  // The base class's own leave work, callable from the destructor without
  // dispatching to a derived class that is already gone.
  void LeaveBase();
  void FreeImagesBase();

  char name[256];
  IDirectDraw* directDraw;
  IDirectDrawSurface* surface;
  ButtonSet* buttons;
  std::vector<ScreenImage*>* images;
  Screen* flipDelegate;

 private:
  // Images taken out by name: nobody else holds them, yet a pointer found
  // earlier must stay valid, so they are freed with the image list.
  std::vector<ScreenImage*> removedImages;
};
