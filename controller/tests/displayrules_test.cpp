// Display rules and the digit-link texts.
#include <gtest/gtest.h>

#include <memory>

#include "controller/core/digitlinks.h"
#include "controller/core/displayrules.h"
#include "interfaces/component.h"
#include "platform/componentloader.h"

namespace tessaly {
namespace {

using namespace quorvin;

std::unique_ptr<lumaret::IFrequencyData> database()
{
    auto loaded = platform::loadComponent(kLumaretLibraryFile, kFrequencyDataClassId);
    EXPECT_TRUE(loaded.error.empty()) << loaded.error;
    return std::unique_ptr<lumaret::IFrequencyData>(static_cast<lumaret::IFrequencyData*>(loaded.object));
}

TEST(DisplayRules, KnownFrequencyOffsetsAndColours)
{
    auto data = database();
    auto a = bandAdvice(*data, 2182030, 1);
    EXPECT_TRUE(a.known);
    EXPECT_TRUE(a.text.startsWith(QStringLiteral("MarMds")));
    EXPECT_EQ(a.diff, -30);
    EXPECT_EQ(a.tint, Tint::Yellow);
    EXPECT_TRUE(a.showDiff);
    a = bandAdvice(*data, 2181920, 1);
    EXPECT_EQ(a.diff, 80);
    EXPECT_EQ(a.tint, Tint::Orange);
    a = bandAdvice(*data, 2182000, 1);
    EXPECT_FALSE(a.showDiff);
    EXPECT_EQ(a.bestMode, lumaret::ModeUSB);
}

TEST(DisplayRules, BandPlanAdvice)
{
    auto data = database();
    const auto a = bandAdvice(*data, 14100000, 10);
    EXPECT_FALSE(a.known);
    EXPECT_EQ(a.text, QStringLiteral("Ham"));
    EXPECT_EQ(a.bestMode, lumaret::ModeUSB);
    EXPECT_EQ(a.bestFilter, 2500);
    EXPECT_EQ(a.bandStep, 1000);
    EXPECT_EQ(a.tint, Tint::LightCyan);
}

TEST(DisplayRules, AutomaticMode)
{
    EXPECT_EQ(autoMode(lumaret::ModeRTTY, ModLSB), ModUSB);
    EXPECT_EQ(autoMode(lumaret::ModeFAX, ModUSB), ModNone);
    EXPECT_EQ(autoMode(lumaret::ModeAM, ModUSB), ModAM);
    EXPECT_EQ(autoMode(lumaret::ModeNone, ModUSB), ModNone) << "no advice, no change";
    EXPECT_EQ(autoMode(lumaret::ModeLSB, ModLSB), ModNone);
}

TEST(DisplayRules, ConnectionMasks)
{
    EXPECT_EQ(connectionMask(ConnectLnTimeOut).text, QStringLiteral("Link: Timeout"));
    EXPECT_EQ(connectionMask(ConnectLnBadAddr).tint, Tint::Red);
    EXPECT_EQ(connectionMask(ConnectRxTimeOut).text, QStringLiteral("Rx: Not responding"));
    EXPECT_EQ(connectionMask(ConnectRxBiteError).text, QStringLiteral("Rx: BITE Error"));
    EXPECT_EQ(connectionMask(static_cast<ConnErr>(4711)).tint, Tint::Orange);
}

TEST(DisplayRules, ChannelAndKilohertzTexts)
{
    EXPECT_EQ(channelText(7, 250), QStringLiteral("007"));
    EXPECT_EQ(channelText(-1, 250), QStringLiteral("---"));
    EXPECT_EQ(channelText(7, 99), QStringLiteral("07"));
    EXPECT_EQ(channelText(-1, 99), QStringLiteral("--"));
    EXPECT_EQ(khzFixed(7050123), QStringLiteral("7050.123"));
    EXPECT_EQ(khzShort(7050000), QStringLiteral("7050"));
    EXPECT_EQ(khzShort(7050500), QStringLiteral("7050.5"));
    EXPECT_EQ(parseKhz(QStringLiteral(" 7050.5 ")).value_or(-1), 7050.5);
    EXPECT_FALSE(parseKhz(QStringLiteral("7050,5")));
    EXPECT_FALSE(parseKhz(QStringLiteral("abc")));
    EXPECT_FALSE(parseKhz(QString()));
}

TEST(DigitLinkTexts, DigitsStarAndHash)
{
    QString buffer;
    EXPECT_EQ(feedDigitText(buffer, QStringLiteral("1|0")).kind, DigitAction::None);
    feedDigitText(buffer, QStringLiteral("4|1"));
    feedDigitText(buffer, QStringLiteral("*|2"));
    feedDigitText(buffer, QStringLiteral("5|3"));
    EXPECT_EQ(buffer, QStringLiteral("14.5"));
    const auto tune = feedDigitText(buffer, QStringLiteral("#|4"));
    EXPECT_EQ(tune.kind, DigitAction::Tune);
    EXPECT_EQ(tune.hz, 14500);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(feedDigitText(buffer, QStringLiteral("#|5")).kind, DigitAction::Up100);
    EXPECT_EQ(feedDigitText(buffer, QStringLiteral("*|6")).kind, DigitAction::Down100);
}

TEST(DigitLinkTexts, NewSequenceStartsANewNumber)
{
    QString buffer = QStringLiteral("99");
    feedDigitText(buffer, QStringLiteral("7"));
    EXPECT_EQ(buffer, QStringLiteral("7")) << "no sequence number";
    feedDigitText(buffer, QStringLiteral("0|9000"));
    EXPECT_EQ(buffer, QStringLiteral("0")) << "above 8000";
    // A long number is asked as it is; the window checks it against the range.
    buffer = QStringLiteral("99999999999999");
    const auto a = feedDigitText(buffer, QStringLiteral("#|3"));
    EXPECT_EQ(a.kind, DigitAction::Tune);
    EXPECT_GT(a.hz, 1e16);
}

}  // namespace
}  // namespace tessaly
