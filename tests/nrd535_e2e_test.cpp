// The NRD535 driver end to end: loaded from libquorvin.so, talking to the
// simulated receiver over a pty and over TCP; controls, memory channels,
// the trace file and faults.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "driver/core/receiver.h"
#include "driver/models/nrd535/nrd535codec.h"
#include "e2esupport.h"
#include "nrd535sim.h"

namespace quorvin::e2e {
namespace {

class Nrd535EndToEnd : public ModelFixture {
protected:
    void connectAndSettle(int dbg = 0)
    {
        startSim("NRD535");
        configure(DrvNRD535, dbg);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(waitUntil([&] { return m_log.count("HFF") > 0 && m_log.count("SMt") > 0; }))
            << "no status after connect";
    }
    template <class F>
    auto state(F&& f)
    {
        return withSim<sim::Nrd535Sim>([&](sim::Nrd535Sim& s) { return f(s.state()); });
    }
    bool simRemote()
    {
        return state([](const sim::Nrd535State& s) { return s.remote; });
    }
};

TEST_P(Nrd535EndToEnd, ConnectReportsEveryFieldOnceThenControls)
{
    connectAndSettle();
    EXPECT_EQ(m_log.count("ConnState"), 1);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectNoError}));
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 10; }));
    for (const char* name : {"Frq", "Mod", "Flt", "Agc", "Att", "NBl", "Sql", "HFF", "Chn"}) {
        EXPECT_EQ(m_log.count(name), 1) << name;
    }
    EXPECT_TRUE(m_log.has("Frq", {9650000}));
    EXPECT_TRUE(m_log.has("Mod", {ModAM, 0}));
    EXPECT_TRUE(m_log.has("Flt", {2200}));  // filter digit 1: F_Int
    EXPECT_TRUE(m_log.has("Agc", {AgcFast}));
    EXPECT_TRUE(m_log.has("Att", {AttOff, 0}));
    EXPECT_TRUE(m_log.has("NBl", {NBlOff}));
    EXPECT_TRUE(m_log.has("Sql", {SqlOff}));
    EXPECT_TRUE(m_log.has("HFF", {HFFOff}));
    EXPECT_TRUE(m_log.has("Chn", {-1}));
    // The S-meter moves; its S-point text follows the dBµV value.
    const Event* smt = m_log.last("SMt");
    ASSERT_NE(smt, nullptr);
    EXPECT_EQ(smt->args[1], 9650000);
    std::string dbuv;
    m_drv->get_RxSMtLvl(0, dBuV, &dbuv);
    EXPECT_FALSE(dbuv.empty());
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "NRD-535");
    EXPECT_FALSE(simRemote());

    Receiver& rx = receiver();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 14250000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {14250000}); }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.frequency; }), 14250000);
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_FALSE(simRemote());  // wrapped in H1 ... H0

    ASSERT_EQ(m_drv->put_RxMod(0, ModUSB), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModUSB}); }));
    EXPECT_EQ(rx.Requested().ModType, ModNone);
    const auto sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxMod(0, ModNone), S_OK);
    EXPECT_EQ(rx.CommandsSent(), sent);

    ASSERT_EQ(m_drv->put_RxFltBW(0, 900), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Flt", {1000}); }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.filter; }), 2);

    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcSlow), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Agc", {AgcSlow}); }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.agc; }), 0);

    ASSERT_EQ(m_drv->put_RxNBlSts(0, NBlPeek), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("NBl", {NBlPeek}); }));
    ASSERT_EQ(m_drv->put_RxAttSts(0, AttOn1), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Att", {AttOn1, -20}); }));
    ASSERT_EQ(m_drv->put_RxHFFSts(0, HFFOn), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("HFF", {HFFOn}); }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.noiseBlanker; }), 1);
    EXPECT_TRUE(state([](const sim::Nrd535State& s) { return s.hfFilter; }));
    EXPECT_EQ(rx.Requested().NBlType, NBlNone);
    EXPECT_EQ(rx.Requested().AttState, AttNone);
    EXPECT_EQ(rx.Requested().HFFState, HFFNone);

    // A BFO request beyond the range is clamped and sent as U2-5000.
    ASSERT_EQ(m_drv->put_RxMod(0, ModCW), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModCW}); }));
    ASSERT_EQ(m_drv->put_RxBFO(0, -7000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModCW, -5000}); }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.bfo; }), -5000);
    EXPECT_EQ(rx.Requested().BFOValue, -1);

    ASSERT_EQ(m_drv->put_RxTime(0, "123456"), S_OK);
    EXPECT_TRUE(waitUntil(
        [&] { return state([](const sim::Nrd535State& s) { return s.clockHours * 100 + s.clockMinutes; }) == 1234; }));

    std::int32_t result = 0;
    ASSERT_EQ(m_drv->RxRemote(0, 1, &result), S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(m_log.has("Rmt", {1}));
    EXPECT_TRUE(waitUntil([&] { return simRemote(); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 7100000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return state([](const sim::Nrd535State& s) { return s.frequency; }) == 7100000; }));
    EXPECT_TRUE(simRemote());  // held in remote: only the F frame
    ASSERT_EQ(m_drv->RxRemote(0, 0, &result), S_OK);
    EXPECT_TRUE(m_log.has("Rmt", {0}));

    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnClosed}));
    EXPECT_TRUE(waitUntil([&] { return !simRemote(); }));
}

