#include "launcher/text_field.h"

#include <cstring>
#include <string>
#include <string_view>

#include "launcher/bitmap_font.h"
#include "gx/key_queue.h"
#include "gx/frame_clock.h"
#include "platform/device/input.h"
#include "widgets/sprite.h"
#include "records/shared_files.h"
#include "records/utf8.h"

namespace {

// The fields focused now: the system's text input is on while there is one
// (a field losing the focus may come after the next one took it).
int focusedFields = 0;

void CountFocus(int change) {
  const bool before = focusedFields > 0;
  focusedFields += change;
  if ((focusedFields > 0) != before) platform::SetTextInput(focusedFields > 0);
}

// Typed text a field takes: no control characters (Enter and Tab come as
// keys), and no ":", which separates the fields of the player string (an
// entry with one would be one the score server cannot read).
bool Typeable(char32_t c) {
  return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && c != static_cast<char32_t>(TextField::kFieldSeparator);
}

}  // namespace

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
  SetFocus(0);
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
  const int now = on ? 1 : 0;
  if (now != (focused ? 1 : 0)) CountFocus(now ? 1 : -1);
  focused = now;
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
  KeyQueue::Event event;
  while (keyQueue.Take(&event)) {
    if (event.key == 0) {
      Type(event.text);
      continue;
    }
    const int code = event.key & 0xFF;
    last = code;
    if (code == kEnter) {
      SetFocus(0);
      return kEnter;
    }
    if (code == kTab) return kTab;
    if (code == kBackspace && text) {
      length = static_cast<int32_t>(records::WithoutLastCharacter(std::string_view(text.get(), length)));
      text[static_cast<size_t>(length)] = '\0';
    }
  }
  return last;
}

void TextField::Type(const char* typed) {
  const BitmapFont* font = DrawingFont();
  if (!text || !font) return;
  const std::string_view input(typed);
  for (size_t at = 0; at < input.size();) {
    const char32_t c = records::NextCodePoint(input, &at);
    if (!Typeable(c)) continue;
    char bytes[4];
    const int n = records::AppendCodePoint(c, bytes);
    // The buffer keeps its last two bytes free, as ever; a character that
    // does not fit whole is not typed.
    if (n == 0 || length + n > capacity - 2) continue;
    std::string candidate(text.get(), static_cast<size_t>(length));
    candidate.append(bytes, static_cast<size_t>(n));
    if (font->TextWidth(candidate.c_str()) >= width) continue;
    std::memcpy(text.get() + length, bytes, static_cast<size_t>(n));
    length += n;
    text[static_cast<size_t>(length)] = '\0';
  }
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
