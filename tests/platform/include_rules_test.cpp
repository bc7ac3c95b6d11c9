// The include rules of ARCHITECTURE.md, read from the sources: each room
// includes only itself and the rooms its rule names, and SDL stays inside
// the layer's SDL backend (layering_test.cpp checks that alone, for every
// folder it names). A new include that runs upward fails here before it
// tangles the layers.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Room {
  std::string_view path;              // a folder of the tree
  std::vector<std::string_view> may;  // folders ("x/") or headers its files may include besides their own
};

// Longest path first wins, so a file finds its most specific room.
const std::vector<Room>& Rooms() {
  static const std::vector<Room> rooms = {
      {"platform/media/", {}},
      {"platform/posix/", {}},
      {"platform/automation/", {"platform/device/device_event.h", "platform/device/keys.h"}},
      // The Windows-shaped interface sits on the devices and the system's
      // calls; they and the backends know nothing of Windows.
      {"platform/win/", {"platform/device/", "platform/media/", "platform/posix/"}},
      {"platform/device/", {"platform/media/", "platform/posix/", "platform/automation/"}},
      {"platform/sdl/", {"platform/device/", "platform/media/", "platform/posix/"}},
      // Windows' system calls behind posix/'s headers, and its backend.
      {"platform/winos/", {"platform/posix/"}},
      {"platform/win32/", {"platform/device/", "platform/media/", "platform/posix/", "platform/winos/"}},
      {"platform/headless/", {"platform/device/", "platform/media/", "platform/posix/"}},
      // The page stands in for part of the Windows-shaped interface (threads
      // as fibers, ShellExecuteA as navigation), so it implements win/ headers.
      {"platform/web/", {"platform/device/", "platform/media/", "platform/posix/", "platform/win/"}},
      {"platform/entry/", {"platform/device/", "platform/posix/", "platform/win/"}},
      // The files the programs share, which the score server reads too.
      {"records/", {"platform/win/", "platform/device/", "platform/posix/"}},
      {"gx/", {"platform/win/", "platform/device/", "platform/media/", "platform/posix/"}},
      {"sound/", {"platform/win/", "platform/device/", "platform/posix/"}},
      {"widgets/", {"platform/win/", "platform/device/", "platform/posix/", "records/", "gx/"}},
      {"screens/", {"platform/win/", "platform/device/", "platform/posix/", "records/", "gx/", "widgets/"}},
      {"shell/", {"platform/win/", "platform/device/", "platform/posix/", "records/", "gx/", "widgets/", "screens/"}},
      // The game's rules stand alone: the game shows them, the launcher names
      // replays by them and the server verifies replays with them.
      {"game/rules/", {}},
      {"game/", {"platform/win/", "platform/device/", "platform/posix/", "platform/entry/", "records/", "gx/",
                 "sound/", "widgets/", "screens/", "shell/", "game/rules/"}},
      {"launcher/", {"platform/win/", "platform/device/", "platform/posix/", "platform/entry/", "records/", "gx/",
                     "widgets/", "screens/", "shell/", "game/rules/"}},
      {"server/", {"records/", "game/rules/"}},
      {"art/", {}},
  };
  return rooms;
}

const Room* RoomOf(std::string_view file) {
  const Room* best = nullptr;
  for (const Room& room : Rooms())
    if (file.starts_with(room.path) && (!best || room.path.size() > best->path.size())) best = &room;
  return best;
}

// Windows' own headers, whose declarations (HWND, MSG, TRUE, ...) would
// meet the layer's own of platform/win/ in one file.
bool IsWindowsHeader(std::string_view target) {
  std::string lower(target);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (std::string_view name : {"windows.h", "shlobj.h", "shellapi.h", "bcrypt.h", "mmsystem.h", "mmreg.h",
                                "msacm.h", "imm.h", "objbase.h", "mmdeviceapi.h", "audioclient.h", "mfapi.h"})
    if (lower == name) return true;
  return lower.starts_with("win") && lower.ends_with(".h");
}

// Why file may not include target ("" when it may). Angled includes are the
// system's and libraries', of which only SDL, Emscripten and Windows are ruled.
std::string RuleBroken(std::string_view file, std::string_view target, bool angled) {
  if (angled) {
    if (IsWindowsHeader(target) && !file.starts_with("platform/win32/") && !file.starts_with("platform/winos/"))
      return "Windows' headers only in platform/win32/ and platform/winos/";
    if (target.starts_with("SDL") && !file.starts_with("platform/sdl/")) return "SDL only in platform/sdl/";
    if (target.starts_with("emscripten") && !file.starts_with("platform/web/"))
      return "Emscripten only in platform/web/";
    return "";
  }
  const Room* from = RoomOf(file);
  if (!from) return "";
  const Room* to = RoomOf(target);
  if (to == from) return "";
  for (std::string_view allowed : from->may)
    if (allowed.ends_with('/') ? target.starts_with(allowed) : target == allowed) return "";
  return "not among what " + std::string(from->path) + " may include";
}

struct Include {
  std::string file;    // relative to the source root
  std::string target;  // as written
  bool angled = false;
};

