// Lobbo's entry: the shared shell with the launcher's own differences.
#include "launcher/game_pages.h"
#include "launcher/launcher_state.h"
#include "launcher/question_popup.h"
#include "launcher/title_screen.h"
#include "platform/entry/entry.h"
#include "platform/device/input.h"
#include "screens/screen_manager.h"
#include "shell/app.h"

namespace {

void RegisterScreens(const char* text) {
  screenManager.Add(&gamePagesScreen);
  screenManager.Add(&titleScreen);
  platform::SetStateText(DescribeLauncher);
  screenManager.SwitchTo("Lobbo");
  if (text && *text) gamePagesScreen.SelectByCommandLine(text);
}

}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE, char* text, int) {
  ShellVariant variant;
  variant.title = "Plinkworks Lobbo";
  variant.requireCommandLine = false;
  variant.checkDisplayDepth = true;
  variant.topmostAt800x600 = true;
  variant.paceFrames = false;
  variant.music = false;
  variant.printFpsInLoop = true;
  variant.quitPauseMs = 1500;
  variant.registerScreens = RegisterScreens;
  variant.takeEscape = TakeEscapeForQuestion;
  return RunShell(variant, instance, text);
}
