// REK085 command codec: addressed frames with their prefixes, the setters,
// the memory channels and the fixed-layout status record.
#include "rek085sim.h"

#include "platform/numbers.h"

namespace sim {

namespace {

constexpr std::size_t kMaxFrame = 96;

const std::array<Rek085Variant, 9> kVariants = {{
    {"V1", {300, 2400, 8000, 0, 0, 0, 0}},
    {"V1Var2", {100, 300, 600, 2400, 8000, 0, 0}},
    {"V1Var3", {100, 300, 600, 1500, 2400, 6000, 8000}},
    {"V1Var4", {100, 300, 1000, 2400, 3400, 6000, 8000}},
    {"V2", {300, 3100, 8000, 0, 0, 0, 0}},
    {"V2Var2", {100, 300, 600, 3100, 8000, 0, 0}},
    {"V2Var3", {100, 300, 600, 1500, 3100, 6000, 8000}},
    {"V2Var5", {200, 300, 1500, 3100, 8000, 0, 0}},
    {"V2Var6", {200, 300, 400, 1000, 3100, 8000, 0}},
}};

std::optional<int> digitIn(std::string_view text, int low, int high)
{
    auto v = parseDigits(text, 1);
    if (!v || *v < low || *v > high) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

std::optional<std::int32_t> frequencyField(std::string_view digits)
{
    auto v = parseDigits(digits, 7);
    if (!v || *v * 10 > Rek085State::kMaxFrequency) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*v * 10);
}

// "dd+" / "dd-" (a blank may stand for a leading zero); two or three
// blanks are 0.
std::optional<int> bfoField(std::string_view text)
{
    if (text.size() != 3) {
        return std::nullopt;
    }
    if (text[2] != '+' && text[2] != '-' && text[2] != ' ') {
        return std::nullopt;
    }
    if (text.substr(0, 2) == "  ") {
        return 0;
    }
    if (text[2] == ' ') {
        return std::nullopt;
    }
    std::string digits(text.substr(0, 2));
    if (digits[0] == ' ') {
        digits[0] = '0';
    }
    auto v = parseDigits(digits, 2);
    if (!v || *v * 100 > Rek085State::kMaxBfo) {
        return std::nullopt;
    }
    return static_cast<int>(text[2] == '-' ? -*v * 100 : *v * 100);
}

std::string digit(int value)
{
    return std::string(1, static_cast<char>('0' + value));
}

}  // namespace

Rek085Sim::Rek085Sim(int address) : Rek085Sim(address, Options{}) {}

Rek085Sim::Rek085Sim(int address, Options options) : SimReceiver(address), m_options(options)
{
    if (m_options.variant < 0 || m_options.variant >= static_cast<int>(kVariants.size())) {
        m_options.variant = 4;
    }
    // Start on the first filter of at least 2.4 kHz, the usual SSB width.
    const auto& widths = variant().widths;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (widths[i] >= 2400) {
            m_state.now.filter = static_cast<int>(i) + 1;
            break;
        }
    }
}

std::unique_ptr<SimReceiver> Rek085Sim::create(int address, const ModelOptions& options)
{
    Options own;
    for (std::size_t i = 0; i < kVariants.size(); ++i) {
        if (options.has(kVariants[i].name)) {
            own.variant = static_cast<int>(i);
            break;
        }
    }
    own.anyAddress = options.has("ANY-ADDRESS");
    return std::make_unique<Rek085Sim>(address, own);
}

const std::array<Rek085Variant, 9>& Rek085Sim::variants()
{
    return kVariants;
}

const Rek085Variant& Rek085Sim::variant() const
{
    return kVariants[static_cast<std::size_t>(m_options.variant)];
}

Frames Rek085Sim::feed(std::string_view bytes)
{
    Frames out;
    for (const std::string& text : takeCommands(bytes, '\r', kMaxFrame)) {
        Frames replies = frame(text);
        out.insert(out.end(), replies.begin(), replies.end());
    }
    return out;
}

Frames Rek085Sim::frame(std::string_view text)
{
    const std::size_t lf = text.rfind('\n');
    if (lf == std::string_view::npos) {
        return {};
    }
    text.remove_prefix(lf + 1);
    // prefix, "A", two address digits, at least two command characters
    if (text.size() < 6 || text[1] != 'A') {
        return {};
    }
    const char prefix = text[0];
    auto address = parseDigits(text.substr(2, 2), 2);
    if (!address || (!m_options.anyAddress && *address != this->address())) {
        return {};
    }
    const std::string_view body = text.substr(4);
    if (prefix == '*') {
        return command(body);
    }
    if (body.size() < 3 || body[0] != 'K') {
        return {};
    }
    auto channel = parseDigits(body.substr(1, 2), 2);
    if (!channel) {
        return {};
    }
    const int ch = static_cast<int>(*channel);
    if (prefix == '%') {
        if (auto setting = parseSettings(body.substr(3))) {
            m_state.channels[static_cast<std::size_t>(ch)] = *setting;
        }
        return {};
    }
    if (prefix == '&' && body.size() == 3) {
        recall(ch);
        return {statusRecord()};
    }
    return {};
}

