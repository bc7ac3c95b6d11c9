#include "records/utf8.h"

namespace records {

char32_t NextCodePoint(std::string_view text, size_t* at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(*at);
  int extra = 0;
  char32_t c = 0, least = 0;
  if (lead < 0x80) {
    ++*at;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, c = lead & 0x07, least = 0x10000;
  } else {
    ++*at;
    return kReplacementCharacter;
  }
  if (text.size() - *at <= static_cast<size_t>(extra)) {
    ++*at;
    return kReplacementCharacter;
  }
  for (int i = 1; i <= extra; ++i) {
    const unsigned char next = byte(*at + i);
    if ((next & 0xC0) != 0x80) {
      ++*at;
      return kReplacementCharacter;
    }
    c = (c << 6) | (next & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++*at;
    return kReplacementCharacter;
  }
  *at += static_cast<size_t>(extra) + 1;
  return c;
}

size_t WholeCharactersWithin(std::string_view text, size_t maxBytes) {
  size_t at = 0;
  while (at < text.size()) {
    size_t next = at;
    NextCodePoint(text, &next);
    if (next > maxBytes) break;
    at = next;
  }
  return at;
}

size_t WithoutLastCharacter(std::string_view text) {
  size_t at = 0, last = 0;
  while (at < text.size()) {
    last = at;
    NextCodePoint(text, &at);
  }
  return last;
}

int AppendCodePoint(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

}  // namespace records
