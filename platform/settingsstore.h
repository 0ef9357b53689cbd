// The settings store: a tree of keys holding typed values, with the
// semantics the suite's stored settings were designed for. Keys live below
// "SOFTWARE\Korvane Software"; paths are written with backslashes from the
// hive (e.g. "SOFTWARE\\Korvane Software\\Default\\NRD535").
//
// - Opening or writing below a key creates every missing key on the way, and
//   an empty key persists.
// - Key and value names compare without regard to case (ASCII folding) and
//   keep the spelling they were created with.
// - Values are 32-bit numbers or texts; a value read as the other type reads
//   as missing, so the caller's default applies.
// - Subkeys enumerate in case-insensitive alphabetical order.
//
// Backed by one SQLite file; every write is its own transaction, so several
// running copies can share the file. The file is never overwritten:
// - a file that cannot be opened or is not a valid store is left untouched
//   and the store runs from an in-memory tree (inMemory);
// - a store the process may read but not write is read: writes fail without
//   touching it (isReadOnly); so does a store whose writes the system refuses;
// - key rows that form no tree (an empty name or one holding a backslash,
//   the root as a child, rings) are skipped (damagedKeys).
// The first write that does not reach the file (refused, failed, or kept in
// memory only) is told to the user once, through the reporting seam.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace platform {

inline constexpr const char* kSettingsRoot = "SOFTWARE\\Korvane Software";

// Environment variable that names the store file (tests and the demo set it).
inline constexpr const char* kSettingsEnvVar = "KORVANE_SETTINGS";

enum class ValueType { Number, Text };

struct ValueInfo {
    std::string name;
    ValueType type;
    std::int32_t number = 0;
    std::string text;
};

// How a store opens its file: ReadOnly never writes it (a store seen by a
// process that may not change it).
enum class StoreAccess { ReadWrite, ReadOnly };

class SettingsStore {
public:
    explicit SettingsStore(const std::string& filePath, StoreAccess access = StoreAccess::ReadWrite);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The process-wide store, opened at defaultPath() on first use.
    static SettingsStore& shared();
    // Replaces the process-wide store with one on the given file (tests).
    static void resetShared(const std::string& filePath, StoreAccess access = StoreAccess::ReadWrite);
    // $KORVANE_SETTINGS when set, else $XDG_CONFIG_HOME (or ~/.config)
    // /korvane/settings.db.
    static std::string defaultPath();

    // Joins path components with a backslash: join("A", "B") == "A\\B".
    static std::string join(std::string_view parent, std::string_view child);

    const std::string& filePath() const { return m_path; }
    // True while writes reach the file.
    bool isPersistent() const { return m_mode == Mode::File; }
    // The file is read but not written: writes fail.
    bool isReadOnly() const { return m_mode == Mode::ReadOnly; }
    // The file could not be used at all: the store runs from a tree in
    // memory, which is gone when the process ends.
    bool inMemory() const { return m_mode == Mode::Memory; }
    // Why the file could not be used (empty when it could).
    const std::string& openError() const { return m_openError; }
    const std::string& lastError() const { return m_lastError; }
    // Writes (creates and deletes included) since opening that did not
    // reach the file: refused, failed, or kept in memory only. A caller
    // compares it before and after a series of writes to learn whether all
    // were saved.
    std::uint64_t unsavedWrites() const { return m_unsaved; }
    // Key rows of the file that are no part of the tree and are skipped.
    std::int64_t damagedKeys() const { return m_damaged; }

    bool createKey(std::string_view path);
    bool keyExists(std::string_view path);
    // Names of the direct subkeys, case-insensitive alphabetical order.
    std::vector<std::string> subkeys(std::string_view path);
    std::vector<ValueInfo> values(std::string_view path);

    std::optional<std::int32_t> readNumber(std::string_view path, std::string_view name);
    std::optional<std::string> readText(std::string_view path, std::string_view name);
    std::int32_t readNumber(std::string_view path, std::string_view name, std::int32_t fallback);
    std::string readText(std::string_view path, std::string_view name, std::string_view fallback);

    bool writeNumber(std::string_view path, std::string_view name, std::int32_t value);
    bool writeText(std::string_view path, std::string_view name, std::string_view value);
    bool deleteValue(std::string_view path, std::string_view name);
    // Deletes the key and everything below it. Deleting a missing key fails.
    bool deleteTree(std::string_view path);

private:
    enum class Mode { File, ReadOnly, Memory };
    // What the body of a write did: wrote, found nothing to do, or failed.
    enum class Outcome { Done, Nothing, Failed };

    bool openFile(const std::string& path, StoreAccess access);
    // Empty when the open database is a store of ours (or empty), else why
    // it is not.
    std::string checkFormat(bool existed, std::int64_t& tables);
    void openMemory();
    void closeDatabase();
    bool createSchema();
    void countDamagedKeys();
    std::optional<std::int64_t> findKey(std::string_view path);
    std::optional<std::int64_t> ensureKey(std::string_view path);
    // Runs `body` as one transaction, keeping count of what is not saved.
    template <typename Body>
    bool write(Body body);
    bool writeFailed();
    // Counts a write that did not reach the file; the first is told to the
    // user (with the reason, when there is one).
    void notSaved(const std::string& reason = {});
    bool writeValue(std::string_view path, std::string_view name, ValueType type, std::int32_t number,
                    std::string_view text);
    bool exec(const char* sql);
    void fail(const std::string& what);

    std::string m_path;
    sqlite3* m_db = nullptr;
    Mode m_mode = Mode::Memory;
    std::string m_openError;
    std::string m_lastError;
    int m_lastCode = 0;
    std::uint64_t m_unsaved = 0;
    std::int64_t m_damaged = 0;
    bool m_told = false;
};

}  // namespace platform
