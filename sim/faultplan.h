// Fault injection: what a line does to the frames its receivers answer.
// Every switch counts the replies of the current connection (for a pty, of
// the line's life) and starts once that many have gone out normally, so a
// client can connect cleanly and then meet the fault.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "simreceiver.h"

namespace sim {

struct FaultPlan {
    int silenceAfter = -1;  // stop answering after N replies (-1 off)
    int garbageAfter = -1;  // answer garbled bytes after N replies
    std::string garbageBytes;  // the garbage to send instead of each reply; empty: random bytes
    int truncateAfter = -1;  // cut replies short after N replies
    int truncateTo = -1;  // bytes kept of a cut reply; -1: half of it (always short of the whole)
    int hangUpAfter = -1;  // close the TCP client / hang up the pty instead of reply N+1
    int corruptAfter = -1;  // spoil one byte of every reply after N replies
    int corruptAt = -1;  // the byte spoiled (+1): from 0 at the front, -1 the last
    int delayMs = 0;  // delay every reply by this much
    std::uint32_t seed = 1;  // for the random garbage
    // Commands lost on their way in: the next `dropCount` occurrences of
    // these bytes never reach the receiver (a setter frame the line ate).
    std::string dropCommand;
    int dropCount = 0;

    bool any() const
    {
        return silenceAfter >= 0 || garbageAfter >= 0 || truncateAfter >= 0 || hangUpAfter >= 0 || corruptAfter >= 0 ||
               delayMs > 0 || (dropCount > 0 && !dropCommand.empty());
    }
};

class FaultInjector {
public:
    enum class Action { Send, Swallow, HangUp };
    struct Outcome {
        Action action = Action::Send;
        std::string bytes;
        int delayMs = 0;
        const char* note = "";  // what was done, for the trace
    };

    explicit FaultInjector(FaultPlan plan = {});

    // Replaces the plan and starts counting afresh.
    void setPlan(const FaultPlan& plan);
    const FaultPlan& plan() const { return m_plan; }
    // A new client took the line: counting starts afresh.
    void newConnection() { m_replies = 0; }
    int replies() const { return m_replies; }

    // Decides what becomes of one reply frame.
    Outcome apply(std::string frame);

    // What of the bytes that came in reaches the receiver: the commands to
    // drop are cut out. A tail that may be the start of one is held back
    // until the next bytes (or takeHeld()) tell. `dropped` counts the
    // commands cut out.
    std::string filterInput(std::string_view bytes, int* dropped = nullptr);
    // The bytes held back, released as they are.
    std::string takeHeld() { return std::exchange(m_held, std::string()); }
    bool holds() const { return !m_held.empty(); }
    int dropsLeft() const { return m_dropsLeft; }

private:
    std::string garble(const std::string& frame);

    FaultPlan m_plan;
    SimRandom m_random;
    int m_replies = 0;
    int m_dropsLeft = 0;
    std::string m_held;
};

}  // namespace sim
