#include "platform/sdl/sdl_keys.h"

#include <SDL.h>

namespace platform {
namespace {

Key KeyFromSdl(SDL_Scancode sc) {
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9)
    return static_cast<Key>(static_cast<int>(Key::Digit1) + (sc - SDL_SCANCODE_1));
  switch (sc) {
    case SDL_SCANCODE_ESCAPE: return Key::Escape;
    case SDL_SCANCODE_0: return Key::Digit0;
    case SDL_SCANCODE_MINUS: return Key::Minus;
    case SDL_SCANCODE_EQUALS: return Key::Equals;
    case SDL_SCANCODE_BACKSPACE: return Key::Backspace;
    case SDL_SCANCODE_TAB: return Key::Tab;
    case SDL_SCANCODE_LEFTBRACKET: return Key::LeftBracket;
    case SDL_SCANCODE_RIGHTBRACKET: return Key::RightBracket;
    case SDL_SCANCODE_RETURN: return Key::Enter;
    case SDL_SCANCODE_KP_ENTER: return Key::Enter;
    case SDL_SCANCODE_SEMICOLON: return Key::Semicolon;
    case SDL_SCANCODE_APOSTROPHE: return Key::Apostrophe;
    case SDL_SCANCODE_GRAVE: return Key::Grave;
    case SDL_SCANCODE_LSHIFT: return Key::LeftShift;
    case SDL_SCANCODE_BACKSLASH: return Key::Backslash;
    case SDL_SCANCODE_COMMA: return Key::Comma;
    case SDL_SCANCODE_PERIOD: return Key::Period;
    case SDL_SCANCODE_SLASH: return Key::Slash;
    case SDL_SCANCODE_RSHIFT: return Key::RightShift;
    case SDL_SCANCODE_SPACE: return Key::Space;
    case SDL_SCANCODE_F1: return Key::F1;
    case SDL_SCANCODE_HOME: return Key::Home;
    case SDL_SCANCODE_UP: return Key::Up;
    case SDL_SCANCODE_PAGEUP: return Key::PageUp;
    case SDL_SCANCODE_LEFT: return Key::Left;
    case SDL_SCANCODE_RIGHT: return Key::Right;
    case SDL_SCANCODE_END: return Key::End;
    case SDL_SCANCODE_DOWN: return Key::Down;
    case SDL_SCANCODE_PAGEDOWN: return Key::PageDown;
    case SDL_SCANCODE_PAUSE: return Key::Pause;
    default: return Key::None;
  }
}

}  // namespace

Key KeyOfSdlKey(int scancode, int32_t keycode) {
  const bool letterPlace = scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z;
  const Key placed = letterPlace ? KeyByLayout(U'a' + (scancode - SDL_SCANCODE_A), Key::None, false)
                                 : KeyFromSdl(static_cast<SDL_Scancode>(scancode));
  // A keycode is the unshifted character the key types, or a key without one
  // (bit 30 set); either way a value KeyByLayout reads as it should.
  return KeyByLayout(static_cast<char32_t>(keycode), placed, letterPlace);
}

}  // namespace platform
