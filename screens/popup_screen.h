// A screen run modally over the current one: it shows one picture (centred
// or at a given place) with buttons on it and runs its own frame loop until
// one of its buttons is pressed, a hotkey is held, a deadline passes or a
// button of the screen underneath is pressed. The caller gets the name of
// what ended it.
#pragma once

#include <vector>

#include "screens/screen.h"

// Room the result text of Run needs (names of buttons are at most 63 characters).
constexpr int kPopupResultSize = 64;

class PopupScreen : public Screen {
 public:
  PopupScreen();
  ~PopupScreen() override;

  // Slots 0..20 as in Screen; these two replace the base's.
  void Setup() override;
  void Leave() override;
  // The per-frame slot of Screen stays reachable beside the modal Run.
  using Screen::Run;

  // Slots 21..35.
  virtual void SetPosition(int x, int y);
  virtual void EndWith(const char* text);
  // The modal loop. result (may be null) receives at most kPopupResultSize
  // bytes. 1 = ended normally, 0 = the program is closing or Update aborted.
  virtual int Run(char* result, const char* imageName);
  virtual int Update(int x, int y, int buttons);
  virtual int CheckEnd();
  virtual void SelectImage(ScreenImage* image);
  virtual void SelectImageByName(const char* name);
  virtual ScreenImage* GetCurrentImage();
  virtual ScreenImage* FindPopupImage(const char* name);
  virtual ScreenImage* AddPopupImage(const char* path, const char* name);
  virtual void SetExclusiveTarget(int flag);
  virtual void AddDefaultButton();
  virtual void SetDeadline(int tick);
  virtual void SetHotkey(int virtualKey);
  virtual void SetWatchParent(int flag);

  int GetLeft() const { return left; }
  int GetTop() const { return top; }
  int PopupImageCount() const { return popupImages ? static_cast<int>(popupImages->size()) : 0; }

 protected:
  void FreePopupImages();
  void RestoreTarget(IDirectDrawSurface* saved);

  std::vector<ScreenImage*>* popupImages;
  ScreenImage* currentImage;
  int done;
  int left, top;
  int originX, originY;
  int exclusiveTarget;
  int deadline;
  int hotkey;
  int watchParent;

 private:
  // Whether Run switched the redraw target and must put the old one back.
  bool targetSwitched = false;
};
