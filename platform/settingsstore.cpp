// SQLite-backed settings store; see settingsstore.h for the semantics.
#include "settingsstore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/reporter.h"

namespace platform {

namespace {

constexpr const char* kFormatTag = "korvane-settings-1";

// Splits a backslash path into its non-empty components.
std::vector<std::string_view> splitPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (db == nullptr || sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
            m_stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, std::string_view v)
    {
        sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    std::int64_t int64(int col) { return sqlite3_column_int64(m_stmt, col); }
    std::string text(int col)
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        const int n = sqlite3_column_bytes(m_stmt, col);
        return p ? std::string(p, static_cast<std::size_t>(n)) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

std::unique_ptr<SettingsStore>& sharedSlot()
{
    static std::unique_ptr<SettingsStore> store;
    return store;
}

}  // namespace

SettingsStore::SettingsStore(const std::string& filePath, StoreAccess access) : m_path(filePath)
{
    if (!openFile(filePath, access)) {
        // The reason alone (openError), and with the file's name (lastError).
        m_openError = m_lastError;
        m_lastError = "settings file " + filePath + ": " + m_openError;
        openMemory();
    }
}

SettingsStore::~SettingsStore()
{
    closeDatabase();
}

SettingsStore& SettingsStore::shared()
{
    auto& slot = sharedSlot();
    if (!slot) {
        slot = std::make_unique<SettingsStore>(defaultPath());
    }
    return *slot;
}

void SettingsStore::resetShared(const std::string& filePath, StoreAccess access)
{
    sharedSlot() = std::make_unique<SettingsStore>(filePath, access);
}

std::string SettingsStore::defaultPath()
{
    if (const char* env = std::getenv(kSettingsEnvVar); env != nullptr && *env != '\0') {
        return env;
    }
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = std::filesystem::temp_directory_path();
    }
    return (base / "korvane" / "settings.db").string();
}

std::string SettingsStore::join(std::string_view parent, std::string_view child)
{
    std::string out(parent);
    if (!out.empty() && !child.empty() && out.back() != '\\') {
        out += '\\';
    }
    out += child;
    return out;
}

void SettingsStore::fail(const std::string& what)
{
    m_lastError = what;
    m_lastCode = SQLITE_ERROR;
    if (m_db != nullptr) {
        m_lastCode = sqlite3_errcode(m_db);
        m_lastError += ": ";
        m_lastError += sqlite3_errmsg(m_db);
    }
}

bool SettingsStore::exec(const char* sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        m_lastCode = rc & 0xFF;
        m_lastError = err ? err : "SQLite error";
        sqlite3_free(err);
        return false;
    }
    return true;
}

void SettingsStore::closeDatabase()
{
    // Every statement is finalized by now (they live in scopes that ended),
    // so the connection and its descriptor go at once.
    if (m_db != nullptr) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

std::string SettingsStore::checkFormat(bool existed, std::int64_t& tables)
{
    // A file that exists must be a store of ours (or an empty database);
    // anything else is left untouched.
    {
        Statement count(m_db, "SELECT count(*) FROM sqlite_master");
        if (!count.ok() || count.step() != SQLITE_ROW) {
            return std::string("not readable: ") + sqlite3_errmsg(m_db);
        }
        tables = count.int64(0);
    }
    if (tables > 0) {
        Statement tag(m_db, "SELECT value FROM meta WHERE name = 'format'");
        if (!tag.ok() || tag.step() != SQLITE_ROW || tag.text(0) != kFormatTag) {
            return "not a settings store";
        }
        Statement complete(m_db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                                 "('meta', 'keys', 'vals')");
        if (!complete.ok() || complete.step() != SQLITE_ROW) {
            return std::string("not readable: ") + sqlite3_errmsg(m_db);
        }
        tables = complete.int64(0);
    } else if (std::error_code ec; existed && std::filesystem::file_size(m_path, ec) > 0) {
        // Non-empty file with no tables: not ours.
        return "not a settings store";
    }
    return {};
}

bool SettingsStore::openFile(const std::string& path, StoreAccess access)
{
    std::error_code ec;
    const std::filesystem::path p(path);
    const bool existed = std::filesystem::exists(p, ec);
    // A file this process may not write (as the user it runs as) is only
    // read: nothing is written to it, not even on opening.
    const bool readOnly =
        access == StoreAccess::ReadOnly || (existed && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0);
    if (readOnly && !existed) {
        m_lastError = "it does not exist";
        return false;
    }
    if (!existed && p.has_parent_path()) {
        std::filesystem::create_directories(p.parent_path(), ec);
    }
    const int flags = readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        fail("cannot open it");
        closeDatabase();
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);

    std::int64_t tables = 0;
    if (const std::string problem = checkFormat(existed, tables); !problem.empty()) {
        m_lastError = problem;
        closeDatabase();
        return false;
    }
    if (tables < 3) {
        // A new (or empty) file: it gets the store's tables, which a file
        // that cannot be written cannot.
        if (readOnly) {
            m_lastError = "it is read-only and holds no settings";
            closeDatabase();
            return false;
        }
        if (!createSchema()) {
            m_lastError = "cannot write it: " + m_lastError;
            closeDatabase();
            return false;
        }
    }
    m_mode = readOnly ? Mode::ReadOnly : Mode::File;
    countDamagedKeys();
    return true;
}

