#include "launcher/button_table.h"

#include "screens/screen.h"
#include "widgets/button.h"

Button* AddTableButton(Screen& screen, const ButtonPlace& place, int faces) {
  Button* button = new Button(place.x, place.y);
  button->SetName(place.name);
  button->LoadImageStrip(place.bitmap, faces, 0);
  screen.AddButton(button);
  return button;
}
