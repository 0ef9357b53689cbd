// TRC294 codec: the frame reader (length byte and checksum first), the
// single command bytes, the framed messages and the records answered.
#include "trc294sim.h"

#include <algorithm>

namespace sim {

namespace {

unsigned char byteAt(std::string_view bytes, std::size_t pos)
{
    return static_cast<unsigned char>(bytes[pos]);
}

}  // namespace

Trc294Sim::Trc294Sim(Options options) : SimReceiver(-1), m_options(options), m_random(options.seed) {}

std::int32_t Trc294Sim::maxFrequency() const
{
    return m_options.extRange ? Trc294State::kMaxFrequencyExt : Trc294State::kMaxFrequency;
}

void Trc294Sim::resetInput()
{
    SimReceiver::resetInput();
    m_phase = Input::Idle;
    m_length = 0;
}

unsigned char Trc294Sim::checksum(unsigned char n, std::string_view payload)
{
    auto c = static_cast<unsigned char>(~n);
    for (char b : payload) {
        c = static_cast<unsigned char>(c ^ static_cast<unsigned char>(b));
    }
    return c;
}

std::string Trc294Sim::frame(std::string_view payload)
{
    return std::string(1, static_cast<char>(kFrameLead)) + replyFrame(payload);
}

std::string Trc294Sim::replyFrame(std::string_view payload)
{
    const auto n = static_cast<unsigned char>(payload.size() + 2);
    std::string out(1, static_cast<char>(n));
    out.append(payload);
    out.push_back(static_cast<char>(checksum(n, payload)));
    return out;
}

std::string Trc294Sim::recordBytes(std::int32_t hz, int mode, int filter, int attenuator)
{
    // Eight BCD digits of the frequency in 10 Hz units, most significant first.
    std::int64_t units = std::clamp<std::int64_t>(hz, 0, 999999999) / 10;
    int digits[8];
    for (int i = 7; i >= 0; --i) {
        digits[i] = static_cast<int>(units % 10);
        units /= 10;
    }
    std::string r(6, '\0');
    r[0] = static_cast<char>(0xF0 | digits[0]);
    r[1] = static_cast<char>(digits[1] << 4 | digits[2]);
    r[2] = static_cast<char>(digits[3] << 4 | digits[4]);
    r[3] = static_cast<char>(digits[5] << 4 | digits[6]);
    r[4] = static_cast<char>(digits[7] << 4 | (mode & 0x0F));
    r[5] = static_cast<char>((filter & 0x0F) << 4 | (attenuator & 0x0F));
    return r;
}

int Trc294Sim::nextSignal()
{
    m_wander = std::clamp(m_wander + m_random.between(-5, 5), -30, 30);
    return std::clamp(m_state.signalBase + m_wander - 10 * m_state.attenuator, 0, 255);
}

std::string Trc294Sim::statusRecord()
{
    const Trc294State& s = m_state;
    std::string record = recordBytes(s.frequency, s.mode, s.filter, s.attenuator);
    record.push_back(static_cast<char>(s.channel));
    record.push_back(static_cast<char>(nextSignal()));
    return record;
}

std::string Trc294Sim::statusFrame() const
{
    const Trc294State& s = m_state;
    return replyFrame("\x06" + recordBytes(s.frequency, s.mode, s.filter, s.attenuator));
}

bool Trc294Sim::modeFitted(int mode) const
{
    switch (mode) {
    case 1:
    case 2:
    case 3: return true;
    case 0:
    case 4:
    case 5: return m_options.ssb;
    default: return false;
    }
}

bool Trc294Sim::tune(std::string_view r, Trc294Channel& into) const
{
    // r0..r4: digit 1 in the low nibble of r0 (its high nibble is not looked
    // at), digits 2..8, then the mode code.
    if (r.size() < 5) {
        return false;
    }
    int nibbles[9];
    nibbles[0] = byteAt(r, 0) & 0x0F;
    for (int i = 1; i < 5; ++i) {
        nibbles[2 * i - 1] = byteAt(r, static_cast<std::size_t>(i)) >> 4;
        nibbles[2 * i] = byteAt(r, static_cast<std::size_t>(i)) & 0x0F;
    }
    std::int64_t units = 0;
    for (int i = 0; i < 8; ++i) {
        if (nibbles[i] > 9) {
            return false;
        }
        units = units * 10 + nibbles[i];
    }
    const int mode = nibbles[8];
    if (!modeFitted(mode)) {
        return false;
    }
    std::int64_t hz = units * 10;
    if (hz < Trc294State::kMinFrequency || hz > maxFrequency()) {
        return false;
    }
    const bool fine = m_options.ssb && (mode == 4 || mode == 5);
    const std::int64_t step = fine ? 10 : 1000;
    hz = hz / step * step;
    if (hz < Trc294State::kMinFrequency) {
        return false;
    }
    into.frequency = static_cast<std::int32_t>(hz);
    into.mode = mode;
    return true;
}

Frames Trc294Sim::feed(std::string_view bytes)
{
    Frames out;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (m_phase) {
        case Input::Idle:
            if (b == kFrameLead) {
                m_phase = Input::Length;
            } else if (b == kStatusRequest) {
                out.push_back(statusRecord());
            } else if (b == kLocal) {
                m_state.remote = false;
            }
            // Anything else between frames is line noise.
            break;
        case Input::Length:
            if (b == kFrameLead) {
                refuse();  // the lead before was noise; this one starts the frame
                break;
            }
            if (b < 3 || b > kMaxPayload + 2) {
                refuse();
                m_phase = Input::Idle;
                break;
            }
            m_length = b;
            m_input.clear();
            m_phase = Input::Body;
            break;
        case Input::Body:
            m_input.push_back(ch);
            // N counts the payload and the two bytes around it; N - 1 bytes
            // follow the length byte: the payload and the checksum.
            if (m_input.size() + 1 == m_length) {
                const std::string_view payload(m_input.data(), m_input.size() - 1);
                const auto sent = static_cast<unsigned char>(m_input.back());
                m_phase = Input::Idle;
                if (checksum(m_length, payload) != sent) {
                    refuse();
                } else {
                    Frames replies = message(payload);
                    out.insert(out.end(), replies.begin(), replies.end());
                }
                m_input.clear();
            }
            break;
        }
    }
    return out;
}