void SettingsStore::openMemory()
{
    closeDatabase();
    sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    createSchema();
    m_mode = Mode::Memory;
}

bool SettingsStore::createSchema()
{
    const bool ok = exec("PRAGMA foreign_keys = ON;"
                         "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value TEXT);"
                         "CREATE TABLE IF NOT EXISTS keys("
                         " id INTEGER PRIMARY KEY,"
                         " parent INTEGER NOT NULL,"
                         " name TEXT NOT NULL COLLATE NOCASE,"
                         " UNIQUE(parent, name));"
                         "CREATE TABLE IF NOT EXISTS vals("
                         " key INTEGER NOT NULL,"
                         " name TEXT NOT NULL COLLATE NOCASE,"
                         " type INTEGER NOT NULL,"
                         " num INTEGER,"
                         " txt TEXT,"
                         " PRIMARY KEY(key, name));"
                         "INSERT OR IGNORE INTO meta(name, value) VALUES('format', 'korvane-settings-1');");
    return ok;
}

namespace {

// A key row that can be part of the tree: not the root (id 0) and not its
// own parent, with a name that is one path component. The root is no row.
#define KORVANE_TREE_ROW(k) k "id <> 0 AND " k "id <> " k "parent AND " k "name <> '' AND instr(" k "name, '\\') = 0"

// Deeper than any tree the suite writes; bounds the walk of a damaged one.
constexpr int kMaxDepth = 512;

}  // namespace

void SettingsStore::countDamagedKeys()
{
    static const std::string sql = "WITH RECURSIVE tree(id, depth) AS ("
                                   " SELECT id, 1 FROM keys WHERE parent = 0 AND " KORVANE_TREE_ROW(
                                       "") " UNION"
                                           " SELECT k.id, t.depth + 1 FROM keys k JOIN tree t ON k.parent = t.id"
                                           " WHERE " KORVANE_TREE_ROW("k.") " AND t.depth < " +
                                   std::to_string(kMaxDepth) +
                                   ") SELECT (SELECT count(*) FROM keys) - (SELECT count(DISTINCT id) FROM tree)";
    Statement q(m_db, sql.c_str());
    m_damaged = (q.ok() && q.step() == SQLITE_ROW) ? q.int64(0) : 0;
    if (m_damaged > 0) {
        reporter().message("Damaged settings",
                           "The settings file " + m_path + " holds " + std::to_string(m_damaged) +
                               " keys that do not fit in its tree (empty names, loops). They are left in the file "
                               "and ignored.",
                           MessageIcon::Warning);
    }
}

