// The settings command on a real temporary store file.
#include "tools/settingscommand.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/settingsstore.h"

namespace {

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs `body` in a child process: true when it returned true within the
// time given (a crash or an endless loop is a failure, not the end of the
// test program).
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

class SettingsCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_file = std::filesystem::temp_directory_path() / ("korvanectl-" + std::to_string(::getpid()) + ".db");
        std::filesystem::remove(m_file);
        m_store = std::make_unique<platform::SettingsStore>(m_file.string());
    }
    void TearDown() override
    {
        m_store.reset();
        std::filesystem::remove(m_file);
    }
    int run(std::vector<std::string> args)
    {
        m_out.str("");
        m_err.str("");
        return tools::runSettingsCommand(*m_store, args, m_out, m_err);
    }

    // Runs SQL on the store file directly, as a broken tool would.
    void damage(const std::string& sql)
    {
        m_store.reset();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_file.c_str(), &db), SQLITE_OK);
        char* err = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
        sqlite3_free(err);
        sqlite3_close(db);
    }
    // The same command in a child process on a store of its own: true when
    // it ended with `code` and printed `wanted` (and in time).
    bool runsInTime(std::vector<std::string> args, int code, const std::string& wanted)
    {
        m_store.reset();
        const std::string file = m_file.string();
        return finishesWithin(30, [&] {
            m_store = std::make_unique<platform::SettingsStore>(file);
            const int rc = run(args);
            if (rc != code || m_out.str().find(wanted) == std::string::npos) {
                std::cerr << "exit " << rc << ", out: " << m_out.str() << "err: " << m_err.str() << "\n";
                return false;
            }
            return true;
        });
    }

    std::filesystem::path m_file;
    std::unique_ptr<platform::SettingsStore> m_store;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

TEST_F(SettingsCommandTest, SetShowGetAndDeleteAnInstance)
{
    EXPECT_EQ(run({"set-number", "Default/NRD535", "D_Type", "0"}), 0);
    EXPECT_EQ(run({"set-text", "Default/NRD535", "S_Parity", "n"}), 0);
    EXPECT_EQ(run({"set-number", "SOFTWARE\\Korvane Software\\Default\\NRD535", "S_BusAdress", "65535"}), 0);
    EXPECT_EQ(m_store->readNumber("SOFTWARE\\Korvane Software\\Default\\NRD535", "S_BusAdress"), 65535);

    EXPECT_EQ(run({"show", "Default"}), 0);
    EXPECT_NE(m_out.str().find("[NRD535]"), std::string::npos);
    EXPECT_NE(m_out.str().find("D_Type = 0"), std::string::npos);
    EXPECT_NE(m_out.str().find("S_Parity = \"n\""), std::string::npos);

    EXPECT_EQ(run({"get", "default/nrd535", "d_type"}), 0);
    EXPECT_EQ(m_out.str(), "0\n");

    EXPECT_EQ(run({"delete", "Default/NRD535", "S_Parity"}), 0);
    EXPECT_EQ(run({"get", "Default/NRD535", "S_Parity"}), 1);
    EXPECT_EQ(run({"delete", "Default/NRD535"}), 0);
    EXPECT_EQ(run({"show", "Default/NRD535"}), 1);
    EXPECT_EQ(run({"show", "Default"}), 0);
}

TEST_F(SettingsCommandTest, RefusesBadInputWithoutTouchingTheStore)
{
    EXPECT_EQ(run({"set-number", "Default/X", "C_Wait", "25o"}), 2);
    EXPECT_EQ(run({"set-number", "Default/X", "C_Wait", "99999999999"}), 2);
    EXPECT_FALSE(m_store->keyExists("SOFTWARE\\Korvane Software\\Default\\X"));
    EXPECT_EQ(run({"delete", ""}), 1);
    EXPECT_EQ(run({"delete", "SOFTWARE/Korvane Software"}), 1);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({}), 2);
}

