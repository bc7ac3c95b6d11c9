// The score server's reading of a path under /play/, of a version and of
// Accept-Encoding, and of a page's inline scripts: arbitrary bytes as each. A mapped path must stay a plain
// walk down the web build's folder, whatever the escapes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/inline_scripts.h"
#include "server/query.h"
#include "server/web_paths.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  if (const auto target = score::MapWebPath(input)) {
    const std::string& relative = target->relative;
    Check(relative.empty() == input.empty());
    Check(relative.find('\\') == std::string::npos && !score::HasControlCharacter(relative));
    Check(score::IsValidUtf8(relative));
    // Every segment is a plain name: nothing empty, nothing led by a dot.
    size_t segments = 0;
    for (size_t start = 0; !relative.empty() && start <= relative.size();) {
      size_t slash = relative.find('/', start);
      if (slash == std::string::npos) slash = relative.size();
      Check(slash > start && relative[start] != '.');
      ++segments;
      start = slash + 1;
    }
    Check(segments <= 8);
    Check(target->directory == (input.empty() || input.back() == '/'));
    // Sent again with every byte escaped but the separators, it maps the same.
    std::string escaped;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const unsigned char c : relative) {
      if (c == '/') {
        escaped += '/';
      } else {
        escaped += '%';
        escaped += kHex[c >> 4];
        escaped += kHex[c & 15];
      }
    }
    if (target->directory && !relative.empty()) escaped += '/';
    if (escaped.size() <= 1024) {
      const auto again = score::MapWebPath(escaped);
      Check(again && again->relative == relative && again->directory == target->directory);
    }
  }

  for (const std::string& hash : score::InlineScriptHashes(input)) Check(hash.size() == 53 && hash.starts_with("'sha256-"));

  const double quality = score::CodingQuality(input, "gzip");
  Check(quality >= 0 && quality <= 1);
  const size_t cut = input.find('?');
  score::IsVersioned(input.substr(0, cut), cut == std::string_view::npos ? "" : input.substr(cut + 1));
  return 0;
}
