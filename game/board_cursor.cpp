#include "game/board_cursor.h"

#include "gx/key_queue.h"

namespace {

// Scan codes of the letter keys the game answers to.
constexpr int kZ = 0x2C, kX = 0x2D, kN = 0x31, kH = 0x23, kM = 0x32, kP = 0x19, kE = 0x12, kC = 0x2E;
constexpr int kPauseKey = 0xC5;

}  // namespace

void BoardCursor::NoteMouse(int x, int y) {
  if (mouseKnown && (x != mouseX || y != mouseY)) shown = false;
  mouseKnown = true;
  mouseX = x;
  mouseY = y;
}

BoardCursor::Action BoardCursor::HandleKey(int event) {
  const int code = event & 0xFF;
  const bool shift = (event & KeyQueue::kShiftBit) != 0;
  int dx = 0, dy = 0;
  Action action = Action::kNone;
  switch (code) {
    case KeyQueue::kLeft: dx = -1; break;
    case KeyQueue::kRight: dx = 1; break;
    case KeyQueue::kUp: dy = -1; break;
    case KeyQueue::kDown: dy = 1; break;
    case KeyQueue::kSpace: action = shift ? Action::kRightClick : Action::kLeftClick; break;
    case kZ: action = Action::kLeftClick; break;
    case kX: action = Action::kRightClick; break;
    case kN: return Action::kNewGame;
    case kH: return Action::kHelp;
    case kM: return Action::kMenu;
    case kP:
    case kPauseKey: return Action::kPause;
    case kE:
    case KeyQueue::kEnter: return Action::kEndRound;
    case kC: return Action::kPalette;
    default: return Action::kNone;
  }
  if (!shown) {
    shown = true;
    return Action::kNone;
  }
  if (action != Action::kNone) return action;
  // One step past the board's edge reaches the guy; no further.
  const int c = column + dx, r = row + dy;
  if (c >= -1 && c <= columns) column = c;
  if (r >= 0 && r < rows) row = r;
  return Action::kNone;
}

std::string BoardCursor::Describe() const {
  return "cursor " + std::to_string(column) + " " + std::to_string(row) + (shown ? " shown\n" : " hidden\n");
}
