// Formatting and parsing of the memory-channel file.
#include "channelfile.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace channelfile {

namespace {

std::string number(std::int64_t v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string right(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// A decimal number ("6000000", "-800", "2400.0", "+5"); nullopt when the
// field is not one.
std::optional<double> numeric(std::string_view s)
{
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty() || s.front() == '+' || (s.front() == '-' && s.size() == 1)) {
        return std::nullopt;
    }
    for (char c : s) {
        if (!(c >= '0' && c <= '9') && c != '.' && c != '-') {
            return std::nullopt;  // no exponents, no hex, no "inf"
        }
    }
    double v = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

}  // namespace

std::string formatLine(const ChannelLine& l)
{
    std::string out = number(l.channel);
    if (l.channel >= 0 && out.size() < 3) {
        out = std::string(3 - out.size(), '0') + out;
    }
    out += ";" + right(number(l.frequency), 11);
    out += ";" + right(number(l.bfo), 5);
    out += ";" + right(l.mode, 5);
    out += ";" + right(number(l.filter), 5);
    out += ";" + right(l.agc, 4);
    out += ";" + right(number(l.mask), 1);
    out += ";\r\n";
    return out;
}

std::string format(const std::vector<ChannelLine>& lines)
{
    std::string out;
    for (const auto& l : lines) {
        out += formatLine(l);
    }
    return out;
}

ParseResult parse(std::string_view text, bool agcOptional)
{
    ParseResult result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);  // a byte-order mark some editors put first
    }
    std::vector<std::string_view> rows;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t eol = text.find('\n', start);
        if (eol == std::string_view::npos) {
            eol = text.size();
        }
        std::string_view row = text.substr(start, eol - start);
        if (!row.empty() && row.back() == '\r') {
            row.remove_suffix(1);
        }
        rows.push_back(row);
        start = eol + 1;
    }
    while (!rows.empty() && trim(rows.back()).empty()) {
        rows.pop_back();
    }

    int n = 0;
    for (std::string_view row : rows) {
        ++n;
        const std::string nText = number(n);
        auto fail = [&](std::string message) { result.error = ParseError{n, std::move(message)}; };
        if (trim(row).empty()) {
            fail("Line " + nText + " is invalid");
            break;
        }
        std::vector<std::string_view> f;
        for (std::size_t start = 0;;) {
            const std::size_t sep = row.find(';', start);
            f.push_back(trim(row.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start)));
            if (sep == std::string_view::npos) {
                break;
            }
            start = sep + 1;
        }
        if (f.size() != 8) {
            fail("Line " + nText + " don't contain the required number of fields !");
            break;
        }
        if (f[0].empty() || f[1].empty() || f[3].empty() || f[4].empty() || (f[5].empty() && !agcOptional)) {
            fail("Empty field(s) on line " + nText);
            break;
        }
        const auto chn = numeric(f[0]);
        const auto frq = numeric(f[1]);
        const auto flt = numeric(f[4]);
        const auto bfo = f[2].empty() ? std::optional<double>(0.0) : numeric(f[2]);
        const auto msk = f[6].empty() ? std::optional<double>(0.0) : numeric(f[6]);
        if (!chn || !frq || !flt || !bfo || !msk || *chn != std::floor(*chn)) {
            fail("Non numerical field(s) on line " + nText);
            break;
        }
        const double i32max = std::numeric_limits<std::int32_t>::max();
        if (*chn < 0 || *chn > 32767 || *frq < 0 || *frq > i32max || *flt < 0 || *flt > i32max ||
            std::fabs(*bfo) > i32max || std::fabs(*msk) > i32max) {
            fail("Value(s) out of range on line " + nText);
            break;
        }
        ChannelLine line;
        line.channel = static_cast<int>(*chn);
        line.frequency = std::llround(*frq);
        line.bfo = std::llround(*bfo);
        line.mode = std::string(f[3]);
        line.filter = std::llround(*flt);
        line.agc = std::string(f[5]);
        line.mask = std::llround(*msk);
        result.lines.push_back(std::move(line));
    }
    return result;
}

}  // namespace channelfile
