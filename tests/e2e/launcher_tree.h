// A launcher directory of a test's own: a new temporary folder holding links
// to the staged launcher's artwork and settings (not the program, not a
// player's options), to which a test adds the programs and games it needs.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

inline std::filesystem::path MakeLauncherTree(const std::filesystem::path& dist, const std::string& prefix) {
  namespace fs = std::filesystem;
  std::string pattern = "/tmp/" + prefix + "XXXXXX";
  const fs::path root = mkdtemp(pattern.data());
  for (const auto& entry : fs::directory_iterator(dist)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != "Lobbo" && name != "options.ini")
      fs::create_symlink(entry.path(), root / name);
  }
  return root;
}
