// Base of the game object: three lifecycle hooks, two best-score hooks and
// plain integer properties. The virtual operations keep this order (slots
// 0-23); a derived game overrides NewGame, Cleanup and Update and appends
// its own after them.
#pragma once

#include <cstdint>

class GameBase {
 public:
  static constexpr int kBestScores = 10;

  virtual void NewGame() {}                 // 0
  virtual void Cleanup() {}                 // 1
  virtual void Reserved2() {}               // 2
  virtual void Reserved3() {}               // 3
  // The best-score hooks work on memory only: bestScores[gameIndex] is the
  // stored best of this game. They never touch a file, so no other layout
  // of "hiscore.dat" can ever be written. 0 when gameIndex is outside 0..9.
  virtual int LoadBestScore();              // 4: bestScore = bestScores[gameIndex]
  virtual int SaveBestScore();              // 5: bestScores[gameIndex] = bestScore
  virtual int Update() { return -1; }       // 6
  virtual int GetState() { return state; }  // 7
  virtual void SetState(int value) { state = value; }
  virtual int SetScore(int value) { return score = value; }
  virtual int GetScore() { return score; }  // 10
  virtual void SetBestScore(int value) { bestScore = value; }
  virtual void SetTimeLimit(int value) { timeLimit = value; }
  virtual int GetTimeLimit() { return timeLimit; }
  virtual void SetTimeBonus(int value) { timeBonus = value; }
  virtual int GetTimeBonus() { return timeBonus; }  // 15
  virtual void SetExtraValue(int value) { extraValue = value; }
  virtual int GetExtraValue() { return extraValue; }
  virtual void SetGameTime(int value) { gameTime = value; }
  virtual int GetGameTime() { return gameTime; }
  virtual void SetFlags(int value) { flags = value; }  // 20
  virtual int GetFlags() { return flags; }
  virtual void SetGameIndex(int value) { gameIndex = value; }
  virtual int GetGameIndex() { return gameIndex; }  // 23
  // After the 24 slots so their order stays as above.
  virtual ~GameBase() = default;

  int BestScore() const { return bestScore; }

 protected:
  // Fields that the game leaves unset start at 0 here rather than undefined.
  int32_t state = 0;
  int32_t score = 0;
  int32_t bestScore = 0;
  int32_t gameIndex = 0;
  int32_t bestScores[kBestScores] = {};
  int32_t flags = 0;
  int32_t timeLimit = 0;
  int32_t timeBonus = 0;
  int32_t gameTime = 0;
  int32_t extraValue = 0;
};
