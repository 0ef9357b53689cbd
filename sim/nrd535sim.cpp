// NRD535 command codec: parses each CR-ended command, changes the state and
// formats the records the receiver answers.
#include "nrd535sim.h"

#include <algorithm>

#include "platform/numbers.h"

namespace sim {

namespace {

constexpr std::size_t kMaxCommand = 64;

std::string digit(int value)
{
    return std::string(1, static_cast<char>('0' + value));
}

// A single-digit argument in [low, high] that makes up the whole rest of the command.
std::optional<int> singleDigit(std::string_view rest, int low, int high)
{
    auto value = parseDigits(rest, 1);
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::string channelFields(const Nrd535Channel& c)
{
    return digit(c.attenuator) + digit(c.filter) + digit(c.mode) + platform::formatInt(c.frequency, 8, true) +
           digit(c.agc);
}

}  // namespace

Nrd535Sim::Nrd535Sim(Options options) : SimReceiver(-1), m_options(options), m_random(options.seed) {}

Frames Nrd535Sim::feed(std::string_view bytes)
{
    Frames out;
    for (std::string& text : takeCommands(bytes, '\r', kMaxCommand)) {
        // Some terminals send CR LF; the receiver skips the LF.
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        Frames replies = command(text);
        out.insert(out.end(), replies.begin(), replies.end());
    }
    return out;
}

std::string Nrd535Sim::identification() const
{
    return m_options.hOption ? "NRD-535 H\r" : "NRD-535\r";
}

std::string Nrd535Sim::statusRecord() const
{
    const Nrd535State& s = m_state;
    return "I" + digit(s.attenuator) + digit(s.filter) + digit(s.mode) + platform::formatInt(s.frequency, 8, true) +
           digit(s.agc) + "\r";
}

std::string Nrd535Sim::channelRecord(int channel) const
{
    const auto& slot = m_state.channels.at(static_cast<std::size_t>(channel));
    Nrd535Channel empty{0, 0, 0, 0, 0};
    return "L" + platform::formatInt(channel, 3, true) + channelFields(slot ? *slot : empty) + "\r";
}

int Nrd535Sim::nextSmeter()
{
    m_smeterWander = std::clamp(m_smeterWander + m_random.between(-6, 6), -40, 40);
    int raw = m_state.smeterBase + m_smeterWander + (m_state.attenuator ? 20 : 0);
    return std::clamp(raw, 0, 255);
}

bool Nrd535Sim::panelMode(int digit)
{
    if (digit < 0 || digit > 8) {
        return false;
    }
    // The mode changes, the tuned frequency stays.
    m_state.mode = digit;
    leaveChannel();
    return true;
}

bool Nrd535Sim::recallChannel(int channel)
{
    if (channel < 0 || channel >= Nrd535State::kChannelCount) {
        return false;
    }
    const auto& slot = m_state.channels[static_cast<std::size_t>(channel)];
    if (!slot) {
        return false;
    }
    // The receiver takes every stored field at once: frequency and mode
    // together, whatever mode it was in.
    m_state.attenuator = slot->attenuator;
    m_state.filter = slot->filter;
    m_state.mode = slot->mode;
    m_state.frequency = slot->frequency;
    m_state.agc = slot->agc;
    m_state.channel = channel;
    return true;
}

bool Nrd535Sim::changesReceiver(std::string_view t) const
{
    if (t.empty()) {
        return false;
    }
    switch (t.front()) {
    case 'F':
    case 'D':
    case 'G':
    case 'A':
    case 'B':
    case 'C':
    case 'J':
    case 'K':
    case 'R': return true;
    case 'N':
    case 'W': return t.size() > 1;
    case 'U':
        // U1 and U2 alone are queries; U6 is a set-up switch the receiver takes in local too.
        return t.size() > 2 && t[1] != '6';
    default: return false;
    }
}

bool Nrd535Sim::setFrequency(std::string_view digits)
{
    auto hz = parseDigits(digits, 8);
    if (!hz || *hz < Nrd535State::kMinFrequency || *hz > Nrd535State::kMaxFrequency) {
        return false;
    }
    m_state.frequency = static_cast<std::int32_t>(*hz);
    leaveChannel();
    return true;
}

bool Nrd535Sim::writeChannel(std::string_view f)
{
    // ccc a f m ffffffff g
    if (f.size() != 15) {
        return false;
    }
    auto channel = parseDigits(f.substr(0, 3), 3);
    auto att = singleDigit(f.substr(3, 1), 0, 1);
    auto filter = singleDigit(f.substr(4, 1), 0, 3);
    auto mode = singleDigit(f.substr(5, 1), 0, 8);
    auto hz = parseDigits(f.substr(6, 8), 8);
    auto agc = singleDigit(f.substr(14, 1), 0, 2);
    if (!channel || *channel >= Nrd535State::kChannelCount || !att || !filter || !mode || !hz || !agc) {
        return false;
    }
    auto& slot = m_state.channels[static_cast<std::size_t>(*channel)];
    if (*hz == 0) {
        slot.reset();
        return true;
    }
    if (*hz < Nrd535State::kMinFrequency || *hz > Nrd535State::kMaxFrequency) {
        return false;
    }
    slot = Nrd535Channel{*att, *filter, *mode, static_cast<std::int32_t>(*hz), *agc};
    return true;
}

Frames Nrd535Sim::command(std::string_view t)
{
    Nrd535State& s = m_state;
    if (t.empty()) {
        return {};
    }
    if (changesReceiver(t) && !s.remote) {
        return {};
    }
    const std::string_view rest = t.substr(1);
    switch (t.front()) {
    case '?': return rest.empty() ? Frames{identification()} : Frames{};
    case 'H':
        if (rest.empty()) {
            return {std::string("H") + (s.remote ? "1" : "0") + "\r"};
        }
        if (auto v = singleDigit(rest, 0, 1)) {
            s.remote = *v == 1;
        }
        return {};
    case 'I':
        if (rest.empty()) {
            return {statusRecord()};
        }
        if (auto v = singleDigit(rest, 0, 1)) {
            s.autoStatus = *v == 1;
        }
        return {};
    case 'Q': return rest.empty() ? Frames{"Q" + digit(s.squelch) + "\r"} : Frames{};
    case 'M': return rest.empty() ? Frames{"M" + platform::formatInt(nextSmeter(), 3, true) + "\r"} : Frames{};
    case 'N':
        if (rest.empty()) {
            return {"N" + digit(s.noiseBlanker) + "\r"};
        }
        if (auto v = singleDigit(rest, 0, 2)) {
            s.noiseBlanker = *v;
        }
        return {};
    case 'W':
        if (!m_options.hOption) {
            return {};
        }
        if (rest.empty()) {
            return {"W" + platform::formatInt(s.variableBandwidth, 4, true) + "\r"};
        }
        if (auto v = parseDigits(rest, 4); v && (*v == 0 || *v >= 100)) {
            s.variableBandwidth = static_cast<int>(*v);
        }
        return {};
    case 'F': setFrequency(rest); return {};
    case 'D':
        if (auto v = singleDigit(rest, 0, 8)) {
            s.mode = *v;
            leaveChannel();
        }
        return {};
    case 'G':
        if (auto v = singleDigit(rest, 0, 2)) {
            s.agc = *v;
            leaveChannel();
        }
        return {};
    case 'A':
        if (auto v = singleDigit(rest, 0, 1)) {
            s.attenuator = *v;
            leaveChannel();
        }
        return {};
    case 'B':
        if (auto v = singleDigit(rest, 0, 3)) {
            s.filter = *v;
            leaveChannel();
        }
        return {};
    case 'C':
        if (auto ch = parseDigits(rest, 3); ch && *ch < Nrd535State::kChannelCount) {
            recallChannel(static_cast<int>(*ch));
        }
        return {};
    case 'J':
        if (rest.size() == 4 && rest.front() == '1') {
            if (auto ch = parseDigits(rest.substr(1), 3); ch && *ch < Nrd535State::kChannelCount) {
                s.channels[static_cast<std::size_t>(*ch)] =
                    Nrd535Channel{s.attenuator, s.filter, s.mode, s.frequency, s.agc};
            }
        }
        return {};
    case 'K': writeChannel(rest); return {};
    case 'L': {
        if (rest.size() != 6) {
            return {};
        }
        auto first = parseDigits(rest.substr(0, 3), 3);
        auto last = parseDigits(rest.substr(3, 3), 3);
        if (!first || !last || *first > *last || *last >= Nrd535State::kChannelCount) {
            return {};
        }
        Frames records;
        for (auto ch = *first; ch <= *last; ++ch) {
            records.push_back(channelRecord(static_cast<int>(ch)));
        }
        return records;
    }
    case 'R':
        if (rest.size() == 5 && rest.front() == '1') {
            auto hh = parseDigits(rest.substr(1, 2), 2);
            auto mm = parseDigits(rest.substr(3, 2), 2);
            if (hh && mm && *hh < 24 && *mm < 60) {
                s.clockHours = static_cast<int>(*hh);
                s.clockMinutes = static_cast<int>(*mm);
            }
        }
        return {};
    case 'U': {
        if (rest.empty()) {
            return {};
        }
        const std::string_view arg = rest.substr(1);
        switch (rest.front()) {
        case '1':
            if (arg.empty()) {
                return {std::string("U1") + (s.hfFilter ? "1" : "0") + "\r"};
            }
            if (auto v = singleDigit(arg, 0, 1)) {
                s.hfFilter = *v == 1;
            }
            return {};
        case '2':
            if (arg.empty()) {
                return {"U2" + platform::formatInt(s.bfo) + "\r"};
            }
            // "U2+%04d" / "U2-%04d": the sign is required, four digits follow.
            if (arg.size() == 5 && (arg.front() == '+' || arg.front() == '-')) {
                if (auto v = parseDigits(arg.substr(1), 4); v && *v <= 5000) {
                    s.bfo = static_cast<int>(arg.front() == '-' ? -*v : *v);
                }
            }
            return {};
        case '5':
            if (auto ch = parseDigits(arg, 3); ch && *ch < Nrd535State::kChannelCount) {
                s.channels[static_cast<std::size_t>(*ch)].reset();
            }
            return {};
        case '6':
            if (auto v = singleDigit(arg, 0, 9)) {
                s.u6 = *v;
            }
            return {};
        default: return {};
        }
    }
    default: return {};
    }
}

}  // namespace sim
