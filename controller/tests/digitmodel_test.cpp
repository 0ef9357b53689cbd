// Digit entry: limits, digit steps, typed kilohertz.
#include <gtest/gtest.h>

#include "controller/core/digitmodel.h"

namespace tessaly {
namespace {

KeyStroke key(int code, bool keypad = false)
{
    KeyStroke k;
    k.key = code;
    k.keypad = keypad;
    return k;
}

void type(DigitModel& m, const char* text, double current, int* processed = nullptr)
{
    for (const char* p = text; *p != 0; ++p) {
        const auto r = m.processKey(QLatin1Char(*p), current);
        if (processed != nullptr && r.processed) {
            ++*processed;
        }
    }
}

TEST(DigitModel, BoundaryHidesDigitsTheMaximumDoesNotNeed)
{
    DigitModel m;
    m.boundary(29999999, 0, 1);
    EXPECT_EQ(m.firstActive(), 1);
    EXPECT_EQ(m.lastActive(), 8);
    m.boundary(999999999, 0, 1);
    EXPECT_EQ(m.firstActive(), 0);
    m.boundary(29999999, 0, 10);
    EXPECT_EQ(m.lastActive(), 7);
    int i = 7;
    m.keyDown(i, key(Qt::Key_Right), 0);
    EXPECT_EQ(i, 1) << "Right from the 10 Hz digit wraps to the first active digit";
    m.keyDown(i, key(Qt::Key_Left), 0);
    EXPECT_EQ(i, 7);
}

TEST(DigitModel, ShowAndSetValue)
{
    DigitModel m;
    m.boundary(29999999, 100000, 1);
    m.showValue(0);
    EXPECT_EQ(m.text(), QStringLiteral("    00000"));
    EXPECT_TRUE(m.setValue(7050123));
    EXPECT_EQ(m.text(), QStringLiteral("  7050123"));
    EXPECT_EQ(m.readValue(), 7050123);
    EXPECT_FALSE(m.setValue(30000000)) << "above the maximum";
    EXPECT_FALSE(m.setValue(99999)) << "below the minimum";
    EXPECT_EQ(m.readValue(), 7050123);
    m.setBfoValue(1200);
    m.setValue(-1);
    EXPECT_EQ(m.text(), QStringLiteral("xxxxxxxxx"));
    EXPECT_TRUE(m.bfoText().isEmpty());
    EXPECT_EQ(m.readValue(), 0);
}

TEST(DigitModel, DigitStepsCarryAndStayWithinLimits)
{
    DigitModel m;
    m.boundary(29999999, 0, 1);
    m.setValue(14999500);
    int i = 5;  // the 1 kHz digit
    auto r = m.keyDown(i, key(Qt::Key_Up), 14999500);
    EXPECT_TRUE(r.processed);
    EXPECT_EQ(m.readValue(), 15000500);
    m.setValue(29999000);
    i = 1;  // 10 MHz
    m.keyDown(i, key(Qt::Key_Up), 29999000);
    EXPECT_EQ(m.readValue(), 29999000) << "a step beyond the maximum leaves the display";
    m.keyDown(i, key(Qt::Key_Minus, true), 29999000);
    EXPECT_EQ(m.readValue(), 19999000);
    EXPECT_EQ(m.selected(), 1);
}

TEST(DigitModel, PageKeysAndHomeStayWithinLimits)
{
    DigitModel m;
    m.boundary(30000000, 1000, 1);
    m.setValue(29999000);
    int i = 4;
    EXPECT_TRUE(m.keyDown(i, key(Qt::Key_PageUp), 29999000).processed);
    EXPECT_EQ(m.readValue(), 30000000) << "clamped to the maximum";
    m.setValue(2000);
    m.keyDown(i, key(Qt::Key_PageDown), 2000);
    EXPECT_EQ(m.readValue(), 1000) << "clamped to the minimum";
    m.keyDown(i, key(Qt::Key_Home), 7050777);
    EXPECT_EQ(m.readValue(), 7050000);
}

TEST(DigitModel, OverwritingDigitsThenEnter)
{
    DigitModel m;
    m.boundary(29999999, 0, 1);
    m.setValue(7050000);
    int i = 2;
    m.focus(i, true);
    m.keyPress(i, QLatin1Char('1'), 7050000);
    EXPECT_EQ(i, 3);
    m.keyPress(i, QLatin1Char('4'), 7050000);
    EXPECT_EQ(m.readValue(), 1450000);
    m.keyPress(i, QLatin1Char('\b'), 7050000);
    EXPECT_EQ(i, 3);
    const auto r = m.keyPress(i, QLatin1Char('\r'), 7050000);
    EXPECT_TRUE(r.processed);
    EXPECT_EQ(m.readValue(), 1400000) << "Backspace wrote 0 into the 10 kHz digit";
    EXPECT_EQ(m.selected(), -1);
    EXPECT_EQ(m.dot(), DigitModel::Dot::Red);
    i = 2;
    m.focus(i, true);
    m.keyPress(i, QLatin1Char('9'), 7050000);
    m.keyPress(i, QChar(27), 7050000);
    EXPECT_EQ(m.readValue(), 7050000) << "Esc shows the receiver frequency again";
}

TEST(DigitModel, LockedDigitsCannotBeSelected)
{
    DigitModel m;
    m.lock(true);
    m.focus(3, true);
    EXPECT_EQ(m.selected(), -1);
    m.lock(false);
    m.focus(3, true);
    EXPECT_EQ(m.selected(), 3);
    EXPECT_EQ(m.dot(), DigitModel::Dot::Green);
}

TEST(DigitModel, TypedKilohertzKeepsThreeDecimals)
{
    DigitModel m;
    m.boundary(29999999, 0, 1);
    int processed = 0;
    type(m, "7050.1234", 1000000, &processed);
    EXPECT_EQ(m.typedText(), QStringLiteral("7050.123"));
    type(m, "\r", 1000000, &processed);
    EXPECT_EQ(processed, 1);
    EXPECT_EQ(m.readValue(), 7050123);
    EXPECT_TRUE(m.typedText().isEmpty());
}

TEST(DigitModel, TypedNumberAboveTheMaximumIgnoresTheDigit)
{
    DigitModel m;
    m.boundary(29999999, 0, 1);
    type(m, "300000", 0);
    EXPECT_EQ(m.typedText(), QStringLiteral("3000"));
    type(m, ",5\b", 0);
    EXPECT_EQ(m.typedText(), QStringLiteral("3000."));
    type(m, "\b", 0);
    EXPECT_EQ(m.typedText(), QStringLiteral("300")) << "the point goes with the digit before it";
}

TEST(DigitModel, TypedOffsetsAreClampedToTheLimits)
{
    DigitModel m;
    m.boundary(30000000, 100000, 1);
    int processed = 0;
    type(m, "10+", 7050000, &processed);
    EXPECT_EQ(m.readValue(), 7060000);
    type(m, "10-", 7050000, &processed);
    EXPECT_EQ(m.readValue(), 7040000);
    EXPECT_EQ(processed, 2);
    type(m, "5000+", 29000000);
    EXPECT_EQ(m.readValue(), 30000000);
    type(m, "5000-", 200000);
    EXPECT_EQ(m.readValue(), 100000);
    EXPECT_FALSE(m.processKey(QLatin1Char('+'), 7050000).consumed) << "nothing typed: left to the window";
}

TEST(DigitModel, DrmAndChannelizedEntry)
{
    DigitModel m;
    m.boundary(29999999, 0, 1);
    type(m, "D15440\r", 0);
    EXPECT_EQ(m.readValue(), 15445000);
    EXPECT_FALSE(m.drm());
    type(m, ":14000\r", 0);
    EXPECT_EQ(m.readValue(), 14000000);
    EXPECT_EQ(m.takeChannelized(), 1);
    EXPECT_EQ(m.takeChannelized(), 0);
}

TEST(DigitModel, TypedNumberForCommands)
{
    DigitModel m;
    m.boundary(999999999, 0, 1);
    EXPECT_EQ(m.takeTypedNumber(), -1);
    type(m, "12", 0);
    EXPECT_EQ(m.takeTypedNumber(), 12);
    EXPECT_TRUE(m.typedText().isEmpty());
    type(m, "40000", 0);
    EXPECT_EQ(m.takeTypedNumber(), 1000);
}

}  // namespace
}  // namespace tessaly
