#include "game/deal_source.h"

#include <limits>
#include <type_traits>

#include "game/rules/replay.h"

namespace {

// A reader of JSON text that accepts the grammar exactly (RFC 8259) and
// nothing more: no comments, no trailing commas, no leading zeros, no
// control characters in strings. Other members' values are only checked.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text(text) {}

  bool AtEnd() {
    SkipSpace();
    return at == text.size();
  }
  bool Eat(char c) {
    SkipSpace();
    if (at < text.size() && text[at] == c) {
      ++at;
      return true;
    }
    return false;
  }
  // A string, its escapes decoded (a \u escape as UTF-8 of its unit).
  bool String(std::string& out) {
    out.clear();
    if (!Eat('"')) return false;
    while (at < text.size()) {
      const unsigned char c = static_cast<unsigned char>(text[at++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at == text.size()) return false;
      const char e = text[at++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned unit = 0;
          for (int n = 0; n < 4; ++n) {
            if (at == text.size()) return false;
            const char h = text[at++];
            const int digit = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10
                            : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
            if (digit < 0) return false;
            unit = unit * 16 + static_cast<unsigned>(digit);
          }
          AppendUtf8(out, unit);
          break;
        }
        default: return false;
      }
    }
    return false;
  }
  // A number by the grammar; *integer set when it has neither fraction nor
  // exponent and fits int64_t.
  bool Number(std::optional<int64_t>* integer) {
    SkipSpace();
    const bool negative = at < text.size() && text[at] == '-';
    if (negative) ++at;
    if (at == text.size() || !IsDigit(text[at])) return false;
    bool fits = true;
    int64_t value = 0;
    if (text[at] == '0') {
      ++at;
    } else {
      while (at < text.size() && IsDigit(text[at])) {
        const int digit = text[at++] - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) fits = false;
        if (fits) value = value * 10 + digit;
      }
    }
    bool whole = true;
    if (at < text.size() && text[at] == '.') {
      ++at;
      whole = false;
      if (!Digits()) return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
      ++at;
      whole = false;
      if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
      if (!Digits()) return false;
    }
    if (integer) *integer = whole && fits ? std::optional<int64_t>(negative ? -value : value) : std::nullopt;
    return true;
  }
  // Any value, checked and passed over; arrays and objects at most kDepth deep.
  bool SkipValue(int depth = 0) {
    SkipSpace();
    if (at == text.size() || depth > kDepth) return false;
    std::string ignored;
    switch (text[at]) {
      case '"': return String(ignored);
      case '{':
        ++at;
        if (Eat('}')) return true;
        do {
          if (!String(ignored) || !Eat(':') || !SkipValue(depth + 1)) return false;
        } while (Eat(','));
        return Eat('}');
      case '[':
        ++at;
        if (Eat(']')) return true;
        do {
          if (!SkipValue(depth + 1)) return false;
        } while (Eat(','));
        return Eat(']');
      case 't': return Word("true");
      case 'f': return Word("false");
      case 'n': return Word("null");
      default: return Number(nullptr);
    }
  }

 private:
  static constexpr int kDepth = 16;
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  void SkipSpace() {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) ++at;
  }
  bool Digits() {
    const size_t start = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at > start;
  }
  bool Word(std::string_view word) {
    if (text.substr(at, word.size()) != word) return false;
    at += word.size();
    return true;
  }
  static void AppendUtf8(std::string& out, unsigned unit) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }

  std::string_view text;
  size_t at = 0;
};

}  // namespace

std::optional<ServerDeal> ParseDeal(std::string_view json) {
  if (json.size() > DealRequest::kMaxAnswerBytes) return std::nullopt;
  JsonReader reader(json);
  ServerDeal deal;
  // Each member at most once: a second "seed" would make the deal ambiguous.
  bool haveId = false, haveSeed = false, haveBalloons = false, haveGameTime = false, haveExpires = false;
  const auto integer = [&reader](bool& have, int64_t low, int64_t high, auto& out) {
    std::optional<int64_t> value;
    if (have || !reader.Number(&value) || !value || *value < low || *value > high) return false;
    out = static_cast<std::remove_reference_t<decltype(out)>>(*value);
    have = true;
    return true;
  };
  if (!reader.Eat('{')) return std::nullopt;
  if (!reader.Eat('}')) {
    std::string key;
    do {
      if (!reader.String(key) || !reader.Eat(':')) return std::nullopt;
      bool ok = true;
      if (key == "deal") {
        ok = !haveId && reader.String(deal.id) && quibbleton::IsDealId(deal.id);
        haveId = true;
      } else if (key == "seed") {
        ok = integer(haveSeed, 0, std::numeric_limits<uint32_t>::max(), deal.seed);
      } else if (key == "balloons") {
        ok = integer(haveBalloons, 0, quibbleton::kMaxReplayBalloons, deal.balloons);
      } else if (key == "gametime") {
        ok = integer(haveGameTime, 0, quibbleton::kMaxReplayGameTime, deal.gameTime);
      } else if (key == "expires") {
        ok = integer(haveExpires, 1, std::numeric_limits<int64_t>::max(), deal.expires);
      } else {
        ok = reader.SkipValue();
      }
      if (!ok) return std::nullopt;
    } while (reader.Eat(','));
    if (!reader.Eat('}')) return std::nullopt;
  }
  if (!reader.AtEnd() || !haveId || !haveSeed || !haveBalloons || !haveGameTime || !haveExpires) return std::nullopt;
  return deal;
}

void DealSource::Ask(Kind kind) {
  asked = kind;
  busy = true;
  // A deal of its own for each game; the day's deal is everyone's.
  if (kind == Kind::kDaily)
    request->Start(game + "/daily", false);
  else
    request->Start(game + "/deals", true);
}

void DealSource::Answered(const DealRequest::Answer& answer, int64_t now) {
  Slot& slot = SlotOf(asked);
  std::optional<ServerDeal> deal = answer.status == 200 ? ParseDeal(answer.body) : std::nullopt;
  const bool playable = deal && deal->PlayableAt(now);
  if (deal) slot.deal = std::move(deal);
  // Offline, a refusal, garbage or a deal already too late: wait before the
  // next request, so a server in trouble is not asked every frame.
  slot.askAt = playable ? now : now + kAskAgainSeconds;
}

void DealSource::Poll(int64_t now) {
  if (game.empty()) return;
  if (busy) {
    std::optional<DealRequest::Answer> answer = request->Poll();
    if (!answer) return;
    busy = false;
    Answered(*answer, now);
  }
  const auto wanted = [now](const Slot& slot) {
    return !(slot.deal && slot.deal->PlayableAt(now)) && now >= slot.askAt;
  };
  if (dailyWanted && wanted(daily))
    Ask(Kind::kDaily);
  else if (wanted(next))
    Ask(Kind::kNext);
}

std::optional<ServerDeal> DealSource::Take(int balloons, int gameTime, int64_t now) {
  const auto take = [&](Slot& slot) -> std::optional<ServerDeal> {
    if (!slot.deal || !slot.deal->PlayableAt(now) || slot.deal->balloons != balloons ||
        slot.deal->gameTime != gameTime)
      return std::nullopt;
    std::optional<ServerDeal> deal = std::move(slot.deal);
    slot.deal.reset();
    return deal;
  };
  std::optional<ServerDeal> deal;
  if (dailyWanted) {
    dailyWanted = false;
    deal = take(daily);
    if (deal) deal->daily = true;
  }
  return deal ? deal : take(next);
}
