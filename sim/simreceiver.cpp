// Shared pieces of the receiver codecs: command splitting, strict digit
// fields, the repeatable random source and the trace escaping.
#include "simreceiver.h"

#include "platform/numbers.h"

namespace sim {

std::vector<std::string> SimReceiver::takeCommands(std::string_view bytes, char terminator, std::size_t maxPending)
{
    std::vector<std::string> commands;
    for (char c : bytes) {
        if (c == terminator) {
            commands.push_back(m_input);
            m_input.clear();
            continue;
        }
        m_input.push_back(c);
        if (m_input.size() > maxPending) {
            m_input.clear();
        }
    }
    return commands;
}

std::optional<std::int64_t> parseDigits(std::string_view text, std::size_t width)
{
    if (text.size() != width || width == 0 || width > 18) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<std::int64_t> parseSignedDigits(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    auto value = parseDigits(text, text.size());
    if (!value) {
        return std::nullopt;
    }
    return negative ? -*value : *value;
}

std::optional<double> parseDecimal(std::string_view text)
{
    std::string_view body = text;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        body.remove_prefix(1);
    }
    if (body.empty() || body.size() > 16) {
        return std::nullopt;
    }
    int points = 0;
    int digits = 0;
    for (char c : body) {
        if (c == '.') {
            ++points;
        } else if (c >= '0' && c <= '9') {
            ++digits;
        } else {
            return std::nullopt;
        }
    }
    if (points > 1 || digits == 0) {
        return std::nullopt;
    }
    return platform::parseDouble(text);
}

std::optional<int> codeIn(std::string_view text, int low, int high)
{
    auto value = parseDigits(text, text.size());
    if (!value || text.size() > 3 || *value < low || *value > high) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::uint32_t SimRandom::next()
{
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
}

int SimRandom::between(int low, int high)
{
    if (high <= low) {
        return low;
    }
    const auto span = static_cast<std::uint32_t>(high - low) + 1u;
    return low + static_cast<int>(next() % span);
}

std::string escapeBytes(std::string_view bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0x0F]);
        }
    }
    return out;
}

}  // namespace sim
