// Locale-free number formatting and parsing for wire frames, SQL text,
// files and the clipboard. Never depends on the user's locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// printf-like "%0*d": at least `width` digits, zero-padded after the sign.
std::string formatInt(std::int64_t value, int width = 0, bool zeroPad = false);
// "%+0*d": always a sign, then at least width-1 digits zero-padded
// (width counts the sign as printf does).
std::string formatSignedInt(std::int64_t value, int width);
// "%.*f" with a '.' decimal point; width pads with leading blanks or zeros.
std::string formatFixed(double value, int decimals, int width = 0, bool zeroPad = false);

// Whole-text parses; surrounding blanks are allowed, anything else fails.
std::optional<std::int64_t> parseInt(std::string_view text);
std::optional<double> parseDouble(std::string_view text);

}  // namespace platform
