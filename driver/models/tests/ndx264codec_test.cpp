// NDX264 codec: command frames (without the locale), frames taken from the
// receive buffer, status fields in any order and malformed, S-meter, code
// tables.
#include <gtest/gtest.h>

#include <clocale>

#include "driver/models/ndx264/ndx264codec.h"

namespace quorvin {
namespace {

using namespace ndx264;

TEST(Ndx264Codec, CommandsAsTheReceiverTakesThem)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old != nullptr ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(frame(frequencyCommand(7050000)), "\x11"
                                                "F 7050.00\r\n\x04");
    EXPECT_EQ(frequencyCommand(5000), "F   5.00");
    EXPECT_EQ(frequencyCommand(0), "F   0.00");
    EXPECT_EQ(frequencyCommand(29999999), "F 29999.99");  // cut to 10 Hz, never 30000.00
    EXPECT_EQ(frequencyCommand(-10), "F   0.00");
    EXPECT_EQ(bfoCommand(-1900), "BF-1.90");
    EXPECT_EQ(bfoCommand(0), "BF0.00");
    EXPECT_EQ(bfoCommand(5000), "BF3.00");
    EXPECT_EQ(bfoCommand(-3001), "BF-3.00");
    EXPECT_EQ(bfoCommand(1905), "BF1.91");
    EXPECT_EQ(bfoCommand(-4), "BF0.00");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(modeCommand('C'), "MC");
    EXPECT_EQ(agcCommand('R'), "CR;G;");
    EXPECT_EQ(attenuatorCommand(-12), "A-12");
    EXPECT_EQ(filterCommand(3), "B3");
    EXPECT_EQ(storeCommand(5), "MEM05");
    EXPECT_EQ(recallCommand(99), "RM99;?");
    EXPECT_FALSE(storeCommand(100));
    EXPECT_FALSE(recallCommand(-1));
    EXPECT_EQ(clockCommand(7, 5, 9), "H 07 05 09");
    EXPECT_FALSE(clockCommand(24, 0, 0));
    EXPECT_EQ(clockCommand("123456"), "H 12 34 56");
    EXPECT_FALSE(clockCommand("12345"));
    EXPECT_FALSE(clockCommand("12:456"));
}

TEST(Ndx264Codec, FramesFromTheReceiveBuffer)
{
    std::string buffer = "abc\x11"
                         "F 7050.00\r\n";
    EXPECT_FALSE(takeFrame(buffer));
    EXPECT_EQ(buffer, "\x11"
                      "F 7050.00\r\n");  // stray letters dropped, partial frame kept
    buffer += "\x04"
              "\x11"
              "MI";
    EXPECT_EQ(takeFrame(buffer), "\x11"
                                 "F 7050.00\r\n\x04");
    EXPECT_EQ(buffer, "\x11"
                      "MI");
    EXPECT_FALSE(takeFrame(buffer));
    std::string noise = "xyz";
    EXPECT_FALSE(takeFrame(noise));
    EXPECT_EQ(noise, "xyz");
}

TEST(Ndx264Codec, StatusFieldsInAnyOrder)
{
    const std::string status = "\x11"
                               "F 7050.00\r\n"
                               "\x11"
                               "MC\r\n"
                               "\x11"
                               "B3\r\n"
                               "\x11"
                               "BF-1.90\r\n"
                               "\x11"
                               "CL;"
                               "\x11"
                               "A-12\r\n"
                               "\x11"
                               "N73\r\n"
                               "\x11"
                               "CAN--\r\n\x04";
    const StatusFields f = parseStatusFrame(status);
    EXPECT_EQ(f.frequencyHz, 7050000);
    EXPECT_EQ(f.mode, 'C');
    EXPECT_EQ(f.filterDigit, 3);
    EXPECT_EQ(f.bfoHz, -1900);
    EXPECT_EQ(f.agc, 'L');
    EXPECT_EQ(f.attenuationDb, -12);
    EXPECT_EQ(f.signalN, 73);
    EXPECT_EQ(f.channel, -1);
    // BF before B and CAN before C still read right.
    const StatusFields g = parseStatusFrame("\x11"
                                            "CAN07\r\n"
                                            "\x11"
                                            "BF1.50\r\n"
                                            "\x11"
                                            "B7\r\n"
                                            "\x11"
                                            "CR;"
                                            "\x11"
                                            "F29999.99\r\n\x04");
    EXPECT_EQ(g.channel, 7);
    EXPECT_EQ(g.bfoHz, 1500);
    EXPECT_EQ(g.filterDigit, 7);
    EXPECT_EQ(g.agc, 'R');
    EXPECT_EQ(g.frequencyHz, 29999990);
    EXPECT_FALSE(g.mode);
}

TEST(Ndx264Codec, MalformedFieldsLeaveTheirValues)
{
    const StatusFields f = parseStatusFrame("\x11"
                                            "FErOPInt\r\n"
                                            "\x11"
                                            "MZ\r\n"
                                            "\x11"
                                            "B8\r\n"
                                            "\x11"
                                            "BF-3.01\r\n"
                                            "\x11"
                                            "CX;"
                                            "\x11"
                                            "Ax\r\n"
                                            "\x11"
                                            "N\r\n"
                                            "\x11"
                                            "CANxx\r\n\x04");
    EXPECT_FALSE(f.frequencyHz);
    EXPECT_FALSE(f.mode);
    EXPECT_FALSE(f.filterDigit);
    EXPECT_FALSE(f.bfoHz);
    EXPECT_FALSE(f.agc);
    EXPECT_FALSE(f.attenuationDb);
    EXPECT_FALSE(f.signalN);
    EXPECT_EQ(f.channel, -1);
    // Cut anywhere, or with the end missing: no read past the end.
    const std::string whole = "\x11"
                              "F 7050.00\r\n"
                              "\x11"
                              "BF-1.90\r\n"
                              "\x11"
                              "CAN12\r\n\x04";
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        (void)parseStatusFrame(whole.substr(0, cut));
    }
    EXPECT_EQ(parseStatusFrame("\x11"
                               "F 14.1")
                  .frequencyHz,
              14100);
    EXPECT_FALSE(parseStatusFrame("").frequencyHz);
    EXPECT_TRUE(hasIsbOption("\x11T.264/ISB\r\n\x04"));
    EXPECT_FALSE(hasIsbOption("\x11T.264\r\n\x04"));
}

