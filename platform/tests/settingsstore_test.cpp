// The settings store on real temporary files.
#include "platform/settingsstore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>

#include "platform/reporter.h"

using platform::SettingsStore;
using platform::StoreAccess;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir =
            std::filesystem::temp_directory_path() / ("korvane-store-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_file = (m_dir / "settings.db").string();
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path m_dir;
    std::string m_file;
};

const std::string kConf = SettingsStore::join(platform::kSettingsRoot, "Default");

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Collects what the store tells the user.
class RecordingReporter : public platform::Reporter {
public:
    RecordingReporter() { platform::setReporter(this); }
    ~RecordingReporter() override { platform::setReporter(nullptr); }
    RecordingReporter(const RecordingReporter&) = delete;
    RecordingReporter& operator=(const RecordingReporter&) = delete;
    void message(const std::string& title, const std::string& text, platform::MessageIcon) override
    {
        messages.push_back(title + ": " + text);
    }
    bool confirm(const std::string&, const std::string&, bool fallback) override { return fallback; }
    void beep(int, int) override {}
    std::vector<std::string> messages;
};

// Runs `body` in a child process and tells whether it returned true within
// the time given: a crash or a loop that never ends is a failure, not the
// end of the test program.
bool finishesWithin(unsigned seconds, const std::function<bool()>& body)
{
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(seconds);
        const bool ok = body();
        std::cout.flush();
        std::cerr.flush();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs `body` without the right to write files that are not the process's
// own: as root (where the tests run) in a child that drops to the unprivileged
// user "nobody"; otherwise as it is. `body` answers whether its checks held
// (it prints what failed).
bool withoutRoot(const std::function<bool()>& body)
{
    if (::geteuid() != 0) {
        return body();
    }
    return finishesWithin(60, [&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            std::cerr << "cannot drop to uid 65534\n";
            return false;
        }
        return body();
    });
}

// A check inside a child: prints what failed and counts it.
#define CHILD_CHECK(cond)                                                                                              \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            std::cerr << __FILE__ << ":" << __LINE__ << ": " #cond "\n";                                               \
            ok = false;                                                                                                \
        }                                                                                                              \
    } while (0)

TEST_F(SettingsStoreTest, TypedValuesSurviveReopenAndWrongTypeReadsAsMissing)
{
    {
        SettingsStore store(m_file);
        ASSERT_TRUE(store.isPersistent()) << store.lastError();
        EXPECT_TRUE(store.writeNumber(kConf + "\\RX1", "D_Type", 2));
        EXPECT_TRUE(store.writeText(kConf + "\\RX1", "T_Addr", "host.example"));
        EXPECT_TRUE(store.writeNumber(kConf + "\\RX1", "S_BusAdress", 65535));
        EXPECT_TRUE(store.writeNumber(kConf + "\\RX1", "Neg", -800));
    }
    SettingsStore store(m_file);
    EXPECT_EQ(store.readNumber(kConf + "\\RX1", "D_Type"), 2);
    EXPECT_EQ(store.readNumber(kConf + "\\RX1", "Neg"), -800);
    EXPECT_EQ(store.readNumber(kConf + "\\RX1", "S_BusAdress"), 65535);
    EXPECT_EQ(store.readText(kConf + "\\RX1", "T_Addr"), "host.example");
    // A text read as a number (and the reverse) is missing: the default applies.
    EXPECT_FALSE(store.readNumber(kConf + "\\RX1", "T_Addr").has_value());
    EXPECT_FALSE(store.readText(kConf + "\\RX1", "D_Type").has_value());
    EXPECT_EQ(store.readNumber(kConf + "\\RX1", "T_Addr", 7), 7);
    EXPECT_EQ(store.readText(kConf + "\\RX1", "Missing", "dflt"), "dflt");
    // Rewriting with the other type replaces the value.
    EXPECT_TRUE(store.writeText(kConf + "\\RX1", "D_Type", "x"));
    EXPECT_FALSE(store.readNumber(kConf + "\\RX1", "D_Type").has_value());
}

