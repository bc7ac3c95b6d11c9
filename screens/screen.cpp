#include "screens/screen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win/profile.h"
#include "gx/gx.h"
#include "widgets/fixed_text.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "gx/surface.h"

// --- ScreenImage -------------------------------------------------------------

ScreenImage::ScreenImage() : x(0), y(0), width(0), height(0), surface(nullptr) { name[0] = '\0'; }

ScreenImage::ScreenImage(const char* path) : ScreenImage() { Load(path); }

ScreenImage::~ScreenImage() {
  if (surface) surface->Release();
}

IDirectDrawSurface* ScreenImage::Load(const char* path) {
  IDirectDrawSurface* loaded = nullptr;
  if (path) {
    loaded = GXLoadBitmap(path, 16);
    if (!loaded) return nullptr;
    SetColorKeyRGB(loaded, 0, 0, 0);
  }
  // The image owns its surface: a reload gives the old one back.
  if (surface) surface->Release();
  surface = loaded;
  CopyFixedText(name, path);
  if (surface) {
    GetSurfaceSize(surface, &width, &height);
  } else {
    width = height = 0;
  }
  return surface;
}

void ScreenImage::SetName(const char* text) { CopyFixedText(name, text); }

void ScreenImage::Draw(IDirectDrawSurface* target, int px, int py) {
  if (surface) DrawSurfaceAt(surface, target, px, py, kDefaultBlitFlags);
}

// --- Screen ------------------------------------------------------------------

Screen::Screen()
    : directDraw(nullptr),
      surface(nullptr),
      buttons(new ButtonSet()),
      images(new std::vector<ScreenImage*>()),
      flipDelegate(nullptr) {
  name[0] = '\0';
}

Screen::~Screen() { LeaveBase(); }

void Screen::LeaveBase() {
  delete buttons;
  buttons = nullptr;
  FreeImagesBase();
}

void Screen::FreeImagesBase() {
  for (ScreenImage* image : removedImages) delete image;
  removedImages.clear();
  if (!images) return;
  for (ScreenImage* image : *images) delete image;
  delete images;
  images = nullptr;
}

void Screen::Setup() {
  if (!images) images = new std::vector<ScreenImage*>();
  if (!buttons) buttons = new ButtonSet();
}

void Screen::Enter(IDirectDraw* dd, IDirectDrawSurface* target) {
  directDraw = dd;
  surface = target;
  Setup();
}

void Screen::Leave() {
  delete buttons;
  buttons = nullptr;
  FreeImages();
}

int Screen::HandleMessage(HWND, UINT, WPARAM, LPARAM) { return 1; }

int Screen::Run(int) { return 1; }

void Screen::SetName(const char* text) { CopyFixedText(name, text); }

const char* Screen::GetName() { return name; }

ScreenImage* Screen::LoadImage(const char* path) {
  ScreenImage* image = new ScreenImage(path);
  if (!image->surface) {
    delete image;
    return nullptr;
  }
  if (!images) images = new std::vector<ScreenImage*>();
  images->push_back(image);
  return image;
}

void Screen::FreeImages() { FreeImagesBase(); }

void Screen::RemoveImage(ScreenImage* image) {
  if (!images) return;
  auto found = std::find(images->begin(), images->end(), image);
  if (found != images->end()) images->erase(found);
}

void Screen::SetRedrawTarget(IDirectDrawSurface* target) { redrawManager.SetTarget(target); }

void Screen::SetRedrawBackground(IDirectDrawSurface* background) { redrawManager.SetBackground(background); }

void Screen::LoadImages(const char* iniPath) {
  char key[32];
  char section[256];
  char path[512];
  char value[256];
  for (int n = 1;; ++n) {
    std::snprintf(key, sizeof(key), "image%02d", n);
    GetPrivateProfileStringA("images", key, "none", section, sizeof(section), iniPath);
    if (std::strcmp(section, "none") == 0) break;
    GetPrivateProfileStringA(section, "file", "none", value, sizeof(value), iniPath);
    if (std::strcmp(value, "none") != 0)
      std::snprintf(path, sizeof(path), "%s", value);
    else
      std::snprintf(path, sizeof(path), "%s.bmp", section);
    ScreenImage* image = new ScreenImage(path);
    if (!images) images = new std::vector<ScreenImage*>();
    images->push_back(image);
    image->SetName(section);
    GetPrivateProfileStringA(section, "x", "", value, sizeof(value), iniPath);
    image->x = std::atoi(value);
    GetPrivateProfileStringA(section, "y", "", value, sizeof(value), iniPath);
    image->y = std::atoi(value);
  }
}

ScreenImage* Screen::FindImage(const char* text) {
  if (!images || !text) return nullptr;
  for (ScreenImage* image : *images)
    if (std::strcmp(image->name, text) == 0) return image;
  return nullptr;
}

ScreenImage* Screen::AddImage(const char* path, const char* text) {
  ScreenImage* image = new ScreenImage();
  image->Load(path);
  if (text) image->SetName(text);
  if (!images) images = new std::vector<ScreenImage*>();
  images->push_back(image);
  return image;
}

void Screen::RemoveImageByName(const char* text) {
  ScreenImage* image = FindImage(text);
  if (!image) return;
  RemoveImage(image);
  removedImages.push_back(image);
}

int Screen::DrawImageAt(IDirectDrawSurface* target, const char* text, int px, int py) {
  ScreenImage* image = FindImage(text);
  if (!image) return 0;
  image->Draw(target, px, py);
  return 1;
}

int Screen::DrawImage(IDirectDrawSurface* target, const char* text) {
  ScreenImage* image = FindImage(text);
  if (!image) return 0;
  image->Draw(target, image->x, image->y);
  return 1;
}

int Screen::Flip() {
  if (flipDelegate) return flipDelegate->Flip();
  const int result = GXFlip();
  redrawManager.SwapLists();
  redrawManager.Present(redrawManager.GetBackBuffer());
  return result;
}

void Screen::SetFlipDelegate(Screen* screen) { flipDelegate = screen; }

void Screen::AddButton(Button* button) {
  if (!button) return;
  // After Leave the set is gone until the next Setup; a button added then
  // still needs a home.
  if (!buttons) buttons = new ButtonSet();
  button->SetOffset(buttons->offsetX, buttons->offsetY);
  buttons->Add(button);
}
