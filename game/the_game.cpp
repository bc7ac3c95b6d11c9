// The program's one game and its one screen, made for each other: each
// holds the other by reference, so both are defined here, in this order.
#include "game/game.h"
#include "game/game_screen.h"

Game game{gameScreen};
GameScreen gameScreen{game};