TEST_P(Nrd535EndToEnd, HeldInRemoteTheRequestsAreReportedAsTheReceiverTakesThem)
{
    // No full status is polled while held in remote; what the receiver
    // took must still reach the client, once.
    connectAndSettle();
    Receiver& rx = receiver();
    std::int32_t result = 0;
    ASSERT_EQ(m_drv->RxRemote(0, 1, &result), S_OK);
    ASSERT_TRUE(waitUntil([&] { return simRemote(); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 7100000), S_OK);
    ASSERT_EQ(m_drv->put_RxMod(0, ModLSB), S_OK);
    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcSlow), S_OK);
    ASSERT_EQ(m_drv->put_RxAttSts(0, AttOn1), S_OK);
    ASSERT_EQ(m_drv->put_RxFltBW(0, 12000), S_OK);
    ASSERT_TRUE(waitUntil([&] {
        return m_log.has("Frq", {7100000}) && m_log.has("Mod", {ModLSB}) && m_log.has("Agc", {AgcSlow}) &&
               m_log.has("Att", {AttOn1, -20}) && m_log.has("Flt", {12000});
    }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.frequency; }), 7100000);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.mode; }), 3);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.agc; }), 0);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.attenuator; }), 1);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.filter; }), 3);
    std::int32_t hz = 0;
    ASSERT_EQ(m_drv->get_RxFrq(0, NONE, &hz), S_OK);
    EXPECT_EQ(hz, 7100000);
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(rx.Requested().ModType, ModNone);
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 10; }));
    EXPECT_EQ(m_log.count("Frq"), 2);
    EXPECT_TRUE(simRemote());

    // Back in local control the polled status goes on as before.
    ASSERT_EQ(m_drv->RxRemote(0, 0, &result), S_OK);
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 9500000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {9500000}); }));
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
}

