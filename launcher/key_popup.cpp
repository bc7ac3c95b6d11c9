#include "launcher/key_popup.h"

namespace {

const KeyPopup* current = nullptr;

}  // namespace

const KeyPopup* CurrentKeyPopup() { return current; }

KeyPopup::KeyPopup(const char* closingButton) {
  ring.Focus(closingButton);
  current = this;
}

KeyPopup::~KeyPopup() {
  if (current == this) current = nullptr;
}

int KeyPopup::PollRing(int x, int y) {
  current = this;
  FocusRing::NoteMouse(x, y);
  const auto targets = Targets();
  const int key = ring.PollKeys(buttons, targets, nullptr);
  ring.Draw(targets);
  return key;
}

std::vector<FocusTarget> KeyPopup::Targets() const {
  auto targets = FocusRing::ButtonTargets(buttons);
  if (targets.size() > 1) std::erase_if(targets, [](const FocusTarget& t) { return t.name == "default"; });
  return targets;
}

int KeyPopup::Update(int x, int y, int mouseButtons) {
  PollRing(x, y);
  return PopupScreen::Update(x, y, mouseButtons);
}
