// TRC294 codec: frames with their length byte and checksum, the plain status
// record and the A model's status frame byte by byte, the setting and channel
// messages, what the receiver refuses; then served over a pty and over TCP.
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>

#include "simserver.h"
#include "simtestclient.h"
#include "trc294sim.h"

using sim::Frames;
using sim::Trc294Sim;

namespace {

std::string bytes(std::initializer_list<int> list)
{
    std::string out;
    for (int b : list) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

Trc294Sim::Options withOptions(bool a, bool ext, bool ssb)
{
    return Trc294Sim::Options{a, ext, ssb, 1};
}

// The tune message for a frequency and mode, framed.
std::string tune(std::int32_t hz, int mode)
{
    return Trc294Sim::frame("\x01" + Trc294Sim::recordBytes(hz, mode, 0, 0).substr(0, 5));
}

std::string filterAtt(int filter, int att)
{
    return Trc294Sim::frame(bytes({0x02, filter << 4 | att}));
}

}  // namespace

TEST(Trc294Sim, FramesCarryLengthAndComplementedXorChecksum)
{
    EXPECT_EQ(Trc294Sim::frame(bytes({0x08})), bytes({0xFF, 0x03, 0x08, 0xF4}));
    EXPECT_EQ(Trc294Sim::frame(bytes({0x05, 0x01})), bytes({0xFF, 0x04, 0x05, 0x01, 0xFF}));
    const std::string text = "\nTRC294A REMOTE  ";
    const std::string framed = Trc294Sim::frame(text);
    ASSERT_EQ(framed.size(), text.size() + 3);
    EXPECT_EQ(static_cast<unsigned char>(framed[1]), text.size() + 2);
    EXPECT_EQ(framed.size(), static_cast<std::size_t>(static_cast<unsigned char>(framed[1])) + 1);
    // A reply frame is the same without the lead byte.
    EXPECT_EQ(Trc294Sim::replyFrame(bytes({0x08})), bytes({0x03, 0x08, 0xF4}));
}

TEST(Trc294Sim, PlainStatusRecordByteByByte)
{
    Trc294Sim rx;
    auto& s = rx.state();
    s.frequency = 145000000;
    s.mode = 2;
    s.filter = 1;
    s.attenuator = 0;
    const Frames replies = rx.feed(bytes({0xAA}));
    ASSERT_EQ(replies.size(), 1u);
    const std::string& r = replies[0];
    ASSERT_EQ(r.size(), 8u);
    EXPECT_EQ(r.substr(0, 7), bytes({0xF1, 0x45, 0x00, 0x00, 0x02, 0x10, 0x00}));

    // The range limits, and every digit place.
    s.frequency = 20000000;
    s.mode = 1;
    s.filter = 3;
    s.attenuator = 5;
    s.channel = 101;
    EXPECT_EQ(rx.statusRecord().substr(0, 7), bytes({0xF0, 0x20, 0x00, 0x00, 0x01, 0x35, 101}));
    s.frequency = 119999000;
    EXPECT_EQ(rx.statusRecord().substr(0, 5), bytes({0xF1, 0x19, 0x99, 0x90, 0x01}));
    s.frequency = 123456780;
    EXPECT_EQ(rx.statusRecord().substr(0, 5), bytes({0xF1, 0x23, 0x45, 0x67, 0x81}));
}

TEST(Trc294Sim, SignalLevelMoves)
{
    Trc294Sim rx;
    std::set<int> seen;
    for (int i = 0; i < 40; ++i) {
        seen.insert(static_cast<unsigned char>(rx.statusRecord().at(7)));
    }
    EXPECT_GT(seen.size(), 3u);
}

TEST(Trc294Sim, ConnectDialogueTellsThePlainModelFromTheAModel)
{
    const std::string aRequest = Trc294Sim::frame(bytes({0x08}));
    Trc294Sim plain;
    EXPECT_TRUE(plain.feed(bytes({0xEE})).empty());
    const Frames first = plain.feed(bytes({0xAA}));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(static_cast<unsigned char>(first[0][0]) >> 4, 0xF);
    EXPECT_TRUE(plain.feed(aRequest).empty());  // the plain model hears nothing it knows
    EXPECT_EQ(plain.state().refused, 1);

    Trc294Sim a(withOptions(true, false, false));
    auto& s = a.state();
    s.frequency = 118500000;
    s.mode = 1;
    s.filter = 2;
    s.attenuator = 3;
    ASSERT_EQ(a.feed(bytes({0xAA})).size(), 1u);  // the A model answers the plain request too
    const Frames status = a.feed(aRequest);
    ASSERT_EQ(status.size(), 1u);
    const std::string& f = status[0];
    ASSERT_EQ(f.size(), 9u);
    EXPECT_EQ(f.substr(0, 8), bytes({0x09, 0x06, 0xF1, 0x18, 0x50, 0x00, 0x01, 0x23}));
    EXPECT_EQ(static_cast<unsigned char>(f[8]), Trc294Sim::checksum(0x09, f.substr(1, 7)));

    // Remote, panel texts, the two setting messages, local again.
    EXPECT_TRUE(a.feed(Trc294Sim::frame(bytes({0x05, 0x01}))).empty());
    EXPECT_TRUE(s.remote);
    a.feed(Trc294Sim::frame("\nTRC294A REMOTE  "));
    EXPECT_EQ(s.display, "TRC294A REMOTE  ");  // the "\n" is the message type
    a.feed(tune(118000000, 2) + filterAtt(2, 3));
    a.feed(bytes({0xEE}));
    EXPECT_FALSE(s.remote);
    EXPECT_EQ(s.frequency, 118000000);
    EXPECT_EQ(s.mode, 2);
    a.feed(Trc294Sim::frame(bytes({0x05, 0x01})) + Trc294Sim::frame(bytes({0x05, 0x00})));
    EXPECT_FALSE(s.remote);
    EXPECT_EQ(s.refused, 0);
}

TEST(Trc294Sim, TuneAndFilterMessagesWithinTheModelsLimits)
{
    Trc294Sim rx;
    auto& s = rx.state();
    rx.feed(tune(20000000, 1));
    EXPECT_EQ(s.frequency, 20000000);
    EXPECT_EQ(s.mode, 1);
    EXPECT_TRUE(s.remote);  // a setting message takes control
    rx.feed(tune(119999990, 3));
    EXPECT_EQ(s.frequency, 119999000);  // cut to the 1000 Hz step
    EXPECT_EQ(s.mode, 3);
    rx.feed(tune(88123450, 2));
    EXPECT_EQ(s.frequency, 88123000);
    // Outside the range, and the modes of the SSB hardware: refused whole.
    const std::int32_t before = s.frequency;
    rx.feed(tune(19999990, 1) + tune(120000000, 1) + tune(100000000, 0) + tune(100000000, 4) + tune(100000000, 5));
    EXPECT_EQ(s.frequency, before);
    EXPECT_EQ(s.mode, 2);
    EXPECT_EQ(s.refused, 5);

    rx.feed(filterAtt(3, 5));
    EXPECT_EQ(s.filter, 3);
    EXPECT_EQ(s.attenuator, 5);
    rx.feed(filterAtt(4, 0) + filterAtt(0, 6));
    EXPECT_EQ(s.filter, 3);
    EXPECT_EQ(s.attenuator, 5);

    // No BCD digit, a mode code beyond 5, a short message.
    rx.feed(Trc294Sim::frame(bytes({0x01, 0xF1, 0x4A, 0x00, 0x00, 0x01})) +
            Trc294Sim::frame(bytes({0x01, 0xF1, 0x45, 0x00, 0x00, 0x06})) +
            Trc294Sim::frame(bytes({0x01, 0xF1, 0x45, 0x00, 0x00})) + Trc294Sim::frame(bytes({0x02})));
    EXPECT_EQ(s.frequency, before);
    EXPECT_EQ(s.refused, 5 + 2 + 4);
}

TEST(Trc294Sim, ExtendedRangeAndSsbHardware)
{
    Trc294Sim rx(withOptions(false, true, true));
    auto& s = rx.state();
    rx.feed(tune(499999990, 1));
    EXPECT_EQ(s.frequency, 499999000);
    rx.feed(tune(500000000, 1));
    EXPECT_EQ(s.frequency, 499999000);
    // 10 Hz steps in USB and LSB, 1000 Hz in CW.
    rx.feed(tune(145012340, 4));
    EXPECT_EQ(s.frequency, 145012340);
    EXPECT_EQ(s.mode, 4);
    rx.feed(tune(145012340, 5));
    EXPECT_EQ(s.mode, 5);
    rx.feed(tune(145012340, 0));
    EXPECT_EQ(s.frequency, 145012000);
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(rx.statusRecord().substr(0, 5), bytes({0xF1, 0x45, 0x01, 0x20, 0x00}));
}

TEST(Trc294Sim, LengthAndChecksumAreCheckedBeforeThePayload)
{
    Trc294Sim rx(withOptions(true, false, false));
    auto& s = rx.state();
    std::string good = tune(110000000, 1);
    std::string badSum = good;
    badSum.back() = static_cast<char>(badSum.back() ^ 0x01);
    rx.feed(badSum);
    EXPECT_NE(s.frequency, 110000000);
    EXPECT_EQ(s.refused, 1);
    // Length bytes outside 3..23 are dropped; what follows is read.
    EXPECT_EQ(rx.feed(bytes({0xFF, 0x02, 0xAA})).size(), 1u);
    EXPECT_EQ(rx.feed(bytes({0xFF, 0x18, 0xAA})).size(), 1u);
    EXPECT_EQ(s.refused, 3);
    // A doubled lead byte starts the frame at the second one.
    EXPECT_EQ(rx.feed(bytes({0xFF, 0xFF, 0x03, 0x08, 0xF4})).size(), 1u);
    // Payload bytes that look like commands are payload.
    rx.feed(Trc294Sim::frame(bytes({0x0A, 0xAA, 0xEE, 0xFF})));
    EXPECT_EQ(s.display, bytes({0xAA, 0xEE, 0xFF}));
    // Split anywhere: byte by byte.
    Frames replies;
    for (char c : good + Trc294Sim::frame(bytes({0x08}))) {
        Frames r = rx.feed(std::string(1, c));
        replies.insert(replies.end(), r.begin(), r.end());
    }
    EXPECT_EQ(s.frequency, 110000000);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].substr(0, 3), bytes({0x09, 0x06, 0xF1}));
    // Noise between frames is skipped; a panel text of 17 characters is refused.
    EXPECT_EQ(rx.feed(bytes({0x00, 0x7F, 0x80, 0xAA})).size(), 1u);
    rx.feed(Trc294Sim::frame("\n12345678901234567"));
    EXPECT_EQ(s.display, bytes({0xAA, 0xEE, 0xFF}));
    // A frame cut short swallows what follows up to its length, then fails.
    const int refusedBefore = s.refused;
    EXPECT_TRUE(rx.feed(good.substr(0, 4)).empty());
    EXPECT_TRUE(rx.feed(bytes({0xAA, 0xAA, 0xAA, 0xAA, 0xAA})).empty());
    EXPECT_EQ(s.refused, refusedBefore + 1);
    EXPECT_EQ(rx.feed(bytes({0xAA})).size(), 1u);
    // A new client starts with a clean reader.
    rx.feed(good.substr(0, 3));
    rx.resetInput();
    EXPECT_EQ(rx.feed(bytes({0xAA})).size(), 1u);
}

