// The RA6790 driver end to end: loaded from libquorvin.so, talking to the
// simulated receiver on its bus line over a pty and over TCP; the one reply
// the simulator never gives (DEL bytes after "S2") comes from a raw peer.
#include <gtest/gtest.h>

#include <QTimer>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "driver/core/configstore.h"
#include "driver/core/receiver.h"
#include "driver/core/tests/linkpeer.h"
#include "driver/links/serialports.h"
#include "driver/models/ra1792/ra1792codec.h"
#include "e2esupport.h"
#include "platform/settingsstore.h"
#include "ra6790sim.h"

namespace quorvin::e2e {
namespace {

class Ra6790EndToEnd : public ModelFixture {
protected:
    void connectAndSettle(const sim::ModelOptions& options = {}, int dbg = 0)
    {
        startSim("RA6790", options);
        configure(DrvRA6790, dbg);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(waitUntil([&] { return m_log.count("Agc") > 0; })) << "no status after connect";
    }
    sim::Ra6790State simState()
    {
        return withSim<sim::Ra6790Sim>([](sim::Ra6790Sim& s) { return s.state(); });
    }
    // Reloads the configuration after changing one of its values.
    void setNumber(const std::string& name, std::int32_t value)
    {
        platform::SettingsStore::shared().writeNumber(instanceKey("E2E", "Rx"), name, value);
        std::int32_t result = 0;
        ASSERT_EQ(m_drv->DrvConfigure("E2E", ConfLoad, &result), S_OK);
    }
    std::string trace()
    {
        std::ifstream in(traceFile("ra6790.log"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::int32_t frqMin()
    {
        std::int32_t hz = 0;
        m_drv->get_RxFrqMin(0, &hz);
        return hz;
    }
};

TEST_P(Ra6790EndToEnd, ConnectReportsEveryFieldOnceThenControls)
{
    connectAndSettle({}, 1);
    EXPECT_EQ(m_log.count("ConnState"), 1);
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 3; }));
    EXPECT_EQ(m_log.count("Frq"), 1);
    EXPECT_EQ(m_log.count("Mod"), 1);
    EXPECT_EQ(m_log.count("Flt"), 1);
    EXPECT_EQ(m_log.count("Agc"), 1);
    EXPECT_TRUE(m_log.has("Frq", {7050000}));
    EXPECT_TRUE(m_log.has("Mod", {ModUSB, 0}));
    EXPECT_TRUE(m_log.has("Flt", {3200}));  // the sideband filter in USB
    EXPECT_TRUE(m_log.has("Agc", {AgcFast}));
    // The S-meter moves with every status: reported, with its texts.
    ASSERT_TRUE(waitUntil([&] { return m_log.count("SMt") > 0; }));
    std::string local;
    m_drv->get_RxSMtLvl(0, Local, &local);
    EXPECT_FALSE(local.empty());
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "A08449");
    EXPECT_EQ(frqMin(), 500000);
    std::int32_t exists = -1;
    m_drv->get_RxModExist(0, ModISB, &exists);
    EXPECT_EQ(exists, 0);  // no lower sideband filter, no ISB
    // The filter list rewrote the slot table: the symmetric filters are offered.
    std::int16_t count = 0;
    m_drv->get_RxFltCount(0, &count);
    EXPECT_EQ(count, 5);
    std::int32_t width = 0;
    m_drv->get_RxFltValue(0, 0, &width);
    EXPECT_EQ(width, 400);
    m_drv->get_RxFltValue(0, 4, &width);
    EXPECT_EQ(width, 16000);
    EXPECT_FALSE(simState().remote);
    // No address is stored: the connect over either link went to the
    // model's 77, the only address the simulator answers.
    std::int16_t address = 0;
    address = withSim<sim::Ra6790Sim>([](sim::Ra6790Sim& s) { return static_cast<std::int16_t>(s.address()); });
    EXPECT_EQ(address, 77);
    const std::string log = trace();
    EXPECT_EQ(log.rfind("\n=> @0000000 TRY CONNECT\n-> @", 0), 0u) << log;
    EXPECT_NE(log.find(" S6\n<- @"), std::string::npos) << log;
    EXPECT_NE(log.find("BITE OK 77\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" OPENED\n\n"), std::string::npos) << log;

    Receiver& rx = receiver();
    // Tuning at the range limits; below the floor nothing is sent.
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 30000000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {30000000}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 500000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {500000}); }));
    auto sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 499999), S_OK);
    EXPECT_EQ(rx.CommandsSent(), sent);
    EXPECT_EQ(simState().frequency, 500000);
    EXPECT_FALSE(simState().remote);  // wrapped in S2 ... S1

    const struct {
        MODTYPE asked;
        int code;
        MODTYPE reported;
    } modes[] = {{ModAM, 1, ModAM},     {ModFM, 2, ModFM},   {ModLSB, 5, ModLSB}, {ModCW_F, 3, ModCW},
                 {ModRTTY, 3, ModRTTY}, {ModFAX, 3, ModFAX}, {ModCW, 3, ModCW},   {ModAM, 1, ModAM}};
    for (const auto& m : modes) {
        ASSERT_EQ(m_drv->put_RxMod(0, m.asked), S_OK);
        EXPECT_TRUE(waitUntil([&] {
            return simState().mode == m.code && rx.GetMod() == m.reported && rx.Requested().ModType == ModNone;
        })) << "asked "
            << m.asked << ": receiver " << simState().mode << ", reported " << rx.GetMod();
    }
    EXPECT_TRUE(m_log.has("Mod", {ModRTTY, -2210}));
    sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxMod(0, ModISB), S_OK);  // not fitted: nothing sent
    EXPECT_EQ(rx.CommandsSent(), sent);

    // The filter by its bandwidth, confirmed by the status's I field.
    ASSERT_EQ(m_drv->put_RxFltBW(0, 8000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Flt", {8200}); }));
    EXPECT_EQ(simState().filterWidth, 8200);
    ASSERT_EQ(m_drv->put_RxFltBW(0, 300), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Flt", {400}); }));
    EXPECT_EQ(rx.Requested().FltValue, -1);

    for (AGCTYPE agc : {AgcSlow, AgcMedium, AgcFastManual, AgcFast}) {
        ASSERT_EQ(m_drv->put_RxAgcSts(0, agc), S_OK);
        EXPECT_TRUE(waitUntil([&] { return rx.GetAgc() == agc && rx.Requested().AgcType == AgcNone; })) << agc;
    }
    ASSERT_EQ(m_drv->put_RxBFO(0, 9000), S_OK);  // in AM: no BFO
    ASSERT_EQ(m_drv->put_RxMod(0, ModCW), S_OK);
    ASSERT_TRUE(waitUntil([&] { return rx.GetMod() == ModCW; }));
    ASSERT_EQ(m_drv->put_RxBFO(0, 9000), S_OK);  // clamped to 7999, B8.00
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModCW, 8000}); }));

    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnClosed}));
    EXPECT_TRUE(waitUntil([&] { return simState().mode == 6 && !simState().remote; }));
}

