// The station database: settings, loading the operator's file into SQLite,
// and the count, search and step queries.
#include "stationdatabase.h"

#include <sqlite3.h>

#include "platform/numbers.h"
#include "platform/reporter.h"
#include "platform/settingsstore.h"

namespace lumaret {

namespace {

std::string upper(std::string s)
{
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return s;
}

std::string fileName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string quoteIdent(const std::string& name)
{
    std::string q = "\"";
    for (char c : name) {
        q += c;
        if (c == '"') {
            q += '"';
        }
    }
    return q + "\"";
}

std::string hexNumber(std::uint32_t value)
{
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

const char* declaredType(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::Integer: return "INTEGER";
    case ColumnKind::Double: return "REAL";
    case ColumnKind::Blob: return "BLOB";
    case ColumnKind::Text:
    case ColumnKind::Auto: break;
    }
    return "TEXT";
}

// A value as the station record shows it: whole numbers exactly (64 bits),
// other numbers with six decimals, texts as they are, and a byte string as
// the signed number of its first four bytes (fewer when it is shorter).
std::string renderValue(sqlite3_stmt* stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER: return platform::formatInt(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT: return platform::formatFixed(sqlite3_column_double(stmt, column), 6);
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))) : std::string();
    }
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, column));
        const int size = sqlite3_column_bytes(stmt, column);
        return bytesAsNumber(bytes ? std::string_view(bytes, static_cast<std::size_t>(size)) : std::string_view());
    }
    default: return {};
    }
}

}  // namespace

std::string errorText(const SourceError& error)
{
    return "ERROR: " + hexNumber(error.code) + " (" + error.text + ")";
}

ColumnGuess guessColumns(const std::vector<std::string>& columns)
{
    ColumnGuess guess;
    for (const std::string& c : columns) {
        const std::string name = upper(c);
        const auto has = [&name](const char* part) { return name.find(part) != std::string::npos; };
        if (has("FREQ") || has("FRQ")) {
            guess.freq = c;
        }
        if (has("INFO") || has("DES")) {
            guess.desc = c;
        }
        if (has("STAT") || has("ID")) {
            guess.stat = c;
        }
    }
    return guess;
}

bool settingsComplete(const DatabaseSettings& s)
{
    return !s.freqColumn.empty() && (!s.descColumn.empty() || !s.statColumn.empty() || !s.moduColumn.empty() ||
                                     !s.modeColumn.empty() || !s.baudColumn.empty());
}

std::string csvFileNameProblem(const std::string& path)
{
    const std::string name = fileName(path);
    if (upper(name) == "DATABASE.CSV") {
        return "'Database' name forbidden in CSV file names";
    }
    // The message names the whole character, so a name outside ASCII is
    // made UTF-8 first and a character is taken with all its bytes.
    const std::string text = toUtf8(name);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (c != '.' && !letter && !digit) {
            std::size_t end = i + 1;
            while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
                ++end;
            }
            return "Character '" + text.substr(i, end - i) + "' forbidden in CSV file names";
        }
    }
    return {};
}

StationDatabase::StationDatabase() = default;

StationDatabase::~StationDatabase()
{
    close();
}

SourceKind StationDatabase::sourceKind(const std::string& path)
{
    const std::string name = upper(fileName(path));
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        const std::string ext = name.substr(dot + 1);
        if (ext == "DBF") {
            return SourceKind::DBase;
        }
        if (ext == "CSV") {
            return SourceKind::Text;
        }
        if (ext == "MDB" || ext == "ACCDB") {
            return SourceKind::Access;
        }
    }
    if (name.find("DBF") != std::string::npos) {
        return SourceKind::DBase;
    }
    if (name.find("CSV") != std::string::npos) {
        return SourceKind::Text;
    }
    return SourceKind::Access;
}

std::string StationDatabase::tableForFile(const std::string& path)
{
    // The table name reaches the station records: a file name in Latin-1
    // is made UTF-8 like every other text.
    const std::string name = toUtf8(fileName(path));
    if (sourceKind(path) == SourceKind::DBase) {
        return name.substr(0, name.find('.'));
    }
    return name;
}

