// The launcher's state as text for scripted runs ("dump PATH"): the current
// screen, the page and its games, the selected game, the players and the
// sound switches, the buttons of the screen, and where the keyboard focus is
// (on the screen, and on the pop-up when one is open).
#pragma once

#include <string>

std::string DescribeLauncher();
