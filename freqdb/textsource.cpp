// The operator's semicolon-separated text file: header detection, the
// format check with its messages, and reading the rows. Each reads the file
// once, line by line, so memory is bounded by the longest line. Lines may be
// of any length and end in LF or CR LF; a field in double quotes loses its
// quotes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "platform/numbers.h"
#include "platform/reporter.h"
#include "sourcetable.h"

namespace lumaret {

namespace {

// The lines of a regular file, one at a time, without their line ends. A
// pipe or a device is never opened for reading (it could block for ever).
class TextLines {
public:
    TextLines() = default;
    ~TextLines()
    {
        std::free(m_buffer);
        if (m_file) {
            std::fclose(m_file);
        }
    }
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;

    bool open(const std::string& path, SourceError& error)
    {
        if (!checkRegularFile(path, error)) {
            return false;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0) {
                ::close(fd);
            }
            error = {kErrFileNotFound, "Could not open the file \"" + toUtf8(path) + "\"."};
            return false;
        }
        m_file = ::fdopen(fd, "rb");
        if (!m_file) {
            ::close(fd);
            error = {kErrFileNotFound, "Could not open the file \"" + toUtf8(path) + "\"."};
            return false;
        }
        return true;
    }

    // The next line; false at the end of the file or on a read error.
    bool next(std::string_view& line)
    {
        const ssize_t n = ::getline(&m_buffer, &m_capacity, m_file);
        if (n < 0) {
            return false;
        }
        line = std::string_view(m_buffer, static_cast<std::size_t>(n));
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        // Spreadsheet programs often open a UTF-8 file with a byte order
        // mark; it is not part of the first column's name.
        if (m_first && line.substr(0, 3) == "\xEF\xBB\xBF") {
            line.remove_prefix(3);
        }
        m_first = false;
        return true;
    }

