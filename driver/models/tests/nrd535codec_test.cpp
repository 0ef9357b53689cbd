// NRD535 codec: commands, records (well formed, short, malformed),
// identification, code tables and the S-meter scale.
#include <gtest/gtest.h>

#include "driver/models/nrd535/nrd535codec.h"

namespace quorvin {
namespace {

using namespace nrd535;

TEST(Nrd535Codec, Commands)
{
    EXPECT_EQ(frame("I"), "I\r");
    EXPECT_EQ(frequencyCommand(14250000), "F14250000");
    EXPECT_EQ(frequencyCommand(5000), "F00005000");
    EXPECT_EQ(bfoCommand(-5000), "U2-5000");
    EXPECT_EQ(bfoCommand(800), "U2+0800");
    EXPECT_EQ(bfoCommand(0), "U2+0000");
    EXPECT_EQ(modeCommand(4), "D4");
    EXPECT_EQ(agcCommand(2), "G2");
    EXPECT_EQ(noiseBlankerCommand(1), "N1");
    EXPECT_EQ(attenuatorCommand(1), "A1");
    EXPECT_EQ(hfFilterCommand(true), "U11");
    EXPECT_EQ(hfFilterCommand(false), "U10");
    EXPECT_EQ(filterCommand(2), "B2");
    EXPECT_EQ(bandwidthCommand(800), "W0800");
    EXPECT_EQ(loadChannelCommand(7), "C007");
    EXPECT_EQ(saveChannelCommand(199), "J1199");
    EXPECT_EQ(readChannelsCommand(0, 199), "L000199");
    EXPECT_EQ(clearChannelCommand(12), "U5012");
    EXPECT_EQ(clockCommand(9, 5), "R10905");
    EXPECT_EQ(writeChannelCommand(3, {1, 2, 4, 9650000, 0}), std::optional<std::string>("K003124096500000"));
    EXPECT_FALSE(writeChannelCommand(200, {0, 0, 4, 9650000, 1}));
    EXPECT_FALSE(writeChannelCommand(1, {0, 4, 4, 9650000, 1}));
    EXPECT_FALSE(writeChannelCommand(1, {0, 0, 4, 4000, 1}));
    EXPECT_TRUE(writeChannelCommand(1, {0, 0, 0, 0, 0}));  // frequency 0 clears
}

TEST(Nrd535Codec, Identification)
{
    EXPECT_TRUE(parseIdentification("NRD-535\r"));
    EXPECT_FALSE(parseIdentification("NRD-535\r")->hOption);
    EXPECT_TRUE(parseIdentification("NRD-535 H\r")->hOption);
    // The option character is looked for only where the reply has one.
    EXPECT_FALSE(parseIdentification("535")->hOption);
    EXPECT_FALSE(parseIdentification("535 ")->hOption);
    EXPECT_FALSE(parseIdentification(""));
    EXPECT_FALSE(parseIdentification("NRD-525\r"));
    EXPECT_FALSE(parseIdentification(std::string("\x7F\x7F"
                                                 "535",
                                                 5)));
}

TEST(Nrd535Codec, StatusRecord)
{
    const auto s = parseStatus("I024142500001\r");
    ASSERT_TRUE(s);
    EXPECT_EQ(attenuatorFromDigit(s->attenuator), AttOff);
    EXPECT_EQ(slotFromFilterDigit(s->filter), 0);  // F_Nar
    EXPECT_EQ(modeFromDigit(s->mode), ModAM);
    EXPECT_EQ(s->frequencyHz, 14250000);
    EXPECT_EQ(agcFromDigit(s->agc), AgcFast);
    EXPECT_FALSE(parseStatus("I02414250000\r"));  // short
    EXPECT_FALSE(parseStatus("I024142500001X"));  // no CR at 13
    EXPECT_FALSE(parseStatus("I0241425x0001\r"));  // not a digit
    EXPECT_FALSE(parseStatus("Q024142500001\r"));
    EXPECT_FALSE(parseStatus(""));
}

TEST(Nrd535Codec, ShortRecordsOfEveryKind)
{
    EXPECT_EQ(parseSingleDigit("Q1\r", 'Q'), std::optional<int>(1));
    EXPECT_FALSE(parseSingleDigit("Q1", 'Q'));
    EXPECT_FALSE(parseSingleDigit("Q\r", 'Q'));
    EXPECT_FALSE(parseSingleDigit("N12\r", 'N'));
    EXPECT_EQ(parseSmeter("M150\r"), std::optional<int>(150));
    EXPECT_FALSE(parseSmeter("M15\r"));
    EXPECT_FALSE(parseSmeter("M999\r"));
    EXPECT_EQ(parseBandwidth("W0800\r"), std::optional<int>(800));
    EXPECT_FALSE(parseBandwidth("W080\r"));
    const auto bfo = parseU("U2-1500\r");
    ASSERT_TRUE(bfo);
    EXPECT_TRUE(bfo->isBfo);
    EXPECT_EQ(bfo->bfoHz, -1500);
    const auto hff = parseU("U11\r");
    ASSERT_TRUE(hff);
    EXPECT_FALSE(hff->isBfo);
    EXPECT_TRUE(hff->hfFilterOn);
    EXPECT_FALSE(parseU("U1\r"));
    EXPECT_FALSE(parseU("U2\r"));
    EXPECT_FALSE(parseU("U2x\r"));
    EXPECT_FALSE(parseU("U3\r"));
}

TEST(Nrd535Codec, ChannelRecord)
{
    const auto c = parseChannel("L007124096500000\r");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->channel, 7);
    EXPECT_EQ(c->fields.attenuator, 1);
    EXPECT_EQ(c->fields.filter, 2);
    EXPECT_EQ(c->fields.mode, 4);
    EXPECT_EQ(c->fields.frequencyHz, 9650000);
    EXPECT_EQ(c->fields.agc, 0);
    EXPECT_FALSE(parseChannel("L20012409650000\r"));
    EXPECT_FALSE(parseChannel("L200124096500000\r"));  // channel 200 does not exist
    EXPECT_FALSE(parseChannel("L007124096500000"));
}

TEST(Nrd535Codec, CodeTables)
{
    for (int d = 0; d <= 8; ++d) {
        EXPECT_EQ(digitFromMode(modeFromDigit(d)), d);
    }
    EXPECT_EQ(digitFromMode(ModISB), 2);
    EXPECT_EQ(digitFromMode(ModCW_F), 1);
    EXPECT_EQ(digitFromMode(ModNone), -1);
    EXPECT_EQ(modeFromDigit(9), -1);
    EXPECT_EQ(digitFromAgc(AgcMediumManual), 1);
    EXPECT_EQ(digitFromAgc(AgcFastManual), 2);
    EXPECT_EQ(digitFromAgc(AgcNone), -1);
    EXPECT_EQ(agcFromDigit(3), -1);
    EXPECT_EQ(noiseBlankerFromDigit(2), NBlWide);
    EXPECT_EQ(noiseBlankerFromDigit(3), -1);
    EXPECT_EQ(squelchFromDigit(1), SqlOn);
    EXPECT_EQ(slotFromFilterDigit(0), 2);
    EXPECT_EQ(slotFromFilterDigit(3), 3);
    EXPECT_EQ(slotFromFilterDigit(4), -1);
    for (int d = 0; d <= 3; ++d) {
        EXPECT_EQ(filterDigitFromSlot(slotFromFilterDigit(d)), d);
    }
}

TEST(Nrd535Codec, SmeterScale)
{
    EXPECT_EQ(dbuvFromRaw(255), -11);  // v = 0
    EXPECT_EQ(dbuvFromRaw(255 - 75), -10);
    EXPECT_EQ(dbuvFromRaw(255 - 106), 0);
    EXPECT_EQ(dbuvFromRaw(255 - 140), 20);
    EXPECT_EQ(dbuvFromRaw(255 - 150), 30);  // v - 120 between 141 and 164
    EXPECT_EQ(dbuvFromRaw(255 - 164), 44);
    EXPECT_EQ(dbuvFromRaw(255 - 165), 45);
    EXPECT_EQ(dbuvFromRaw(255 - 185), 101);
    EXPECT_EQ(dbuvFromRaw(255 - 187), 108);
    EXPECT_EQ(dbuvFromRaw(0), 114);
}

}  // namespace
}  // namespace quorvin
