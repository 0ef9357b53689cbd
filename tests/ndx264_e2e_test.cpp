// The NDX264 driver end to end: loaded from libquorvin.so, talking to the
// simulated receiver over a pty and over TCP; controls, all 100 memory
// channels, the trace file and faults.
#include <gtest/gtest.h>

#include <QTimer>

#include <fstream>
#include <sstream>

#include "driver/core/receiver.h"
#include "driver/models/ndx264/ndx264codec.h"
#include "e2esupport.h"
#include "ndx264sim.h"

namespace quorvin::e2e {
namespace {

class Ndx264EndToEnd : public ModelFixture {
protected:
    void connectAndSettle(int dbg = 0, const sim::ModelOptions& options = {})
    {
        startSim("NDX264", options);
        configure(DrvNDX264, dbg);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(waitUntil([&] { return m_log.count("Att") > 0 && m_log.count("SMt") > 0; }))
            << "no status after connect";
    }
    template <class F>
    auto state(F&& f)
    {
        return withSim<sim::Ndx264Sim>([&](sim::Ndx264Sim& s) { return f(s.state()); });
    }
    std::int32_t simFrequency()
    {
        return state([](const sim::Ndx264State& s) { return s.frequency; });
    }
    char simMode()
    {
        return state([](const sim::Ndx264State& s) { return s.mode; });
    }
    std::string readTrace()
    {
        std::ifstream in(traceFile("ndx264.log"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_P(Ndx264EndToEnd, ConnectReportsEveryFieldOnceThenEveryControl)
{
    connectAndSettle();
    EXPECT_EQ(m_log.count("ConnState"), 1);
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 3; }));
    for (const char* field : {"Frq", "Mod", "Flt", "Agc", "Att"}) {
        EXPECT_EQ(m_log.count(field), 1) << field;
    }
    EXPECT_TRUE(m_log.has("Frq", {7050000}));
    EXPECT_TRUE(m_log.has("Mod", {ModUSB, 0}));
    EXPECT_TRUE(m_log.has("Flt", {2700}));  // digit 7: the SSB filter
    EXPECT_TRUE(m_log.has("Agc", {AgcFast}));
    EXPECT_TRUE(m_log.has("Att", {AttOff, 0}));
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "T.264");
    Receiver& rx = receiver();

