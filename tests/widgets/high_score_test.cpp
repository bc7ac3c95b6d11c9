#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/game_base.h"
#include "records/high_score_table.h"
#include "../support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class HighScoreTest : public ::testing::Test {
 protected:
  static void WriteFile(const char* path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  }
  static Bytes ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  TempDir temp_;  // the current directory while the test runs
  fs::path dir_ = temp_.Path();
};

void PutInt32(Bytes& b, size_t at, int32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = uint8_t(uint32_t(v) >> (8 * k));
}

// A file in the table's format whose names carry junk after their
// terminators, as names overwritten by shorter ones do.
Bytes SampleFile(int32_t count, int entries) {
  Bytes b(4 + 260 * size_t(entries));
  PutInt32(b, 0, count);
  for (int i = 0; i < entries; ++i) {
    const size_t at = 4 + 260 * size_t(i);
    for (size_t k = 0; k < 255; ++k) b[at + k] = uint8_t(0x41 + (i + k) % 50);
    b[at + 255] = 0;
    b[at + 3 + i % 7] = 0;  // terminator early, junk behind it
    PutInt32(b, at + 256, 10000 - 37 * i);
  }
  return b;
}

std::vector<int> Scores(const HighScoreTable& t) {
  std::vector<int> s;
  for (int i = 0; i < t.Count(); ++i) s.push_back(t.Entry(i)->score);
  return s;
}

TEST_F(HighScoreTest, FreshTableIsAllZero) {
  HighScoreTable t;
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.TopScore(), 0);
  EXPECT_EQ(t.Insert("x", 5), 0) << "nowhere to put it";
  t.Resize(20);
  ASSERT_EQ(t.Count(), 20);
  for (int i = 0; i < 20; ++i) {
    const auto* e = reinterpret_cast<const uint8_t*>(t.Entry(i));
    for (size_t k = 0; k < sizeof(HighScoreEntry); ++k) ASSERT_EQ(e[k], 0) << i << ":" << k;
  }
  EXPECT_EQ(t.Entry(-1), nullptr);
  EXPECT_EQ(t.Entry(20), nullptr);
  EXPECT_EQ(t.Insert("Ann", 0), 0) << "0 is not above an all-zero table";
  EXPECT_EQ(t.TopScore(), 0);
  t.Resize(-3);
  EXPECT_EQ(t.Count(), 0);
}

TEST_F(HighScoreTest, InsertKeepsOrderAndDropsTheLast) {
  HighScoreTable t;
  t.Resize(5);
  ASSERT_EQ(t.Insert("a", 900), 1);
  ASSERT_EQ(t.Insert("b", 100), 1);
  ASSERT_EQ(t.Insert("c", 500), 1);
  EXPECT_EQ(Scores(t), (std::vector<int>{900, 500, 100, 0, 0}));
  ASSERT_EQ(t.Insert("new", 500), 1);  // below the existing 500
  EXPECT_EQ(Scores(t), (std::vector<int>{900, 500, 500, 100, 0}));
  EXPECT_STREQ(t.Entry(1)->name, "c");
  EXPECT_STREQ(t.Entry(2)->name, "new");
  EXPECT_EQ(t.TopScore(), 900);

  ASSERT_EQ(t.Insert("d", 50), 1);
  EXPECT_EQ(Scores(t), (std::vector<int>{900, 500, 500, 100, 50}));
  ASSERT_EQ(t.Insert("top", 1000), 1);  // full: the 50 drops out
  EXPECT_EQ(Scores(t), (std::vector<int>{1000, 900, 500, 500, 100}));
  EXPECT_STREQ(t.Entry(4)->name, "b");
  EXPECT_EQ(t.Insert("low", 100), 0) << "equal to the lowest is not enough";
  EXPECT_EQ(Scores(t), (std::vector<int>{1000, 900, 500, 500, 100}));
  EXPECT_EQ(t.Insert("neg", -5), 0);
}

