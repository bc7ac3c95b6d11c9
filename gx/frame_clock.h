// The programs' only time base: a 10 ms periodic timer that advances a
// millisecond tick counter and runs a whole-seconds countdown. It only
// counts time: each frame reads the mouse on the main thread
// (MouseCursor::GetState).
#pragma once

#include <atomic>
#include <cstdint>

// 0 when started (also when the timer could not be created), 1 when the
// system cannot time at 10 ms.
int StartClock();
int StopClock();
int GetTicks();
// Signed difference ticks - t, so the 32-bit wrap changes nothing.
int TicksSince(int t);
// The tick value ms from now, wrapping like the counter (a plain
// GetTicks() + ms would overflow int near the wrap).
int TicksAfter(int ms);
void SetSecondsLeft(int n);
int GetSecondsLeft();
// The countdown's own clock, in ms: it runs only while the countdown does
// (a game's How to play stops both), and the countdown takes a second off
// each time it passes a whole second. The game's replays are timed on it.
int64_t CountdownMs();
// Puts the countdown's clock where the timer's current second stands (the
// seconds it has counted since the program started), so a new game's
// countdown turns its seconds with the timer's as it always has.
void ResetCountdownClock();
void StartCountdown();
void StopCountdown();
// How many ms of game time each ms of the clock makes: 1 as a rule, 2 to
// watch a replay at double speed, 0 to hold the game still (its ticks, the
// countdown, every wait and animation) while the frames go on being shown.
// The timer keeps its 10 ms period; only what a tick adds changes.
void SetClockRate(int rate);
int ClockRate();
// True while the periodic timer runs.
bool ClockRunning();
// The timer callback's body, exposed so tests can drive it step by step.
void ClockTick(int step);
// Puts the counter at value, as if the process had run that long (tests use
// it to cross the wrap). Only while no timer runs.
void SetTicks(int value);
