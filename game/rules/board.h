// The board of heads as plain data: 15 columns by 10 rows of cells, each
// empty or holding a head of one of five colours and one of five faces.
// Cells are numbered row by row from the top left (cell = column + row * 15).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quibbleton {

inline constexpr int kColumns = 15;
inline constexpr int kRows = 10;
inline constexpr int kCells = kColumns * kRows;
inline constexpr int kColours = 5;
inline constexpr int kFaces = 5;

struct Head {
  int colour = 0;  // 0..4
  int face = 0;    // 0..4
  bool operator==(const Head&) const = default;
};

// What a group's heads share: a left click groups by colour, a right one by face.
enum class GroupKey { kColour, kFace };

// The game's generator (multiplier 214013, increment 2531011, result bits
// 16..30), as a value: a seed deals the same boards everywhere.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state(seed) {}
  int Next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
  uint32_t State() const { return state; }

 private:
  uint32_t state;
};

class Board {
 public:
  // A full board: cell by cell a colour is drawn until one is under its quota
  // (a fifth of the cells), then a face the same way. `next` gives 0..32767.
  static Board Deal(const std::function<int()>& next);
  static Board Deal(Lcg& random) {
    return Deal([&random] { return random.Next(); });
  }

  // The head on cell, or null for an empty cell or any index off the board.
  const Head* At(int cell) const;
  // Puts a head on cell (replacing what was there), or empties it.
  void Place(int cell, std::optional<Head> head);
  void Move(int from, int to);
  int Count() const;
  bool operator==(const Board&) const = default;

  // The connected group of the head on cell sharing its key, in discovery
  // order: the clicked head, then depth first through left, right, up, down.
  // Empty for an empty cell.
  std::vector<int> FindGroup(int cell, GroupKey key) const;
  // The cell the head on cell falls to (the lowest of the empty cells right
  // below it), or -1 when the cell below is taken or the head is at the bottom.
  int LandingCell(int cell) const;

 private:
  void Collect(int cell, GroupKey key, std::vector<int>& group, std::array<bool, kCells>& seen) const;

  std::array<std::optional<Head>, kCells> cells{};
};

}  // namespace quibbleton