    // The range limits; the top is cut to the 10 Hz step, never rounded up.
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 29999999), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {29999990}); }));
    EXPECT_EQ(simFrequency(), 29999990);
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 0), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {0}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 10000000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {10000000}); }));

    ASSERT_EQ(m_drv->put_RxMod(0, ModCW), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModCW}); }));
    EXPECT_EQ(simMode(), 'C');
    // 500 Hz in CW: the narrowest filter not below it, 600 Hz (digit 3).
    ASSERT_EQ(m_drv->put_RxFltBW(0, 500), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Flt", {600}); }));
    EXPECT_EQ(state([](const sim::Ndx264State& s) { return s.filter; }), 3);
    ASSERT_EQ(m_drv->put_RxBFO(0, -1500), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModCW, -1500}); }));
    EXPECT_EQ(state([](const sim::Ndx264State& s) { return s.bfo; }), -1500);

    // RTTY shows the carrier 2210 Hz below the receiver's frequency: the
    // receiver is tuned again so the shown frequency stays.
    ASSERT_EQ(m_drv->put_RxMod(0, ModRTTY), S_OK);
    ASSERT_TRUE(waitUntil([&] {
        return m_log.has("Mod", {ModRTTY}) && simFrequency() == 10002210 && rx.GetFrq(NONE) == 10000000;
    })) << simFrequency()
        << " " << rx.GetFrq(NONE);
    // FAX: CW with the driver's -1900 Hz BFO, read back as FAX.
    ASSERT_EQ(m_drv->put_RxMod(0, ModFAX), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModFAX, -1900}); }));
    EXPECT_EQ(simMode(), 'C');
    ASSERT_EQ(m_drv->put_RxMod(0, ModCW), S_OK);
    ASSERT_TRUE(waitUntil([&] { return rx.GetMod() == ModCW && rx.Requested().ModType == ModNone; }));
    EXPECT_NE(state([](const sim::Ndx264State& s) { return s.bfo; }), -1900);
    ASSERT_EQ(m_drv->put_RxMod(0, ModLSB), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModLSB}); }));
    ASSERT_EQ(m_drv->put_RxMod(0, ModAM), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModAM}); }));
    EXPECT_EQ(simMode(), 'A');
    // ISB would go out as "MI", the identification request: refused.
    const auto sent = rx.CommandsSent();
    MODTYPE mod = ModNone;
    ASSERT_EQ(m_drv->put_RxMod(0, ModISB), S_OK);
    ASSERT_EQ(m_drv->put_RxMod(0, ModFM), S_OK);
    EXPECT_EQ(rx.CommandsSent(), sent);
    m_drv->get_RxMod(0, &mod);
    EXPECT_EQ(mod, ModAM);

    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcSlow), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Agc", {AgcSlow}); }));
    EXPECT_EQ(state([](const sim::Ndx264State& s) { return s.agc; }), 'L');
    const auto beforeManual = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcManual), S_OK);  // needs R_MAgc
    EXPECT_EQ(rx.CommandsSent(), beforeManual);

    ASSERT_EQ(m_drv->put_RxAttSts(0, AttOn2), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Att", {AttOn2, -12}); }));
    ASSERT_EQ(m_drv->put_RxAttSts(0, AttPre), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Att", {AttPre, 12}); }));
    EXPECT_EQ(state([](const sim::Ndx264State& s) { return s.attenuation; }), 12);

    ASSERT_EQ(m_drv->put_RxTime(0, "123456"), S_OK);
    EXPECT_TRUE(waitUntil([&] {
        return state([](const sim::Ndx264State& s) {
                   return s.clockHours * 10000 + s.clockMinutes * 100 + s.clockSeconds;
               }) == 123456;
    }));
    std::string smeter;
    m_drv->get_RxSMtLvl(0, dBuV, &smeter);
    EXPECT_FALSE(smeter.empty());

    // Disconnect leaves a plain receiver: USB, BFO 0, where it was.
    ASSERT_EQ(m_drv->put_RxMod(0, ModCW), S_OK);
    ASSERT_TRUE(waitUntil([&] { return rx.GetMod() == ModCW && rx.Requested().ModType == ModNone; }));
    EXPECT_EQ(rx.GetFrq(NONE), 10000000);
    EXPECT_EQ(simFrequency(), 10000000);
    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnClosed}));
    EXPECT_TRUE(waitUntil([&] {
        return simMode() == 'U' && state([](const sim::Ndx264State& s) { return s.bfo; }) == 0 &&
               simFrequency() == 10000000;
    })) << simMode()
        << " " << simFrequency();
    EXPECT_EQ(state([](const sim::Ndx264State& s) { return s.refused; }), 0);
}

TEST_P(Ndx264EndToEnd, AStatusCrossingTheRetuneForANewModeShowsNoPassingFrequency)
{
    // Two polls' status frames, both sent before the driver tuned the
    // receiver again for its new mode (FAX: the receiver 1.9 kHz above the
    // carrier): the second still shows the receiver where it was, a
    // frequency 1.9 kHz off in the new mode that must not flash on screen
    // (nor be forwarded).
    startSim("NDX264");
    configure(DrvNDX264, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Att") > 0; }));
    Receiver& rx = receiver();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 7000000), S_OK);
    ASSERT_TRUE(tickUntil([&] { return rx.GetFrq(NONE) == 7000000 && rx.Requested().FrqValue == 0xFFFFFFFFu; }))
        << rx.GetFrq(NONE) << " " << simFrequency();
    m_log.clear();
    ASSERT_EQ(m_drv->put_RxMod(0, ModFAX), S_OK);
    ASSERT_TRUE(waitUntil([&] { return state([](const sim::Ndx264State& s) { return s.bfo; }) == -1900; }));
    tickTogether(2);
    EXPECT_TRUE(tickUntil([&] {
        return simFrequency() == 7001900 && rx.Requested().FrqValue == 0xFFFFFFFFu && rx.Requested().ModType == ModNone;
    })) << simFrequency();
    EXPECT_EQ(rx.GetFrq(NONE), 7000000);
    for (const Event& e : m_log.all("Frq")) {
        EXPECT_EQ(e.args[1], 7000000);
    }
    EXPECT_TRUE(m_log.has("Mod", {ModFAX}));
}

