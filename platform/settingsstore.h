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
// running copies can share the file. A file that cannot be opened or is not
// a valid store is left untouched and the store runs from an in-memory tree
// (see isPersistent/lastError).
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

class SettingsStore {
public:
    explicit SettingsStore(const std::string& filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The process-wide store, opened at defaultPath() on first use.
    static SettingsStore& shared();
    // Replaces the process-wide store with one on the given file (tests).
    static void resetShared(const std::string& filePath);
    // $KORVANE_SETTINGS when set, else $XDG_CONFIG_HOME (or ~/.config)
    // /korvane/settings.db.
    static std::string defaultPath();

    // Joins path components with a backslash: join("A", "B") == "A\\B".
    static std::string join(std::string_view parent, std::string_view child);

    const std::string& filePath() const { return m_path; }
    // False when the file could not be used and the store runs in memory.
    bool isPersistent() const { return m_persistent; }
    const std::string& lastError() const { return m_lastError; }

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
    bool openFile(const std::string& path);
    void openMemory();
    bool createSchema();
    std::optional<std::int64_t> findKey(std::string_view path);
    std::optional<std::int64_t> ensureKey(std::string_view path);
    bool writeValue(std::string_view path, std::string_view name, ValueType type, std::int32_t number,
                    std::string_view text);
    bool exec(const char* sql);
    void fail(const std::string& what);

    std::string m_path;
    sqlite3* m_db = nullptr;
    bool m_persistent = false;
    std::string m_lastError;
};

}  // namespace platform
