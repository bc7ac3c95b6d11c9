#include "server/admin.h"

#include <unistd.h>

#include <charconv>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/pages.h"
#include "server/player_name.h"
#include "server/storage.h"

namespace score {
namespace {

constexpr const char* kUsage =
    "usage: score-server admin [--db PATH|postgresql://...] [--db-timeout SECONDS] COMMAND\n"
    "  hide ID         take an entry off every board and rank\n"
    "  unhide ID       put it back\n"
    "  ban NAME        refuse the name's uploads (and its look-alikes')\n"
    "  unban NAME      take the ban back\n"
    "  list-recent N   the latest N uploads of every game, hidden ones too, with each\n"
    "                  kept replay's fair-play figures: greedy A/B (of its B actions, A\n"
    "                  scored as much as the best-scoring action open then) and its\n"
    "                  fastest reactions after an animation ended (min and 10th percentile)\n";

std::optional<int64_t> Whole(std::string_view text, int64_t low, int64_t high) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

// Names are shown to a terminal: control characters, which an older
// database may hold, are written as \xNN so none can move the cursor or
// change colours.
std::string ForTerminal(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F || c == '\\' || c1) {
      const int count = c1 ? 2 : 1;
      for (int k = 0; k < count; ++k) {
        const unsigned char b = static_cast<unsigned char>(text[i + k]);
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
      i += count - 1;
    } else {
      out += text[i];
    }
  }
  return out;
}

// "greedy 87% (120/138) fastest 40 ms p10 180 ms" of a kept replay.
std::string FiguresText(const Listed& e) {
  if (!e.replay) return "";
  const FairPlay& f = e.figures;
  std::string text = "\tgreedy " + std::to_string(f.actions > 0 ? f.greedy * 100 / f.actions : 0) + "% (" +
                     std::to_string(f.greedy) + "/" + std::to_string(f.actions) + ")";
  if (f.fastestMs >= 0) {
    text += " fastest " + std::to_string(f.fastestMs) + " ms p10 " + std::to_string(f.p10Ms) + " ms";
  }
  return text;
}

}  // namespace

int AdminMain(int argc, char** argv, std::FILE* out, std::FILE* err) {
  std::string db = "scores.db";
  StorageOptions options;
  int i = 0;
  for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    if (std::strcmp(argv[i], "--db") == 0) {
      db = argv[i + 1];
    } else if (std::strcmp(argv[i], "--db-timeout") == 0) {
      const std::optional<int64_t> seconds = Whole(argv[i + 1], 1, 3600);
      if (!seconds) {
        std::fprintf(err, "score-server admin: --db-timeout takes 1..3600 seconds\n%s", kUsage);
        return 2;
      }
      options.seconds = static_cast<int>(*seconds);
    } else {
      std::fprintf(err, "score-server admin: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (argc - i != 2) {
    std::fprintf(err, "%s", kUsage);
    return 2;
  }
  const std::string command = argv[i];
  const std::string argument = argv[i + 1];
  const bool byId = command == "hide" || command == "unhide";
  const bool byName = command == "ban" || command == "unban";
  std::optional<int64_t> number;
  if (byId) number = Whole(argument, 1, INT64_MAX);
  if (command == "list-recent") number = Whole(argument, 1, 100000);
  if (!byName && !number) {
    std::fprintf(err, "score-server admin: %s\n%s",
                 byId || command == "list-recent" ? ("not a count or an entry's id: " + argument).c_str()
                                                  : ("unknown command " + command).c_str(),
                 kUsage);
    return 2;
  }
  // A mistyped path must not become a new, empty database.
  if (db.find("://") == std::string::npos && access(db.c_str(), F_OK) != 0) {
    std::fprintf(err, "score-server admin: there is no database at %s\n", db.c_str());
    return 1;
  }

  try {
    const std::unique_ptr<Storage> storage = OpenStorage(db, options);
    if (byId) {
      const bool hide = command == "hide";
      const Moderated done = storage->SetHidden(*number, hide);
      if (!done.found) {
        std::fprintf(err, "score-server admin: there is no entry %lld\n", static_cast<long long>(*number));
        return 1;
      }
      std::fprintf(out, "entry %lld of %s %s\n", static_cast<long long>(*number), ForTerminal(done.game).c_str(),
                   done.changed ? (hide ? "is hidden" : "is shown again")
                                : (hide ? "was hidden already" : "was not hidden"));
      return 0;
    }
    if (byName) {
      // Banned as uploads are stored: in one Unicode form.
      const NameCheck check = NormaliseName(argument);
      const std::string name = check.refusal.empty() ? check.name : argument;
      const bool ban = command == "ban";
      const bool changed = ban ? storage->Ban(name) : storage->Unban(name);
      std::fprintf(out, "%s %s\n", ForTerminal(name).c_str(),
                   changed ? (ban ? "is banned" : "may upload again")
                           : (ban ? "was banned already" : "was not banned"));
      return 0;
    }
    for (const Listed& e : storage->Recent(static_cast<int>(*number))) {
      std::fprintf(out, "%lld\t%s\t%s\t%d\t%s%s%s%s%s\n", static_cast<long long>(e.id), ForTerminal(e.game).c_str(),
                   ForTerminal(e.name).c_str(), e.score, FormatUtc(e.created, "%Y-%m-%d %H:%M").c_str(),
                   e.verified ? "\tverified" : "", e.ranked ? "\tranked" : "", FiguresText(e).c_str(),
                   e.hidden ? "\thidden" : "");
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(err, "score-server admin: %s\n", e.what());
    return 1;
  }
}

}  // namespace score
