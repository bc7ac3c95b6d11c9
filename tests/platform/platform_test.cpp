// The layer's window and message translation, surfaces, scripts and clock.
#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "platform/device/clock.h"
#include "platform/win/ddraw.h"
#include "platform/device/input.h"
#include "platform/win/mmtimer.h"
#include "platform/automation/script.h"
#include "platform/win/key_codes.h"
#include "platform/win/window.h"
#include "platform/sdl/sdl_keys.h"

#include <SDL.h>

namespace {

std::vector<MSG> received;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  received.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND OpenWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = "Test Class";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "test class", "T", WS_VISIBLE, 10, 20, 800, 600, nullptr, nullptr, nullptr, nullptr);
}

std::vector<MSG> Drain() {
  std::vector<MSG> out;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    out.push_back(msg);
    if (msg.message == WM_QUIT) break;
    DispatchMessageA(&msg);
  }
  return out;
}

platform::Script Parse(const char* text) {
  platform::Script s;
  std::string error;
  EXPECT_TRUE(platform::ParseScript(text, "/base", &s, &error)) << error;
  return s;
}

TEST(Window, MessagesFromDeviceEventsWithWindowsPacking) {
  received.clear();
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  // A shown window is active even without a window manager.
  auto first = Drain();
  ASSERT_GE(first.size(), 3u);
  EXPECT_EQ(first[1].message, WM_ACTIVATEAPP);
  EXPECT_EQ(first[1].wParam, 1u);
  EXPECT_EQ(first[2].message, WM_ACTIVATE);
  EXPECT_EQ(LOWORD(first[2].wParam), WA_ACTIVE);

  platform::SetScript(Parse("0 click left 300 200\n0 tap ESC\n0 key down A\n0 close\n"));
  // The pump applies every due event to the device state and the input
  // queue; only the keys and the window's own events become messages.
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(platform::MouseButtons(), 1);
  platform::InputEvent queued;
  ASSERT_TRUE(platform::TakeInputEvent(platform::InputStream::Pointer, &queued));
  EXPECT_EQ(queued.event.kind, platform::DeviceEvent::Kind::MouseMove);
  ASSERT_TRUE(platform::TakeInputEvent(platform::InputStream::Pointer, &queued));
  EXPECT_EQ(queued.event.kind, platform::DeviceEvent::Kind::MouseButton);
  EXPECT_EQ(queued.event.x, 300);
  EXPECT_EQ(queued.event.y, 200);
  EXPECT_EQ(msg.message, WM_KEYDOWN);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ((msg.lParam >> 16) & 0xFF, 1);  // scan code
  EXPECT_LT(GetAsyncKeyState(VK_ESCAPE), 0);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_KEYDOWN);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_SYSCOMMAND);
  EXPECT_EQ(msg.wParam, SC_CLOSE);
  // Default handling of the close button destroys the window.
  received.clear();
  DispatchMessageA(&msg);
  ASSERT_GE(received.size(), 2u);
  EXPECT_EQ(received[1].message, WM_CLOSE);
  EXPECT_EQ(received.back().message, WM_DESTROY);
  EXPECT_FALSE(IsWindow(w));

  // The releases 20 ms later arrive once the clock has passed them.
  Sleep(20);
  PostQuitMessage(4);
  auto rest = Drain();
  ASSERT_FALSE(rest.empty());
  EXPECT_EQ(rest.back().message, WM_QUIT);  // the quit message comes after everything else
  EXPECT_EQ(rest.back().wParam, 4u);
  EXPECT_EQ(platform::MouseButtons(), 0);
  EXPECT_GE(GetAsyncKeyState(VK_ESCAPE), 0);
  EXPECT_LT(GetAsyncKeyState('A'), 0);  // never released
  platform::DropInputEvents(platform::InputStream::Pointer);
  platform::DropInputEvents(platform::InputStream::Keyboard);
}

