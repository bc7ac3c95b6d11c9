// Quibbleton's entry: the shared shell with the game's own steps.
#include <cstdio>
#include <string>

#include "game/game.h"
#include "game/game_screen.h"
#include "platform/device/config.h"
#include "platform/entry/entry.h"
#include "platform/device/input.h"
#include "platform/win/mci.h"
#include "platform/win/profile.h"
#include "screens/screen_manager.h"
#include "shell/app.h"
#include "sound/sound_registry.h"
#include "records/shared_files.h"

namespace {

bool OptionOn(const char* key) {
  char value[2] = "";
  GetPrivateProfileStringA(records::kSetupSection, key, "Y", value, sizeof value, records::kOptionsFromGame);
  return value[0] == 'Y';
}

// Start-up: the sound library, then the music and the effects as "options.ini" says.
void StartSound(HWND window) {
  soundRegistry.Init(window, 200);
  bool music = OptionOn("music");
  soundRegistry.EnableMusic(music);
  if (music) {
    mciSendStringA("open .\\sounds\\music.mp3 alias music", nullptr, 0, nullptr);
    mciSendStringA("play music notify", nullptr, 0, window);
  }
  soundRegistry.EnableSFX(OptionOn("SFX"));
}

void ShutdownSound() { soundRegistry.Shutdown(); }

// The window's destroy handling enters an ended game's score that is still
// waiting, then releases the game's blocks, pop-ups and tiles.
void ShutdownProgram() {
  game.EnterEndedGameScore();
  game.Cleanup();
}

void RegisterScreens(const char* text) {
  screenManager.Add(&gameScreen);
  platform::SetStateText([] { return game.Describe(); });
  platform::SetDetailText([] { return game.DescribeAids(); });
  // The shell hands over its own copy; only a different text needs copying.
  if (text && text != commandLine) std::snprintf(commandLine, sizeof commandLine, "%s", text);
  screenManager.SwitchTo("balloon");
}

}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE, char* text, int) {
  // A replay to watch that cannot be watched ends the run before it starts,
  // as a malformed setting does.
  if (const std::string& replay = platform::GetConfig().replay; !replay.empty()) {
    if (const std::string error = game.Playback().Load(replay); !error.empty()) {
      std::fprintf(stderr, "%s: QB_REPLAY=%s %s\n", platform::ProgramName().c_str(), replay.c_str(), error.c_str());
      return 2;
    }
  }
  ShellVariant variant;
  variant.title = "Quibbleton";
  variant.startSound = StartSound;
  variant.registerScreens = RegisterScreens;
  variant.shutdownProgram = ShutdownProgram;
  variant.shutdownSound = ShutdownSound;
  return RunShell(variant, instance, text);
}
