// The settings command on a real temporary store file.
#include "tools/settingscommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/settingsstore.h"

namespace {

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

}  // namespace
