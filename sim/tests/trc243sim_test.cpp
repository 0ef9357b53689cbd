// TRC243 codec: address frames, the connect dialogue with its
// identification and failure switches, every setter with its acknowledgement,
// the A, B and C records position by position, refusals and malformed
// frames; a shared line; then served over a pty and over TCP.
#include <gtest/gtest.h>

#include <set>
#include <sys/wait.h>

#include "rxsimoptions.h"
#include "rxsimprocess.h"
#include "simserver.h"
#include "simtestclient.h"
#include "trc243sim.h"

using sim::Frames;
using sim::Trc243Sim;

namespace {

std::string frame(int address, const std::string& text)
{
    return "\r" + std::string(1, Trc243Sim::addressCharacter(address)) + text + "\n";
}

std::string reply(int address, const std::string& text)
{
    return frame(address, text);
}

// Sends one command to a receiver at address 0 and returns its one reply text.
std::string ask(Trc243Sim& rx, const std::string& text)
{
    const Frames replies = rx.feed(frame(rx.address(), text));
    if (replies.size() != 1) {
        return "<" + std::to_string(replies.size()) + " replies>";
    }
    const std::string& r = replies[0];
    return r.substr(2, r.size() - 3);
}

void goRemote(Trc243Sim& rx)
{
    rx.feed(frame(rx.address(), "RMT"));
}

}  // namespace

TEST(Trc243Sim, ConnectDialogueAndIdentification)
{
    Trc243Sim rx(5);
    EXPECT_EQ(rx.feed(frame(5, "LOC")), Frames{reply(5, "LOC")});
    EXPECT_EQ(rx.feed(frame(5, "RMT")), Frames{reply(5, "REM OPS---")});
    EXPECT_TRUE(rx.state().remote);
    // Already in remote: no identification.
    EXPECT_EQ(ask(rx, "RMT"), "REM");
    EXPECT_EQ(ask(rx, "LOC"), "LOC");
    EXPECT_FALSE(rx.state().remote);

    Trc243Sim full(0, Trc243Sim::Options{true, true, true});
    EXPECT_EQ(ask(full, "RMT"), "REM OPS5%/");
    Trc243Sim old(0, Trc243Sim::Options{false, true, false, true});
    EXPECT_EQ(ask(old, "RMT"), "REM OPT-%-");
    // The OP identification sits right after "OP": two places after the "O".
    EXPECT_EQ(ask(full, "LOC"), "LOC");
    const std::string id = ask(full, "RMT");
    const std::size_t op = id.find("OP");
    ASSERT_NE(op, std::string::npos);
    ASSERT_GT(id.size(), op + 5);
    EXPECT_EQ(id[op + 2], 'S');
}

TEST(Trc243Sim, ConnectFailureSwitches)
{
    Trc243Sim::Options o;
    o.badModel = true;
    Trc243Sim badModel(0, o);
    EXPECT_EQ(ask(badModel, "RMT"), "REM OPX---");
    o = {};
    o.noOp = true;
    Trc243Sim noOp(0, o);
    EXPECT_EQ(ask(noOp, "RMT"), "REM");
    o = {};
    o.noFilter = true;
    o.isb = true;
    Trc243Sim noFilter(0, o);
    EXPECT_EQ(ask(noFilter, "RMT"), "REM OPS");
    o = {};
    o.badAddress = true;
    Trc243Sim badAddress(3, o);
    EXPECT_EQ(badAddress.feed(frame(3, "LOC")), Frames{reply(4, "LOC")});
    Trc243Sim top(15, o);
    EXPECT_EQ(top.feed(frame(15, "LOC")), Frames{reply(0, "LOC")});
}

