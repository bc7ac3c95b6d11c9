#include "screens/popup_screen.h"

#include <cstring>

#include "platform/win/window.h"
#include "gx/mouse_cursor.h"
#include "gx/main_window.h"
#include "gx/frame_clock.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "gx/surface.h"

PopupScreen::PopupScreen()
    : popupImages(new std::vector<ScreenImage*>()),
      currentImage(nullptr),
      done(0),
      left(-1),
      top(-1),
      originX(0),
      originY(0),
      exclusiveTarget(1),
      deadline(0),
      hotkey(0),
      watchParent(0) {}

PopupScreen::~PopupScreen() {
  LeaveBase();
  FreePopupImages();
}

void PopupScreen::FreePopupImages() {
  if (!popupImages) return;
  for (ScreenImage* image : *popupImages) delete image;
  delete popupImages;
  popupImages = nullptr;
  currentImage = nullptr;
}

void PopupScreen::Setup() {
  // A fresh, empty picture list. The base's list and button set are made
  // too when a Leave removed them, so a pop-up entered again can still take
  // pictures and buttons.
  FreePopupImages();
  popupImages = new std::vector<ScreenImage*>();
  if (!images) images = new std::vector<ScreenImage*>();
  if (!buttons) buttons = new ButtonSet();
}

void PopupScreen::Leave() {
  Screen::Leave();
  FreePopupImages();
}

void PopupScreen::SetPosition(int x, int y) {
  if (x != -1 || y != -1) {
    left = x;
    top = y;
  } else if (left == -1 && top == -1) {
    // No picture, or a picture without surface, centres as 0 x 0.
    RECT centred = CentreRect(currentImage ? currentImage->surface : nullptr, 0, 0, clientWidth, clientHeight);
    left = centred.left;
    top = centred.top;
  }
  if (buttons) buttons->SetOffsetAll(left, top);
  originX = left;
  originY = top;
}

void PopupScreen::EndWith(const char* text) {
  if (text) SetName(text);
  done = 1;
}

void PopupScreen::RestoreTarget(IDirectDrawSurface* saved) {
  if (targetSwitched) redrawManager.SetTarget(saved);
  targetSwitched = false;
}

int PopupScreen::Run(char* result, const char* imageName) {
  done = 0;
  if (!imageName)
    currentImage = popupImages && !popupImages->empty() ? (*popupImages)[0] : nullptr;
  else
    SelectImageByName(imageName);

  IDirectDrawSurface* savedTarget = nullptr;
  targetSwitched = false;
  // A picture without surface cannot be drawn on; the target stays then.
  if (exclusiveTarget == 1 && currentImage && currentImage->surface) {
    savedTarget = redrawManager.GetTarget();
    redrawManager.SetTarget(currentImage->surface);
    targetSwitched = true;
  }
  SetName("");

  while (done == 0) {
    int x = 0, y = 0, mouseButtons = 0;
    mouseCursor.GetState(&x, &y, &mouseButtons);
    if (PumpMessages()) {
      RestoreTarget(savedTarget);
      return 0;
    }
    IDirectDrawSurface* back = redrawManager.GetBackBuffer();
    if (currentImage) currentImage->Draw(back, left, top);
    if (buttons) {
      buttons->UpdateAll(x, y, mouseButtons);
      buttons->DrawAll();
    }
    if (Update(x, y, mouseButtons) == 0) {
      RestoreTarget(savedTarget);
      return 0;
    }
    if (done == 0 && flipDelegate && watchParent == 1) {
      if (ButtonSet* parentButtons = flipDelegate->GetButtons()) {
        parentButtons->UpdateAll(x, y, mouseButtons);
        parentButtons->DrawAll();
        if (Button* clicked = parentButtons->FindClicked()) {
          SetName(clicked->name);
          done = 1;
        }
      }
    }
    Flip();
  }

  RestoreTarget(savedTarget);
  if (result) {
    const size_t length = strnlen(name, kPopupResultSize - 1);
    std::memcpy(result, name, length);
    result[length] = '\0';
  }
  return done;
}

int PopupScreen::Update(int, int, int) { return CheckEnd(); }

int PopupScreen::CheckEnd() {
  Button* clicked = buttons ? buttons->FindClicked() : nullptr;
  if (hotkey != 0 && GetAsyncKeyState(hotkey) < 0) {
    SetName("key");
    done = 1;
  }
  if (clicked) {
    SetName(clicked->name);
    done = 1;
  }
  if (deadline != 0 && TicksSince(deadline) > 0) done = 1;
  return 1;
}

void PopupScreen::SelectImage(ScreenImage* image) {
  if (!image) return;
  currentImage = image;
  SetPosition(-1, -1);
}

void PopupScreen::SelectImageByName(const char* text) {
  ScreenImage* image = FindPopupImage(text);
  if (!image && popupImages && !popupImages->empty()) image = (*popupImages)[0];
  currentImage = image;
  SetPosition(-1, -1);
}

ScreenImage* PopupScreen::GetCurrentImage() { return currentImage; }

ScreenImage* PopupScreen::FindPopupImage(const char* text) {
  if (!popupImages || !text) return nullptr;
  for (ScreenImage* image : *popupImages)
    if (std::strcmp(image->name, text) == 0) return image;
  return nullptr;
}

ScreenImage* PopupScreen::AddPopupImage(const char* path, const char* text) {
  ScreenImage* image = new ScreenImage(path);
  image->SetName(text);
  if (!popupImages) popupImages = new std::vector<ScreenImage*>();
  popupImages->push_back(image);
  SelectImage(image);
  return image;
}

void PopupScreen::SetExclusiveTarget(int flag) { exclusiveTarget = flag; }

void PopupScreen::AddDefaultButton() {
  Button* button = nullptr;
  if (currentImage && currentImage->surface) {
    button = new Button(0, 0, currentImage->width, currentImage->height);
  } else {
    // A picture that did not load is 0 x 0, and a button of its size would
    // leave the player no way out: cover the whole screen instead. Button
    // rectangles are relative to the picture's place.
    if (left == -1 && top == -1) SetPosition(-1, -1);
    button = new Button(-left, -top, clientWidth, clientHeight);
  }
  button->SetName("default");
  AddButton(button);
}

void PopupScreen::SetDeadline(int tick) { deadline = tick; }
void PopupScreen::SetHotkey(int virtualKey) { hotkey = virtualKey; }
void PopupScreen::SetWatchParent(int flag) { watchParent = flag; }
