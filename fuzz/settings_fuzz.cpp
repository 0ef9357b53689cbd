// The settings store's reading of its file, and the driver's loading of its
// configurations from it. The first byte chooses how the file is made:
//  - bit 0 set: the rest of the input is the file, as it is;
//  - else a store file is made and the rest is a list of rows written into
//    it as they are (key rows that may form no tree, values of any type and
//    storage class), with bit 1 replacing the value table by one without
//    constraints, bit 2 changing the file's format tag, bit 3 opening it
//    read-only.
// The store then walks its whole tree and reads every value, and the driver
// loads every configuration it finds, as the application would.
#include <sqlite3.h>

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/core/configstore.h"
#include "driver/core/drivermanager.h"
#include "driver/models/builtinmodels.h"
#include "fuzzsupport.h"
#include "platform/settingsstore.h"

namespace {

class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}
    bool empty() const { return m_bytes.empty(); }
    std::uint8_t byte()
    {
        if (m_bytes.empty()) {
            return 0;
        }
        const auto b = static_cast<std::uint8_t>(m_bytes.front());
        m_bytes.remove_prefix(1);
        return b;
    }
    std::int32_t number()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v = (v << 8) | byte();
        }
        return static_cast<std::int32_t>(v);
    }
    std::string text()
    {
        const std::size_t length = std::min<std::size_t>(byte() % 24, m_bytes.size());
        std::string t(m_bytes.substr(0, length));
        m_bytes.remove_prefix(length);
        return t;
    }

private:
    std::string_view m_bytes;
};

void bindValue(sqlite3_stmt* st, int column, std::uint8_t storage, Reader& in)
{
    switch (storage % 5) {
    case 0: sqlite3_bind_null(st, column); break;
    case 1:
        sqlite3_bind_int64(st, column, static_cast<std::int64_t>(in.number()) * (storage >= 128 ? 65536 : 1));
        break;
    case 2: {
        const std::string t = in.text();
        sqlite3_bind_text(st, column, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        break;
    }
    case 3: {
        const std::string t = in.text();
        sqlite3_bind_blob(st, column, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        break;
    }
    default: sqlite3_bind_double(st, column, static_cast<double>(in.number()) / 7.0); break;
    }
}

// Writes the rows of the input into a fresh store file.
void makeStoreFile(const std::string& path, std::uint8_t how, Reader& in)
{
    ::unlink(path.c_str());
    {
        platform::SettingsStore fresh(path);  // the store's own tables
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    sqlite3_exec(db, "PRAGMA synchronous = OFF; BEGIN", nullptr, nullptr, nullptr);
    if ((how & 2) != 0) {
        sqlite3_exec(db, "DROP TABLE vals; CREATE TABLE vals(key, name, type, num, txt)", nullptr, nullptr, nullptr);
    }
    if ((how & 4) != 0) {
        sqlite3_exec(db, "UPDATE meta SET value = 'korvane-settings-0'", nullptr, nullptr, nullptr);
    }
    sqlite3_stmt* key = nullptr;
    sqlite3_stmt* val = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO keys(id, parent, name) VALUES(?1, ?2, ?3)", -1, &key, nullptr);
    sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO vals(key, name, type, num, txt) VALUES(?1, ?2, ?3, ?4, ?5)", -1, &val,
                       nullptr);
    for (int rows = 0; rows < 64 && !in.empty(); ++rows) {
        const std::uint8_t op = in.byte();
        sqlite3_stmt* st = (op & 1) == 0 ? key : val;
        if (st == nullptr) {
            break;
        }
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if (st == key) {
            sqlite3_bind_int64(st, 1, in.byte() % 16);
            sqlite3_bind_int64(st, 2, in.byte() % 16);
            bindValue(st, 3, (op & 8) != 0 ? in.byte() : 2, in);
        } else {
            sqlite3_bind_int64(st, 1, in.byte() % 16);
            bindValue(st, 2, (op & 8) != 0 ? in.byte() : 2, in);
            bindValue(st, 3, (op & 16) != 0 ? in.byte() : 1, in);
            bindValue(st, 4, (op & 32) != 0 ? in.byte() : 1, in);
            bindValue(st, 5, (op & 64) != 0 ? in.byte() : 2, in);
        }
        sqlite3_step(st);
    }
    sqlite3_finalize(key);
    sqlite3_finalize(val);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void walk(platform::SettingsStore& store, const std::string& path, int depth, int& budget)
{
    if (depth > 6 || --budget < 0) {
        return;
    }
    store.keyExists(path);
    for (const auto& value : store.values(path)) {
        store.readNumber(path, value.name);
        store.readText(path, value.name);
    }
    for (const auto& child : store.subkeys(path)) {
        walk(store, platform::SettingsStore::join(path, child), depth + 1, budget);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file(".db");
    static bool ready = [] {
        static int argc = 1;
        static char name[] = "korvane-fuzz";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);  // lives as long as the process
        fuzz::installFakeTime();
        fuzz::installQuietReporter();
        quorvin::registerBuiltinModels();
        return true;
    }();
    (void)ready;
    if (size == 0) {
        return 0;
    }
    const std::uint8_t how = data[0];
    Reader in(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    if ((how & 1) != 0) {
        if (!file.write(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1))) {
            return 0;
        }
    } else {
        makeStoreFile(file.path(), how, in);
    }
    const auto access = (how & 8) != 0 ? platform::StoreAccess::ReadOnly : platform::StoreAccess::ReadWrite;
    std::vector<std::string> configurations;
    {
        platform::SettingsStore store(file.path(), access);
        int budget = 256;
        walk(store, platform::kSettingsRoot, 0, budget);
        configurations = store.subkeys(platform::kSettingsRoot);
    }
    platform::SettingsStore::resetShared(file.path(), access);
    for (std::size_t i = 0; i < configurations.size() && i < 3; ++i) {
        quorvin::readDefaultBfo(configurations[i]);
        quorvin::DriverManager manager;
        std::int32_t result = 0;
        manager.DrvConfigure(configurations[i], quorvin::ConfLoad, &result);
    }
    platform::SettingsStore::resetShared(":memory:");
    return 0;
}
