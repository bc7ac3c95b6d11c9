// Names as the boards keep them: one Unicode form, and nothing that
// misleads a reader.
#include <gtest/gtest.h>

#include <string>

#include "server/player_name.h"

using score::NormaliseName;
using score::Skeleton;

TEST(PlayerName, NormalisedToOneFormAndMisleadingOnesRefused) {
  // Compatibility forms become the plain letters: the ligature "fi",
  // full-width letters, a decomposed "é".
  EXPECT_EQ(NormaliseName("\xef\xac\x81n").name, "fin");
  EXPECT_EQ(NormaliseName("\xef\xbc\xa1nn").name, "Ann");
  EXPECT_EQ(NormaliseName("Zoe\xcc\x81").name, "Zo\xc3\xa9");
  // Ordinary names stay as they are, with their variation selectors too (an
  // emoji's, a text symbol's, an ideograph's).
  for (const char* name : {"Ann Lee", "Zo\xc3\xab & Bo", "\xe6\x9d\x8e\xe5\xb0\x8f\xe9\xbe\x99", "\xe2\x9d\xa4\xef\xb8\x8f",
                           "\xe2\x98\xba\xef\xb8\x8e", "\xe8\x91\x9b\xf3\xa0\x84\x80", "O'Brien-Smith", "\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd"}) {
    const score::NameCheck check = NormaliseName(name);
    EXPECT_EQ(check.refusal, "") << name;
    EXPECT_EQ(check.name, name);
  }
  struct Case {
    const char* name;
    const char* reason;
  } refused[] = {
      {"Ann\xe2\x80\xae" "eL", "direction"},         // RIGHT-TO-LEFT OVERRIDE
      {"\xe2\x81\xa7" "Ann", "direction"},           // FIRST STRONG ISOLATE
      {"A\xe2\x80\x8bnn", "invisible"},              // ZERO WIDTH SPACE
      {"A\xe2\x80\x8dnn", "invisible"},              // ZERO WIDTH JOINER
      {"Ann\xef\xbb\xbf", "invisible"},              // ZERO WIDTH NO-BREAK SPACE
      {"\xe3\x85\xa4", "invisible"},                 // HANGUL FILLER
      {"A\xe2\xa0\x80", "invisible"},                // BRAILLE PATTERN BLANK
      {"A\xc2\xad" "nn", "invisible"},               // SOFT HYPHEN
      {"   ", "nothing visible"},
      {"\xe3\x80\x80\xc2\xa0", "nothing visible"},   // ideographic and no-break spaces
      {"\xcc\x81\xcc\x81", "nothing visible"},       // combining marks alone
      {"A\xee\x80\x80", "no meaning"},               // a private-use character
      // NFKC can lengthen a name past what the launcher could send.
      {"\xef\xb7\xba\xef\xb7\xba\xef\xb7\xba\xef\xb7\xba", "longer"},
  };
  for (const Case& c : refused) {
    EXPECT_NE(NormaliseName(c.name).refusal.find(c.reason), std::string::npos)
        << c.name << " -> " << NormaliseName(c.name).refusal;
  }
}

TEST(PlayerName, LookAlikesShareASkeletonAndOtherNamesDoNot) {
  const std::string latin = Skeleton("Quibbleton");
  EXPECT_EQ(Skeleton("Quibblet\xd0\xben"), latin);  // Cyrillic o
  EXPECT_EQ(Skeleton("Quibb1eton"), latin);         // digit one for l
  EXPECT_NE(Skeleton("Quibbletan"), latin);
  EXPECT_NE(Skeleton("Ann"), Skeleton("Anna"));
}

TEST(PlayerName, TrimmedAndInnerWhiteSpaceCollapsedFirst) {
  for (const char* name : {"Alice", " Alice", "Alice ", "  Alice\xe3\x80\x80"}) {
    EXPECT_EQ(NormaliseName(name).name, "Alice") << name;
  }
  // Runs of any white space inside, ideographic and no-break included, are one space.
  EXPECT_EQ(NormaliseName("Ann  \xc2\xa0\xe3\x80\x80Lee").name, "Ann Lee");
  // The length counts what is kept, not the padding around it.
  EXPECT_EQ(NormaliseName("   " + std::string(62, 'a')).name, std::string(62, 'a'));
}

TEST(PlayerName, SkeletonsIgnoreCaseAccentsAndPadding) {
  const std::string mallory = Skeleton("Mallory");
  for (const char* name : {"Mallory ", " Mallory", "mallory", "MALLORY", "Mallo\xcc\x81ry", "M\xc3\xa0llory",
                           "Ma\xcc\x88llory", "\xef\xbc\xad" "allory"}) {
    EXPECT_EQ(Skeleton(name), mallory) << name;
  }
  EXPECT_NE(Skeleton("Mallorie"), mallory);
  EXPECT_NE(Skeleton("Mal lory"), mallory);
}

TEST(PlayerName, AGameNameIsCheckedLikeAPlayersAndSaysSo) {
  const score::NameCheck zeroWidth = NormaliseName("Quibbleton\xe2\x80\x8b", "game name");
  EXPECT_NE(zeroWidth.refusal.find("The game name holds an invisible character"), std::string::npos)
      << zeroWidth.refusal;
  EXPECT_NE(NormaliseName("Quib\xe2\x80\xae" "bleton", "game name").refusal.find("direction"), std::string::npos);
  EXPECT_EQ(NormaliseName("Quibbleton", "game name").name, "Quibbleton");
}
