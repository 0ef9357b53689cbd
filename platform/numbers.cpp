// Locale-free number formatting and parsing.
#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace platform {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

// Pads `digits` (no sign) to `width` counting the sign, as printf does.
std::string pad(bool negative, bool forceSign, std::string digits, int width, bool zeroPad)
{
    std::string sign = negative ? "-" : (forceSign ? "+" : "");
    const int len = static_cast<int>(sign.size() + digits.size());
    if (width > len) {
        const std::string fill(static_cast<std::size_t>(width - len), zeroPad ? '0' : ' ');
        return zeroPad ? sign + fill + digits : fill + sign + digits;
    }
    return sign + digits;
}

std::string unsignedDigits(std::uint64_t v)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

}  // namespace

std::string formatInt(std::int64_t value, int width, bool zeroPad)
{
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return pad(negative, false, unsignedDigits(magnitude), width, zeroPad);
}

std::string formatSignedInt(std::int64_t value, int width)
{
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return pad(negative, true, unsignedDigits(magnitude), width, true);
}

std::string formatFixed(double value, int decimals, int width, bool zeroPad)
{
    if (!std::isfinite(value)) {
        return "0";
    }
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) {
        return "0";
    }
    std::string digits(buf, res.ptr);
    // A value that rounds to zero prints without a minus sign.
    bool negative = std::signbit(value) && digits.find_first_not_of("0.") != std::string::npos;
    return pad(negative, false, digits, width, zeroPad);
}

std::optional<std::int64_t> parseInt(std::string_view text)
{
    text = trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return v;
}

std::optional<double> parseDouble(std::string_view text)
{
    text = trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

}  // namespace platform
