// The RA1792 driver end to end: loaded from libquorvin.so, talking to the
// simulated receiver behind its bus adapter over a pty and over TCP.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include <QTimer>

#include "driver/core/receiver.h"
#include "e2esupport.h"
#include "ra1792sim.h"

namespace quorvin::e2e {
namespace {

class Ra1792EndToEnd : public ModelFixture {
protected:
    void connectAndSettle(int dbg = 0)
    {
        startSim("RA1792");
        configure(DrvRA1792, dbg);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(waitUntil([&] { return m_log.count("Agc") > 0; })) << "no status after connect";
    }
    int simInt(int sim::Ra1792State::*field)
    {
        return withSim<sim::Ra1792Sim>([&](sim::Ra1792Sim& s) { return s.state().*field; });
    }
    bool simRemote()
    {
        return withSim<sim::Ra1792Sim>([](sim::Ra1792Sim& s) { return s.state().remote; });
    }
    std::int32_t simFrequency()
    {
        return withSim<sim::Ra1792Sim>([](sim::Ra1792Sim& s) { return s.state().frequency; });
    }
};

TEST_P(Ra1792EndToEnd, ConnectReportsEveryFieldOnceThenControls)
{
    connectAndSettle();
    EXPECT_EQ(m_log.count("ConnState"), 1);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectNoError}));
    // A few more polls change nothing: each field stays reported once.
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 3; }));
    EXPECT_EQ(m_log.count("Frq"), 1);
    EXPECT_EQ(m_log.count("Mod"), 1);
    EXPECT_EQ(m_log.count("Flt"), 1);
    EXPECT_EQ(m_log.count("Agc"), 1);
    EXPECT_TRUE(m_log.has("Frq", {7050000}));
    EXPECT_TRUE(m_log.has("Mod", {ModUSB, 0}));
    EXPECT_TRUE(m_log.has("Flt", {2700}));  // USB: the SSB width of F_FL2
    EXPECT_TRUE(m_log.has("Agc", {AgcFast}));
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "BUSLINK ");
    // The BFO synchronisation left the receiver's CW BFO at the default.
    EXPECT_EQ(simInt(&sim::Ra1792State::bfo), -800);
    EXPECT_FALSE(simRemote());

    Receiver& rx = receiver();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 10000000), S_OK);
    EXPECT_EQ(rx.Requested().FrqValue, 10000000u);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {10000000}); }));
    EXPECT_EQ(simFrequency(), 10000000);
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);  // confirmed
    EXPECT_FALSE(simRemote());  // wrapped in R ... L

    ASSERT_EQ(m_drv->put_RxMod(0, ModAM), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModAM}); }));
    EXPECT_EQ(simInt(&sim::Ra1792State::mode), 1);
    EXPECT_EQ(rx.Requested().ModType, ModNone);
    // No mode is no command.
    const auto sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxMod(0, ModNone), S_OK);
    EXPECT_EQ(rx.CommandsSent(), sent);

    ASSERT_EQ(m_drv->put_RxFltBW(0, 6500), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Flt", {6000}); }));
    EXPECT_EQ(simInt(&sim::Ra1792State::filter), 4);
    EXPECT_EQ(rx.Requested().FltValue, -1);

    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcSlow), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Agc", {AgcSlow}); }));
    EXPECT_EQ(simInt(&sim::Ra1792State::agc), 3);
    // Manual AGC needs R_MAgc: nothing is sent.
    const auto before = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcManual), S_OK);
    EXPECT_EQ(rx.CommandsSent(), before);

    // Emulated RTTY: CW with its BFO.
    ASSERT_EQ(m_drv->put_RxMod(0, ModRTTY), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModRTTY, -2210}); }));
    EXPECT_EQ(simInt(&sim::Ra1792State::mode), 3);
    EXPECT_EQ(simInt(&sim::Ra1792State::bfo), -2210);

    std::int32_t result = 0;
    ASSERT_EQ(m_drv->RxRemote(0, -1, &result), S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(m_log.has("Rmt", {1}));
    EXPECT_TRUE(waitUntil([&] { return simRemote(); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 9000000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {9000000}); }));
    EXPECT_TRUE(simRemote());  // held in remote: no L after the command
    ASSERT_EQ(m_drv->RxRemote(0, 0, &result), S_OK);
    EXPECT_TRUE(m_log.has("Rmt", {0}));
    EXPECT_TRUE(waitUntil([&] { return !simRemote(); }));

    // Disconnect hands the receiver back: USB instead of the emulated mode,
    // the BFO found at connect, local control.
    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnClosed}));
    EXPECT_TRUE(waitUntil([&] { return simInt(&sim::Ra1792State::mode) == 6 && !simRemote(); }));
    EXPECT_EQ(simInt(&sim::Ra1792State::bfo), 1000);
    EXPECT_EQ(simFrequency(), 9000000);
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
}

