#include "launcher/game_pages.h"


#include <algorithm>
#include <cstdio>
#include <cstring>

#include "launcher/button_table.h"
#include "launcher/server_addresses.h"
#include "launcher/title_screen.h"
#include "platform/win/bitmap.h"
#include "platform/win/files.h"
#include "platform/win/shell_exec.h"
#include "platform/win/window.h"
#include "launcher/key_popup.h"
#include "gx/key_queue.h"
#include "gx/mouse_cursor.h"
#include "screens/popup_screen.h"
#include "screens/screen_manager.h"
#include "shell/app.h"
#include "gx/gx.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "records/shared_files.h"

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
// No slot can show more of a button picture than the page.
constexpr int kMaxButtonWidth = 800;
constexpr int kMaxButtonHeight = 600;

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
    // The picture's header tells a button from a folder or a damaged file
    // without decoding it; the pictures are loaded page by page.
    const std::string picture = platform::MapPath((directory + "\\LobboButton.bmp").c_str());
    int width = 0, height = 0;
    if (!platform::ReadBitmapSize(picture, &width, &height)) {
      platform::PathFacts facts;
      if (platform::LookUp(picture, &facts))
        std::fprintf(stderr, "Lobbo: skipping the game folder \"%s\": its LobboButton.bmp is not a picture\n",
                     data.cFileName);
      continue;
    }
    if (width > kMaxButtonWidth || height > kMaxButtonHeight) {
      std::fprintf(stderr, "Lobbo: skipping the game folder \"%s\": its LobboButton.bmp is larger than %d x %d\n",
                   data.cFileName, kMaxButtonWidth, kMaxButtonHeight);
      continue;
    }
    // The executable's name (with ".exe") must fit the entry's field whole.
    if (std::strlen(data.cFileName) + 4 >= GameEntry::kNameSize) {
      std::fprintf(stderr, "Lobbo: skipping the game folder \"%s\": its name is too long\n", data.cFileName);
      continue;
    }
    found.push_back({directory, data.cFileName});
  } while (FindNextFileA(search, &data));
  FindClose(search);
  // In alphabetical order, as the file systems the launcher was made for
  // list them; Linux lists in no order a player would recognise.
  std::sort(found.begin(), found.end(), [](const GameFolder& a, const GameFolder& b) {
    const int byLetters = strcasecmp(a.name.c_str(), b.name.c_str());
    return byLetters != 0 ? byLetters < 0 : a.name < b.name;
  });
  return found;
}

GamePagesScreen::GamePagesScreen() { SetName("Lobbo"); }
GamePagesScreen::~GamePagesScreen() = default;

void GamePagesScreen::Enter(IDirectDraw* dd, IDirectDrawSurface* target) {
  Screen::Enter(dd, target);
  // A picture that failed leaves the manager with no surface at all: the
  // last screen's surfaces are freed when it leaves.
  ScreenImage* image = LoadImage("background.bmp");
  SetRedrawTarget(image ? image->surface : nullptr);
  image = LoadImage("background.bmp");
  SetRedrawBackground(image ? image->surface : nullptr);
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
  homeAddress = ReadServerAddresses(records::kSetup).home;

  page = 0;
  games.clear();
  ScanGames();
  PlaceExtraButton();
}

void GamePagesScreen::DropPictures() {
  for (auto& game : games) game->buttonImage.reset();
}

void GamePagesScreen::Leave() {
  Screen::Leave();
  DropPictures();
  pageDigits.reset();
  extraButtonImage.reset();
}

void GamePagesScreen::ScanGames() {
  // The process works in the launcher's directory from its start on.
  launcherDirectory = CurrentDirectory();
  for (GameFolder& folder : FindGameFolders(launcherDirectory)) {
    auto entry = std::make_unique<GameEntry>();
    std::snprintf(entry->executable, sizeof entry->executable, "%s.exe", folder.name.c_str());
    std::snprintf(entry->name, sizeof entry->name, "%s", folder.name.c_str());
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
    // The pictures of the page shown are loaded when it is first drawn.
    GameEntry& game = *games[static_cast<size_t>(index)];
    if (!game.buttonImage) {
      game.buttonImage = std::make_unique<Sprite>();
      game.buttonImage->LoadStrip((game.directory + "\\LobboButton.bmp").c_str(), 1, 0);
    }
    // A picture larger than its slot shows only the slot's part.
    Sprite* picture = game.buttonImage.get();
    picture->SetPosition(button->x, button->y);
    picture->DrawRegion(0, 0, std::min(picture->width, button->width), std::min(picture->height, button->height),
                        target, button->x, button->y);
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
  // Only the page shown keeps its pictures.
  DropPictures();
  if (step < 0 && page > 0) --page;
  if (step > 0 && PageLayout::HasNextPage(page, gameCount)) ++page;
  PlaceExtraButton();
  redrawManager.RestoreAll();
}

void GamePagesScreen::SelectGame(int index) {
  if (index < 0 || index >= gameCount) return;
  titleScreen.entry = games[static_cast<size_t>(index)].get();
  titleScreen.launcherDirectory = launcherDirectory;
  screenManager.SwitchTo("title");
}

int GamePagesScreen::SelectByCommandLine(const char* text) {
  if (!text) return gameCount;
  const size_t length = std::strlen(text);
  for (int i = 0; i < gameCount; ++i)
    if (std::strncmp(games[static_cast<size_t>(i)]->executable, text, length) == 0) SelectGame(i);
  return gameCount;
}