// The readers of the two streams each see their own events in the order
// they came, a button with the place it went down or up at; the held state
// changes at once.
TEST(Input, QueuesEachStreamInOrderWithTheHeldStateAlongside) {
  using Kind = platform::DeviceEvent::Kind;
  auto apply = [](Kind kind, int a = 0, int b = 0, bool down = false) {
    platform::DeviceEvent e;
    e.kind = kind;
    e.x = a;
    e.y = b;
    e.button = a;
    e.key = static_cast<platform::Key>(a);
    e.down = down;
    platform::ApplyDeviceEvent(e);
  };
  auto take = [](platform::InputStream stream) {
    platform::InputEvent e;
    if (!platform::TakeInputEvent(stream, &e)) return std::string("none");
    const platform::DeviceEvent& d = e.event;
    switch (d.kind) {
      case Kind::MouseMove: return "move " + std::to_string(d.x) + "," + std::to_string(d.y);
      case Kind::MouseButton:
        return std::string(d.down ? "down " : "up ") + std::to_string(d.button) + " at " + std::to_string(d.x) + "," +
               std::to_string(d.y);
      case Kind::Key: return "key " + std::to_string(static_cast<int>(d.key)) + (e.shift ? " shifted" : "");
      default: return std::string("text ") + d.text;
    }
  };
  using platform::InputStream;
  platform::DropInputEvents(InputStream::Pointer);
  platform::DropInputEvents(InputStream::Keyboard);
  apply(Kind::MouseMove, 10, 10);
  apply(Kind::MouseMove, 20, 30);  // only the last of a run of moves is kept
  apply(Kind::Key, static_cast<int>(platform::Key::A), 0, true);
  apply(Kind::MouseButton, 0, 0, true);
  apply(Kind::MouseMove, 40, 50);
  apply(Kind::MouseButton, 0, 0, false);
  apply(Kind::MouseButton, 0, 0, true);  // a second tap in the same frame
  apply(Kind::MouseButton, 0, 0, false);
  apply(Kind::Key, static_cast<int>(platform::Key::A), 0, false);  // releases are not queued
  apply(Kind::Key, static_cast<int>(platform::Key::LeftShift), 0, true);
  apply(Kind::Key, static_cast<int>(platform::Key::B), 0, true);
  platform::DeviceEvent text;
  text.kind = Kind::Text;
  std::snprintf(text.text, sizeof text.text, "%s", "\xC3\xAB");
  platform::ApplyDeviceEvent(text);
  EXPECT_EQ(platform::MouseButtons(), 0);
  EXPECT_TRUE(platform::KeyHeld(platform::Key::B));
  EXPECT_FALSE(platform::KeyHeld(platform::Key::A));
  // A reader that refuses the next event leaves it queued.
  platform::InputEvent refused;
  EXPECT_FALSE(platform::TakeInputEvent(InputStream::Keyboard, &refused, [](const platform::DeviceEvent& e) {
    return e.kind == Kind::Text;
  }));
  const std::vector<std::string> pointer = {"move 20,30", "down 0 at 20,30", "move 40,50", "up 0 at 40,50",
                                            "down 0 at 40,50", "up 0 at 40,50", "none"};
  // A, left Shift, B (the layer's key codes)
  const std::vector<std::string> keyboard = {"key 29", "key 41", "key 47 shifted", "text \xC3\xAB", "none"};
  for (const std::string& expected : pointer) EXPECT_EQ(take(InputStream::Pointer), expected);
  for (const std::string& expected : keyboard) EXPECT_EQ(take(InputStream::Keyboard), expected);

  // Losing the focus releases what is held, for the readers too; moves while
  // inactive change the held position only.
  apply(Kind::MouseButton, 1, 0, true);
  apply(Kind::Deactivate);
  apply(Kind::MouseMove, 7, 8);
  EXPECT_FALSE(platform::KeyHeld(platform::Key::B));
  int x = 0, y = 0;
  platform::MousePosition(&x, &y);
  EXPECT_EQ(x * 100 + y, 708);
  EXPECT_EQ(take(InputStream::Pointer), "down 1 at 40,50");
  EXPECT_EQ(take(InputStream::Pointer), "up 1 at 40,50");
  EXPECT_EQ(take(InputStream::Pointer), "none");
  apply(Kind::Activate);
  apply(Kind::MouseMove, 9, 9);
  EXPECT_EQ(take(InputStream::Pointer), "move 9,9");
}

