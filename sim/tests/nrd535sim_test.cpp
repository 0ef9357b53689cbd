// NRD535 codec: each command the driver sends, the record that comes back
// and the state it leaves; commands the receiver refuses.
#include <gtest/gtest.h>

#include "nrd535sim.h"

using sim::Frames;
using sim::Nrd535Sim;

namespace {

Frames send(Nrd535Sim& rx, const std::string& text)
{
    return rx.feed(text);
}

void goRemote(Nrd535Sim& rx)
{
    rx.feed("H1\r");
}

}  // namespace

TEST(Nrd535Sim, IdentificationShowsTheHOptionFourPlacesAfter535)
{
    Nrd535Sim plain;
    ASSERT_EQ(send(plain, "?\r"), Frames{"NRD-535\r"});
    Nrd535Sim withH(Nrd535Sim::Options{true, 1});
    const std::string id = send(withH, "?\r").at(0);
    const auto at = id.find("535");
    ASSERT_NE(at, std::string::npos);
    ASSERT_GT(id.size(), at + 4);
    EXPECT_EQ(id[at + 4], 'H');
}

TEST(Nrd535Sim, ConnectDialogueAndStatusRecordLayout)
{
    Nrd535Sim rx;
    auto& s = rx.state();
    s.attenuator = 0;
    s.filter = 2;
    s.mode = 4;
    s.frequency = 14250000;
    s.agc = 1;
    EXPECT_EQ(send(rx, "H\r"), Frames{"H0\r"});
    EXPECT_TRUE(send(rx, "I0\r").empty());
    EXPECT_TRUE(send(rx, "U61\r").empty());
    EXPECT_EQ(s.u6, 1);
    const Frames status = send(rx, "I\r");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0], "I02414250000"
                         "1\r");
    EXPECT_EQ(status[0].size(), 14u);
    EXPECT_EQ(status[0][13], '\r');

    // Remote on is reported back by "H".
    send(rx, "H1\r");
    EXPECT_EQ(send(rx, "H\r"), Frames{"H1\r"});
}

TEST(Nrd535Sim, PollQueriesAnswerInOneBatchInOrder)
{
    Nrd535Sim rx(Nrd535Sim::Options{true, 7});
    rx.state().squelch = 1;
    rx.state().noiseBlanker = 2;
    rx.state().hfFilter = true;
    const Frames replies = send(rx, "I\rQ\rN\rM\rW\rU1\r");
    ASSERT_EQ(replies.size(), 6u);
    EXPECT_EQ(replies[0][0], 'I');
    EXPECT_EQ(replies[1], "Q1\r");
    EXPECT_EQ(replies[2], "N2\r");
    ASSERT_EQ(replies[3].size(), 5u);
    EXPECT_EQ(replies[3][0], 'M');
    EXPECT_EQ(replies[3][4], '\r');
    EXPECT_EQ(replies[4], "W0000\r");
    EXPECT_EQ(replies[5], "U11\r");
}

TEST(Nrd535Sim, SmeterMovesAndStaysInRange)
{
    Nrd535Sim rx;
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string m = send(rx, "M\r").at(0);
        const int raw = std::stoi(m.substr(1, 3));
        EXPECT_GE(raw, 0);
        EXPECT_LE(raw, 255);
        seen.insert(m);
    }
    EXPECT_GT(seen.size(), 3u);
}

TEST(Nrd535Sim, SettersInRemoteChangeTheState)
{
    Nrd535Sim rx(Nrd535Sim::Options{true, 1});
    goRemote(rx);
    auto& s = rx.state();
    EXPECT_TRUE(send(rx, "F07050000\rD3\rG2\rN1\rA1\rB3\rU11\rU2-5000\rW2400\rR11230\r").empty());
    EXPECT_EQ(s.frequency, 7050000);
    EXPECT_EQ(s.mode, 3);
    EXPECT_EQ(s.agc, 2);
    EXPECT_EQ(s.noiseBlanker, 1);
    EXPECT_EQ(s.attenuator, 1);
    EXPECT_EQ(s.filter, 3);
    EXPECT_TRUE(s.hfFilter);
    EXPECT_EQ(s.bfo, -5000);
    EXPECT_EQ(s.variableBandwidth, 2400);
    EXPECT_EQ(s.clockHours, 12);
    EXPECT_EQ(s.clockMinutes, 30);
    EXPECT_EQ(send(rx, "U2\r"), Frames{"U2-5000\r"});
    send(rx, "U2+0120\r");
    EXPECT_EQ(send(rx, "U2\r"), Frames{"U2120\r"});
    EXPECT_EQ(send(rx, "I\r"), Frames{"I133"
                                      "07050000"
                                      "2\r"});
}

