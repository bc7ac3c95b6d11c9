// A real browser on the server's pages: headless Chromium opens the upload
// address the launcher builds (so the browser itself uploads) and the
// leaderboard; the test reads the DOM Chromium rendered. Skipped when
// Chromium is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "launcher/upload_address.h"
#include "tests/server/running_server.h"

namespace {

class BrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "chromium is not installed";
    char pattern[] = "/tmp/score_browserXXXXXX";
    folder_ = mkdtemp(pattern);
    ASSERT_TRUE(server_.Up()) << server_.Log();
  }
  void TearDown() override {
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
  }

  // Chromium's flags for a closed network, each run with a fresh profile.
  std::vector<std::string> Chromium(const std::string& mode) {
    return {"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--user-data-dir=" + folder_ + "/profile" + std::to_string(++runs_), mode};
  }

  std::string DumpDom(const std::string& url) {
    const std::string out = folder_ + "/dom" + std::to_string(runs_ + 1) + ".html";
    std::vector<std::string> args = Chromium("--dump-dom");
    args.push_back(url);
    EXPECT_EQ(RunToEnd(args, out, folder_ + "/chromium.log"), 0) << ReadWholeFile(folder_ + "/chromium.log");
    return ReadWholeFile(out);
  }

  std::string Upload(const char* player, int32_t score) {
    return UploadAddress(server_.Server().c_str(), "Quibbleton", player, score);
  }

  RunningServer server_;
  std::string folder_;
  int runs_ = 0;
};

TEST_F(BrowserTest, UploadAnswerAndLeaderboardRenderAsText) {
  const std::string first = DumpDom(Upload("Ann:1 Main St:ann@example.org:Y", 1200));
  EXPECT_NE(first.find("<p class=\"msg\" id=\"place\">Your score is number 1 of 1 in Quibbleton.</p>"),
            std::string::npos)
      << first;
  // A name that would retitle the page if the browser ran it as a script.
  const std::string second = DumpDom(Upload("<script>document.title='owned'</script>:::Y", 5000));
  EXPECT_NE(second.find("number 1 of 2 in Quibbleton."), std::string::npos) << second;

  const std::string board = DumpDom(server_.Server() + "/games/Quibbleton");
  EXPECT_NE(board.find("<title>Quibbleton high scores</title>"), std::string::npos) << board;
  EXPECT_EQ(board.find("owned</title>"), std::string::npos);
  EXPECT_NE(board.find(">&lt;script&gt;document.title='owned'&lt;/script&gt;</a></td>"), std::string::npos) << board;
  EXPECT_NE(board.find(">Ann</a></td><td class=\"n\">1200</td>"), std::string::npos) << board;
  EXPECT_EQ(board.find("example.org"), std::string::npos);
  EXPECT_EQ(board.find("Main St"), std::string::npos);

  // A phone-sized picture of the leaderboard, kept in the build folder.
  const std::string shot = std::string(QB_BINARY_DIR) + "/server-leaderboard.png";
  std::filesystem::remove(shot);
  std::vector<std::string> args = Chromium("--screenshot=" + shot);
  args.insert(args.end() - 1, "--window-size=420,560");
  args.push_back(server_.Server() + "/games/Quibbleton");
  EXPECT_EQ(RunToEnd(args, folder_ + "/chromium.log"), 0);
  ASSERT_TRUE(std::filesystem::exists(shot));
  EXPECT_GT(std::filesystem::file_size(shot), 1000u);
}

}  // namespace