bool StationDatabase::loadFromStore(const std::string& storageKey)
{
    // An empty key loads nothing and leaves what is open as it is.
    if (storageKey.empty()) {
        return false;
    }
    close();
    const std::string profile = m_settings.profile;
    m_settings = DatabaseSettings{};
    m_settings.profile = profile;
    platform::SettingsStore& store = platform::SettingsStore::shared();
    const std::string key =
        platform::SettingsStore::join(platform::SettingsStore::join(platform::kSettingsRoot, storageKey), profile);
    const DatabaseSettings defaults;
    m_settings.file = store.readText(key, "S_File", defaults.file);
    m_settings.user = store.readText(key, "S_User", defaults.user);
    m_settings.password = store.readText(key, "S_Pass", defaults.password);
    m_settings.table = store.readText(key, "S_Tabl", defaults.table);
    m_settings.freqColumn = store.readText(key, "S_Freq", defaults.freqColumn);
    m_settings.descColumn = store.readText(key, "S_Desc", defaults.descColumn);
    m_settings.statColumn = store.readText(key, "S_Stat", defaults.statColumn);
    m_settings.moduColumn = store.readText(key, "S_Modu", defaults.moduColumn);
    m_settings.modeColumn = store.readText(key, "S_Mode", defaults.modeColumn);
    m_settings.baudColumn = store.readText(key, "S_Baud", defaults.baudColumn);
    if (m_settings.file.empty()) {
        return false;
    }
    if (sourceKind(m_settings.file) == SourceKind::Text) {
        // A file that cannot be read at all fails in open(), with its reason.
        const TextCheckResult check = checkTextFile(m_settings.file, false);
        if (!check.ok && !check.unreadable) {
            platform::reporter().message("Format Error", checkSummary(m_settings.file, check),
                                         platform::MessageIcon::Critical);
            return false;
        }
    }
    return open();
}

bool StationDatabase::saveToStore(const std::string& storageKey) const
{
    if (storageKey.empty()) {
        return false;
    }
    platform::SettingsStore& store = platform::SettingsStore::shared();
    const std::string key = platform::SettingsStore::join(
        platform::SettingsStore::join(platform::kSettingsRoot, storageKey), m_settings.profile);
    bool ok = store.writeText(key, "S_File", m_settings.file);
    ok = store.writeText(key, "S_User", m_settings.user) && ok;
    ok = store.writeText(key, "S_Pass", m_settings.password) && ok;
    ok = store.writeText(key, "S_Tabl", m_settings.table) && ok;
    ok = store.writeText(key, "S_Freq", m_settings.freqColumn) && ok;
    ok = store.writeText(key, "S_Desc", m_settings.descColumn) && ok;
    ok = store.writeText(key, "S_Stat", m_settings.statColumn) && ok;
    ok = store.writeText(key, "S_Modu", m_settings.moduColumn) && ok;
    ok = store.writeText(key, "S_Mode", m_settings.modeColumn) && ok;
    ok = store.writeText(key, "S_Baud", m_settings.baudColumn) && ok;
    return ok;
}

void StationDatabase::close()
{
    m_result.clear();
    m_resultOpen = false;
    m_columns.clear();
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

void StationDatabase::reportError(std::uint32_t code, const std::string& text) const
{
    platform::reporter().message("Database Error", errorText({code, text}), platform::MessageIcon::Warning);
}

namespace {

// Streams the file the settings name into `sink`; dBase and text files fix
// the table name. A file that is no regular file is refused before any
// reader touches it.
bool readSource(DatabaseSettings& settings, RowSink& sink, SourceError& error)
{
    const SourceKind kind = StationDatabase::sourceKind(settings.file);
    if (settings.file.empty()) {
        error = {kErrFileNotFound, "No database file is set."};
        return false;
    }
    if (!checkRegularFile(settings.file, error)) {
        return false;
    }
    if (kind == SourceKind::Text) {
        settings.table = StationDatabase::tableForFile(settings.file);
        return readTextFile(settings.file, textFileHasHeader(settings.file), sink, error);
    }
    if (kind == SourceKind::DBase) {
        settings.table = StationDatabase::tableForFile(settings.file);
        return readDbfFile(settings.file, sink, error);
    }
    if (settings.table.empty()) {
        error = {kErrNoTable, "No table is set."};
        return false;
    }
    return readMdbTable(settings.file, settings.table, sink, error);
}

// Numbers of text columns that held only numbers, converted in place once
// every row is in; anything else passes unchanged.
void toInteger(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        const auto size = static_cast<std::size_t>(sqlite3_value_bytes(argv[0]));
        if (const auto n = platform::parseInt(std::string_view(text, size))) {
            sqlite3_result_int64(context, *n);
            return;
        }
    }
    sqlite3_result_value(context, argv[0]);
}

void toReal(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        const auto size = static_cast<std::size_t>(sqlite3_value_bytes(argv[0]));
        if (const auto d = platform::parseDouble(std::string_view(text, size))) {
            sqlite3_result_double(context, *d);
            return;
        }
    }
    sqlite3_result_value(context, argv[0]);
}

}  // namespace

