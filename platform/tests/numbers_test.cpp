// Locale-free formatting: wire frames must not change with the user's locale.
#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace platform;

TEST(Numbers, FormatsLikePrintfInTheCLocale)
{
    EXPECT_EQ(formatFixed(7.123456789, 6), "7.123457");
    EXPECT_EQ(formatFixed(0.5, 2), "0.50");
    EXPECT_EQ(formatFixed(-1.25, 2), "-1.25");
    EXPECT_EQ(formatFixed(-0.001, 2), "0.00");
    EXPECT_EQ(formatFixed(3.5, 1, 6, true), "0003.5");
    EXPECT_EQ(formatFixed(3.5, 1, 6, false), "   3.5");
    EXPECT_EQ(formatInt(42, 4, true), "0042");
    EXPECT_EQ(formatInt(-42, 5, true), "-0042");
    EXPECT_EQ(formatInt(-42), "-42");
    EXPECT_EQ(formatInt(9223372036854775807LL), "9223372036854775807");
    EXPECT_EQ(formatSignedInt(12, 5), "+0012");
    EXPECT_EQ(formatSignedInt(-12, 5), "-0012");
}

TEST(Numbers, CommaLocaleDoesNotLeakIntoFormats)
{
    // Whichever comma-decimal locale the machine has; without one the test
    // still checks the C locale.
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    EXPECT_EQ(formatFixed(14.25, 2), "14.25");
    EXPECT_EQ(parseDouble("14.25"), 14.25);
    std::setlocale(LC_ALL, "C");
    (void)chosen;
}

TEST(Numbers, ParsesWholeTextsOnly)
{
    EXPECT_EQ(parseInt(" 123 "), 123);
    EXPECT_EQ(parseInt("+7"), 7);
    EXPECT_EQ(parseInt("-7"), -7);
    EXPECT_FALSE(parseInt("12a").has_value());
    EXPECT_FALSE(parseInt("").has_value());
    EXPECT_FALSE(parseInt("99999999999999999999").has_value());
    EXPECT_EQ(parseDouble("4625.5"), 4625.5);
    EXPECT_FALSE(parseDouble("4,5").has_value());
    EXPECT_FALSE(parseDouble("nan").has_value());
}