TEST_P(Ndx264EndToEnd, HeldInRemoteALostTuneIsStillFoundOutAndGivenUp)
{
    // Held in remote with a request outstanding the poll holds its status
    // request back, but not for ever: the receiver is asked again, and a
    // tune it never took is sent once more, then given up.
    startSim("NDX264");
    configure(DrvNDX264, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Att") > 0; }));
    std::int32_t result = 0;
    m_drv->RxRemote(0, 1, &result);
    ASSERT_EQ(result, 1);
    sim::FaultPlan plan;
    plan.dropCommand = ndx264::frequencyCommand(7100000);
    plan.dropCount = 1;
    m_sim->setFaults(plan);
    m_drv->put_RxFrq(0, NONE, 7100000);
    EXPECT_TRUE(tickUntil([&] { return m_log.has("Frq", {7100000}); }, 100));
    EXPECT_EQ(simFrequency(), 7100000);
    EXPECT_EQ(m_log.count("DataError"), 0);

    plan.dropCommand = ndx264::frequencyCommand(7200000);
    plan.dropCount = 2;
    m_sim->setFaults(plan);
    m_drv->put_RxFrq(0, NONE, 7200000);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") > 0; }, 150));
    EXPECT_TRUE(m_log.has("DataError", {ConnectRxDataError}));
    EXPECT_TRUE(m_log.all("Frq").back().args[1] == 7100000);
    EXPECT_EQ(receiver().EffectiveFrq(), 7100000u);
    EXPECT_EQ(simFrequency(), 7100000);
    EXPECT_FALSE(m_log.connectionLost());
}

TEST_P(Ndx264EndToEnd, AllHundredChannelsWriteDumpClearRead)
{
    if (GetParam() == Transport::Tcp) {
        GTEST_SKIP() << "the channel walk runs over the pty; TCP is covered by the controls";
    }
    connectAndSettle();
    Receiver& rx = receiver();
    RCODE rc = R_KO;
    // A channel holds the settings it is given; the receiver stays as it was.
    ASSERT_EQ(m_drv->RxChnWrite(0, 5, 14100000, 0, ModLSB, 2700, AgcSlow, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 99, 2997790, 0, ModRTTY, 300, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 100, 3000000, 0, ModAM, 6000, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_PERR);
    ASSERT_TRUE(waitUntil(
        [&] { return state([](const sim::Ndx264State& s) { return s.channels[99].frequency; }) == 3000000; }));
    const auto five = state([](const sim::Ndx264State& s) { return s.channels[5]; });
    EXPECT_EQ(five.frequency, 14100000);
    EXPECT_EQ(five.mode, 'L');
    EXPECT_EQ(five.filter, 7);
    EXPECT_EQ(five.agc, 'L');
    const auto last = state([](const sim::Ndx264State& s) { return s.channels[99]; });
    EXPECT_EQ(last.mode, 'F');
    EXPECT_EQ(last.filter, 2);  // 300 Hz
    EXPECT_TRUE(waitUntil([&] { return simFrequency() == 7050000 && simMode() == 'U'; }));

    m_log.clear();
    ASSERT_EQ(m_drv->RxChnDump(0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    const auto channels = m_log.all("ChnStatus");
    ASSERT_EQ(channels.size(), 101u);
    for (int ch = 0; ch < 100; ++ch) {
        EXPECT_EQ(channels[static_cast<std::size_t>(ch)].args[1], ch);
    }
    // index, chn, frq, bfo, mod, flt, agc, msk
    EXPECT_EQ(channels[5].args, (std::vector<std::int64_t>{0, 5, 14100000, 0, ModLSB, 2700, AgcSlow, 0}));
    EXPECT_EQ(channels[99].args, (std::vector<std::int64_t>{0, 99, 3000000 - 2210, 0, ModRTTY, 300, AgcFast, 0}));
    EXPECT_EQ(channels[0].args, (std::vector<std::int64_t>{0, 0, 10000000, 0, ModCW, 3000, AgcSlow, 0}));
    EXPECT_EQ(channels[100].args, (std::vector<std::int64_t>{0, -1, 0, 0, ModNone, 0, AgcNone, 0}));
    // The dump showed nothing to the operator: the receiver is as it was.
    EXPECT_EQ(m_log.count("Frq"), 0);
    EXPECT_TRUE(waitUntil([&] { return simFrequency() == 7050000 && simMode() == 'U'; }));
    EXPECT_EQ(rx.GetFrq(NONE), 7050000);

    ASSERT_EQ(m_drv->RxChnClear(0, 5, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    // Cleared: 10 MHz CW, AGC slow, the filter for 3400 Hz (6000 Hz, digit 6).
    const auto cleared = state([](const sim::Ndx264State& s) { return s.channels[5]; });
    EXPECT_EQ(cleared.frequency, 10000000);
    EXPECT_EQ(cleared.mode, 'C');
    EXPECT_EQ(cleared.bfo, 0);
    EXPECT_EQ(cleared.filter, 6);
    EXPECT_EQ(cleared.agc, 'L');
    m_log.clear();
    ASSERT_EQ(m_drv->RxChnRead(0, 99, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_log.count("ChnStatus"), 2);  // channel 99, then the end
    EXPECT_TRUE(m_log.has("ChnStatus", {99, 3000000 - 2210}));
    ASSERT_EQ(m_drv->RxChnRead(0, 100, &rc), S_OK);
    EXPECT_EQ(rc, R_PERR);

    ASSERT_EQ(m_drv->RxChnLoad(0, 99, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Chn", {99}) && m_log.has("Mod", {ModRTTY}); }));
    EXPECT_EQ(rx.GetFrq(NONE), 3000000 - 2210);
    EXPECT_EQ(simFrequency(), 3000000);  // a recalled channel is not tuned again
}

TEST_P(Ndx264EndToEnd, ADumpThatLosesTheReceiverReturnsTheFailure)
{
    connectAndSettle();
    sim::FaultPlan plan;
    plan.silenceAfter = 4;
    m_sim->setFaults(plan);
    RCODE rc = R_OK;
    ASSERT_EQ(m_drv->RxChnDump(0, &rc), S_OK);
    EXPECT_NE(rc, R_OK);
    EXPECT_LT(m_log.count("ChnStatus"), 10);
    EXPECT_FALSE(m_log.has("ChnStatus", {-1}));
}

TEST_P(Ndx264EndToEnd, IsbOptionAndTraceFile)
{
    sim::ModelOptions options;
    options.options.insert("ISB");
    connectAndSettle(1, options);
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "T.264/ISB");
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 2; }));
    pump(100);
    const std::string log = readTrace();
    EXPECT_EQ(log.rfind("\n=> @0000000 TRY CONNECT\n", 0), 0u) << log;
    EXPECT_NE(log.find(" SET LOCAL\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" MI\n<- @"), std::string::npos) << log;
    EXPECT_NE(log.find("T.264/ISB"), std::string::npos) << log;
    EXPECT_NE(log.find(" OPENED\n\n"), std::string::npos) << log;
    // Poll replies are traced as frames.
    EXPECT_NE(log.find(" FRAME   \x11"
                       "F 7050.00"),
              std::string::npos)
        << log;
}

TEST_P(Ndx264EndToEnd, ConnectFailures)
{
    startSim("NDX264");
    sim::FaultPlan plan;
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    configure(DrvNDX264, 1);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnTimeOut}));
    EXPECT_NE(readTrace().find("=> Err:bad response\n"), std::string::npos);

    // An answer that is no frame of this receiver.
    plan = {};
    plan.garbageAfter = 0;
    plan.garbageBytes = "F 7050.00\r\n";
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectRxIdenError);
    EXPECT_NE(readTrace().find("=> Err:bad address\n"), std::string::npos);
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "NDX264");
}

TEST_P(Ndx264EndToEnd, SilenceAfterConnectTimesOut)
{
    startSim("NDX264");
    sim::FaultPlan plan;
    plan.silenceAfter = 5;
    m_sim->setFaults(plan);
    configure(DrvNDX264, 0, 150, 10);
    // Counting silent ticks: the ticks come from the test.
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }));
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, 7050000);
}