TEST_F(SettingsStoreTest, NamesIgnoreCaseAndKeepTheirSpelling)
{
    SettingsStore store(m_file);
    store.writeNumber("SOFTWARE\\Korvane Software\\Default\\MyRx", "C_Wait", 250);
    EXPECT_EQ(store.readNumber("software\\KORVANE SOFTWARE\\default\\myrx", "c_wait"), 250);
    store.writeNumber("SOFTWARE\\Korvane Software\\DEFAULT\\MYRX", "C_WAIT", 300);
    auto values = store.values(kConf + "\\MyRx");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "C_Wait");
    EXPECT_EQ(values[0].number, 300);
    auto keys = store.subkeys(kConf);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0], "MyRx");
}

TEST_F(SettingsStoreTest, EmptyKeysPersistAndSubkeysEnumerateCaseInsensitively)
{
    {
        SettingsStore store(m_file);
        for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "Delta"}) {
            EXPECT_TRUE(store.createKey(kConf + "\\" + name));
        }
        EXPECT_TRUE(store.createKey(kConf + "\\Empty"));
    }
    SettingsStore store(m_file);
    EXPECT_TRUE(store.keyExists(kConf + "\\empty"));
    EXPECT_EQ(store.subkeys(kConf), (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "Delta", "Empty", "gamma"}));
    EXPECT_FALSE(store.keyExists(kConf + "\\Nope"));
    EXPECT_TRUE(store.subkeys(kConf + "\\Nope").empty());
}

TEST_F(SettingsStoreTest, DeleteTreeRemovesEverythingBelowAndOnlyThat)
{
    SettingsStore store(m_file);
    store.writeNumber(kConf, "DefaultBfo", 1500);
    store.writeNumber(kConf + "\\A\\Sub\\Deeper", "X", 1);
    store.writeNumber(kConf + "\\A", "Y", 2);
    store.writeNumber(kConf + "\\B", "Z", 3);
    EXPECT_TRUE(store.deleteTree(kConf + "\\a"));
    EXPECT_FALSE(store.keyExists(kConf + "\\A"));
    EXPECT_FALSE(store.keyExists(kConf + "\\A\\Sub\\Deeper"));
    EXPECT_EQ(store.readNumber(kConf + "\\B", "Z"), 3);
    EXPECT_EQ(store.readNumber(kConf, "DefaultBfo"), 1500);
    EXPECT_FALSE(store.deleteTree(kConf + "\\A"));
    // Recreating a deleted key starts it empty.
    store.createKey(kConf + "\\A");
    EXPECT_TRUE(store.values(kConf + "\\A").empty());
    EXPECT_TRUE(store.subkeys(kConf + "\\A").empty());
}

TEST_F(SettingsStoreTest, TwoCopiesShareOneFile)
{
    SettingsStore first(m_file);
    SettingsStore second(m_file);
    first.writeNumber(kConf + "\\RX", "C_Retr", 12);
    EXPECT_EQ(second.readNumber(kConf + "\\RX", "C_Retr"), 12);
    second.deleteTree(kConf + "\\RX");
    EXPECT_FALSE(first.keyExists(kConf + "\\RX"));
}

TEST_F(SettingsStoreTest, UnreadableFileIsKeptAndStoreRunsInMemory)
{
    const std::string garbage = "this is not a settings store\n\x01\x02\x03";
    {
        std::ofstream out(m_file, std::ios::binary);
        out << garbage;
    }
    {
        SettingsStore store(m_file);
        EXPECT_FALSE(store.isPersistent());
        EXPECT_FALSE(store.lastError().empty());
        // Still usable, from memory.
        EXPECT_TRUE(store.writeNumber(kConf + "\\RX", "C_Wait", 250));
        EXPECT_EQ(store.readNumber(kConf + "\\RX", "C_Wait"), 250);
    }
    std::ifstream in(m_file, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, garbage);
}

TEST_F(SettingsStoreTest, ForeignSqliteDatabaseIsNotTouched)
{
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_file.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE stations(name TEXT); INSERT INTO stations VALUES('keep me');", nullptr, nullptr,
                     nullptr);
        sqlite3_close(db);
    }
    {
        SettingsStore store(m_file);
        EXPECT_FALSE(store.isPersistent());
        store.writeNumber(kConf, "DefaultBfo", 100);
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_file.c_str(), &db), SQLITE_OK);
    int tables = 0;
    sqlite3_exec(
        db, "SELECT count(*) FROM sqlite_master",
        [](void* out, int, char** cols, char**) {
            *static_cast<int*>(out) = std::atoi(cols[0]);
            return 0;
        },
        &tables, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(tables, 1);
}

