#include "launcher/game_pages.h"

#include <cstdio>
#include <cstring>

#include "launcher/button_table.h"
#include "launcher/server_addresses.h"
#include "launcher/title_screen.h"
#include "platform/files.h"
#include "platform/shell_exec.h"
#include "platform/window.h"
#include "launcher/key_popup.h"
#include "screens/key_queue.h"
#include "screens/mouse_cursor.h"
#include "screens/popup_screen.h"
#include "screens/screen_manager.h"
#include "shell/app.h"
#include "shell/gx.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"

GamePagesScreen gamePagesScreen;

namespace {

constexpr ButtonPlace kControls[] = {
    {"left", "PageArrowsLeft.bmp", 638, 19},
    {"right", "PageArrowsRight.bmp", 739, 19},
    {"help", "Info.bmp", 637, 89},
    {"exit", "SmallExit.bmp", 718, 89},
};
constexpr int kSlotColumns[] = {14, 271, 528};
constexpr int kSlotRows[] = {140, 247, 355, 461};
constexpr int kPageNumberRight = 716;
constexpr int kPageNumberTop = 30;

std::string CurrentDirectory() {
  const DWORD size = GetCurrentDirectoryA(0, nullptr);
  std::string path(size, '\0');
  const DWORD length = GetCurrentDirectoryA(size, path.data());
  path.resize(length < size ? length : 0);
  return path;
}

Button* SlotButton(ButtonSet* set, int slot) {
  char name[16];
  std::snprintf(name, sizeof name, "button%d", slot);
  return set ? set->Find(name) : nullptr;
}

}  // namespace

