// Helpers shared by the station file readers: UTF-8 with a Latin-1
// fallback, case-blind name comparison, column names the engine can take,
// the regular-file check and the collecting sink.
#include "sourcetable.h"

#include <sys/stat.h>

#include <cerrno>
#include <unordered_set>

#include "platform/numbers.h"

namespace lumaret {

namespace {

bool isValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::string bytesAsNumber(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    return platform::formatInt(static_cast<std::int32_t>(value));
}

std::string toUtf8(std::string_view bytes)
{
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            text += ch;
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

std::string displayName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return toUtf8(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool checkRegularFile(const std::string& path, SourceError& error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = {kErrFileNotFound, "Could not open the file \"" + toUtf8(path) + "\"."};
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = {kErrGeneral, "\"" + toUtf8(path) + "\" is not a regular file."};
        return false;
    }
    return true;
}

void makeColumnNamesUnique(std::vector<SourceColumn>& columns)
{
    const auto folded = [](std::string_view name) {
        std::string key(name);
        for (char& c : key) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return key;
    };
    std::unordered_set<std::string> taken;
    taken.reserve(columns.size() * 2);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::string& name = columns[i].name;
        std::erase(name, '\0');
        if (!name.empty() && taken.insert(folded(name)).second) {
            continue;
        }
        const std::string generated = "F" + platform::formatInt(static_cast<std::int64_t>(i) + 1);
        name = generated;
        for (std::int64_t k = 2; !taken.insert(folded(name)).second; ++k) {
            name = generated + "_" + platform::formatInt(k);
        }
    }
}

bool TableCollector::columns(const std::vector<SourceColumn>& columns, SourceError&)
{
    m_table.columns = columns;
    m_haveColumns = true;
    return !m_columnsOnly;
}

bool TableCollector::row(const SourceRow& row, SourceError&)
{
    m_table.rows.push_back(row);
    return true;
}

bool TableCollector::finish(const std::vector<ColumnKind>& kinds, SourceError&)
{
    for (std::size_t i = 0; i < kinds.size() && i < m_table.columns.size(); ++i) {
        m_table.columns[i].kind = kinds[i];
    }
    return true;
}

}  // namespace lumaret
