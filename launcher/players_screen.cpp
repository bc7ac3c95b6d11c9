#include "launcher/players_screen.h"

#include "launcher/button_table.h"
#include "launcher/unsaved_options.h"
#include "gx/key_queue.h"
#include "screens/player_registry.h"
#include "widgets/button.h"
#include "widgets/fixed_text.h"
#include "widgets/redraw_manager.h"
#include "records/shared_files.h"

namespace {

constexpr ButtonPlace kButtons[] = {
    {"enter", "EnterButton.bmp", 474, 471},
    {"remove", "RemoveButton.bmp", 360, 471},
    {"back", "BackButton.bmp", 608, 489},
    {"yesno", "yesno.bmp", 37, 486},
};

constexpr RECT kFieldRects[PlayersScreen::kFields] = {
    {50, 270, 580, 26},
    {50, 336, 580, 26},
    {50, 404, 580, 26},
};

}  // namespace

PlayersScreen::PlayersScreen(std::string launcherDirectory)
    : KeyPopup("back"), launcherDirectory(std::move(launcherDirectory)) {}
PlayersScreen::~PlayersScreen() = default;

void PlayersScreen::Setup() {
  PopupScreen::Setup();
  nFont = LoadFont(records::InFolder(launcherDirectory, "n_font.bmp").c_str(), 1);
  hFont = LoadFont(records::InFolder(launcherDirectory, "h_font.bmp").c_str(), 3);
  AddPopupImage(records::InFolder(launcherDirectory, "PlayerInfo.bmp").c_str(), nullptr);

  for (const ButtonPlace& place : kButtons) AddTableButton(*this, place, 2, launcherDirectory);
  if (Button* yesno = buttons->Find("yesno")) {
    yesno->SetFixedFirstImage(1);
    yesno->SetDirtyReporting(1);
  }

  // The fields sit relative to the picture as centred now; the later placing
  // of the pop-up moves its buttons only.
  for (int i = 0; i < kFields; ++i) {
    auto field = MakeLauncherField(hFont.get(), nFont.get(), launcherDirectory);
    field->SetFocus(0);
    field->SetInset(originX, originY);
    field->SetSelectMode(0);
    const RECT& r = kFieldRects[i];
    field->SetRect(r.left, r.top, r.right, r.bottom);
    fields[i] = std::move(field);
  }
  fields[0]->SetFocus(1);
  sendFlag = 1;
}

void PlayersScreen::SetPlayer(PlayerRecord* player) {
  record = player;
  if (!record) return;
  fields[0]->SetText(record->name);
  fields[1]->SetText(record->address);
  fields[2]->SetText(record->email);
  Button* yesno = buttons ? buttons->Find("yesno") : nullptr;
  if (!yesno) return;
  if (record->send[0] == 'N' && record->send[1] == '\0') {
    yesno->SwapFirstTwoImages();
    sendFlag = 0;
  } else {
    sendFlag = 1;
  }
}

int PlayersScreen::Update(int x, int y, int mouseButtons) {
  if (mouseButtons != previousButtons && (mouseButtons & 1)) {
    bool anyFocused = false;
    for (auto& field : fields) anyFocused = field->Click(x, y) || anyFocused;
    if (!anyFocused) fields[0]->SetFocus(1);
  }
  previousButtons = mouseButtons;

  // Keys go to the focused field; with none focused the ring has them, and
  // an arrow up from the top buttons goes back to the last field.
  bool anyFocused = false;
  for (auto& field : fields) anyFocused = anyFocused || field->focused;
  if (!anyFocused && PollRing(x, y) == KeyQueue::kUp) fields[kFields - 1]->SetFocus(1);

  if (buttons->WasPressed("back")) EndWith("back");
  if (buttons->WasPressed("remove")) {
    if (!playerRegistry.ResetPlayer(playerRegistry.CurrentId())) ReportUnsavedOptions("The removed player");
    EndWith("remove");
  }
  if (buttons->WasPressed("enter") && record) {
    // Stored in the file here, as one save: when that fails the player is
    // told and the pop-up stays with what was typed.
    PlayerRecord edited = *record;
    CopyFixedText(edited.name, fields[0]->Text());
    CopyFixedText(edited.address, fields[1]->Text());
    CopyFixedText(edited.email, fields[2]->Text());
    if (buttons->Find("yesno")) CopyFixedText(edited.send, sendFlag ? "Y" : "N");
    if (playerRegistry.WritePlayers(playerRegistry.CurrentId(), &edited)) {
      if (record != &playerRegistry.Player(playerRegistry.CurrentId())) *record = edited;
      EndWith("play");
    } else {
      ReportUnsavedOptions("Your player details");
    }
  }
  if (buttons->WasPressed("yesno")) {
    buttons->Find("yesno")->SwapFirstTwoImages();
    sendFlag = 1 - sendFlag;
  }

  for (int i = 0; i < kFields; ++i) {
    const int key = fields[i]->PollKeys();
    if (key == TextField::kTab || key == TextField::kEnter) {
      fields[i]->SetFocus(0);
      fields[(i + 1) % kFields]->SetFocus(1);
    } else if (key == KeyQueue::kUp && i > 0) {
      fields[i]->SetFocus(0);
      fields[i - 1]->SetFocus(1);
    } else if (key == KeyQueue::kDown) {
      // From the last field the arrow leaves the fields for the buttons.
      fields[i]->SetFocus(0);
      if (i + 1 < kFields) fields[i + 1]->SetFocus(1);
      else FocusRing::Show();
    }
  }

  // The box is queued where it shows on the screen, inset included: queued
  // at its picture-relative place it would copy a strip of the picture
  // beside the pop-up, where nothing paints it over again.
  IDirectDrawSurface* back = redrawManager.GetBackBuffer();
  for (auto& field : fields) {
    field->Draw(back);
    redrawManager.AddDirtyRect(field->x + field->insetX, field->y + field->insetY, field->width, field->height,
                               kDirtyOneShot, kDirtyPresent);
  }
  return 1;
}