    bool failed() const { return m_file && std::ferror(m_file); }

private:
    std::FILE* m_file = nullptr;
    char* m_buffer = nullptr;
    std::size_t m_capacity = 0;
    bool m_first = true;
};

// Splits a line at ";" into `fields` (reused), keeping at most `limit`
// fields; the rest of the line is not looked at.
void splitFields(std::string_view line, std::vector<std::string_view>& fields, std::size_t limit = SIZE_MAX)
{
    fields.clear();
    std::size_t start = 0;
    while (fields.size() < limit) {
        const std::size_t sep = line.find(';', start);
        if (sep == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return;
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

std::size_t countSeparators(std::string_view line)
{
    std::size_t n = 0;
    for (char c : line) {
        n += c == ';' ? 1 : 0;
    }
    return n;
}

// Calls `f` with each ";"-separated field of a line, without keeping them.
template <typename F>
void forEachField(std::string_view line, F f)
{
    std::size_t start = 0;
    while (true) {
        const std::size_t sep = line.find(';', start);
        if (sep == std::string_view::npos) {
            f(line.substr(start));
            return;
        }
        f(line.substr(start, sep - start));
        start = sep + 1;
    }
}

// Whether a line reads as a header: no field begins with a non-zero number.
bool headerLike(std::string_view line)
{
    bool header = true;
    forEachField(line, [&header](std::string_view field) { header = header && leadingNumber(field) == 0; });
    return header;
}

// How many fields at the end of a line are empty (blanks or "" only).
std::size_t trailingEmptyFields(std::string_view line)
{
    std::size_t n = 0;
    forEachField(line, [&n](std::string_view field) { n = fieldText(field).empty() ? n + 1 : 0; });
    return n;
}

// The published schedules end their header with more ";" than their data
// lines have, the extra names empty: such a header has the data's width.
bool headerTakesDataWidth(std::size_t headerSeparators, std::size_t trailingEmpty, std::size_t dataSeparators)
{
    return dataSeparators > 0 && dataSeparators < headerSeparators &&
           headerSeparators - dataSeparators <= trailingEmpty;
}

std::string lineText(const char* what, std::size_t lineNumber)
{
    return std::string(what) + platform::formatInt(static_cast<std::int64_t>(lineNumber));
}

// Problems kept for the record and for the summary; boxes shown one by one.
constexpr std::size_t kKeptProblems = 100;
constexpr std::size_t kSummaryLines = 5;
constexpr std::size_t kSingleBoxes = 10;

}  // namespace

bool textFileHasHeader(const std::string& path)
{
    TextLines lines;
    SourceError error;
    if (!lines.open(path, error)) {
        return false;
    }
    std::string_view line;
    while (lines.next(line)) {
        if (!line.empty()) {
            return headerLike(line);
        }
    }
    return true;
}

TextCheckResult checkTextFile(const std::string& path, bool report)
{
    TextCheckResult result;
    TextLines lines;
    SourceError error;
    if (!lines.open(path, error)) {
        result.unreadable = true;
        return result;
    }
    const std::string prefix = "CSV File \"" + displayName(path) + "\":\n\t";
    const auto say = [&](const std::string& detail, platform::MessageIcon icon) {
        ++result.problems;
        if (result.messages.size() < kKeptProblems) {
            result.messages.push_back(prefix + detail + "\n");
        }
        if (icon == platform::MessageIcon::Critical && result.failures.size() < kKeptProblems) {
            result.failures.push_back(detail);
        }
        if (report && result.problems <= kSingleBoxes) {
            platform::reporter().message("Format Error", prefix + detail + "\n", icon);
        }
    };

    bool ok = true;
    bool haveReference = false;
    std::size_t reference = 0;
    bool headerMayShrink = false;
    std::size_t headerTrailing = 0;
    std::size_t lineNumber = 0;
    std::string_view line;
    while (lines.next(line)) {
        ++lineNumber;
        if (line.empty()) {
            say(lineText("Empty line ", lineNumber), platform::MessageIcon::Warning);
            continue;
        }
        const std::size_t count = countSeparators(line);
        if (!haveReference) {
            haveReference = true;
            reference = count;
            headerTrailing = count > 0 && headerLike(line) ? trailingEmptyFields(line) : 0;
            headerMayShrink = headerTrailing > 0;
        } else if (headerMayShrink) {
            headerMayShrink = false;
            if (headerTakesDataWidth(reference, headerTrailing, count)) {
                reference = count;
            }
        }
        if (reference == 0 || count != reference) {
            say(lineText("Separator ';' issue line ", lineNumber), platform::MessageIcon::Critical);
            ++result.failedLines;
            ok = false;
        }
    }
    if (lines.failed()) {
        say("Read error after line " + platform::formatInt(static_cast<std::int64_t>(lineNumber)),
            platform::MessageIcon::Critical);
        ok = false;
    }
    if (!haveReference) {
        say("Empty file", platform::MessageIcon::Critical);
        ok = false;
    }
    if (report && result.problems > kSingleBoxes) {
        const std::size_t more = result.problems - kSingleBoxes;
        platform::reporter().message("Format Error",
                                     prefix + platform::formatInt(static_cast<std::int64_t>(more)) + " more problems\n",
                                     ok ? platform::MessageIcon::Warning : platform::MessageIcon::Critical);
    }
    result.ok = ok;
    return result;
}

std::string checkSummary(const std::string& path, const TextCheckResult& result)
{
    std::string text = "CSV File \"" + displayName(path) + "\":\n";
    for (std::size_t i = 0; i < result.failures.size() && i < kSummaryLines; ++i) {
        text += "\t" + result.failures[i] + "\n";
    }
    if (result.failedLines == 1) {
        text += "\t1 line fails the check\n";
    } else if (result.failedLines > 1) {
        text += "\t" + platform::formatInt(static_cast<std::int64_t>(result.failedLines)) + " lines fail the check\n";
    }
    return text;
}

bool readTextFile(const std::string& path, bool header, RowSink& sink, SourceError& error)
{
    TextLines lines;
    if (!lines.open(path, error)) {
        return false;
    }
    struct KindState {
        bool any = false;
        bool allInt = true;
        bool allNumber = true;
    };
    std::vector<SourceColumn> columns;
    std::vector<KindState> states;
    std::vector<std::string_view> fields;
    SourceRow row;
    std::size_t width = 0;
    std::size_t lineNumber = 0;
    bool started = false;  // the columns went to the sink
    bool headerSeen = false;  // the header line is read, its names held
    std::size_t headerSeparators = 0;
    std::size_t headerTrailing = 0;

    const auto start = [&]() {
        started = true;
        width = columns.size();
        makeColumnNamesUnique(columns);
        states.assign(width, KindState{});
        row.assign(width, std::nullopt);
        return sink.columns(columns, error);
    };

    std::string_view line;
    while (lines.next(line)) {
        ++lineNumber;
        if (line.empty()) {
            continue;
        }
        if (!started && !headerSeen) {
            const std::size_t fieldCount = countSeparators(line) + 1;
            if (fieldCount > kMaxColumns) {
                error = {kErrGeneral,
                         "Line " + platform::formatInt(static_cast<std::int64_t>(lineNumber)) + " of \"" +
                             displayName(path) + "\" has " +
                             platform::formatInt(static_cast<std::int64_t>(fieldCount)) + " fields; at most " +
                             platform::formatInt(static_cast<std::int64_t>(kMaxColumns)) + " columns can be loaded."};
                return false;
            }
            splitFields(line, fields);
            columns.clear();
            for (std::string_view field : fields) {
                columns.push_back({header ? fieldText(field) : std::string(), ColumnKind::Auto});
            }
            if (header) {
                headerSeen = true;
                headerSeparators = fieldCount - 1;
                headerTrailing = trailingEmptyFields(line);
                continue;
            }
            if (!start()) {
                return false;
            }
        } else if (!started) {
            // The first data line after the header: trailing empty names the
            // data does not fill are no columns.
            const std::size_t separators = countSeparators(line);
            if (headerTakesDataWidth(headerSeparators, headerTrailing, separators)) {
                columns.resize(separators + 1);
            }
            if (!start()) {
                return false;
            }
        }
        // A short line leaves its last columns without a value; fields
        // beyond the table's width are not part of it.
        splitFields(line, fields, width);
        for (std::size_t i = 0; i < width; ++i) {
            SourceValue& value = row[i];
            if (i >= fields.size()) {
                value.reset();
                continue;
            }
            std::string text = fieldText(fields[i]);
            if (text.empty()) {
                value.reset();
                continue;
            }
            KindState& k = states[i];
            k.any = true;
            if (k.allInt && !platform::parseInt(text)) {
                k.allInt = false;
            }
            if (!k.allInt && k.allNumber && !platform::parseDouble(text)) {
                k.allNumber = false;
            }
            value = std::move(text);
        }
        if (!sink.row(row, error)) {
            return false;
        }
    }
    if (lines.failed()) {
        error = {kErrGeneral, "Could not read \"" + displayName(path) + "\" after line " +
                                  platform::formatInt(static_cast<std::int64_t>(lineNumber)) + "."};
        return false;
    }
    if (!started && !start()) {
        return false;
    }
    std::vector<ColumnKind> kinds;
    for (const KindState& k : states) {
        kinds.push_back(!k.any        ? ColumnKind::Text
                        : k.allInt    ? ColumnKind::Integer
                        : k.allNumber ? ColumnKind::Double
                                      : ColumnKind::Text);
    }
    return sink.finish(kinds, error);
}

}  // namespace lumaret