TEST_F(SettingsStoreTest, ARawStoreWithoutWriteAccessIsReadAndNeverWritten)
{
    {
        SettingsStore store(m_file);
        ASSERT_TRUE(store.writeNumber(kConf + "\\NRD535", "D_Type", 0));
        ASSERT_TRUE(store.writeText(kConf + "\\NRD535", "T_Addr", "192.0.2.1"));
        ASSERT_TRUE(store.writeNumber(kConf + "\\RA1792", "D_Type", 2));
    }
    std::filesystem::permissions(m_file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    const std::string before = fileBytes(m_file);
    const std::string file = m_file;
    EXPECT_TRUE(withoutRoot([&] {
        bool ok = true;
        RecordingReporter reports;
        SettingsStore store(file);
        CHILD_CHECK(store.isReadOnly());
        CHILD_CHECK(!store.isPersistent());
        CHILD_CHECK((store.subkeys(kConf) == std::vector<std::string>{"NRD535", "RA1792"}));
        CHILD_CHECK(store.readNumber(kConf + "\\RA1792", "D_Type") == 2);
        CHILD_CHECK(store.readText(kConf + "\\NRD535", "T_Addr") == "192.0.2.1");
        CHILD_CHECK(reports.messages.empty());
        // Writes fail, and say why; the user is told once.
        CHILD_CHECK(!store.writeNumber(kConf + "\\RA1792", "C_Wait", 300));
        CHILD_CHECK(store.lastError().find("read-only") != std::string::npos);
        CHILD_CHECK(!store.createKey(kConf + "\\New"));
        CHILD_CHECK(!store.deleteTree(kConf + "\\NRD535"));
        CHILD_CHECK(!store.deleteValue(kConf + "\\NRD535", "T_Addr"));
        CHILD_CHECK(reports.messages.size() == 1);
        CHILD_CHECK(!reports.messages.empty() && reports.messages[0].find(file) != std::string::npos);
        CHILD_CHECK(store.unsavedWrites() == 4);
        CHILD_CHECK(store.readNumber(kConf + "\\RA1792", "D_Type") == 2);
        return ok;
    }));
    EXPECT_EQ(fileBytes(m_file), before);
}

TEST_F(SettingsStoreTest, AStoreOpenedReadOnlyRefusesWrites)
{
    {
        SettingsStore store(m_file);
        ASSERT_TRUE(store.writeNumber(kConf + "\\RX", "C_Wait", 250));
    }
    const std::string before = fileBytes(m_file);
    RecordingReporter reports;
    SettingsStore store(m_file, StoreAccess::ReadOnly);
    EXPECT_TRUE(store.isReadOnly());
    EXPECT_EQ(store.readNumber(kConf + "\\RX", "C_Wait"), 250);
    EXPECT_FALSE(store.writeNumber(kConf + "\\RX", "C_Wait", 300));
    EXPECT_FALSE(store.writeText(kConf + "\\RX", "T_Addr", "x"));
    EXPECT_EQ(store.readNumber(kConf + "\\RX", "C_Wait"), 250);
    EXPECT_EQ(reports.messages.size(), 1u);
    EXPECT_EQ(fileBytes(m_file), before);
    // A read-only store of a file that does not exist has nothing to read.
    SettingsStore missing((m_dir / "missing.db").string(), StoreAccess::ReadOnly);
    EXPECT_FALSE(missing.isPersistent());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "missing.db"));
}

