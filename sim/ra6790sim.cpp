// RA6790 command codec: addressed frames, the self-test, the option and
// filter queries, the setters and the status line.
#include "ra6790sim.h"

#include <algorithm>
#include <cmath>

#include "platform/numbers.h"

namespace sim {

namespace {

constexpr std::size_t kMaxLine = 128;

// A bandwidth in kHz: whole numbers bare, others with up to two decimals
// and no trailing zeros ("16", "0.4", "1.25").
std::string listWidth(int hz)
{
    if (hz % 1000 == 0) {
        return platform::formatInt(hz / 1000);
    }
    std::string text = platform::formatFixed(hz / 1000.0, 2);
    while (text.back() == '0') {
        text.pop_back();
    }
    return text;
}

std::vector<Ra6790Filter> defaultFilters(bool isb)
{
    std::vector<Ra6790Filter> filters;
    if (isb) {
        filters.push_back({Ra6790Filter::Lower, Ra6790State::kSidebandWidth});
    }
    filters.push_back({Ra6790Filter::Upper, Ra6790State::kSidebandWidth});
    for (int width : {400, 1400, 3200, 8200, 16000}) {
        filters.push_back({Ra6790Filter::Symmetric, width});
    }
    return filters;
}

}  // namespace

Ra6790Sim::Ra6790Sim(int address) : Ra6790Sim(address, Options{}) {}

Ra6790Sim::Ra6790Sim(int address, Options options) : SimReceiver(address), m_options(options), m_random(options.seed)
{
    m_state.filters = defaultFilters(options.isb);
}

std::unique_ptr<SimReceiver> Ra6790Sim::create(int address, const ModelOptions& options)
{
    Options own;
    own.extendedRange = options.has("A09666");
    own.isb = options.has("ISB");
    own.biteFault = options.has("BITE-FAIL");
    own.anyAddress = options.has("ANY-ADDRESS");
    own.seed = options.seed;
    return std::make_unique<Ra6790Sim>(address, own);
}

std::int32_t Ra6790Sim::minFrequency() const
{
    return m_options.extendedRange ? Ra6790State::kMinFrequencyExtended : Ra6790State::kMinFrequencyStandard;
}

bool Ra6790Sim::hasIsb() const
{
    return !m_state.filters.empty() && m_state.filters.front().kind == Ra6790Filter::Lower;
}

int Ra6790Sim::bandwidthInUse() const
{
    const int mode = m_state.mode;
    if (mode == 4 || mode == 5 || mode == 6) {
        for (const Ra6790Filter& f : m_state.filters) {
            if (f.kind == Ra6790Filter::Upper) {
                return f.width;
            }
        }
    }
    return m_state.filterWidth;
}

Frames Ra6790Sim::feed(std::string_view bytes)
{
    Frames out;
    for (std::string& text : takeCommands(bytes, '\r', kMaxLine)) {
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        Frames replies = line(text);
        out.insert(out.end(), replies.begin(), replies.end());
    }
    return out;
}

Frames Ra6790Sim::line(std::string_view text)
{
    if (text.size() < 2 || text.front() != '$') {
        return {};
    }
    std::size_t digits = 1;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    // One to three address digits, then a command that starts with a letter.
    if (digits == 1 || digits > 4 || digits == text.size()) {
        return {};
    }
    auto address = parseDigits(text.substr(1, digits - 1), digits - 1);
    if (!address || (!m_options.anyAddress && *address != this->address())) {
        return {};
    }
    return command(text.substr(digits));
}

int Ra6790Sim::nextSmeter()
{
    m_smeterWander = std::clamp(m_smeterWander + m_random.between(-5, 5), -30, 30);
    return std::clamp(m_state.smeterBase + m_smeterWander, 0, 255);
}

std::string Ra6790Sim::statusReply()
{
    const Ra6790State& s = m_state;
    std::string reply;
    if (s.mode == 3) {
        reply += "B" + platform::formatFixed(s.bfo / 1000.0, 2);
    }
    reply += "F" + platform::formatFixed(s.frequency / 1e6, 6);
    reply += "D" + platform::formatInt(s.mode);
    const int width = bandwidthInUse();
    reply += "I" + (width % 1000 == 0 ? platform::formatInt(width / 1000) : platform::formatFixed(width / 1000.0, 2));
    reply += "M" + platform::formatInt(s.agc);
    if (s.agc >= 4) {
        reply += "A" + platform::formatInt(s.gain);
    }
    reply += "R" + platform::formatInt(nextSmeter());
    reply += std::string("S") + (s.remote ? "2" : "1");
    return reply + "\r";
}

std::string Ra6790Sim::filterList() const
{
    std::string list;
    for (const Ra6790Filter& f : m_state.filters) {
        if (!list.empty()) {
            list += ",";
        }
        switch (f.kind) {
        case Ra6790Filter::Lower: list += "L"; break;
        case Ra6790Filter::Upper: list += "U"; break;
        case Ra6790Filter::Symmetric: list += listWidth(f.width); break;
        }
    }
    return list + "\r";
}

std::string Ra6790Sim::selfTestReply() const
{
    const std::string own = platform::formatInt(address() % 100, 2, true);
    return m_options.biteFault ? "BITE ERR 17 " + own + "\r" : "BITE OK " + own + "\r";
}

std::string Ra6790Sim::typeReply() const
{
    return m_options.extendedRange ? "TD A09666 R\r" : "TD A08449 S\r";
}

bool Ra6790Sim::setFilterList(std::string_view items)
{
    std::vector<Ra6790Filter> filters;
    std::size_t start = 0;
    std::size_t count = 0;
    bool first = true;
    while (start < items.size()) {
        std::size_t end = items.find(',', start);
        if (end == std::string_view::npos) {
            end = items.size();
        }
        const std::string_view item = items.substr(start, end - start);
        start = end + 1;
        if (++count > Ra6790State::kMaxFilters) {
            return false;
        }
        if (item == "L") {
            if (!first) {
                return false;
            }
            filters.push_back({Ra6790Filter::Lower, Ra6790State::kSidebandWidth});
        } else if (item == "U") {
            filters.push_back({Ra6790Filter::Upper, Ra6790State::kSidebandWidth});
        } else {
            auto khz = parseDecimal(item);
            if (!khz || *khz < 0 || *khz > 30) {
                return false;
            }
            const int hz = static_cast<int>(std::lround(*khz * 1000.0));
            // A zero width is an empty filter place: nothing installed there.
            if (hz != 0) {
                filters.push_back({Ra6790Filter::Symmetric, hz});
            }
        }
        first = false;
    }
    if (filters.empty()) {
        return false;
    }
    m_state.filters = std::move(filters);
    // A selected filter that is gone gives way to the first symmetric one.
    const auto installed = [this](const Ra6790Filter& f) {
        return f.kind == Ra6790Filter::Symmetric && f.width == m_state.filterWidth;
    };
    if (std::none_of(m_state.filters.begin(), m_state.filters.end(), installed)) {
        for (const Ra6790Filter& f : m_state.filters) {
            if (f.kind == Ra6790Filter::Symmetric) {
                m_state.filterWidth = f.width;
                break;
            }
        }
    }
    return true;
}

Frames Ra6790Sim::command(std::string_view t)
{
    Ra6790State& s = m_state;
    if (t == "G") {
        return {statusReply()};
    }
    if (t == "S1" || t == "S2") {
        s.remote = t == "S2";
        return {};
    }
    if (t == "S6") {
        ++s.selfTests;
        return {selfTestReply()};
    }
    if (t == "S8" || t == "S9") {
        s.diagnostic = t == "S8";
        return {};
    }
    if (t == "TD") {
        return s.diagnostic ? Frames{typeReply()} : Frames{};
    }
    if (t == "S5") {
        return {filterList()};
    }
    // Everything else sets something and needs remote control.
    if (!s.remote || t.size() < 2) {
        return {};
    }
    if (t.substr(0, 2) == "S7") {
        setFilterList(t.substr(2));
        return {};
    }
    const std::string_view arg = t.substr(1);
    switch (t.front()) {
    case 'F':
        if (auto mhz = parseDecimal(arg)) {
            const double hz = std::floor(*mhz * 1e6 + 0.5);
            if (hz >= minFrequency() && hz <= Ra6790State::kMaxFrequency) {
                s.frequency = static_cast<std::int32_t>(hz);
            }
        }
        break;
    case 'B':
        if (auto khz = parseDecimal(arg)) {
            const double hz = std::round(*khz * 1000.0);
            if (std::fabs(hz) <= Ra6790State::kMaxBfo) {
                s.bfo = static_cast<int>(hz);
            }
        }
        break;
    case 'D':
        if (auto v = codeIn(arg, 1, 6); v && (*v != 4 || hasIsb())) {
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
        if (auto khz = parseDecimal(arg); khz && *khz > 0) {
            const double hz = *khz * 1000.0;
            for (const Ra6790Filter& f : s.filters) {
                if (f.kind == Ra6790Filter::Symmetric && std::fabs(f.width - hz) < 5.0) {
                    s.filterWidth = f.width;
                    break;
                }
            }
        }
        break;
    default: break;
    }
    return {};
}

}  // namespace sim
