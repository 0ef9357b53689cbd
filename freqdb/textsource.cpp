// The operator's semicolon-separated text file: header detection, the
// format check with its messages, and reading the rows. Lines may be of any
// length and end in LF or CR LF; a field in double quotes loses its quotes.
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/numbers.h"
#include "platform/reporter.h"
#include "sourcetable.h"

namespace lumaret {

namespace {

bool readWholeFile(const std::string& path, std::string& content)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        return false;
    }
    content = std::move(buffer).str();
    // Spreadsheet programs often open a UTF-8 file with a byte order mark;
    // it is not part of the first column's name.
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) {
        content.erase(0, 3);
    }
    return true;
}

std::vector<std::string_view> splitLines(std::string_view content)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        std::string_view line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t sep = line.find(';', start);
        if (sep == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, sep - start));
        start = sep + 1;
    }
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// A field as text: blanks trimmed, surrounding double quotes removed with
// their doubled inner quotes, then made valid UTF-8.
std::string fieldText(std::string_view field)
{
    field = trimBlanks(field);
    std::string text;
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
        field = field.substr(1, field.size() - 2);
        for (std::size_t i = 0; i < field.size(); ++i) {
            text += field[i];
            if (field[i] == '"' && i + 1 < field.size() && field[i + 1] == '"') {
                ++i;
            }
        }
    } else {
        text.assign(field);
    }
    return toUtf8(text);
}

// The number a field begins with, as a C reader would take it (0 when it
// does not begin with one).
double leadingNumber(std::string_view field)
{
    field = trimBlanks(field);
    if (!field.empty() && field.front() == '"') {
        field.remove_prefix(1);
    }
    bool negative = false;
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) {
        negative = field.front() == '-';
        field.remove_prefix(1);
    }
    // Only digits begin a number here ("INFO" is no infinity).
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (field.empty() || !(isDigit(field.front()) || (field.front() == '.' && field.size() > 1 && isDigit(field[1])))) {
        return 0;
    }
    double value = 0;
    const auto res = std::from_chars(field.data(), field.data() + field.size(), value, std::chars_format::fixed);
    if (res.ec != std::errc()) {
        return 0;
    }
    return negative ? -value : value;
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::size_t countSeparators(std::string_view line)
{
    std::size_t n = 0;
    for (char c : line) {
        n += c == ';' ? 1 : 0;
    }
    return n;
}

}  // namespace

bool textFileHasHeader(const std::string& path)
{
    std::string content;
    if (!readWholeFile(path, content)) {
        return false;
    }
    for (std::string_view line : splitLines(content)) {
        if (line.empty()) {
            continue;
        }
        for (std::string_view field : splitFields(line)) {
            if (leadingNumber(field) != 0) {
                return false;
            }
        }
        return true;
    }
    return true;
}

TextCheckResult checkTextFile(const std::string& path, bool report)
{
    TextCheckResult result;
    std::string content;
    if (!readWholeFile(path, content)) {
        return result;
    }
    const std::string name = toUtf8(baseName(path));
    const std::string prefix = "CSV File \"" + name + "\":\n\t";
    const auto say = [&](const std::string& text, platform::MessageIcon icon) {
        result.messages.push_back(text);
        if (report) {
            platform::reporter().message("Format Error", text, icon);
        }
    };

    bool ok = true;
    bool haveReference = false;
    std::size_t reference = 0;
    int lineNumber = 0;
    for (std::string_view line : splitLines(content)) {
        ++lineNumber;
        if (line.empty()) {
            say(prefix + "Empty line " + platform::formatInt(lineNumber) + "\n", platform::MessageIcon::Warning);
            continue;
        }
        const std::size_t count = countSeparators(line);
        if (!haveReference) {
            haveReference = true;
            reference = count;
        }
        if (reference == 0 || count != reference) {
            say(prefix + "Separator ';' issue line " + platform::formatInt(lineNumber) + "\n",
                platform::MessageIcon::Critical);
            ok = false;
        }
    }
    if (!haveReference) {
        say(prefix + "Empty file\n", platform::MessageIcon::Critical);
        ok = false;
    }
    result.ok = ok;
    return result;
}

bool readTextFile(const std::string& path, bool header, SourceTable& table, SourceError& error)
{
    table = SourceTable{};
    std::string content;
    if (!readWholeFile(path, content)) {
        error = {kErrFileNotFound, "Could not open the file \"" + toUtf8(baseName(path)) + "\"."};
        return false;
    }
    bool first = true;
    std::size_t width = 0;
    for (std::string_view line : splitLines(content)) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string_view> fields = splitFields(line);
        if (first) {
            first = false;
            width = fields.size();
            for (std::size_t i = 0; i < width; ++i) {
                std::string name = header ? fieldText(fields[i]) : std::string();
                const std::string fallback = "F" + platform::formatInt(static_cast<std::int64_t>(i) + 1);
                bool duplicate = false;
                for (const SourceColumn& c : table.columns) {
                    duplicate = duplicate || equalsNoCase(c.name, name);
                }
                table.columns.push_back({name.empty() || duplicate ? fallback : name, ColumnKind::Text});
            }
            if (header) {
                continue;
            }
        }
        // A short line leaves its last columns without a value; fields
        // beyond the first line's count are not part of the table.
        SourceRow row(width);
        for (std::size_t i = 0; i < width && i < fields.size(); ++i) {
            std::string text = fieldText(fields[i]);
            if (!text.empty()) {
                row[i] = std::move(text);
            }
        }
        table.rows.push_back(std::move(row));
    }

    // Column kinds as the values show them: whole numbers, numbers, or text.
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        bool allInt = true;
        bool allNumber = true;
        bool any = false;
        for (const SourceRow& row : table.rows) {
            if (!row[c]) {
                continue;
            }
            any = true;
            if (allInt && !platform::parseInt(*row[c])) {
                allInt = false;
            }
            if (!allInt && !platform::parseDouble(*row[c])) {
                allNumber = false;
                break;
            }
        }
        table.columns[c].kind = !any ? ColumnKind::Text
                                : allInt ? ColumnKind::Integer
                                : allNumber ? ColumnKind::Double
                                            : ColumnKind::Text;
    }
    return true;
}

}  // namespace lumaret
