#include "server/inline_scripts.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <cctype>

namespace score {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// True when a tag's attributes (lower case) hold a "src".
bool HasSource(std::string_view attributes) {
  for (size_t at = attributes.find("src"); at != std::string_view::npos; at = attributes.find("src", at + 1)) {
    if (at == 0 || !IsSpace(attributes[at - 1])) continue;
    size_t next = at + 3;
    while (next < attributes.size() && IsSpace(attributes[next])) ++next;
    if (next < attributes.size() && attributes[next] == '=') return true;
  }
  return false;
}

// The browser hashes the script's text as parsed: line ends made "\n".
std::string Source(std::string_view text) {
  std::string normal;
  normal.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      normal += text[i];
    } else {
      normal += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
  }
  return normal;
}

std::string Sha256Source(const std::string& text) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
  unsigned char base64[4 * ((SHA256_DIGEST_LENGTH + 2) / 3) + 1];
  const int written = EVP_EncodeBlock(base64, digest, static_cast<int>(length));
  return "'sha256-" + std::string(reinterpret_cast<const char*>(base64), static_cast<size_t>(written)) + "'";
}

}  // namespace

std::vector<std::string> InlineScriptHashes(std::string_view html) {
  std::string lower(html);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::vector<std::string> hashes;
  constexpr std::string_view kOpen = "<script", kClose = "</script";
  for (size_t at = lower.find(kOpen); at != std::string::npos; at = lower.find(kOpen, at)) {
    const size_t after = at + kOpen.size();
    // "<scripts>" is another tag.
    if (after < lower.size() && !IsSpace(lower[after]) && lower[after] != '>' && lower[after] != '/') {
      at = after;
      continue;
    }
    const size_t tagEnd = lower.find('>', after);
    if (tagEnd == std::string::npos) break;
    const size_t end = lower.find(kClose, tagEnd + 1);
    if (end == std::string::npos) break;
    if (!HasSource(std::string_view(lower).substr(after, tagEnd - after))) {
      const std::string hash = Sha256Source(Source(html.substr(tagEnd + 1, end - tagEnd - 1)));
      bool seen = false;
      for (const std::string& other : hashes) seen = seen || other == hash;
      if (!seen) hashes.push_back(hash);
    }
    at = end + kClose.size();
  }
  return hashes;
}

}  // namespace score