TEST_F(HighScoreTest, InsertZeroesTheNameAfterItsTerminator) {
  HighScoreTable t;
  t.Resize(2);
  ASSERT_EQ(t.Insert("Longer name:1 Main St:lee@example.org:Y", 10), 1);
  ASSERT_EQ(t.Insert("ab", 20), 1);  // lands on the slot that held the longer entry
  EXPECT_STREQ(t.Entry(0)->name, "ab");
  EXPECT_EQ(std::string(t.Entry(0)->name, HighScoreTable::kNameSize), "ab" + std::string(254, '\0'));
  ASSERT_TRUE(t.Save("hiscore.dat"));
  const Bytes saved = ReadFile("hiscore.dat");
  EXPECT_EQ(std::string(saved.begin() + 4, saved.begin() + 4 + 256), "ab" + std::string(254, '\0'));
  EXPECT_STREQ(t.Entry(1)->name, "Longer name:1 Main St:lee@example.org:Y");

  const std::string huge(300, 'z');
  ASSERT_EQ(t.Insert(huge.c_str(), 30), 1);
  EXPECT_EQ(std::strlen(t.Entry(0)->name), 255u);
  ASSERT_EQ(t.Insert(nullptr, 40), 1);
  EXPECT_STREQ(t.Entry(0)->name, "");
  // A UTF-8 letter across the 255-byte cut is left out whole.
  const std::string letters = std::string(254, 'z') + "\xC5\x81" + "z";
  ASSERT_EQ(t.Insert(letters.c_str(), 50), 1);
  EXPECT_EQ(std::string(t.Entry(0)->name), std::string(254, 'z'));
  EXPECT_EQ(HighScoreTable::StoredName(letters), std::string(254, 'z'));
  EXPECT_EQ(HighScoreTable::StoredName("Zo\xC3\xAB"), "Zo\xC3\xAB");
}

TEST_F(HighScoreTest, SaveWritesTheExactLayout) {
  HighScoreTable t;
  t.Resize(20);
  t.Insert("Ann:1 Road:a@b:Y", 0x01020304);
  t.Insert("Bob", 7);
  ASSERT_EQ(t.Save("hiscore.dat"), 1);
  const Bytes b = ReadFile("hiscore.dat");
  ASSERT_EQ(b.size(), 5204u);
  EXPECT_EQ(HighScoreTable::FileSize(20), 5204u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{20, 0, 0, 0}));
  EXPECT_EQ(std::memcmp(&b[4], "Ann:1 Road:a@b:Y\0", 17), 0);
  EXPECT_EQ(Bytes(b.begin() + 260, b.begin() + 264), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(std::memcmp(&b[264], "Bob\0", 4), 0);
  EXPECT_EQ(Bytes(b.begin() + 520, b.begin() + 524), (Bytes{7, 0, 0, 0}));
  for (size_t k = 524; k < b.size(); ++k) ASSERT_EQ(b[k], 0) << k;

  // Scores are signed.
  Bytes one(4 + 260, 0);
  PutInt32(one, 0, 1);
  PutInt32(one, 260, -2);
  WriteFile("one.dat", one);
  HighScoreTable small;
  small.Resize(1);
  ASSERT_EQ(small.Load("one.dat"), 1);
  EXPECT_EQ(small.TopScore(), -2);
  EXPECT_EQ(small.Insert("x", -1), 1);
}

TEST_F(HighScoreTest, RoundTripIsByteIdentical) {
  const Bytes original = SampleFile(20, 20);
  WriteFile("hiscore.dat", original);
  HighScoreTable t;
  t.Resize(20);
  ASSERT_EQ(t.Load("hiscore.dat"), 1);
  EXPECT_EQ(t.TopScore(), 10000);
  EXPECT_EQ(t.Entry(19)->score, 10000 - 37 * 19);
  ASSERT_EQ(t.Save("copy.dat"), 1);
  EXPECT_EQ(ReadFile("copy.dat"), original);

  // Through a Windows-style path into a folder, replacing an older file.
  fs::create_directory("Game");
  WriteFile("Game/hiscore.dat", Bytes(10, 0xEE));
  ASSERT_EQ(t.Save(".\\Game\\hiscore.dat"), 1);
  EXPECT_EQ(ReadFile("Game/hiscore.dat"), original);
  HighScoreTable u;
  u.Resize(20);
  ASSERT_EQ(u.Load(".\\Game\\hiscore.dat"), 1);
  ASSERT_EQ(u.Save("again.dat"), 1);
  EXPECT_EQ(ReadFile("again.dat"), original);
  // Nothing but the table itself is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator("Game"), fs::directory_iterator()), 1);
}

