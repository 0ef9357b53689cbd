// HF2050 codec: command lines, word tables, the unit check of the connect
// reply, and the unit, channel and level records (well formed and not).
#include <gtest/gtest.h>

#include "driver/models/hf2050/hf2050codec.h"
#include "interfaces/receivertypes.h"

namespace quorvin {
namespace {

using namespace hf2050;

TEST(Hf2050Codec, CommandLines)
{
    EXPECT_EQ(frame(connectCommand(15)), "UNIT 15;HD;?\r\n");
    EXPECT_EQ(frame(kPoll), "?;NB ?;RF ?;SQ ?\r\n");
    EXPECT_EQ(frequencyCommand(7050000), "FR 7050.00;FR ?");
    EXPECT_EQ(frequencyCommand(1500), "FR  1.50;FR ?");  // "%5.2lf" pads to five
    EXPECT_EQ(frequencyCommand(29999990), "FR 29999.99;FR ?");
    EXPECT_EQ(bfoCommand(-2210), "BF -2.21;BF ?");
    EXPECT_EQ(modeCommand(modeWord(ModRTTY)), "MO CW;MO ?");
    EXPECT_EQ(agcCommand(agcWord(AgcManual)), "AG OF;AG ?");
    EXPECT_EQ(noiseBlankerCommand(7), "NB 7;NB ?");
    EXPECT_EQ(squelchCommand(3), "SQ 3;SQ ?");
    EXPECT_EQ(rfGainCommand(100), "RF 100;RF ?");
    EXPECT_EQ(bandwidthCommand(3200), "BW 3200;BW ?");
    EXPECT_EQ(channelCommand(5), "CH 5;?");
    EXPECT_EQ(readChannelCommand(99), "PR 99 ?");
    EXPECT_EQ(writeChannelCommand(5, 10100000, "CW", true, -1900, 300, "FA"),
              "PR 5 = FR 10100.00, MO CW, BF -1.90, BW 300, AG FA");
    EXPECT_EQ(writeChannelCommand(7, 7000000, "LS", false, 0, 3200, "SL"), "PR 7 = FR 7000.00, MO LS, BW 3200, AG SL");
}

TEST(Hf2050Codec, WordTables)
{
    EXPECT_EQ(modeWord(ModAM_L), "AM");
    EXPECT_EQ(modeWord(ModCW_F), "CW");
    EXPECT_EQ(modeWord(ModUSB), "US");
    EXPECT_EQ(modeWord(ModISB), "IS");
    EXPECT_EQ(modeWord(ModFM), "");
    EXPECT_EQ(modeFromWord("CW", -2210, ModAM), ModRTTY);
    EXPECT_EQ(modeFromWord("CW", -1900, ModAM), ModFAX);
    EXPECT_EQ(modeFromWord("CW", 0, ModAM), ModCW);
    EXPECT_EQ(modeFromWord("LSB", 0, ModAM), ModLSB);
    EXPECT_EQ(modeFromWord(" ", 0, ModAM), ModNone);
    EXPECT_EQ(modeFromWord("", 0, ModAM), ModNone);
    EXPECT_EQ(modeFromWord("XX", 0, ModUSB), ModUSB);
    EXPECT_EQ(agcWord(AgcFast), "FA");
    EXPECT_EQ(agcWord(AgcMedium), "");
    EXPECT_EQ(agcFromWord("SL", AgcFast), AgcSlow);
    EXPECT_EQ(agcFromWord("OFF", AgcFast), AgcManual);
    EXPECT_EQ(agcFromWord("", AgcFast), AgcNone);
    EXPECT_EQ(agcFromWord("Q", AgcFast), AgcFast);
    EXPECT_EQ(noiseBlankerFromLevel(0, NBlWide), NBlOff);
    EXPECT_EQ(noiseBlankerFromLevel(5, NBlOff), NBlPeek);
    EXPECT_EQ(noiseBlankerFromLevel(7, NBlOff), NBlWide);
    EXPECT_EQ(noiseBlankerFromLevel(-1, NBlOff), NBlNone);
    EXPECT_EQ(noiseBlankerFromLevel(11, NBlPeek), NBlPeek);
    EXPECT_EQ(bandwidthSlotForMode(ModLSB), 4);
    EXPECT_EQ(bandwidthSlotForMode(ModAM), 3);
    EXPECT_EQ(bandwidthSlotForMode(ModCW), 1);
}

TEST(Hf2050Codec, ConnectReplyMustComeFromTheUnit)
{
    const std::string record = "UNIT 15 RMT FR 7050.00 MODE US BFO NONE BW 3200 AGC SL CH NONE\r\n";
    EXPECT_TRUE(isReplyFromUnit(record, 15));
    EXPECT_FALSE(isReplyFromUnit(record, 16));
    EXPECT_FALSE(isReplyFromUnit(record, 1));  // "UNIT 1" is only the start of "UNIT 15"
    EXPECT_FALSE(isReplyFromUnit("UNIT 15\r", 15));
    EXPECT_TRUE(isReplyFromUnit("UNIT 15\rx", 15));  // CR next to last
    EXPECT_FALSE(isReplyFromUnit("UNIT 15 FR 7050.00", 15));  // no line end
    EXPECT_FALSE(isReplyFromUnit("", 15));
    EXPECT_FALSE(isReplyFromUnit("\n", 15));
}

TEST(Hf2050Codec, UnitAndChannelRecords)
{
    Fields f = parseFields("UNIT 15 RMT FR 7050.00 MODE CW BFO -2.21 BW 1000 AGC FA CH 12\r\n");
    EXPECT_EQ(recordKind("UNIT 15 RMT"), 'U');
    EXPECT_EQ(f.frequencyHz, 7050000);
    EXPECT_EQ(f.modeWord, "CW");
    EXPECT_EQ(f.bfoHz, -2210);
    EXPECT_FALSE(f.bfoRejected);
    EXPECT_EQ(f.bandwidthHz, 1000);
    EXPECT_EQ(f.agcWord, "FA");
    EXPECT_EQ(f.channel, 12);
    EXPECT_EQ(f.remote, true);
    EXPECT_FALSE(f.modeFirst);
    EXPECT_EQ(modeFromWord(*f.modeWord, *f.bfoHz, ModNone), ModRTTY);

    f = parseFields("UNIT 15 LCL FR 0.00 MODE AM BFO NONE BW NONE AGC SL CH NONE\r\n");
    EXPECT_EQ(f.frequencyHz, 0);
    EXPECT_EQ(f.bfoHz, 0);
    EXPECT_EQ(f.bandwidthHz, -1);
    EXPECT_EQ(f.channel, -1);
    EXPECT_EQ(f.remote, false);

    f = parseFields("UNIT 15 MODE LS\r\n");  // the answer to "MO ?"
    EXPECT_TRUE(f.modeFirst);
    EXPECT_FALSE(f.frequencyHz);
    EXPECT_FALSE(f.remote);
    f = parseFields("MODE US\r\n");
    EXPECT_TRUE(f.modeFirst);

    f = parseFields("UNIT 15 BFO 4.01\r\n");
    EXPECT_TRUE(f.bfoRejected);
    EXPECT_FALSE(f.bfoHz);
    f = parseFields("UNIT 15 BFO x FR y BW 12z\r\n");
    EXPECT_TRUE(f.bfoRejected);
    EXPECT_FALSE(f.frequencyHz);
    EXPECT_FALSE(f.bandwidthHz);
    f = parseFields("UNIT 15 MODE");  // a keyword at the very end
    EXPECT_EQ(f.modeWord, "");
    f = parseFields("AFR 7000.00 XMODE CW");  // keywords inside other words are none
    EXPECT_FALSE(f.frequencyHz);
    EXPECT_FALSE(f.modeWord);

    f = parseFields("CH 5 FR 10100.00 MODE CW BFO -1.90 BW 300 AGC FA\r\n");
    EXPECT_EQ(recordKind("CH 5"), 'C');
    EXPECT_EQ(f.channel, 5);
    EXPECT_EQ(f.bfoHz, -1900);
    f = parseFields("CH NONE\r\n");
    EXPECT_EQ(f.channel, -1);
    EXPECT_FALSE(f.frequencyHz);
}

TEST(Hf2050Codec, LevelRecords)
{
    EXPECT_EQ(parseLevel("NB 7\r\n"), 7);
    EXPECT_EQ(parseLevel("N7\r\n"), 7);
    EXPECT_EQ(parseLevel("SQ 100\r\n"), 100);
    EXPECT_EQ(parseLevel("N -1\r\n"), -1);
    EXPECT_FALSE(parseLevel("NB\r\n"));
    EXPECT_FALSE(parseLevel("7"));  // the first byte is the record's letter
    EXPECT_FALSE(parseLevel(""));
    EXPECT_EQ(recordKind(""), 0);
}

}  // namespace
}  // namespace quorvin
