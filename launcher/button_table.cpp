#include "launcher/button_table.h"

#include "screens/screen.h"
#include "widgets/button.h"
#include "records/shared_files.h"

Button* AddTableButton(Screen& screen, const ButtonPlace& place, int faces, const std::string& folder) {
  Button* button = new Button(place.x, place.y);
  button->SetName(place.name);
  button->LoadImageStrip(folder.empty() ? place.bitmap : records::InFolder(folder, place.bitmap).c_str(), faces, 0);
  screen.AddButton(button);
  return button;
}
