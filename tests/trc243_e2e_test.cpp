// The TRC243 driver end to end: loaded from libquorvin.so, talking to the
// simulated TRC243 and TRC241 on their bus over a pty and over TCP;
// identification and its failures, controls, channels, outputs and faults.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "driver/core/receiver.h"
#include "e2esupport.h"
#include "trc243sim.h"

namespace quorvin::e2e {
namespace {

class Trc243EndToEnd : public ModelFixture {
protected:
    void start(std::set<std::string> options = {}, int dbg = 0)
    {
        sim::ModelOptions o;
        o.options = std::move(options);
        startSim("TRC243", o);
        configure(DrvTRC243, dbg);
    }
    void connectAndSettle(std::set<std::string> options = {}, int dbg = 0)
    {
        start(std::move(options), dbg);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(waitUntil([&] { return m_log.count("Att") > 0 && m_log.count("SMt") > 0; }))
            << "no status after connect";
    }
    template <class F>
    auto state(F&& f)
    {
        return withSim<sim::Trc243Sim>([&](sim::Trc243Sim& s) { return f(s.state()); });
    }
    bool simRemote()
    {
        return state([](const sim::Trc243State& s) { return s.remote; });
    }
    std::string rom()
    {
        std::string text;
        m_drv->get_RxRomID(0, &text);
        return text;
    }
    std::string readTrace()
    {
        std::ifstream in(traceFile("trc243.log"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_P(Trc243EndToEnd, ConnectReportsEveryFieldOnceThenEveryControl)
{
    connectAndSettle();
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 4; }));
    EXPECT_EQ(m_log.count("ConnState"), 1);
    for (const char* field : {"Frq", "Mod", "Flt", "Agc", "Att", "HFF", "Sql"}) {
        EXPECT_EQ(m_log.count(field), 1) << field;
    }
    EXPECT_TRUE(m_log.has("Frq", {7050000}));
    EXPECT_TRUE(m_log.has("Mod", {ModUSB, 0}));
    EXPECT_TRUE(m_log.has("Flt", {3400}));  // the SSB filter
    EXPECT_TRUE(m_log.has("Agc", {AgcSlow}));
    EXPECT_TRUE(m_log.has("Att", {AttOff, 0}));
    EXPECT_TRUE(m_log.has("HFF", {HFFOff}));
    EXPECT_EQ(m_log.count("Out"), 6);
    EXPECT_EQ(rom(), "243/NoOpt");
    EXPECT_FALSE(simRemote());
    Receiver& rx = receiver();

    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 5000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {5000}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 29999999), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {29999999}); }));
    EXPECT_FALSE(simRemote());  // RMT ... LOC around each setting
    const auto sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 30000000), S_OK);
    ASSERT_EQ(m_drv->put_RxMod(0, ModISB), S_OK);  // no ISB option
    EXPECT_EQ(rx.CommandsSent(), sent);

    for (MODTYPE mod : {ModAM, ModLSB, ModRTTY, ModFM, ModFAX, ModCW}) {
        ASSERT_EQ(m_drv->put_RxMod(0, mod), S_OK);
        EXPECT_TRUE(waitUntil([&] { return rx.GetMod() == mod && rx.Requested().ModType == ModNone; })) << mod;
    }
    EXPECT_TRUE(m_log.has("Mod", {ModFAX, -1900}));
    EXPECT_EQ(state([](const sim::Trc243State& s) { return s.mode; }), 3);

    ASSERT_EQ(m_drv->put_RxBFO(0, -1200), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModCW, -1200}); }));
    ASSERT_EQ(m_drv->put_RxFltBW(0, 700), S_OK);  // the nearest offered: 750 Hz, code 4
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Flt", {750}); }));
    EXPECT_EQ(state([](const sim::Trc243State& s) { return s.filter; }), 4);
    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcFast), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Agc", {AgcFast}); }));
    ASSERT_EQ(m_drv->put_RxAttSts(0, AttOn2), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Att", {AttOn2, 2}); }));
    ASSERT_EQ(m_drv->put_RxHFFSts(0, HFFOn), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("HFF", {HFFOn}); }));
    ASSERT_EQ(m_drv->put_RxSqlLvl(0, 20), S_OK);
    EXPECT_TRUE(waitUntil([&] { return state([](const sim::Trc243State& s) { return s.squelch; }) == 20; }));
    ASSERT_EQ(m_drv->put_RxOut(0, 3, 1), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Out", {3, 1}); }));
    EXPECT_EQ(state([](const sim::Trc243State& s) { return s.outputs; }), 4);

    // AM has no fast AGC.
    ASSERT_EQ(m_drv->put_RxMod(0, ModAM), S_OK);
    ASSERT_TRUE(waitUntil([&] { return rx.GetMod() == ModAM; }));
    std::int32_t exists = -1;
    m_drv->get_RxAgcExist(0, AgcFast, &exists);
    EXPECT_EQ(exists, 0);

    std::int32_t result = 0;
    ASSERT_EQ(m_drv->RxRemote(0, -1, &result), S_OK);
    EXPECT_TRUE(waitUntil([&] { return simRemote(); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 9000000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {9000000}); }));
    EXPECT_TRUE(simRemote());
    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnClosed}));
    EXPECT_TRUE(waitUntil([&] { return !simRemote(); }));
    EXPECT_EQ(state([](const sim::Trc243State& s) { return s.refused; }), 0);
}