TEST_F(HighScoreTest, OtherCountsAndMissingFilesAreRejected) {
  HighScoreTable t;
  t.Resize(20);
  t.Insert("keep", 77);
  Bytes ten = SampleFile(20, 20);
  PutInt32(ten, 0, 10);  // same 5204 bytes, count 10
  WriteFile("hiscore.dat", ten);
  EXPECT_EQ(t.Load("hiscore.dat"), 0);
  EXPECT_EQ(t.Load("missing.dat"), 0);
  WriteFile("empty.dat", {});
  EXPECT_EQ(t.Load("empty.dat"), 0);
  WriteFile("three.dat", {20, 0, 0});
  EXPECT_EQ(t.Load("three.dat"), 0);
  EXPECT_EQ(t.Load(nullptr), 0);
  EXPECT_STREQ(t.Entry(0)->name, "keep");
  EXPECT_EQ(Scores(t), (std::vector<int>{77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// A file of the table's count but of another size is not a table: nothing
// of it is taken, however many whole records it holds.
TEST_F(HighScoreTest, AFileOfAnyOtherSizeIsRefusedWhole) {
  HighScoreTable t;
  t.Resize(20);
  t.Insert("old", 5000);
  for (size_t size : {size_t{600}, size_t{4 + 260 * 3 + 259}, size_t{5203}, size_t{5205}}) {
    Bytes b = SampleFile(20, 20);
    b.resize(size);
    WriteFile("hiscore.dat", b);
    EXPECT_EQ(t.Load("hiscore.dat"), 0) << size;
    EXPECT_STREQ(t.Entry(0)->name, "old") << size;
    EXPECT_EQ(t.Entry(0)->score, 5000) << size;
  }
}

// Another program's save between this one's load and its save is kept:
// the entry goes into the file as it is now.
TEST_F(HighScoreTest, AnEntryIsMergedIntoTheFileAsItIsNow) {
  HighScoreTable stale;
  stale.Resize(20);  // loaded when the file was still empty
  HighScoreTable other;
  other.Resize(20);
  other.Insert("Ann", 1200);
  ASSERT_EQ(other.Save("hiscore.dat"), 1);
  const auto merged = stale.InsertMerged("hiscore.dat", {{"Bob", 600}});
  EXPECT_TRUE(merged.lastInserted);
  EXPECT_TRUE(merged.saved);
  HighScoreTable file;
  file.Resize(20);
  ASSERT_EQ(file.Load("hiscore.dat"), 1);
  EXPECT_STREQ(file.Entry(0)->name, "Ann");
  EXPECT_STREQ(file.Entry(1)->name, "Bob");
  EXPECT_STREQ(stale.Entry(0)->name, "Ann") << "the table shows what the file holds";
  // A score the file's table no longer takes is neither saved nor announced.
  for (int i = 0; i < 20; ++i) other.Insert("Top", 9000);
  ASSERT_EQ(other.Save("hiscore.dat"), 1);
  EXPECT_FALSE(stale.InsertMerged("hiscore.dat", {{"Bob", 700}}).anyInserted);
}

// A change under the lock starts from the file as it is, writes only when
// it says so, and the hook of a merge runs before the table is written.
TEST_F(HighScoreTest, ARewriteStartsFromTheFileAndWritesOnlyWhenAsked) {
  HighScoreTable table;
  table.Resize(20);
  table.Insert("In memory only", 99999);
  EXPECT_FALSE(table.Rewrite("hiscore.dat", [](HighScoreTable& t) {
    EXPECT_EQ(t.TopScore(), 0) << "a missing file reads as an empty table";
    return false;
  }));
  EXPECT_FALSE(fs::exists("hiscore.dat")) << "a declined change wrote";
  WriteFile("hiscore.dat", SampleFile(20, 20));
  const Bytes sample = ReadFile("hiscore.dat");
  int seen = -1;
  EXPECT_FALSE(table.Rewrite("hiscore.dat", [&](HighScoreTable& t) {
    seen = t.TopScore();
    t.Insert("Dropped", 1 << 30);
    return false;
  }));
  EXPECT_EQ(seen, table.Entry(1)->score) << "not the file's table";
  EXPECT_EQ(ReadFile("hiscore.dat"), sample);
  EXPECT_TRUE(table.Rewrite("hiscore.dat", [](HighScoreTable& t) {
    t.Resize(t.Count());
    return true;
  }));
  Bytes cleared(5204, 0);
  cleared[0] = 20;
  EXPECT_EQ(ReadFile("hiscore.dat"), cleared);

  bool fileHadIt = true;
  const auto merged = table.InsertMerged("hiscore.dat", {{"Ann", 10}}, [&](const HighScoreTable::MergeResult& m) {
    EXPECT_TRUE(m.lastInserted);
    HighScoreTable file;
    file.Resize(20);
    file.Load("hiscore.dat");
    fileHadIt = file.TopScore() == 10;
  });
  EXPECT_TRUE(merged.saved);
  EXPECT_FALSE(fileHadIt) << "the hook ran after the table was written";
  fs::create_directory("folder.dat");
  EXPECT_FALSE(table.Rewrite("folder.dat", [](HighScoreTable&) { return true; }));
  EXPECT_EQ(table.TopScore(), 10) << "a file that cannot be opened changes nothing";
}

TEST_F(HighScoreTest, UnterminatedNamesEndInsideTheirEntry) {
  Bytes b(5204, 'x');
  PutInt32(b, 0, 20);
  WriteFile("hiscore.dat", b);
  HighScoreTable t;
  t.Resize(20);
  ASSERT_EQ(t.Load("hiscore.dat"), 1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(strnlen(t.Entry(i)->name, 256), 255u) << i;
}

TEST_F(HighScoreTest, ClearingWritesTwentyZeroEntries) {
  WriteFile("hiscore.dat", SampleFile(20, 20));
  HighScoreTable t;
  t.Resize(20);
  ASSERT_EQ(t.Load("hiscore.dat"), 1);
  t.Resize(20);
  ASSERT_EQ(t.Save("hiscore.dat"), 1);
  Bytes expected(5204, 0);
  expected[0] = 20;
  EXPECT_EQ(ReadFile("hiscore.dat"), expected);
}

TEST_F(HighScoreTest, SaveIntoAMissingFolderFails) {
  HighScoreTable t;
  t.Resize(20);
  EXPECT_EQ(t.Save("nowhere\\hiscore.dat"), 0);
  EXPECT_FALSE(fs::exists("nowhere"));
}

class TestGame : public GameBase {
 public:
  int Update() override { return 4; }
  int StoredBest(int i) const { return bestScores[i]; }
};

TEST_F(HighScoreTest, GameBaseProperties) {
  GameBase base;
  EXPECT_EQ(base.Update(), -1);
  EXPECT_EQ(base.GetScore(), 0);
  EXPECT_EQ(base.SetScore(1234), 1234);
  EXPECT_EQ(base.GetScore(), 1234);
  base.SetState(13);
  base.SetTimeLimit(1);
  base.SetTimeBonus(2);
  base.SetExtraValue(3);
  base.SetGameTime(300);
  base.SetFlags(5);
  base.SetGameIndex(6);
  EXPECT_EQ(base.GetState(), 13);
  EXPECT_EQ(base.GetTimeLimit(), 1);
  EXPECT_EQ(base.GetTimeBonus(), 2);
  EXPECT_EQ(base.GetExtraValue(), 3);
  EXPECT_EQ(base.GetGameTime(), 300);
  EXPECT_EQ(base.GetFlags(), 5);
  EXPECT_EQ(base.GetGameIndex(), 6);

  TestGame game;
  GameBase& g = game;
  EXPECT_EQ(g.Update(), 4);
  g.NewGame();
  g.Cleanup();
}

TEST_F(HighScoreTest, BestScoreHooksStayInMemory) {
  TestGame game;
  GameBase& g = game;
  g.SetGameIndex(3);
  g.SetBestScore(4200);
  EXPECT_EQ(g.SaveBestScore(), 1);
  EXPECT_EQ(game.StoredBest(3), 4200);
  g.SetBestScore(0);
  EXPECT_EQ(g.LoadBestScore(), 1);
  EXPECT_EQ(g.BestScore(), 4200);
  g.SetGameIndex(10);
  EXPECT_EQ(g.SaveBestScore(), 0);
  g.SetGameIndex(-1);
  EXPECT_EQ(g.LoadBestScore(), 0);
  EXPECT_EQ(g.BestScore(), 4200);
  EXPECT_TRUE(fs::is_empty(dir_)) << "the hooks never write a file";
}

}  // namespace
