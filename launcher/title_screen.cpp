#include "launcher/title_screen.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "launcher/button_table.h"
#include "launcher/game_pages.h"
#include "launcher/hall_of_fame.h"
#include "launcher/key_popup.h"
#include "launcher/players_screen.h"
#include "launcher/unsaved_options.h"
#include "platform/win/profile.h"
#include "platform/win/shell_exec.h"
#include "platform/win/window.h"
#include "gx/mouse_cursor.h"
#include "screens/player_registry.h"
#include "screens/popup_screen.h"
#include "screens/screen_manager.h"
#include "shell/app.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "records/shared_files.h"

TitleScreen titleScreen;

namespace {

struct MenuButton {
  ButtonPlace place;
  const char* optionKey;  // the toggles' key in "options.ini", null for push buttons
};

constexpr MenuButton kButtons[] = {
    {{"HowToPlay", "HowToPlayButton.bmp", 52, 296}, nullptr},
    {{"Play", "PlayButton.bmp", 636, 296}, nullptr},
    {{"HighScores", "HighScoresButton.bmp", 52, 365}, nullptr},
    {{"Menu", "MenuButton.bmp", 636, 365}, nullptr},
    {{"Credits", "CreditsButton.bmp", 52, 435}, nullptr},
    {{"Exit", "ExitButton.bmp", 636, 435}, nullptr},
    {{"Players", "PlayersButton.bmp", 280, 318}, nullptr},
    {{"SFX", "sfx.bmp", 52, 505}, records::kSfxKey},
    {{"Music", "music.bmp", 106, 505}, records::kMusicKey},
};

struct FieldPlace {
  int x, y;
};
constexpr FieldPlace kNameFields[TitleScreen::kPlayers] = {
    {239, 378}, {408, 378}, {238, 420}, {408, 420}, {238, 464}, {408, 464}, {238, 510}, {408, 510},
};
constexpr int kFieldWidth = 150;
constexpr int kFieldHeight = 30;
constexpr int kNameFrameMargin = 5;  // the focus frame's width
constexpr int kPopupX = 53, kPopupY = 18;

bool OptionOff(const char* key, const std::string& options) {
  char value[10] = "";
  GetPrivateProfileStringA(records::kSetupSection, key, "Y", value, sizeof value, options.c_str());
  return value[0] == 'N';
}

}  // namespace

TitleScreen::TitleScreen() { SetName("title"); }
TitleScreen::~TitleScreen() = default;

std::string TitleScreen::GameDirectory() const { return entry ? entry->directory : "."; }
std::string TitleScreen::LauncherDirectory() const { return launcherDirectory.empty() ? "." : launcherDirectory; }
std::string TitleScreen::OptionsFile() const {
  return records::InFolder(LauncherDirectory(), records::kOptionsFromLauncher);
}

void TitleScreen::Enter(IDirectDraw* dd, IDirectDrawSurface* target) {
  Screen::Enter(dd, target);
  // A picture that failed leaves the manager with no surface at all: the
  // last screen's surfaces are freed when it leaves.
  const std::string background = records::InFolder(GameDirectory(), "title\\titlebackground.bmp");
  ScreenImage* image = LoadImage(background.c_str());
  SetRedrawTarget(image ? image->surface : nullptr);
  image = LoadImage(background.c_str());
  SetRedrawBackground(image ? image->surface : nullptr);
  redrawManager.RestoreAll();
  ring.Focus("Play");

  for (const MenuButton& menu : kButtons) {
    Button* button = AddTableButton(*this, menu.place, 2, LauncherDirectory());
    if (!menu.optionKey) continue;
    button->SetFixedFirstImage(1);
    int& flag = std::strcmp(menu.optionKey, "SFX") == 0 ? sfxOn : musicOn;
    flag = 1;
    if (OptionOff(menu.optionKey, OptionsFile())) {
      button->SwapFirstTwoImages();
      flag = 0;
    }
  }

  normalFont = LoadFont(records::InFolder(LauncherDirectory(), "n_font.bmp").c_str());
  highlightFont = LoadFont(records::InFolder(LauncherDirectory(), "h_font.bmp").c_str());

  for (int i = 0; i < kPlayers; ++i) {
    auto field = MakeLauncherField(normalFont.get(), highlightFont.get(), LauncherDirectory());
    field->SetInset(0, 0);
    field->SetFocus(0);
    field->SetEditable(0);
    field->SetRect(kNameFields[i].x, kNameFields[i].y, kFieldWidth, kFieldHeight);
    nameFields[i] = std::move(field);
  }

  playerRegistry.SetPath(OptionsFile().c_str());
  currentPlayer = playerRegistry.ReadAllPlayers();
  for (int i = 0; i < kPlayers; ++i) ShowPlayerName(i);
}

void TitleScreen::Leave() {
  Screen::Leave();
  for (auto& field : nameFields) field.reset();
  normalFont.reset();
  highlightFont.reset();
}

// The list shows first names only: "Ann Lee" is Ann.
void TitleScreen::ShowPlayerName(int i) {
  std::string name = playerRegistry.Player(i).name;
  name = name.substr(0, name.find(' '));
  if (nameFields[i]) nameFields[i]->SetText(name.c_str());
}

int TitleScreen::Flip() {
  if (ButtonSet* set = GetButtons()) set->DrawAll();
  ring.Draw(FocusTargets());
  return Screen::Flip();
}

void TitleScreen::FlipOption(const char* buttonName, const char* key, int& flag) {
  if (Button* button = GetButtons()->Find(buttonName)) button->SwapFirstTwoImages();
  flag = 1 - flag;
  if (!WritePrivateProfileStringA(records::kSetupSection, key, flag ? "Y" : "N", OptionsFile().c_str()))
    ReportUnsavedOptions(key == std::string("SFX") ? "The sound effects switch" : "The music switch");
}

