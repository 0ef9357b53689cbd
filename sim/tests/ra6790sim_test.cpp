// RA6790 codec: the connect dialogue with self-test and option query, the
// status line field by field, the filter list, refusals, options, and the
// receiver served over a pty and over TCP.
#include <gtest/gtest.h>

#include "ra6790sim.h"
#include "simmodels.h"
#include "simserver.h"
#include "simtestclient.h"

using sim::Frames;
using sim::Ra6790Sim;
using simtest::Client;

namespace {

std::string frame(int address, const std::string& command)
{
    return "$" + std::to_string(address) + command + "\r";
}

// The status line without its R (moving S-meter) field.
std::string steady(const std::string& status)
{
    const auto r = status.find('R');
    const auto s = status.find('S', r);
    if (r == std::string::npos || s == std::string::npos) {
        return status;
    }
    return status.substr(0, r) + status.substr(s);
}

}  // namespace

TEST(Ra6790Sim, ConnectDialogueSelfTestOptionStatusAndFilters)
{
    Ra6790Sim rx(77);
    EXPECT_TRUE(rx.feed(frame(77, "S2")).empty());
    EXPECT_TRUE(rx.state().remote);
    EXPECT_EQ(rx.feed(frame(77, "S6")), Frames{"BITE OK 77\r"});
    EXPECT_TRUE(rx.feed(frame(77, "S8")).empty());
    EXPECT_EQ(rx.feed(frame(77, "TD")), Frames{"TD A08449 S\r"});
    EXPECT_TRUE(rx.feed(frame(77, "S9")).empty());
    const Frames status = rx.feed(frame(77, "G"));
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(steady(status[0]), "F7.050000D6I3.20M1S2\r");
    EXPECT_EQ(rx.feed(frame(77, "S5")), Frames{"U,0.4,1.4,3.2,8.2,16\r"});
    EXPECT_TRUE(rx.feed(frame(77, "S1")).empty());
    EXPECT_FALSE(rx.state().remote);
    // Queries in local; TD only in the diagnostic state.
    EXPECT_EQ(rx.feed(frame(77, "S6") + frame(77, "S5") + frame(77, "G")).size(), 3u);
    EXPECT_TRUE(rx.feed(frame(77, "TD")).empty());
}

TEST(Ra6790Sim, OptionsShowInTheirAnswers)
{
    sim::ModelOptions options;
    options.options = {"A09666", "ISB", "BITE-FAIL"};
    auto made = Ra6790Sim::create(5, options);
    auto& rx = dynamic_cast<Ra6790Sim&>(*made);
    const Frames bite = rx.feed(frame(5, "S6"));
    ASSERT_EQ(bite.size(), 1u);
    EXPECT_EQ(bite[0].find("OK"), std::string::npos) << bite[0];
    EXPECT_EQ(bite[0].substr(bite[0].size() - 3), "05\r");  // the address before the last character
    EXPECT_EQ(rx.feed(frame(5, "S8") + frame(5, "TD")), Frames{"TD A09666 R\r"});
    EXPECT_EQ(rx.feed(frame(5, "S5")), Frames{"L,U,0.4,1.4,3.2,8.2,16\r"});
    EXPECT_EQ(rx.minFrequency(), 5000);
    // The standard receiver's type reply has no R at all.
    Ra6790Sim plain(5);
    plain.feed(frame(5, "S8"));
    const Frames td = plain.feed(frame(5, "TD"));
    ASSERT_EQ(td.size(), 1u);
    EXPECT_EQ(td[0].find('R'), std::string::npos);
    EXPECT_EQ(plain.minFrequency(), 500000);
}

