// Fault injection applied to each reply frame.
#include "faultplan.h"

#include <algorithm>

namespace sim {

namespace {

bool reached(int after, int count)
{
    return after >= 0 && count >= after;
}

}  // namespace

FaultInjector::FaultInjector(FaultPlan plan)
    : m_plan(std::move(plan)), m_random(m_plan.seed), m_dropsLeft(std::max(0, m_plan.dropCount))
{
}

void FaultInjector::setPlan(const FaultPlan& plan)
{
    m_plan = plan;
    m_random = SimRandom(plan.seed);
    m_replies = 0;
    m_dropsLeft = std::max(0, plan.dropCount);
}

std::string FaultInjector::filterInput(std::string_view bytes, int* dropped)
{
    std::string data = takeHeld();
    data.append(bytes);
    const std::string& command = m_plan.dropCommand;
    if (command.empty() || m_dropsLeft <= 0) {
        return data;
    }
    std::string out;
    std::size_t pos = 0;
    while (m_dropsLeft > 0) {
        const std::size_t at = data.find(command, pos);
        if (at == std::string::npos) {
            break;
        }
        out.append(data, pos, at - pos);
        pos = at + command.size();
        --m_dropsLeft;
        if (dropped != nullptr) {
            ++*dropped;
        }
    }
    std::string rest = data.substr(pos);
    if (m_dropsLeft > 0) {
        // The longest tail that could still grow into the command waits.
        for (std::size_t k = std::min(rest.size(), command.size() - 1); k > 0; --k) {
            if (rest.compare(rest.size() - k, k, command, 0, k) == 0) {
                m_held = rest.substr(rest.size() - k);
                rest.resize(rest.size() - k);
                break;
            }
        }
    }
    out += rest;
    return out;
}

std::string FaultInjector::garble(const std::string& frame)
{
    if (!m_plan.garbageBytes.empty()) {
        return m_plan.garbageBytes;
    }
    // Random bytes in place of the text, keeping the line end, so that each
    // garbled reply arrives as one complete but unreadable record.
    std::size_t body = frame.size();
    while (body > 0 && (frame[body - 1] == '\r' || frame[body - 1] == '\n')) {
        --body;
    }
    std::string out = frame;
    for (std::size_t i = 0; i < body; ++i) {
        char c;
        do {
            c = static_cast<char>(m_random.next() & 0xFF);
        } while (c == '\r' || c == '\n');
        out[i] = c;
    }
    if (out.empty()) {
        out.push_back(static_cast<char>(0xFF));
    }
    return out;
}

FaultInjector::Outcome FaultInjector::apply(std::string frame)
{
    Outcome outcome;
    outcome.delayMs = std::max(0, m_plan.delayMs);
    const int count = m_replies;
    if (reached(m_plan.hangUpAfter, count)) {
        outcome.action = Action::HangUp;
        outcome.note = "hang-up";
        return outcome;
    }
    ++m_replies;
    if (reached(m_plan.silenceAfter, count)) {
        outcome.action = Action::Swallow;
        outcome.note = "silent";
        return outcome;
    }
    if (reached(m_plan.garbageAfter, count)) {
        frame = garble(frame);
        outcome.note = "garbled";
    }
    if (reached(m_plan.corruptAfter, count)) {
        // One byte off by one: a checksum or a length byte that no longer
        // fits the rest of the frame. A frame too short for the position
        // passes as it is.
        const auto size = static_cast<long>(frame.size());
        const long at = m_plan.corruptAt < 0 ? size + m_plan.corruptAt : m_plan.corruptAt;
        if (at >= 0 && at < size) {
            auto& b = frame[static_cast<std::size_t>(at)];
            b = static_cast<char>(static_cast<unsigned char>(b) + 1);
            outcome.note = "corrupted";
        }
    }
    if (reached(m_plan.truncateAfter, count) && !frame.empty()) {
        std::size_t keep = m_plan.truncateTo >= 0 ? static_cast<std::size_t>(m_plan.truncateTo) : frame.size() / 2;
        keep = std::min(keep, frame.size() - 1);
        frame.resize(keep);
        outcome.note = "truncated";
    }
    if (frame.empty()) {
        outcome.action = Action::Swallow;
    }
    outcome.bytes = std::move(frame);
    return outcome;
}

}  // namespace sim
