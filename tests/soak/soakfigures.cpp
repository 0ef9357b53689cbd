// The soak's schedule of faults and its figures.
#include "soakfigures.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace soak {

namespace {

constexpr std::array<const char*, kFaultKinds> kNames = {"clean",   "silence", "garbage",   "truncation",
                                                         "hang-up", "slow",    "corruption"};

double mib(std::int64_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

const char* faultName(Fault fault)
{
    return kNames.at(static_cast<std::size_t>(fault));
}

Spell nextSpell(const std::function<int(int, int)>& between)
{
    Spell spell;
    spell.fault = static_cast<Fault>(between(1, static_cast<int>(kFaultKinds) - 1));
    switch (spell.fault) {
    case Fault::Silence: spell.durationMs = between(4000, 7000); break;
    case Fault::Garbage:
        spell.durationMs = between(1500, 4000);
        spell.seed = static_cast<std::uint32_t>(between(1, 1 << 30));
        break;
    case Fault::Truncate:
        spell.durationMs = between(1500, 4000);
        spell.truncateTo = between(0, 2) == 0 ? -1 : between(1, 6);
        break;
    case Fault::HangUp: spell.durationMs = between(500, 3000); break;
    case Fault::Slow:
        spell.durationMs = between(2000, 5000);
        spell.delayMs = between(30, 400);
        break;
    case Fault::Corrupt:
        spell.durationMs = between(1500, 4000);
        spell.corruptAt = between(-4, 6);
        break;
    case Fault::Clean: break;
    }
    return spell;
}

sim::FaultPlan planFor(const Spell& spell)
{
    sim::FaultPlan plan;
    switch (spell.fault) {
    case Fault::Silence: plan.silenceAfter = 0; break;
    case Fault::Garbage:
        plan.garbageAfter = 0;
        plan.seed = spell.seed;
        break;
    case Fault::Truncate:
        plan.truncateAfter = 0;
        plan.truncateTo = spell.truncateTo;
        break;
    case Fault::HangUp: plan.hangUpAfter = 0; break;
    case Fault::Slow: plan.delayMs = spell.delayMs; break;
    case Fault::Corrupt:
        plan.corruptAfter = 0;
        plan.corruptAt = spell.corruptAt;
        break;
    case Fault::Clean: break;
    }
    return plan;
}

std::string describe(const sim::FaultPlan& plan)
{
    if (plan.silenceAfter >= 0) {
        return "no replies";
    }
    if (plan.garbageAfter >= 0) {
        return "random bytes, seed " + std::to_string(plan.seed);
    }
    if (plan.truncateAfter >= 0) {
        return plan.truncateTo < 0 ? "replies cut in half" : "replies cut to " + std::to_string(plan.truncateTo);
    }
    if (plan.hangUpAfter >= 0) {
        return "line dropped at the next reply";
    }
    if (plan.corruptAfter >= 0) {
        return "byte " + std::to_string(plan.corruptAt) + " spoiled";
    }
    if (plan.delayMs > 0) {
        return "replies " + std::to_string(plan.delayMs) + " ms late";
    }
    return "none";
}

bool mustBeReported(Fault fault)
{
    return fault == Fault::Silence || fault == Fault::HangUp || fault == Fault::Garbage || fault == Fault::Truncate;
}

bool reportedBy(Fault fault, bool connectionLost, bool dataError)
{
    switch (fault) {
    case Fault::Silence:
    case Fault::HangUp: return connectionLost;
    case Fault::Garbage:
    case Fault::Truncate: return connectionLost || dataError;
    default: return true;
    }
}

std::string expectedReport(Fault fault)
{
    switch (fault) {
    case Fault::Silence:
    case Fault::HangUp: return "RxConnState with an error code";
    case Fault::Garbage:
    case Fault::Truncate: return "RxDataError, or RxConnState with an error code";
    default: return "nothing";
    }
}

std::string formatFigures(const Figures& f, double seconds, bool final)
{
    char line[512];
    std::string out;
    std::snprintf(line, sizeof line, "soak: %s after %.0f s\n", final ? "summary" : "figures", seconds);
    out += line;
    out += "  faults injected (reported):";
    long total = 0;
    for (std::size_t k = 1; k < kFaultKinds; ++k) {
        const auto fault = static_cast<Fault>(k);
        std::snprintf(line, sizeof line, " %s %ld", kNames[k], f.injected[k]);
        out += line;
        if (mustBeReported(fault)) {
            std::snprintf(line, sizeof line, " (%ld)", f.reported[k]);
            out += line;
        }
        out += k + 1 < kFaultKinds ? "," : "\n";
        total += f.injected[k];
    }
    std::snprintf(line, sizeof line,
                  "  %ld faults (%ld not met by a poll or cut short by the end), %ld recoveries (slowest %.1f s), %ld "
                  "connect calls (%ld from a "
                  "handler)\n",
                  total, f.unnoticeable, f.recoveries, f.slowestRecovery, f.connectCalls, f.handlerReconnects);
    out += line;
    std::snprintf(line, sizeof line,
                  "  requests %ld: confirmed %ld, moved on by forwarding %ld, failed with the connection %ld, "
                  "given up by the driver %ld, pending for ever %ld; channel reads %ld (%ld refused); forwarding "
                  "changes %ld\n",
                  f.requestsMade, f.requestsConfirmed, f.requestsSuperseded, f.requestsFailed, f.requestsGivenUp,
                  f.requestsPendingForEver, f.channelReads, f.channelRefused, f.forwardChanges);
    out += line;
    std::snprintf(line, sizeof line, "  event loop held at most %.1f s at a time; known faults met %ld\n",
                  f.longestHold, f.knownFaults);
    out += line;
    std::snprintf(line, sizeof line, "  RSS start %.1f MiB, after warm-up %.1f MiB, %s %.1f MiB", mib(f.rssStart),
                  mib(f.rssWarm), final ? "end" : "now", mib(final ? f.rssEnd : f.rssNow));
    out += line;
    return out;
}

std::int64_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0;
    std::int64_t resident = 0;
    if (!(statm >> size >> resident)) {
        return 0;
    }
    return resident * static_cast<std::int64_t>(::sysconf(_SC_PAGESIZE));
}

std::string memoryGrowth(const Figures& f)
{
    if (f.rssWarm <= 0 || f.rssEnd <= 0) {
        return {};
    }
    const std::int64_t allowed = 8 * 1024 * 1024 + f.rssWarm / 10;
    if (f.rssEnd - f.rssWarm <= allowed) {
        return {};
    }
    char text[200];
    std::snprintf(text, sizeof text,
                  "memory grew from %.1f MiB after the warm-up to %.1f MiB at the end (allowed %.1f MiB)",
                  mib(f.rssWarm), mib(f.rssEnd), mib(allowed));
    return text;
}

}  // namespace soak
