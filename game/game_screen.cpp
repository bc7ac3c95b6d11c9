#include "game/game_screen.h"

#include <cstdio>
#include <string>

#include "game/game.h"
#include "platform/win/window.h"
#include "gx/surface.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "sound/sound_registry.h"

namespace {

struct SoundFile {
  const char* name;
  const char* path;
};

// Load order gives the registry ids 10, 11, ...; "thunder" is deliberately absent.
constexpr SoundFile kSounds[] = {
    {"cheer", "sounds\\cheer.wav"},   {"negative", "sounds\\negative.wav"}, {"reveal", "sounds\\reveal.wav"},
    {"bonus", "sounds\\bonus.wav"},   {"squish", "sounds\\squish.wav"},     {"crack", "sounds\\metal.wav"},
    {"slide", "sounds\\slide3.wav"},  {"ahh", "sounds\\ahh.wav"},           {"huh", "sounds\\huh.wav"},
    {"yessir", "sounds\\yessir.wav"}, {"click", "sounds\\click.wav"},       {"blockhit", "sounds\\blockhit.wav"},
};

Button* StripButton(const char* name, int x, int y, const char* path) {
  Button* button = new Button(x, y);
  button->LoadImageStrip(path, 3, 0);
  button->SetName(name);
  return button;
}

}  // namespace

GameScreen::GameScreen(Game& owner) : game(owner) { SetName("balloon"); }

// The sprite list's clones share frames without owning them, so the sheets
// may go first whatever order the statics are destroyed in.
GameScreen::~GameScreen() { FreeSheets(); }

void GameScreen::FreeSheets() {
  for (auto& templates : crumbleTemplates)
    for (Sprite*& t : templates) {
      delete t;
      t = nullptr;
    }
  for (Sprite*& t : guyTemplates) {
    delete t;
    t = nullptr;
  }
  for (int p = 0; p < 2; ++p) {
    delete crumbleSheets[p];
    delete headsSheets[p];
    crumbleSheets[p] = headsSheets[p] = nullptr;
  }
  delete guySheet;
  delete scoreFont;
  delete multiplierStrip;
  guySheet = scoreFont = multiplierStrip = nullptr;
  for (Sprite** picture : {&pausedCover, &noMovesNotice, &summaryPanel, &notListed}) {
    delete *picture;
    *picture = nullptr;
  }
  for (IDirectDrawSurface* glyph : scoreGlyphs) glyph->Release();
  scoreGlyphs.clear();
}

void GameScreen::Enter(IDirectDraw* dd, IDirectDrawSurface* target) {
  Screen::Enter(dd, target);

  // On a touch screen the board's hint line says "tap" and "hold".
  const char* picture = GetSystemMetrics(SM_MAXIMUMTOUCHES) > 0 ? "backgroundtouch.bmp" : "background.bmp";
  background = LoadImage(picture);
  if (background) SetRedrawTarget(background->surface);
  secondBackground = LoadImage(picture);
  if (secondBackground) SetRedrawBackground(secondBackground->surface);
  redrawManager.RestoreAll();

  // Invisible hot spots over the guys, the left-hand ones first; the name's
  // suffix is the push direction.
  for (int guy = 0; guy < kGuys; ++guy) {
    const int row = guy % 10;
    const bool leftHand = guy < 10;
    Button* button = new Button(leftHand ? 99 : 751, row * 55 + 4, 41, 55);
    button->SetName(("Air" + std::to_string(row) + (leftHand ? "r" : "l")).c_str());
    button->DrawToBoth(1);
    button->SetDirtyReporting(1);
    AddButton(button);
    guyHotSpots[guy] = button;
  }
  AddButton(StripButton("newgame", 14, 351, "newgame.bmp"));
  AddButton(StripButton("exit", 14, 519, "exit.bmp"));
  AddButton(StripButton("help", 14, 407, "howto.bmp"));
  AddButton(StripButton("menu", 14, 463, "back.bmp"));

  // A second Enter starts from fresh sheets.
  FreeSheets();
  palette = ReadPalette();
  LoadHeadSheets();
  scoreFont = new Sprite();
  scoreFont->LoadStrip("scorefont.bmp", 10, 0);
  multiplierStrip = new Sprite();
  multiplierStrip->LoadStrip("scoremultipliers.bmp", 25, 1);
  const auto loadPicture = [](const char* path) {
    Sprite* sprite = new Sprite();
    sprite->LoadStrip(path, 1, 0);
    sprite->SetColorKey(0, 0, 255);
    return sprite;
  };
  pausedCover = loadPicture("paused.bmp");
  noMovesNotice = loadPicture("nomoves.bmp");
  summaryPanel = loadPicture("summary.bmp");
  notListed = loadPicture("notlisted.bmp");
  LoadAndSplit("scoreglyphs.bmp", scoreGlyphs, 10, 17);

  for (const SoundFile& sound : kSounds) soundRegistry.LoadSample(sound.path, sound.name);

  game.NewGame();
}

