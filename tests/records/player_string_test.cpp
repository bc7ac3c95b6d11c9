// The player string as the game writes it, the launcher sends it and the
// server reads it: the three must agree field by field.
#include <gtest/gtest.h>

#include "records/player_string.h"
#include "records/upload.h"

namespace {

TEST(PlayerString, SplitGivesBackWhatJoinPutTogetherWithColonsInTheAddress) {
  const std::string joined = records::JoinPlayerString("Ann", "1 Main St: Flat 2", "ann@x.org", "Y");
  EXPECT_EQ(joined, "Ann:1 Main St: Flat 2:ann@x.org:Y");
  const auto fields = records::SplitPlayerString(joined);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->name, "Ann");
  EXPECT_EQ(fields->address, "1 Main St: Flat 2");
  EXPECT_EQ(fields->email, "ann@x.org");
  EXPECT_EQ(fields->send, "Y");
  // Empty fields keep their places.
  const auto bare = records::SplitPlayerString("Dora:::N");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->name, "Dora");
  EXPECT_EQ(bare->address, "");
  EXPECT_EQ(bare->send, "N");
  for (const char* tooFew : {"", "Ann", "Ann:x", "Ann::", ":Y"})
    EXPECT_FALSE(records::SplitPlayerString(tooFew)) << tooFew;
}

TEST(PlayerString, OnlyAChosenSendCarriesTheAddressAndEmail) {
  EXPECT_EQ(records::PlayerStringToSend("Ann:Elm St:a@b.c:Y"), "Ann:Elm St:a@b.c:Y");
  EXPECT_EQ(records::PlayerStringToSend("Ann:Elm St:a@b.c:N"), "Ann:::N");
  EXPECT_EQ(records::PlayerStringToSend("Ann:Elm St:a@b.c:y"), "Ann:::N");
  EXPECT_EQ(records::PlayerStringToSend("Ann"), "Ann");
}

TEST(UploadMask, MaskingTwiceGivesTheScoreBack) {
  EXPECT_EQ(records::MaskScore(1200), 1200 ^ 0x07B7B7B7);
  EXPECT_EQ(records::MaskScore(records::MaskScore(987654)), 987654);
  EXPECT_LT(records::MaskScore(static_cast<int32_t>(0xF0000000u)), 0);
}

}  // namespace