TEST(Trc243Sim, RecordsPositionByPosition)
{
    Trc243Sim rx;
    auto& s = rx.state();
    s.frequency = 7050000;
    s.mode = 3;
    s.filter = 2;
    s.bfo = -800;
    s.agc[3] = 'S';
    const std::string a = ask(rx, "GA");
    EXPECT_EQ(a, "AF07050000M3I2B-0800HS");
    EXPECT_EQ(a.size(), 22u);
    // Limits; the SSB filter in USB; no AGC in FM.
    s.frequency = 5000;
    s.mode = 1;
    s.bfo = 7999;
    EXPECT_EQ(rx.aRecord(), "AF00005000M1I0B+7999HS");
    s.frequency = 29999999;
    s.mode = 5;
    s.bfo = -7999;
    EXPECT_EQ(rx.aRecord(), "AF29999999M5I2B-7999H-");

    s.attenuator = 2;
    s.preselector = 1;
    s.squelch = 99;
    s.outputs = 0x3F;
    s.channel = 100;
    const std::string b = ask(rx, "GB");
    ASSERT_EQ(b.size(), 20u);
    EXPECT_EQ(b.substr(0, 10), "BA2V1U99Q1");  // every level lies below 99: muted
    EXPECT_EQ(b[10], 'S');
    EXPECT_EQ(b.substr(14), "XoK100");
    s.squelch = 0;
    s.outputs = 0;
    s.channel = 0;
    const std::string quiet = rx.bRecord();
    EXPECT_EQ(quiet.substr(0, 10), "BA2V1U00Q0");
    EXPECT_EQ(quiet.substr(14), "X0K000");

    // No record holds an acknowledgement word.
    for (int mask = 0; mask < 64; ++mask) {
        s.outputs = mask;
        const std::string line = rx.bRecord();
        for (const char* word : {"OM", "om", "TST", "tst", "OP", "op", "REM", "rem", "LOC", "loc"}) {
            EXPECT_EQ(line.find(word), std::string::npos) << line;
        }
    }
}

TEST(Trc243Sim, SmeterMovesAndFollowsTheAttenuator)
{
    Trc243Sim rx;
    std::set<std::string> seen;
    for (int i = 0; i < 40; ++i) {
        const std::string b = rx.bRecord();
        seen.insert(b.substr(11, 3));
    }
    EXPECT_GT(seen.size(), 3u);
    rx.state().attenuator = 2;
    for (int i = 0; i < 20; ++i) {
        EXPECT_LE(std::stoi(rx.bRecord().substr(11, 3)), 40 + 15 - 20);
    }
}

TEST(Trc243Sim, SettersAnswerOmAndChangeTheState)
{
    Trc243Sim rx(0, Trc243Sim::Options{true});
    goRemote(rx);
    auto& s = rx.state();
    for (const char* command : {"F14250000", "B-1900", "M3", "I5", "H3F", "A1", "V1", "U20", "XX5", "B+000"}) {
        EXPECT_EQ(ask(rx, command), "OM") << command;
    }
    EXPECT_EQ(s.frequency, 14250000);
    EXPECT_EQ(s.bfo, 0);
    EXPECT_EQ(s.mode, 3);
    EXPECT_EQ(s.filter, 5);
    EXPECT_EQ(s.agc[3], 'F');
    EXPECT_EQ(s.attenuator, 1);
    EXPECT_EQ(s.preselector, 1);
    EXPECT_EQ(s.squelch, 20);
    EXPECT_EQ(s.outputs, 5);
    EXPECT_EQ(ask(rx, "GA"), "AF14250000M3I5B+0000HF");
    // Limits that are valid.
    for (const char* command :
         {"F00005000", "F29999999", "B+7999", "B-799", "I6", "I1", "M4", "H4M", "H0S", "A0", "U00", "XX0", "XXo"}) {
        EXPECT_EQ(ask(rx, command), "OM") << command;
    }
    EXPECT_EQ(s.refused, 0);
    // The AGC kept per mode comes back with the mode.
    ask(rx, "M0");
    EXPECT_EQ(rx.aRecord().back(), 'S');
    ask(rx, "M4");
    EXPECT_EQ(rx.aRecord().back(), 'M');
    // The filter of the other modes comes back after an SSB mode.
    ask(rx, "M6");
    EXPECT_EQ(rx.aRecord().substr(12, 2), "I1");
}

