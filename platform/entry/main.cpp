// The process entry: joins the arguments with single spaces into the
// command line, as Windows hands it to WinMain, after the layer has read its
// QB_* settings and the scripted input.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/config.h"
#include "platform/entry.h"
#include "platform/input.h"

int main(int argc, char** argv) {
  if (argc > 0 && argv[0]) platform::SetProgramName(std::filesystem::path(argv[0]).filename().string());
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
