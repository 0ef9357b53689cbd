// The soak's schedule of faults, what each fault must produce, and its
// figures: pure pieces, apart from the run that uses them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "faultplan.h"

namespace soak {

enum class Fault { Clean, Silence, Garbage, Truncate, HangUp, Slow, Corrupt };
inline constexpr std::size_t kFaultKinds = 7;

const char* faultName(Fault fault);

// One fault spell: its kind, how long it lasts, and the details of the plan.
struct Spell {
    Fault fault = Fault::Clean;
    int durationMs = 0;
    int delayMs = 0;  // Slow
    int truncateTo = -1;  // Truncate: -1 half of each reply
    int corruptAt = 0;  // Corrupt
    std::uint32_t seed = 1;  // Garbage
};

// Draws the next spell from `between(low, high)` (inclusive), the line's
// seeded generator. Silences outlast the driver's silence limit (ten polls
// of 200 ms) with room for a slow machine; the other spells are shorter.
Spell nextSpell(const std::function<int(int, int)>& between);
// The simulator's plan for a spell; every switch starts at once.
sim::FaultPlan planFor(const Spell& spell);
std::string describe(const sim::FaultPlan& plan);

// Whether the driver must report the fault: a silent receiver and a dropped
// line end the connection (RxConnState with an error); garbage and cut
// frames are unusable replies (RxDataError) unless the connection ended over
// them. Slow replies within the time-out and a spoiled byte that still reads
// as a valid value (a digit one higher) can pass unnoticed.
bool mustBeReported(Fault fault);
bool reportedBy(Fault fault, bool connectionLost, bool dataError);
std::string expectedReport(Fault fault);

struct Figures {
    std::array<long, kFaultKinds> injected{};
    std::array<long, kFaultKinds> reported{};
    long unnoticeable = 0;
    long knownFaults = 0;  // findings of faults not mended yet
    double longestHold =
        0;  // the longest time the client waited for the event loop, s  // faults the driver had no chance to meet
    long recoveries = 0;
    double slowestRecovery = 0;
    long requestsMade = 0;
    long requestsConfirmed = 0;
    long requestsSuperseded = 0;  // moved on by forwarding before it was seen
    long requestsFailed = 0;  // the connection was lost before the answer
    long requestsGivenUp = 0;  // the driver gave it up: the receiver kept another value
    long requestsPendingForEver = 0;
    long channelReads = 0;
    long channelRefused = 0;
    long connectCalls = 0;
    long handlerReconnects = 0;
    long forwardChanges = 0;
    std::int64_t rssStart = 0;
    std::int64_t rssWarm = 0;
    std::int64_t rssNow = 0;
    std::int64_t rssEnd = 0;
};

std::string formatFigures(const Figures& figures, double seconds, bool final);

// Resident memory of this process in bytes (/proc/self/statm), 0 when unknown.
std::int64_t residentBytes();
// Growth allowed between the warm-up and the end: 8 MiB plus a tenth of the
// warm size. Empty when within it, else what to report.
std::string memoryGrowth(const Figures& figures);

}  // namespace soak