TEST_P(Ra6790EndToEnd, OptionsWidenTheRangeAndBringIsb)
{
    sim::ModelOptions options;
    options.options = {"A09666", "ISB"};
    connectAndSettle(options);
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "A09666");
    EXPECT_EQ(frqMin(), 5000);
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 5000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {5000}); }));
    std::int32_t exists = 0;
    m_drv->get_RxModExist(0, ModISB, &exists);
    EXPECT_NE(exists, 0);
    ASSERT_EQ(m_drv->put_RxMod(0, ModISB), S_OK);
    EXPECT_TRUE(waitUntil([&] { return simState().mode == 4 && receiver().GetMod() == ModISB; }));
    std::int16_t count = 0;
    m_drv->get_RxFltCount(0, &count);
    EXPECT_EQ(count, 5);
}

TEST_P(Ra6790EndToEnd, SelfTestFaultFailsTheConnect)
{
    sim::ModelOptions options;
    options.options = {"BITE-FAIL"};
    startSim("RA6790", options);
    configure(DrvRA6790, 1);
    EXPECT_EQ(connect(), ConnectRxBiteError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectRxBiteError}));
    EXPECT_NE(trace().find("=> Err:BITE Error\n"), std::string::npos) << trace();
}

TEST_P(Ra6790EndToEnd, ReceiverAtAnotherAddressFailsWithBadAddress)
{
    sim::ModelOptions options;
    options.options = {"ANY-ADDRESS"};
    startSim("RA6790", options);
    configure(DrvRA6790, 1);
    setNumber(GetParam() == Transport::Pty ? "S_BusAdress" : "T_BusAddr", 12);
    EXPECT_EQ(connect(), ConnectRxBadAddr);
    EXPECT_NE(trace().find("-> @"), std::string::npos);
    EXPECT_NE(trace().find("=> Err:bad address\n"), std::string::npos) << trace();
}

