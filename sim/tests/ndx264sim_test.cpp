// NDX264 codec: 0x11/0x04 frames, every command, the one-frame status field
// by field, the identification, channels, refusals and malformed frames;
// then served over a pty and over TCP.
#include <gtest/gtest.h>

#include <set>

#include "ndx264sim.h"
#include "simserver.h"
#include "simtestclient.h"

using sim::Frames;
using sim::Ndx264Sim;

namespace {

std::string cmd(const std::string& text)
{
    return Ndx264Sim::frame(text);
}

// The value of a status field: after 0x11 + introducer up to CR (or ";").
std::string field(const std::string& status, const std::string& introducer)
{
    const std::string key = std::string(1, '\x11') + introducer;
    const std::size_t at = status.find(key);
    if (at == std::string::npos) {
        return "<absent>";
    }
    const std::size_t from = at + key.size();
    const std::size_t end = status.find_first_of("\r;", from);
    return status.substr(from, end - from);
}

}  // namespace

TEST(Ndx264Sim, StatusFrameFieldByField)
{
    Ndx264Sim rx;
    auto& s = rx.state();
    s.frequency = 7050000;
    s.mode = 'C';
    s.bfo = -1900;
    s.filter = 3;
    s.agc = 'L';
    s.attenuation = -12;
    s.signalBase = 73;
    const Frames replies = rx.feed(cmd("?"));
    ASSERT_EQ(replies.size(), 1u);
    const std::string& f = replies[0];
    // Whole frame: starts with 0x11, ends with CR LF 0x04, holds one 0x04.
    ASSERT_GE(f.size(), 4u);
    EXPECT_EQ(f.front(), '\x11');
    EXPECT_EQ(f.substr(f.size() - 3), "\r\n\x04");
    EXPECT_EQ(f.find('\x04'), f.size() - 1);
    const std::string expectedHead = "\x11"
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
                                     "N";
    EXPECT_EQ(f.substr(0, expectedHead.size()), expectedHead);
    EXPECT_EQ(field(f, "CAN"), "--");
    const int n = std::stoi(field(f, "N"));
    EXPECT_GE(n, 73 + 12 - 12);
    EXPECT_LE(n, 73 + 12 + 12);
    // The first "0x11 B" is the filter, the first "0x11 C" the AGC.
    EXPECT_EQ(field(f, "B"), "3");
    EXPECT_EQ(field(f, "C"), "L");

    // Range limits and the channel field.
    s.frequency = 0;
    s.bfo = 3000;
    s.channel = 7;
    const std::string low = rx.statusFrame();
    EXPECT_EQ(field(low, "F"), "   0.00");
    EXPECT_EQ(field(low, "BF"), "3.00");
    EXPECT_EQ(field(low, "CAN"), "07");
    s.frequency = 29999990;
    EXPECT_EQ(field(rx.statusFrame(), "F"), " 29999.99");
}

TEST(Ndx264Sim, SignalLevelMovesAndFollowsTheAttenuator)
{
    Ndx264Sim rx;
    std::set<std::string> seen;
    for (int i = 0; i < 40; ++i) {
        seen.insert(field(rx.statusFrame(), "N"));
    }
    EXPECT_GT(seen.size(), 3u);
    rx.state().attenuation = 12;  // the preamplifier: a stronger signal, a smaller N
    for (int i = 0; i < 20; ++i) {
        EXPECT_LE(std::stoi(field(rx.statusFrame(), "N")), 73 + 12 - 12);
    }
}

TEST(Ndx264Sim, IdentificationWithAndWithoutIsb)
{
    Ndx264Sim plain;
    EXPECT_EQ(plain.feed(cmd("MI")), Frames{"\x11"
                                            "T.264\r\n\x04"});
    Ndx264Sim isb(Ndx264Sim::Options{true, 1});
    EXPECT_EQ(isb.feed(cmd("MI")), Frames{"\x11"
                                          "T.264/ISB\r\n\x04"});
    // "MI" never selects ISB: the mode stays.
    EXPECT_EQ(isb.state().mode, 'U');
    // ISB set at the front panel is reported with its letter.
    isb.state().mode = 'I';
    EXPECT_EQ(field(isb.statusFrame(), "M"), "I");
}

