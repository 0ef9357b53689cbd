// The waiting policy in one place. Drivers and links wait for a receiver in
// two ways: a plain sleep (serial lines), or short steps that let pending
// socket notifications through. Neither lets user input re-enter a driver in
// the middle of a sequence.
#pragma once

namespace platform {

// Sleeps through the injectable sleeper.
void sleepMs(int ms);

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
