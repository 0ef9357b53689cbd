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

// Auto: the kind is decided by the values once every row is read (text
// files): whole numbers, numbers, or text.
enum class ColumnKind { Integer, Double, Text, Blob, Auto };

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

// Receives a table from a reader as it is read: the columns once, then
// each row, then the kinds the values showed. A reader holds one row at a
// time, so memory stays bounded by the longest row. Returning false stops
// the reader; the sink sets `error` unless it only wanted the columns.
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual bool columns(const std::vector<SourceColumn>& columns, SourceError& error) = 0;
    virtual bool row(const SourceRow& row, SourceError& error) = 0;
    // `kinds` has one entry per column: Auto columns resolved, the others
    // as given.
    virtual bool finish(const std::vector<ColumnKind>& kinds, SourceError& error) = 0;
};

// A sink that keeps the whole table (tests, and the dialog's column list
// with `columnsOnly`, which stops the reader after the columns).
class TableCollector : public RowSink {
public:
    explicit TableCollector(SourceTable& table, bool columnsOnly = false) : m_table(table), m_columnsOnly(columnsOnly)
    {
    }
    bool columns(const std::vector<SourceColumn>& columns, SourceError& error) override;
    bool row(const SourceRow& row, SourceError& error) override;
    bool finish(const std::vector<ColumnKind>& kinds, SourceError& error) override;
    bool haveColumns() const { return m_haveColumns; }

private:
    SourceTable& m_table;
    bool m_columnsOnly;
    bool m_haveColumns = false;
};

// The most columns the query engine takes in one table.
inline constexpr std::size_t kMaxColumns = 2000;

// Error numbers the station database reports in its "ERROR: %x (%s)"
// messages, numbered as database providers number them.
inline constexpr std::uint32_t kErrGeneral = 0x80004005u;
inline constexpr std::uint32_t kErrFileNotFound = 0x80030002u;
inline constexpr std::uint32_t kErrNoTable = 0x80040e37u;
inline constexpr std::uint32_t kErrCommand = 0x80040e14u;

// Names of tables and columns compare without regard to ASCII case.
bool equalsNoCase(std::string_view a, std::string_view b);

// Column names as the query engine can take them: NUL bytes dropped, and a
// name that is empty or already taken (in any letter case) replaced by
// "F<n>" for its position, or "F<n>_<k>" when that is taken too. Linear in
// the number of columns.
void makeColumnNamesUnique(std::vector<SourceColumn>& columns);

// The file's name without its folders, as UTF-8 (messages name it so).
std::string displayName(const std::string& path);

// Whether `path` names a regular file that can be read: a missing file,
// a folder, a pipe or a device is refused with an error naming it, before
// anything tries to read it (a pipe would block the reader for ever).
bool checkRegularFile(const std::string& path, SourceError& error);

// Text as UTF-8: bytes that are valid UTF-8 pass unchanged, anything else
// is read as Latin-1, so no broken UTF-8 ever leaves the library.
std::string toUtf8(std::string_view bytes);

// A byte string as the station record shows it: the signed 32-bit number
// of its first four bytes (little-endian), of fewer when it is shorter.
std::string bytesAsNumber(std::string_view bytes);

// Semicolon-separated text files.
struct TextCheckResult {
    bool ok = false;
    bool unreadable = false;  // the file could not be opened
    std::vector<std::string> messages;  // as shown to the operator, in order (the first ones)
    std::vector<std::string> failures;  // what fails, without the file's name (the first ones)
    std::size_t failedLines = 0;  // lines that fail the check
    std::size_t problems = 0;  // every message, kept or not
};
// Whether the first non-empty line is a header: no field of it begins with
// a non-zero number. An empty file has a header; a file that cannot be read
// has none. Reads the first line only.
bool textFileHasHeader(const std::string& path);
// The check a text file passes before it is accepted, reading the file
// once, line by line. With `report` set, problems go to the operator in
// "Format Error" boxes (the first few one by one, the rest counted in one).
// A header whose extra fields are all empty and trailing has the width of
// the data lines.
TextCheckResult checkTextFile(const std::string& path, bool report);
// One text for a failed check: the first failing lines and their count.
std::string checkSummary(const std::string& path, const TextCheckResult& result);
// Streams the rows of a text file into `sink`, one line at a time.
bool readTextFile(const std::string& path, bool header, RowSink& sink, SourceError& error);

// dBase tables. The header's record count is checked against the file's
// size before anything is read, and a record that cannot be read fails the
// whole table.
bool readDbfFile(const std::string& path, RowSink& sink, SourceError& error);

// Access databases. The reader runs in a child process with memory and time
// limits and hands the rows back, so a damaged file that crashes it or
// makes it allocate without bound ends as an error, never in the caller.
bool readMdbTable(const std::string& path, const std::string& tableName, RowSink& sink, SourceError& error);
bool readMdbTable(const std::string& path, const std::string& tableName, SourceTable& table, SourceError& error);
bool listMdbTables(const std::string& path, std::vector<std::string>& names, SourceError& error);

}  // namespace lumaret