TEST(Ndx264Sim, SettersAsTheDriverFormatsThem)
{
    Ndx264Sim rx;
    auto& s = rx.state();
    EXPECT_TRUE(rx.feed(cmd("F 7050.00") + cmd("BF-1.90") + cmd("MC") + cmd("CR;G;") + cmd("A-12") + cmd("B3") +
                        cmd("H 23 59 58"))
                    .empty());
    EXPECT_EQ(s.frequency, 7050000);
    EXPECT_EQ(s.bfo, -1900);
    EXPECT_EQ(s.mode, 'C');
    EXPECT_EQ(s.agc, 'R');
    EXPECT_EQ(s.gainApplied, 1);
    EXPECT_EQ(s.attenuation, -12);
    EXPECT_EQ(s.filter, 3);
    EXPECT_EQ(s.clockHours, 23);
    EXPECT_EQ(s.clockMinutes, 59);
    EXPECT_EQ(s.clockSeconds, 58);
    rx.feed(cmd("F    0.00") + cmd("BF3.00") + cmd("A12") + cmd("C-") + cmd("MF") + cmd("B7"));
    EXPECT_EQ(s.frequency, 0);
    EXPECT_EQ(s.bfo, 3000);
    EXPECT_EQ(s.attenuation, 12);
    EXPECT_EQ(s.agc, '-');
    EXPECT_EQ(s.mode, 'F');
    EXPECT_EQ(s.filter, 7);
    rx.feed(cmd("F 29999.99") + cmd("BF-3.00") + cmd("F 14.1") + cmd("COF"));
    EXPECT_EQ(s.frequency, 14100);
    EXPECT_EQ(s.bfo, -3000);
    rx.feed(cmd("CO"));
    EXPECT_EQ(s.agc, 'O');
    EXPECT_EQ(s.refused, 1);  // "COF"
}

TEST(Ndx264Sim, RefusesOutOfRangeAndMalformedCommands)
{
    Ndx264Sim rx;
    const Ndx264Sim fresh;
    auto& s = rx.state();
    const std::string bad = cmd("F 30000.00") + cmd("F-5.00") + cmd("F 7050.001") + cmd("F7,050") + cmd("F") +
                            cmd("BF3.01") + cmd("BF-3.5x") + cmd("MX") + cmd("MI2") + cmd("M") + cmd("CZ") + cmd("A6") +
                            cmd("A-6x") + cmd("B8") + cmd("B") + cmd("H 24 00 00") + cmd("H 1 2 3") + cmd("MEM100") +
                            cmd("MEMxx") + cmd("RM1") + cmd("Q");
    EXPECT_TRUE(rx.feed(bad).empty());
    EXPECT_EQ(s.refused, 21);
    EXPECT_EQ(s.frequency, fresh.state().frequency);
    EXPECT_EQ(s.bfo, fresh.state().bfo);
    EXPECT_EQ(s.mode, fresh.state().mode);
    EXPECT_EQ(s.agc, fresh.state().agc);
    EXPECT_EQ(s.attenuation, fresh.state().attenuation);
    EXPECT_EQ(s.filter, fresh.state().filter);
    EXPECT_EQ(s.clockHours, 0);
}

TEST(Ndx264Sim, FramingNoiseSplitsAndBrokenFrames)
{
    Ndx264Sim rx;
    auto& s = rx.state();
    // Noise before a frame is skipped; a frame split anywhere is read.
    EXPECT_TRUE(rx.feed("xyz\x11?\r").empty());
    EXPECT_EQ(rx.feed("\n\x04").size(), 1u);
    // Without CR LF before 0x04: dropped.
    EXPECT_TRUE(rx.feed("\x11?\x04").empty());
    EXPECT_EQ(s.refused, 1);
    // A second 0x11 starts afresh: the half frame before it is dropped.
    EXPECT_EQ(rx.feed("\x11"
                      "F 1\x11?\r\n\x04")
                  .size(),
              1u);
    EXPECT_EQ(s.refused, 2);
    EXPECT_EQ(s.frequency, 7050000);
    // An overlong frame is dropped; the next frame is read.
    EXPECT_TRUE(rx.feed("\x11" + std::string(100, 'F')).empty());
    EXPECT_EQ(rx.feed(cmd("?")).size(), 1u);
    // Binary bytes inside a command refuse it, nothing more.
    EXPECT_TRUE(rx.feed(cmd(std::string("F\x80\xff\x00", 4))).empty());
    // Several commands in one frame run in order.
    const Frames two = rx.feed(cmd("MU;?;MI"));
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(field(two[0], "M"), "U");
    EXPECT_EQ(two[1], "\x11"
                      "T.264\r\n\x04");
}

