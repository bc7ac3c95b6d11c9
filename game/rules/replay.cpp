// The replay's text both ways. The reader is strict (one space between
// fields, plain decimal numbers, the lines in their order) so that every
// replay has one spelling and nothing unusual reaches the verifier.
#include "game/rules/replay.h"

#include <charconv>
#include <cstdio>

namespace quibbleton {

namespace {

// The fields of a line split at single spaces; false for an empty field
// (two spaces, or one at either end).
bool Split(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  size_t start = 0;
  for (;;) {
    const size_t space = line.find(' ', start);
    const std::string_view field = line.substr(start, space == std::string_view::npos ? space : space - start);
    if (field.empty() || fields.size() == 6) return false;
    fields.push_back(field);
    if (space == std::string_view::npos) return true;
    start = space + 1;
  }
}

// A decimal number in [low, high]: digits only, no sign, no leading zero.
bool Number(std::string_view field, int64_t low, int64_t high, int64_t* value) {
  if (field.empty() || field.size() > 12 || (field.size() > 1 && field[0] == '0')) return false;
  for (char c : field)
    if (c < '0' || c > '9') return false;
  int64_t n = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), n);
  if (error != std::errc{} || end != field.data() + field.size() || n < low || n > high) return false;
  *value = n;
  return true;
}

ReplayParse Fail(int line, const std::string& what) {
  ReplayParse result;
  result.error = "line " + std::to_string(line) + ": " + what;
  return result;
}

// The longest game time an action or the end can have: a whole day's game
// with every animation after it.
constexpr int64_t kLatestMs = int64_t{kMaxReplayGameTime} * 1000 * 4;

}  // namespace

ReplayParse ParseReplay(std::string_view text) {
  if (text.size() > kMaxReplayBytes) return Fail(0, "the replay is longer than 64 KB");
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  ReplayParse result;
  Replay& replay = result.replay;
  std::vector<std::string_view> fields;
  int line = 0;
  // Header lines read so far, the optional deal line not counted.
  constexpr int kHeaderLines = 4;
  int header = 0;
  bool ended = false;
  int64_t value = 0;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t newline = text.find('\n', start);
    const std::string_view current =
        text.substr(start, newline == std::string_view::npos ? std::string_view::npos : newline - start);
    start = newline == std::string_view::npos ? text.size() + 1 : newline + 1;
    ++line;
    if (ended) return Fail(line, "nothing may follow the end");
    if (!Split(current, fields)) return Fail(line, "malformed line");
    const auto number = [&](const char* key, int64_t low, int64_t high) {
      return fields.size() == 2 && fields[0] == key && Number(fields[1], low, high, &value);
    };
    // The header: version, seed, the optional deal, balloons, gametime.
    if (header < kHeaderLines) {
      switch (header++) {
        case 0:
          if (current != "quibbleton-replay 1") return Fail(line, "not a replay of version 1");
          continue;
        case 1:
          if (!number("seed", 0, UINT32_MAX)) return Fail(line, "expected seed 0..4294967295");
          replay.seed = static_cast<uint32_t>(value);
          continue;
        case 2:
          if (fields[0] == "deal" && line == 3) {
            if (fields.size() != 2 || !IsDealId(fields[1]))
              return Fail(line, "expected deal and 1 to 64 letters, digits, - or _");
            replay.deal = std::string(fields[1]);
            --header;  // balloons still to come
            continue;
          }
          if (!number("balloons", 0, kMaxReplayBalloons)) return Fail(line, "expected balloons 0..151");
          replay.balloons = static_cast<int>(value);
          continue;
        default:
          if (!number("gametime", 0, kMaxReplayGameTime)) return Fail(line, "expected gametime 0..86400");
          replay.gameTime = static_cast<int>(value);
          continue;
      }
    }
    int64_t ms = 0;
    if (!Number(fields[0], 0, kLatestMs, &ms)) return Fail(line, "expected a game time in ms");
    // A pause takes no game time: what follows it may come at its very ms,
    // but never before it. Two actions or an action and the end never share one.
    const int64_t lastPause = replay.pauses.empty() ? -1 : replay.pauses.back().ms;
    if (ms < lastPause) return Fail(line, "a time before the pause above it");
    if (fields.size() == 2 && fields[1] == "pause") {
      if (static_cast<int>(replay.pauses.size()) == kMaxReplayPauses) return Fail(line, "too many pauses");
      const int64_t lastAction = replay.actions.empty() ? -1 : replay.actions.back().ms;
      if (ms < lastAction) return Fail(line, "a pause before the action above it");
      replay.pauses.push_back({ms, replay.actions.size(), line});
      continue;
    }
    const int64_t previous = replay.actions.empty() ? -1 : replay.actions.back().ms;
    if (ms <= previous) return Fail(line, "times must increase strictly");
    if (fields.size() >= 2 && fields[1] == "end" &&
        (fields.size() == 2 || (fields.size() == 3 && (fields[2] == "newgame" || fields[2] == "nomoves")))) {
      replay.endMs = ms;
      replay.end = fields.size() == 2           ? ReplayEnd::kFinished
                   : fields[2] == "newgame" ? ReplayEnd::kNewGame
                                              : ReplayEnd::kNoMoves;
      replay.endLine = line;
      ended = true;
      continue;
    }
    if (static_cast<int>(replay.actions.size()) == kMaxReplayActions) return Fail(line, "too many actions");
    TimedAction timed;
    timed.ms = ms;
    timed.line = line;
    int64_t column = 0, row = 0, guy = 0;
    if (fields.size() == 4 && (fields[1] == "colour" || fields[1] == "face")) {
      if (!Number(fields[2], 0, kColumns - 1, &column) || !Number(fields[3], 0, kRows - 1, &row))
        return Fail(line, "expected a column 0..14 and a row 0..9");
      timed.action = {fields[1] == "face" ? Action::Kind::kClickFace : Action::Kind::kClickColour,
                      static_cast<int>(column + row * kColumns)};
    } else if (fields.size() == 3 && fields[1] == "push") {
      if (!Number(fields[2], 0, kGuys - 1, &guy)) return Fail(line, "expected a guy 0..19");
      timed.action = {Action::Kind::kOrder, static_cast<int>(guy)};
    } else {
      return Fail(line, "expected colour, face, push, pause or end");
    }
    replay.actions.push_back(timed);
  }
  if (!ended) return Fail(line, "the replay has no end");
  result.ok = true;
  return result;
}

