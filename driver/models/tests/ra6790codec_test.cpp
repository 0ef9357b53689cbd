// RA6790 codec: frames, the connect replies (self-test, type, filter list),
// the status reply (well formed, short, malformed) and the S-meter scale.
#include <gtest/gtest.h>

#include "driver/models/ra6790/ra6790codec.h"

namespace quorvin {
namespace {

using namespace ra6790;

TEST(Ra6790Codec, FramesCarryTheAddressWithoutLeadingZeros)
{
    EXPECT_EQ(commandFrame(77, kRemote), "$77S2\r");
    EXPECT_EQ(commandFrame(7, kStatusQuery), "$7G\r");
    EXPECT_EQ(commandFrame(-1, kSelfTest), "$1S6\r");  // no address set
    EXPECT_EQ(commandFrame(0, "TD"), "$0TD\r");
    EXPECT_EQ(filterCommand(400), "I0.40");
    EXPECT_EQ(filterCommand(16000), "I16.00");
    EXPECT_EQ(frequencyCommand(500000), "F0.500000");
    EXPECT_EQ(bfoCommand(-7999), "B-8.00");
}

TEST(Ra6790Codec, SelfTestAndTypeReplies)
{
    EXPECT_TRUE(selfTestPassed("BITE OK 77\r"));
    EXPECT_FALSE(selfTestPassed("BITE ERR 17 77\r"));
    EXPECT_FALSE(selfTestPassed(""));
    EXPECT_EQ(selfTestAddress("BITE OK 77\r"), 77);
    EXPECT_EQ(selfTestAddress("OK 7\r"), 7);
    EXPECT_EQ(selfTestAddress("OK07\r"), 7);
    EXPECT_FALSE(selfTestAddress("OK\r"));  // "OK" is no address
    EXPECT_FALSE(selfTestAddress("7\r"));  // too short to hold one
    EXPECT_FALSE(selfTestAddress(""));
    EXPECT_EQ(optionFromTypeReply("TD A09666 R\r"), "A09666");
    EXPECT_EQ(optionFromTypeReply("TD A08449 S\r"), "A08449");
    EXPECT_EQ(optionFromTypeReply(""), "A08449");
    EXPECT_EQ(optionFromTypeReply("R\r"), "A09666");
    // An R inside other text is no option.
    EXPECT_EQ(optionFromTypeReply("ERROR\r"), "A08449");
    EXPECT_EQ(optionFromTypeReply("TD RX A08449\r"), "A08449");
    EXPECT_EQ(minFrequency("A09666"), 5000);
    EXPECT_EQ(minFrequency("A08449"), 500000);
}

TEST(Ra6790Codec, FilterListFillsTheSlotsInOrder)
{
    EXPECT_FALSE(parseFilterList(""));
    EXPECT_FALSE(parseFilterList("\r"));
    auto list = parseFilterList("L,U,0.4,1.4,8.2,16\r");
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->isb);
    EXPECT_EQ(list->usbSlot, 1);
    EXPECT_EQ(list->widths, (std::array<std::int32_t, 7>{3200, 3200, 400, 1400, 8200, 16000, 0}));
    list = parseFilterList("U,0.3,x,6,1,2,3,4,5\r");
    ASSERT_TRUE(list);
    EXPECT_FALSE(list->isb);
    EXPECT_EQ(list->usbSlot, 0);
    EXPECT_EQ(list->widths, (std::array<std::int32_t, 7>{3200, 300, 0, 6000, 1000, 2000, 3000}));  // stops at 7
    list = parseFilterList("2.7,L,\r");
    ASSERT_TRUE(list);
    EXPECT_FALSE(list->isb);  // L counts only first
    EXPECT_EQ(list->widths, (std::array<std::int32_t, 7>{2700, 3200, 0, 0, 0, 0, 0}));
    FilterList out;
    out.isb = true;
    out.usbSlot = 1;
    out.widths = {3200, 3200, 400, 1400, 0, 16000, 20000};
    EXPECT_EQ(filterListCommand(out), "S7L,U,0.4,1.4,0.0,16.0,20.0,");
}

TEST(Ra6790Codec, StatusReply)
{
    auto s = parseStatus("B-2.21F10.000000D3I0.40M5A37R100S2\r");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->bfoHz, -2210);
    EXPECT_EQ(s->frequencyHz, 10000000);
    EXPECT_EQ(s->modeCode, 3);
    EXPECT_EQ(s->filterHz, 400);
    EXPECT_EQ(s->agcCode, 5);
    EXPECT_EQ(s->gain, 37);
    EXPECT_EQ(s->signal, 100);
    EXPECT_EQ(s->s, 2);
    EXPECT_EQ(modeFromCode(s->modeCode, s->bfoHz, false), ModRTTY);
    s = parseStatus("F30.000000D6I16M1S1\r");  // integer bandwidth, no B, A, R
    ASSERT_TRUE(s);
    EXPECT_FALSE(s->hasBfo);
    EXPECT_EQ(s->filterHz, 16000);
    EXPECT_FALSE(s->gain);
    EXPECT_FALSE(s->signal);
    EXPECT_EQ(s->s, 1);
    EXPECT_FALSE(parseStatus("F10.0D3M1R100\r"));  // no S
    EXPECT_FALSE(parseStatus("D3M1S1\r"));  // no F
    EXPECT_FALSE(parseStatus("F10.0D3I3.2S1\r"));  // no M
    EXPECT_FALSE(parseStatus("F1.0D3M1S"));  // a letter at the very end
    EXPECT_FALSE(parseStatus(""));
    EXPECT_FALSE(parseStatus(std::string("\x7F\x7F", 2)));
}

TEST(Ra6790Codec, SmeterScale)
{
    EXPECT_EQ(smeterDbuv(30), -1);
    EXPECT_EQ(smeterDbuv(34), -1);
    EXPECT_EQ(smeterDbuv(35), 0);
    EXPECT_EQ(smeterDbuv(36), 1);
    EXPECT_EQ(smeterDbuv(38), 2);
    EXPECT_EQ(smeterDbuv(39), 3);
    EXPECT_EQ(smeterDbuv(52), 3);
    EXPECT_EQ(smeterDbuv(58), 4);
    EXPECT_EQ(smeterDbuv(60), 5);
    EXPECT_EQ(smeterDbuv(62), 6);
    EXPECT_EQ(smeterDbuv(65), 7);
    EXPECT_EQ(smeterDbuv(66), 8);
    EXPECT_EQ(smeterDbuv(100), 42);
    EXPECT_EQ(smeterDbuv(171), 113);
    EXPECT_EQ(smeterDbuv(172), 114);
    EXPECT_EQ(smeterDbuv(200), 114);
}

}  // namespace
}  // namespace quorvin