TEST_F(SettingsCommandTest, AKeyWithAnEmptyNameIsSkippedByShow)
{
    EXPECT_EQ(run({"set-number", "Default/NRD535", "D_Type", "0"}), 0);
    damage("INSERT INTO keys(parent, name) SELECT id, '' FROM keys WHERE name = 'Default';"
           "INSERT INTO keys(parent, name) SELECT id, 'Below' FROM keys WHERE name = '';");
    EXPECT_TRUE(runsInTime({"show"}, 0, "[NRD535]"));
    EXPECT_TRUE(runsInTime({"show", "Default"}, 0, "D_Type = 0"));
}

TEST_F(SettingsCommandTest, TheRootBelowAKeyNeitherLoopsShowNorDelete)
{
    EXPECT_EQ(run({"set-number", "Default/NRD535", "D_Type", "0"}), 0);
    EXPECT_EQ(run({"set-number", "Other/RA1792", "D_Type", "2"}), 0);
    damage("INSERT INTO keys(id, parent, name) SELECT 0, id, 'Loop' FROM keys WHERE name = 'Default';");
    EXPECT_TRUE(runsInTime({"show"}, 0, "[RA1792]"));
    EXPECT_TRUE(runsInTime({"delete", "Default"}, 0, ""));
    m_store = std::make_unique<platform::SettingsStore>(m_file.string());
    EXPECT_FALSE(m_store->keyExists("SOFTWARE\\Korvane Software\\Default"));
    EXPECT_EQ(m_store->readNumber("SOFTWARE\\Korvane Software\\Other\\RA1792", "D_Type"), 2);
    // The file is free for other writers again.
    EXPECT_EQ(run({"set-number", "Default/NRD535", "D_Type", "0"}), 0);
}

TEST_F(SettingsCommandTest, AReadOnlyStoreIsShownButNotChanged)
{
    EXPECT_EQ(run({"set-number", "Default/NRD535", "D_Type", "0"}), 0);
    m_store = std::make_unique<platform::SettingsStore>(m_file.string(), platform::StoreAccess::ReadOnly);
    const std::string before = fileBytes(m_file);
    EXPECT_EQ(run({"file"}), 0);
    EXPECT_NE(m_out.str().find("read-only"), std::string::npos) << m_out.str();
    EXPECT_EQ(run({"show", "Default"}), 0);
    EXPECT_NE(m_out.str().find("D_Type = 0"), std::string::npos);
    EXPECT_EQ(run({"get", "Default/NRD535", "D_Type"}), 0);
    EXPECT_EQ(m_out.str(), "0\n");
    for (const auto& args : std::vector<std::vector<std::string>>{{"set-number", "Default/NRD535", "C_Wait", "300"},
                                                                  {"set-text", "Default/NRD535", "T_Addr", "x"},
                                                                  {"create", "Default/New"},
                                                                  {"delete", "Default/NRD535"}}) {
        EXPECT_EQ(run(args), 1) << args[0];
        EXPECT_NE(m_err.str().find("read-only"), std::string::npos) << m_err.str();
    }
    EXPECT_EQ(fileBytes(m_file), before);
}

TEST_F(SettingsCommandTest, AStoreThatCannotBeUsedIsNamedWithItsReason)
{
    m_store.reset();
    {
        std::ofstream out(m_file, std::ios::binary);
        out << "not a store\n";
    }
    m_store = std::make_unique<platform::SettingsStore>(m_file.string());
    EXPECT_EQ(run({"file"}), 0);
    EXPECT_NE(m_out.str().find("not usable"), std::string::npos);
    EXPECT_EQ(run({"set-number", "Default/NRD535", "D_Type", "0"}), 1);
    EXPECT_NE(m_err.str().find(m_file.string()), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find("nothing is saved"), std::string::npos) << m_err.str();
    EXPECT_EQ(fileBytes(m_file), "not a store\n");
}

}  // namespace