TEST(Trc243Sim, RefusalsOmAndLoc)
{
    Trc243Sim local;
    const Trc243Sim fresh;
    for (const char* command : {"F14250000", "M3", "A1", "K1", "P01", "XXA"}) {
        EXPECT_EQ(ask(local, command), "loc") << command;
    }
    EXPECT_EQ(local.state().frequency, fresh.state().frequency);
    // Queries are answered in local too.
    EXPECT_EQ(ask(local, "GA").substr(0, 2), "AF");
    EXPECT_EQ(ask(local, "C01").substr(0, 4), "C001");
    EXPECT_EQ(ask(local, "T"), "TST");

    Trc243Sim rx;  // no ISB option
    goRemote(rx);
    auto& s = rx.state();
    for (const char* command :
         {"F00004999", "F30000000", "F1425000", "F1425000x", "B8000", "B+8000", "B+12", "B+12345", "B*100", "M4",
          "M7",        "M",         "I0",       "I7",        "H5F",   "H0F",    "H4S",  "H3X",     "H3",    "A3",
          "V2",        "U1",        "U1x",      "XX",        "XX/",   "XXp",    "K0",   "K101",    "K5",    "P00",
          "P101",      "P1",        "E00",      "C00",       "C101",  "GC",     "G",    "Z",       "TX"}) {
        EXPECT_EQ(ask(rx, command), "om") << command;
    }
    // In USB every filter command is refused (the SSB filter is fixed).
    ask(rx, "M1");
    EXPECT_EQ(ask(rx, "I2"), "om");
    EXPECT_EQ(s.frequency, fresh.state().frequency);
    EXPECT_EQ(s.bfo, fresh.state().bfo);
    EXPECT_EQ(s.filter, fresh.state().filter);
    EXPECT_EQ(s.agc, fresh.state().agc);
    EXPECT_EQ(s.attenuator, fresh.state().attenuator);
}

TEST(Trc243Sim, FramesAddressesNoiseAndSplits)
{
    Trc243Sim rx(7);
    EXPECT_TRUE(rx.feed(frame(6, "GA") + frame(8, "GA")).empty());  // other receivers
    EXPECT_EQ(rx.feed(frame(7, "GA")).size(), 1u);
    // Without an address character: taken and answered without one.
    const Frames plain = rx.feed("\rLOC\n");
    EXPECT_EQ(plain, Frames{"\rLOC\n"});
    // No CR, no text, a control character, bit 7: ignored without an answer.
    const int before = rx.state().refused;
    EXPECT_TRUE(rx.feed("7GA\n\r7\n\r\n\r7G\tA\n\r7G\xC1\n").empty());
    EXPECT_EQ(rx.state().refused, before + 5);
    // Split anywhere; an overlong line is dropped and what follows is read.
    EXPECT_TRUE(rx.feed("\r7G").empty());
    EXPECT_EQ(rx.feed("A\n").size(), 1u);
    EXPECT_TRUE(rx.feed("\r7" + std::string(60, 'F')).empty());
    EXPECT_EQ(rx.feed("\n" + frame(7, "T")), Frames{reply(7, "TST")});
    // Several frames in one write: answered in order.
    const Frames three = rx.feed(frame(7, "GA") + frame(7, "GB") + frame(7, "T"));
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0][2], 'A');
    EXPECT_EQ(three[1][2], 'B');
}

