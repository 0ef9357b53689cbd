// The command line: instance names, the clean option and the usage cases.
#include <gtest/gtest.h>

#include "controller/core/commandline.h"

namespace tessaly {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, NoArgumentRunsTheDefaultInstance)
{
    const auto c = parseCommandLine(QString());
    EXPECT_EQ(c.action, Action::Run);
    EXPECT_EQ(c.instance, QStringLiteral("Tessaly"));
    EXPECT_EQ(parseCommandLine(QStringLiteral("   ")).instance, QStringLiteral("Tessaly"));
}

TEST(CommandLine, OneWordNamesTheInstance)
{
    const auto c = parseCommandLine(QStringLiteral("  Bench "));
    EXPECT_EQ(c.action, Action::Run);
    EXPECT_EQ(c.instance, QStringLiteral("Bench"));
    EXPECT_EQ(argumentText({QStringLiteral("Two"), QStringLiteral("Words")}), QStringLiteral("Two Words"));
}

TEST(CommandLine, CleanAloneCleansTheDefaultInstance)
{
    const auto c = parseCommandLine(QStringLiteral("-clean"));
    EXPECT_EQ(c.action, Action::Clean);
    EXPECT_EQ(c.instance, QStringLiteral("Tessaly"));
}

TEST(CommandLine, NameWithCleanCleansThatInstance)
{
    EXPECT_EQ(parseCommandLine(QStringLiteral("Bench -clean")).instance, QStringLiteral("Bench"));
    EXPECT_EQ(parseCommandLine(QStringLiteral("-clean Bench")).action, Action::Clean);
    EXPECT_EQ(parseCommandLine(QStringLiteral("-clean Bench")).instance, QStringLiteral("Bench"));
}

TEST(CommandLine, AnotherOptionBesideCleanShowsUsage)
{
    EXPECT_EQ(parseCommandLine(QStringLiteral("Bench -clean -x")).action, Action::Usage);
    EXPECT_EQ(parseCommandLine(QStringLiteral("-clean Bench-2")).action, Action::Usage);
}

TEST(CommandLine, QuestionMarkAnywhereShowsUsage)
{
    EXPECT_EQ(parseCommandLine(QStringLiteral("-?")).action, Action::Usage);
    EXPECT_EQ(parseCommandLine(QStringLiteral("Bench -?")).action, Action::Usage);
    EXPECT_EQ(parseCommandLine(QStringLiteral("-? -clean")).action, Action::Usage);
}

TEST(CommandLine, OptionWithoutCleanIsTakenAsTheName)
{
    // Only "-?" and "-clean" are options; any other text names the instance.
    EXPECT_EQ(parseCommandLine(QStringLiteral("-x")).action, Action::Run);
}

TEST(CommandLine, Messages)
{
    EXPECT_EQ(usageMessage(), QStringLiteral("Usage:\tTessaly.exe (NAME) (-clean)\r\n     with\r\n\tNAME = Instance "
                                             "name\r\n\t-clean  = Registry clean option"));
    EXPECT_EQ(cleanMessage(QStringLiteral("Bench")),
              QStringLiteral("Cleaning Bench registry context\r\nPlease restart application"));
}

}  // namespace
}  // namespace tessaly
