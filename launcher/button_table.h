// The launcher's screens describe their buttons as tables: a name, the
// bitmap with its faces side by side, and the place.
#pragma once

class Button;
class Screen;

struct ButtonPlace {
  const char* name;
  const char* bitmap;
  int x, y;
};

// Makes the button (name first, then its faces) and adds it to the screen.
Button* AddTableButton(Screen& screen, const ButtonPlace& place, int faces);
