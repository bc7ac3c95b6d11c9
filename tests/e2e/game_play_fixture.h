// The scripted, seeded game of the end-to-end tests: a game folder of its
// own beside a player's options, a script of clicks and keys, the run, its
// shots, dumps and "hiscore.dat", and the replays beside the table checked
// against their entries.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "game/rules/replay.h"
#include "game/rules/replay_verifier.h"
#include "game_frames.h"
#include "run_program.h"
#include "records/high_score_table.h"

namespace gamee2e {

namespace fs = std::filesystem;

constexpr char kProfile[] = "Bob Builder:12 Crane Street:bob@example.org:Y";

// Centre of a board cell, where a click lands on that head only.
inline int CellX(int cell) { return 137 + (cell % 15) * 41 + 20; }
inline int CellY(int cell) { return 10 + (cell / 15) * 55 + 27; }

class Script {
 public:
  void Add(int tick, const std::string& command) { text_ << tick << ' ' << command << '\n'; }
  void ClickCell(int tick, int cell, bool right) {
    Add(tick, std::string("click ") + (right ? "right " : "left ") + std::to_string(CellX(cell)) + " " +
                  std::to_string(CellY(cell)));
  }
  void ClickAt(int tick, int x, int y) { Add(tick, "click left " + std::to_string(x) + " " + std::to_string(y)); }
  std::string Text() const { return text_.str(); }

 private:
  std::ostringstream text_;
};

// The HUD buttons' centres.
constexpr int kNewGame[] = {50, 375};
constexpr int kHelp[] = {50, 431};
constexpr int kMenu[] = {50, 487};

class GamePlay : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qbplayXXXXXX";
    root_ = mkdtemp(tmpl);
    game_ = root_ + "/Quibbleton";
    fs::create_directories(game_);
    assets_ = fs::path(QB_GAME_EXE).parent_path().string();
    for (const auto& entry : fs::directory_iterator(assets_)) {
      const std::string name = entry.path().filename().string();
      if (name == "Quibbleton" || name == "hiscore.dat" || name == "setup.ini") continue;
      fs::create_symlink(entry.path(), fs::path(game_) / name);
    }
    std::ofstream(root_ + "/options.ini") << "[setup]\nmusic=N\nSFX=Y\nplayerid=1\n\n[Player2]\nname=Bob Builder\n"
                                             "address=12 Crane Street\nemail=bob@example.org\nsend=Y\n";
    WriteSetup(2, 300);
  }
  // A failed run keeps its frames for a look, and so does any run with QB_KEEP_FRAMES set.
  void TearDown() override {
    if (!HasFailure()) ExpectReplaysScoreTheTable();
    if (HasFailure() || std::getenv("QB_KEEP_FRAMES"))
      std::printf("frames kept in %s\n", root_.c_str());
    else
      fs::remove_all(root_);
  }

  void WriteSetup(int balloons, int gametime) {
    std::ofstream(game_ + "/setup.ini") << "[setup]\nfullscreen=0\nnowindow=0\n\n[default]\nballoons=" << balloons
                                        << "\ngametime=" << gametime << "\n";
  }

  ProgramResult Run(const Script& script, int seed, int maxTicks, const std::string& shellRecord = "") {
    std::ofstream(root_ + "/script.txt") << script.Text();
    std::map<std::string, std::string> env{{"QB_VIDEO", "headless"},
                                           {"QB_CLOCK", "virtual"},
                                           {"QB_AUDIO", "null"},
                                           {"QB_SEED", std::to_string(seed)},
                                           {"QB_SCRIPT", root_ + "/script.txt"},
                                           {"QB_MAX_TICKS", std::to_string(maxTicks)}};
    if (!shellRecord.empty()) env["QB_SHELL"] = "record:" + shellRecord;
    return RunProgram(QB_GAME_EXE, {root_}, env, game_);
  }

  std::string Shot(const std::string& name) const { return root_ + "/" + name + ".bmp"; }
  Picture Frame(const std::string& name) const { return Load(Shot(name)); }

  // The entries of the game's "hiscore.dat" (20 zeroed ones when it is missing).
  std::vector<HighScoreEntry> Table() const {
    HighScoreTable table;
    table.Resize(20);
    table.Load((game_ + "/hiscore.dat").c_str());
    std::vector<HighScoreEntry> entries;
    for (int i = 0; i < table.Count(); ++i) entries.push_back(*table.Entry(i));
    return entries;
  }

  // The replays beside the table verify to exactly their entries' scores;
  // only a game New game cut short is refused, for ending before its
  // countdown. The replays verified (entries a test wrote itself have none).
  int ExpectReplaysScoreTheTable() const {
    int verified = 0;
    for (const HighScoreEntry& entry : Table()) {
      if (entry.name[0] == '\0') continue;
      const fs::path file = fs::path(game_) / "replays" / quibbleton::ReplayFileName(entry.name, entry.score);
      std::ifstream in(file);
      if (!in.good()) continue;
      std::stringstream text;
      text << in.rdbuf();
      const quibbleton::Verdict verdict = quibbleton::VerifyReplayText(text.str());
      if (!verdict.ok) {
        EXPECT_NE(verdict.reason.find("ends before"), std::string::npos) << verdict.reason << "\n" << text.str();
        continue;
      }
      EXPECT_EQ(verdict.score, entry.score) << text.str();
      ++verified;
    }
    return verified;
  }

  std::string root_, game_, assets_;
};

// The first cell (scanning the board) whose group by that key the player may remove.
inline int FindRemovable(const Model& m, bool byFace, int minimum) {
  for (int cell = 0; cell < 150; ++cell) {
    if (m.cells[cell] < 0) continue;
    std::vector<int> group;
    m.Group(cell, byFace, group);
    if (static_cast<int>(group.size()) >= minimum) return cell;
  }
  return -1;
}

inline int FindSingle(const Model& m) {
  for (int cell = 0; cell < 150; ++cell) {
    if (m.cells[cell] < 0) continue;
    std::vector<int> group;
    m.Group(cell, false, group);
    if (group.size() == 1) return cell;
  }
  return -1;
}

// A state dump: "key value" lines, and the ten lines after "board".
struct Dump {
  std::map<std::string, std::string> fields;
  std::string board;
};

inline Dump ReadDump(const std::string& path) {
  Dump d;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line == "board") {
      for (int row = 0; row < 10 && std::getline(in, line); ++row) d.board += line + "\n";
      continue;
    }
    const size_t space = line.find(' ');
    d.fields[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
  }
  return d;
}

// The board New game deals in a run seeded with seed: the second deal, after
// the one the game screen makes when it comes up.
inline Model NewGameBoard(int seed) {
  lcg::srand(seed);
  Deal();
  return Model{Deal()};
}

}  // namespace gamee2e
