// A question asked over a pop-up of the launcher before something that
// cannot be undone: a picture with two buttons, "yes" and "no". Only "yes"
// answers yes; "no", Escape and a click beside the picture answer no. It
// opens with "no" focused and its frame showing, so Enter alone answers no.
#pragma once

#include <string>

#include "launcher/button_table.h"
#include "launcher/key_popup.h"

struct QuestionLayout {
  const char* picture;
  ButtonPlace yes, no;  // named "yes" and "no", placed on the picture
};

class QuestionPopup : public KeyPopup {
 public:
  enum class Answer { kYes, kNo, kClosing };

  // what: the question's name in the state dump; under: the pop-up it is
  // asked over, whose state the dump keeps showing. The pictures are the
  // launcher's, in launcherDirectory.
  QuestionPopup(std::string what, const KeyPopup* under, const QuestionLayout& layout, std::string launcherDirectory);
  ~QuestionPopup() override;

  // Loads the picture and the buttons, centred on the window.
  void Setup() override;
  // Runs the question until it is answered, or the program closes.
  Answer Ask();
  int Update(int x, int y, int buttons) override;

  const std::string& What() const { return what; }
  const KeyPopup* Under() const { return under; }

 private:
  friend bool TakeEscapeForQuestion();

  std::string what;
  const KeyPopup* under;
  QuestionLayout layout;
  std::string launcherDirectory;
  bool escaped = false;
  bool pressedOutside = false;
  int previousButtons = 0;
};

// For the window procedure, on Escape's release: true when a question is
// being asked, which the release then answers "no" instead of closing the
// launcher.
bool TakeEscapeForQuestion();