TEST(Trc294Sim, ChannelsWriteRecallClear)
{
    Trc294Sim rx;
    auto& s = rx.state();
    auto write = [&](int cc, std::int32_t hz, int mode, int filter, int att, int mask) {
        return rx.feed(Trc294Sim::frame(std::string(1, '\x03') + static_cast<char>(cc) +
                                        Trc294Sim::recordBytes(hz, mode, filter, att) + static_cast<char>(mask)));
    };
    EXPECT_TRUE(write(1, 118100000, 1, 2, 1, 0x81).empty());
    write(101, 30000000, 2, 0, 0, 0);
    ASSERT_TRUE(s.channels[0].has_value());
    EXPECT_EQ(*s.channels[0], (sim::Trc294Channel{118100000, 1, 2, 1, 0x81}));
    ASSERT_TRUE(s.channels[100].has_value());
    // Channel 0 and 102, a bad frequency, a bad filter: refused.
    write(0, 118100000, 1, 0, 0, 0);
    write(102, 118100000, 1, 0, 0, 0);
    write(5, 121500000, 1, 0, 0, 0);  // above the plain model's range
    write(5, 118100000, 1, 4, 0, 0);
    EXPECT_FALSE(s.channels[4].has_value());
    EXPECT_EQ(s.refused, 4);

    rx.feed(Trc294Sim::frame(bytes({0x04, 1})));
    EXPECT_EQ(s.frequency, 118100000);
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.filter, 2);
    EXPECT_EQ(s.attenuator, 1);
    EXPECT_EQ(s.channel, 1);
    EXPECT_EQ(static_cast<unsigned char>(rx.statusRecord()[6]), 1);
    rx.feed(tune(118200000, 1));
    EXPECT_EQ(s.channel, 0);
    // An empty channel cannot be recalled; a cleared one is empty.
    rx.feed(Trc294Sim::frame(bytes({0x04, 50})));
    EXPECT_EQ(s.frequency, 118200000);
    rx.feed(Trc294Sim::frame(bytes({0x04, 101})) + Trc294Sim::frame(bytes({0x07, 101})));
    EXPECT_FALSE(s.channels[100].has_value());
    EXPECT_EQ(s.channel, 0);
    rx.feed(Trc294Sim::frame(bytes({0x07, 0})));
    EXPECT_EQ(s.refused, 6);
}