TEST(Trc243Sim, ChannelsStoreRecallReadErase)
{
    Trc243Sim rx;
    goRemote(rx);
    auto& s = rx.state();
    EXPECT_EQ(ask(rx, "C42"), "C042F00000000M0I0B+0000H-A0");  // empty
    ask(rx, "F09650000");
    ask(rx, "M0");
    ask(rx, "I6");
    ask(rx, "A2");
    EXPECT_EQ(ask(rx, "P42"), "OM");
    EXPECT_EQ(ask(rx, "P100"), "OM");
    EXPECT_EQ(ask(rx, "C42"), "C042F09650000M0I6B+0000HSA2");
    ask(rx, "F14000000");
    ask(rx, "M1");
    ask(rx, "A0");
    EXPECT_EQ(ask(rx, "K42"), "OM");
    EXPECT_EQ(s.frequency, 9650000);
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(s.filter, 6);
    EXPECT_EQ(s.attenuator, 2);
    EXPECT_EQ(rx.bRecord().substr(16), "K042");
    ask(rx, "F09651000");
    EXPECT_EQ(s.channel, 0);
    EXPECT_EQ(ask(rx, "K100"), "OM");
    EXPECT_EQ(ask(rx, "E100"), "OM");
    EXPECT_EQ(s.channel, 0);
    EXPECT_EQ(ask(rx, "K100"), "om");  // erased: empty
    EXPECT_EQ(ask(rx, "C100"), "C100F00000000M0I0B+0000H-A0");
}

TEST(Trc243Sim, SharedLineEachAddressAnswers)
{
    sim::LineConfig config;
    std::string error;
    ASSERT_TRUE(sim::parseLineConfig("TRC243:1+TRC243:15", config, error)) << error;
    sim::SimLine line = sim::SimLine::fromConfig(config);
    line.as<Trc243Sim>(1)->state().frequency = 12345678;
    const Frames replies = line.feed(frame(15, "GA") + frame(1, "LOC") + frame(2, "GA"));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], reply(15, "AF12345678M1I0B+0000HS"));
    EXPECT_EQ(replies[1], reply(1, "LOC"));
    EXPECT_FALSE(sim::parseLineConfig("TRC243:16", config, error));
}

TEST(Trc243Serving, OverAPtyAndOverTcp)
{
    std::string error;
    auto pty = sim::SimServer::create("TRC243:3", sim::SimServer::Pty, 0, &error);
    ASSERT_NE(pty, nullptr) << error;
    simtest::Client c = simtest::Client::device(pty->devicePath());
    ASSERT_TRUE(c.isOpen());
    c.send(frame(3, "LOC"));
    EXPECT_EQ(c.readLines('\n', 1), reply(3, "LOC"));
    c.send(frame(3, "RMT") + frame(3, "F10000000") + frame(3, "GA"));
    EXPECT_EQ(c.readLines('\n', 3), reply(3, "REM OPS---") + reply(3, "OM") + reply(3, "AF10000000M1I0B+0000HS"));

    sim::ModelOptions options;
    options.options = {"241", "ISB"};
    auto tcp = sim::SimServer::create("TRC243", sim::SimServer::Tcp, 0, &error, options);
    ASSERT_NE(tcp, nullptr) << error;
    sim::FaultPlan plan;
    plan.silenceAfter = 1;
    tcp->setFaults(plan);
    simtest::Client t = simtest::Client::tcp(tcp->port());
    ASSERT_TRUE(t.isOpen());
    t.send(frame(0, "RMT"));
    EXPECT_EQ(t.readLines('\n', 1), reply(0, "REM OPT5--"));
    t.send(frame(0, "GA"));
    EXPECT_EQ(t.read(1, 300), "");  // silent from the second reply on
}

