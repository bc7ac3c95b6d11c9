// The game brought up inside a test process as the program brings it up:
// graphics and the clock on the headless backend and virtual time, a private
// copy of the staged game folder as the current directory (so "hiscore.dat"
// and "setup.ini" are the test's own), and the game screen entered.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/game_screen.h"
#include "platform/win/window.h"
#include "gx/frame_clock.h"
#include "gx/gx.h"
#include "gx/random.h"
#include "widgets/redraw_manager.h"
#include "sound/sound_registry.h"

namespace gametest {

namespace fs = std::filesystem;

inline std::vector<std::string>& Sounds() {
  static std::vector<std::string> sounds;
  return sounds;
}

inline int CountSound(const std::string& name) {
  int n = 0;
  for (const auto& s : Sounds()) n += s == name;
  return n;
}

inline const std::string& RootDir() {
  static std::string root;
  return root;
}

inline void WriteSetup(int balloons, int gametime) {
  std::ofstream("setup.ini") << "[setup]\nfullscreen=0\nnowindow=0\n\n[default]\nballoons=" << balloons
                             << "\ngametime=" << gametime << "\n";
}

// Once per process: the window, graphics, clock, sound and the game screen.
inline void BringUp() {
  static bool up = false;
  if (up) return;
  up = true;
  static WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "GameTest";
  RegisterClassA(&wc);
  HWND window =
      CreateWindowExA(0, "GameTest", "test", WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  GXInitDirectX(window, 800, 600);
  StartClock();
  soundRegistry.Init(window, 200);

  static std::string root = (fs::temp_directory_path() / ("qb_game_" + std::to_string(getpid()))).string();
  const_cast<std::string&>(RootDir()) = root;
  fs::create_directories(root + "/Quibbleton");
  for (const auto& entry : fs::directory_iterator(fs::path(QB_DIST_DIR) / "Quibbleton")) {
    const std::string name = entry.path().filename().string();
    if (name == "Quibbleton" || name == "hiscore.dat") continue;
    fs::copy(entry.path(), fs::path(root) / "Quibbleton" / name, fs::copy_options::recursive);
  }
  std::ofstream(root + "/options.ini") << "[setup]\nplayerid=2\n\n[Player3]\nname=Ann\naddress=1 Road\n"
                                          "email=ann@example.org\nsend=N\n";
  fs::current_path(root + "/Quibbleton");
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(RootDir(), ignored);
  });
  WriteSetup(2, 300);
  IDirectDrawSurface *primary = nullptr, *back = nullptr;
  GXGetDDInfo(&primary, &back);
  gameScreen.Enter(GXGetLPDD(), back);
  game.soundListener = [](const char* name) { Sounds().push_back(name); };
}

// Each test starts from a fresh game with the given setup and no table.
class GameFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    BringUp();
    std::error_code ignored;
    fs::remove("hiscore.dat", ignored);
    WriteSetup(2, 300);
    lcg::srand(1);
    game.NewGame();
    Sounds().clear();
  }

  static void ClearBoard() {
    for (int c = 0; c < 150; ++c) game.PlaceBlock(c, -1, 0);
  }
  static int Cell(int column, int row) { return column + row * 15; }
  // Colour and face on a cell as colour * 5 + face, -1 when empty.
  static int Head(int cell) {
    const Block* b = game.At(cell);
    return b ? b->colour * 5 + b->face : -1;
  }
};

}  // namespace gametest