TEST(Trc294Serving, PtyPlainModelAndTcpAModelWithASpoiltChecksum)
{
    std::string error;
    auto pty = sim::SimServer::create("TRC294", sim::SimServer::Pty, 0, &error);
    ASSERT_NE(pty, nullptr) << error;
    simtest::Client c = simtest::Client::device(pty->devicePath());
    ASSERT_TRUE(c.isOpen());
    c.send(bytes({0xEE, 0xAA}));
    const std::string record = c.read(8);
    ASSERT_EQ(record.size(), 8u);
    EXPECT_EQ(record.substr(0, 6), bytes({0xF1, 0x00, 0x00, 0x00, 0x02, 0x10}));
    c.send(tune(20000000, 1) + bytes({0xAA}));
    EXPECT_EQ(c.read(8).substr(0, 5), bytes({0xF0, 0x20, 0x00, 0x00, 0x01}));

    sim::ModelOptions options;
    options.options = {"A"};
    auto tcp = sim::SimServer::create("TRC294", sim::SimServer::Tcp, 0, &error, options);
    ASSERT_NE(tcp, nullptr) << error;
    sim::FaultPlan plan;
    plan.corruptAfter = 1;  // the first reply clean, then a checksum off by one
    tcp->setFaults(plan);
    simtest::Client t = simtest::Client::tcp(tcp->port());
    ASSERT_TRUE(t.isOpen());
    const std::string request = Trc294Sim::frame(bytes({0x08}));
    t.send(request);
    const std::string clean = t.read(9);
    ASSERT_EQ(clean.size(), 9u);
    EXPECT_EQ(static_cast<unsigned char>(clean[8]), Trc294Sim::checksum(0x09, clean.substr(1, 7)));
    t.send(request);
    const std::string spoilt = t.read(9);
    ASSERT_EQ(spoilt.size(), 9u);
    EXPECT_EQ(spoilt.substr(0, 8), clean.substr(0, 8));
    EXPECT_NE(static_cast<unsigned char>(spoilt[8]), Trc294Sim::checksum(0x09, spoilt.substr(1, 7)));
    // The length byte instead.
    plan.corruptAfter = 0;
    plan.corruptAt = 0;
    tcp->setFaults(plan);
    t.send(request);
    EXPECT_EQ(t.read(9).substr(0, 2), bytes({0x0A, 0x06}));
}

TEST(Trc294Sim, RandomBytesKeepTheStateWithinItsLimits)
{
    Trc294Sim rx(withOptions(true, false, true));
    sim::SimRandom random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string chunk;
        const int size = random.between(1, 24);
        for (int i = 0; i < size; ++i) {
            // Mostly frame bytes, so that many frames get through their checks.
            const int pick = random.between(0, 9);
            chunk.push_back(static_cast<char>(pick == 0 ? 0xFF : pick == 1 ? 0xAA : random.between(0, 255)));
        }
        rx.feed(chunk);
        const auto& s = rx.state();
        ASSERT_GE(s.frequency, sim::Trc294State::kMinFrequency);
        ASSERT_LE(s.frequency, sim::Trc294State::kMaxFrequency);
        ASSERT_LE(s.filter, sim::Trc294State::kMaxFilter);
        ASSERT_LE(s.attenuator, sim::Trc294State::kMaxAttenuator);
        ASSERT_LE(s.display.size(), 16u);
    }
    rx.resetInput();
    EXPECT_EQ(rx.feed(bytes({0xAA})).size(), 1u);
}