std::vector<GameFolder> FindGameFolders(const std::string& launcherDirectory) {
  std::vector<GameFolder> found;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((launcherDirectory + "\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    if (data.dwFileAttributes != FILE_ATTRIBUTE_DIRECTORY || data.cFileName[0] == '.') continue;
    const std::string directory = launcherDirectory + "\\" + data.cFileName;
    FILE* button = platform::OpenFile((directory + "\\LobboButton.bmp").c_str(), "rb");
    if (!button) continue;
    std::fclose(button);
    // The executable's name (with ".exe") must fit the entry's field whole.
    if (std::strlen(data.cFileName) + 4 >= GameEntry::kNameSize) {
      std::fprintf(stderr, "Lobbo: skipping the game folder \"%s\": its name is too long\n", data.cFileName);
      continue;
    }
    found.push_back({directory, data.cFileName});
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return found;
}

GamePagesScreen::GamePagesScreen() { SetName("Lobbo"); }
GamePagesScreen::~GamePagesScreen() = default;

void GamePagesScreen::Enter(IDirectDraw* dd, IDirectDrawSurface* target) {
  Screen::Enter(dd, target);
  ScreenImage* image = LoadImage("background.bmp");
  if (image) SetRedrawTarget(image->surface);
  image = LoadImage("background.bmp");
  if (image) SetRedrawBackground(image->surface);
  redrawManager.RestoreAll();
  // The keys start on the first game.
  ring.Focus("button1");

  for (const ButtonPlace& place : kControls) AddTableButton(*this, place, 2);
  for (int slot = 1; slot <= PageLayout::kSlots; ++slot) {
    char name[16];
    std::snprintf(name, sizeof name, "button%d", slot);
    const ButtonPlace place{name, "GameButton.bmp", kSlotColumns[(slot - 1) % 3], kSlotRows[(slot - 1) / 3]};
    AddTableButton(*this, place, 3)->SetEnabled(0);
  }

  pageDigits = std::make_unique<Sprite>();
  pageDigits->LoadStrip("PageNumbers.bmp", 10, 0);
  extraButtonImage = std::make_unique<Sprite>();
  extraButtonImage->LoadStrip("CollectButton.bmp", 1, 0);
  homeAddress = ReadServerAddresses(".\\setup.ini").home;

  page = 0;
  games.clear();
  ScanGames();
  PlaceExtraButton();
}

void GamePagesScreen::Leave() {
  Screen::Leave();
  pageDigits.reset();
  extraButtonImage.reset();
}

void GamePagesScreen::ScanGames() {
  for (GameFolder& folder : FindGameFolders(CurrentDirectory())) {
    auto entry = std::make_unique<GameEntry>();
    std::snprintf(entry->executable, sizeof entry->executable, "%s.exe", folder.name.c_str());
    std::snprintf(entry->name, sizeof entry->name, "%s", folder.name.c_str());
    entry->buttonImage = std::make_unique<Sprite>();
    entry->buttonImage->LoadStrip((folder.directory + "\\LobboButton.bmp").c_str(), 1, 0);
    entry->directory = std::move(folder.directory);
    games.push_back(std::move(entry));
  }
  gameCount = static_cast<int>(games.size());
}

void GamePagesScreen::PlaceExtraButton() {
  Button* button = SlotButton(GetButtons(), PageLayout::ExtraSlot(gameCount));
  if (!button) return;
  button->SetEnabled(1);
  if (extraButtonImage) extraButtonImage->SetPosition(button->x, button->y);
}

void GamePagesScreen::DrawPageNumber(IDirectDrawSurface* target) {
  if (!pageDigits) return;
  char digits[16];
  const int count = std::snprintf(digits, sizeof digits, "%d", page + 1);
  const int cell = pageDigits->width / 10;
  int x = kPageNumberRight - cell * count;
  for (const char* d = digits; *d; ++d, x += cell) {
    pageDigits->SetCurrentFrame(*d - '0');
    pageDigits->SetPosition(x, kPageNumberTop);
    pageDigits->DrawTo(target);
  }
}

int GamePagesScreen::Flip() {
  IDirectDrawSurface* target = redrawManager.GetTarget();
  DrawPageNumber(target);
  ButtonSet* set = GetButtons();
  for (int slot = 1; slot <= PageLayout::kSlots; ++slot) {
    const int index = PageLayout::IndexOf(page, slot);
    if (index >= gameCount) break;
    Button* button = SlotButton(set, slot);
    if (!button) continue;
    Sprite* picture = games[static_cast<size_t>(index)]->buttonImage.get();
    picture->SetPosition(button->x, button->y);
    picture->DrawTo(target);
    button->SetEnabled(1);
  }
  if (extraButtonImage && PageLayout::ExtraPage(gameCount) == page) extraButtonImage->DrawTo(target);
  if (set) set->DrawAll();
  ring.Draw(FocusRing::ButtonTargets(set));
  frameRate = GXGetFPS();
  return Screen::Flip();
}

int GamePagesScreen::ShowInfo() {
  KeyPopup popup("back");
  popup.AddPopupImage("infoscreen.bmp", nullptr);
  Button* back = new Button(689, 370);
  back->LoadImageStrip("backbutton.bmp", 2, 0);
  back->SetName("back");
  popup.AddButton(back);
  return popup.Run(nullptr, nullptr);
}

int GamePagesScreen::Run(int) {
  int x = 0, y = 0, mouseButtons = 0;
  mouseCursor.GetState(&x, &y, &mouseButtons);
  ButtonSet* set = GetButtons();
  if (!set) return 1;
  set->UpdateAll(x, y, mouseButtons);
  set->DrawAll();
  FocusRing::NoteMouse(x, y);
  const int key = ring.PollKeys(set, FocusRing::ButtonTargets(set), nullptr);
  if (key == KeyQueue::kPageUp) FocusRing::Press(set, "left");
  if (key == KeyQueue::kPageDown) FocusRing::Press(set, "right");

  if (set->WasPressed("exit")) return kScreenQuit;
  if (set->WasPressed("help")) {
    if (ShowInfo() == 0) return kScreenQuit;
    redrawManager.RestoreAll();
  }
  if (set->WasPressed("left")) TurnPage(-1);
  if (set->WasPressed("right")) TurnPage(1);
  for (int slot = 1; slot <= PageLayout::kSlots; ++slot) {
    char name[16];
    std::snprintf(name, sizeof name, "button%d", slot);
    if (!set->WasPressed(name)) continue;
    const int index = PageLayout::IndexOf(page, slot);
    if (index >= gameCount)
      ShellExecuteA(nullptr, "open", homeAddress.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    else
      SelectGame(index);
    return 1;
  }
  return Flip() ? 1 : 0;
}

void GamePagesScreen::TurnPage(int step) {
  if (step < 0 && page > 0) --page;
  if (step > 0 && PageLayout::HasNextPage(page, gameCount)) ++page;
  PlaceExtraButton();
  redrawManager.RestoreAll();
}

void GamePagesScreen::SelectGame(int index) {
  if (index < 0 || index >= gameCount) return;
  titleScreen.entry = games[static_cast<size_t>(index)].get();
  screenManager.SwitchTo("title");
}

int GamePagesScreen::SelectByCommandLine(const char* text) {
  if (!text) return gameCount;
  const size_t length = std::strlen(text);
  for (int i = 0; i < gameCount; ++i)
    if (std::strncmp(games[static_cast<size_t>(i)]->executable, text, length) == 0) SelectGame(i);
  return gameCount;
}