class StationDatabase::Loader : public RowSink {
public:
    explicit Loader(StationDatabase& owner) : m_owner(owner) {}
    ~Loader() override { sqlite3_finalize(m_insert); }
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    bool columns(const std::vector<SourceColumn>& columns, SourceError& error) override
    {
        sqlite3* db = m_owner.m_db;
        if (columns.empty()) {
            return fail("The table has no columns", error);
        }
        const auto limit = static_cast<std::size_t>(sqlite3_limit(db, SQLITE_LIMIT_COLUMN, -1));
        if (columns.size() > limit) {
            error = {kErrGeneral, "The table has " + platform::formatInt(static_cast<std::int64_t>(columns.size())) +
                                      " columns; at most " + platform::formatInt(static_cast<std::int64_t>(limit)) +
                                      " can be loaded."};
            return false;
        }
        const std::string table = quoteIdent(m_owner.m_settings.table);
        std::string create = "CREATE TABLE " + table + " (";
        std::string insert = "INSERT INTO " + table + " VALUES (";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const SourceColumn& c = columns[i];
            // A column whose kind the values decide has no declared type,
            // so the numbers put in at the end stay numbers.
            create += (i ? ", " : "") + quoteIdent(c.name) +
                      (c.kind == ColumnKind::Auto ? std::string() : std::string(" ") + declaredType(c.kind));
            insert += i ? ", ?" : "?";
            m_owner.m_columns.push_back({c.name, c.kind});
            m_kinds.push_back(c.kind);
        }
        create += ")";
        insert += ")";
        if (sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            return fail("Could not create the table", error);
        }
        if (sqlite3_prepare_v2(db, insert.c_str(), -1, &m_insert, nullptr) != SQLITE_OK) {
            return fail("Could not prepare the load", error);
        }
        if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
            return fail("Could not start the load", error);
        }
        return true;
    }

    bool row(const SourceRow& row, SourceError& error) override
    {
        sqlite3_reset(m_insert);
        for (std::size_t i = 0; i < m_kinds.size(); ++i) {
            const int slot = static_cast<int>(i) + 1;
            if (i >= row.size() || !row[i]) {
                sqlite3_bind_null(m_insert, slot);
                continue;
            }
            const std::string& v = *row[i];
            switch (m_kinds[i]) {
            case ColumnKind::Integer:
                if (auto n = platform::parseInt(v)) {
                    sqlite3_bind_int64(m_insert, slot, *n);
                    continue;
                }
                break;
            case ColumnKind::Double:
                if (auto d = platform::parseDouble(v)) {
                    sqlite3_bind_double(m_insert, slot, *d);
                    continue;
                }
                break;
            case ColumnKind::Blob:
                sqlite3_bind_blob(m_insert, slot, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
                continue;
            case ColumnKind::Text:
            case ColumnKind::Auto: break;
            }
            // The row lives until the step below.
            sqlite3_bind_text(m_insert, slot, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
        }
        if (sqlite3_step(m_insert) != SQLITE_DONE) {
            return fail("Could not load the rows", error);
        }
        return true;
    }

    bool finish(const std::vector<ColumnKind>& kinds, SourceError& error) override
    {
        sqlite3* db = m_owner.m_db;
        sqlite3_finalize(m_insert);
        m_insert = nullptr;
        std::string update;
        for (std::size_t i = 0; i < m_kinds.size() && i < kinds.size(); ++i) {
            if (m_kinds[i] != ColumnKind::Auto) {
                continue;
            }
            Column& column = m_owner.m_columns[i];
            column.kind = kinds[i] == ColumnKind::Auto ? ColumnKind::Text : kinds[i];
            if (column.kind == ColumnKind::Integer || column.kind == ColumnKind::Double) {
                const std::string name = quoteIdent(column.name);
                update += (update.empty() ? "" : ", ") + name + " = " +
                          (column.kind == ColumnKind::Integer ? "lumaret_int(" : "lumaret_real(") + name + ")";
            }
        }
        if (!update.empty()) {
            update = "UPDATE " + quoteIdent(m_owner.m_settings.table) + " SET " + update;
            if (sqlite3_exec(db, update.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                return fail("Could not convert the numbers", error);
            }
        }
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            return fail("Could not finish the load", error);
        }
        // Searches go by frequency; an index keeps them fast on long lists.
        if (const Column* freq = m_owner.findColumn(m_owner.m_settings.freqColumn)) {
            const std::string index = "CREATE INDEX " + quoteIdent("freq_index") + " ON " +
                                      quoteIdent(m_owner.m_settings.table) + " (" + quoteIdent(freq->name) + ")";
            sqlite3_exec(db, index.c_str(), nullptr, nullptr, nullptr);
        }
        m_finished = true;
        return true;
    }

    bool finished() const { return m_finished; }

private:
    bool fail(const std::string& what, SourceError& error)
    {
        sqlite3* db = m_owner.m_db;
        error = {kErrGeneral, what + (db ? std::string(": ") + sqlite3_errmsg(db) : std::string())};
        return false;
    }

    StationDatabase& m_owner;
    sqlite3_stmt* m_insert = nullptr;
    std::vector<ColumnKind> m_kinds;
    bool m_finished = false;
};

bool StationDatabase::readColumns(const DatabaseSettings& settings, std::vector<std::string>& names, SourceError& error)
{
    names.clear();
    DatabaseSettings copy = settings;
    SourceTable table;
    TableCollector collector(table, true);
    if (!readSource(copy, collector, error) && !collector.haveColumns()) {
        return false;
    }
    for (const SourceColumn& c : table.columns) {
        names.push_back(c.name);
    }
    return true;
}

bool StationDatabase::open()
{
    close();
    SourceError error;
    bool ok = createDatabase(error);
    if (ok) {
        Loader loader(*this);
        ok = readSource(m_settings, loader, error) && loader.finished();
        if (ok == false && error.text.empty()) {
            error = {kErrGeneral, "Could not load \"" + displayName(m_settings.file) + "\"."};
        }
    }
    if (!ok) {
        close();
        platform::reporter().message("Database Error", errorText(error), platform::MessageIcon::Critical);
    }
    return ok;
}

bool StationDatabase::createDatabase(SourceError& error)
{
    // Used from the object's thread only: no locking inside the engine.
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        error = {kErrGeneral, "Could not create the query database"};
        return false;
    }
    // A double-quoted name that matches no column must fail, never be read
    // as a string.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // The database lives only as long as the object and a failed load is
    // thrown away whole: no rollback journal, so converting a column in
    // place does not hold a second copy of it.
    sqlite3_exec(m_db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function_v2(m_db, "lumaret_int", 1, flags, nullptr, toInteger, nullptr, nullptr, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_function_v2(m_db, "lumaret_real", 1, flags, nullptr, toReal, nullptr, nullptr, nullptr) !=
            SQLITE_OK) {
        error = {kErrGeneral, std::string("Could not create the query database: ") + sqlite3_errmsg(m_db)};
        return false;
    }
    return true;
}

const StationDatabase::Column* StationDatabase::findColumn(const std::string& name) const
{
    if (name.empty()) {
        return nullptr;
    }
    for (const Column& c : m_columns) {
        if (equalsNoCase(c.name, name)) {
            return &c;
        }
    }
    return nullptr;
}

bool StationDatabase::freqIsText() const
{
    const Column* c = findColumn(m_settings.freqColumn);
    return c && c->kind == ColumnKind::Text;
}

std::vector<std::string> StationDatabase::columnNames() const
{
    std::vector<std::string> names;
    for (const Column& c : m_columns) {
        names.push_back(c.name);
    }
    return names;
}

void StationDatabase::resetRecord(DATARECORD* data) const
{
    *data = DATARECORD{};
    data->BaseName = m_settings.profile;
    data->TableName = m_settings.table;
}

std::vector<const std::string*> StationDatabase::mappedColumns() const
{
    std::vector<const std::string*> columns;
    for (const std::string* c : {&m_settings.descColumn, &m_settings.statColumn, &m_settings.moduColumn,
                                 &m_settings.modeColumn, &m_settings.baudColumn}) {
        columns.push_back(c->empty() ? nullptr : c);
    }
    return columns;
}

void StationDatabase::fillRecord(DATARECORD* data, const std::vector<std::string>& row) const
{
    resetRecord(data);
    if (row.empty()) {
        return;
    }
    data->Frequency = row[0];
    std::string* fields[] = {&data->Description, &data->StationID, &data->Modulation, &data->Mode, &data->Baud};
    std::size_t next = 1;
    const std::vector<const std::string*> mapped = mappedColumns();
    for (std::size_t i = 0; i < mapped.size() && next < row.size(); ++i) {
        if (mapped[i]) {
            *fields[i] = row[next++];
        }
    }
}

bool StationDatabase::runQuery(const std::string& sql, const std::vector<QueryArg>& args,
                               std::vector<std::vector<std::string>>& rows, std::string& error)
{
    m_lastQuery = sql;
    m_lastArguments.clear();
    for (const QueryArg& arg : args) {
        const auto* text = std::get_if<std::string>(&arg);
        m_lastArguments.push_back(text ? "'" + *text + "'" : platform::formatFixed(std::get<double>(arg), 1));
    }
    rows.clear();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(m_db);
        return false;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const int slot = static_cast<int>(i) + 1;
        if (const auto* text = std::get_if<std::string>(&args[i])) {
            sqlite3_bind_text(stmt, slot, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_double(stmt, slot, std::get<double>(args[i]));
        }
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const int n = sqlite3_column_count(stmt);
        std::vector<std::string> row;
        row.reserve(static_cast<std::size_t>(n));
        for (int c = 0; c < n; ++c) {
            row.push_back(renderValue(stmt, c));
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        error = sqlite3_errmsg(m_db);
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    return true;
}

std::int32_t StationDatabase::count(bool distinct)
{
    m_result.clear();
    m_resultOpen = false;
    if (!m_db) {
        return -1;
    }
    const std::string table = quoteIdent(m_settings.table);
    const std::string sql =
        "SELECT COUNT(*) AS NCOUNT FROM " +
        (distinct ? "(SELECT DISTINCT " + quoteIdent(m_settings.freqColumn) + " FROM " + table + ")" : table);
    std::vector<std::vector<std::string>> rows;
    std::string error;
    if (!runQuery(sql, {}, rows, error) || rows.empty() || rows[0].empty()) {
        reportError(kErrCommand, error);
        return -1;
    }
    const auto n = platform::parseInt(rows[0][0]);
    return n ? static_cast<std::int32_t>(*n) : -1;
}

std::int32_t StationDatabase::first(DATARECORD* data, std::int32_t freqHz, std::int16_t deltaHz)
{
    if (data) {
        resetRecord(data);
    }
    m_result.clear();
    m_resultOpen = false;
    if (!m_db || !data) {
        return 0;
    }
    const std::string table = quoteIdent(m_settings.table);
    const std::string freq = quoteIdent(m_settings.freqColumn);
    // Frequencies in kHz with one decimal, cut (not rounded) to 100 Hz.
    const auto kHzText = [](std::int64_t hz) { return platform::formatFixed(static_cast<double>(hz / 100) * 0.1, 1); };
    const std::string centre = kHzText(freqHz);
    const std::string low = kHzText(static_cast<std::int64_t>(freqHz) - deltaHz);
    const std::string high = kHzText(static_cast<std::int64_t>(freqHz) + deltaHz);
    const bool text = freqIsText();
    const auto value = [text](const std::string& kHz) -> QueryArg {
        if (text) {
            return kHz;
        }
        return platform::parseDouble(kHz).value_or(0.0);
    };

    std::vector<std::vector<std::string>> rows;
    std::string error;
    bool ok = true;
    if (freqHz == -1) {
        ok = runQuery("SELECT DISTINCT " + freq + " FROM " + table + " ORDER BY 1", {}, rows, error);
    } else {
        std::string columns = freq;
        for (const std::string* c : mappedColumns()) {
            if (c) {
                columns += "," + quoteIdent(*c);
            }
        }
        const std::string select = "SELECT " + columns + " FROM " + table + " WHERE " + freq;
        ok = runQuery(select + " = ? ORDER BY rowid", {value(centre)}, rows, error);
        if (ok && rows.empty() && deltaHz != 0) {
            if (text) {
                ok = runQuery(select + " LIKE ? ORDER BY rowid", {QueryArg(centre + "%")}, rows, error);
            } else {
                ok = runQuery(select + " BETWEEN ? AND ? ORDER BY rowid", {value(low), value(high)}, rows, error);
            }
        }
    }
    if (!ok) {
        reportError(kErrCommand, error);
        return 0;
    }
    if (rows.empty()) {
        return 0;
    }
    m_result = std::move(rows);
    m_resultOpen = true;
    m_row = 0;
    fillRecord(data, m_result[0]);
    return 1;
}

std::int32_t StationDatabase::next(DATARECORD* data, bool up)
{
    if (data) {
        resetRecord(data);
    }
    if (!m_db || !m_resultOpen || m_result.empty() || !data) {
        m_result.clear();
        m_resultOpen = false;
        return 0;
    }
    if (up) {
        m_row = m_row + 1 >= m_result.size() ? 0 : m_row + 1;
    } else {
        m_row = m_row == 0 ? m_result.size() - 1 : m_row - 1;
    }
    fillRecord(data, m_result[m_row]);
    return 1;
}

}  // namespace lumaret