TEST(Nrd535Sim, RemoteWrappingIsNeededForEveryChange)
{
    Nrd535Sim rx;
    const Nrd535Sim untouched;
    // In local the front panel keeps control: nothing changes, nothing answers.
    EXPECT_TRUE(send(rx, "F07050000\rD3\rG2\rN1\rA1\rB3\rU11\rU2-1000\rJ1005\rU5000\r").empty());
    EXPECT_EQ(rx.state().frequency, untouched.state().frequency);
    EXPECT_EQ(rx.state().mode, untouched.state().mode);
    EXPECT_EQ(rx.state().bfo, 0);
    EXPECT_FALSE(rx.state().channels[5].has_value());
    // The driver's H1 … H0 wrapping.
    send(rx, "H1\rF07050000\rH0\r");
    EXPECT_EQ(rx.state().frequency, 7050000);
    EXPECT_FALSE(rx.state().remote);
}

TEST(Nrd535Sim, MalformedOrOutOfRangeCommandsAreIgnored)
{
    Nrd535Sim rx;
    goRemote(rx);
    const auto before = rx.state();
    const Frames replies = send(rx,
                                "F00004999\r"  // below 5 kHz
                                "F30000000\r"  // above the top
                                "F1405000\r"  // seven digits
                                "F1405000x\r"  // not a number
                                "D9\rD\rD12\rG3\rN3\rA2\rB4\r"
                                "U2+5001\r"  // beyond the BFO range
                                "U2100\r"  // sign missing
                                "U13\rZ\r\r"
                                "W1000\r"  // no H option
                                "L199000\rL000200\rL00\r"
                                "R12460\rC200\r");
    EXPECT_TRUE(replies.empty());
    const auto& after = rx.state();
    EXPECT_EQ(after.frequency, before.frequency);
    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(after.agc, before.agc);
    EXPECT_EQ(after.noiseBlanker, before.noiseBlanker);
    EXPECT_EQ(after.attenuator, before.attenuator);
    EXPECT_EQ(after.filter, before.filter);
    EXPECT_EQ(after.bfo, before.bfo);
    EXPECT_EQ(after.hfFilter, before.hfFilter);
    EXPECT_EQ(after.clockHours, before.clockHours);
    // Edges that are valid.
    send(rx, "F00005000\r");
    EXPECT_EQ(rx.state().frequency, 5000);
    send(rx, "F29999999\r");
    EXPECT_EQ(rx.state().frequency, 29999999);
}

TEST(Nrd535Sim, InputIsSplitAnywhereAndNoiseIsDropped)
{
    Nrd535Sim rx;
    EXPECT_TRUE(rx.feed("I").empty());
    EXPECT_EQ(rx.feed("\rQ").size(), 1u);
    EXPECT_EQ(rx.feed("\r\n").size(), 1u);  // LF after CR is skipped
    // A long run without CR is noise; the command after it still works.
    EXPECT_TRUE(rx.feed(std::string(200, '\x80')).empty());
    EXPECT_EQ(rx.feed("\rI\r").size(), 1u);
    // Binary bytes inside a command make it unknown, not a crash.
    EXPECT_TRUE(rx.feed(std::string("I\0\xff\r", 4)).empty());
}

