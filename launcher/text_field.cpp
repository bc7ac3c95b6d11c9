#include "launcher/text_field.h"

#include <cstring>

#include "launcher/bitmap_font.h"
#include "gx/key_queue.h"
#include "gx/frame_clock.h"
#include "widgets/sprite.h"
#include "records/shared_files.h"

std::unique_ptr<TextField> MakeLauncherField(BitmapFont* font, BitmapFont* highlightFont,
                                             const std::string& launcherDirectory) {
  auto field = std::make_unique<TextField>();
  field->AllocText(64);
  field->AddSharedFont(font);
  field->AddSharedFont(highlightFont);
  field->SetCaret(records::InFolder(launcherDirectory, "blockcursor.bmp").c_str());
  return field;
}

TextField::TextField()
    : x(0),
      y(0),
      insetX(0),
      insetY(0),
      width(0),
      height(0),
      capacity(0),
      length(0),
      caretOn(1),
      focused(0),
      highlighted(0),
      fontsShared(0),
      selectMode(1),
      editable(1) {}

TextField::~TextField() {
  if (!fontsShared)
    for (BitmapFont* font : fonts) delete font;
}

void TextField::SetRect(int left, int top, int w, int h) {
  x = left;
  y = top;
  width = w;
  height = h;
}

void TextField::SetInset(int dx, int dy) {
  insetX = dx;
  insetY = dy;
}

void TextField::AllocText(int size) {
  capacity = size > 0 ? size : 0;
  text = capacity > 0 ? std::make_unique<char[]>(static_cast<size_t>(capacity)) : nullptr;
  length = 0;
  caretOn = 1;
}

void TextField::SetText(const char* s) {
  if (!s || !text) return;
  const size_t n = std::strlen(s);
  if (n >= static_cast<size_t>(capacity)) return;
  std::memcpy(text.get(), s, n + 1);
  length = static_cast<int32_t>(n);
}

void TextField::AddSharedFont(BitmapFont* font) {
  if (!font) return;
  fonts.push_back(font);
  height = font->height;
  fontsShared = 1;
}

void TextField::SetCaret(const char* path) {
  caret = std::make_unique<Sprite>();
  caret->LoadStrip(path, 1, 0);
  caret->SetPosition(x + insetX, y + insetY);
  caret->frameTime = 0;
}

void TextField::SetFocus(int on) {
  if (!focused) keyQueue.Flush();
  focused = on;
}

bool TextField::Hit(int mouseX, int mouseY) const {
  const int px = mouseX - insetX, py = mouseY - insetY;
  return x <= px && px <= x + width && y <= py && py <= y + height;
}

int TextField::Click(int mouseX, int mouseY) {
  const bool inside = Hit(mouseX, mouseY);
  if (selectMode == 0) {
    SetFocus(inside ? 1 : 0);
  } else if (!inside) {
    SetFocus(0);
    SetHighlight(0);
  } else if (!highlighted || focused) {
    // The first click selects; a click on the field being edited ends editing.
    SetHighlight(1);
    SetFocus(0);
  } else {
    SetFocus(1);
  }
  return focused;
}

int TextField::PollKeys() {
  if (!focused || !editable) return 0;
  int last = 0;
  while (int event = keyQueue.Pop()) {
    const int code = event & 0xFF;
    last = code;
    if (code == kEnter) {
      focused = 0;
      return kEnter;
    }
    if (code == kTab) return kTab;
    if (code == kBackspace) {
      if (length > 0) text[static_cast<size_t>(--length)] = '\0';
      continue;
    }
    const char ch = KeyQueue::ToChar(event);
    const BitmapFont* font = DrawingFont();
    // ":" separates the fields of the player string; typed into a field it
    // would make an entry the score server cannot read.
    if (!ch || ch == kFieldSeparator || !text || !font) continue;
    const bool roomInBuffer = length + 1 < capacity - 1;
    const bool roomInBox = font->TextWidth(text.get()) + font->CharAdvance(static_cast<unsigned char>(ch)) < width;
    if (roomInBuffer && roomInBox) {
      text[static_cast<size_t>(length++)] = ch;
      text[static_cast<size_t>(length)] = '\0';
    }
  }
  return last;
}

BitmapFont* TextField::DrawingFont() const {
  if (fonts.empty()) return nullptr;
  return highlighted && fonts.size() > 1 ? fonts[1] : fonts[0];
}

void TextField::Draw(IDirectDrawSurface* target) {
  BitmapFont* font = DrawingFont();
  if (font) font->DrawString(target, Text(), x + insetX, y + insetY, 0, x + insetX + width);
  if (!caret) return;
  if (TicksSince(caret->frameTime) > 0) {
    caret->frameTime = TicksAfter(kCaretHalfPeriod);
    caretOn = 1 - caretOn;
  }
  if (editable && focused && caretOn) {
    caret->SetPosition(x + insetX + (font ? font->TextWidth(Text()) : 0), y + insetY);
    caret->DrawTo(target);
  }
}