TEST_P(Ra6790EndToEnd, SilentReceiverAndGarbledFirstStatusFailTheConnect)
{
    startSim("RA6790");
    sim::FaultPlan plan;
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    configure(DrvRA6790, 1);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    EXPECT_NE(trace().find("=> Err:bad response\n"), std::string::npos) << trace();

    plan = {};
    plan.garbageAfter = 2;  // the self-test and type replies, then the status
    plan.garbageBytes = "Q?Z\r";
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectRxIdenError);
    EXPECT_NE(trace().find("=> Err:bad ID\n"), std::string::npos) << trace();
}

TEST_P(Ra6790EndToEnd, FaultsAfterConnect)
{
    startSim("RA6790");
    sim::FaultPlan plan;
    plan.garbageAfter = 6;
    plan.garbageBytes = "Q?Z\r";
    m_sim->setFaults(plan);
    configure(DrvRA6790, 0, 150, 10);
    // Counting replies and silent ticks: the ticks come from the test.
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    // Garbage: data errors, never a time-out.
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") >= 12; }));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    // Truncated replies: no frame is taken for a status.
    plan = {};
    plan.truncateAfter = 0;
    plan.truncateTo = 8;
    m_sim->setFaults(plan);
    const int frq = m_log.count("Frq");
    tickTimes(4);
    EXPECT_EQ(m_log.count("Frq"), frq);
    // Silence: the time-out after the retry count.
    plan = {};
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }));
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
}