TEST(RxsimThreeModels, ChildProcessPrintsOneLinePerLineAndServesEach)
{
    sim::RxsimProcess rxsim;
    std::string error;
    ASSERT_TRUE(rxsim.start({"TRC294", "NDX264", "TRC243:2", "--pty", "--option", "A", "--option", "ISB"}, &error))
        << error;
    ASSERT_EQ(rxsim.lines().size(), 3u);
    EXPECT_EQ(rxsim.lines()[0].rfind("TRC294 /dev/", 0), 0u) << rxsim.lines()[0];
    EXPECT_EQ(rxsim.lines()[1].rfind("NDX264 /dev/", 0), 0u) << rxsim.lines()[1];
    EXPECT_EQ(rxsim.lines()[2].rfind("TRC243:2 /dev/", 0), 0u) << rxsim.lines()[2];

    simtest::Client trc294 = simtest::Client::device(rxsim.endpoint(0));
    ASSERT_TRUE(trc294.isOpen());
    trc294.send(std::string("\xFF\x03\x08\xF4", 4));  // the A model's status request
    EXPECT_EQ(trc294.read(2), "\x09\x06");
    simtest::Client ndx = simtest::Client::device(rxsim.endpoint(1));
    ASSERT_TRUE(ndx.isOpen());
    ndx.send("\x11MI\r\n\x04");
    EXPECT_EQ(ndx.readLines('\x04', 1), "\x11T.264/ISB\r\n\x04");
    simtest::Client trc243 = simtest::Client::device(rxsim.endpoint(2));
    ASSERT_TRUE(trc243.isOpen());
    trc243.send(frame(2, "RMT"));
    EXPECT_EQ(trc243.readLines('\n', 1), reply(2, "REM OPS5--"));

    const int status = rxsim.terminate();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RxsimThreeModels, CorruptSwitchesAndHelp)
{
    sim::RxsimOptions o;
    std::string error;
    ASSERT_TRUE(sim::parseRxsimArgs({"TRC294", "--tcp", "0", "--corrupt=3"}, o, error)) << error;
    EXPECT_EQ(o.faults.corruptAfter, 3);
    EXPECT_EQ(o.faults.corruptAt, -1);
    ASSERT_TRUE(sim::parseRxsimArgs({"TRC294", "--pty", "--corrupt-at", "0"}, o, error)) << error;
    EXPECT_EQ(o.faults.corruptAfter, 0);
    EXPECT_EQ(o.faults.corruptAt, 0);
    ASSERT_TRUE(sim::parseRxsimArgs({"TRC294", "--pty", "--corrupt-at=-2", "--corrupt=5"}, o, error)) << error;
    EXPECT_EQ(o.faults.corruptAt, -2);
    EXPECT_EQ(o.faults.corruptAfter, 5);
    EXPECT_FALSE(sim::parseRxsimArgs({"TRC294", "--pty", "--corrupt-at=x"}, o, error));
    EXPECT_NE(error.find("byte position"), std::string::npos) << error;

    const std::string help = sim::rxsimHelp();
    for (const char* word : {"--corrupt", "--corrupt-at", "TRC294: A", "EXT", "SSB", "NDX264: ISB", "TRC243: ISB",
                             "241", "BADMODEL", "NOOP", "NOFILTER", "BADADDR"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

TEST(Trc243Sim, RandomBytesKeepTheStateWithinItsLimits)
{
    Trc243Sim rx(1, Trc243Sim::Options{true});
    sim::SimRandom random(13);
    const std::string alphabet = "\r\n1RMTFBMIHAVUKPEXCG+-0123456789";
    for (int round = 0; round < 3000; ++round) {
        std::string chunk;
        const int size = random.between(1, 16);
        for (int i = 0; i < size; ++i) {
            const int pick = random.between(0, static_cast<int>(alphabet.size()) + 3);
            chunk.push_back(pick < static_cast<int>(alphabet.size()) ? alphabet[static_cast<std::size_t>(pick)]
                                                                     : static_cast<char>(random.between(0, 255)));
        }
        for (const std::string& line : rx.feed(chunk)) {
            ASSERT_GE(line.size(), 3u);
            ASSERT_EQ(line.front(), '\r');
            ASSERT_EQ(line.back(), '\n');
        }
        const auto& s = rx.state();
        ASSERT_GE(s.frequency, sim::Trc243State::kMinFrequency);
        ASSERT_LE(s.frequency, sim::Trc243State::kMaxFrequency);
        ASSERT_LE(std::abs(s.bfo), sim::Trc243State::kMaxBfo);
        ASSERT_GE(s.mode, 0);
        ASSERT_LT(s.mode, sim::Trc243State::kModes);
    }
    EXPECT_EQ(rx.feed("\n" + frame(1, "T")), Frames{reply(1, "TST")});
}
