#include "server/web_paths.h"

#include <cctype>

#include "server/query.h"

namespace score {
namespace {

// Far above any name the build writes, and few enough that a path costs
// nothing to check.
constexpr size_t kMaxPath = 1024;
constexpr size_t kMaxSegments = 8;
constexpr size_t kMaxSegment = 255;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// A quality value: "0" to "1" with at most three decimals. Nothing when
// malformed.
std::optional<double> Quality(std::string_view text) {
  if (text.empty() || text.size() > 5 || (text[0] != '0' && text[0] != '1')) return std::nullopt;
  double value = text[0] - '0';
  if (text.size() == 1) return value;
  if (text[1] != '.') return std::nullopt;
  double scale = 0.1;
  for (const char c : text.substr(2)) {
    if (c < '0' || c > '9') return std::nullopt;
    value += (c - '0') * scale;
    scale /= 10;
  }
  return value <= 1 ? std::optional<double>(value) : std::nullopt;
}

bool IsHexHash(std::string_view part) {
  if (part.size() < 8 || part.size() > 64) return false;
  for (const char c : part) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

std::optional<WebTarget> MapWebPath(std::string_view escaped) {
  if (escaped.size() > kMaxPath) return std::nullopt;
  WebTarget target;
  target.directory = escaped.empty();
  size_t segments = 0;
  for (size_t start = 0; start < escaped.size();) {
    size_t slash = escaped.find('/', start);
    if (slash == std::string_view::npos) slash = escaped.size();
    if (slash + 1 == escaped.size()) target.directory = true;
    const std::optional<std::string> name = PercentDecode(escaped.substr(start, slash - start));
    // Each segment decoded alone, so "%2f" can never make a separator,
    // and one led by a dot is refused whole: ".", "..", hidden files.
    if (!name || name->empty() || name->size() > kMaxSegment || name->front() == '.' || ++segments > kMaxSegments ||
        name->find_first_of("/\\") != std::string::npos || HasControlCharacter(*name) || !IsValidUtf8(*name)) {
      return std::nullopt;
    }
    if (!target.relative.empty()) target.relative += '/';
    target.relative += *name;
    start = slash + 1;
  }
  return target;
}

bool IsVersioned(std::string_view fileName, std::string_view query) {
  if (const std::optional<std::string> version = QueryValue(query, "v")) {
    bool plain = !version->empty() && version->size() <= 64;
    for (const char c : *version) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_');
    if (plain) return true;
  }
  // A hash between the name's first dot and its last.
  const size_t first = fileName.find('.');
  const size_t last = fileName.rfind('.');
  if (first == std::string_view::npos || first == last) return false;
  for (size_t start = first + 1; start <= last;) {
    const size_t dot = fileName.find('.', start);
    if (IsHexHash(fileName.substr(start, dot - start))) return true;
    start = dot + 1;
  }
  return false;
}

double CodingQuality(std::string_view header, std::string_view coding) {
  std::optional<double> exact, any;
  size_t start = 0;
  while (start <= header.size()) {
    size_t comma = header.find(',', start);
    if (comma == std::string_view::npos) comma = header.size();
    std::string_view item = header.substr(start, comma - start);
    start = comma + 1;
    const size_t semicolon = item.find(';');
    const std::string_view name = Trim(item.substr(0, semicolon));
    std::optional<double> quality = 1.0;
    if (semicolon != std::string_view::npos) {
      // Parameters other than the quality are ignored; a malformed quality
      // takes the coding as refused, which always leaves a safe answer.
      for (std::string_view rest = item.substr(semicolon + 1); !rest.empty();) {
        const size_t next = rest.find(';');
        const std::string_view parameter = Trim(rest.substr(0, next));
        if (parameter.size() >= 2 && SameWord(parameter.substr(0, 2), "q=")) quality = Quality(parameter.substr(2));
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
      }
    }
    if (SameWord(name, coding)) {
      exact = quality.value_or(0);
    } else if (name == "*") {
      any = quality.value_or(0);
    }
  }
  return exact.value_or(any.value_or(0));
}

}  // namespace score
