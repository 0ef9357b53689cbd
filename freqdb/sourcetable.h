// Reading the operator's station file into memory before it is loaded into
// the query engine: a semicolon-separated text file, a dBase table or a
// table of an Access database. Every reader yields the same shape, column
// names with a kind and rows of optional values, and reports a failure with
// an error number and a text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumaret {

enum class ColumnKind { Integer, Double, Text, Blob };

struct SourceColumn {
    std::string name;
    ColumnKind kind = ColumnKind::Text;
};

using SourceValue = std::optional<std::string>;  // nullopt: no value
using SourceRow = std::vector<SourceValue>;

struct SourceTable {
    std::vector<SourceColumn> columns;
    std::vector<SourceRow> rows;
};

struct SourceError {
    std::uint32_t code = 0;
    std::string text;
};

// Error numbers the station database reports in its "ERROR: %x (%s)"
// messages, numbered as database providers number them.
inline constexpr std::uint32_t kErrGeneral = 0x80004005u;
inline constexpr std::uint32_t kErrFileNotFound = 0x80030002u;
inline constexpr std::uint32_t kErrNoTable = 0x80040e37u;
inline constexpr std::uint32_t kErrCommand = 0x80040e14u;

// Names of tables and columns compare without regard to ASCII case.
bool equalsNoCase(std::string_view a, std::string_view b);

// Text as UTF-8: bytes that are valid UTF-8 pass unchanged, anything else
// is read as Latin-1, so no broken UTF-8 ever leaves the library.
std::string toUtf8(std::string_view bytes);

// A byte string as the station record shows it: the signed 32-bit number
// of its first four bytes (little-endian), of fewer when it is shorter.
std::string bytesAsNumber(std::string_view bytes);

// Semicolon-separated text files.
struct TextCheckResult {
    bool ok = false;
    std::vector<std::string> messages;  // as shown to the operator, in order
};
// Whether the first non-empty line is a header: no field of it begins with
// a non-zero number. An empty file has a header; a file that cannot be read
// has none.
bool textFileHasHeader(const std::string& path);
// The check a text file passes before it is accepted. With `report` set,
// each problem goes to the operator in a "Format Error" box.
TextCheckResult checkTextFile(const std::string& path, bool report);
bool readTextFile(const std::string& path, bool header, SourceTable& table, SourceError& error);

// dBase tables.
bool readDbfFile(const std::string& path, SourceTable& table, SourceError& error);

// Access databases.
bool readMdbTable(const std::string& path, const std::string& tableName, SourceTable& table, SourceError& error);
bool listMdbTables(const std::string& path, std::vector<std::string>& names, SourceError& error);

}  // namespace lumaret
