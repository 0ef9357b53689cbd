// NDX264 codec: 0x11/0x04 frames in, commands split at ";", the one-frame
// status and the identification out.
#include "ndx264sim.h"

#include <algorithm>
#include <optional>

#include "platform/numbers.h"

namespace sim {

namespace {

// kHz with up to two decimals, optionally signed → Hz, exactly (no floating
// point): "7050.00" → 7050000, "-1.9" → -1900. Nothing for anything else.
std::optional<std::int64_t> kilohertz(std::string_view text, bool allowSign)
{
    bool negative = false;
    if (allowSign && !text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    if (whole.empty() || whole.size() > 6 || fraction.size() > 2 ||
        (point != std::string_view::npos && fraction.empty())) {
        return std::nullopt;
    }
    auto khz = parseDigits(whole, whole.size());
    if (!khz) {
        return std::nullopt;
    }
    std::int64_t hz = *khz * 1000;
    if (!fraction.empty()) {
        auto f = parseDigits(fraction, fraction.size());
        if (!f) {
            return std::nullopt;
        }
        hz += fraction.size() == 1 ? *f * 100 : *f * 10;
    }
    return negative ? -hz : hz;
}

std::string khzText(std::int64_t hz)
{
    return platform::formatFixed(static_cast<double>(hz) / 1000.0, 2);
}

}  // namespace

Ndx264Sim::Ndx264Sim(Options options) : SimReceiver(-1), m_options(options), m_random(options.seed) {}

void Ndx264Sim::resetInput()
{
    SimReceiver::resetInput();
    m_inFrame = false;
}

std::string Ndx264Sim::frame(std::string_view text)
{
    return std::string(1, kStart) + std::string(text) + "\r\n" + std::string(1, kEnd);
}

Frames Ndx264Sim::feed(std::string_view bytes)
{
    Frames out;
    for (char c : bytes) {
        if (c == kStart) {
            if (m_inFrame) {
                ++m_state.refused;  // the frame before never ended
            }
            m_inFrame = true;
            m_input.clear();
            continue;
        }
        if (!m_inFrame) {
            continue;  // noise between frames
        }
        if (c == kEnd) {
            m_inFrame = false;
            std::string body = std::move(m_input);
            m_input.clear();
            if (body.size() < 2 || body.compare(body.size() - 2, 2, "\r\n") != 0) {
                ++m_state.refused;
                continue;
            }
            body.resize(body.size() - 2);
            Frames replies = frameText(body);
            out.insert(out.end(), replies.begin(), replies.end());
            continue;
        }
        m_input.push_back(c);
        if (m_input.size() > kMaxFrame) {
            ++m_state.refused;
            m_inFrame = false;
            m_input.clear();
        }
    }
    return out;
}

Frames Ndx264Sim::frameText(std::string_view text)
{
    Frames out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view part = text.substr(start, end - start);
        if (!part.empty()) {
            Frames replies = command(part);
            out.insert(out.end(), replies.begin(), replies.end());
        }
        start = end + 1;
    }
    return out;
}

int Ndx264Sim::nextSignal()
{
    m_wander = std::clamp(m_wander + m_random.between(-4, 4), -12, 12);
    return std::clamp(m_state.signalBase + m_wander - m_state.attenuation, 0, 140);
}

std::string Ndx264Sim::statusFrame()
{
    const Ndx264State& s = m_state;
    const std::string start(1, kStart);
    std::string text;
    const std::string khz = khzText(s.frequency);
    text += "F" + std::string(khz.size() < 7 ? 7 - khz.size() : 1, ' ') + khz + "\r\n";
    text += start + "M" + std::string(1, s.mode) + "\r\n";
    text += start + "B" + platform::formatInt(s.filter) + "\r\n";
    text += start + "BF" + khzText(s.bfo) + "\r\n";
    text += start + "C" + std::string(1, s.agc) + ";";
    text += start + "A" + platform::formatInt(s.attenuation) + "\r\n";
    text += start + "N" + platform::formatInt(nextSignal()) + "\r\n";
    text += start + "CAN" + (s.channel < 0 ? std::string("--") : platform::formatInt(s.channel, 2, true));
    return frame(text);
}

std::string Ndx264Sim::identificationFrame() const
{
    return frame(m_options.isb ? "T.264/ISB" : "T.264");
}

Frames Ndx264Sim::command(std::string_view t)
{
    Ndx264State& s = m_state;
    auto refused = [&s]() -> Frames {
        ++s.refused;
        return {};
    };
    auto channelNumber = [](std::string_view digits) -> std::optional<std::size_t> {
        auto n = parseDigits(digits, 2);
        return n ? std::optional<std::size_t>(static_cast<std::size_t>(*n)) : std::nullopt;
    };
    if (t == "?") {
        return {statusFrame()};
    }
    if (t == "MI") {
        return {identificationFrame()};
    }
    if (t == "G") {
        ++s.gainApplied;
        return {};
    }
    if (t.substr(0, 3) == "MEM") {
        auto ch = channelNumber(t.substr(3));
        if (!ch) {
            return refused();
        }
        s.channels[*ch] = Ndx264Channel{s.frequency, s.mode, s.bfo, s.filter, s.agc, s.attenuation};
        return {};
    }
    if (t.substr(0, 2) == "RM") {
        auto ch = channelNumber(t.substr(2));
        if (!ch) {
            return refused();
        }
        const Ndx264Channel& c = s.channels[*ch];
        s.frequency = c.frequency;
        s.mode = c.mode;
        s.bfo = c.bfo;
        s.filter = c.filter;
        s.agc = c.agc;
        s.attenuation = c.attenuation;
        s.channel = static_cast<int>(*ch);
        return {};
    }
    if (t.substr(0, 2) == "BF") {
        auto hz = kilohertz(t.substr(2), true);
        if (!hz || *hz < -Ndx264State::kMaxBfo || *hz > Ndx264State::kMaxBfo) {
            return refused();
        }
        s.bfo = static_cast<int>(*hz);
        leaveChannel();
        return {};
    }
    const char letter = t.front();
    const std::string_view arg = t.substr(1);
    switch (letter) {
    case 'F': {
        std::string_view number = arg;
        while (!number.empty() && number.front() == ' ') {
            number.remove_prefix(1);
        }
        auto hz = kilohertz(number, false);
        if (!hz || *hz > Ndx264State::kMaxFrequency) {
            return refused();
        }
        s.frequency = static_cast<std::int32_t>(*hz);
        leaveChannel();
        return {};
    }
    case 'M':
        if (arg.size() != 1 || std::string_view("ACULF").find(arg.front()) == std::string_view::npos) {
            return refused();
        }
        s.mode = arg.front();
        leaveChannel();
        return {};
    case 'C':
        if (arg.size() != 1 || std::string_view("-RLO").find(arg.front()) == std::string_view::npos) {
            return refused();
        }
        s.agc = arg.front();
        leaveChannel();
        return {};
    case 'A': {
        auto db = parseSignedDigits(arg);
        if (!db || arg.size() > 3 || (*db != 0 && *db != -6 && *db != -12 && *db != 12)) {
            return refused();
        }
        s.attenuation = static_cast<int>(*db);
        leaveChannel();
        return {};
    }
    case 'B': {
        auto digit = parseDigits(arg, 1);
        if (!digit || *digit > 7) {
            return refused();
        }
        s.filter = static_cast<int>(*digit);
        leaveChannel();
        return {};
    }
    case 'H': {
        // "H hh mm ss"
        if (arg.size() != 9 || arg[0] != ' ' || arg[3] != ' ' || arg[6] != ' ') {
            return refused();
        }
        auto hh = parseDigits(arg.substr(1, 2), 2);
        auto mm = parseDigits(arg.substr(4, 2), 2);
        auto ss = parseDigits(arg.substr(7, 2), 2);
        if (!hh || !mm || !ss || *hh > 23 || *mm > 59 || *ss > 59) {
            return refused();
        }
        s.clockHours = static_cast<int>(*hh);
        s.clockMinutes = static_cast<int>(*mm);
        s.clockSeconds = static_cast<int>(*ss);
        return {};
    }
    default: return refused();
    }
}

std::unique_ptr<SimReceiver> Ndx264Sim::create(int, const ModelOptions& o)
{
    return std::make_unique<Ndx264Sim>(Options{o.has("ISB"), o.seed});
}

}  // namespace sim