TEST_P(Ra1792EndToEnd, PollTickDuringAFrameWaitsUntilTheFrameIsWritten)
{
    connectAndSettle();
    Receiver& rx = receiver();
    // A poll tick falls due while a setter writes its frames character by
    // character (the socket link runs pending events between characters):
    // the busy flag holds the poll back, so no "G" lands inside a frame.
    bool ticked = false;
    QTimer::singleShot(0, [&] {
        ticked = true;
        rx.OnTimer(0);
    });
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 12345678), S_OK);
    EXPECT_EQ(rx.IsBusy(), 0);
    ASSERT_TRUE(waitUntil([&] { return ticked && simFrequency() == 12345678; }))
        << "the frame was corrupted; receiver at " << simFrequency();
    EXPECT_FALSE(simRemote());
}

TEST_P(Ra1792EndToEnd, TraceFileHoldsTheConnectDialogue)
{
    connectAndSettle(1);
    std::ifstream in(traceFile("ra1792.log"));
    ASSERT_TRUE(in.good());
    std::stringstream text;
    text << in.rdbuf();
    const std::string log = text.str();
    EXPECT_EQ(log.rfind("\n=> @0000000 TRY CONNECT\n", 0), 0u) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("-> @[0-9]{7} \\?\n<- @[0-9]{7}BUSLINK V2.03\n"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("-> @[0-9]{7} G\n<- @[0-9]{7}F7.050000D6I3M1X0\n"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("-> @[0-9]{7} TI\n"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("=> @[0-9]{7} OPENED\n\n$"))) << log;
    // Polls after the connect are not traced.
    const auto size = log.size();
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 2; }));
    std::ifstream again(traceFile("ra1792.log"));
    std::stringstream after;
    after << again.rdbuf();
    EXPECT_EQ(after.str().size(), size);
}

TEST_P(Ra1792EndToEnd, SilentAdapterFailsTheConnectWithABadResponse)
{
    startSim("RA1792");
    sim::FaultPlan plan;
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    configure(DrvRA1792, 1);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnTimeOut}));
    std::ifstream in(traceFile("ra1792.log"));
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("=> Err:bad response\n"), std::string::npos) << text.str();
    // No connect replaced the ROM text: it stays the adapter's name.
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "HPIB");
    // Polled while closed: nothing happens, nothing is invented.
    pump(400);
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, -1);
    EXPECT_EQ(m_log.count("Frq"), 0);
}

TEST_P(Ra1792EndToEnd, ALinkThatDoesNotOpenLeavesTheRomTextAsItWas)
{
    startSim("RA1792");
    configure(DrvRA1792, 0);
    m_sim.reset();  // the device or port is gone
    EXPECT_NE(connect(), ConnectNoError);
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "HPIB");
}

TEST_P(Ra1792EndToEnd, CwAfterAnEmulatedModeByWayOfAnotherModeTakesTheCwBfo)
{
    connectAndSettle();
    Receiver& rx = receiver();
    ASSERT_EQ(m_drv->put_RxMod(0, ModRTTY), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModRTTY, -2210}); }));
    ASSERT_EQ(m_drv->put_RxMod(0, ModUSB), S_OK);
    ASSERT_TRUE(waitUntil([&] { return simInt(&sim::Ra1792State::mode) == 6 && rx.GetMod() == ModUSB; }));
    // The receiver keeps its RTTY BFO in USB: CW must bring its own.
    ASSERT_EQ(m_drv->put_RxMod(0, ModCW), S_OK);
    EXPECT_TRUE(waitUntil([&] {
        return m_log.has("Mod", {ModCW, -800});
    })) << "receiver BFO "
        << simInt(&sim::Ra1792State::bfo) << ", mode " << rx.GetMod();
    EXPECT_EQ(simInt(&sim::Ra1792State::bfo), -800);
    EXPECT_EQ(rx.Requested().ModType, ModNone);
    EXPECT_EQ(rx.Requested().BFOValue, -1);

    // A CW BFO of the operator's own survives a trip through USB.
    ASSERT_EQ(m_drv->put_RxBFO(0, -1500), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModCW, -1500}); }));
    ASSERT_EQ(m_drv->put_RxMod(0, ModUSB), S_OK);
    ASSERT_TRUE(waitUntil([&] { return rx.GetMod() == ModUSB; }));
    ASSERT_EQ(m_drv->put_RxMod(0, ModCW), S_OK);
    ASSERT_TRUE(waitUntil([&] { return rx.GetMod() == ModCW && rx.Requested().ModType == ModNone; }));
    EXPECT_EQ(simInt(&sim::Ra1792State::bfo), -1500);
}

