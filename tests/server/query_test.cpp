// The upload's decoding and checks, fed with queries the launcher's own
// escaping produces and with the inputs a hostile client could send.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "launcher/upload_address.h"
#include "server/client_address.h"
#include "server/query.h"
#include "server/service.h"

using score::ParseUpload;
using score::Upload;

namespace {

// The query part of the address the launcher opens.
std::string LauncherQuery(const char* game, const char* player, int32_t score) {
  const std::string address = UploadAddress("http://h", game, player, score);
  return address.substr(address.find('?') + 1);
}

std::string ErrorOf(const std::string& query) {
  auto result = ParseUpload(query);
  return std::holds_alternative<std::string>(result) ? std::get<std::string>(result) : "accepted";
}

}  // namespace

TEST(UploadQuery, LauncherAddressesDecodeToWhatWasSent) {
  struct Case {
    const char* game;
    const char* player;
    int32_t score;
    const char* name, *address, *email, *send;
  } cases[] = {
      {"Quibbleton", "Ann:1 Main St::Y", 1200, "Ann", "1 Main St", "", "Y"},
      {"Big Game", "Bob:::N", 0, "Bob", "", "", "N"},
      // Every character the launcher escapes, and the ones it leaves alone
      // ("&", "=", "+", "/") inside a name.
      {"Quibbleton", "a \"#%;<>?[\\]^{|}~z:x&y=z+1/2:e@x.org:Y", 2147483647, "a \"#%;<>?[\\]^{|}~z", "x&y=z+1/2",
       "e@x.org", "Y"},
      {"Quibbleton", "Zo\xc3\xab \xe2\x98\x83:::Y", 7, "Zo\xc3\xab \xe2\x98\x83", "", "", "Y"},
      {"Quibbleton", "name=x&score=1:&game=:&name=:Y", 5, "name=x&score=1", "&game=", "&name=", "Y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.player);
    auto result = ParseUpload(LauncherQuery(c.game, c.player, c.score));
    ASSERT_TRUE(std::holds_alternative<Upload>(result)) << std::get<std::string>(result);
    const Upload& u = std::get<Upload>(result);
    EXPECT_EQ(u.game, c.game);
    EXPECT_EQ(u.player.name, c.name);
    EXPECT_EQ(u.player.address, c.address);
    EXPECT_EQ(u.player.email, c.email);
    EXPECT_EQ(u.player.send, c.send);
    EXPECT_EQ(u.score, c.score);
  }
  // Fields in another order, as a hand-typed address might have them.
  auto reordered = ParseUpload("score=" + std::to_string(1200 ^ 0x07B7B7B7) + "&name=Ann:::Y&game=Quibbleton");
  ASSERT_TRUE(std::holds_alternative<Upload>(reordered));
  EXPECT_EQ(std::get<Upload>(reordered).score, 1200);
}

TEST(UploadQuery, BadInputsAreRefusedWithTheirReason) {
  const std::string ok = std::to_string(1200 ^ 0x07B7B7B7);
  const std::string long63(63, 'a');
  const std::string long64(64, 'a');
  struct Case {
    std::string query;
    const char* reason;
  } cases[] = {
      {"", "needs a game name"},
      {"game=&name=Ann:::Y&score=" + ok, "needs a game name"},
      {"game=Q&score=" + ok, "needs a name field"},
      {"game=Q&name=Ann:::Y", "needs a score"},
      {"game=Q&name=Ann:::Y&score=", "needs a score"},
      {LauncherQuery("Quibbleton", "", 0), "No score to upload"},
      {"game=..&name=Ann:::Y&score=" + ok, "plain directory name"},
      {"game=a/b&name=Ann:::Y&score=" + ok, "plain directory name"},
      {"game=a%5cb&name=Ann:::Y&score=" + ok, "plain directory name"},
      {"game=" + long64 + "&name=Ann:::Y&score=" + ok, "game name is longer"},
      {"game=Q&name=Ann:::Y&score=12a", "decimal number"},
      {"game=Q&name=Ann:::Y&score=+5", "decimal number"},
      {"game=Q&name=Ann:::Y&score=-", "decimal number"},
      {"game=Q&name=Ann:::Y&score=99999999999", "decimal number"},
      // 0x07B7B7B7 ^ 0xF0000000 has the sign bit set after decoding.
      {"game=Q&name=Ann:::Y&score=" + std::to_string(int32_t(0x07B7B7B7u ^ 0xF0000000u)), "negative"},
      {"game=Q&name=Ann:::Y&score=1%2", "malformed per-cent escape"},
      {"game=Q&name=Ann%zz:::Y&score=" + ok, "malformed per-cent escape"},
      {"game=Q&name=Ann:::Y:extra&score=" + ok, "send value is longer"},
      {"game=Q&name=Ann:Y&score=" + ok, "needs four fields"},
      {"game=Q&name=Ann::Y&score=" + ok, "needs four fields"},
      {"game=Q&name=:addr::Y&score=" + ok, "name is empty"},
      {"game=Q&name=" + long64 + ":::Y&score=" + ok, "name is longer"},
      {"game=Q&name=Ann:" + long64 + "::Y&score=" + ok, "address is longer"},
      {"game=Q&name=Ann::" + long64 + ":Y&score=" + ok, "e-mail is longer"},
      {"game=Q&name=Ann:::YY&score=" + ok, "send value is longer"},
      {"game=Q&name=Ann%ff:::Y&score=" + ok, "not valid UTF-8"},
      {"game=Q&name=Ann%c0%af:::Y&score=" + ok, "not valid UTF-8"},   // overlong "/"
      {"game=Q&name=Ann%ed%a0%80:::Y&score=" + ok, "not valid UTF-8"},  // a surrogate
      {"game=Q&name=Ann%0a:::Y&score=" + ok, "control characters"},
      {"game=Q&name=Ann%c2%85:::Y&score=" + ok, "control characters"},  // NEL, a C1 control
      {"game=Q&name=Ann:::%7f&score=" + ok, "control characters"},
      {"game=Q%00&name=Ann:::Y&score=" + ok, "control characters"},
      {"name=A:::Y&name=B:::Y&game=Q&score=" + ok, "given twice"},
      {"x=1&game=Q&name=Ann:::Y&score=" + ok, "unknown field"},
      // An "&" belongs to the value before it, a trailing one too.
      {"name=A:::Y&game=Q&score=" + ok + "&", "decimal number"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(ErrorOf(c.query).find(c.reason), std::string::npos) << c.query << " -> " << ErrorOf(c.query);
  }
  // The limits themselves are allowed.
  EXPECT_EQ(ErrorOf("game=" + long63 + "&name=" + long63 + ":" + long63 + ":" + long63 + ":Y&score=" + ok), "accepted");
  // The largest and smallest scores the launcher can send.
  EXPECT_EQ(ErrorOf(LauncherQuery("Q", "A:::Y", 0x7FFFFFFF)), "accepted");
  EXPECT_EQ(ErrorOf(LauncherQuery("Q", "A:::Y", 0)), "accepted");
  EXPECT_NE(ErrorOf(LauncherQuery("Q", "A:::Y", -1)), "accepted");
}

// Launchers that let a player type ":" wrote entries with more than four
// fields; they still upload, the extra colons going to the address.
TEST(UploadQuery, ExtraColonsBelongToTheAddress) {
  struct Case {
    const char* player;
    const char *name, *address, *email, *send;
  } cases[] = {
      {"Ann:Flat 3: 7 High Rd:ann@x.org:Y", "Ann", "Flat 3: 7 High Rd", "ann@x.org", "Y"},
      {"Ann:a:b:c:d::Y", "Ann", "a:b:c:d", "", "Y"},
      {"Ann:::::Y", "Ann", "::", "", "Y"},
  };
  for (const Case& c : cases) {
    auto result = ParseUpload(LauncherQuery("Quibbleton", c.player, 5));
    ASSERT_TRUE(std::holds_alternative<Upload>(result)) << c.player << ": " << std::get<std::string>(result);
    const score::Player& p = std::get<Upload>(result).player;
    EXPECT_EQ(p.name, c.name) << c.player;
    EXPECT_EQ(p.address, c.address) << c.player;
    EXPECT_EQ(p.email, c.email) << c.player;
    EXPECT_EQ(p.send, c.send) << c.player;
  }
}

TEST(UploadQuery, Utf8AndControlChecks) {
  EXPECT_TRUE(score::IsValidUtf8(""));
  EXPECT_TRUE(score::IsValidUtf8("\xf0\x9f\x8e\xae game \xf4\x8f\xbf\xbf"));  // U+1F3AE and U+10FFFF
  EXPECT_FALSE(score::IsValidUtf8("\xf4\x90\x80\x80"));                     // past U+10FFFF
  EXPECT_FALSE(score::IsValidUtf8("\xe0\x80\xaf"));                         // overlong
  EXPECT_FALSE(score::IsValidUtf8("\xe2\x98"));                             // cut short
  EXPECT_FALSE(score::IsValidUtf8("\x80"));
  EXPECT_FALSE(score::IsValidUtf8("\xc3("));  // a lead byte without its continuation
  EXPECT_FALSE(score::HasControlCharacter("caf\xc3\xa9 \xc2\xa0"));  // U+00A0 is not a control
  EXPECT_TRUE(score::HasControlCharacter("\t"));
  // A lead byte at the very end: the byte after the text is not looked at.
  EXPECT_FALSE(score::HasControlCharacter(std::string_view("ab\xc2\x85", 3)));
}

TEST(RateLimiter, BurstThenOnePerShareOfTheMinutePerClient) {
  score::RateLimiter limiter(30);
  for (int i = 0; i < 30; ++i) EXPECT_TRUE(limiter.Allow("a", 100.0)) << i;
  EXPECT_FALSE(limiter.Allow("a", 100.0));
  EXPECT_TRUE(limiter.Allow("b", 100.0));  // another address has its own bucket
  EXPECT_FALSE(limiter.Allow("a", 101.9));  // 30 a minute: one every two seconds
  EXPECT_TRUE(limiter.Allow("a", 102.1));
  EXPECT_FALSE(limiter.Allow("a", 102.2));
  for (int i = 0; i < 30; ++i) EXPECT_TRUE(limiter.Allow("a", 1000.0 + i * 0.001)) << "refilled after a quiet minute";

  score::RateLimiter off(0);
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(off.Allow("a", 0));
}

TEST(RateLimiter, ForgetsAddressesQuietForAMinute) {
  score::RateLimiter limiter(30);
  for (int i = 0; i < 100; ++i) limiter.Allow("10.0.0." + std::to_string(i), 100.0);
  EXPECT_EQ(limiter.Clients(), 100u);
  limiter.Allow("10.0.1.1", 130.0);
  EXPECT_EQ(limiter.Clients(), 101u);  // half a minute on: all kept
  limiter.Allow("10.0.1.2", 161.0);
  EXPECT_EQ(limiter.Clients(), 2u);  // the hundred quiet ones are gone
}

// The send choice is one letter the launcher writes: anything else is no
// consent the server could read, and would make another entry of the same score.
TEST(UploadQuery, SendIsYOrNAndNothingElse) {
  const std::string ok = std::to_string(1200 ^ 0x07B7B7B7);
  for (const char* send : {"n", "y", "Z", "", "%20"}) {
    EXPECT_NE(ErrorOf("game=Q&name=Ann:::" + std::string(send) + "&score=" + ok).find("send value must be Y or N"),
              std::string::npos)
        << send;
  }
  EXPECT_EQ(ErrorOf("game=Q&name=Ann:::N&score=" + ok), "accepted");
  EXPECT_EQ(ErrorOf("game=Q&name=Ann:a:b:Y&score=" + ok), "accepted");
  // What the launcher sends for any choice but "Y" is "N".
  EXPECT_EQ(ErrorOf(LauncherQuery("Q", "Ann:a:b:yes", 5)), "accepted");
  EXPECT_EQ(ErrorOf(LauncherQuery("Q", "Ann:a:b:", 5)), "accepted");
}

// A whole /48 is one site's: its /64s share an allowance besides their own.
TEST(ClientAddress, SiteKeyIsTheSlash48OfIpv6AndNothingForIpv4) {
  EXPECT_EQ(score::SiteKey("2001:db8:1:2::5"), "2001:db8:1::/48");
  EXPECT_EQ(score::SiteKey("2001:db8:1:ffff:1:2:3:4"), "2001:db8:1::/48");
  EXPECT_NE(score::SiteKey("2001:db8:2::1"), score::SiteKey("2001:db8:1::1"));
  EXPECT_EQ(score::SiteKey("192.0.2.7"), "");
  EXPECT_EQ(score::SiteKey("::ffff:192.0.2.7"), "");
  EXPECT_EQ(score::SiteKey("not an address"), "");
}
