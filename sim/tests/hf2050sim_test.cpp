// HF2050 codec: unit selection, the unit record and single-field answers,
// setters with their queries, range limits, local refusal, memory channels,
// the shared line, and the receiver served over a pty and over TCP.
#include <gtest/gtest.h>

#include "hf2050sim.h"
#include "simmodels.h"
#include "simserver.h"
#include "simtestclient.h"

using sim::Frames;
using sim::Hf2050Sim;
using simtest::Client;

namespace {

Frames say(Hf2050Sim& rx, const std::string& line)
{
    return rx.feed(line + "\r\n");
}

std::unique_ptr<sim::SimReceiver> made(int unit, std::set<std::string> names)
{
    sim::ModelOptions options;
    options.options = std::move(names);
    return Hf2050Sim::create(unit, options);
}

}  // namespace

TEST(Hf2050Sim, ConnectLineAndPoll)
{
    Hf2050Sim rx(15);
    EXPECT_TRUE(say(rx, "?").empty());  // no unit selected yet
    EXPECT_EQ(say(rx, "UNIT 15;HD;?"), Frames{"UNIT 15 RMT FR 7050.00 MODE US BFO NONE BW 3200 AGC SL CH NONE\r\n"});
    EXPECT_EQ(rx.state().headers, 1);
    EXPECT_EQ(say(rx, "?;NB ?;RF ?;SQ ?"), (Frames{"UNIT 15 RMT FR 7050.00 MODE US BFO NONE BW 3200 AGC SL CH NONE\r\n",
                                                   "NB 0\r\n", "RF 100\r\n", "SQ 0\r\n"}));
}

TEST(Hf2050Sim, SettersAnswerTheirQueries)
{
    Hf2050Sim rx(3);
    const auto& s = rx.state();
    say(rx, "UNIT 3");
    EXPECT_EQ(say(rx, "FR  1.50;FR ?"), Frames{"UNIT 3 FR 1.50\r\n"});  // "%5.2lf" pads with blanks
    EXPECT_EQ(say(rx, "FR 14250.5;FR ?"), Frames{"UNIT 3 FR 14250.50\r\n"});
    EXPECT_EQ(s.frequency, 14250500);
    EXPECT_EQ(say(rx, "MO CW;MO ?"), Frames{"UNIT 3 MODE CW\r\n"});
    EXPECT_EQ(s.bandwidth, 1000);  // the mode brings its bandwidth
    EXPECT_EQ(say(rx, "BF -2.21;BF ?"), Frames{"UNIT 3 BFO -2.21\r\n"});
    EXPECT_EQ(say(rx, "AG OF;AG ?"), Frames{"UNIT 3 AGC OF\r\n"});
    EXPECT_EQ(say(rx, "BW 300;BW ?"), Frames{"UNIT 3 BW 300\r\n"});
    EXPECT_EQ(say(rx, "NB 7;NB ?"), Frames{"NB 7\r\n"});
    EXPECT_EQ(say(rx, "SQ 100;SQ ?"), Frames{"SQ 100\r\n"});
    EXPECT_EQ(say(rx, "RF 0;RF ?"), Frames{"RF 0\r\n"});
    EXPECT_EQ(say(rx, "?"), Frames{"UNIT 3 RMT FR 14250.50 MODE CW BFO -2.21 BW 300 AGC OF CH NONE\r\n"});
    // The BFO is kept outside CW but reported as NONE; AM brings 6 kHz.
    EXPECT_EQ(say(rx, "MO AM;BF ?;BW ?"), (Frames{"UNIT 3 BFO NONE\r\n", "UNIT 3 BW 6000\r\n"}));
    EXPECT_EQ(s.bfo, -2210);
    say(rx, "MO LS");
    EXPECT_EQ(s.bandwidth, 3200);
}

