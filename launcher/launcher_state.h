// The launcher's state as text for scripted runs ("dump PATH"): the current
// screen, the page and its games, the selected game, the players and the
// sound switches, and the buttons of the screen.
#pragma once

#include <string>

std::string DescribeLauncher();
