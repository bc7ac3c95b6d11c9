// SDL stays inside the layer's SDL backend: the system's code only ever sees
// the layer's own declarations.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

TEST(Layering, OnlyTheSdlBackendIncludesSdl) {
  namespace fs = std::filesystem;
  const std::regex sdlInclude(R"(^\s*#\s*include\s*[<"]SDL)");
  const fs::path root(QB_SOURCE_DIR);
  int filesRead = 0;
  for (const char* folder : {"platform", "shell", "screens", "widgets", "sound", "game", "launcher"}) {
    if (!fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      const fs::path& p = entry.path();
      if (!entry.is_regular_file() || (p.extension() != ".cpp" && p.extension() != ".h")) continue;
      if (p.parent_path() == root / "platform" / "sdl") continue;
      ++filesRead;
      std::ifstream in(p);
      std::string line;
      while (std::getline(in, line)) EXPECT_FALSE(std::regex_search(line, sdlInclude)) << p << ": " << line;
    }
  }
  EXPECT_GT(filesRead, 50);
}

}  // namespace
