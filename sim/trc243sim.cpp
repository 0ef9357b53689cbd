// TRC243 codec: CR/LF frames with the address character, acknowledgements,
// the identification and the A, B and C records.
#include "trc243sim.h"

#include <algorithm>

#include "platform/numbers.h"

namespace sim {

namespace {

// A channel number of `minDigits` to three digits, 1..100.
std::optional<int> channelNumber(std::string_view digits, std::size_t minDigits)
{
    if (digits.size() < minDigits || digits.size() > 3) {
        return std::nullopt;
    }
    auto n = parseDigits(digits, digits.size());
    if (!n || *n < 1 || *n > Trc243State::kChannelCount) {
        return std::nullopt;
    }
    return static_cast<int>(*n);
}

std::string bfoField(int hz)
{
    return (hz < 0 ? "-" : "+") + platform::formatInt(hz < 0 ? -hz : hz, 4, true);
}

}  // namespace

Trc243Sim::Trc243Sim(int address, Options options) : SimReceiver(address), m_options(options), m_random(options.seed) {}

Frames Trc243Sim::feed(std::string_view bytes)
{
    Frames out;
    for (std::string& line : takeCommands(bytes, '\n', kMaxLine)) {
        if (line.size() < 2 || line.front() != '\r') {
            ++m_state.refused;
            continue;
        }
        std::string_view text(line);
        text.remove_prefix(1);
        bool addressed = false;
        const auto first = static_cast<unsigned char>(text.front());
        if (first >= 0x30 && first <= 0x3F) {
            if (first - 0x30 != address()) {
                continue;  // for another receiver on the line
            }
            addressed = true;
            text.remove_prefix(1);
        }
        const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b >= 0x20 && b < 0x7F;
        });
        if (text.empty() || !printable) {
            ++m_state.refused;
            continue;
        }
        auto reply = command(text);
        if (!reply) {
            continue;
        }
        std::string framed = "\r";
        if (addressed) {
            const int from = m_options.badAddress ? (address() + 1) % 16 : address();
            framed.push_back(addressCharacter(from));
        }
        out.push_back(framed + *reply + "\n");
    }
    return out;
}

std::string Trc243Sim::identification() const
{
    if (m_options.noOp) {
        return "REM";
    }
    const char model = m_options.badModel ? 'X' : (m_options.trc241 ? 'T' : 'S');
    std::string id = std::string("REM OP") + model;
    if (!m_options.noFilter) {
        id.push_back(m_options.isb ? '5' : '-');
        id.push_back(m_options.filterF1 ? '%' : '-');
        id.push_back(m_options.filterFI ? '/' : '-');
    }
    return id;
}

int Trc243Sim::reportedFilter() const
{
    return ssbMode(m_state.mode) ? 0 : m_state.filter;
}

int Trc243Sim::nextSignal()
{
    m_wander = std::clamp(m_wander + m_random.between(-4, 4), -15, 15);
    const int level = m_state.signalBase + m_wander - 10 * m_state.attenuator + (m_state.preselector ? -2 : 0);
    return std::clamp(level, 0, 120);
}

std::string Trc243Sim::aRecord() const
{
    const Trc243State& s = m_state;
    return "AF" + platform::formatInt(s.frequency, 8, true) + "M" + platform::formatInt(s.mode) + "I" +
           platform::formatInt(reportedFilter()) + "B" + bfoField(s.bfo) + "H" +
           std::string(1, s.agc[static_cast<std::size_t>(s.mode)]);
}

std::string Trc243Sim::bRecord()
{
    const Trc243State& s = m_state;
    const int signal = nextSignal();
    const bool muted = s.squelch > 0 && signal < s.squelch;
    return "BA" + platform::formatInt(s.attenuator) + "V" + platform::formatInt(s.preselector) + "U" +
           platform::formatInt(s.squelch, 2, true) + "Q" + (muted ? "1" : "0") + "S" +
           platform::formatInt(signal, 3, true) + "X" + std::string(1, static_cast<char>(0x30 + s.outputs)) + "K" +
           platform::formatInt(s.channel, 3, true);
}

std::string Trc243Sim::cRecord(int channel) const
{
    const auto& slot = m_state.channels.at(static_cast<std::size_t>(channel - 1));
    const Trc243Channel c = slot.value_or(Trc243Channel{});
    return "C" + platform::formatInt(channel, 3, true) + "F" + platform::formatInt(c.frequency, 8, true) + "M" +
           platform::formatInt(c.mode) + "I" + platform::formatInt(c.filter) + "B" + bfoField(c.bfo) + "H" +
           std::string(1, c.agc) + "A" + platform::formatInt(c.attenuator);
}

bool Trc243Sim::modeFitted(int mode) const
{
    return mode >= 0 && mode < Trc243State::kModes && (mode != 4 || m_options.isb);
}

std::optional<std::string> Trc243Sim::command(std::string_view t)
{
    Trc243State& s = m_state;
    if (t == "LOC") {
        s.remote = false;
        return "LOC";
    }
    if (t == "RMT") {
        if (s.remote) {
            return "REM";
        }
        s.remote = true;
        return identification();
    }
    if (t == "T") {
        return "TST";
    }
    if (t == "GA") {
        return aRecord();
    }
    if (t == "GB") {
        return bRecord();
    }
    if (t.front() == 'C') {
        if (auto ch = channelNumber(t.substr(1), 2)) {
            return cRecord(*ch);
        }
        ++s.refused;
        return "om";
    }
    if (std::string_view("FBMIHAVUKPE").find(t.front()) == std::string_view::npos && t.substr(0, 2) != "XX") {
        ++s.refused;
        return "om";
    }
    if (!s.remote) {
        ++s.refused;
        return "loc";
    }
    std::string answer = setting(t);
    if (answer != "OM") {
        ++s.refused;
    }
    return answer;
}

