#include "platform/win/window_memory.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/posix/files.h"
#include "platform/win/profile.h"
#include "platform/posix/user_files.h"

namespace platform {
namespace {

constexpr char kSection[] = "window";

int ReadNumber(const std::string& text, const char* key) {
  char value[32] = "";
  GetProfileStringFromText(text, kSection, key, "0", value, sizeof value);
  return static_cast<int>(std::strtol(value, nullptr, 10));
}

}  // namespace

std::string WindowMemoryPath() { return UserSettingsDirectory() + "/window.ini"; }

WindowPlacement LoadWindowPlacement() {
  std::ifstream in(WindowMemoryPath(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  WindowPlacement p;
  p.width = ReadNumber(text.str(), "width");
  p.height = ReadNumber(text.str(), "height");
  if (p.width < 400 || p.height < 300 || p.width > 16384 || p.height > 16384) p.width = p.height = 0;
  p.maximised = ReadNumber(text.str(), "maximised") == 1;
  p.fullscreen = ReadNumber(text.str(), "fullscreen") == 1;
  return p;
}

bool SaveWindowPlacement(const WindowPlacement& p) {
  std::string text;
  text = SetProfileStringInText(text, kSection, "width", std::to_string(p.width).c_str());
  text = SetProfileStringInText(text, kSection, "height", std::to_string(p.height).c_str());
  text = SetProfileStringInText(text, kSection, "maximised", p.maximised ? "1" : "0");
  text = SetProfileStringInText(text, kSection, "fullscreen", p.fullscreen ? "1" : "0");
  MakeFolders(UserSettingsDirectory());
  return WriteFileAtomically(WindowMemoryPath(), text.data(), text.size());
}

}  // namespace platform