void GameScreen::SetPalette(Palette chosen) {
  palette = chosen;
  LoadHeadSheets();
}

void GameScreen::LoadHeadSheets() {
  const int index = PaletteIndex();
  if (headsSheets[index]) return;
  headsSheets[index] = new Sprite();
  headsSheets[index]->LoadGrid(HeadsFile(palette), 41, 55);
  Sprite* sheet = crumbleSheets[index] = new Sprite();
  sheet->LoadGrid(CrumbleFile(palette), 41, 55);
  for (int t = 0; t < kHeads; ++t) {
    Sprite* crumble = new Sprite();
    crumble->SetPlayMode(kPlayVanish);
    for (int k = 0; k < 7; ++k)
      if (7 * t + k < sheet->FrameCount()) crumble->AddSharedFrame(sheet->frames[7 * t + k]);
    crumbleTemplates[index][t] = crumble;
  }
}

void GameScreen::Leave() {
  soundRegistry.FreeAll();
  Screen::Leave();
  background = secondBackground = nullptr;
  for (Button*& hotSpot : guyHotSpots) hotSpot = nullptr;
  // The clones in the list share the sheets' frames, so they go first.
  spriteList.Clear();
  FreeSheets();
}

int GameScreen::HandleMessage(HWND, UINT message, WPARAM wParam, LPARAM) {
  // A game left for another window stops its countdown and hides its board.
  const bool leaving = (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) ||
                       (message == WM_ACTIVATEAPP && wParam == 0);
  if (leaving) game.RequestPause();
  return 1;
}

int GameScreen::Run(int) {
  if (game.Update() == Game::kQuit) return kScreenQuit;
  return Flip() ? kScreenShown : kScreenNotShown;
}

void GameScreen::MakeGuys() {
  if (!guySheet) {
    guySheet = new Sprite();
    guySheet->LoadGrid("slaveanims.bmp", 41, 55);
  }
  for (Sprite*& t : guyTemplates) {
    delete t;
    t = nullptr;
  }
  spriteList.Clear();

  char name[16];
  for (int i = 0; i < kGuys; ++i) {
    Sprite* guy = new Sprite();
    guy->SetPlayMode(kPlayHold);
    guy->SetFrameDelay(200);
    guy->SetAnimating(0);
    std::snprintf(name, sizeof name, "guy%d", i);
    guy->SetName(name);
    if (i < 10)
      guy->SetPosition(99, i * 55 + 10);
    else
      guy->SetPosition(751, (i - 10) * 55 + 10);
    const int first = i < 10 ? 0 : kGuyPoses;
    for (int k = 0; k < kGuyPoses; ++k)
      if (first + k < guySheet->FrameCount()) guy->AddSharedFrame(guySheet->frames[first + k]);
    guyTemplates[i] = guy;
    spriteList.Add(*guy);
  }
}