bool Rek085Sim::takeFilterCode(int code) const
{
    return code >= 1 && code <= 7 && variant().widths[static_cast<std::size_t>(code - 1)] != 0;
}

std::optional<Rek085Setting> Rek085Sim::parseSettings(std::string_view t) const
{
    // F fffffff I m B bbs W w R r H h Z z J j
    if (t.size() != 24 || t[0] != 'F' || t[8] != 'I' || t[10] != 'B' || t[14] != 'W' || t[16] != 'R' || t[18] != 'H' ||
        t[20] != 'Z' || t[22] != 'J') {
        return std::nullopt;
    }
    auto frequency = frequencyField(t.substr(1, 7));
    auto mode = digitIn(t.substr(9, 1), 1, 9);
    auto bfo = bfoField(t.substr(11, 3));
    auto filter = digitIn(t.substr(15, 1), 1, 7);
    auto agc = digitIn(t.substr(17, 1), 0, 4);
    auto h = digitIn(t.substr(19, 1), 0, 9);
    auto z = digitIn(t.substr(21, 1), 0, 9);
    auto output = digitIn(t.substr(23, 1), 0, 9);
    if (!frequency || !mode || !bfo || !filter || !takeFilterCode(*filter) || !agc || !h || !z || !output) {
        return std::nullopt;
    }
    return Rek085Setting{*frequency, *mode, *bfo, *filter, *agc, *h, *z, *output};
}

void Rek085Sim::recall(int channel)
{
    m_state.now = m_state.channels[static_cast<std::size_t>(channel)];
    m_state.channel = channel;
}

std::string Rek085Sim::statusRecord() const
{
    const Rek085Setting& n = m_state.now;
    std::string record = "\n*A" + platform::formatInt(address() % 100, 2, true) + "K";
    record += m_state.channel < 0 ? "  " : platform::formatInt(m_state.channel, 2, true);
    record += "F" + platform::formatInt(n.frequency / 10, 7, true);
    record += "I" + digit(n.mode);
    record += "B";
    if (n.bfo == 0) {
        record += "   ";
    } else {
        record += platform::formatInt((n.bfo < 0 ? -n.bfo : n.bfo) / 100, 2, true) + (n.bfo < 0 ? "-" : "+");
    }
    record += "W" + digit(n.filter) + "R" + digit(n.agc) + "H" + digit(n.h) + "Z" + digit(n.z) + "J" + digit(n.output);
    return record + "\r";
}

Frames Rek085Sim::command(std::string_view t)
{
    Rek085Setting& n = m_state.now;
    if (t == "O1") {
        ++m_state.statusRequests;
        return {statusRecord()};
    }
    const std::string_view arg = t.substr(1);
    switch (t.front()) {
    case 'F':
        if (auto v = frequencyField(arg)) {
            n.frequency = *v;
            leaveChannel();
        }
        break;
    case 'B':
        if (auto v = bfoField(arg)) {
            n.bfo = *v;
            leaveChannel();
        }
        break;
    case 'I':
        if (auto v = digitIn(arg, 1, 9)) {
            n.mode = *v;
            leaveChannel();
        }
        break;
    case 'W':
        if (auto v = digitIn(arg, 1, 7); v && takeFilterCode(*v)) {
            n.filter = *v;
            leaveChannel();
        }
        break;
    case 'R':
        if (auto v = digitIn(arg, 0, 4)) {
            n.agc = *v;
            leaveChannel();
        }
        break;
    case 'J':
        if (auto v = digitIn(arg, 0, 9)) {
            n.output = *v;
        }
        break;
    case 'H':
        if (auto v = digitIn(arg, 0, 9)) {
            n.h = *v;
        }
        break;
    case 'Z':
        if (auto v = digitIn(arg, 0, 9)) {
            n.z = *v;
        }
        break;
    case 'K':
        if (auto v = parseDigits(arg, 2)) {
            recall(static_cast<int>(*v));
        }
        break;
    default: break;
    }
    return {};
}

}  // namespace sim
