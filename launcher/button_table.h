// The launcher's screens describe their buttons as tables: a name, the
// bitmap with its faces side by side, and the place.
#pragma once

#include <string>

class Button;
class Screen;

struct ButtonPlace {
  const char* name;
  const char* bitmap;
  int x, y;
};

// Makes the button (name first, then its faces) and adds it to the screen;
// with a folder, the bitmap is the one in that folder.
Button* AddTableButton(Screen& screen, const ButtonPlace& place, int faces, const std::string& folder = {});
