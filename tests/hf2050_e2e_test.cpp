// The HF2050 driver end to end: loaded from libquorvin.so, talking to
// simulated units over a pty and over TCP, and two units of one shared line
// driven by two instances at once.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "bushub.h"
#include "driver/core/configstore.h"
#include "driver/core/receiver.h"
#include "driver/models/hf2050/hf2050codec.h"
#include "e2esupport.h"
#include "hf2050sim.h"
#include "platform/settingsstore.h"

namespace quorvin::e2e {
namespace {

class Hf2050EndToEnd : public ModelFixture {
protected:
    void connectAndSettle(const sim::ModelOptions& options = {}, int dbg = 0, int isb = 0)
    {
        startSim("HF2050", options);
        configure(DrvHF2050, dbg);
        setNumber("O_ISB", isb);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(waitUntil([&] { return m_log.count("Agc") > 0 && m_log.count("Sql") > 0; }))
            << "no status after connect";
    }
    sim::Hf2050State simState(std::size_t unit = 0)
    {
        return m_sim->withLine([&](sim::SimLine& line) { return line.as<sim::Hf2050Sim>(unit)->state(); });
    }
    void setNumber(const std::string& name, std::int32_t value, const std::string& instance = "Rx")
    {
        platform::SettingsStore::shared().writeNumber(instanceKey("E2E", instance), name, value);
        std::int32_t result = 0;
        ASSERT_EQ(m_drv->DrvConfigure("E2E", ConfLoad, &result), S_OK);
    }
    std::string trace()
    {
        std::ifstream in(traceFile("HF2050.log"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_P(Hf2050EndToEnd, AChannelReadThatIsNeverAnsweredIsReportedAsFailed)
{
    // The read was started (R_OK); when its answer never comes the client
    // must learn that it failed, not wait for ever.
    startSim("HF2050");
    configure(DrvHF2050, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Agc") > 0; }));
    sim::FaultPlan plan;
    plan.dropCommand = hf2050::readChannelCommand(17);
    plan.dropCount = 1;
    m_sim->setFaults(plan);
    RCODE code = R_KO;
    m_drv->RxChnRead(0, 17, &code);
    ASSERT_EQ(code, R_OK);
    EXPECT_TRUE(tickUntil([&] { return m_log.count("DataError") > 0; }, 60));
    EXPECT_TRUE(m_log.has("DataError", {ConnectRxDataError}));
    EXPECT_FALSE(m_log.has("ChnStatus", {17}));
    EXPECT_FALSE(m_log.connectionLost());
    // The next read is served.
    m_drv->RxChnRead(0, 17, &code);
    ASSERT_EQ(code, R_OK);
    EXPECT_TRUE(tickUntil([&] { return m_log.has("ChnStatus", {17}); }, 60));
}

TEST_P(Hf2050EndToEnd, ConnectReportsEveryFieldOnceThenControls)
{
    connectAndSettle({}, 1);
    EXPECT_EQ(m_log.all("ConnState").back().args[1], ConnectNoError);
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 8; }));
    for (const char* name : {"Frq", "Mod", "Flt", "Agc", "NBl", "Sql"}) {
        EXPECT_EQ(m_log.count(name), 1) << name;
    }
    EXPECT_TRUE(m_log.has("Frq", {7050000}));
    EXPECT_TRUE(m_log.has("Mod", {ModUSB, 0}));
    EXPECT_TRUE(m_log.has("Flt", {3200}));
    EXPECT_TRUE(m_log.has("Agc", {AgcSlow, 100}));  // the RF gain as the level
    EXPECT_TRUE(m_log.has("NBl", {NBlOff, 0}));
    EXPECT_TRUE(m_log.has("Sql", {SqlOff, 0}));
    EXPECT_TRUE(m_log.has("Rmt", {1}));  // the panel switch stands at remote
    const std::string log = trace();
    EXPECT_TRUE(std::regex_search(log, std::regex("^\n=> @0000000 TRY CONNECT\n-> @[0-9]{7} UNIT 15;HD;\\?\n<- @")))
        << log;
    EXPECT_NE(log.find("UNIT 15 RMT FR 7050.00 MODE US"), std::string::npos) << log;
    EXPECT_NE(log.find(" OPENED\n\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" FRAME   NB 0\n"), std::string::npos) << log;  // poll replies are traced

    Receiver& rx = receiver();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 29999999), S_OK);  // 10 Hz steps: the top is 29999.99 kHz
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {29999990}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 0), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {0}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 7012345), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {7012350}); }));
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);

    const struct {
        MODTYPE asked;
        const char* word;
        MODTYPE reported;
        std::int32_t bandwidth;
    } modes[] = {{ModAM, "AM", ModAM, 6000},     {ModLSB, "LS", ModLSB, 3200}, {ModCW, "CW", ModCW, 1000},
                 {ModRTTY, "CW", ModRTTY, 1000}, {ModFAX, "CW", ModFAX, 1000}, {ModCW, "CW", ModCW, 1000},
                 {ModUSB, "US", ModUSB, 3200}};
    for (const auto& m : modes) {
        ASSERT_EQ(m_drv->put_RxMod(0, m.asked), S_OK);
        EXPECT_TRUE(waitUntil([&] {
            return simState().mode == m.word && rx.GetMod() == m.reported && rx.Requested().ModType == ModNone &&
                   rx.GetFltBW() == m.bandwidth;
        })) << "asked "
            << m.asked << ": receiver " << simState().mode << ", reported " << rx.GetMod();
    }
    EXPECT_TRUE(m_log.has("Mod", {ModRTTY, -2210}));
    EXPECT_TRUE(m_log.has("Mod", {ModFAX, -1900}));
    auto sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxMod(0, ModISB), S_OK);  // O_ISB 0: no ISB
    EXPECT_EQ(rx.CommandsSent(), sent);

    ASSERT_EQ(m_drv->put_RxFltBW(0, 6500), S_OK);
    ASSERT_TRUE(waitUntil([&] { return simState().bandwidth == 6000 && rx.GetFltBW() == 6000; }));
    ASSERT_EQ(m_drv->put_RxFltBW(0, 200), S_OK);
    ASSERT_TRUE(waitUntil([&] { return simState().bandwidth == 300 && rx.GetFltBW() == 300; }));

    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcFast), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Agc", {AgcFast}); }));
    sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcManual), S_OK);  // needs R_MAgc
    EXPECT_EQ(rx.CommandsSent(), sent);
    ASSERT_EQ(m_drv->put_RxAgcLvl(0, 40), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Agc", {AgcFast, 40}); }));

    ASSERT_EQ(m_drv->put_RxNBlSts(0, NBlWide), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("NBl", {NBlWide}); }));
    ASSERT_EQ(m_drv->put_RxNBlLvl(0, 2), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("NBl", {NBlPeek, 2}); }));
    ASSERT_EQ(m_drv->put_RxSqlLvl(0, 5), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Sql", {SqlOn, 5}); }));

    // Memory channels: write, read back, load.
    RCODE rc = R_KO;
    ASSERT_EQ(m_drv->RxChnWrite(0, 5, 7100000, 0, ModUSB, 3000, AgcSlow, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 6, 3500000, -1500, ModCW, 1000, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_EQ(m_drv->RxChnWrite(0, 100, 3500000, 0, ModCW, 1000, AgcFast, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_PERR);
    ASSERT_EQ(m_drv->RxChnRead(0, 5, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {5, 7100000, 0, ModUSB, 3200, AgcSlow, 0}); }));
    ASSERT_EQ(m_drv->RxChnRead(0, 6, &rc), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {6, 3500000, -1500, ModCW, 1000, AgcFast, 0}); }));
    ASSERT_EQ(m_drv->RxChnRead(0, 7, &rc), S_OK);  // empty
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {7, 0, 0, ModNone, 0, AgcNone, 0}); }));
    ASSERT_EQ(m_drv->RxChnLoad(0, 5, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Chn", {5}) && m_log.has("Frq", {7100000}); }));
    if (GetParam() == Transport::Pty) {
        m_log.clear();
        ASSERT_EQ(m_drv->RxChnDump(0, &rc), S_OK);
        EXPECT_EQ(rc, R_OK);
        ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {-1}); }, 60000));
        EXPECT_EQ(m_log.count("ChnStatus"), 101);
        EXPECT_TRUE(m_log.has("ChnStatus", {6, 3500000, -1500, ModCW}));
    }

    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnClosed}));
}

