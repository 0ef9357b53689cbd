// RA1792 codec: adapter frames, addressed commands, the status reply and
// what the receiver refuses.
#include <gtest/gtest.h>

#include "ra1792sim.h"
#include "simmodels.h"

using sim::Frames;
using sim::Ra1792Sim;

namespace {

std::string frame(int address, const std::string& command)
{
    std::string a = std::to_string(address);
    return "$" + std::string(2 - a.size(), '0') + a + command + "\r\n";
}

}  // namespace

TEST(Ra1792Sim, ConnectDialogueFromTheAdapterToTheFirstStatus)
{
    Ra1792Sim rx(7);
    const Frames id = rx.feed("?\r\n");
    ASSERT_EQ(id.size(), 1u);
    EXPECT_GE(id[0].size(), 8u);
    EXPECT_TRUE(rx.feed("R\r\n").empty());
    EXPECT_EQ(rx.adapterResets(), 1);
    EXPECT_TRUE(rx.feed(frame(7, "L")).empty());
    EXPECT_TRUE(rx.feed(frame(7, "P") + frame(7, "R")).empty());
    EXPECT_TRUE(rx.state().remote);
    const Frames status = rx.feed(frame(7, "G"));
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0], "F7.050000D6I3M1X0\r\n");
    EXPECT_TRUE(rx.feed(frame(7, "TI") + frame(7, "TR")).empty());
    EXPECT_EQ(rx.state().tests, 2);
}

TEST(Ra1792Sim, StatusCarriesBfoInCwAndGainInManualAgc)
{
    Ra1792Sim rx;
    auto& s = rx.state();
    s.frequency = 10000000;
    s.mode = 3;
    s.bfo = -2210;
    s.filter = 3;
    s.agc = 1;
    EXPECT_EQ(rx.statusReply(), "B-2.21F10.000000D3I3M1X0\r\n");
    s.agc = 4;
    s.gain = 37;
    s.mode = 1;
    EXPECT_EQ(rx.statusReply(), "F10.000000D1I3M4A37X0\r\n");
    s.frequency = 5000;
    s.mode = 3;
    s.bfo = 7999;
    EXPECT_EQ(rx.statusReply(), "B8.00F0.005000D3I3M4A37X0\r\n");
}

TEST(Ra1792Sim, SettersInRemote)
{
    Ra1792Sim rx(1);
    auto& s = rx.state();
    rx.feed(frame(1, "R") + frame(1, "F14.250000") + frame(1, "B-1.90") + frame(1, "D3") + frame(1, "M6") +
            frame(1, "A120") + frame(1, "I5") + frame(1, "L"));
    EXPECT_EQ(s.frequency, 14250000);
    EXPECT_EQ(s.bfo, -1900);
    EXPECT_EQ(s.mode, 3);
    EXPECT_EQ(s.agc, 6);
    EXPECT_EQ(s.gain, 120);
    EXPECT_EQ(s.filter, 5);
    EXPECT_FALSE(s.remote);
    // The driver's clamp sends 7999 Hz as B8.00: the receiver takes 8 kHz.
    rx.feed(frame(1, "R") + frame(1, "B8.00") + frame(1, "F0.005000") + frame(1, "L"));
    EXPECT_EQ(s.bfo, 8000);
    EXPECT_EQ(s.frequency, 5000);
    rx.feed(frame(1, "R") + frame(1, "F30.000000") + frame(1, "L"));
    EXPECT_EQ(s.frequency, 30000000);
}

TEST(Ra1792Sim, RefusesInLocalAndRefusesMalformedCommands)
{
    Ra1792Sim rx(1);
    const Ra1792Sim fresh(1);
    auto& s = rx.state();
    // Local: set commands ignored, status still answered.
    EXPECT_TRUE(rx.feed(frame(1, "F14.000000") + frame(1, "D5")).empty());
    EXPECT_EQ(s.frequency, fresh.state().frequency);
    EXPECT_EQ(s.mode, fresh.state().mode);
    EXPECT_EQ(rx.feed(frame(1, "G")).size(), 1u);

    rx.feed(frame(1, "R"));
    const Frames replies =
        rx.feed(frame(1, "F0.004999") + frame(1, "F30.000001") + frame(1, "F1e1") + frame(1, "F 14.0") +
                frame(1, "F-5.0") + frame(1, "B8.01") + frame(1, "B1.2.3") + frame(1, "D0") + frame(1, "D7") +
                frame(1, "Dx") + frame(1, "M0") + frame(1, "M8") + frame(1, "I6") + frame(1, "A256") + frame(1, "Q1") +
                frame(1, "F") + "$1G\r\n" + "$xxG\r\n" + "G\r\n");
    EXPECT_TRUE(replies.empty());
    EXPECT_EQ(s.frequency, fresh.state().frequency);
    EXPECT_EQ(s.bfo, fresh.state().bfo);
    EXPECT_EQ(s.mode, fresh.state().mode);
    EXPECT_EQ(s.agc, fresh.state().agc);
    EXPECT_EQ(s.filter, fresh.state().filter);
    EXPECT_EQ(s.gain, fresh.state().gain);
}

TEST(Ra1792Sim, AnswersOnlyItsOwnAddressAndLongNoiseIsDropped)
{
    Ra1792Sim rx(7);
    EXPECT_TRUE(rx.feed(frame(1, "G") + frame(70, "G") + frame(17, "G")).empty());
    EXPECT_EQ(rx.feed(frame(7, "G")).size(), 1u);
    // Split anywhere.
    EXPECT_TRUE(rx.feed("$0").empty());
    EXPECT_TRUE(rx.feed("7G\r").empty());
    EXPECT_EQ(rx.feed("\n").size(), 1u);
    // A long run without LF is dropped; what follows is read.
    EXPECT_TRUE(rx.feed(std::string(300, '\x7f')).empty());
    EXPECT_EQ(rx.feed("\n" + frame(7, "G")).size(), 1u);
}

TEST(Ra1792Sim, SharedLineEachAddressAnswersAndOneAdapter)
{
    sim::LineConfig config;
    std::string error;
    ASSERT_TRUE(sim::parseLineConfig("RA1792:1+RA1792:2", config, error)) << error;
    sim::SimLine line = sim::SimLine::fromConfig(config);
    ASSERT_EQ(line.size(), 2u);
    line.as<Ra1792Sim>(1)->state().frequency = 12345678;
    EXPECT_EQ(line.feed("?\r\n").size(), 1u);  // one adapter on the line
    const Frames two = line.feed(frame(2, "G"));
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two[0].substr(0, 10), "F12.345678");
    line.feed(frame(1, "R") + frame(1, "D5"));
    EXPECT_EQ(line.as<Ra1792Sim>(0)->state().mode, 5);
    EXPECT_EQ(line.as<Ra1792Sim>(1)->state().mode, 6);
    EXPECT_EQ(line.receiverAt(2), &line.receiver(1));
    EXPECT_EQ(line.receiverAt(3), nullptr);
}