TEST(Ra6790Sim, StatusFieldsAndRangeLimits)
{
    sim::ModelOptions options;
    options.options = {"A09666"};
    auto made = Ra6790Sim::create(1, options);
    auto& rx = dynamic_cast<Ra6790Sim&>(*made);
    auto& s = rx.state();
    rx.feed(frame(1, "S2") + frame(1, "F0.005000") + frame(1, "D3") + frame(1, "B-2.21") + frame(1, "I16.00") +
            frame(1, "M5") + frame(1, "A37"));
    EXPECT_EQ(steady(rx.statusReply()), "B-2.21F0.005000D3I16M5A37S2\r");
    rx.feed(frame(1, "F30.000000") + frame(1, "B8.00") + frame(1, "I0.40") + frame(1, "M3"));
    EXPECT_EQ(steady(rx.statusReply()), "B8.00F30.000000D3I0.40M3S2\r");
    EXPECT_EQ(s.bfo, 8000);
    // Outside the range nothing changes; the standard receiver starts at 500 kHz.
    rx.feed(frame(1, "F0.004999") + frame(1, "F30.000001") + frame(1, "B8.01"));
    EXPECT_EQ(s.frequency, 30000000);
    EXPECT_EQ(s.bfo, 8000);
    Ra6790Sim standard(1);
    standard.feed(frame(1, "S2") + frame(1, "F0.499999"));
    EXPECT_EQ(standard.state().frequency, 7050000);
    standard.feed(frame(1, "F0.500000"));
    EXPECT_EQ(standard.state().frequency, 500000);
    // AM without gain and BFO fields; S1 shows in the status.
    rx.feed(frame(1, "D1") + frame(1, "M2") + frame(1, "S1"));
    EXPECT_EQ(steady(rx.statusReply()), "F30.000000D1I0.40M2S1\r");
}

TEST(Ra6790Sim, SmeterMovesWithinItsRange)
{
    Ra6790Sim rx(1);
    rx.state().smeterBase = 250;
    std::set<std::string> seen;
    for (int i = 0; i < 40; ++i) {
        const std::string status = rx.statusReply();
        const auto r = status.find('R');
        const auto s = status.find('S', r);
        ASSERT_NE(r, std::string::npos);
        ASSERT_NE(s, std::string::npos);
        const std::string raw = status.substr(r + 1, s - r - 1);
        const int value = std::stoi(raw);
        EXPECT_GE(value, 0);
        EXPECT_LE(value, 255);
        seen.insert(raw);
    }
    EXPECT_GT(seen.size(), 3u);
}

TEST(Ra6790Sim, SidebandFilterInSsbAndIsbOnlyWithTheLowerFilter)
{
    Ra6790Sim rx(1);
    auto& s = rx.state();
    rx.feed(frame(1, "S2") + frame(1, "D1") + frame(1, "I8.20"));
    EXPECT_EQ(rx.bandwidthInUse(), 8200);
    rx.feed(frame(1, "D5"));
    EXPECT_EQ(rx.bandwidthInUse(), 3200);
    rx.feed(frame(1, "D3"));
    EXPECT_EQ(rx.bandwidthInUse(), 8200);
    rx.feed(frame(1, "D4"));  // no lower sideband filter: no ISB
    EXPECT_EQ(s.mode, 3);
    rx.feed(frame(1, "I2.70") + frame(1, "I0") + frame(1, "I-1.4"));  // not installed / nonsense
    EXPECT_EQ(s.filterWidth, 8200);

    // The set-up command rewrites the list; S5 reports it, an L brings ISB.
    rx.feed(frame(1, "S7L,U,0.3,0.0,6.0,"));
    EXPECT_EQ(rx.feed(frame(1, "S5")), Frames{"L,U,0.3,6\r"});
    EXPECT_EQ(s.filterWidth, 300);  // 8.2 kHz went away
    rx.feed(frame(1, "D4"));
    EXPECT_EQ(s.mode, 4);
    // Malformed lists are refused whole.
    for (const char* bad : {"S7", "S7U,L,", "S7x,", "S7U,1,2,3,4,5,6,7,", "S7U,1,2,3,4,5,0.0,7,", "S731,"}) {
        rx.feed(frame(1, bad));
        EXPECT_EQ(rx.feed(frame(1, "S5")), Frames{"L,U,0.3,6\r"}) << bad;
    }
}