// Levels the receiver should never send still give a level, not undefined
// arithmetic: 10^(-N/10) underflows to 0 long before the field's limit.
TEST(Ndx264Codec, SmeterOfExtremeLevelsStaysInRange)
{
    EXPECT_EQ(rawSmeter(0), 106);
    EXPECT_EQ(rawSmeter(5000), -4893);
    EXPECT_EQ(rawSmeter(99999), -32768);
    EXPECT_EQ(rawSmeter(-99999), 32767);
    EXPECT_EQ(rawSmeter(-100), 206);
}

TEST(Ndx264Codec, SmeterAndCodeTables)
{
    EXPECT_EQ(rawSmeter(73), 33);
    EXPECT_GT(rawSmeter(20), rawSmeter(80));
    EXPECT_EQ(modeFromLetter('C', -1900, false), ModFAX);
    EXPECT_EQ(modeFromLetter('C', -1000, false), ModCW);
    EXPECT_EQ(modeFromLetter('C', -1900, true), ModCW);
    EXPECT_EQ(modeFromLetter('F', 0, false), ModRTTY);
    EXPECT_EQ(modeFromLetter('I', 0, false), ModISB);
    EXPECT_FALSE(modeFromLetter('B', 0, false));
    EXPECT_EQ(letterFromMode(ModAM_L, 'U'), 'A');
    EXPECT_EQ(letterFromMode(ModFAX, 'U'), 'C');
    EXPECT_EQ(letterFromMode(ModFM, 'L'), 'L');
    EXPECT_TRUE(isModeEmulated(ModFAX));
    EXPECT_TRUE(isModeEmulated(ModFM));
    EXPECT_FALSE(isModeEmulated(ModRTTY));
    EXPECT_FALSE(isModeEmulated(ModNone));
    EXPECT_EQ(agcFromChar('-'), AgcManual);
    EXPECT_EQ(agcFromChar('O'), AgcNone);
    EXPECT_FALSE(agcFromChar('X'));
    EXPECT_EQ(charFromAgc(AgcSlow, 'R'), 'L');
    EXPECT_EQ(charFromAgc(AgcMedium, 'R'), 'R');
    EXPECT_EQ(attFromDb(12), AttPre);
    EXPECT_FALSE(attFromDb(6));
    EXPECT_EQ(dbFromAtt(AttOn2), -12);
    EXPECT_FALSE(dbFromAtt(AttOn3));
    EXPECT_EQ(slotFromDigit(7), 0);
    EXPECT_EQ(slotFromDigit(0), 1);
    EXPECT_FALSE(slotFromDigit(8));
    EXPECT_EQ(digitFromSlot(4), 3);
    EXPECT_FALSE(digitFromSlot(0));
}

}  // namespace
}  // namespace quorvin