std::vector<Include> ReadIncludes() {
  const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  const fs::path root(QB_SOURCE_DIR);
  std::vector<Include> found;
  for (const Room& room : Rooms()) {
    const fs::path folder = root / room.path;
    if (!fs::is_directory(folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      const fs::path& p = entry.path();
      if (!entry.is_regular_file() || (p.extension() != ".cpp" && p.extension() != ".h")) continue;
      const std::string file = fs::relative(p, root).generic_string();
      if (RoomOf(file) != &room) continue;  // read once, under its own room
      std::ifstream in(p);
      std::string line;
      std::smatch m;
      while (std::getline(in, line))
        if (std::regex_search(line, m, include)) found.push_back({file, m[2].str(), m[1].str() == "<"});
    }
  }
  return found;
}

TEST(IncludeRules, EveryIncludeStaysWithinWhatItsRoomMayUse) {
  const std::vector<Include> includes = ReadIncludes();
  ASSERT_GT(includes.size(), 500u);
  int roomsIncluded = 0;
  for (const Include& inc : includes) {
    if (!inc.angled && RoomOf(inc.target)) ++roomsIncluded;
    const std::string why = RuleBroken(inc.file, inc.target, inc.angled);
    EXPECT_TRUE(why.empty()) << inc.file << " includes " << inc.target << ": " << why;
  }
  EXPECT_GT(roomsIncluded, 300);
}

// Windows' declarations and the layer's own never meet: no file that
// includes a Windows header includes anything of platform/win/.
TEST(IncludeRules, NoFileIncludesBothWindowsAndTheWindowsShapedLayer) {
  std::map<std::string, std::pair<bool, bool>> seen;  // file: Windows header, platform/win/
  for (const Include& inc : ReadIncludes()) {
    auto& [windows, layer] = seen[inc.file];
    windows = windows || (inc.angled && IsWindowsHeader(inc.target));
    layer = layer || (!inc.angled && inc.target.starts_with("platform/win/"));
  }
  int windowsFiles = 0;
  for (const auto& [file, both] : seen) {
    windowsFiles += both.first;
    EXPECT_FALSE(both.first && both.second) << file << " includes Windows' headers and platform/win/";
  }
  EXPECT_GE(windowsFiles, 8);  // the Windows backend and system calls are read
  EXPECT_NE(RuleBroken("platform/win32/win32_video.cpp", "platform/win/window.h", false), "");
  EXPECT_NE(RuleBroken("platform/win/window.cpp", "windows.h", true), "");
  EXPECT_NE(RuleBroken("game/game.cpp", "Windows.h", true), "");
  EXPECT_EQ(RuleBroken("platform/winos/files.cpp", "windows.h", true), "");
  EXPECT_EQ(RuleBroken("platform/winos/files.cpp", "platform/posix/files.h", false), "");
  EXPECT_NE(RuleBroken("platform/posix/files.cpp", "platform/winos/wide.h", false), "");
}

TEST(IncludeRules, TheRulesRefuseUpwardIncludesAndSdlOrEmscriptenOutsideTheirBackends) {
  EXPECT_NE(RuleBroken("widgets/sprite.cpp", "shell/app.h", false), "");
  EXPECT_NE(RuleBroken("gx/frame_clock.cpp", "widgets/surface.h", false), "");
  EXPECT_NE(RuleBroken("platform/media/blit.cpp", "platform/win/ddraw.h", false), "");
  EXPECT_NE(RuleBroken("platform/device/clock.cpp", "platform/win/mmtimer.h", false), "");
  EXPECT_NE(RuleBroken("platform/sdl/sdl_video.cpp", "platform/win/wintypes.h", false), "");
  EXPECT_NE(RuleBroken("platform/posix/files.h", "platform/win/wintypes.h", false), "");
  EXPECT_NE(RuleBroken("platform/posix/files.cpp", "platform/device/config.h", false), "");
  EXPECT_EQ(RuleBroken("platform/win/files.h", "platform/posix/files.h", false), "");
  EXPECT_NE(RuleBroken("launcher/title_screen.cpp", "game/game.h", false), "");
  EXPECT_NE(RuleBroken("server/service.cpp", "platform/win/profile.h", false), "");
  EXPECT_NE(RuleBroken("records/player_string.cpp", "widgets/button.h", false), "");
  EXPECT_EQ(RuleBroken("server/query.cpp", "records/upload.h", false), "");
  EXPECT_NE(RuleBroken("game/game.cpp", "platform/sdl/sdl_video.cpp", false), "");
  EXPECT_NE(RuleBroken("platform/win/window.cpp", "SDL.h", true), "");
  EXPECT_EQ(RuleBroken("platform/sdl/sdl_video.cpp", "SDL.h", true), "");
  EXPECT_NE(RuleBroken("platform/device/clock.cpp", "emscripten/emscripten.h", true), "");
  EXPECT_EQ(RuleBroken("platform/web/web_clock.cpp", "emscripten/emscripten.h", true), "");
  EXPECT_NE(RuleBroken("platform/web/web_video.cpp", "gx/gx.h", false), "");
  EXPECT_EQ(RuleBroken("game/game.cpp", "sound/gx_sound.h", false), "");
  EXPECT_EQ(RuleBroken("platform/media/mixer.cpp", "platform/media/resampler.h", false), "");
}

}  // namespace
