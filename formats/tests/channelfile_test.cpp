// The memory-channel file: the exact line layout and every parse error.
#include "formats/channelfile.h"

#include <gtest/gtest.h>

namespace channelfile {
namespace {

TEST(ChannelFile, FormatsTheFieldsAlignedAndTerminated)
{
    ChannelLine l{5, 6000000, 0, "USB", 2400, "Fast", 0};
    EXPECT_EQ(formatLine(l), "005;    6000000;    0;  USB; 2400;Fast;0;\r\n");
    // Longer values are written whole; negative BFO keeps its sign.
    l = {123, 29999999, -2210, "ECSSU", 120000, "MFast", 1};
    EXPECT_EQ(formatLine(l), "123;   29999999;-2210;ECSSU;120000;MFast;1;\r\n");
    EXPECT_EQ(format({{0, 5000, 0, "AM", 5500, "Slow", 0}, {1, 7050000, 0, "LSB", 2200, "Man", 0}}),
              "000;       5000;    0;   AM; 5500;Slow;0;\r\n001;    7050000;    0;  LSB; 2200; Man;0;\r\n");
}

TEST(ChannelFile, RoundTripsAndTrimsFields)
{
    const std::vector<ChannelLine> lines{{5, 6000000, 0, "USB", 2400, "Fast", 0},
                                         {199, 15400000, -800, "CW", 1000, "Slow", 1}};
    const ParseResult back = parse(format(lines));
    ASSERT_FALSE(back.error) << back.error->message;
    ASSERT_EQ(back.lines.size(), 2u);
    EXPECT_EQ(back.lines[1].channel, 199);
    EXPECT_EQ(back.lines[1].frequency, 15400000);
    EXPECT_EQ(back.lines[1].bfo, -800);
    EXPECT_EQ(back.lines[1].mode, "CW");
    EXPECT_EQ(back.lines[1].filter, 1000);
    EXPECT_EQ(back.lines[1].agc, "Slow");
    EXPECT_EQ(back.lines[1].mask, 1);

    // LF alone, an empty BFO and mask, blank padding anywhere, a decimal
    // frequency, trailing empty lines, a byte-order mark.
    const ParseResult loose = parse("\xEF\xBB\xBF"
                                    "7; 7050000.4 ;;LSB;2200 ; Man;;\n\n\r\n");
    ASSERT_FALSE(loose.error) << loose.error->message;
    ASSERT_EQ(loose.lines.size(), 1u);
    EXPECT_EQ(loose.lines[0].channel, 7);
    EXPECT_EQ(loose.lines[0].frequency, 7050000);
    EXPECT_EQ(loose.lines[0].bfo, 0);
    EXPECT_EQ(loose.lines[0].mask, 0);
    EXPECT_TRUE(parse("").lines.empty());
    EXPECT_FALSE(parse("").error);
}

TEST(ChannelFile, StopsAtTheFirstFaultyLineWithItsNumber)
{
    const std::string good = "001;    7050000;    0;  LSB; 2200; Man;0;\r\n";
    struct Case {
        std::string bad;
        std::string message;
    } cases[] = {
        {"\r\n", "Line 2 is invalid"},
        {"   \r\n", "Line 2 is invalid"},
        {"002;7050000;0\r\n", "Line 2 don't contain the required number of fields !"},
        {"002;7050000;0;USB;2400;Fast;0;;\r\n", "Line 2 don't contain the required number of fields !"},
        {"002;7050000;0;USB;2400;Fast;0\r\n", "Line 2 don't contain the required number of fields !"},
        {"002;;0;USB;2400;Fast;0;\r\n", "Empty field(s) on line 2"},
        {"002;7050000;0;;2400;Fast;0;\r\n", "Empty field(s) on line 2"},
        {";7050000;0;USB;2400;Fast;0;\r\n", "Empty field(s) on line 2"},
        {"002;7050000;0;USB;2400; ;0;\r\n", "Empty field(s) on line 2"},
        {"002;7,050,000;0;USB;2400;Fast;0;\r\n", "Non numerical field(s) on line 2"},
        {"002;7050000;x;USB;2400;Fast;0;\r\n", "Non numerical field(s) on line 2"},
        {"002;7050000;0;USB;wide;Fast;0;\r\n", "Non numerical field(s) on line 2"},
        {"two;7050000;0;USB;2400;Fast;0;\r\n", "Non numerical field(s) on line 2"},
        {"2.5;7050000;0;USB;2400;Fast;0;\r\n", "Non numerical field(s) on line 2"},
        {"002;7e6;0;USB;2400;Fast;0;\r\n", "Non numerical field(s) on line 2"},
        {"002;7050000;0;USB;2400;Fast;yes;\r\n", "Non numerical field(s) on line 2"},
        {"002;9999999999;0;USB;2400;Fast;0;\r\n", "Value(s) out of range on line 2"},
        {"-02;7050000;0;USB;2400;Fast;0;\r\n", "Value(s) out of range on line 2"},
    };
    for (const auto& c : cases) {
        const ParseResult r = parse(good + c.bad + good);
        ASSERT_TRUE(r.error) << c.bad;
        EXPECT_EQ(r.error->line, 2) << c.bad;
        EXPECT_EQ(r.error->message, c.message) << c.bad;
        EXPECT_EQ(r.lines.size(), 1u) << c.bad;  // the lines before it
    }
}

TEST(ChannelFile, AnEmptyAgcFieldIsTakenOnlyWhenAsked)
{
    const std::string line = "001;  145500000;    0;   FM;12000;    ;0;\r\n";
    EXPECT_EQ(parse(line).error->message, "Empty field(s) on line 1");
    const ParseResult taken = parse(line, true);
    ASSERT_FALSE(taken.error) << taken.error->message;
    EXPECT_EQ(taken.lines.at(0).agc, "");
    EXPECT_EQ(parse("001;  145500000;    0;     ;12000;    ;0;\r\n", true).error->message, "Empty field(s) on line 1");
}

}  // namespace
}  // namespace channelfile
