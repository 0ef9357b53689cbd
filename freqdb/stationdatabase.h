// The operator's station database: an Access database, a dBase table or a
// semicolon-separated text file, named in the settings under the storage
// key. Opening loads the table into an in-memory SQLite database; counting,
// searching by frequency and stepping through the matches run there.
// Identifiers are quoted and values bound, so no setting can change a query.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "interfaces/ifrequencydata.h"
#include "sourcetable.h"

struct sqlite3;

namespace lumaret {

enum class SourceKind { Access, DBase, Text };

struct DatabaseSettings {
    std::string profile = "TEST";
    std::string file;
    std::string user = "Admin";
    std::string password;
    std::string table;
    std::string freqColumn;
    std::string descColumn;
    std::string statColumn;
    std::string moduColumn;
    std::string modeColumn;
    std::string baudColumn;
};

// The columns the configuration dialog proposes for a table: the last
// column whose upper-cased name contains "FREQ" or "FRQ", "INFO" or "DES",
// "STAT" or "ID" (empty when none does).
struct ColumnGuess {
    std::string freq;
    std::string desc;
    std::string stat;
};
ColumnGuess guessColumns(const std::vector<std::string>& columns);

// Settings the dialog accepts: a frequency column and at least one other.
bool settingsComplete(const DatabaseSettings& settings);

// "ERROR: %x (%s)": the error number in hexadecimal and its text, as the
// "Database Error" box and the dialog's status line show it.
std::string errorText(const SourceError& error);

// Why a text file's name cannot serve as a table name, as the dialog shows
// it; empty when the name is fine.
std::string csvFileNameProblem(const std::string& path);

class StationDatabase {
public:
    StationDatabase();
    ~StationDatabase();
    StationDatabase(const StationDatabase&) = delete;
    StationDatabase& operator=(const StationDatabase&) = delete;

    // The columns of the table the settings name, read without opening the
    // database and without a message (the dialog lists them).
    static bool readColumns(const DatabaseSettings& settings, std::vector<std::string>& names, SourceError& error);

    // The kind is decided by the file's own name, never by its folders: the
    // extension .dbf, .csv or .mdb first, else "DBF" or "CSV" in the name.
    static SourceKind sourceKind(const std::string& path);
    // The table a dBase or text file stands for: the name up to its first
    // "." (dBase) or the name with its extension (text).
    static std::string tableForFile(const std::string& path);

    const DatabaseSettings& settings() const { return m_settings; }
    void setSettings(const DatabaseSettings& settings) { m_settings = settings; }

    // Reads the settings under "SOFTWARE\Korvane Software\<key>\<profile>";
    // when a file is set (and a text file passes the check) opens it. A
    // text file that fails the check is reported once, in one "Format
    // Error" box. True when the database is open afterwards.
    bool loadFromStore(const std::string& storageKey);
    bool saveToStore(const std::string& storageKey) const;

    // Loads the configured file, streaming its rows into the query
    // database; a failure goes to the operator as a "Database Error"
    // message, and nothing of a failed load stays for the queries.
    bool open();
    void close();
    bool isOpen() const { return m_db != nullptr; }

    std::int32_t count(bool distinct);
    std::int32_t first(DATARECORD* data, std::int32_t freqHz, std::int16_t deltaHz);
    std::int32_t next(DATARECORD* data, bool up);

    // Rows of the open result (0 when none is open).
    std::size_t resultSize() const { return m_resultOpen ? m_result.size() : 0; }
    // The columns of the loaded table (the dialog lists them).
    std::vector<std::string> columnNames() const;
    // The last query text, for tests and traces.
    const std::string& lastQuery() const { return m_lastQuery; }
    // Its bound values as text, in order.
    const std::vector<std::string>& lastArguments() const { return m_lastArguments; }

private:
    struct Column {
        std::string name;
        ColumnKind kind;
    };
    // Streams the rows a reader yields into the query database.
    class Loader;
    bool createDatabase(SourceError& error);
    const Column* findColumn(const std::string& name) const;
    bool freqIsText() const;
    void reportError(std::uint32_t code, const std::string& text) const;
    void resetRecord(DATARECORD* data) const;
    void fillRecord(DATARECORD* data, const std::vector<std::string>& row) const;
    using QueryArg = std::variant<std::string, double>;
    bool runQuery(const std::string& sql, const std::vector<QueryArg>& args,
                  std::vector<std::vector<std::string>>& rows, std::string& error);
    std::vector<const std::string*> mappedColumns() const;

    DatabaseSettings m_settings;
    sqlite3* m_db = nullptr;
    std::vector<Column> m_columns;
    std::vector<std::vector<std::string>> m_result;
    bool m_resultOpen = false;
    std::size_t m_row = 0;
    std::string m_lastQuery;
    std::vector<std::string> m_lastArguments;
};

}  // namespace lumaret
