// The board cursor: which cell (or guy) the keys point at, and what a key
// asks the game to do. Columns 0..columns-1 are the board's; column -1 is the
// guy at the row's left end and column `columns` the one at its right end.
// The cursor is a place, not a head: it stays put when heads fall or a row
// is pushed under it.
#pragma once

#include <string>

class BoardCursor {
 public:
  enum class Action {
    kNone,
    kLeftClick,   // Space or Z: as a left click on the cursor's cell or guy
    kRightClick,  // X or Shift+Space: as a right click there
    kNewGame,     // N
    kHelp,        // H
    kMenu,        // M
    kPause,       // P or Pause
    kEndRound,    // Enter or E: ends a round that has no move left
    kPalette,     // C: the other set of head colours
  };

  BoardCursor(int columns, int rows) : columns(columns), rows(rows) {}

  // Back to the top-left cell (every new game), shown or not as before.
  void Home() { column = row = 0; }
  // Hides the cursor when the pointer is not where it was last time.
  void NoteMouse(int x, int y);
  // One key from the keyboard queue. Arrows move (the first one after the
  // cursor was hidden only shows it); an action key on a hidden cursor shows
  // it without acting, so nothing happens at a place the player cannot see.
  Action HandleKey(int event);

  int Column() const { return column; }
  int Row() const { return row; }
  bool Shown() const { return shown; }
  bool OnGuy() const { return column < 0 || column >= columns; }
  // "cursor COLUMN ROW shown|hidden" for the game's text dump.
  std::string Describe() const;

 private:
  int columns, rows;
  int column = 0, row = 0;
  bool shown = false;
  bool mouseKnown = false;
  int mouseX = 0, mouseY = 0;
};