std::optional<std::int64_t> SettingsStore::findKey(std::string_view path)
{
    std::int64_t id = 0;
    for (std::string_view part : splitPath(path)) {
        Statement q(m_db, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2 AND " KORVANE_TREE_ROW(""));
        q.bind(1, id);
        q.bind(2, part);
        if (q.step() != SQLITE_ROW) {
            return std::nullopt;
        }
        id = q.int64(0);
    }
    return id;
}

std::optional<std::int64_t> SettingsStore::ensureKey(std::string_view path)
{
    std::int64_t id = 0;
    for (std::string_view part : splitPath(path)) {
        Statement ins(m_db, "INSERT OR IGNORE INTO keys(parent, name) VALUES(?1, ?2)");
        ins.bind(1, id);
        ins.bind(2, part);
        if (ins.step() != SQLITE_DONE) {
            fail("cannot create key");
            return std::nullopt;
        }
        Statement q(m_db, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2 AND " KORVANE_TREE_ROW(""));
        q.bind(1, id);
        q.bind(2, part);
        if (q.step() != SQLITE_ROW) {
            // The name is taken by a damaged row.
            fail("cannot create key " + std::string(part) + " (damaged settings)");
            return std::nullopt;
        }
        id = q.int64(0);
    }
    return id;
}

template <typename Body>
bool SettingsStore::write(Body body)
{
    if (m_mode == Mode::ReadOnly) {
        m_lastError = "settings file " + m_path + " is read-only";
        notSaved();
        return false;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        return writeFailed();
    }
    const Outcome outcome = body();
    if (outcome != Outcome::Done) {
        const int code = m_lastCode;
        const std::string error = m_lastError;
        exec("ROLLBACK");
        m_lastCode = code;
        m_lastError = error;
        return outcome == Outcome::Failed ? writeFailed() : false;
    }
    if (!exec("COMMIT")) {
        const int code = m_lastCode;
        const std::string error = m_lastError;
        exec("ROLLBACK");
        m_lastCode = code;
        m_lastError = error;
        return writeFailed();
    }
    if (m_mode == Mode::Memory) {
        notSaved();
    }
    return true;
}

bool SettingsStore::writeFailed()
{
    const int code = m_lastCode & 0xFF;
    if (m_mode == Mode::File &&
        (code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_PERM || code == SQLITE_AUTH)) {
        // The system refuses to have the file written (a read-only
        // filesystem or directory, an immutable file): read it from now on.
        const std::string reason = m_lastError;
        m_mode = Mode::ReadOnly;
        m_lastError = "settings file " + m_path + " is read-only (" + reason + ")";
        notSaved(reason);
        return false;
    }
    notSaved(m_lastError);
    return false;
}

void SettingsStore::notSaved(const std::string& reason)
{
    ++m_unsaved;
    if (m_told) {
        return;
    }
    m_told = true;
    std::string text;
    switch (m_mode) {
    case Mode::ReadOnly:
        text = "The settings file " + m_path + " is read-only" + (reason.empty() ? "" : " (" + reason + ")") +
               ": changes to the settings are not saved.";
        break;
    case Mode::Memory:
        text = "The settings file " + m_path + " cannot be used (" + m_openError +
               "); it is left as it is. The settings are kept in memory only: changes are not saved and are lost "
               "when the program ends.";
        break;
    case Mode::File:
        text = "A change could not be written to the settings file " + m_path + " (" + reason + "): it is not saved.";
        break;
    }
    reporter().message("Settings not saved", text, MessageIcon::Warning);
}

bool SettingsStore::createKey(std::string_view path)
{
    if (splitPath(path).empty()) {
        return false;
    }
    if (findKey(path)) {
        // Opening a key that exists writes nothing.
        return true;
    }
    return write([&] { return ensureKey(path) ? Outcome::Done : Outcome::Failed; });
}

bool SettingsStore::keyExists(std::string_view path)
{
    return !splitPath(path).empty() && findKey(path).has_value();
}

std::vector<std::string> SettingsStore::subkeys(std::string_view path)
{
    std::vector<std::string> names;
    const auto id = findKey(path);
    if (!id) {
        return names;
    }
    Statement q(m_db, "SELECT name FROM keys WHERE parent = ?1 AND " KORVANE_TREE_ROW(
                          "") " ORDER BY name COLLATE NOCASE, name");
    q.bind(1, *id);
    while (q.step() == SQLITE_ROW) {
        names.push_back(q.text(0));
    }
    return names;
}

std::vector<ValueInfo> SettingsStore::values(std::string_view path)
{
    std::vector<ValueInfo> out;
    const auto id = findKey(path);
    if (!id) {
        return out;
    }
    Statement q(m_db, "SELECT name, type, num, txt FROM vals WHERE key = ?1 ORDER BY name COLLATE NOCASE, name");
    q.bind(1, *id);
    while (q.step() == SQLITE_ROW) {
        ValueInfo v;
        v.name = q.text(0);
        v.type = q.int64(1) == 0 ? ValueType::Number : ValueType::Text;
        v.number = static_cast<std::int32_t>(q.int64(2));
        v.text = q.text(3);
        out.push_back(std::move(v));
    }
    return out;
}

std::optional<std::int32_t> SettingsStore::readNumber(std::string_view path, std::string_view name)
{
    const auto id = findKey(path);
    if (!id) {
        return std::nullopt;
    }
    Statement q(m_db, "SELECT num FROM vals WHERE key = ?1 AND name = ?2 AND type = 0");
    q.bind(1, *id);
    q.bind(2, name);
    if (q.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(q.int64(0));
}

std::optional<std::string> SettingsStore::readText(std::string_view path, std::string_view name)
{
    const auto id = findKey(path);
    if (!id) {
        return std::nullopt;
    }
    Statement q(m_db, "SELECT txt FROM vals WHERE key = ?1 AND name = ?2 AND type = 1");
    q.bind(1, *id);
    q.bind(2, name);
    if (q.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return q.text(0);
}

std::int32_t SettingsStore::readNumber(std::string_view path, std::string_view name, std::int32_t fallback)
{
    return readNumber(path, name).value_or(fallback);
}

std::string SettingsStore::readText(std::string_view path, std::string_view name, std::string_view fallback)
{
    auto v = readText(path, name);
    return v ? *v : std::string(fallback);
}

bool SettingsStore::writeValue(std::string_view path, std::string_view name, ValueType type, std::int32_t number,
                               std::string_view text)
{
    if (splitPath(path).empty()) {
        return false;
    }
    return write([&] {
        const auto id = ensureKey(path);
        if (!id) {
            return Outcome::Failed;
        }
        // Keep the spelling of an existing value's name, as the registry does.
        Statement up(m_db, "UPDATE vals SET type = ?3, num = ?4, txt = ?5 WHERE key = ?1 AND name = ?2");
        up.bind(1, *id);
        up.bind(2, name);
        up.bind(3, type == ValueType::Number ? 0 : 1);
        up.bind(4, number);
        up.bind(5, text);
        bool ok = up.step() == SQLITE_DONE;
        if (ok && sqlite3_changes(m_db) == 0) {
            Statement ins(m_db, "INSERT INTO vals(key, name, type, num, txt) VALUES(?1, ?2, ?3, ?4, ?5)");
            ins.bind(1, *id);
            ins.bind(2, name);
            ins.bind(3, type == ValueType::Number ? 0 : 1);
            ins.bind(4, number);
            ins.bind(5, text);
            ok = ins.step() == SQLITE_DONE;
        }
        if (!ok) {
            fail("cannot write value");
            return Outcome::Failed;
        }
        return Outcome::Done;
    });
}

bool SettingsStore::writeNumber(std::string_view path, std::string_view name, std::int32_t value)
{
    return writeValue(path, name, ValueType::Number, value, {});
}

bool SettingsStore::writeText(std::string_view path, std::string_view name, std::string_view value)
{
    return writeValue(path, name, ValueType::Text, 0, value);
}

bool SettingsStore::deleteValue(std::string_view path, std::string_view name)
{
    const auto id = findKey(path);
    if (!id) {
        return false;
    }
    return write([&] {
        Statement del(m_db, "DELETE FROM vals WHERE key = ?1 AND name = ?2");
        del.bind(1, *id);
        del.bind(2, name);
        if (del.step() != SQLITE_DONE) {
            fail("cannot delete value");
            return Outcome::Failed;
        }
        return sqlite3_changes(m_db) > 0 ? Outcome::Done : Outcome::Nothing;
    });
}

bool SettingsStore::deleteTree(std::string_view path)
{
    if (splitPath(path).empty() || !findKey(path)) {
        return false;
    }
    return write([&] {
        const auto id = findKey(path);
        if (!id) {
            return Outcome::Nothing;
        }
        // Every row below the key, the damaged ones too; UNION keeps a ring
        // from being walked twice, and nothing is walked from a row that
        // claims to be the root.
        static constexpr const char* kSubtree =
            "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id"
            " WHERE sub.id <> 0) ";
        Statement vals(
            m_db, (std::string(kSubtree) + "DELETE FROM vals WHERE key IN (SELECT id FROM sub WHERE id <> 0)").c_str());
        vals.bind(1, *id);
        bool ok = vals.step() == SQLITE_DONE;
        if (ok) {
            Statement keys(m_db, (std::string(kSubtree) + "DELETE FROM keys WHERE id IN (SELECT id FROM sub)").c_str());
            keys.bind(1, *id);
            ok = keys.step() == SQLITE_DONE;
        }
        if (!ok) {
            fail("cannot delete key");
            return Outcome::Failed;
        }
        return Outcome::Done;
    });
}

}  // namespace platform
