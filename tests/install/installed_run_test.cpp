// The programs installed read-only, as a package installs them, played by
// users who cannot write there: the "lobbo" command from another folder, a
// round trip into the game and back to the hall of fame, and every written
// file in the user's own folder. The build is installed into a temporary
// prefix: under root the programs run as user "nobody", as a package leaves
// the tree; any other user takes the prefix's write permission away and plays
// as themselves. QB_INSTALLED_LOBBO=/usr/games/lobbo checks an installed package instead (CI),
// as "nobody" under root, else as the current user.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "../e2e/game_frames.h"
#include "../e2e/run_program.h"
#include "records/high_score_table.h"

namespace {

namespace fs = std::filesystem;
using gamee2e::Load;
using gamee2e::Picture;

constexpr uid_t kNobody = 65534;

struct Point {
  int x, y;
};
constexpr Point kSlot1{139, 190}, kPlay{711, 324}, kHighScores{127, 393}, kSfx{77, 530}, kNameField2{483, 393};
constexpr Point kGameNewGame{50, 375}, kGameMenu{50, 487};

std::string Click(int tick, Point p) {
  return std::to_string(tick) + " click left " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Every file and folder of a tree with its size and time: what a write would change.
std::map<std::string, std::string> Listing(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    struct stat st;
    if (::lstat(e.path().c_str(), &st) != 0) continue;
    files[e.path().string()] = std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                               std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_mode);
  }
  return files;
}

// Gives or takes the owner's write permission on a tree, folders included.
void SetWritable(const std::string& root, bool writable) {
  std::vector<std::string> paths{root};
  for (const auto& e : fs::recursive_directory_iterator(root)) paths.push_back(e.path().string());
  for (const std::string& p : paths) {
    if (fs::is_symlink(p)) continue;
    fs::permissions(p, fs::perms::owner_write, writable ? fs::perm_options::add : fs::perm_options::remove);
  }
}

class InstalledRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qbinstallXXXXXX";
    work_ = ::mkdtemp(tmpl);
    ::chmod(work_.c_str(), 0755);  // the unprivileged user reaches the prefix and its folders
    if (const char* installed = std::getenv("QB_INSTALLED_LOBBO")) {
      lobbo_ = installed;
    } else {
      // Installed by root, the tree is root's and read-only for the player "nobody", as a package leaves
      // it; anyone else installs into a prefix of their own and takes away its write permission.
      prefix_ = work_ + "/prefix";
      const ProgramResult install =
          RunProgram(QB_CMAKE, {"--install", QB_BINARY_DIR, "--prefix", prefix_}, {}, "");
      ASSERT_EQ(install.exitCode, 0) << install.errors;
      if (::geteuid() != 0) SetWritable(prefix_, false);
      lobbo_ = prefix_ + "/games/lobbo";
    }
    ASSERT_TRUE(fs::exists(lobbo_)) << lobbo_;
    tree_ = fs::canonical(lobbo_).parent_path().string();
    before_ = Listing(tree_);
  }
  void TearDown() override {
    if (!prefix_.empty() && ::geteuid() != 0) SetWritable(prefix_, true);
    if (HasFailure())
      std::printf("kept %s\n", work_.c_str());
    else
      fs::remove_all(work_);
  }

  // A folder the player's programs may write.
  std::string PlayerFolder(const std::string& name) {
    const std::string dir = work_ + "/" + name;
    fs::create_directories(dir);
    if (::geteuid() == 0) (void)!::chown(dir.c_str(), kNobody, kNobody);
    return dir;
  }
  void WriteScript(const std::string& dir, const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name) << text;
    if (::geteuid() == 0) (void)!::chown((dir + "/" + name).c_str(), kNobody, kNobody);
  }

  // "lobbo" started from the root folder by user `user` (its data folder in work_), headless.
  ProgramResult Play(const std::string& user, const std::string& scripts, const std::vector<std::string>& args) {
    const std::map<std::string, std::string> env{{"QB_VIDEO", "headless"},   {"QB_CLOCK", "virtual"},
                                                 {"QB_AUDIO", "null"},       {"QB_SEED", "7"},
                                                 {"QB_SCRIPT_DIR", scripts}, {"QB_MAX_TICKS", "200000"},
                                                 {"XDG_DATA_HOME", Data(user)}};
    if (::geteuid() != 0) return RunProgram(lobbo_, args, env, "/");
    std::vector<std::string> asNobody{"--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNobody),
                                      "--clear-groups", "--", lobbo_};
    asNobody.insert(asNobody.end(), args.begin(), args.end());
    return RunProgram("/usr/bin/setpriv", asNobody, env, "/");
  }
  std::string Data(const std::string& user) { return work_ + "/" + user + "-data"; }

  // The title menu of user's launcher, as text.
  std::string TitleMenu(const std::string& user) {
    const std::string scripts = PlayerFolder(user + "-title");
    WriteScript(scripts, "01-Lobbo.txt", "100 dump title.txt\n200 tap ESC\n");
    const ProgramResult run = Play(user, scripts, {"Quibbleton"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    return ReadFile(scripts + "/title.txt");
  }

  std::string work_, prefix_, lobbo_, tree_;
  std::map<std::string, std::string> before_;
};

TEST_F(InstalledRun, PlayersKeepTheirOwnScoresAndSwitchesAndTheTreeStaysUntouched) {
  PlayerFolder("ann-data");
  const std::string scripts = PlayerFolder("ann-round-trip");
  // The launcher: the game's title menu, sound effects off, the second player, Play.
  WriteScript(scripts, "01-Lobbo.txt", Click(100, kSlot1) + Click(300, kSfx) + Click(500, kNameField2) + Click(700, kPlay));
  // The game: clicks over the board's lower rows, then a new game (scoring the first) and the menu.
  std::string game = Click(100, kGameNewGame);
  int tick = 400;
  for (int row = 9; row >= 6; row -= 3)
    for (int col = 0; col < 15; col += 2, tick += 1500)
      game += Click(tick, Point{137 + col * 41 + 20, 10 + row * 55 + 27});
  game += Click(tick, kGameNewGame) + Click(tick + 3000, kGameMenu);
  WriteScript(scripts, "02-Quibbleton.txt", game);
  WriteScript(scripts, "03-Lobbo.txt", Click(100, kHighScores) + "400 shot hall.bmp\n500 tap ESC\n");

  const ProgramResult first = Play("ann", scripts, {});
  ASSERT_EQ(first.exitCode, 0) << first.errors;
  // The game and the launcher after it run on their own; the hall's frame ends the wait.
  const auto frameSize = static_cast<uintmax_t>(800 * 600 * 3 + 54);
  const std::string hallFrame = scripts + "/hall.bmp";
  for (int i = 0; i < 2400 && !(fs::exists(hallFrame) && fs::file_size(hallFrame) == frameSize); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(fs::exists(scripts + "/03-Lobbo.taken"));
  ASSERT_TRUE(fs::exists(hallFrame));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  // The written files are the user's, at their paths in the tree.
  const std::string data = Data("ann") + "/lobbo";
  const std::string options = ReadFile(data + "/options.ini");
  EXPECT_NE(options.find("SFX=N"), std::string::npos) << options;
  EXPECT_NE(options.find("playerid=1"), std::string::npos) << options;
  HighScoreTable table;
  table.Resize(20);
  ASSERT_EQ(table.Load((data + "/Quibbleton/hiscore.dat").c_str()), 1);
  EXPECT_GT(table.Entry(0)->score, 0);
  EXPECT_EQ(table.Entry(1)->score, 0);
  // The hall of fame shows it: one inked row.
  const Picture hall = Load(hallFrame), empty = Load(tree_ + "/HallOfFameScreen.bmp");
  ASSERT_TRUE(hall.Loaded() && empty.Loaded());
  int inkedRows = 0;
  for (int r = 0; r < 2; ++r) {
    int differs = 0;
    for (int j = 275 + 26 * r; j < 295 + 26 * r; ++j)
      for (int i = 56; i < 500; ++i) differs += hall.At(53 + i, 18 + j) != empty.At(i, j);
    inkedRows += differs > 0;
  }
  EXPECT_EQ(inkedRows, 1);

  // The switch persists for this user; another user starts from the installed defaults.
  EXPECT_NE(TitleMenu("ann").find("player 1\n"), std::string::npos);
  EXPECT_NE(TitleMenu("ann").find("sfx off\n"), std::string::npos);
  PlayerFolder("bo-data");
  const std::string bo = TitleMenu("bo");
  EXPECT_NE(bo.find("screen title\ngame Quibbleton\nplayer 0\n"), std::string::npos) << bo;
  EXPECT_NE(bo.find("sfx on\n"), std::string::npos) << bo;
  EXPECT_FALSE(fs::exists(Data("bo") + "/lobbo/Quibbleton/hiscore.dat"));

  EXPECT_EQ(Listing(tree_), before_);
}

}  // namespace