INSTANTIATE_TEST_SUITE_P(Links, Ra6790EndToEnd, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

TEST_P(Ra6790EndToEnd, ATuneLostOnTheLineIsSentOnceMoreOrGivenUp)
{
    startSim("RA6790");
    configure(DrvRA6790, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Agc") > 0; }));
    // Lost once: the resend reaches the receiver and nobody is troubled.
    sim::FaultPlan plan;
    plan.dropCommand = ra1792::frequencyCommand(6100000);
    plan.dropCount = 1;
    m_sim->setFaults(plan);
    m_drv->put_RxFrq(0, NONE, 6100000);
    EXPECT_TRUE(tickUntil([&] { return m_log.has("Frq", {6100000}); }, 100));
    EXPECT_EQ(simState().frequency, 6100000);
    EXPECT_EQ(m_log.count("DataError"), 0);

    // Lost twice: the request is given up, the frequency the receiver holds
    // reported once more, and the failure told.
    plan.dropCommand = ra1792::frequencyCommand(6200000);
    plan.dropCount = 2;
    m_sim->setFaults(plan);
    const int frqEvents = m_log.count("Frq");
    m_drv->put_RxFrq(0, NONE, 6200000);
    EXPECT_EQ(receiver().EffectiveFrq(), 6200000u);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") > 0; }, 100));
    EXPECT_TRUE(m_log.has("DataError", {ConnectRxDataError}));
    EXPECT_EQ(m_log.count("Frq"), frqEvents + 1);
    EXPECT_TRUE(m_log.all("Frq").back().args[1] == 6100000);
    EXPECT_EQ(receiver().Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(receiver().EffectiveFrq(), 6100000u);
    EXPECT_EQ(simState().frequency, 6100000);
    EXPECT_FALSE(m_log.connectionLost());
    // Nothing more comes of it.
    tickTimes(12);
    EXPECT_EQ(m_log.count("DataError"), 1);
}

class Ra6790Tcp : public Ra6790EndToEnd {};

TEST_P(Ra6790Tcp, HangUpGivesAConnectionEvent)
{
    startSim("RA6790");
    sim::FaultPlan plan;
    plan.hangUpAfter = 6;
    m_sim->setFaults(plan);
    configure(DrvRA6790, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.connectionLost(); }));
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
}

TEST_P(Ra6790Tcp, ACallFromAnEventDuringAFramesWriteDoesNotSplitTheFrame)
{
    // Over TCP a frame goes out a byte at a time, pending events delivered
    // between the bytes; a client's timer or link handler that tunes from
    // there must not put its frame inside the one being written (the
    // receiver would take neither).
    startSim("RA6790");
    configure(DrvRA6790, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Agc") > 0; }));
    bool called = false;
    QTimer::singleShot(0, [&] {
        called = true;
        m_drv->put_RxFrq(0, NONE, 6100000);
    });
    ASSERT_TRUE(tickUntil([&] { return called; }, 3));
    EXPECT_TRUE(tickUntil([&] { return simState().frequency == 6100000; }, 10)) << "the receiver never took the frame";
    EXPECT_TRUE(tickUntil([&] { return m_log.has("Frq", {6100000}); }, 10));
}

TEST_P(Ra6790Tcp, ATuneQueuedBehindAFrameThatNeverGoesOutDoesNotStayPending)
{
    // A tune asked for while another frame is being written waits for that
    // frame; when the line fails under it, the tune never goes out and must
    // not be left pending (the effective frequency would show it).
    startSim("RA6790");
    configure(DrvRA6790, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Agc") > 0; }));
    const std::uint32_t before = receiver().Current().FrqValue;
    bool called = false;
    QTimer::singleShot(0, [&] {
        called = true;
        m_drv->put_RxFrq(0, NONE, 6100000);
        // The line goes under the frame being written.
        ConnErr result = ConnectObjectError;
        m_drv->RxConnect(0, 0, &result);
    });
    ASSERT_TRUE(tickUntil([&] { return called; }, 3));
    EXPECT_EQ(receiver().Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(receiver().EffectiveFrq(), before);
    EXPECT_NE(simState().frequency, 6100000);
}

INSTANTIATE_TEST_SUITE_P(Links, Ra6790Tcp, ::testing::Values(Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

// A line that answers "S2" with DEL bytes is no receiver.
TEST(Ra6790RawPeer, DelBytesAfterRemoteFailWithBadResponse)
{
    class Fixture : public ModelFixture {
    public:
        void TestBody() override {}
        using ModelFixture::keepPauses;
        using ModelFixture::m_dir;
        using ModelFixture::m_drv;
        using ModelFixture::m_log;
    };
    Fixture f;
    // The read after S2 ends at once when nothing is waiting: the DEL bytes
    // must be in within the 25 ms pause the receiver gets, not a shortened one.
    f.keepPauses();
    test::PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.answer = [](const std::string& request) {
        return request.size() >= 2 && request.substr(request.size() - 2) == "S2" ? std::string("\x7F\xFF\r") : "";
    };
    auto& store = platform::SettingsStore::shared();
    const std::string key = instanceKey("E2E", "Rx");
    store.writeNumber(key, "D_Type", DrvRA6790);
    store.writeNumber(key, "C_Dbg", 1);
    store.writeText(kPortsKey, "3", peer.device());
    store.writeNumber(key, "C_Type", 0);
    store.writeNumber(key, "S_Port", 3);
    store.writeNumber(key, "S_TestLink", 0);
    std::int32_t result = 0;
    ASSERT_EQ(f.m_drv->DrvConfigure("E2E", ConfLoad, &result), S_OK);
    std::atomic<bool> stop{false};
    std::thread serving([&] {
        while (!stop) {
            peer.pump();
            peer.idle(5);
        }
    });
    ConnErr code = ConnectObjectError;
    f.m_drv->RxConnect(0, 1, &code);
    stop = true;
    serving.join();
    EXPECT_EQ(code, ConnectLnTimeOut);
    ASSERT_FALSE(peer.requests.empty());
    EXPECT_EQ(peer.requests.front(), "$77S2");
    std::ifstream in(f.m_dir + "/traces/ra6790.log");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("=> Err:bad response\n"), std::string::npos) << text.str();
}

}  // namespace
}  // namespace quorvin::e2e
