// REK085 codec: addressed frames, the status record byte by byte, the
// setters at their limits, filter variants, memory channels, outputs, the
// shared line, and the receiver served over a pty and over TCP.
#include <gtest/gtest.h>

#include "rek085sim.h"
#include "rxsimoptions.h"
#include "rxsimprocess.h"
#include "simmodels.h"
#include "simserver.h"
#include "simtestclient.h"

using sim::Frames;
using sim::Rek085Sim;
using simtest::Client;

namespace {

std::string frame(int address, const std::string& command, char prefix = '*')
{
    std::string a = std::to_string(address);
    return "\n" + std::string(1, prefix) + "A" + std::string(2 - a.size(), '0') + a + command + "\r";
}

std::unique_ptr<sim::SimReceiver> made(int address, std::set<std::string> names)
{
    sim::ModelOptions options;
    options.options = std::move(names);
    return Rek085Sim::create(address, options);
}

}  // namespace

TEST(Rek085Sim, ConnectStatusRecordByteByByte)
{
    Rek085Sim rx(7);
    const Frames status = rx.feed(frame(7, "O1"));
    ASSERT_EQ(status.size(), 1u);
    const std::string& r = status[0];
    EXPECT_EQ(r, "\n*A07K  F0705000I2B   W2R0H0Z0J0\r");
    ASSERT_EQ(r.size(), 33u);  // LF, 31 characters of record, CR
    const std::string record = r.substr(1);
    const std::pair<std::size_t, char> letters[] = {{0, '*'},  {1, 'A'},  {4, 'K'},  {7, 'F'},  {15, 'I'}, {17, 'B'},
                                                    {21, 'W'}, {23, 'R'}, {25, 'H'}, {27, 'Z'}, {29, 'J'}};
    for (auto [at, letter] : letters) {
        EXPECT_EQ(record[at], letter) << at;
    }
    EXPECT_TRUE(rx.feed(frame(7, "J0")).empty());
    EXPECT_EQ(rx.state().statusRequests, 1);
}

TEST(Rek085Sim, SettersAndTheirLimits)
{
    Rek085Sim rx(0);
    const auto& n = rx.state().now;
    rx.feed(frame(0, "F1410000") + frame(0, "B15-") + frame(0, "I6") + frame(0, "W3") + frame(0, "R3") +
            frame(0, "J5") + frame(0, "H1") + frame(0, "Z2"));
    EXPECT_EQ(rx.statusRecord(), "\n*A00K  F1410000I6B15-W3R3H1Z2J5\r");
    EXPECT_EQ(n.frequency, 14100000);
    EXPECT_EQ(n.bfo, -1500);
    rx.feed(frame(0, "F0000000") + frame(0, "B29+"));
    EXPECT_EQ(rx.statusRecord(), "\n*A00K  F0000000I6B29+W3R3H1Z2J5\r");
    rx.feed(frame(0, "F2999999") + frame(0, "B   ") + frame(0, "I9"));
    EXPECT_EQ(rx.statusRecord(), "\n*A00K  F2999999I9B   W3R3H1Z2J5\r");
    EXPECT_EQ(n.frequency, 29999990);
    rx.feed(frame(0, "B 5-"));
    EXPECT_EQ(n.bfo, -500);
    rx.feed(frame(0, "B00+"));
    EXPECT_EQ(n.bfo, 0);

    const Rek085Sim fresh(0);
    Rek085Sim other(0);
    const Frames replies = other.feed(
        frame(0, "F3000000") + frame(0, "F123456") + frame(0, "F12345678") + frame(0, "F-123456") + frame(0, "B30+") +
        frame(0, "B15") + frame(0, "B15*") + frame(0, "Bx5+") + frame(0, "I0") + frame(0, "I10") + frame(0, "W0") +
        frame(0, "W4") + frame(0, "W8") + frame(0, "R5") + frame(0, "J10") + frame(0, "Jx") + frame(0, "K100") +
        frame(0, "O2") + frame(0, "Q1") + frame(0, "O1", '&') + frame(0, "F0700000", '%'));
    EXPECT_TRUE(replies.empty());
    EXPECT_EQ(other.state().now, fresh.state().now);
    EXPECT_EQ(other.state().channel, -1);
}

TEST(Rek085Sim, FilterVariantDecidesTheCodesTaken)
{
    auto v1 = made(0, {"V1"});
    auto& rx = dynamic_cast<Rek085Sim&>(*v1);
    EXPECT_EQ(rx.variant().name, "V1");
    rx.feed(frame(0, "W4"));
    EXPECT_EQ(rx.state().now.filter, 2);  // starts on 2400 Hz; W4 is not fitted
    rx.feed(frame(0, "W3"));
    EXPECT_EQ(rx.state().now.filter, 3);

    auto var3 = made(0, {"V2Var3"});
    auto& wide = dynamic_cast<Rek085Sim&>(*var3);
    EXPECT_EQ(wide.state().now.filter, 5);  // 3100 Hz
    wide.feed(frame(0, "W7"));
    EXPECT_EQ(wide.state().now.filter, 7);
    // Every variant starts on a fitted filter.
    for (const auto& variant : Rek085Sim::variants()) {
        auto one = made(0, {std::string(variant.name)});
        auto& r = dynamic_cast<Rek085Sim&>(*one);
        EXPECT_EQ(r.variant().name, variant.name);
        EXPECT_NE(variant.widths[static_cast<std::size_t>(r.state().now.filter - 1)], 0) << variant.name;
    }
}