TEST_F(SettingsStoreTest, AWriteTheFileRefusesTurnsTheStoreReadOnly)
{
    // The file itself may be written, but the directory may not: the
    // store's journal cannot be created, so no write can reach the file.
    {
        SettingsStore store(m_file);
        ASSERT_TRUE(store.writeNumber(kConf + "\\RX", "C_Wait", 250));
    }
    std::filesystem::permissions(m_file, std::filesystem::perms::all);
    std::filesystem::permissions(m_dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                            std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                                            std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const std::string before = fileBytes(m_file);
    const std::string file = m_file;
    EXPECT_TRUE(withoutRoot([&] {
        bool ok = true;
        RecordingReporter reports;
        SettingsStore store(file);
        CHILD_CHECK(store.readNumber(kConf + "\\RX", "C_Wait") == 250);
        CHILD_CHECK(!store.writeNumber(kConf + "\\RX", "C_Wait", 300));
        CHILD_CHECK(!store.isPersistent());
        CHILD_CHECK(!store.writeNumber(kConf + "\\RX", "C_Retr", 3));
        CHILD_CHECK(store.readNumber(kConf + "\\RX", "C_Wait") == 250);
        CHILD_CHECK(reports.messages.size() == 1);
        if (!ok) {
            std::cerr << "last error: " << store.lastError() << "\n";
        }
        return ok;
    }));
    std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all);
    EXPECT_EQ(fileBytes(m_file), before);
}

TEST_F(SettingsStoreTest, AStoreRunningFromMemorySaysOnceThatNothingIsSaved)
{
    {
        std::ofstream out(m_file, std::ios::binary);
        out << "not a settings store\n";
    }
    RecordingReporter reports;
    SettingsStore store(m_file);
    EXPECT_FALSE(store.isPersistent());
    EXPECT_FALSE(store.isReadOnly());
    EXPECT_TRUE(reports.messages.empty());
    EXPECT_EQ(store.unsavedWrites(), 0u);
    // Writes work for this run, but the caller can see they are not kept.
    EXPECT_TRUE(store.writeNumber(kConf + "\\RX", "C_Wait", 250));
    EXPECT_TRUE(store.createKey(kConf + "\\Other"));
    EXPECT_TRUE(store.deleteTree(kConf + "\\Other"));
    EXPECT_EQ(store.readNumber(kConf + "\\RX", "C_Wait"), 250);
    EXPECT_EQ(store.unsavedWrites(), 3u);
    ASSERT_EQ(reports.messages.size(), 1u);
    EXPECT_NE(reports.messages[0].find(m_file), std::string::npos) << reports.messages[0];
    EXPECT_NE(reports.messages[0].find("not saved"), std::string::npos) << reports.messages[0];

    // A store on a good file saves its writes and says nothing.
    SettingsStore good((m_dir / "good.db").string());
    EXPECT_TRUE(good.writeNumber(kConf + "\\RX", "C_Wait", 250));
    EXPECT_EQ(good.unsavedWrites(), 0u);
    EXPECT_EQ(reports.messages.size(), 1u);
}

