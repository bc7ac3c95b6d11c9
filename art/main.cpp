// The artwork generator: draws every picture, synthesises every sound and
// composes the music of both programs into the staged tree.
//   art DIST_DIR GAME_DIR PREVIEW_PNG WORK_DIR ICON_DIR
#include <chrono>
#include <cstdio>
#include <exception>

#include "art/canvas.h"
#include "art/generator.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s DIST_DIR GAME_DIR PREVIEW_PNG WORK_DIR ICON_DIR\n", argv[0]);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  try {
    art::MakeDirs(argv[1]);
    art::MakeDirs(argv[2]);
    art::MakeLauncherArt(argv[1]);
    art::MakeGameArt(argv[2]);
    art::MakeIcons(argv[5]);
    art::MakeMocks();
    art::WritePreview(argv[3]);
    art::MakeSounds(argv[2], argv[4]);
    art::MakeMusic(argv[2], argv[4]);
    art::ReleaseFonts();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "art: %s\n", e.what());
    return 1;
  }
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("art: generated in %.1f s\n", secs);
  return 0;
}