// The layer's keys become Windows codes in one table: each key has a scan
// code of its own (GXGetKeys would mix two keys up otherwise), and a held
// key shows at that scan code and under its virtual key, the extended keys
// under DirectInput's numbers.
TEST(Keys, EachKeyReachesWindowsUnderItsOwnCodes) {
  using platform::Key;
  std::set<int> scanCodes;
  for (int k = 1; k < platform::kKeyCount; ++k) {
    const platform::WindowsKeyCodes codes = platform::WindowsCodesOf(static_cast<Key>(k));
    EXPECT_GT(codes.virtualKey, 0) << k;
    EXPECT_TRUE(codes.scanCode > 0 && scanCodes.insert(codes.scanCode).second) << k;
  }
  EXPECT_EQ(platform::WindowsCodesOf(Key::None).scanCode, 0);
  EXPECT_EQ(platform::WindowsCodesOf(static_cast<Key>(platform::kKeyCount)).scanCode, 0);  // no key: no row

  auto press = [](Key key, bool down) {
    platform::DeviceEvent e;
    e.kind = platform::DeviceEvent::Kind::Key;
    e.key = key;
    e.down = down;
    platform::ApplyDeviceEvent(e);
  };
  uint8_t keys[256];
  platform::SnapshotKeysByScanCode(keys);
  press(Key::Up, true);
  press(Key::RightShift, true);
  platform::SnapshotKeysByScanCode(keys);
  for (int code = 0; code < 256; ++code) EXPECT_EQ(keys[code], code == 0xC8 || code == 0x36 ? 0x80 : 0) << code;
  EXPECT_LT(GetAsyncKeyState(0x26), 0);  // VK_UP
  EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
  EXPECT_LT(GetAsyncKeyState(VK_RSHIFT), 0);
  EXPECT_GE(GetAsyncKeyState(VK_LSHIFT), 0);
  press(Key::Up, false);
  press(Key::RightShift, false);
  platform::SnapshotKeysByScanCode(keys);
  EXPECT_EQ(keys[0xC8] | keys[0x36], 0);
  EXPECT_GE(GetAsyncKeyState(VK_SHIFT), 0);

  // The mouse buttons have virtual keys too, each its own.
  for (int button : {0, 1}) {
    platform::DeviceEvent e;
    e.kind = platform::DeviceEvent::Kind::MouseButton;
    e.button = button;
    e.down = true;
    platform::ApplyDeviceEvent(e);
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON) < 0, button == 0);
    EXPECT_EQ(GetAsyncKeyState(VK_RBUTTON) < 0, button == 1);
    e.down = false;
    platform::ApplyDeviceEvent(e);
  }
}

// Letter keys follow the layout's letters (the game's N, H, M, Z and X are
// where the keyboard shows them); a layout without Latin letters keeps their
// places; a letter's place that types a sign is that sign's key; every other
// key keeps its place whatever it types.
TEST(Keys, LettersByTheLayoutOthersByPosition) {
  using platform::Key;
  using platform::KeyOfSdlKey;
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_Y, SDLK_z), Key::Z);  // German
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_Z, SDLK_y), Key::Y);
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_Q, SDLK_a), Key::A);  // French
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_SEMICOLON, SDLK_m), Key::M);
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_M, SDLK_COMMA), Key::Comma);  // French: no second M
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_M, SDLK_EXCLAIM), Key::None);  // a sign a US key types only shifted
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_N, SDLK_n), Key::N);
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_H, 0x440), Key::H);   // Russian: the key of H types a Cyrillic letter
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_SPACE, SDLK_SPACE), Key::Space);
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_2, SDLK_QUOTEDBL), Key::Digit2);
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_UP, SDLK_UP), Key::Up);
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_F5, SDLK_F5), Key::None);
  // Each letter of the alphabet is its own key.
  std::set<Key> letters;
  for (int32_t c = SDLK_a; c <= SDLK_z; ++c) letters.insert(KeyOfSdlKey(SDL_SCANCODE_F5, c));
  EXPECT_EQ(letters.size(), 26u);
  EXPECT_EQ(letters.count(Key::None), 0u);
  EXPECT_EQ(KeyOfSdlKey(SDL_SCANCODE_F5, SDLK_q), Key::Q);
}

