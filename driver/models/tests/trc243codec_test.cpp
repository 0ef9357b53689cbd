// TRC243 codec: frames with and without the address character, the
// identification with each of its failures, the records at their fixed
// positions (short, long and malformed ones refused), code tables.
#include <gtest/gtest.h>

#include "driver/models/trc243/trc243codec.h"

namespace quorvin {
namespace {

using namespace trc243;
using Error = Identification::Error;

TEST(Trc243Codec, FramesAndCommands)
{
    EXPECT_EQ(frame("GA", true, 3), "\r3GA\n");
    EXPECT_EQ(frame("GA", true, 20), "\r?GA\n");  // above 15 is 15
    EXPECT_EQ(frame("GA", false, 3), "\rGA\n");
    EXPECT_EQ(frequencyCommand(5000), "F00005000");
    EXPECT_EQ(bfoCommand(-800), "B-800");
    EXPECT_EQ(bfoCommand(5), "B+005");
    EXPECT_EQ(bfoCommand(9000), "B+7999");
    EXPECT_EQ(agcCommand(3, 'F'), "H3F");
    EXPECT_EQ(squelchCommand(7), "U07");
    EXPECT_EQ(outputsCommand(0x3F), "XXo");
    EXPECT_EQ(recallCommand(100), "K100");
    EXPECT_EQ(storeCommand(1), "P01");
    EXPECT_EQ(channelQuery(0), std::nullopt);
    EXPECT_EQ(eraseCommand(101), std::nullopt);
}

TEST(Trc243Codec, Identification)
{
    auto id = parseIdentification("\r0REM OPS5%/\n");
    EXPECT_EQ(id.error, Error::None);
    EXPECT_EQ(id.rom, "243/ISB/F1/FI");
    EXPECT_TRUE(id.isb);
    id = parseIdentification("\r0REM OPT---\n");
    EXPECT_EQ(id.rom, "241/NoOpt");
    EXPECT_FALSE(id.isb);
    EXPECT_EQ(parseIdentification("\r0REM OPX---\n").error, Error::UnknownModel);
    EXPECT_EQ(parseIdentification("\r0REM\n").error, Error::NoOpFrame);
    EXPECT_EQ(parseIdentification("\r0XYZ\n").error, Error::NoKnownData);
    // Too short for the model character or for the three options.
    EXPECT_EQ(parseIdentification("\r0REM OP").error, Error::NoKnownData);
    EXPECT_EQ(parseIdentification("\r0REM OP\n").error, Error::NoKnownData);
    EXPECT_EQ(parseIdentification("\r0REM OPS5\n").error, Error::NoFilterInformation);
}

TEST(Trc243Codec, LinesAndRecords)
{
    EXPECT_EQ(lineText("\r0AF\n", true, 0), "AF");
    EXPECT_EQ(lineText("\r1AF\n", true, 0), std::nullopt);
    EXPECT_EQ(lineText("0AF\n", true, 0), std::nullopt);
    EXPECT_EQ(lineText("\r", true, 0), std::nullopt);
    EXPECT_TRUE(isAcknowledgement("OM"));
    EXPECT_TRUE(isAcknowledgement("REM OPS---"));
    EXPECT_FALSE(isAcknowledgement("AF07050000M3I2B-0800HS"));

    const auto a = parseA("AF07050000M3I2B-0800HS");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->frequencyHz, 7050000);
    EXPECT_EQ(a->mode, 3);
    EXPECT_EQ(a->filter, 2);
    EXPECT_EQ(a->bfoHz, -800);
    EXPECT_EQ(a->agc, 'S');
    EXPECT_FALSE(parseA("AF07050000M3I2B-0800H"));  // short
    EXPECT_FALSE(parseA("AF07050000M3I2B-0800HSX"));  // long
    EXPECT_FALSE(parseA("AF0705000xM3I2B-0800HS"));
    EXPECT_FALSE(parseA("AF07050000M3I2B*0800HS"));

    const auto b = parseB("BA2V1U20Q1S045X4K100");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->attenuator, 2);
    EXPECT_EQ(b->preselector, 1);
    EXPECT_EQ(b->squelch, 20);
    EXPECT_TRUE(b->muted);
    EXPECT_EQ(b->signal, 45);
    EXPECT_EQ(b->outputs, 4);
    EXPECT_EQ(b->channel, 100);
    EXPECT_FALSE(parseB("BA2V1U20Q1S045X4K10"));
    EXPECT_FALSE(parseB("BA2V1U20Q1S045X\x7FK100"));

    const auto c = parseC("C042F07050000M3I2B-0800HSA1");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->channel, 42);
    EXPECT_EQ(c->settings.frequencyHz, 7050000);
    EXPECT_EQ(c->attenuator, 1);
    EXPECT_FALSE(parseC("C042F07050000M3I2B-0800HSA"));
}

TEST(Trc243Codec, CodeTables)
{
    EXPECT_EQ(modeFromDigit(6), ModRTTY);
    EXPECT_EQ(modeFromDigit(7), std::nullopt);
    EXPECT_EQ(digitFromMode(ModFAX), kModeCW);
    EXPECT_EQ(digitFromMode(ModMPH), -1);
    EXPECT_TRUE(agcExists(kModeAM, AgcMedium));
    EXPECT_FALSE(agcExists(kModeAM, AgcFast));
    EXPECT_FALSE(agcExists(kModeFM, AgcSlow));
    EXPECT_TRUE(agcExists(kModeCW, AgcFast));
    EXPECT_EQ(agcFromLetter('-'), AgcNone);
    EXPECT_EQ(letterFromAgc(AgcManual), '\0');
}

}  // namespace
}  // namespace quorvin
