// UTF-8 as the programs store and draw typed text: the player's fields in
// options.ini, the player string, the hall of fame's names. Text from files
// and other programs may be malformed; nothing here reads past the end, and
// a malformed byte counts as one character of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace records {

// The code point drawn for a malformed byte sequence.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the character at text[*at] and moves *at past it. A malformed
// sequence (a stray continuation byte, a truncated, overlong or surrogate
// encoding, a value past U+10FFFF) takes one byte and gives
// kReplacementCharacter. *at must be below text.size().
char32_t NextCodePoint(std::string_view text, size_t* at);

// The longest prefix of text of at most maxBytes that ends on a character
// boundary, so a cut never leaves half a character.
size_t WholeCharactersWithin(std::string_view text, size_t maxBytes);

// The length of text without its last character (what Backspace leaves);
// 0 for empty text.
size_t WithoutLastCharacter(std::string_view text);

// Appends code point c to out as UTF-8 (1 to 4 bytes); returns the bytes written
// (out must have room for 4). Surrogates and values past U+10FFFF write nothing.
int AppendCodePoint(char32_t c, char* out);

}  // namespace records