std::string Trc243Sim::setting(std::string_view t)
{
    Trc243State& s = m_state;
    const std::string_view arg = t.substr(1);
    auto digit = [&arg](int high) -> std::optional<int> {
        auto v = parseDigits(arg, 1);
        if (!v || *v > high) {
            return std::nullopt;
        }
        return static_cast<int>(*v);
    };
    switch (t.front()) {
    case 'F': {
        auto hz = parseDigits(arg, 8);
        if (!hz || *hz < Trc243State::kMinFrequency || *hz > Trc243State::kMaxFrequency) {
            return "om";
        }
        s.frequency = static_cast<std::int32_t>(*hz);
        leaveChannel();
        return "OM";
    }
    case 'B': {
        if (arg.size() < 4 || arg.size() > 5 || (arg.front() != '+' && arg.front() != '-')) {
            return "om";
        }
        auto hz = parseDigits(arg.substr(1), arg.size() - 1);
        if (!hz || *hz > Trc243State::kMaxBfo) {
            return "om";
        }
        s.bfo = static_cast<int>(arg.front() == '-' ? -*hz : *hz);
        leaveChannel();
        return "OM";
    }
    case 'M': {
        auto mode = digit(9);
        if (!mode || !modeFitted(*mode)) {
            return "om";
        }
        s.mode = *mode;
        leaveChannel();
        return "OM";
    }
    case 'I': {
        auto code = digit(6);
        if (!code || *code == 0 || ssbMode(s.mode)) {
            return "om";
        }
        s.filter = *code;
        leaveChannel();
        return "OM";
    }
    case 'H': {
        if (arg.size() != 2) {
            return "om";
        }
        auto mode = parseDigits(arg.substr(0, 1), 1);
        const char agc = arg[1];
        if (!mode || !modeFitted(static_cast<int>(*mode)) || *mode == 5) {
            return "om";
        }
        const bool allowed = *mode == 0 ? (agc == 'M' || agc == 'S') : (agc == 'F' || agc == 'M' || agc == 'S');
        if (!allowed) {
            return "om";
        }
        s.agc[static_cast<std::size_t>(*mode)] = agc;
        leaveChannel();
        return "OM";
    }
    case 'A': {
        auto att = digit(2);
        if (!att) {
            return "om";
        }
        s.attenuator = *att;
        leaveChannel();
        return "OM";
    }
    case 'V': {
        auto on = digit(1);
        if (!on) {
            return "om";
        }
        s.preselector = *on;
        return "OM";
    }
    case 'U': {
        auto level = parseDigits(arg, 2);
        if (!level) {
            return "om";
        }
        s.squelch = static_cast<int>(*level);
        return "OM";
    }
    case 'X': {
        // "XX" and the outputs character.
        if (t.size() != 3) {
            return "om";
        }
        const auto c = static_cast<unsigned char>(t[2]);
        if (c < 0x30 || c > 0x6F) {
            return "om";
        }
        s.outputs = c - 0x30;
        return "OM";
    }
    case 'K': {
        auto ch = channelNumber(arg, 1);
        if (!ch || !s.channels[static_cast<std::size_t>(*ch - 1)]) {
            return "om";
        }
        const Trc243Channel& c = *s.channels[static_cast<std::size_t>(*ch - 1)];
        if (!modeFitted(c.mode)) {
            return "om";
        }
        s.frequency = c.frequency;
        s.mode = c.mode;
        if (!ssbMode(c.mode) && c.filter > 0) {
            s.filter = c.filter;
        }
        s.bfo = c.bfo;
        if (c.agc != '-') {
            s.agc[static_cast<std::size_t>(c.mode)] = c.agc;
        }
        s.attenuator = c.attenuator;
        s.channel = *ch;
        return "OM";
    }
    case 'P': {
        auto ch = channelNumber(arg, 2);
        if (!ch) {
            return "om";
        }
        s.channels[static_cast<std::size_t>(*ch - 1)] = Trc243Channel{
            s.frequency, s.mode, reportedFilter(), s.bfo, s.agc[static_cast<std::size_t>(s.mode)], s.attenuator};
        return "OM";
    }
    case 'E': {
        auto ch = channelNumber(arg, 2);
        if (!ch) {
            return "om";
        }
        s.channels[static_cast<std::size_t>(*ch - 1)].reset();
        if (s.channel == *ch) {
            s.channel = 0;
        }
        return "OM";
    }
    default: return "om";
    }
}

std::unique_ptr<SimReceiver> Trc243Sim::create(int address, const ModelOptions& o)
{
    return std::make_unique<Trc243Sim>(address,
                                       Options{o.has("ISB"), o.has("F1"), o.has("FI"), o.has("241"), o.has("BADMODEL"),
                                               o.has("NOOP"), o.has("NOFILTER"), o.has("BADADDR"), o.seed});
}

}  // namespace sim
