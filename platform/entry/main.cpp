// The process entry: joins the arguments with single spaces into the
// command line, as Windows hands it to WinMain, after the layer has read its
// QB_* settings and the scripted input.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/device/config.h"
#include "platform/entry/entry.h"
#include "platform/device/input.h"
#include "platform/posix/files.h"
#include "platform/posix/process.h"
#include "platform/posix/user_files.h"

namespace {

// The QB_* paths name files from the folder the program was started in; made
// absolute before it changes folder, for it and for the programs it starts.
void AnchorSettingPaths() {
  const std::pair<const char*, const char*> paths[] = {
      {"QB_SCRIPT", ""}, {"QB_SCRIPT_DIR", ""}, {"QB_RECORD", ""}, {"QB_REPLAY", ""},
      {"QB_SHELL", "record:"}, {"QB_AUDIO", "wav:"}};
  for (const auto& [name, prefix] : paths) {
    const char* value = std::getenv(name);
    const size_t skip = std::strlen(prefix);
    if (!value || std::strncmp(value, prefix, skip) != 0 || value[skip] == '\0' || value[skip] == '/') continue;
    const std::string absolute = prefix + std::filesystem::absolute(value + skip).string();
    platform::SetEnvironmentValue(name, absolute);
  }
  platform::ReloadConfig();
}

// The name a program goes by: its file's, without Windows' ".exe" (which
// Windows writes in any case, and matches in any case).
std::string NameOf(const std::filesystem::path& file) {
  std::string name = file.filename().string();
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
#ifdef _WIN32
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
  return name;
}

// The program's own file and its tree. A program started under another name
// than its file's (the "lobbo" command, a link in PATH) was started like a
// shortcut, and begins in its own folder as a shortcut's "start in" folder
// would make it, and goes by its own name (scripts and messages). Started
// under its own name (by the other program, or from its folder) it keeps the
// folder it was given.
void FindOwnTree(const char* startedAs) {
  const std::filesystem::path self = platform::OwnExecutablePath();
  if (self.empty()) return;
  platform::SetLauncherDirectory(platform::FindLauncherDirectory(self.parent_path().string()));
  if (!startedAs || NameOf(startedAs) == NameOf(self)) return;
  platform::SetProgramName(self.stem().string());
  AnchorSettingPaths();
  if (!platform::ChangeDirectory(self.parent_path().string())) std::perror(self.parent_path().string().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 0 && argv[0]) platform::SetProgramName(std::filesystem::path(argv[0]).filename().string());
#ifdef _WIN32
  // "Quibbleton", as scripts and messages name it, not "Quibbleton.exe".
  if (argc > 0 && argv[0]) platform::SetProgramName(std::filesystem::path(argv[0]).stem().string());
#endif
  FindOwnTree(argc > 0 ? argv[0] : nullptr);
  if (const std::string error = platform::SettingsError(); !error.empty()) {
    std::fprintf(stderr, "%s: %s\n", platform::ProgramName().c_str(), error.c_str());
    return 2;
  }
  platform::LoadStartupScript();
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  return WinMain(nullptr, nullptr, commandLine.data(), 1);
}