TEST_P(Ndx264EndToEnd, GarbageAndCutFramesAreFrameErrorsWithoutATimeOut)
{
    startSim("NDX264");
    sim::FaultPlan plan;
    // A frame start that never ends: the buffer is capped, not grown.
    plan.garbageAfter = 5;
    plan.garbageBytes = "\x11"
                        "F 1234.56\r\nZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ";
    m_sim->setFaults(plan);
    configure(DrvNDX264, 0, 150, 10);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.count("DataError") >= 3; }, 15000));
    EXPECT_TRUE(m_log.has("DataError", {ConnectRxFramError}));
    EXPECT_LE(receiver().ReceiveBuffer().size(), 256u);
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    EXPECT_FALSE(m_log.has("Frq", {1234560}));

    // Frames cut short: refused, the next whole one is taken.
    m_log.clear();
    plan = {};
    plan.truncateAfter = 0;
    plan.truncateTo = 20;
    m_sim->setFaults(plan);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("DataError", {ConnectRxFramError}); }));
    EXPECT_EQ(m_log.count("Frq"), 0);
    std::int32_t connected = 0;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_NE(connected, 0);
}

INSTANTIATE_TEST_SUITE_P(Links, Ndx264EndToEnd, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

class Ndx264Tcp : public Ndx264EndToEnd {};

TEST_P(Ndx264Tcp, AChannelReadAskedForDuringAFramesWriteIsRefusedAtOnce)
{
    // Over TCP a frame goes out a byte at a time, events delivered between
    // the bytes. A channel read asked for from there could neither send its
    // recall (it waits behind the frame) nor take the answers (the receiver
    // is busy): it is refused at once, and no recall goes out late.
    startSim("NDX264");
    configure(DrvNDX264, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Att") > 0; }));
    bool called = false;
    bool busy = false;
    RCODE code = R_OK;
    QTimer::singleShot(0, [&] {
        called = true;
        busy = receiver().IsBusy() != 0;
        m_drv->RxChnRead(0, 53, &code);
    });
    ASSERT_TRUE(tickUntil([&] { return called; }, 3));
    ASSERT_TRUE(busy) << "the read was not asked for during a write";
    EXPECT_EQ(code, R_KO);
    tickTimes(4);
    for (const std::string& line : simTrace()) {
        EXPECT_EQ(line.find("RM53"), std::string::npos) << line;
    }
    // Asked for outside a write, the same read works.
    m_drv->RxChnRead(0, 53, &code);
    EXPECT_EQ(code, R_OK);
    EXPECT_TRUE(m_log.has("ChnStatus", {53}));
}

TEST_P(Ndx264Tcp, DroppedConnectionGivesAConnectionEvent)
{
    startSim("NDX264");
    sim::FaultPlan plan;
    plan.hangUpAfter = 6;
    m_sim->setFaults(plan);
    configure(DrvNDX264, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.connectionLost(); }));
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
    pump(300);
}

INSTANTIATE_TEST_SUITE_P(Links, Ndx264Tcp, ::testing::Values(Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