TEST(Ra6790Sim, RefusesInLocalAndMalformedFrames)
{
    Ra6790Sim rx(77);
    const Ra6790Sim fresh(77);
    auto& s = rx.state();
    EXPECT_TRUE(
        rx.feed(frame(77, "F14.000000") + frame(77, "D5") + frame(77, "M3") + frame(77, "I0.40") + frame(77, "S7U,"))
            .empty());
    EXPECT_EQ(s.frequency, fresh.state().frequency);
    EXPECT_EQ(s.mode, fresh.state().mode);
    EXPECT_EQ(s.agc, fresh.state().agc);
    EXPECT_EQ(s.filterWidth, fresh.state().filterWidth);
    EXPECT_EQ(s.filters, fresh.state().filters);

    rx.feed(frame(77, "S2"));
    const Frames replies = rx.feed(frame(77, "F1e1") + frame(77, "F 14.0") + frame(77, "F") + frame(77, "D0") +
                                   frame(77, "D7") + frame(77, "M0") + frame(77, "M8") + frame(77, "A256") +
                                   frame(77, "B1.2.3") + frame(77, "Q") + "$G\r" + "$77\r" + "$1234G\r" + "77G\r" +
                                   "$\r" + "\r" + std::string("$77\x00G\r", 6) + frame(7, "G") + frame(770, "G"));
    EXPECT_TRUE(replies.empty());
    EXPECT_EQ(s.frequency, fresh.state().frequency);
    EXPECT_EQ(s.bfo, fresh.state().bfo);
    EXPECT_EQ(s.mode, fresh.state().mode);
    EXPECT_EQ(s.agc, fresh.state().agc);
    EXPECT_EQ(s.gain, fresh.state().gain);
    // Split anywhere, LF tolerated, leading zeros in the address taken.
    EXPECT_TRUE(rx.feed("$7").empty());
    EXPECT_EQ(rx.feed("7G\r\n").size(), 1u);
    EXPECT_EQ(rx.feed("$077S6\r"), Frames{"BITE OK 77\r"});
    // A long run without CR is dropped; what follows is read.
    EXPECT_TRUE(rx.feed(std::string(300, '\x7f')).empty());
    EXPECT_EQ(rx.feed("\r" + frame(77, "S6")).size(), 1u);
}

TEST(Ra6790Sim, AnyAddressActsOnEveryFrameButAnswersWithItsOwn)
{
    sim::ModelOptions options;
    options.options = {"ANY-ADDRESS"};
    auto rx = Ra6790Sim::create(77, options);
    EXPECT_EQ(rx->feed(frame(5, "S6")), Frames{"BITE OK 77\r"});
}

TEST(Ra6790Sim, SharedLineEachAddressAnswers)
{
    sim::LineConfig config;
    std::string error;
    ASSERT_TRUE(sim::parseLineConfig("RA6790:1+RA6790:2", config, error)) << error;
    sim::SimLine line = sim::SimLine::fromConfig(config);
    EXPECT_EQ(line.feed(frame(2, "S6") + frame(1, "S6") + frame(3, "S6")), (Frames{"BITE OK 02\r", "BITE OK 01\r"}));
    line.feed(frame(1, "S2") + frame(1, "D5"));
    EXPECT_EQ(line.as<Ra6790Sim>(0)->state().mode, 5);
    EXPECT_EQ(line.as<Ra6790Sim>(1)->state().mode, 6);
}

TEST(Ra6790Served, OverPtyAndTcp)
{
    std::string error;
    auto pty = sim::SimServer::create("RA6790", sim::SimServer::Pty, 0, &error);
    ASSERT_NE(pty, nullptr) << error;
    Client device = Client::device(pty->devicePath());
    ASSERT_TRUE(device.isOpen());
    device.send("$77S6\r$77S5\r");
    EXPECT_EQ(device.readLines('\r', 2), "BITE OK 77\rU,0.4,1.4,3.2,8.2,16\r");

    sim::ModelOptions options;
    options.options = {"A09666"};
    auto tcp = sim::SimServer::create("RA6790:12", sim::SimServer::Tcp, 0, &error, options);
    ASSERT_NE(tcp, nullptr) << error;
    Client c = Client::tcp(tcp->port());
    ASSERT_TRUE(c.isOpen());
    c.send("$12S2\r$12F0.010000\r$12S8\r$12TD\r$12S9\r$12G\r");
    const std::string got = c.readLines('\r', 2);
    EXPECT_EQ(got.substr(0, 12), "TD A09666 R\r");
    EXPECT_EQ(got.substr(12, 10), "F0.010000D");
}

TEST(Ra6790Served, FaultsReachEveryConnectStep)
{
    // Two good answers (self-test, type), then the first status garbled:
    // the path a driver takes for a status that does not parse.
    std::string error;
    auto server = sim::SimServer::create("RA6790", sim::SimServer::Tcp, 0, &error);
    ASSERT_NE(server, nullptr) << error;
    sim::FaultPlan plan;
    plan.garbageAfter = 2;
    server->setFaults(plan);
    Client c = Client::tcp(server->port());
    ASSERT_TRUE(c.isOpen());
    c.send("$77S2\r$77S6\r$77S8\r$77TD\r$77S9\r$77G\r");
    const std::string got = c.readLines('\r', 3);
    ASSERT_EQ(got.substr(0, 23), "BITE OK 77\rTD A08449 S\r");
    const std::string status = got.substr(23);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.back(), '\r');
    EXPECT_EQ(status.find("D6"), std::string::npos) << status;
}
