// A pop-up of the launcher that can be used by keys: its buttons take the
// focus ring, and it opens with its closing button focused.
#pragma once

#include <string>
#include <vector>

#include "screens/popup_screen.h"
#include "widgets/focus_ring.h"

class KeyPopup : public PopupScreen {
 public:
  // The newest pop-up is the one showing (for the state dump).
  explicit KeyPopup(const char* closingButton);
  ~KeyPopup() override;
  int Update(int x, int y, int buttons) override;

  const FocusRing& Ring() const { return ring; }

 protected:
  // Ring keys for this pass: moves, and a press of the focused button. The
  // return value is the last key that was not the ring's (0 if none).
  int PollRing(int x, int y);
  // The buttons the ring visits. The whole-picture "default" button is one
  // only when it is the pop-up's only button: beside real buttons it is just
  // the click-anywhere way out.
  std::vector<FocusTarget> Targets() const;

  FocusRing ring;
};

// The pop-up showing now, for the text dump: null when none is open.
const KeyPopup* CurrentKeyPopup();