TEST(Ndx264Sim, ChannelsStoreRecallAndAlwaysAnswer)
{
    Ndx264Sim rx;
    auto& s = rx.state();
    rx.feed(cmd("F 9650.00") + cmd("MA") + cmd("B1") + cmd("CL;G;") + cmd("A-6") + cmd("MEM42"));
    EXPECT_EQ(s.channels[42], (sim::Ndx264Channel{9650000, 'A', 0, 1, 'L', -6}));
    rx.feed(cmd("F 100.00"));
    const Frames recalled = rx.feed(cmd("RM42;?"));
    ASSERT_EQ(recalled.size(), 1u);
    EXPECT_EQ(field(recalled[0], "F"), " 9650.00");
    EXPECT_EQ(field(recalled[0], "CAN"), "42");
    EXPECT_EQ(s.channel, 42);
    // An untouched channel holds the factory content and still answers.
    const Frames other = rx.feed(cmd("RM99;?"));
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(field(other[0], "F"), " 10000.00");
    EXPECT_EQ(field(other[0], "M"), "C");
    EXPECT_EQ(field(other[0], "CAN"), "99");
    // Any change leaves the channel.
    rx.feed(cmd("B2"));
    EXPECT_EQ(field(rx.statusFrame(), "CAN"), "--");
}

TEST(Ndx264Serving, OverAPtyAndOverTcp)
{
    std::string error;
    auto pty = sim::SimServer::create("NDX264", sim::SimServer::Pty, 0, &error);
    ASSERT_NE(pty, nullptr) << error;
    simtest::Client c = simtest::Client::device(pty->devicePath());
    ASSERT_TRUE(c.isOpen());
    c.send(cmd("?"));
    const std::string status = c.readLines('\x04', 1);
    EXPECT_EQ(field(status, "F"), " 7050.00");
    EXPECT_EQ(status.back(), '\x04');

    sim::ModelOptions options;
    options.options = {"ISB"};
    auto tcp = sim::SimServer::create("NDX264", sim::SimServer::Tcp, 0, &error, options);
    ASSERT_NE(tcp, nullptr) << error;
    sim::FaultPlan plan;
    plan.garbageAfter = 1;
    plan.garbageBytes = "\x7f\x7f";
    tcp->setFaults(plan);
    simtest::Client t = simtest::Client::tcp(tcp->port());
    ASSERT_TRUE(t.isOpen());
    t.send(cmd("MI"));
    EXPECT_EQ(t.readLines('\x04', 1), "\x11"
                                      "T.264/ISB\r\n\x04");
    t.send(cmd("?"));
    EXPECT_EQ(t.read(2), "\x7f\x7f");
}

TEST(Ndx264Sim, RandomBytesKeepTheStateWithinItsLimits)
{
    Ndx264Sim rx;
    sim::SimRandom random(11);
    const std::string alphabet = "\x11\x04\r\n;?FBMCAHRIE -.0123456789";
    for (int round = 0; round < 3000; ++round) {
        std::string chunk;
        const int size = random.between(1, 16);
        for (int i = 0; i < size; ++i) {
            const int pick = random.between(0, static_cast<int>(alphabet.size()) + 3);
            chunk.push_back(pick < static_cast<int>(alphabet.size()) ? alphabet[static_cast<std::size_t>(pick)]
                                                                     : static_cast<char>(random.between(0, 255)));
        }
        rx.feed(chunk);
        const auto& s = rx.state();
        ASSERT_GE(s.frequency, 0);
        ASSERT_LE(s.frequency, sim::Ndx264State::kMaxFrequency);
        ASSERT_LE(std::abs(s.bfo), sim::Ndx264State::kMaxBfo);
        ASSERT_LE(s.filter, 7);
    }
    rx.resetInput();
    EXPECT_EQ(rx.feed(cmd("?")).size(), 1u);
}