bool IsDealId(std::string_view id) {
  if (id.empty() || id.size() > kMaxDealIdBytes) return false;
  for (char c : id) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '-' && c != '_') return false;
  }
  return true;
}

std::string ReplayFileName(std::string_view entryName, int score) {
  // FNV-1a over the entry's name: short, and the same in every program.
  uint64_t hash = 14695981039346656037ull;
  for (char c : entryName) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "%d-%016llx.txt", score, static_cast<unsigned long long>(hash));
  return name;
}

std::string FormatReplay(const Replay& replay) {
  std::string text = "quibbleton-replay 1\nseed " + std::to_string(replay.seed) + "\n";
  if (!replay.deal.empty()) text += "deal " + replay.deal + "\n";
  text += "balloons " + std::to_string(replay.balloons) + "\ngametime " + std::to_string(replay.gameTime) + "\n";
  size_t pause = 0;
  const auto pausesUpTo = [&](size_t actions) {
    for (; pause < replay.pauses.size() && replay.pauses[pause].after <= actions; ++pause)
      text += std::to_string(replay.pauses[pause].ms) + " pause\n";
  };
  for (size_t i = 0; i < replay.actions.size(); ++i) {
    pausesUpTo(i);
    const TimedAction& timed = replay.actions[i];
    text += std::to_string(timed.ms);
    const Action& a = timed.action;
    if (a.kind == Action::Kind::kOrder) {
      text += " push " + std::to_string(a.target) + "\n";
    } else {
      text += a.kind == Action::Kind::kClickFace ? " face " : " colour ";
      text += std::to_string(a.target % kColumns) + " " + std::to_string(a.target / kColumns) + "\n";
    }
  }
  pausesUpTo(replay.actions.size());
  const char* end = replay.end == ReplayEnd::kNewGame   ? " end newgame\n"
                    : replay.end == ReplayEnd::kNoMoves ? " end nomoves\n"
                                                        : " end\n";
  return text + std::to_string(replay.endMs) + end;
}

}  // namespace quibbleton
