// The settings store on real temporary files.
#include "platform/settingsstore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <iterator>

using platform::SettingsStore;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("korvane-store-" + std::to_string(::getpid()) + "-" +
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
    EXPECT_EQ(store.subkeys(kConf),
              (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "Delta", "Empty", "gamma"}));
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