TEST_P(Hf2050EndToEnd, LocalPanelRefusesSettersAndIsReported)
{
    sim::ModelOptions options;
    options.options = {"LOCAL", "ISB"};
    connectAndSettle(options, 0, 1);
    EXPECT_TRUE(m_log.has("Rmt", {0}) || !m_log.has("Rmt", {1}));
    std::int32_t remote = -1;
    m_drv->get_RxIsRemote(0, &remote);
    EXPECT_EQ(remote, 0);
    // A request the receiver refuses stays pending and changes nothing.
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 9000000), S_OK);
    pump(600);
    EXPECT_EQ(simState().frequency, 7050000);
    EXPECT_EQ(receiver().Requested().FrqValue, 9000000u);
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, 7050000);
    std::int32_t exists = 0;
    m_drv->get_RxModExist(0, ModISB, &exists);
    EXPECT_NE(exists, 0);  // O_ISB
}

TEST_P(Hf2050EndToEnd, ConnectFailures)
{
    // Unit 1 asks; a unit 15 answers: unit 1 must not take it for its own.
    sim::ModelOptions options;
    options.options = {"ANY-ADDRESS"};
    startSim("HF2050", options);
    configure(DrvHF2050, 1);
    setNumber(GetParam() == Transport::Pty ? "S_BusAdress" : "T_BusAddr", 1);
    EXPECT_EQ(connect(), ConnectRxIdenError);
    EXPECT_NE(trace().find("=> Err:bad address\n"), std::string::npos) << trace();

    sim::FaultPlan plan;
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    EXPECT_NE(trace().find("=> Err:bad response\n"), std::string::npos) << trace();
}