TEST(Script, ParsesEveryCommandAndExpandsTaps) {
  auto s = Parse(
      "# comment\n"
      "5 move 1 2\n10 press right   # trailing comment\n10 release right\n"
      "20 type Hi!\n30 shot frames/a.bmp\n40 shot /abs.bmp\n45 dump state.txt\n50 activate\n50 deactivate\n");
  ASSERT_EQ(s.shots.size(), 2u);
  EXPECT_EQ(s.shots[0].path, "/base/frames/a.bmp");
  EXPECT_EQ(s.shots[1].path, "/abs.bmp");
  ASSERT_EQ(s.dumps.size(), 1u);
  EXPECT_EQ(s.dumps[0].tick, 45u);
  EXPECT_EQ(s.dumps[0].path, "/base/state.txt");
  // "Hi!": shift+h, i, shift+1, each a 20 ms tap, 20 ms apart.
  using platform::Key;
  std::vector<std::tuple<uint32_t, Key, bool>> keys;
  for (auto& e : s.events)
    if (e.event.kind == platform::DeviceEvent::Kind::Key) keys.push_back({e.tick, e.event.key, e.event.down});
  std::vector<std::tuple<uint32_t, Key, bool>> expected{
      {20, Key::LeftShift, true}, {20, Key::H, true},       {40, Key::H, false},      {40, Key::LeftShift, false},
      {60, Key::I, true},         {80, Key::I, false},      {100, Key::LeftShift, true}, {100, Key::Digit1, true},
      {120, Key::Digit1, false},  {120, Key::LeftShift, false}};
  EXPECT_EQ(keys, expected);
  for (size_t i = 1; i < s.events.size(); ++i) EXPECT_LE(s.events[i - 1].tick, s.events[i].tick);
}

// "type" types as a keyboard would: each character with a US key gives its
// key down, its text and its key up; any other character its text alone.
// "text" gives text alone, and holds any bytes a recording saw.
TEST(Script, TypesUtf8AndRecordsTextAsTextLines) {
  using platform::Key;
  using Kind = platform::DeviceEvent::Kind;
  auto s = Parse("0 type Zo\xC3\xAB\n");
  std::vector<std::string> seen;
  for (auto& e : s.events) {
    std::string what = std::to_string(e.tick) + " ";
    if (e.event.kind == Kind::Text) what += std::string("text ") + e.event.text;
    else what += std::string(e.event.down ? "down " : "up ") + std::to_string(static_cast<int>(e.event.key));
    seen.push_back(what);
  }
  const std::string shift = std::to_string(static_cast<int>(Key::LeftShift));
  const std::string z = std::to_string(static_cast<int>(Key::Z)), o = std::to_string(static_cast<int>(Key::O));
  const std::vector<std::string> expected = {"0 down " + shift, "0 down " + z, "0 text Z", "20 up " + z,
                                             "20 up " + shift,  "40 down " + o, "40 text o", "60 up " + o,
                                             "80 text \xC3\xAB"};
  EXPECT_EQ(seen, expected);

  // What a recording writes plays back as the same text: blanks, '#' and
  // the escape itself survive the line's trimming and comments.
  for (const std::string& typed : {std::string(" #1 \\x41\t"), std::string("\xE2\x82\xAC"), std::string(40, 'a')}) {
    const std::string line = "7 text " + platform::ScriptText(typed) + "\n";
    auto played = Parse(line.c_str());
    std::string back;
    for (auto& e : played.events) {
      ASSERT_EQ(e.event.kind, Kind::Text) << line;
      EXPECT_EQ(e.tick, 7u);
      EXPECT_LT(std::string(e.event.text).size(), sizeof e.event.text);
      back += e.event.text;
    }
    EXPECT_EQ(back, typed) << line;
  }
  // Longer text comes in several events, each of whole characters.
  const std::string euro = "\xE2\x82\xAC", twenty(20, 'a');
  auto euros = Parse(("0 text " + twenty + euro + euro + euro + euro + "\n").c_str());
  ASSERT_EQ(euros.events.size(), 2u);
  EXPECT_EQ(std::string(euros.events[0].event.text), twenty + euro + euro + euro);
  EXPECT_EQ(std::string(euros.events[1].event.text), euro);
}

TEST(Script, RejectsMalformedLinesWithTheirNumber) {
  const char* bad[] = {"x move 1 2", "10 jump", "10 dump", "10 move 1", "10 key down NOPE", "10 click middle 1 2",
                       "20 tap A\n10 tap B", "10 press left extra", "-5 tap A", "10 type \x01",
                       "10 type a\xC3", "10 text", "10 text a\\x4", "10 text \\y41"};
  for (const char* text : bad) {
    platform::Script s;
    std::string error;
    EXPECT_FALSE(platform::ParseScript(text, "", &s, &error)) << text;
    EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
  }
}