TEST(Hf2050Sim, RangeLimitsAndRefusals)
{
    Hf2050Sim rx(15);
    const auto& s = rx.state();
    say(rx, "UNIT 15");
    EXPECT_EQ(say(rx, "FR 0.00;FR ?"), Frames{"UNIT 15 FR 0.00\r\n"});
    EXPECT_EQ(say(rx, "FR 29999.99;FR ?"), Frames{"UNIT 15 FR 29999.99\r\n"});
    EXPECT_EQ(say(rx, "MO CW;BF 4.00;BF ?"), Frames{"UNIT 15 BFO 4.00\r\n"});
    EXPECT_EQ(say(rx, "BF -4.00;BF ?"), Frames{"UNIT 15 BFO -4.00\r\n"});
    const Frames refused = say(rx, "FR 30000.00;FR -1.00;FR 7000.001;FR 1e3;FR ;FR 7000.;BF 4.01;BF -4.1;BF x;"
                                   "MO IS;MO USB;MO us;AG FAST;BW 2400;BW -300;NB 11;SQ 101;RF 1000;CH 100;"
                                   "XX 1;FR 7000 1;HD 1");
    EXPECT_TRUE(refused.empty());
    EXPECT_EQ(s.frequency, 29999990);
    EXPECT_EQ(s.bfo, -4000);
    EXPECT_EQ(s.mode, "CW");
    EXPECT_EQ(s.agc, "SL");
    EXPECT_EQ(s.bandwidth, 1000);
    EXPECT_EQ(s.noiseBlanker, 0);
    EXPECT_EQ(s.squelch, 0);
    EXPECT_EQ(s.rfGain, 100);
    // ISB only with its option.
    auto isb = made(15, {"ISB"});
    auto& withIsb = dynamic_cast<Hf2050Sim&>(*isb);
    EXPECT_EQ(say(withIsb, "UNIT 15;MO IS;MO ?"), Frames{"UNIT 15 MODE IS\r\n"});
    // Noise, a long line without end and stray bytes pass without an answer.
    EXPECT_TRUE(rx.feed(std::string(600, 'x')).empty());
    EXPECT_TRUE(rx.feed("\r\n").empty());  // the tail of the noise ends as a line that means nothing
    EXPECT_EQ(rx.feed("?\r\n").size(), 1u);
    EXPECT_EQ(say(rx, std::string("\x80\xff;?;\x00", 7)).size(), 1u);
}

TEST(Hf2050Sim, LocalRefusesSettersAndAnswersQueries)
{
    auto local = made(15, {"LOCAL"});
    auto& rx = dynamic_cast<Hf2050Sim&>(*local);
    EXPECT_EQ(say(rx, "UNIT 15;FR 10000.00;MO CW;NB 5;FR ?;MO ?;NB ?"),
              (Frames{"UNIT 15 FR 7050.00\r\n", "UNIT 15 MODE US\r\n", "NB 0\r\n"}));
    EXPECT_EQ(say(rx, "PR 1 = FR 7000.00, MO AM, BW 6000, AG SL;PR 1 ?"), Frames{"CH NONE\r\n"});
    const Frames status = say(rx, "?");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].substr(0, 12), "UNIT 15 LCL ");
}