TEST_P(Nrd535EndToEnd, MemoryChannelsWriteDumpClearLoad)
{
    connectAndSettle();
    RCODE rc = R_KO;
    ASSERT_EQ(m_drv->RxChnWrite(0, 5, 7100000, 0, ModLSB, 2200, AgcSlow, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 6, 15400000, 0, ModAM, 5500, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 200, 15400000, 0, ModAM, 5500, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_KO);
    ASSERT_TRUE(waitUntil([&] { return state([](const sim::Nrd535State& s) { return s.channels[6].has_value(); }); }));

    ASSERT_EQ(m_drv->RxChnDump(0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {-1}); }));
    const auto channels = m_log.all("ChnStatus");
    ASSERT_EQ(channels.size(), 201u);
    for (int ch = 0; ch < 200; ++ch) {
        EXPECT_EQ(channels[static_cast<std::size_t>(ch)].args[1], ch);
    }
    // index, chn, frq, bfo, mod, flt, agc, msk
    EXPECT_EQ(channels[5].args, (std::vector<std::int64_t>{0, 5, 7100000, 0, ModLSB, 2200, AgcSlow, 0}));
    EXPECT_EQ(channels[6].args, (std::vector<std::int64_t>{0, 6, 15400000, 0, ModAM, 5500, AgcFast, 0}));
    EXPECT_EQ(channels[0].args, (std::vector<std::int64_t>{0, 0, 0, 0, ModNone, 0, AgcNone, 0}));
    EXPECT_EQ(channels[200].args, (std::vector<std::int64_t>{0, -1, 0, 0, ModNone, 0, AgcNone, 0}));

    m_log.clear();
    ASSERT_EQ(m_drv->RxChnClear(0, 5, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnRead(0, 5, &rc), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {5}); }));
    EXPECT_EQ(m_log.last("ChnStatus")->args[2], 0);

    ASSERT_EQ(m_drv->RxChnLoad(0, 6, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {15400000}); }));
    EXPECT_TRUE(m_log.has("Chn", {6}));
    std::int16_t chn = 0;
    m_drv->get_RxChn(0, &chn);
    EXPECT_EQ(chn, 6);
    EXPECT_TRUE(waitUntil([&] { return m_log.has("Flt", {5500}); }));

    // RTTY and FAX channels are written at the frequency the driver shows
    // for them: the receiver stores its own, the carrier offset below.
    ASSERT_EQ(m_drv->RxChnWrite(0, 7, 10002210, 0, ModRTTY, 2200, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 8, 10001900, 0, ModFAX, 2200, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return state([](const sim::Nrd535State& s) { return s.channels[8].has_value(); }); }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.channels[7]->frequency; }), 10000000);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.channels[8]->frequency; }), 10000000);
    m_log.clear();
    ASSERT_EQ(m_drv->RxChnRead(0, 7, &rc), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {7}); }));
    EXPECT_EQ(m_log.last("ChnStatus")->args[2], 10002210);
}

// Waits until the receiver sits at `receiverHz` in mode digit `digit`, the
// driver shows `shownHz` and no frequency or mode request is left pending.
#define EXPECT_SETTLES(receiverHz, digit, shownHz)                                                                     \
    EXPECT_TRUE(waitUntil([&] {                                                                                        \
        const auto sim = state([](const sim::Nrd535State& s) { return std::pair(s.frequency, s.mode); });              \
        return sim.first == (receiverHz) && sim.second == (digit) && rx.GetFrq(NONE) == (shownHz) &&                   \
               rx.Requested().FrqValue == 0xFFFFFFFFu && rx.Requested().ModType == ModNone;                            \
    })) << "receiver "                                                                                                 \
        << state([](const sim::Nrd535State& s) { return s.frequency; }) << " mode "                                    \
        << state([](const sim::Nrd535State& s) { return s.mode; }) << ", shown " << rx.GetFrq(NONE) << ", pending "    \
        << rx.Requested().FrqValue << " / " << rx.Requested().ModType

