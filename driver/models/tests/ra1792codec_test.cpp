// RA1792 codec and the shared protocol shapes: frames, numbers without the
// locale, status replies (well formed, short, malformed), code tables.
#include <gtest/gtest.h>

#include <clocale>

#include "driver/models/familyprotocol.h"
#include "driver/models/ra1792/ra1792codec.h"

namespace quorvin {
namespace {

using namespace ra1792;

TEST(Ra1792Codec, FramesCarryTheTwoDigitBusAddress)
{
    EXPECT_EQ(commandFrame(7, "G"), "$07G\r\n");
    EXPECT_EQ(commandFrame(1, "F10.000000"), "$01F10.000000\r\n");
    EXPECT_EQ(commandFrame(123, "G"), "$99G\r\n");
    EXPECT_EQ(commandFrame(-1, "G"), "$00G\r\n");
}

TEST(Ra1792Codec, CommandsAreFormattedWithoutTheLocale)
{
    // A locale with a decimal comma must not reach the wire.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old != nullptr ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(frequencyCommand(10000000), "F10.000000");
    EXPECT_EQ(frequencyCommand(5000), "F0.005000");
    EXPECT_EQ(frequencyCommand(29999999), "F29.999999");
    EXPECT_EQ(bfoCommand(-2210), "B-2.21");
    EXPECT_EQ(bfoCommand(7999), "B8.00");
    EXPECT_EQ(bfoCommand(0), "B0.00");
    // A BFO that rounds to zero carries no minus sign.
    for (int hz = -4; hz <= -1; ++hz) {
        EXPECT_EQ(bfoCommand(hz), "B0.00") << hz;
        EXPECT_EQ(bfoOnWire(hz), 0) << hz;
    }
    EXPECT_EQ(bfoCommand(-5), "B-0.01");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(modeCommand(3), "D3");
    EXPECT_EQ(agcCommand(7), "M7");
    EXPECT_EQ(gainCommand(120), "A120");
    EXPECT_EQ(filterCommand(5), "I5");
}

TEST(Ra1792Codec, StatusReplyWithEveryField)
{
    const auto s = parseStatus("B-2.21F10.000000D3I3M1A0X0\r\n");
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->hasBfo);
    EXPECT_EQ(s->bfoHz, -2210);
    EXPECT_EQ(s->frequencyHz, 10000000);
    EXPECT_EQ(s->modeCode, 3);
    ASSERT_TRUE(s->filterCode);
    EXPECT_EQ(*s->filterCode, 3);
    EXPECT_EQ(s->agcCode, 1);
    ASSERT_TRUE(s->gain);
    EXPECT_EQ(*s->gain, 0);
    // Panel flag clear: RTTY by its BFO; set: CW whatever the BFO.
    EXPECT_EQ(modeFromCode(s->modeCode, s->bfoHz, false), ModRTTY);
    EXPECT_EQ(modeFromCode(s->modeCode, s->bfoHz, true), ModCW);
    EXPECT_EQ(modeFromCode(3, -1900, false), ModFAX);
    EXPECT_EQ(modeFromCode(3, -800, false), ModCW);
    // With the default slots, code 3 is 3200 Hz.
    EXPECT_EQ(slotFromFilterCode(3, 2, 5), 4);
}

TEST(Ra1792Codec, LineEndsAnywhereAndOptionalFieldsAbsent)
{
    const auto s = parseStatus("F7.050\r\n000D6M\n2X17\r\n");
    ASSERT_TRUE(s);
    EXPECT_FALSE(s->hasBfo);
    EXPECT_EQ(s->bfoHz, 0);
    EXPECT_EQ(s->frequencyHz, 7050000);
    EXPECT_EQ(s->modeCode, 6);
    EXPECT_FALSE(s->filterCode);
    EXPECT_EQ(s->agcCode, 2);
    EXPECT_FALSE(s->gain);
    EXPECT_EQ(s->x, 17);
}

TEST(Ra1792Codec, MalformedAndShortRepliesDoNotParse)
{
    EXPECT_FALSE(parseStatus("B-2.21F10.000000D3I3M1A0"));  // no X
    EXPECT_FALSE(parseStatus("D3I3M1X0"));  // no F
    EXPECT_FALSE(parseStatus("F10.0D3I3X0"));  // no M
    EXPECT_FALSE(parseStatus(""));
    EXPECT_FALSE(parseStatus("F"));
    EXPECT_FALSE(parseStatus("F1.0D"));  // a letter at the very end, no number
    EXPECT_FALSE(parseStatus("F1.0D3M1X"));
    EXPECT_FALSE(parseStatus("FxD3M1X0"));
    EXPECT_FALSE(parseStatus(std::string("\x7F\x7F", 2)));
    // The search resumes past a letter found near the end without reading past it.
    EXPECT_FALSE(parseStatus("F1.0D3M1X"));
    EXPECT_TRUE(parseStatus("F1.0D3M1X0"));
}

TEST(Ra1792Codec, CodeTables)
{
    EXPECT_EQ(codeFromMode(ModAM_U), 1);
    EXPECT_EQ(codeFromMode(ModFAX), 3);
    EXPECT_EQ(codeFromMode(ModCW_F), 3);
    EXPECT_EQ(codeFromMode(ModUSB), 6);
    EXPECT_EQ(codeFromMode(ModNone), -1);
    EXPECT_EQ(codeFromMode(ModMPH), -1);
    EXPECT_EQ(modeFromCode(0, 0, false), -1);
    EXPECT_EQ(modeFromCode(7, 0, false), -1);
    EXPECT_EQ(modeFromCode(4, 0, false), ModISB);
    for (int code = 1; code <= 7; ++code) {
        EXPECT_EQ(codeFromAgc(agcFromCode(code)), code);
    }
    EXPECT_EQ(agcFromCode(0), -1);
    EXPECT_EQ(codeFromAgc(AgcData), -1);
    EXPECT_EQ(codeFromAgc(AgcNone), -1);
}

TEST(Ra1792Codec, FilterCodesBeyondTheConfiguredSlotsReadAsTheFirstOffered)
{
    // first slot 2, five offered: I0 → slot 1 (F_FL2), I1..I5 → slots 2..6.
    EXPECT_EQ(slotFromFilterCode(0, 2, 5), 1);
    EXPECT_EQ(slotFromFilterCode(1, 2, 5), 2);
    EXPECT_EQ(slotFromFilterCode(5, 2, 5), 6);
    EXPECT_EQ(slotFromFilterCode(6, 2, 5), 2);
    EXPECT_EQ(slotFromFilterCode(7, 2, 5), 2);
    EXPECT_EQ(slotFromFilterCode(-1, 2, 5), 2);
    EXPECT_EQ(filterCodeFromSlot(6, 2), 5);
}

TEST(Ra1792Codec, Conversions)
{
    EXPECT_EQ(megahertzToHz(14.2500005), 14250001);
    EXPECT_EQ(megahertzToHz(0.005), 5000);
    EXPECT_EQ(kilohertzToHz(-2.2105), -2211);
    EXPECT_EQ(kilohertzToHz(0.0005), 1);
    EXPECT_EQ(megahertzToHz(1e300), INT32_MAX);
    // What a BFO command sets: 10 Hz steps.
    EXPECT_EQ(bfoOnWire(7999), 8000);
    EXPECT_EQ(bfoOnWire(-2210), -2210);
    EXPECT_EQ(bfoOnWire(-1234), -1230);
}

TEST(FamilyProtocol, TwoDelBytesNeedTwoBytes)
{
    EXPECT_FALSE(family::beginsWithTwoDel(""));
    EXPECT_FALSE(family::beginsWithTwoDel("\x7F"));
    EXPECT_TRUE(family::beginsWithTwoDel("\x7F\x7F"));
    EXPECT_TRUE(family::beginsWithTwoDel("\xFF\x7F rest"));
    EXPECT_FALSE(family::beginsWithTwoDel("\x7F"
                                          "A"));
}

TEST(FamilyProtocol, RecordsAndDigitsAreLengthChecked)
{
    std::string buffer = "I1\rQ";
    EXPECT_EQ(family::takeRecord(buffer, '\r'), std::optional<std::string>("I1\r"));
    EXPECT_FALSE(family::takeRecord(buffer, '\r'));
    EXPECT_EQ(buffer, "Q");
    EXPECT_FALSE(family::digitAt("", 0));
    EXPECT_FALSE(family::digitAt("1", 1));
    EXPECT_EQ(family::digitAt("x7", 1), std::optional<int>(7));
    EXPECT_FALSE(family::digitsAt("1234", 2, 3));
    EXPECT_FALSE(family::digitsAt("12a4", 0, 4));
    EXPECT_EQ(family::digitsAt("x1234", 1, 4), std::optional<std::int64_t>(1234));
    EXPECT_EQ(family::resumeAfter("AB", 1), 2u);
    EXPECT_FALSE(family::findLetterField("X", 'X', 5, true));
}

}  // namespace
}  // namespace quorvin