TEST(Rek085Sim, MemoryChannelsWriteSaveRecallRead)
{
    auto v1 = made(7, {"V1"});
    auto& rx = dynamic_cast<Rek085Sim&>(*v1);
    // The driver's channel write: 7 MHz, USB, BFO 0, 2400 Hz (W2 in V1), AGC slow.
    EXPECT_TRUE(rx.feed(frame(7, "K05F0700000I2B   W2R0H0Z0J0", '%')).empty());
    EXPECT_EQ(rx.state().channels[5], (sim::Rek085Setting{7000000, 2, 0, 2, 0, 0, 0, 0}));
    // Reading recalls the channel and answers its record.
    EXPECT_EQ(rx.feed(frame(7, "K05", '&')), Frames{"\n*A07K05F0700000I2B   W2R0H0Z0J0\r"});
    EXPECT_EQ(rx.state().channel, 5);
    // A channel never written holds the power-up setting.
    EXPECT_EQ(rx.feed(frame(7, "K99", '&')), Frames{"\n*A07K99F1000000I5B   W1R0H0Z0J0\r"});
    // Recall with "*": no answer; the next status shows the channel until something changes.
    rx.feed(frame(7, "J4") + frame(7, "K05"));
    EXPECT_EQ(rx.state().now.output, 0);  // the channel's output came with it
    rx.feed(frame(7, "J4"));
    EXPECT_EQ(rx.statusRecord().substr(5, 3), "K05");
    rx.feed(frame(7, "B12+"));
    EXPECT_EQ(rx.statusRecord(), "\n*A07K  F0700000I2B12+W2R0H0Z0J4\r");
    // Saving the last status text stores the receiver's setting as it stands.
    const std::string text = rx.statusRecord().substr(8, 24);
    rx.feed(frame(7, "K42" + text, '%'));
    EXPECT_EQ(rx.state().channels[42], rx.state().now);
    // Malformed writes are refused whole.
    const auto before = rx.state().channels;
    for (const char* bad : {"K06F0700000I2B   W2R0H0Z0J", "K06F0700000I2B   W4R0H0Z0J0", "K06F3000000I2B   W2R0H0Z0J0",
                            "K06F0700000I0B   W2R0H0Z0J0", "K06F0700000I2B30+W2R0H0Z0J0", "K06F0700000I2B   W2R5H0Z0J0",
                            "K06F0700000I2B   W2R0HxZ0J0", "K06X0700000I2B   W2R0H0Z0J0", "K6F0700000I2B   W2R0H0Z0J0",
                            "K06F0700000I2B   W2R0H0Z0J00", "K06"}) {
        EXPECT_TRUE(rx.feed(frame(7, bad, '%')).empty()) << bad;
    }
    EXPECT_EQ(rx.state().channels, before);
    EXPECT_TRUE(rx.feed(frame(7, "K5", '&') + frame(7, "K055", '&') + frame(7, "Kxx", '&')).empty());
}

TEST(Rek085Sim, AddressingNoiseAndMalformedFrames)
{
    Rek085Sim rx(7);
    EXPECT_TRUE(rx.feed(frame(8, "O1") + frame(70, "O1") + "\n*A7O1\r" + "\n*B07O1\r" + "*A07O1\r" + "\n*A07\r" +
                        "\n*A07O\r" + "\n\r" + "\r" + std::string("\n*A\x00\x07O1\r", 8))
                    .empty());
    // Noise before the LF of a frame is skipped; a frame may arrive in pieces.
    EXPECT_EQ(rx.feed(std::string("\x7f\x7f\xff junk") + frame(7, "O1")).size(), 1u);
    EXPECT_TRUE(rx.feed("\n*A0").empty());
    EXPECT_EQ(rx.feed("7O1\r").size(), 1u);
    // A long run without CR is dropped; what follows is read.
    EXPECT_TRUE(rx.feed(std::string(300, 'x')).empty());
    EXPECT_EQ(rx.feed(frame(7, "O1")).size(), 1u);

    auto any = made(7, {"ANY-ADDRESS"});
    const Frames reply = any->feed(frame(3, "O1"));
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(reply[0].substr(0, 5), "\n*A07");
}

