#include "game/game_screen.h"

GameScreen gameScreen;

GameScreen::GameScreen() { SetName("balloon"); }

// Until the game itself lands, a frame only presents.
int GameScreen::Run(int) { return Flip() ? 1 : 0; }
