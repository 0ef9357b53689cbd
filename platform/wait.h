// The waiting policy in one place. Drivers and links wait for a receiver in
// two ways: a plain sleep (serial lines), or short steps that let pending
// socket notifications through. Neither lets user input re-enter a driver in
// the middle of a sequence.
#pragma once

namespace platform {

class Sleeper;

// Sleeps through the injectable sleeper.
void sleepMs(int ms);

// A pause the receiver needs between commands (between the characters of a
// frame, after a frame, between the steps of a dialogue), as opposed to a
// wait for its answer. Sleeps through the injectable sleeper like any wait,
// unless a pause sleeper is installed: the end-to-end tests shorten the
// pauses, which their simulated receivers do not need.
void pauseMs(int ms);
// Installs a sleeper for pauses only (nullptr: pauses sleep as any wait);
// returns the old one.
Sleeper* setPauseSleeper(Sleeper* replacement);

// Delivers pending events except user input (keys, mouse) so that socket
// and timer notifications arrive during a wait. Does nothing without a
// running Qt application object.
void processPendingEvents();

// How many processPendingEvents calls are on the stack: non-zero while a
// wait delivers events. Poll timers use it to keep one receiver's tick out
// of another receiver's wait.
int pumpingDepth();

// One wait step: deliver pending non-input events, then sleep stepMs.
void waitStep(int stepMs);

}  // namespace platform
