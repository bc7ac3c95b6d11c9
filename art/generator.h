// The parts of the artwork generator, each writing its files.
#pragma once

#include <string>

#include "art/files.h"

namespace art {

void MakeGameArt(const std::string& gameDir);
// The sheets coloured by the heads' colours (heads, crumbles, points, timer
// dots), in the usual palette and the colour-blind one.
void MakeHeadSheets(const std::string& gameDir);
void MakeLauncherArt(const std::string& distDir);
// Effects and voices into gameDir/sounds; work is a scratch folder.
void MakeSounds(const std::string& gameDir, const std::string& work);
// Mock screens made of the written pictures, for the contact sheet only.
void MakeMocks();
void MakeMusic(const std::string& gameDir, const std::string& work);
// The desktop icons: lobbo-48/64/128/256.png and lobbo.svg; the web app's:
// web-192.png, web-512.png and web-maskable-512.png.
void MakeIcons(const std::string& dir);

}  // namespace art
