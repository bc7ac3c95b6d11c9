// The process entry: joins the arguments with single spaces into the
// command line, as Windows hands it to WinMain, after the layer has read its
// QB_* settings and the scripted input.
#include <filesystem>
#include <string>

#include "platform/config.h"
#include "platform/entry.h"
#include "platform/input.h"

int main(int argc, char** argv) {
  if (argc > 0 && argv[0]) platform::SetProgramName(std::filesystem::path(argv[0]).filename().string());
  platform::LoadStartupScript();
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  return WinMain(nullptr, nullptr, commandLine.data(), 1);
}
