// REK085 codec: frames and command texts, the settings text of a channel
// write, the connect header checks, the status record (well formed, short,
// a letter out of place, blanks), the code tables and the filter choice.
#include <gtest/gtest.h>

#include "driver/models/rek085/rek085codec.h"
#include "interfaces/receivertypes.h"

namespace quorvin {
namespace {

using namespace rek085;

TEST(Rek085Codec, FramesAndCommands)
{
    EXPECT_EQ(commandFrame(kCommand, 7, kStatusQuery), "\n*A07O1\r");
    EXPECT_EQ(commandFrame(kCommand, 150, kConnectEnd), "\n*A99J0\r");
    EXPECT_EQ(commandFrame(kChannelRead, 0, channelCommand(5)), "\n&A00K05\r");
    EXPECT_EQ(commandFrame(kCommand, -1, kStatusQuery), "\n*O1\r");
    EXPECT_EQ(frequencyCommand(14100000), "F1410000");
    EXPECT_EQ(frequencyCommand(0), "F0000000");
    EXPECT_EQ(frequencyCommand(29999999), "F2999999");
    EXPECT_EQ(bfoCommand(-1500), "B15-");
    EXPECT_EQ(bfoCommand(2900), "B29+");
    EXPECT_EQ(bfoCommand(50), "B00+");
    EXPECT_EQ(modeCommand(9), "I9");
    EXPECT_EQ(filterCommand(2), "W2");
    EXPECT_EQ(agcCommand(3), "R3");
    EXPECT_EQ(outputCommand(3), "J3");
    EXPECT_EQ(channelCommand(99), "K99");
    // 7 MHz, USB, BFO 0, W2, AGC slow.
    EXPECT_EQ(channelCommand(5) + settingsText(7000000, 2, 0, 2, 0), "K05F0700000I2B   W2R0H0Z0J0");
    EXPECT_EQ(settingsText(10000000, 5, -300, 3, 3), "F1000000I5B03-W3R3H0Z0J0");
}

TEST(Rek085Codec, ConnectHeaderAndAddress)
{
    const std::string reply = "\n*A07K  F0705000I2B   W2R0H0Z0J0\r";
    EXPECT_TRUE(hasFrameHeader(reply));
    EXPECT_EQ(responderAddress(reply), 7);
    EXPECT_FALSE(hasFrameHeader("*A07K"));
    EXPECT_FALSE(hasFrameHeader("\n#A07"));
    EXPECT_FALSE(hasFrameHeader("\n*"));
    EXPECT_FALSE(hasFrameHeader(""));
    EXPECT_FALSE(responderAddress("\n*A0"));
    EXPECT_FALSE(responderAddress("\n*Ax7"));
}

TEST(Rek085Codec, StatusRecord)
{
    auto s = parseStatus("\n*A07K  F0705000I2B   W2R0H0Z0J0\r");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->address, 7);
    EXPECT_EQ(s->channel, -1);
    EXPECT_EQ(s->frequencyHz, 7050000);
    EXPECT_EQ(s->modeCode, 2);
    EXPECT_EQ(s->bfoHz, 0);
    EXPECT_EQ(s->filterCode, 2);
    EXPECT_EQ(s->agcCode, 0);
    EXPECT_EQ(s->output, 0);
    EXPECT_EQ(s->settings, "F0705000I2B   W2R0H0Z0J0");

    s = parseStatus("*A99K 5F2999999I9B15-W7R4H1Z2J9");  // no LF, no CR; blank tens
    ASSERT_TRUE(s);
    EXPECT_EQ(s->address, 99);
    EXPECT_EQ(s->channel, 5);
    EXPECT_EQ(s->frequencyHz, 29999990);
    EXPECT_EQ(s->bfoHz, -1500);
    EXPECT_EQ(s->filterCode, 7);
    EXPECT_EQ(s->agcCode, 4);
    EXPECT_EQ(s->h, 1);
    EXPECT_EQ(s->z, 2);
    EXPECT_EQ(s->output, 9);
    s = parseStatus("*A00K42F0000000I1B00+W1R3H0Z0J0\r");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->channel, 42);
    EXPECT_EQ(s->bfoHz, 0);
    s = parseStatus("*A00K42F0000000I1B 7 W1R3H0Z0J0\r");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->bfoHz, 700);

    const std::string good = "*A07K  F0705000I2B   W2R0H0Z0J0";
    EXPECT_FALSE(parseStatus(good.substr(0, 30)));  // one short
    EXPECT_FALSE(parseStatus(""));
    EXPECT_FALSE(parseStatus("\n"));
    // Every letter out of place, every field unreadable.
    for (std::size_t at :
         {0u, 1u, 4u, 7u, 15u, 17u, 21u, 23u, 25u, 27u, 29u, 2u, 3u, 8u, 14u, 16u, 22u, 24u, 26u, 28u, 30u, 6u, 19u}) {
        std::string bad = good;
        bad[at] = 'x';
        EXPECT_FALSE(parseStatus(bad)) << at;
    }
    std::string slash = good;
    slash[22] = '/';
    EXPECT_FALSE(parseStatus(slash));
}

TEST(Rek085Codec, CodeTables)
{
    EXPECT_EQ(modeFromCode(1, ModCW), ModAM);
    EXPECT_EQ(modeFromCode(4, ModCW), ModFAX);
    EXPECT_EQ(modeFromCode(7, ModCW), ModRTTY);
    EXPECT_EQ(modeFromCode(8, ModCW), ModRTTY);
    EXPECT_EQ(modeFromCode(-1, ModCW), ModNone);
    EXPECT_EQ(modeFromCode(0, ModCW), ModCW);
    EXPECT_EQ(codeFromMode(ModFM, 2), 1);
    EXPECT_EQ(codeFromMode(ModCW_F, 2), 5);
    EXPECT_EQ(codeFromMode(ModRTTY, 2), 9);
    EXPECT_EQ(codeFromMode(ModMPH, 2), 2);
    EXPECT_EQ(codeFromMode(ModNone, 2), -1);
    EXPECT_EQ(agcFromCode(0, AgcFast), AgcSlow);
    EXPECT_EQ(agcFromCode(2, AgcFast), AgcManual);
    EXPECT_EQ(agcFromCode(3, AgcSlow), AgcFast);
    EXPECT_EQ(agcFromCode(5, AgcSlow), AgcSlow);
    EXPECT_EQ(codeFromAgc(AgcMedium, 3), 0);
    EXPECT_EQ(codeFromAgc(AgcSlowManual, 3), 1);
    EXPECT_EQ(codeFromAgc(AgcData, 3), 3);
    EXPECT_EQ(slotFromFilterCode(1), 0);
    EXPECT_EQ(slotFromFilterCode(7), 6);
    EXPECT_EQ(slotFromFilterCode(0), -1);
    EXPECT_EQ(slotFromFilterCode(8), -1);
}

TEST(Rek085Codec, FilterChoice)
{
    const std::array<std::int32_t, 7> v1 = {300, 2400, 8000, 0, 0, 0, 0};
    EXPECT_EQ(chooseFilterSlot(v1, 7, 2400), 1);
    EXPECT_EQ(chooseFilterSlot(v1, 7, 2401), 2);
    EXPECT_EQ(chooseFilterSlot(v1, 7, 50), 0);
    EXPECT_EQ(chooseFilterSlot(v1, 7, 12000), 2);  // the widest
    EXPECT_EQ(chooseFilterSlot(v1, 2, 12000), 1);  // only the offered slots
    EXPECT_EQ(chooseFilterSlot({}, 7, 3000), -1);
}

}  // namespace
}  // namespace quorvin