TEST_F(SettingsStoreTest, KeyRowsThatFormNoTreeAreSkippedAndEveryWalkEnds)
{
    std::int64_t defaultId = 0;
    {
        SettingsStore store(m_file);
        ASSERT_TRUE(store.writeNumber(kConf + "\\Good", "D_Type", 0));
        ASSERT_TRUE(store.writeNumber(kConf + "\\Good\\Sub", "X", 1));
        ASSERT_TRUE(store.writeNumber(kConf, "DefaultBfo", 100));
    }
    {
        // Damage the file by hand, as a broken tool or a bad disk would.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_file.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* q = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db,
                                     "SELECT k2.id FROM keys k1 JOIN keys k2 ON k2.parent = k1.id "
                                     "WHERE k1.parent = 0 AND k2.name = 'Korvane Software'",
                                     -1, &q, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
        const std::int64_t vendorId = sqlite3_column_int64(q, 0);
        sqlite3_finalize(q);
        const std::string ids = std::to_string(vendorId);
        char* err = nullptr;
        const std::string damage =
            "INSERT INTO keys(id, parent, name) SELECT 0, id, 'Loop' FROM keys WHERE name = 'Default' AND parent = " +
            ids +
            ";"
            "INSERT INTO keys(id, parent, name) SELECT 900, id, '' FROM keys WHERE name = 'Default' AND parent = " +
            ids +
            ";"
            "INSERT INTO keys(id, parent, name) SELECT 901, id, 'A\\B' FROM keys WHERE name = 'Default' AND parent = " +
            ids +
            ";"
            "INSERT INTO keys(id, parent, name) VALUES(902, 903, 'Ring1'), (903, 902, 'Ring2'), (904, 904, 'Self');"
            "INSERT INTO keys(id, parent, name) VALUES(905, 900, 'BelowEmpty');"
            "INSERT INTO vals(key, name, type, num) VALUES(0, 'RootValue', 0, 5);";
        ASSERT_EQ(sqlite3_exec(db, damage.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
        sqlite3_stmt* d = nullptr;
        sqlite3_prepare_v2(db, "SELECT id FROM keys WHERE name = 'Default'", -1, &d, nullptr);
        ASSERT_EQ(sqlite3_step(d), SQLITE_ROW);
        defaultId = sqlite3_column_int64(d, 0);
        sqlite3_finalize(d);
        sqlite3_close(db);
    }
    ASSERT_GT(defaultId, 0);
    const std::string file = m_file;
    EXPECT_TRUE(finishesWithin(30, [&] {
        bool ok = true;
        RecordingReporter reports;
        SettingsStore store(file);
        CHILD_CHECK(store.isPersistent());
        // Loop (the root below Default), the empty name and the one holding
        // a backslash, the ring, the self-parent and the key below the
        // empty name: seven rows that are no part of the tree.
        CHILD_CHECK(store.damagedKeys() == 7);
        CHILD_CHECK(reports.messages.size() == 1);
        CHILD_CHECK((store.subkeys(kConf) == std::vector<std::string>{"Good"}));
        CHILD_CHECK(store.readNumber(kConf + "\\Good\\Sub", "X") == 1);
        CHILD_CHECK(!store.keyExists(kConf + "\\Loop"));
        // Writing below a damaged key fails instead of landing elsewhere.
        CHILD_CHECK(!store.writeNumber(kConf + "\\Loop", "X", 1));
        CHILD_CHECK(store.writeNumber(kConf + "\\Fresh", "X", 2));
        CHILD_CHECK(store.deleteTree(kConf));
        CHILD_CHECK(!store.keyExists(kConf));
        CHILD_CHECK(!store.keyExists(kConf + "\\Good\\Sub"));
        CHILD_CHECK(store.keyExists(platform::kSettingsRoot));
        // Nothing holds the file: another writer gets through.
        SettingsStore other(file);
        CHILD_CHECK(other.writeNumber(kConf + "\\Again", "X", 3));
        return ok;
    }));
}

TEST_F(SettingsStoreTest, AForeignFileLeavesNoConnectionOpen)
{
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_file.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE stations(name TEXT);", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    auto openFiles = [] {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            ++n;
        }
        return n;
    };
    const std::size_t before = openFiles();
    for (int i = 0; i < 20; ++i) {
        SettingsStore store(m_file);
        EXPECT_FALSE(store.isPersistent());
    }
    EXPECT_EQ(openFiles(), before);
}

TEST_F(SettingsStoreTest, MissingDirectoryIsCreatedAndEnvironmentChoosesTheFile)
{
    const auto nested = (m_dir / "a" / "b" / "settings.db").string();
    SettingsStore store(nested);
    EXPECT_TRUE(store.isPersistent());
    EXPECT_TRUE(std::filesystem::exists(nested));

    ::setenv(platform::kSettingsEnvVar, nested.c_str(), 1);
    EXPECT_EQ(SettingsStore::defaultPath(), nested);
    ::unsetenv(platform::kSettingsEnvVar);
    EXPECT_NE(SettingsStore::defaultPath(), nested);
}

TEST(SettingsStorePaths, JoinAndEmptyPaths)
{
    EXPECT_EQ(SettingsStore::join("A", "B"), "A\\B");
    EXPECT_EQ(SettingsStore::join("A\\", "B"), "A\\B");
    EXPECT_EQ(SettingsStore::join("A", ""), "A");
    SettingsStore store(":memory:");
    EXPECT_FALSE(store.createKey(""));
    EXPECT_FALSE(store.writeNumber("", "x", 1));
    EXPECT_FALSE(store.deleteTree("\\"));
}

}  // namespace
