// A paused game: the countdown stops and a cover hides the board until the
// player comes back with a key or a click on it. Game time stops with the
// countdown, so a pause changes no action's time; the replay notes where it
// came.
#include "game/game.h"
#include "game/game_screen.h"
#include "gx/frame_clock.h"
#include "gx/key_queue.h"
#include "widgets/redraw_manager.h"

void Game::Pause() {
  // Only a game being played has a countdown to stop; a watched one pauses by its own keys.
  if (paused || state != kPlaying || playback.Watching()) return;
  paused = true;
  StopCountdown();
  recorder.NotePause(ReplayTime());
  dirty = 1;
  // Between frames (the window lost its focus) the cover goes up now: the
  // frames stop while another window has the focus.
  if (!updating) {
    DrawFrame(redrawManager.GetBackBuffer());
    screen.Flip();
  }
}

void Game::RequestPause() {
  if (updating)
    pausePending = true;
  else
    Pause();
}

void Game::UpdatePaused(int x, int y, int buttons) {
  const bool key = keyQueue.Pop() != 0;
  keyQueue.Flush();
  const bool newPress = buttons != previousButtons && (buttons & 3) != 0;
  const bool onCover = CellAt(x, y) >= 0;
  previousButtons = buttons;
  if (key || (newPress && onCover)) Resume(buttons);
}

void Game::Resume(int buttons) {
  paused = false;
  // The press that came back is not a click on the board under the cover.
  previousButtons = buttons;
  dirty = 1;
  StartCountdown();
}

void Game::DrawPausedCover(IDirectDrawSurface*) {
  redrawManager.RestoreRect(originX, originY, cellWidth * columns, cellHeight * rows);
  if (Sprite* cover = screen.PausedCover()) {
    cover->SetPosition(originX, originY);
    cover->DrawTo(redrawManager.GetTarget());
  }
  dirty = 0;
}