TEST_P(Nrd535EndToEnd, ModeChangesAcrossCarrierOffsetsKeepTheRequestedFrequency)
{
    connectAndSettle();
    Receiver& rx = receiver();
    // Frequency, then RTTY, before any status: the receiver reports 14.1 MHz
    // in RTTY, and the driver tunes it below by the carrier offset so the
    // carrier sits where it was asked.
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 14100000), S_OK);
    ASSERT_EQ(m_drv->put_RxMod(0, ModRTTY), S_OK);
    EXPECT_SETTLES(14097790, 0, 14100000);
    EXPECT_TRUE(m_log.has("Mod", {ModRTTY}));

    // Back to AM: the carrier stays where it is shown.
    ASSERT_EQ(m_drv->put_RxMod(0, ModAM), S_OK);
    EXPECT_SETTLES(14100000, 4, 14100000);

    // Mode first, then the frequency: the frequency already went out for
    // FAX, so the receiver's report confirms it as it stands.
    ASSERT_EQ(m_drv->put_RxMod(0, ModFAX), S_OK);
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 7000000), S_OK);
    EXPECT_SETTLES(6998100, 6, 7000000);
    pump(500);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.frequency; }), 6998100);

    // FAX to RTTY at the front panel alone: tuned again, the display stays.
    withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) { return s.panelMode(0); });
    EXPECT_SETTLES(6998100 - 2210 + 1900, 0, 7000000);
}

TEST_P(Nrd535EndToEnd, AStatusCrossingTheRetuneForANewModeShowsNoPassingFrequency)
{
    // Two polls' status replies, both sent before the driver tuned the
    // receiver again for its new mode: the second still shows the receiver
    // where it was. Read in the new mode that is a frequency 1.9 kHz off,
    // never really held; it must not flash on screen (nor be forwarded).
    useManualTicks();
    connectAndSettle();
    Receiver& rx = receiver();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 7000000), S_OK);
    ASSERT_TRUE(tickUntil([&] { return rx.GetFrq(NONE) == 7000000 && rx.Requested().FrqValue == 0xFFFFFFFFu; }));
    m_log.clear();
    ASSERT_EQ(m_drv->put_RxMod(0, ModFAX), S_OK);
    ASSERT_TRUE(waitUntil([&] { return state([](const sim::Nrd535State& s) { return s.mode; }) == 6; }));
    tickTogether(2);
    EXPECT_TRUE(tickUntil([&] {
        return state([](const sim::Nrd535State& s) { return s.frequency; }) == 6998100 &&
               rx.Requested().FrqValue == 0xFFFFFFFFu;
    }));
    EXPECT_EQ(rx.GetFrq(NONE), 7000000);
    for (const Event& e : m_log.all("Frq")) {
        EXPECT_EQ(e.args[1], 7000000);
    }
    EXPECT_TRUE(m_log.has("Mod", {ModFAX}));

    // A retune the line ate is not hidden for long: the receiver's own
    // report shows, and the retune goes out once more.
    ASSERT_EQ(m_drv->put_RxMod(0, ModAM), S_OK);
    ASSERT_TRUE(tickUntil([&] {
        return state([](const sim::Nrd535State& s) { return s.frequency; }) == 7000000 &&
               rx.Requested().FrqValue == 0xFFFFFFFFu && rx.Requested().ModType == ModNone;
    }));
    sim::FaultPlan plan;
    plan.dropCommand = nrd535::frame(nrd535::frequencyCommand(6998100));
    plan.dropCount = 1;
    m_sim->setFaults(plan);
    ASSERT_EQ(m_drv->put_RxMod(0, ModFAX), S_OK);
    EXPECT_TRUE(tickUntil(
        [&] {
            return state([](const sim::Nrd535State& s) { return s.frequency; }) == 6998100 &&
                   rx.Requested().FrqValue == 0xFFFFFFFFu && rx.GetFrq(NONE) == 7000000;
        },
        100));
    EXPECT_EQ(m_log.count("DataError"), 0);
}