TEST_P(Hf2050EndToEnd, FaultsAfterConnect)
{
    startSim("HF2050");
    sim::FaultPlan plan;
    plan.garbageAfter = 6;
    plan.garbageBytes = "Q?Z\r\n";
    m_sim->setFaults(plan);
    configure(DrvHF2050, 0, 150, 10);
    // Counting replies and silent ticks: the ticks come from the test.
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") >= 12; }));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    plan = {};
    plan.truncateAfter = 0;
    plan.truncateTo = 6;
    m_sim->setFaults(plan);
    const int frq = m_log.count("Frq");
    tickTimes(4);
    EXPECT_EQ(m_log.count("Frq"), frq);
    plan = {};
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }));
}

INSTANTIATE_TEST_SUITE_P(Links, Hf2050EndToEnd, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

class Hf2050Tcp : public Hf2050EndToEnd {};

TEST_P(Hf2050Tcp, HangUpGivesAConnectionEvent)
{
    startSim("HF2050");
    sim::FaultPlan plan;
    plan.hangUpAfter = 6;
    m_sim->setFaults(plan);
    configure(DrvHF2050, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.connectionLost(); }));
}

// Two units on one line, one instance each: every command reaches its own
// unit, every report lands on its own instance.
TEST_P(Hf2050Tcp, TwoUnitsShareOneLine)
{
    startSim("HF2050:1+HF2050:2");
    BusHub hub(m_sim->port());
    ASSERT_TRUE(hub.ok());
    auto& store = platform::SettingsStore::shared();
    for (const auto& [name, unit] : {std::pair<std::string, int>{"RxA", 1}, {"RxB", 2}}) {
        const std::string key = instanceKey("E2E", name);
        store.writeNumber(key, "D_Type", DrvHF2050);
        store.writeNumber(key, "C_Wait", 150);
        store.writeNumber(key, "C_Type", 1);
        store.writeText(key, "T_Addr", "127.0.0.1");
        store.writeNumber(key, "T_Port", hub.port());
        store.writeNumber(key, "T_TestLink", 0);
        store.writeNumber(key, "T_Delay", 0);
        store.writeNumber(key, "T_BusAddr", unit);
    }
    std::int32_t result = 0;
    ASSERT_EQ(m_drv->DrvConfigure("E2E", ConfLoad, &result), S_OK);
    ConnErr code = ConnectObjectError;
    ASSERT_EQ(m_drv->RxConnect(0, 1, &code), S_OK);
    EXPECT_EQ(code, ConnectNoError);
    ASSERT_EQ(m_drv->RxConnect(1, 1, &code), S_OK);
    EXPECT_EQ(code, ConnectNoError);
    ASSERT_TRUE(waitUntil([&] {
        std::int32_t a = 0;
        std::int32_t b = 0;
        m_drv->get_RxIsConnected(0, &a);
        m_drv->get_RxIsConnected(1, &b);
        return a != 0 && b != 0;
    }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 7000000), S_OK);
    ASSERT_EQ(m_drv->put_RxFrq(1, NONE, 9000000), S_OK);
    ASSERT_EQ(m_drv->put_RxMod(1, ModAM), S_OK);
    EXPECT_TRUE(waitUntil([&] {
        const auto [a, b] = m_sim->withLine([](sim::SimLine& line) {
            return std::pair{line.as<sim::Hf2050Sim>(0)->state(), line.as<sim::Hf2050Sim>(1)->state()};
        });
        return a.frequency == 7000000 && b.frequency == 9000000 && b.mode == "AM" && a.mode == "US";
    }));
    const auto reportedOn = [&](int index, std::int64_t hz) {
        for (const auto& e : m_log.all("Frq")) {
            if (e.args[0] == index && e.args[1] == hz) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(waitUntil([&] { return reportedOn(0, 7000000) && reportedOn(1, 9000000); }));
    pump(500);
    EXPECT_FALSE(reportedOn(0, 9000000));
    EXPECT_FALSE(reportedOn(1, 7000000));
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, 7000000);
    m_drv->get_RxFrq(1, NONE, &hz);
    EXPECT_EQ(hz, 9000000);
    m_drv->RxConnect(0, 0, &code);
    m_drv->RxConnect(1, 0, &code);
}

INSTANTIATE_TEST_SUITE_P(Links, Hf2050Tcp, ::testing::Values(Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
