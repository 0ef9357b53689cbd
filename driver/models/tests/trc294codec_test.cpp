// TRC294 codec: frames with length and checksum, BCD frequencies cut to the
// step, the plain record and the A status frame (good, short, bad length,
// bad checksum), code tables.
#include <gtest/gtest.h>

#include <initializer_list>

#include "driver/models/trc294/trc294codec.h"

namespace quorvin {
namespace {

using namespace trc294;

std::string bytes(std::initializer_list<int> list)
{
    std::string out;
    for (int b : list) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

TEST(Trc294Codec, FramesAndTheFixedMessages)
{
    EXPECT_EQ(aStatusRequest(), bytes({0xFF, 0x03, 0x08, 0xF4}));
    EXPECT_EQ(remoteMessage(true), bytes({0xFF, 0x04, 0x05, 0x01, 0xFF}));
    EXPECT_EQ(remoteMessage(false), bytes({0xFF, 0x04, 0x05, 0x00, 0xFE}));
    EXPECT_EQ(bare(kReturnToLocal), bytes({0xEE}));
    EXPECT_EQ(bare(kPlainStatusRequest), bytes({0xAA}));
    for (const char* text : {"\nTRC294A REMOTE  ", "\nTRC294A LOCAL   ", "\nTRC294A LOCKED  ", "\nTRC294A UNLOCKED"}) {
        const std::string f = panelText(text);
        ASSERT_EQ(f.size(), 20u) << text;
        EXPECT_EQ(static_cast<unsigned char>(f[1]), 19);
        EXPECT_EQ(f.substr(2, 17), text);
        EXPECT_EQ(static_cast<std::uint8_t>(f.back()), checksum(19, text));
    }
    // The longest payload goes, one more does not; nor does an empty one.
    EXPECT_EQ(frame(std::string(21, 'x')).size(), 24u);
    EXPECT_TRUE(frame(std::string(22, 'x')).empty());
    EXPECT_TRUE(frame("").empty());
}

TEST(Trc294Codec, FrequencyIsCutToTheStepAndWrittenInBcd)
{
    EXPECT_EQ(frequencyBytes(145000000, kModeFM), bytes({0x01, 0x45, 0x00, 0x00, 0x02}));
    EXPECT_EQ(frequencyBytes(20000000, kModeAM), bytes({0x00, 0x20, 0x00, 0x00, 0x01}));
    EXPECT_EQ(frequencyBytes(119999999, kModeAM), bytes({0x01, 0x19, 0x99, 0x90, 0x01}));
    EXPECT_EQ(frequencyBytes(499999999, kModeMPH), bytes({0x04, 0x99, 0x99, 0x90, 0x03}));
    // 10 Hz in USB and LSB, 1000 Hz otherwise.
    EXPECT_EQ(frequencyBytes(145012345, kModeUSB), bytes({0x01, 0x45, 0x01, 0x23, 0x44}));
    EXPECT_EQ(frequencyBytes(145012345, kModeLSB), bytes({0x01, 0x45, 0x01, 0x23, 0x45}));
    EXPECT_EQ(frequencyBytes(145012345, kModeCW), bytes({0x01, 0x45, 0x01, 0x20, 0x00}));
    EXPECT_EQ(frequencyBytes(-5, kModeAM), bytes({0x00, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_EQ(tuneMessage(145000000, kModeFM), frame(bytes({0x01, 0x01, 0x45, 0x00, 0x00, 0x02})));
    EXPECT_EQ(filterAttMessage(3, 5), frame(bytes({0x02, 0x35})));
    EXPECT_EQ(channelWriteMessage(101, 118100000, kModeAM, 2, 1, 0x81),
              frame(bytes({0x03, 101, 0x01, 0x18, 0x10, 0x00, 0x01, 0x21, 0x81})));
    EXPECT_TRUE(channelWriteMessage(0, 118100000, kModeAM, 2, 1, 0).empty());
    EXPECT_EQ(channelRecallMessage(1), frame(bytes({0x04, 1})));
    EXPECT_TRUE(channelRecallMessage(102).empty());
    EXPECT_EQ(channelClearMessage(7), frame(bytes({0x07, 7})));
}

TEST(Trc294Codec, PlainStatusRecord)
{
    const auto s = parsePlainStatus(bytes({0xF1, 0x45, 0x00, 0x00, 0x02, 0x10, 0x00}));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->frequencyHz, 145000000);
    EXPECT_EQ(modeFromCode(s->modeCode), ModFM);
    EXPECT_EQ(s->filterCode, 1);
    EXPECT_EQ(s->attCode, 0);
    EXPECT_EQ(s->channel, 0);
    const auto limit = parsePlainStatus(bytes({0xF4, 0x99, 0x99, 0x99, 0x94, 0x35, 101, 0x80}));
    ASSERT_TRUE(limit);
    EXPECT_EQ(limit->frequencyHz, 499999990);
    EXPECT_EQ(limit->modeCode, 4);
    EXPECT_EQ(limit->channel, 101);
    // Short, a header without 0xF, a digit that is no BCD digit.
    EXPECT_FALSE(parsePlainStatus(bytes({0xF1, 0x45, 0x00, 0x00, 0x02, 0x10})));
    EXPECT_FALSE(parsePlainStatus(bytes({0x71, 0x45, 0x00, 0x00, 0x02, 0x10, 0x00})));
    EXPECT_FALSE(parsePlainStatus(bytes({0xF1, 0x4A, 0x00, 0x00, 0x02, 0x10, 0x00})));
    EXPECT_FALSE(parsePlainStatus(bytes({0xF1, 0x45, 0x00, 0x00, 0xA2, 0x10, 0x00})));
    EXPECT_FALSE(parsePlainStatus(""));
    // Connect checks.
    EXPECT_TRUE(hasStatusHeader(bytes({0xF0})));
    EXPECT_FALSE(hasStatusHeader(bytes({0x7F, 0x7F})));
    EXPECT_FALSE(hasStatusHeader(""));
    EXPECT_TRUE(isAModelReply(bytes({0x09, 0x06})));
    EXPECT_FALSE(isAModelReply(bytes({0x09})));
    EXPECT_FALSE(isAModelReply(bytes({0x06, 0x09, 0x00})));
}

TEST(Trc294Codec, AStatusFrameIsCheckedBeforeItIsRead)
{
    std::string good = bytes({0x09, 0x06, 0xF1, 0x18, 0x50, 0x00, 0x01, 0x23});
    good.push_back(static_cast<char>(checksum(9, good.substr(1))));
    EXPECT_EQ(checkReplyFrame(good), FrameCheck::Ok);
    const auto s = parseAStatus(good);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->frequencyHz, 118500000);
    EXPECT_EQ(s->modeCode, kModeAM);
    EXPECT_EQ(s->filterCode, 2);
    EXPECT_EQ(s->attCode, 3);
    EXPECT_FALSE(s->channel);
    EXPECT_TRUE(parseAStatus(good + "xyz"));  // what follows the frame is not its business

    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        EXPECT_EQ(checkReplyFrame(good.substr(0, cut)), FrameCheck::Short) << cut;
        EXPECT_FALSE(parseAStatus(good.substr(0, cut))) << cut;
    }
    std::string badSum = good;
    badSum.back() = static_cast<char>(badSum.back() + 1);
    EXPECT_EQ(checkReplyFrame(badSum), FrameCheck::BadChecksum);
    EXPECT_FALSE(parseAStatus(badSum));
    std::string longer = good;
    longer[0] = 0x0A;  // one byte more announced than sent
    EXPECT_EQ(checkReplyFrame(longer), FrameCheck::Short);
    std::string absurd = good;
    absurd[0] = static_cast<char>(0xF6);
    EXPECT_EQ(checkReplyFrame(absurd), FrameCheck::BadLength);
    absurd[0] = 0x02;
    EXPECT_EQ(checkReplyFrame(absurd), FrameCheck::BadLength);
    EXPECT_FALSE(parseAStatus(absurd));
}

TEST(Trc294Codec, CodeTables)
{
    EXPECT_EQ(modeFromCode(0), ModCW);
    EXPECT_EQ(modeFromCode(3), ModMPH);
    EXPECT_EQ(modeFromCode(5), ModLSB);
    EXPECT_EQ(modeFromCode(-1), ModNone);
    EXPECT_FALSE(modeFromCode(6));
    for (int code = 0; code <= 5; ++code) {
        EXPECT_EQ(codeFromMode(*modeFromCode(code)), code);
    }
    EXPECT_EQ(codeFromMode(ModRTTY), -1);
    EXPECT_EQ(codeFromMode(ModNone), -1);
    // In USB and LSB the SSB filter whatever the code; codes 0..3 otherwise;
    // anything else (4 included, which has no slot) the first offered slot.
    EXPECT_EQ(slotFromFilterCode(3, kModeUSB), 0);
    EXPECT_EQ(slotFromFilterCode(0, kModeLSB), 0);
    EXPECT_EQ(slotFromFilterCode(0, kModeFM), 1);
    EXPECT_EQ(slotFromFilterCode(3, kModeAM), 4);
    EXPECT_EQ(slotFromFilterCode(4, kModeAM), 1);
    EXPECT_EQ(slotFromFilterCode(15, kModeAM), 1);
    EXPECT_EQ(filterCodeFromSlot(2), 1);
    EXPECT_EQ(filterCodeFromSlot(0), -1);
    EXPECT_EQ(filterCodeFromSlot(5), -1);
    EXPECT_EQ(attFromCode(0), AttOff);
    EXPECT_EQ(attFromCode(5), AttOn5);
    EXPECT_FALSE(attFromCode(6));
}

}  // namespace
}  // namespace quorvin