TEST_P(Nrd535EndToEnd, AChannelReadNeverAnsweredEndsWithADataError)
{
    // The read command is lost on the line: the receiver answers its polls
    // but never the read, and the client learns that the read failed.
    useManualTicks();
    connectAndSettle();
    sim::FaultPlan plan;
    plan.dropCommand = nrd535::frame(nrd535::readChannelsCommand(7, 7));
    plan.dropCount = 1;
    m_sim->setFaults(plan);
    RCODE rc = R_KO;
    ASSERT_EQ(m_drv->RxChnRead(0, 7, &rc), S_OK);
    ASSERT_EQ(rc, R_OK);
    EXPECT_TRUE(tickUntil([&] { return m_log.count("DataError") > 0; }, 100));
    EXPECT_TRUE(m_log.has("DataError", {ConnectRxDataError}));
    EXPECT_FALSE(m_log.connectionLost());

    // An answered read ends quietly.
    m_log.clear();
    ASSERT_EQ(m_drv->RxChnRead(0, 7, &rc), S_OK);
    ASSERT_EQ(rc, R_OK);
    EXPECT_TRUE(tickUntil([&] { return m_log.count("ChnStatus") > 0; }, 20));
    tickTimes(40);
    EXPECT_EQ(m_log.count("DataError"), 0);
}

TEST_P(Nrd535EndToEnd, ChannelLoadsAcrossCarrierOffsetsKeepTheChannelsFrequency)
{
    connectAndSettle();
    Receiver& rx = receiver();
    RCODE rc = R_KO;
    ASSERT_EQ(m_drv->RxChnWrite(0, 20, 10002210, 0, ModRTTY, 2200, AgcFast, 0, &rc), S_OK);
    ASSERT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 21, 5000000, 0, ModAM, 2200, AgcFast, 0, &rc), S_OK);
    ASSERT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 22, 12001900, 0, ModFAX, 2200, AgcFast, 0, &rc), S_OK);
    ASSERT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return state([](const sim::Nrd535State& s) { return s.channels[22].has_value(); }); }));

    // AM (9.65 MHz) to an RTTY channel, then back to an AM channel.
    ASSERT_EQ(m_drv->RxChnLoad(0, 20, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    EXPECT_SETTLES(10000000, 0, 10002210);
    ASSERT_EQ(m_drv->RxChnLoad(0, 21, &rc), S_OK);
    EXPECT_SETTLES(5000000, 4, 5000000);
    pump(500);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.frequency; }), 5000000);

    // A channel recalled at the front panel: taken as the receiver reports it.
    withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) { return s.recallChannel(22); });
    EXPECT_SETTLES(12000000, 6, 12001900);
    pump(500);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.frequency; }), 12000000);
}

TEST_P(Nrd535EndToEnd, ModesTheCodeTableMapsAreSentAndConfirmed)
{
    connectAndSettle();
    Receiver& rx = receiver();
    // ISB goes out as the USB digit and the receiver's USB confirms it.
    ASSERT_EQ(m_drv->put_RxMod(0, ModISB), S_OK);
    EXPECT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModUSB}); }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.mode; }), 2);
    EXPECT_EQ(rx.Requested().ModType, ModNone);
    // CW_F goes out as CW.
    ASSERT_EQ(m_drv->put_RxMod(0, ModCW_F), S_OK);
    EXPECT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModCW}); }));
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.mode; }), 1);
    EXPECT_EQ(rx.Requested().ModType, ModNone);
}

TEST_P(Nrd535EndToEnd, HOptionBringsTheVariableBandwidth)
{
    sim::ModelOptions options;
    options.options.insert("H");
    startSim("NRD535", options);
    withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) {
        s.state().variableBandwidth = 800;
        return 0;
    });
    configure(DrvNRD535, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.count("HFF") > 0; }));
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "NRD-535 H");
    // The variable bandwidth stands in for the filter digit's width.
    EXPECT_EQ(m_log.count("Flt"), 1);
    EXPECT_TRUE(m_log.has("Flt", {800}));
}