TEST(Rek085Sim, SharedLineAnswersInCommandOrder)
{
    sim::LineConfig config;
    std::string error;
    ASSERT_TRUE(sim::parseLineConfig("REK085:1+REK085:2", config, error)) << error;
    sim::SimLine line = sim::SimLine::fromConfig(config);
    line.feed(frame(2, "F2100000"));
    const Frames replies = line.feed(frame(2, "O1") + frame(1, "O1") + frame(3, "O1"));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], "\n*A02K  F2100000I2B   W2R0H0Z0J0\r");
    EXPECT_EQ(replies[1], "\n*A01K  F0705000I2B   W2R0H0Z0J0\r");
}

TEST(Rek085Served, OverPtyAndTcp)
{
    std::string error;
    auto pty = sim::SimServer::create("REK085:7", sim::SimServer::Pty, 0, &error);
    ASSERT_NE(pty, nullptr) << error;
    Client device = Client::device(pty->devicePath());
    ASSERT_TRUE(device.isOpen());
    device.send(frame(7, "F1410000") + frame(7, "O1"));
    EXPECT_EQ(device.readLines('\r', 1), "\n*A07K  F1410000I2B   W2R0H0Z0J0\r");

    auto tcp = sim::SimServer::create("REK085:1+REK085:2", sim::SimServer::Tcp, 0, &error);
    ASSERT_NE(tcp, nullptr) << error;
    Client c = Client::tcp(tcp->port());
    ASSERT_TRUE(c.isOpen());
    c.send(frame(2, "K10", '&') + frame(1, "O1"));
    EXPECT_EQ(c.readLines('\r', 2), "\n*A02K10F1000000I5B   W1R0H0Z0J0\r\n*A01K  F0705000I2B   W2R0H0Z0J0\r");
}

// rxsim as a child process with the three bus models of this room: one
// printed line per LINE, model options, and the fault switches on them.
TEST(RxsimBusModels, PrintsLinesServesOptionsAndFaults)
{
    sim::RxsimProcess rxsim;
    std::string error;
    ASSERT_TRUE(rxsim.start({"RA6790", "HF2050:1+HF2050:2", "REK085:1+REK085:2", "--pty", "--option", "A09666",
                             "--option", "V1", "--option", "ISB"},
                            &error))
        << error;
    ASSERT_EQ(rxsim.lines().size(), 3u);
    EXPECT_EQ(rxsim.lines()[0].rfind("RA6790 /dev/", 0), 0u) << rxsim.lines()[0];
    EXPECT_EQ(rxsim.lines()[1].rfind("HF2050:1+HF2050:2 /dev/", 0), 0u) << rxsim.lines()[1];
    EXPECT_EQ(rxsim.lines()[2].rfind("REK085:1+REK085:2 /dev/", 0), 0u) << rxsim.lines()[2];

    Client ra = Client::device(rxsim.endpoint(0));
    ra.send("$77S8\r$77TD\r$77S5\r");
    EXPECT_EQ(ra.readLines('\r', 2), "TD A09666 R\rL,U,0.4,1.4,3.2,8.2,16\r");
    Client hf = Client::device(rxsim.endpoint(1));
    hf.send("UNIT 2;MO IS;MO ?\r\n");
    EXPECT_EQ(hf.readLines('\n', 1), "UNIT 2 MODE IS\r\n");
    Client rek = Client::device(rxsim.endpoint(2));
    rek.send(frame(2, "W3") + frame(2, "O1"));  // V1 has a third filter
    EXPECT_EQ(rek.readLines('\r', 1), "\n*A02K  F0705000I2B   W3R0H0Z0J0\r");
    EXPECT_EQ(WEXITSTATUS(rxsim.terminate()), 0);

    // Faults: a 7F 7F answer, a cut answer, and a hang-up after one answer.
    sim::RxsimProcess faulty;
    ASSERT_TRUE(faulty.start({"REK085", "HF2050", "--tcp", "0", "--garbage-bytes=7F7F"}, &error)) << error;
    Client bad = Client::tcp(faulty.port(0));
    bad.send(frame(0, "O1"));
    EXPECT_EQ(bad.read(2), "\x7f\x7f");
    EXPECT_EQ(WEXITSTATUS(faulty.terminate()), 0);

    sim::RxsimProcess cut;
    ASSERT_TRUE(cut.start({"REK085", "--tcp", "0", "--truncate-to=10", "--hangup=1"}, &error)) << error;
    Client c = Client::tcp(cut.port(0));
    c.send(frame(0, "O1"));
    EXPECT_EQ(c.read(10), "\n*A00K  F0");
    c.send(frame(0, "O1"));
    EXPECT_EQ(c.read(100), "");
    EXPECT_TRUE(c.closed);
    EXPECT_EQ(WEXITSTATUS(cut.terminate()), 0);
}

TEST(RxsimBusModels, HelpNamesTheirOptions)
{
    const std::string help = sim::rxsimHelp();
    for (const char* word : {"A09666", "BITE-FAIL", "ANY-ADDRESS", "LOCAL", "ISB", "V1Var4", "V2Var6"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}
