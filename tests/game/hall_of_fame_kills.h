// Games killed with SIGKILL while they save scores: writer processes enter
// scores with replays into one folder's hall of fame until they are killed at
// a random moment; then the folder is checked for drift between the table
// and its replays, once at once and once after the next save, which must
// repair what a kill left. Shared by the game's tests and the kill benchmark.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "game/replay_store.h"
#include "game/rules/replay.h"
#include "records/high_score_table.h"

namespace hofkills {

namespace fs = std::filesystem;

// One save of a game: the scores (the last with the replay) into "hiscore.dat"
// and "replays\" of the current folder; the table is the game's own memory.
using SaveScores = std::function<void(HighScoreTable& table, const std::vector<HighScoreTable::PendingEntry>& scores,
                                      const std::string& replay)>;

inline void SaveAsTheGameDoes(HighScoreTable& table, const std::vector<HighScoreTable::PendingEntry>& scores,
                              const std::string& replay) {
  replay_store::SaveScores(table, "hiscore.dat", scores, replay);
}

struct Drift {
  int withoutReplay = 0;  // entries whose replay is missing
  int orphans = 0;        // replays no entry names
  int leftovers = 0;      // temporary files of killed saves in the replays' folder
  int Total() const { return withoutReplay + orphans + leftovers; }
};

inline Drift CountDrift(const fs::path& folder) {
  Drift drift;
  HighScoreTable table;
  table.Resize(20);
  table.Load((folder / "hiscore.dat").c_str());
  std::set<std::string> named;
  for (int i = 0; i < table.Count(); ++i)
    if (const HighScoreEntry* e = table.Entry(i); e->name[0] != '\0')
      named.insert(quibbleton::ReplayFileName(e->name, e->score));
  std::set<std::string> present;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder / "replays", ignored)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file()) continue;
    if (replay_store::IsReplayFileName(name))
      present.insert(name);
    else if (name.find(".qbtmp-") != std::string::npos)
      ++drift.leftovers;
  }
  for (const std::string& name : named) drift.withoutReplay += !present.count(name);
  for (const std::string& name : present) drift.orphans += !named.count(name);
  return drift;
}

// A process that runs body in folder and ends without running the parent's exit handlers.
inline pid_t StartIn(const fs::path& folder, const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(2);
    body();
    _exit(0);
  }
  return pid;
}

// Enters random scores of a few players (each with its replay) for ever,
// reading the table back before each game as the game does at New game.
inline void SaveForEver(const SaveScores& save, unsigned seed) {
  std::mt19937 random(seed);
  for (int game = 0;; ++game) {
    HighScoreTable table;
    table.Resize(20);
    table.Load("hiscore.dat");
    const std::string name = "Player " + std::to_string(random() % 6) + ":::N";
    const int score = static_cast<int>(random() % 100000);
    save(table, {{name, score}}, "quibbleton-replay 1\nseed " + std::to_string(seed) + "-" + std::to_string(game) + "\n");
  }
}

struct Tally {
  int runs = 0;
  int driftedAtKill = 0;         // runs whose folder drifted right after the kill
  int withoutReplayAtKill = 0;   // of them, runs with an entry left without its replay
  int driftedAfterNextSave = 0;  // runs still drifting after the next save
  Drift total;                   // drift after the next save, summed
};

// runs kills of `writers` processes saving into one folder at once, each
// after a random 0..maxDelayUs, then one save that gets in.
inline Tally KillWhileSaving(const fs::path& root, int runs, int writers, int maxDelayUs, unsigned seed,
                             const SaveScores& save) {
  std::mt19937 random(seed);
  Tally tally;
  for (int run = 0; run < runs; ++run) {
    const fs::path folder = root / ("run" + std::to_string(run));
    fs::create_directories(folder);
    std::vector<pid_t> pids;
    for (int w = 0; w < writers; ++w) {
      const unsigned writerSeed = random();
      pids.push_back(StartIn(folder, [&] { SaveForEver(save, writerSeed); }));
    }
    usleep(static_cast<useconds_t>(random() % (maxDelayUs + 1)));
    for (pid_t pid : pids) kill(pid, SIGKILL);
    for (pid_t pid : pids) waitpid(pid, nullptr, 0);
    const Drift atKill = CountDrift(folder);
    tally.driftedAtKill += atKill.Total() > 0;
    tally.withoutReplayAtKill += atKill.withoutReplay > 0;

    const pid_t next = StartIn(folder, [&] {
      HighScoreTable table;
      table.Resize(20);
      table.Load("hiscore.dat");
      save(table, {{"Next:::N", 200000 + run}}, "quibbleton-replay 1\nseed next\n");
    });
    int status = 0;
    waitpid(next, &status, 0);
    const Drift after = CountDrift(folder);
    tally.driftedAfterNextSave += after.Total() > 0;
    tally.total.withoutReplay += after.withoutReplay;
    tally.total.orphans += after.orphans;
    tally.total.leftovers += after.leftovers;
    ++tally.runs;
    fs::remove_all(folder);
  }
  return tally;
}

}  // namespace hofkills