TEST_P(Ra1792EndToEnd, ModesTheCodeTableMapsAreSentAndConfirmed)
{
    connectAndSettle();
    Receiver& rx = receiver();
    // AM_U and AM_L go out as AM, CW_F as CW, ISB as its own code.
    const struct {
        MODTYPE asked;
        int code;
        MODTYPE reported;
    } cases[] = {{ModAM_U, 1, ModAM}, {ModISB, 4, ModISB}, {ModCW_F, 3, ModCW}, {ModAM_L, 1, ModAM}};
    for (const auto& c : cases) {
        ASSERT_EQ(m_drv->put_RxMod(0, c.asked), S_OK);
        EXPECT_TRUE(waitUntil([&] {
            return simInt(&sim::Ra1792State::mode) == c.code && rx.GetMod() == c.reported &&
                   rx.Requested().ModType == ModNone;
        })) << "asked "
            << c.asked << ": receiver " << simInt(&sim::Ra1792State::mode) << ", reported " << rx.GetMod()
            << ", pending " << rx.Requested().ModType;
    }
}

TEST_P(Ra1792EndToEnd, SilenceAfterConnectTimesOutAfterTheRetryCount)
{
    startSim("RA1792");
    sim::FaultPlan plan;
    plan.silenceAfter = 5;  // the connect dialogue's four replies and one poll
    m_sim->setFaults(plan);
    configure(DrvRA1792, 0, 150, 10);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }));
    EXPECT_EQ(m_log.count("DataError"), 0);
    // Count the polls that went unanswered: about C_Retr of them.
    int swallowed = 0;
    for (const auto& line : simTrace()) {
        swallowed += line.find(" <- (") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(swallowed, 8);
    EXPECT_LE(swallowed, 11);
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
    // The last known state stays; nothing new is invented.
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, 7050000);
}

TEST_P(Ra1792EndToEnd, NoFirstAnswerAfterTheDialogueGivesUpTheAttempt)
{
    startSim("RA1792");
    sim::FaultPlan plan;
    plan.silenceAfter = 4;  // the connect dialogue answers, the polls do not
    m_sim->setFaults(plan);
    configure(DrvRA1792, 0, 150, 10);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectNoError}));
    EXPECT_EQ(m_log.count("Frq"), 0);
    int swallowed = 0;
    for (const auto& line : simTrace()) {
        swallowed += line.find(" <- (") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(swallowed, 9);
    EXPECT_LE(swallowed, 12);
    // A new attempt is possible at once.
    m_sim->setFaults({});
    EXPECT_EQ(connect(), ConnectNoError);
    EXPECT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectNoError}); }));
}

TEST_P(Ra1792EndToEnd, GarbageGivesDataErrorsAndNoTimeOut)
{
    startSim("RA1792");
    sim::FaultPlan plan;
    plan.garbageAfter = 5;
    plan.garbageBytes = "Q?Z\r\n";
    m_sim->setFaults(plan);
    configure(DrvRA1792, 0, 150, 10);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    // More garbled replies than the retry count: the receiver counts as alive.
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") >= 13; }));
    EXPECT_TRUE(m_log.has("DataError", {ConnectRxDataError}));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    std::int32_t connected = 0;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_NE(connected, 0);
    EXPECT_EQ(m_log.count("Frq"), 1);
}

TEST_P(Ra1792EndToEnd, CutRepliesAreReportedAndPollingGoesOnAfterThem)
{
    startSim("RA1792");
    configure(DrvRA1792, 0, 150, 10);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectNoError}); }));
    sim::FaultPlan plan;
    plan.truncateAfter = 0;
    plan.truncateTo = 3;  // "F17": a status without its end
    m_sim->setFaults(plan);
    // A reply that never ends is an unusable frame, reported within a few
    // polls (not only once the glued pieces overflow the buffer), and the
    // pieces are not read as a status.
    EXPECT_TRUE(tickUntil([&] { return m_log.count("DataError") > 0; }, 8)) << "cut replies went unreported";
    EXPECT_FALSE(m_log.connectionLost());
    EXPECT_EQ(m_log.count("Frq"), 1);
    m_sim->setFaults({});
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 6100000), S_OK);
    EXPECT_TRUE(tickUntil([&] { return m_log.has("Frq", {6100000}); }, 20));
}

INSTANTIATE_TEST_SUITE_P(Links, Ra1792EndToEnd, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

class Ra1792Tcp : public Ra1792EndToEnd {};

TEST_P(Ra1792Tcp, DroppedConnectionGivesAConnectionEvent)
{
    startSim("RA1792");
    sim::FaultPlan plan;
    plan.hangUpAfter = 6;
    m_sim->setFaults(plan);
    configure(DrvRA1792, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.connectionLost(); }));
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, 7050000);
    pump(300);  // polled while closed: nothing breaks
}

INSTANTIATE_TEST_SUITE_P(Links, Ra1792Tcp, ::testing::Values(Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
