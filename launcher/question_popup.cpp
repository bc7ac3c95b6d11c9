#include "launcher/question_popup.h"

#include <cstring>

#include "widgets/button.h"
#include "widgets/focus_ring.h"
#include "records/shared_files.h"

namespace {

QuestionPopup* asking = nullptr;

}  // namespace

bool TakeEscapeForQuestion() {
  if (!asking) return false;
  asking->escaped = true;
  return true;
}

QuestionPopup::QuestionPopup(std::string what, const KeyPopup* under, const QuestionLayout& layout,
                             std::string launcherDirectory)
    : KeyPopup("no"),
      what(std::move(what)),
      under(under),
      layout(layout),
      launcherDirectory(std::move(launcherDirectory)) {}

QuestionPopup::~QuestionPopup() {
  if (asking == this) asking = nullptr;
}

void QuestionPopup::Setup() {
  PopupScreen::Setup();
  AddPopupImage(records::InFolder(launcherDirectory, layout.picture).c_str(), nullptr);
  AddTableButton(*this, layout.yes, 2, launcherDirectory);
  AddTableButton(*this, layout.no, 2, launcherDirectory);
  // The buttons were placed on the picture; the picture is centred by now.
  SetPosition(left, top);
}

QuestionPopup::Answer QuestionPopup::Ask() {
  // Marked from the start, so the safe answer shows as the one Enter gives;
  // a player who came by the mouse does not keep the frame afterwards.
  const bool ringWasShown = FocusRing::Shown();
  FocusRing::Show();
  escaped = pressedOutside = false;
  asking = this;
  char result[kPopupResultSize] = "";
  const int ran = Run(result, nullptr);
  asking = nullptr;
  if (!ringWasShown) FocusRing::Hide();
  if (ran == 0) return Answer::kClosing;
  return std::strcmp(result, "yes") == 0 ? Answer::kYes : Answer::kNo;
}

int QuestionPopup::Update(int x, int y, int mouseButtons) {
  PollRing(x, y);
  // A click beside the picture, pressed and let go there, is a "no".
  const int width = currentImage ? currentImage->width : 0, height = currentImage ? currentImage->height : 0;
  const bool outside = x < left || y < top || x >= left + width || y >= top + height;
  const bool down = mouseButtons & 1, wasDown = previousButtons & 1;
  if (down && !wasDown) pressedOutside = outside;
  const bool clickedOutside = !down && wasDown && pressedOutside && outside;
  previousButtons = mouseButtons;

  if (buttons->WasPressed("yes")) EndWith("yes");
  else if (buttons->WasPressed("no") || escaped || clickedOutside) EndWith("no");
  return 1;
}
