// RA1792 command codec: adapter frames, addressed receiver commands and the
// status reply.
#include "ra1792sim.h"

#include <algorithm>
#include <cmath>

#include "platform/numbers.h"

namespace sim {

namespace {

constexpr std::size_t kMaxLine = 128;

}  // namespace

Ra1792Sim::Ra1792Sim(int address) : SimReceiver(address) {}

Frames Ra1792Sim::feed(std::string_view bytes)
{
    Frames out;
    for (std::string& text : takeCommands(bytes, '\n', kMaxLine)) {
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        Frames replies = line(text);
        out.insert(out.end(), replies.begin(), replies.end());
    }
    return out;
}

Frames Ra1792Sim::line(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    if (text.front() != '$') {
        if (!isLineLeader()) {
            return {};
        }
        if (text == "?") {
            return {adapterIdentification()};
        }
        if (text == "R") {
            ++m_adapterResets;
        }
        return {};
    }
    if (text.size() < 4) {
        return {};
    }
    auto address = parseDigits(text.substr(1, 2), 2);
    if (!address || *address != this->address()) {
        return {};
    }
    return command(text.substr(3));
}

std::string Ra1792Sim::statusReply() const
{
    const Ra1792State& s = m_state;
    std::string reply;
    if (s.mode == 3) {
        reply += "B" + platform::formatFixed(s.bfo / 1000.0, 2);
    }
    reply += "F" + platform::formatFixed(s.frequency / 1e6, 6);
    reply += "D" + platform::formatInt(s.mode);
    reply += "I" + platform::formatInt(s.filter);
    reply += "M" + platform::formatInt(s.agc);
    if (s.agc >= 4) {
        reply += "A" + platform::formatInt(s.gain);
    }
    reply += "X" + platform::formatInt(s.x);
    return reply + "\r\n";
}

Frames Ra1792Sim::command(std::string_view t)
{
    Ra1792State& s = m_state;
    if (t == "G") {
        return {statusReply()};
    }
    if (t == "R") {
        s.remote = true;
        return {};
    }
    if (t == "L") {
        s.remote = false;
        return {};
    }
    if (t == "P") {
        ++s.presets;
        return {};
    }
    if (t == "TI" || t == "TR") {
        ++s.tests;
        return {};
    }
    // Everything else sets something and needs remote control.
    if (!s.remote || t.size() < 2) {
        return {};
    }
    const std::string_view arg = t.substr(1);
    switch (t.front()) {
    case 'F':
        if (auto mhz = parseDecimal(arg)) {
            const double hz = std::floor(*mhz * 1e6 + 0.5);
            if (hz >= Ra1792State::kMinFrequency && hz <= Ra1792State::kMaxFrequency) {
                s.frequency = static_cast<std::int32_t>(hz);
            }
        }
        break;
    case 'B':
        if (auto khz = parseDecimal(arg)) {
            const double hz = std::round(*khz * 1000.0);
            if (std::fabs(hz) <= Ra1792State::kMaxBfo) {
                s.bfo = static_cast<int>(hz);
            }
        }
        break;
    case 'D':
        if (auto v = codeIn(arg, 1, 6)) {
            s.mode = *v;
        }
        break;
    case 'M':
        if (auto v = codeIn(arg, 1, 7)) {
            s.agc = *v;
        }
        break;
    case 'A':
        if (auto v = codeIn(arg, 0, 255)) {
            s.gain = *v;
        }
        break;
    case 'I':
        if (auto v = codeIn(arg, 0, Ra1792State::kFilterCodes - 1)) {
            s.filter = *v;
        }
        break;
    default: break;
    }
    return {};
}

}  // namespace sim