TEST(Nrd535Sim, ChannelsWriteReadSaveLoadClear)
{
    Nrd535Sim rx;
    goRemote(rx);
    auto& s = rx.state();
    // Write channel 7: attenuator on, narrow, USB, 14.2 MHz, manual AGC.
    send(rx, "K0071221420000002\r");
    EXPECT_FALSE(s.channels[7].has_value());  // nine frequency digits: refused
    send(rx, "K007122142000002\r");
    ASSERT_TRUE(s.channels[7].has_value());
    EXPECT_EQ(*s.channels[7], (sim::Nrd535Channel{1, 2, 2, 14200000, 2}));
    EXPECT_EQ(send(rx, "L007007\r"), Frames{"L007122142000002\r"});

    // Save the current state to 0, load 7, then 0 again.
    send(rx, "J1000\r");
    ASSERT_TRUE(s.channels[0].has_value());
    EXPECT_EQ(s.channels[0]->frequency, 9650000);
    send(rx, "C007\r");
    EXPECT_EQ(s.frequency, 14200000);
    EXPECT_EQ(s.mode, 2);
    EXPECT_EQ(s.channel, 7);
    send(rx, "F07000000\r");
    EXPECT_EQ(s.channel, -1);
    // An empty channel cannot be loaded.
    send(rx, "C050\r");
    EXPECT_EQ(s.frequency, 7000000);

    // Dump all 200: one record each, in order, empty ones with frequency 0.
    const Frames dump = send(rx, "L000199\r");
    ASSERT_EQ(dump.size(), 200u);
    EXPECT_EQ(dump[0].substr(0, 4), "L000");
    EXPECT_EQ(dump[199], "L199000000000000\r");
    EXPECT_EQ(dump[7], "L007122142000002\r");

    // Clearing works by U5 and by writing frequency 0.
    send(rx, "U5007\r");
    EXPECT_FALSE(s.channels[7].has_value());
    send(rx, "K000000000000000\r");
    EXPECT_FALSE(s.channels[0].has_value());
    // A write with a bad field changes nothing.
    send(rx, "K010922142000002\r");
    send(rx, "K010122000040002\r");  // 4 kHz: below the range
    EXPECT_FALSE(s.channels[10].has_value());
}

TEST(Nrd535Sim, ModeAndFrequencyAreIndependentWhateverTheOrder)
{
    // The receiver has no carrier offset of its own: a mode key never moves
    // the frequency, and a frequency never changes the mode.
    Nrd535Sim rx;
    goRemote(rx);
    auto& s = rx.state();
    send(rx, "F14100000\rD0\r");
    EXPECT_EQ(send(rx, "I\r"), Frames{"I01014100000"
                                      "1\r"});
    send(rx, "D6\rF07000000\r");
    EXPECT_EQ(s.frequency, 7000000);
    EXPECT_EQ(s.mode, 6);
    send(rx, "D4\r");
    EXPECT_EQ(s.frequency, 7000000);
}

TEST(Nrd535Sim, ChannelLoadsAndPanelRecallTakeFrequencyAndModeTogether)
{
    Nrd535Sim rx;
    goRemote(rx);
    auto& s = rx.state();
    send(rx, "K020010100000001\r");  // RTTY at 10 MHz
    send(rx, "K021014050000001\r");  // AM at 5 MHz
    send(rx, "C020\r");
    EXPECT_EQ(send(rx, "I\r"), Frames{"I01010000000"
                                      "1\r"});
    EXPECT_EQ(s.channel, 20);
    send(rx, "C021\r");
    EXPECT_EQ(s.frequency, 5000000);
    EXPECT_EQ(s.mode, 4);

    // The front panel works in local too.
    send(rx, "H0\r");
    EXPECT_TRUE(rx.recallChannel(20));
    EXPECT_EQ(s.frequency, 10000000);
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(s.channel, 20);
    EXPECT_FALSE(rx.recallChannel(50));  // empty: nothing changes
    EXPECT_FALSE(rx.recallChannel(200));
    EXPECT_EQ(s.channel, 20);
    EXPECT_TRUE(rx.panelMode(6));
    EXPECT_EQ(s.frequency, 10000000);
    EXPECT_EQ(s.channel, -1);
    EXPECT_FALSE(rx.panelMode(9));
}