TEST_P(Trc243EndToEnd, ChannelsWriteDumpClearLoad)
{
    connectAndSettle();
    RCODE rc = R_KO;
    ASSERT_EQ(m_drv->RxChnWrite(0, 1, 3500000, 0, ModLSB, 3400, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 100, 10100000, -900, ModCW, 300, AgcMedium, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 0, 10100000, 0, ModCW, 300, AgcMedium, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_PERR);
    // The receiver is back where it was.
    EXPECT_TRUE(waitUntil([&] {
        return state([](const sim::Trc243State& s) { return s.frequency == 7050000 && s.mode == 1 && !s.remote; });
    }));

    m_log.clear();
    ASSERT_EQ(m_drv->RxChnDump(0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {-1}); }));
    const auto channels = m_log.all("ChnStatus");
    ASSERT_EQ(channels.size(), 101u);
    // index, chn, frq, bfo, mod, flt, agc, msk
    EXPECT_EQ(channels[0].args, (std::vector<std::int64_t>{0, 1, 3500000, 0, ModLSB, 3400, AgcFast, 0}));
    EXPECT_EQ(channels[99].args, (std::vector<std::int64_t>{0, 100, 10100000, -900, ModCW, 300, AgcMedium, 0}));
    EXPECT_EQ(channels[50].args, (std::vector<std::int64_t>{0, 51, 0, 0, ModNone, 0, AgcNone, 0}));

    ASSERT_EQ(m_drv->RxChnLoad(0, 100, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Chn", {100}) && m_log.has("Frq", {10100000}); }));
    ASSERT_EQ(m_drv->RxChnClear(0, 1, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    m_log.clear();
    ASSERT_EQ(m_drv->RxChnRead(0, 1, &rc), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {1}); }));
    EXPECT_EQ(m_log.last("ChnStatus")->args[2], 0);
}

TEST_P(Trc243EndToEnd, OptionsAndModels)
{
    connectAndSettle({"ISB", "F1", "FI"}, 1);
    EXPECT_EQ(rom(), "243/ISB/F1/FI");
    ASSERT_EQ(m_drv->put_RxMod(0, ModISB), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModISB}); }));
    const std::string log = readTrace();
    EXPECT_EQ(log.rfind("\n=> @0000000 TRY CONNECT\n", 0), 0u) << log;
    EXPECT_NE(log.find(" SET REMOTE\n<- @"), std::string::npos) << log;
    EXPECT_NE(log.find("REM OPS5%/"), std::string::npos) << log;
    EXPECT_NE(log.find(" OPENED\n\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" FRAME   \r0AF"), std::string::npos) << log;

    m_log.clear();
    start({"241"});
    EXPECT_EQ(connect(), ConnectNoError);
    EXPECT_EQ(rom(), "241/NoOpt");
}

TEST_P(Trc243EndToEnd, EveryConnectFailureLine)
{
    const struct {
        const char* option;
        ConnErr code;
        const char* line;
    } cases[] = {
        {"BADMODEL", ConnectRxIdenError, "=> Err:unknown model\n"},
        {"NOOP", ConnectRxIdenError, "=> Err:bad ID - No OP frame - Need to reset receiver\n"},
        {"NOFILTER", ConnectRxIdenError, "=> Err:bad ID - No filter information\n"},
        {"BADADDR", ConnectRxBadAddr, "=> Err:bad address\n"},
    };
    for (const auto& c : cases) {
        m_log.clear();
        start({c.option}, 1);
        EXPECT_EQ(connect(), c.code) << c.option;
        EXPECT_TRUE(m_log.has("ConnState", {c.code})) << c.option;
        EXPECT_NE(readTrace().find(c.line), std::string::npos) << c.option;
        EXPECT_EQ(rom(), "") << c.option;
    }
    m_log.clear();
    start({}, 1);
    sim::FaultPlan plan;
    plan.garbageAfter = 0;
    plan.garbageBytes = "\r0XYZ\n";
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectRxIdenError);
    EXPECT_NE(readTrace().find("=> Err:bad ID - No known data\n"), std::string::npos);
    plan.garbageBytes = "\x7F\x7F";
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    EXPECT_NE(readTrace().find("=> Err:bad response\n"), std::string::npos);
    plan = {};
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    EXPECT_NE(connect(), ConnectNoError);
    EXPECT_FALSE(m_log.has("ConnState", {ConnectNoError}));
}

TEST_P(Trc243EndToEnd, FaultsAfterConnect)
{
    start();
    sim::FaultPlan plan;
    plan.truncateAfter = 6;
    plan.truncateTo = 8;
    m_sim->setFaults(plan);
    // Counting replies and silent ticks: the ticks come from the test.
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("DataError", {ConnectRxFramError}); }));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));

    plan = {};
    plan.garbageAfter = 0;
    plan.garbageBytes = "\r0QQQ\n";
    m_sim->setFaults(plan);
    m_log.clear();
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") >= 12; }));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    EXPECT_EQ(m_log.count("Frq"), 0);

    plan = {};
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }));
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, 7050000);
}

INSTANTIATE_TEST_SUITE_P(Links, Trc243EndToEnd, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

class Trc243Tcp : public Trc243EndToEnd {};

TEST_P(Trc243Tcp, DroppedConnectionGivesAConnectionEvent)
{
    start();
    sim::FaultPlan plan;
    plan.hangUpAfter = 6;
    m_sim->setFaults(plan);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.connectionLost(); }));
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
    pump(300);
}

INSTANTIATE_TEST_SUITE_P(Links, Trc243Tcp, ::testing::Values(Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
