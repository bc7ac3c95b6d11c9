#include "game/game_base.h"

int GameBase::LoadBestScore() {
  if (gameIndex < 0 || gameIndex >= kBestScores) return 0;
  bestScore = bestScores[gameIndex];
  return 1;
}

int GameBase::SaveBestScore() {
  if (gameIndex < 0 || gameIndex >= kBestScores) return 0;
  bestScores[gameIndex] = bestScore;
  return 1;
}