TEST_P(Nrd535EndToEnd, GarbledIdentificationIsABadId)
{
    startSim("NRD535");
    sim::FaultPlan plan;
    plan.garbageAfter = 0;
    plan.garbageBytes = std::string("\x7F\x7F"
                                    "535\r");
    m_sim->setFaults(plan);
    configure(DrvNRD535, 1);
    EXPECT_EQ(connect(), ConnectRxIdenError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectRxIdenError}));
    std::ifstream in(traceFile("nrd535.log"));
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("=> Err:bad ID\n"), std::string::npos) << text.str();
}

TEST_P(Nrd535EndToEnd, TraceFileHoldsTheConnectDialogue)
{
    connectAndSettle(1);
    std::ifstream in(traceFile("nrd535.log"));
    ASSERT_TRUE(in.good());
    std::stringstream text;
    text << in.rdbuf();
    const std::string log = text.str();
    EXPECT_EQ(log.rfind("\n=> @0000000 TRY CONNECT\n", 0), 0u) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("-> @[0-9]{7} \\?\n<- @[0-9]{7}NRD-535\n"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("-> @[0-9]{7} H\n<- @[0-9]{7}H0\n"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("-> @[0-9]{7} I\n<- @[0-9]{7}I014096500001\n"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("=> @[0-9]{7} OPENED\n\n$"))) << log;
}

TEST_P(Nrd535EndToEnd, SilentReceiverFailsTheConnectWithEmptyResponse)
{
    startSim("NRD535");
    sim::FaultPlan plan;
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    configure(DrvNRD535, 1);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnTimeOut}));
    std::ifstream in(traceFile("nrd535.log"));
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("=> Err:empty response\n"), std::string::npos) << text.str();
}

TEST_P(Nrd535EndToEnd, SilenceAfterConnectTimesOut)
{
    startSim("NRD535");
    sim::FaultPlan plan;
    plan.silenceAfter = 9;  // the connect dialogue and the first answers
    m_sim->setFaults(plan);
    configure(DrvNRD535, 0, 150, 10);
    keepPauses();  // the bound below counts the ticks that arrive while the driver is busy
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }, 15000));
    EXPECT_TRUE(m_log.has("ConnState", {ConnectNoError}));
    // Five answers are swallowed per poll (I, Q, N, M, U1): about C_Retr polls.
    int swallowed = 0;
    for (const auto& line : simTrace()) {
        swallowed += line.find(" <- (") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(swallowed, 5 * 8);
    EXPECT_LE(swallowed, 5 * 11);
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
}

TEST_P(Nrd535EndToEnd, GarbageGivesDataErrorsAndNoTimeOut)
{
    startSim("NRD535");
    sim::FaultPlan plan;
    plan.garbageAfter = 9;
    plan.garbageBytes = "Z?\r";
    m_sim->setFaults(plan);
    configure(DrvNRD535, 0, 150, 10);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.count("DataError") >= 13; }, 15000));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    std::int32_t connected = 0;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_NE(connected, 0);
}

TEST_P(Nrd535EndToEnd, TruncatedRecordsAreFrameErrorsAndInventNothing)
{
    startSim("NRD535");
    sim::FaultPlan plan;
    plan.truncateAfter = 9;
    plan.truncateTo = 2;
    m_sim->setFaults(plan);
    configure(DrvNRD535, 0, 150, 10);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("DataError", {ConnectRxFramError}); }));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    // What the connect read stays; the cut records changed nothing.
    EXPECT_EQ(m_log.count("Frq"), 1);
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, 9650000);
}

INSTANTIATE_TEST_SUITE_P(Links, Nrd535EndToEnd, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

class Nrd535Tcp : public Nrd535EndToEnd {};

TEST_P(Nrd535Tcp, DroppedConnectionGivesAConnectionEvent)
{
    startSim("NRD535");
    sim::FaultPlan plan;
    plan.hangUpAfter = 12;
    m_sim->setFaults(plan);
    configure(DrvNRD535, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.connectionLost(); }));
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
    pump(300);
}

INSTANTIATE_TEST_SUITE_P(Links, Nrd535Tcp, ::testing::Values(Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