TEST(Hf2050Sim, MemoryChannels)
{
    Hf2050Sim rx(15);
    const auto& s = rx.state();
    say(rx, "UNIT 15");
    EXPECT_EQ(say(rx, "PR 6 ?"), Frames{"CH NONE\r\n"});
    say(rx, "PR 5 = FR 10100.00, MO CW, BF -1.90, BW 300, AG FA");
    say(rx, "PR 99 = FR 9650.00, MO AM, BW 6000, AG SL");
    EXPECT_EQ(say(rx, "PR 5 ?"), Frames{"CH 5 FR 10100.00 MODE CW BFO -1.90 BW 300 AGC FA\r\n"});
    EXPECT_EQ(say(rx, "PR 99 ?"), Frames{"CH 99 FR 9650.00 MODE AM BFO NONE BW 6000 AGC SL\r\n"});
    EXPECT_EQ(say(rx, "CH 5;?"), Frames{"UNIT 15 RMT FR 10100.00 MODE CW BFO -1.90 BW 300 AGC FA CH 5\r\n"});
    EXPECT_EQ(say(rx, "CH ?"), Frames{"UNIT 15 CH 5\r\n"});
    say(rx, "CH 6");  // empty: refused
    EXPECT_EQ(s.channel, 5);
    say(rx, "FR 10101.00");
    EXPECT_EQ(s.channel, -1);
    // Malformed programming is refused whole.
    for (const char* bad :
         {"PR 7 = FR 7000.00, MO AM, BW 6000", "PR 7 = FR 7000.00, MO XX, BW 6000, AG SL",
          "PR 7 = FR 7000.00, MO AM, BW 2400, AG SL", "PR 7 = FR 7000.00, FR 7000.00, MO AM, BW 6000, AG SL",
          "PR 7 = FR 7000.00, MO AM, BF 5.00, BW 6000, AG SL", "PR 7 = FR 7000.00 MO AM BW 6000 AG SL",
          "PR 7 FR 7000.00, MO AM, BW 6000, AG SL", "PR 100 = FR 7000.00, MO AM, BW 6000, AG SL",
          "PR 7 = FR 30000.00, MO AM, BW 6000, AG SL", "PR 7 = FR 7000.00, MO IS, BW 3200, AG SL", "PR 7 = ", "PR 7",
          "PR"}) {
        EXPECT_TRUE(say(rx, bad).empty()) << bad;
        EXPECT_EQ(say(rx, "PR 7 ?"), Frames{"CH NONE\r\n"}) << bad;
    }
    EXPECT_TRUE(say(rx, "PR 100 ?").empty());
    // Blanks around the items are taken.
    say(rx, "PR 7 =FR 7000.00 ,  MO LS,BW 3200,AG SL");
    EXPECT_EQ(say(rx, "PR 7 ?"), Frames{"CH 7 FR 7000.00 MODE LS BFO NONE BW 3200 AGC SL\r\n"});
}

TEST(Hf2050Sim, SharedLineEachUnitAnswersWhenSelected)
{
    sim::LineConfig config;
    std::string error;
    ASSERT_TRUE(sim::parseLineConfig("HF2050:1+HF2050:2", config, error)) << error;
    sim::SimLine line = sim::SimLine::fromConfig(config);
    line.as<Hf2050Sim>(1)->state().frequency = 21000000;
    const Frames replies = line.feed("UNIT 2;FR ?;UNIT 1;FR ?;UNIT 3;FR ?\r\nUNIT 2;MO LS\r\nFR ?\r\n");
    EXPECT_EQ(replies, (Frames{"UNIT 2 FR 21000.00\r\n", "UNIT 1 FR 7050.00\r\n", "UNIT 2 FR 21000.00\r\n"}));
    EXPECT_EQ(line.as<Hf2050Sim>(0)->state().mode, "US");
    EXPECT_EQ(line.as<Hf2050Sim>(1)->state().mode, "LS");
    // Unit 1 is not unit 15's prefix: "UNIT 15" selects nobody here.
    EXPECT_TRUE(line.feed("UNIT 15;?\r\n").empty());
}

TEST(Hf2050Sim, AnyAddressAnswersWithItsOwnUnit)
{
    auto other = made(16, {"ANY-ADDRESS"});
    const Frames reply = other->feed("UNIT 15;HD;?\r\n");
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(reply[0].substr(0, 8), "UNIT 16 ");
}

TEST(Hf2050Served, OverPtyAndTcp)
{
    std::string error;
    auto pty = sim::SimServer::create("HF2050", sim::SimServer::Pty, 0, &error);
    ASSERT_NE(pty, nullptr) << error;
    Client device = Client::device(pty->devicePath());
    ASSERT_TRUE(device.isOpen());
    device.send("UNIT 15;HD;?\r\n");
    EXPECT_EQ(device.readLines('\n', 1), "UNIT 15 RMT FR 7050.00 MODE US BFO NONE BW 3200 AGC SL CH NONE\r\n");

    auto tcp = sim::SimServer::create("HF2050:1+HF2050:2", sim::SimServer::Tcp, 0, &error);
    ASSERT_NE(tcp, nullptr) << error;
    Client c = Client::tcp(tcp->port());
    ASSERT_TRUE(c.isOpen());
    c.send("UNIT 2;FR 3500.00;FR ?;UNIT 1;FR ?\r\n");
    EXPECT_EQ(c.readLines('\n', 2), "UNIT 2 FR 3500.00\r\nUNIT 1 FR 7050.00\r\n");
}
