#include "records/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<char32_t> Decode(std::string_view text) {
  std::vector<char32_t> out;
  for (size_t at = 0; at < text.size();) out.push_back(records::NextCodePoint(text, &at));
  return out;
}

TEST(Utf8, DecodesEveryLengthAndRoundTrips) {
  const std::u32string all = U"Zo\u00eb \u00c5ngstr\u00f6m \u0141\u20ac\U0001F600";
  std::string encoded;
  for (char32_t c : all) {
    char bytes[4];
    encoded.append(bytes, static_cast<size_t>(records::AppendCodePoint(c, bytes)));
  }
  EXPECT_EQ(encoded, "Zo\xc3\xab \xc3\x85ngstr\xc3\xb6m \xc5\x81\xe2\x82\xac\xf0\x9f\x98\x80");
  EXPECT_EQ(Decode(encoded), std::vector<char32_t>(all.begin(), all.end()));
}

TEST(Utf8, MalformedBytesAreOneReplacementEach) {
  const char32_t r = records::kReplacementCharacter;
  // Stray continuation, overlong "/", surrogate, past U+10FFFF, a truncated
  // three-byte sequence at the end: each bad byte is one character, and the
  // decoder never reads past the end.
  EXPECT_EQ(Decode("\x80" "a"), (std::vector<char32_t>{r, 'a'}));
  EXPECT_EQ(Decode("\xc0\xaf"), (std::vector<char32_t>{r, r}));
  EXPECT_EQ(Decode("\xed\xa0\x80"), (std::vector<char32_t>{r, r, r}));
  EXPECT_EQ(Decode("\xf4\x90\x80\x80"), (std::vector<char32_t>{r, r, r, r}));
  EXPECT_EQ(Decode(std::string_view("\xe2\x82", 2)), (std::vector<char32_t>{r, r}));
  EXPECT_EQ(Decode("\xc3" "A"), (std::vector<char32_t>{r, 'A'}));
  char bytes[4];
  EXPECT_EQ(records::AppendCodePoint(0xD800, bytes), 0);
  EXPECT_EQ(records::AppendCodePoint(0x110000, bytes), 0);
}

TEST(Utf8, CutsAndBackspacesOnCharacterBoundaries) {
  const std::string text = "a\xc3\xab\xe2\x82\xac";  // a, e with diaeresis, euro sign
  EXPECT_EQ(records::WholeCharactersWithin(text, 0), 0u);
  EXPECT_EQ(records::WholeCharactersWithin(text, 2), 1u);
  EXPECT_EQ(records::WholeCharactersWithin(text, 3), 3u);
  EXPECT_EQ(records::WholeCharactersWithin(text, 5), 3u);
  EXPECT_EQ(records::WholeCharactersWithin(text, 6), 6u);
  EXPECT_EQ(records::WholeCharactersWithin(text, 100), 6u);
  EXPECT_EQ(records::WithoutLastCharacter(text), 3u);
  EXPECT_EQ(records::WithoutLastCharacter("a\xc3\xab"), 1u);
  EXPECT_EQ(records::WithoutLastCharacter("a"), 0u);
  EXPECT_EQ(records::WithoutLastCharacter(""), 0u);
  // A malformed tail is removed one byte at a time.
  EXPECT_EQ(records::WithoutLastCharacter("ab\x80"), 2u);
}

}  // namespace