Frames Trc294Sim::message(std::string_view p)
{
    Trc294State& s = m_state;
    const unsigned char type = byteAt(p, 0);
    const std::string_view arg = p.substr(1);
    const bool aOnly = type == 0x05 || type == 0x08 || type == 0x0A;
    if (aOnly && !m_options.aModel) {
        refuse();
        return {};
    }
    auto channelIndex = [](unsigned char cc) -> std::optional<std::size_t> {
        if (cc < 1 || cc > Trc294State::kChannelCount) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(cc - 1);
    };
    switch (type) {
    case 0x01: {
        Trc294Channel tuned;
        if (arg.size() != 5 || !tune(arg, tuned)) {
            break;
        }
        s.frequency = tuned.frequency;
        s.mode = tuned.mode;
        s.channel = 0;
        s.remote = true;
        return {};
    }
    case 0x02: {
        if (arg.size() != 1) {
            break;
        }
        const int filter = byteAt(arg, 0) >> 4;
        const int att = byteAt(arg, 0) & 0x0F;
        if (filter > Trc294State::kMaxFilter || att > Trc294State::kMaxAttenuator) {
            break;
        }
        s.filter = filter;
        s.attenuator = att;
        s.channel = 0;
        s.remote = true;
        return {};
    }
    case 0x03: {
        if (arg.size() != 8) {
            break;
        }
        auto index = channelIndex(byteAt(arg, 0));
        Trc294Channel written;
        if (!index || !tune(arg.substr(1, 5), written)) {
            break;
        }
        written.filter = byteAt(arg, 6) >> 4;
        written.attenuator = byteAt(arg, 6) & 0x0F;
        written.mask = byteAt(arg, 7);
        if (written.filter > Trc294State::kMaxFilter || written.attenuator > Trc294State::kMaxAttenuator) {
            break;
        }
        s.channels[*index] = written;
        s.remote = true;
        return {};
    }
    case 0x04: {
        if (arg.size() != 1) {
            break;
        }
        auto index = channelIndex(byteAt(arg, 0));
        if (!index || !s.channels[*index]) {
            break;
        }
        const Trc294Channel& c = *s.channels[*index];
        s.frequency = c.frequency;
        s.mode = c.mode;
        s.filter = c.filter;
        s.attenuator = c.attenuator;
        s.channel = static_cast<int>(*index) + 1;
        s.remote = true;
        return {};
    }
    case 0x07: {
        if (arg.size() != 1) {
            break;
        }
        auto index = channelIndex(byteAt(arg, 0));
        if (!index) {
            break;
        }
        s.channels[*index].reset();
        if (s.channel == static_cast<int>(*index) + 1) {
            s.channel = 0;
        }
        s.remote = true;
        return {};
    }
    case 0x05:
        if (arg.size() != 1 || byteAt(arg, 0) > 1) {
            break;
        }
        s.remote = byteAt(arg, 0) == 1;
        return {};
    case 0x08:
        if (!arg.empty()) {
            break;
        }
        return {statusFrame()};
    case 0x0A:
        if (arg.empty() || arg.size() > 16) {
            break;
        }
        s.display = std::string(arg);
        return {};
    default: break;
    }
    refuse();
    return {};
}

std::unique_ptr<SimReceiver> Trc294Sim::create(int, const ModelOptions& o)
{
    return std::make_unique<Trc294Sim>(Options{o.has("A"), o.has("EXT"), o.has("SSB"), o.seed});
}

}  // namespace sim
