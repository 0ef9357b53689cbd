// Driver activity: marks the stretches in which driver code is on the stack
// (a client call, a poll tick, a receive). A receiver that waits for its
// receiver lets timer and socket events run, so another tick, receive or
// client call can arrive in the middle. Reconfiguring the driver or
// destroying receivers in such a moment would pull objects from under the
// code that is still running: the manager refuses reconfiguration while
// active and defers destruction until the outermost activity ends.
#pragma once

#include <functional>

namespace quorvin {

class ActivityScope {
public:
    ActivityScope();
    ~ActivityScope();
    ActivityScope(const ActivityScope&) = delete;
    ActivityScope& operator=(const ActivityScope&) = delete;

    // Number of nested activities now running.
    static int depth();
    static bool idle() { return depth() == 0; }
    // Runs the action now when idle, else as soon as the outermost activity
    // ends (in the order the actions were deferred).
    static void whenIdle(std::function<void()> action);
};

}  // namespace quorvin
