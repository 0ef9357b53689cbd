// Shared protocol shapes of the receiver models.
#include "familyprotocol.h"

#include <algorithm>
#include <charconv>

#include "platform/numbers.h"

namespace quorvin::family {

std::string addressFrame(std::string_view lead, int address, int digits, std::string_view command, std::string_view end)
{
    int limit = 1;
    for (int i = 0; i < digits; ++i) {
        limit *= 10;
    }
    const int shown = std::clamp(address, 0, limit - 1);
    std::string frame(lead);
    frame += platform::formatInt(shown, digits, true);
    frame += command;
    frame += end;
    return frame;
}

bool beginsWithTwoDel(std::string_view reply)
{
    if (reply.size() < 2) {
        return false;
    }
    return (static_cast<unsigned char>(reply[0]) & 0x7F) == 0x7F &&
           (static_cast<unsigned char>(reply[1]) & 0x7F) == 0x7F;
}

std::string withoutLineEnds(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') {
            out += c;
        }
    }
    return out;
}

std::string_view traceText(std::string_view reply)
{
    while (!reply.empty() && (reply.back() == '\r' || reply.back() == '\n')) {
        reply.remove_suffix(1);
    }
    return reply;
}

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of the number at the front of `text`: "%lf"-like (sign, digits,
// at most one point, at least one digit) or "%u"-like (digits only).
std::size_t numberLength(std::string_view text, bool wholeOnly)
{
    std::size_t i = 0;
    if (!wholeOnly && i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    bool point = false;
    while (i < text.size()) {
        if (isDigit(text[i])) {
            ++digits;
        } else if (!wholeOnly && text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
        ++i;
    }
    return digits == 0 ? 0 : i;
}

}  // namespace

std::optional<LetterField> findLetterField(std::string_view text, char letter, std::size_t from, bool wholeOnly)
{
    while (from < text.size()) {
        const std::size_t at = text.find(letter, from);
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view rest = text.substr(at + 1);
        const std::size_t length = numberLength(rest, wholeOnly);
        if (length > 0) {
            std::string number(rest.substr(0, length));
            if (!number.empty() && number.front() == '+') {
                number.erase(0, 1);
            }
            double value = 0;
            const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
            if (result.ec == std::errc()) {
                return LetterField{at, value};
            }
        }
        from = at + 1;
    }
    return std::nullopt;
}

std::size_t resumeAfter(std::string_view text, std::size_t letter)
{
    return std::min(text.size(), letter + 2);
}

std::optional<std::string> takeRecord(std::string& buffer, char end)
{
    const std::size_t at = buffer.find(end);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::string record = buffer.substr(0, at + 1);
    buffer.erase(0, at + 1);
    return record;
}

std::size_t countRecords(std::string_view bytes, char end)
{
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = bytes.find(end, start);
        if (at == std::string_view::npos) {
            return count;
        }
        if (bytes.substr(start, at + 1 - start).find_first_not_of("\r\n") != std::string_view::npos) {
            ++count;
        }
        start = at + 1;
    }
}

std::optional<int> digitAt(std::string_view text, std::size_t pos)
{
    if (pos >= text.size() || !isDigit(text[pos])) {
        return std::nullopt;
    }
    return text[pos] - '0';
}

std::optional<std::int64_t> digitsAt(std::string_view text, std::size_t pos, std::size_t count)
{
    if (count == 0 || pos > text.size() || text.size() - pos < count) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (!isDigit(text[i])) {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace quorvin::family