TEST(Surfaces, BltClipsNothingAndRejectsRectanglesOutside) {
  auto* dst = new IDirectDrawSurface(8, 4, 16, DDSCAPS_OFFSCREENPLAIN);
  auto* src = new IDirectDrawSurface(4, 2, 16, DDSCAPS_OFFSCREENPLAIN);
  auto px = [](IDirectDrawSurface* s, int x, int y) -> uint16_t& {
    return reinterpret_cast<uint16_t*>(s->Pixels() + y * s->Pitch())[x];
  };
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) px(src, x, y) = static_cast<uint16_t>(x == 1 ? 0x001F : 0x1000 + 16 * y + x);
  DDCOLORKEY key{0x001F, 0x001F};
  src->SetColorKey(DDCKEY_SRCBLT, &key);
  DDBLTFX fx{sizeof(DDBLTFX), 0x7777};
  ASSERT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);

  RECT to{2, 1, 6, 3};
  ASSERT_EQ(dst->Blt(&to, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(px(dst, 2, 1), 0x1000);
  EXPECT_EQ(px(dst, 3, 1), 0x7777);  // keyed out
  EXPECT_EQ(px(dst, 5, 2), 0x1013);
  EXPECT_EQ(px(dst, 1, 1), 0x7777);
  ASSERT_EQ(dst->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(px(dst, 3, 1), 0x001F);  // no key without DDBLT_KEYSRC

  // Rectangles that leave either surface fail and draw nothing.
  fx.dwFillColor = 0x1234;
  RECT outside[] = {{-1, 0, 3, 2}, {6, 2, 9, 4}, {0, 3, 4, 5}, {3, 0, 2, 2}};
  for (const RECT& r : outside) {
    EXPECT_NE(dst->Blt(&r, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_NE(dst->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  }
  RECT badSource{2, 0, 5, 2};
  RECT fits{0, 0, 3, 2};
  EXPECT_NE(dst->Blt(&fits, src, &badSource, DDBLT_WAIT, nullptr), DD_OK);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      if (x < 2 || x > 5 || y < 1 || y > 2) {
        EXPECT_EQ(px(dst, x, y), 0x7777) << x << "," << y;
      }

  // Stretching doubles each pixel.
  auto* big = new IDirectDrawSurface(8, 4, 16, DDSCAPS_OFFSCREENPLAIN);
  ASSERT_EQ(big->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(px(big, 7, 3), 0x1013);
  EXPECT_EQ(px(big, 6, 2), 0x1013);
  EXPECT_EQ(px(big, 0, 1), 0x1000);

  DDSURFACEDESC desc;
  ASSERT_EQ(src->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 4u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xF800u);
  EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceLowValue, 0x001Fu);
  big->Release();
  src->Release();
  dst->Release();
}

TEST(Surfaces, DirectDrawProbeAndCreate) {
  IDirectDraw* dd = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  void* seven = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw7, &seven), S_OK);
  EXPECT_EQ(seven, dd);
  dd->Release();
  DDSURFACEDESC desc{};
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = 41;
  desc.dwHeight = 55;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface* s = nullptr;
  ASSERT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
  EXPECT_EQ(s->Width(), 41);
  EXPECT_EQ(s->BitsPerPixel(), 16);
  s->Release();
  desc.dwWidth = 0;
  EXPECT_NE(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
  EXPECT_EQ(s, nullptr);
  dd->Release();
}

int timerCalls = 0;
void CountingTimer(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  ++timerCalls;
  *reinterpret_cast<uint32_t*>(user) = platform::NowMs();
}

TEST(Clock, VirtualTimePassesOnlyWhileWaiting) {
  ASSERT_EQ(platform::GetClockKind(), platform::ClockKind::Virtual);
  uint32_t t0 = platform::NowMs();
  EXPECT_EQ(platform::NowMs(), t0);
  Sleep(35);
  EXPECT_EQ(platform::NowMs(), t0 + 35);
  EXPECT_FALSE(platform::WaitForTimer([] { return false; }));  // no timer: returns at once

  uint32_t lastCall = 0;
  timerCalls = 0;
  UINT id = timeSetEvent(10, 5, CountingTimer, reinterpret_cast<DWORD_PTR>(&lastCall), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(timeSetEvent(10, 5, CountingTimer, 0, TIME_PERIODIC), 0u);  // one timer at a time
  Sleep(100);
  EXPECT_EQ(timerCalls, 10);
  EXPECT_EQ(lastCall, t0 + 135);
  // A wait for the timer jumps to the next callback.
  ASSERT_TRUE(platform::WaitForTimer([] { return timerCalls >= 13; }));
  EXPECT_EQ(platform::NowMs(), t0 + 165);
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  Sleep(50);
  EXPECT_EQ(timerCalls, 13);
  EXPECT_EQ(platform::TickDiff(5u, 0xFFFFFFF0u), 21);  // across the wrap
}

}  // namespace
