// HF2050 command codec: unit selection on the shared line, the commands of
// a line in order, the unit and channel records.
#include "hf2050sim.h"

#include <algorithm>

#include "platform/numbers.h"

namespace sim {

namespace {

constexpr std::size_t kMaxLine = 256;
constexpr std::array<int, 4> kFilters = {300, 1000, 3200, 6000};

std::string_view trim(std::string_view s)
{
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

// A decimal with at most two decimals → hundredths ("7050.5" → 705050,
// "-2.21" → -221). Blanks, exponents and a third decimal are refused.
std::optional<std::int64_t> parseHundredths(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    if (whole.empty() || whole.size() > 9 || fraction.size() > 2 ||
        (point != std::string_view::npos && fraction.empty())) {
        return std::nullopt;
    }
    auto w = parseDigits(whole, whole.size());
    std::int64_t f = 0;
    if (!fraction.empty()) {
        auto digits = parseDigits(fraction, fraction.size());
        if (!digits) {
            return std::nullopt;
        }
        f = fraction.size() == 1 ? *digits * 10 : *digits;
    }
    if (!w) {
        return std::nullopt;
    }
    const std::int64_t value = *w * 100 + f;
    return negative ? -value : value;
}

std::optional<int> level(std::string_view text, int max)
{
    auto v = parseDigits(text, text.size());
    if (!v || text.size() > 3 || *v > max) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

bool isModeWord(std::string_view w)
{
    return w == "AM" || w == "CW" || w == "US" || w == "LS" || w == "IS";
}

bool isAgcWord(std::string_view w)
{
    return w == "FA" || w == "SL" || w == "OF";
}

bool isFilter(int hz)
{
    return std::find(kFilters.begin(), kFilters.end(), hz) != kFilters.end();
}

int modeBandwidth(std::string_view mode)
{
    if (mode == "AM") {
        return 6000;
    }
    return mode == "CW" ? 1000 : 3200;
}

std::string kilohertz(std::int64_t hz)
{
    const std::int64_t tens = (hz < 0 ? -hz : hz) / 10;
    return (hz < 0 ? "-" : "") + platform::formatInt(tens / 100) + "." + platform::formatInt(tens % 100, 2, true);
}

// The fields a unit record and a channel record share.
std::string settingsFields(std::int32_t frequency, const std::string& mode, int bfo, int bandwidth,
                           const std::string& agc)
{
    return "FR " + kilohertz(frequency) + " MODE " + mode + " BFO " + (mode == "CW" ? kilohertz(bfo) : "NONE") +
           " BW " + platform::formatInt(bandwidth) + " AGC " + agc;
}

}  // namespace

Hf2050Sim::Hf2050Sim(int unit) : Hf2050Sim(unit, Options{}) {}

Hf2050Sim::Hf2050Sim(int unit, Options options) : SimReceiver(unit), m_options(options)
{
    m_state.remote = !options.local;
}

std::unique_ptr<SimReceiver> Hf2050Sim::create(int unit, const ModelOptions& options)
{
    Options own;
    own.isb = options.has("ISB");
    own.local = options.has("LOCAL");
    own.anyAddress = options.has("ANY-ADDRESS");
    return std::make_unique<Hf2050Sim>(unit, own);
}

Frames Hf2050Sim::feed(std::string_view bytes)
{
    // A command is complete at its ";" or at the line end, so that units
    // sharing the line answer in the order of the commands.
    Frames out;
    for (char c : bytes) {
        if (c != ';' && c != '\n') {
            if (c != '\r') {
                m_input.push_back(c);
            }
            if (m_input.size() > kMaxLine) {
                m_input.clear();  // line noise
            }
            continue;
        }
        const std::string text = std::move(m_input);
        m_input.clear();
        Frames replies = command(trim(text));
        out.insert(out.end(), replies.begin(), replies.end());
    }
    return out;
}

Frames Hf2050Sim::line(std::string_view text)
{
    Frames out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        Frames replies = command(trim(text.substr(start, end - start)));
        out.insert(out.end(), replies.begin(), replies.end());
        start = end + 1;
    }
    return out;
}

std::string Hf2050Sim::header() const
{
    return "UNIT " + platform::formatInt(address());
}

std::string Hf2050Sim::statusRecord() const
{
    const Hf2050State& s = m_state;
    return header() + (s.remote ? " RMT " : " LCL ") + settingsFields(s.frequency, s.mode, s.bfo, s.bandwidth, s.agc) +
           " CH " + (s.channel < 0 ? "NONE" : platform::formatInt(s.channel)) + "\r\n";
}

std::string Hf2050Sim::field(std::string_view keyword) const
{
    const Hf2050State& s = m_state;
    std::string value;
    if (keyword == "FR") {
        value = "FR " + kilohertz(s.frequency);
    } else if (keyword == "MO") {
        value = "MODE " + s.mode;
    } else if (keyword == "BF") {
        value = "BFO " + (s.mode == "CW" ? kilohertz(s.bfo) : std::string("NONE"));
    } else if (keyword == "BW") {
        value = "BW " + platform::formatInt(s.bandwidth);
    } else if (keyword == "AG") {
        value = "AGC " + s.agc;
    } else if (keyword == "CH") {
        value = "CH " + (s.channel < 0 ? std::string("NONE") : platform::formatInt(s.channel));
    } else if (keyword == "NB") {
        return "NB " + platform::formatInt(s.noiseBlanker) + "\r\n";
    } else if (keyword == "SQ") {
        return "SQ " + platform::formatInt(s.squelch) + "\r\n";
    } else if (keyword == "RF") {
        return "RF " + platform::formatInt(s.rfGain) + "\r\n";
    } else {
        return {};
    }
    return header() + " " + value + "\r\n";
}

std::string Hf2050Sim::channelRecord(int channel) const
{
    const auto& slot = m_state.channels.at(static_cast<std::size_t>(channel));
    if (!slot) {
        return "CH NONE\r\n";
    }
    return "CH " + platform::formatInt(channel) + " " +
           settingsFields(slot->frequency, slot->mode, slot->bfo, slot->bandwidth, slot->agc) + "\r\n";
}

bool Hf2050Sim::program(int channel, std::string_view items)
{
    std::optional<std::int32_t> frequency;
    std::optional<std::string> mode;
    std::optional<int> bfo;
    std::optional<int> bandwidth;
    std::optional<std::string> agc;
    std::size_t start = 0;
    while (start <= items.size()) {
        std::size_t end = items.find(',', start);
        if (end == std::string_view::npos) {
            end = items.size();
        }
        const std::string_view item = trim(items.substr(start, end - start));
        start = end + 1;
        const std::size_t blank = item.find(' ');
        if (blank == std::string_view::npos) {
            return false;
        }
        const std::string_view key = item.substr(0, blank);
        const std::string_view value = trim(item.substr(blank + 1));
        if (key == "FR" && !frequency) {
            auto v = parseHundredths(value);
            if (!v || *v < 0 || *v * 10 > Hf2050State::kMaxFrequency) {
                return false;
            }
            frequency = static_cast<std::int32_t>(*v * 10);
        } else if (key == "MO" && !mode) {
            if (!isModeWord(value) || (value == "IS" && !m_options.isb)) {
                return false;
            }
            mode = std::string(value);
        } else if (key == "BF" && !bfo) {
            auto v = parseHundredths(value);
            if (!v || *v * 10 > Hf2050State::kMaxBfo || *v * 10 < -Hf2050State::kMaxBfo) {
                return false;
            }
            bfo = static_cast<int>(*v * 10);
        } else if (key == "BW" && !bandwidth) {
            auto v = parseDigits(value, value.size());
            if (!v || value.size() > 5 || !isFilter(static_cast<int>(*v))) {
                return false;
            }
            bandwidth = static_cast<int>(*v);
        } else if (key == "AG" && !agc) {
            if (!isAgcWord(value)) {
                return false;
            }
            agc = std::string(value);
        } else {
            return false;
        }
    }
    if (!frequency || !mode || !bandwidth || !agc) {
        return false;
    }
    m_state.channels[static_cast<std::size_t>(channel)] =
        Hf2050Channel{*frequency, *mode, bfo.value_or(0), *bandwidth, *agc};
    return true;
}

Frames Hf2050Sim::command(std::string_view t)
{
    Hf2050State& s = m_state;
    const std::size_t blank = t.find(' ');
    const std::string_view keyword = t.substr(0, blank);
    const std::string_view arg = blank == std::string_view::npos ? std::string_view{} : trim(t.substr(blank + 1));
    if (keyword == "UNIT") {
        if (auto unit = level(arg, 99)) {
            s.selected = m_options.anyAddress || *unit == address();
        }
        return {};
    }
    if (!s.selected || t.empty()) {
        return {};
    }
    if (t == "?") {
        return {statusRecord()};
    }
    if (t == "HD") {
        ++s.headers;
        return {};
    }
    if (keyword == "PR") {
        // "PR n ?" or "PR n = items"
        const std::size_t gap = arg.find(' ');
        auto channel = level(arg.substr(0, gap), Hf2050State::kChannelCount - 1);
        const std::string_view rest = gap == std::string_view::npos ? std::string_view{} : trim(arg.substr(gap + 1));
        if (!channel) {
            return {};
        }
        if (rest == "?") {
            return {channelRecord(*channel)};
        }
        if (s.remote && rest.size() > 1 && rest.front() == '=') {
            program(*channel, trim(rest.substr(1)));
        }
        return {};
    }
    if (arg == "?") {
        const std::string reply = field(keyword);
        return reply.empty() ? Frames{} : Frames{reply};
    }
    // Everything else sets something: refused in local.
    if (!s.remote || arg.empty()) {
        return {};
    }
    if (keyword == "FR") {
        if (auto v = parseHundredths(arg); v && *v >= 0 && *v * 10 <= Hf2050State::kMaxFrequency) {
            s.frequency = static_cast<std::int32_t>(*v * 10);
            leaveChannel();
        }
    } else if (keyword == "BF") {
        if (auto v = parseHundredths(arg); v && *v * 10 <= Hf2050State::kMaxBfo && *v * 10 >= -Hf2050State::kMaxBfo) {
            s.bfo = static_cast<int>(*v * 10);
            leaveChannel();
        }
    } else if (keyword == "MO") {
        if (isModeWord(arg) && (arg != "IS" || m_options.isb)) {
            if (s.mode != arg) {
                s.bandwidth = modeBandwidth(arg);
            }
            s.mode = std::string(arg);
            leaveChannel();
        }
    } else if (keyword == "AG") {
        if (isAgcWord(arg)) {
            s.agc = std::string(arg);
            leaveChannel();
        }
    } else if (keyword == "BW") {
        if (auto v = parseDigits(arg, arg.size()); v && arg.size() <= 5 && isFilter(static_cast<int>(*v))) {
            s.bandwidth = static_cast<int>(*v);
            leaveChannel();
        }
    } else if (keyword == "NB") {
        if (auto v = level(arg, Hf2050State::kMaxNoiseBlanker)) {
            s.noiseBlanker = *v;
        }
    } else if (keyword == "SQ") {
        if (auto v = level(arg, Hf2050State::kMaxLevel)) {
            s.squelch = *v;
        }
    } else if (keyword == "RF") {
        if (auto v = level(arg, Hf2050State::kMaxLevel)) {
            s.rfGain = *v;
        }
    } else if (keyword == "CH") {
        if (auto v = level(arg, Hf2050State::kChannelCount - 1)) {
            if (const auto& slot = s.channels[static_cast<std::size_t>(*v)]) {
                s.frequency = slot->frequency;
                s.mode = slot->mode;
                s.bfo = slot->bfo;
                s.bandwidth = slot->bandwidth;
                s.agc = slot->agc;
                s.channel = *v;
            }
        }
    }
    return {};
}

}  // namespace sim