int TitleScreen::ShowPicture(const char* path) {
  KeyPopup popup("default");
  popup.AddPopupImage(records::InFolder(GameDirectory(), path).c_str(), nullptr);
  popup.AddDefaultButton();
  popup.SetPosition(kPopupX, kPopupY);
  if (popup.Run(nullptr, nullptr) == 0) return kScreenQuit;
  return 1;
}

int TitleScreen::ShowHallOfFame() {
  HallOfFameScreen hall(entry ? entry->name : "", LauncherDirectory(), GameDirectory());
  hall.Setup();
  hall.SetPosition(kPopupX, kPopupY);
  if (hall.Run(nullptr, nullptr) == 0) return kScreenQuit;
  return 1;
}

int TitleScreen::EditPlayer() {
  playerRegistry.SetPath(OptionsFile().c_str());
  {
    PlayersScreen players(LauncherDirectory());
    players.Setup();
    players.SetPosition(kPopupX, kPopupY);
    players.SetPlayer(&playerRegistry.Player(currentPlayer));
    char result[kPopupResultSize] = "";
    if (players.Run(result, nullptr) == 0) return kScreenQuit;
    // An entered record is already stored; otherwise the records are
    // written back as they are, in one save.
    if (std::strcmp(result, "play") != 0) playerRegistry.WritePlayers();
  }
  for (int i = 0; i < kPlayers; ++i) ShowPlayerName(i);
  return 1;
}

int TitleScreen::Play() {
  // The game starts in its own folder, told the launcher's.
  HINSTANCE started = ShellExecuteA(nullptr, "open", entry->executable, launcherDirectory.c_str(),
                                    entry->directory.c_str(), SW_SHOWNORMAL);
  if (reinterpret_cast<intptr_t>(started) > 32) return kScreenQuit;
  // Nothing started: closing now would leave the player with no window at all.
  const std::string message = std::string("Could not start ") + entry->name + ".";
  MessageBoxA(mainWindow, message.c_str(), "Plinkworks Lobbo", MB_ICONERROR);
  return 1;
}

void TitleScreen::ClickNames(int x, int y) {
  for (int i = 0; i < kPlayers; ++i) {
    nameFields[i]->Click(x, y);
    if (nameFields[i]->highlighted) {
      currentPlayer = i;
      playerRegistry.WriteCurrentId(i);
    }
  }
}

std::string TitleScreen::NameTargetName(int i) { return "name" + std::to_string(i + 1); }

std::vector<FocusTarget> TitleScreen::FocusTargets() const {
  std::vector<FocusTarget> targets = FocusRing::ButtonTargets(GetButtons());
  for (int i = 0; i < kPlayers; ++i) {
    const TextField* f = nameFields[i].get();
    // The frame (drawn inside its rectangle) goes round the name, not over its first letter.
    const int m = kNameFrameMargin;
    if (f) targets.push_back({NameTargetName(i), RECT{f->x - m, f->y - m, f->x + f->width + m, f->y + f->height + m}});
  }
  return targets;
}

int TitleScreen::Run(int) {
  ButtonSet* set = GetButtons();
  if (!set) return 1;
  int x = 0, y = 0, mouseButtons = 0;
  mouseCursor.GetState(&x, &y, &mouseButtons);
  set->UpdateAll(x, y, mouseButtons);

  if (mouseButtons != previousButtons && (mouseButtons & 1)) ClickNames(x, y);
  previousButtons = mouseButtons;

  // Keys: the ring visits the buttons and the names; a name pressed by key
  // is clicked in its middle.
  FocusRing::NoteMouse(x, y);
  std::string pressedName;
  ring.PollKeys(set, FocusTargets(), &pressedName);
  for (int i = 0; i < kPlayers; ++i)
    if (pressedName == NameTargetName(i)) {
      const TextField& f = *nameFields[i];
      ClickNames(f.x + f.width / 2, f.y + f.height / 2);
    }

  IDirectDrawSurface* back = redrawManager.GetBackBuffer();
  for (auto& field : nameFields) {
    field->Draw(back);
    redrawManager.AddDirtyRect(field->x, field->y, field->width, field->height, kDirtyOneShot, kDirtyPresent);
  }
  if (currentPlayer >= 0 && currentPlayer < kPlayers) nameFields[currentPlayer]->SetHighlight(1);

  if (set->WasPressed("SFX")) FlipOption("SFX", "SFX", sfxOn);
  if (set->WasPressed("Music")) FlipOption("Music", "Music", musicOn);

  if (set->WasPressed("Credits")) {
    if (ShowPicture("title\\Credits.bmp") == kScreenQuit) return kScreenQuit;
    redrawManager.RestoreAll();
  }
  if (set->WasPressed("HowToPlay")) {
    const bool touch = GetSystemMetrics(SM_MAXIMUMTOUCHES) > 0;
    if (ShowPicture(touch ? "title\\HowToPlayTouch.bmp" : "title\\HowToPlay.bmp") == kScreenQuit) return kScreenQuit;
    redrawManager.RestoreAll();
  }
  if (set->WasPressed("HighScores")) {
    if (ShowHallOfFame() == kScreenQuit) return kScreenQuit;
    redrawManager.RestoreAll();
  }
  if (set->WasPressed("Players")) {
    if (EditPlayer() == kScreenQuit) return kScreenQuit;
    redrawManager.RestoreAll();
  }
  if (set->WasPressed("Play") && entry) return Play();
  if (set->WasPressed("Menu")) {
    screenManager.SwitchTo("Lobbo");
    return 1;
  }
  if (set->WasPressed("Exit")) return kScreenQuit;
  return Flip() ? 1 : 0;
}
