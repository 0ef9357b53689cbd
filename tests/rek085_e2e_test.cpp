// The REK085 driver end to end: loaded from libquorvin.so, talking to the
// simulated receiver over a pty and over TCP, and two receivers of one
// shared line driven by two instances at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "bushub.h"
#include "driver/core/configstore.h"
#include "driver/core/receiver.h"
#include "e2esupport.h"
#include "platform/settingsstore.h"
#include "rek085sim.h"

namespace quorvin::e2e {
namespace {

class Rek085EndToEnd : public ModelFixture {
protected:
    // Connects and holds the receiver in remote, so the status is asked for
    // every tick (out of remote only every 59th).
    void connectAndSettle(const sim::ModelOptions& options = {}, int dbg = 0)
    {
        startSim("REK085", options);
        configure(DrvREK085, dbg);
        ASSERT_EQ(connect(), ConnectNoError);
        const auto status = [&] { return m_log.count("Agc") > 0; };
        ASSERT_TRUE(m_ticks ? tickUntil(status) : waitUntil(status)) << "no status after connect";
        std::int32_t result = 0;
        ASSERT_EQ(m_drv->RxRemote(0, -1, &result), S_OK);
        ASSERT_EQ(result, 1);
    }
    sim::Rek085State simState(std::size_t index = 0)
    {
        return m_sim->withLine([&](sim::SimLine& line) { return line.as<sim::Rek085Sim>(index)->state(); });
    }
    void setNumber(const std::string& name, std::int32_t value)
    {
        platform::SettingsStore::shared().writeNumber(instanceKey("E2E", "Rx"), name, value);
        std::int32_t result = 0;
        ASSERT_EQ(m_drv->DrvConfigure("E2E", ConfLoad, &result), S_OK);
    }
    std::string trace()
    {
        std::ifstream in(traceFile("rek085.log"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_P(Rek085EndToEnd, ConnectReportsEveryFieldOnceThenControls)
{
    connectAndSettle({}, 1);
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 3; }));
    for (const char* name : {"Frq", "Mod", "Flt", "Agc", "Chn"}) {
        EXPECT_EQ(m_log.count(name), 1) << name;
    }
    EXPECT_TRUE(m_log.has("Frq", {7050000}));
    EXPECT_TRUE(m_log.has("Mod", {ModUSB, 0}));
    EXPECT_TRUE(m_log.has("Flt", {3100}));  // code 2 of the default variant V2
    EXPECT_TRUE(m_log.has("Agc", {AgcSlow}));
    EXPECT_TRUE(m_log.has("Chn", {-1}));
    EXPECT_TRUE(m_log.has("Out", {0, 1}));  // the connect ends with J0
    const std::string log = trace();
    EXPECT_EQ(log.rfind("\n=> @0000000 TRY CONNECT\n=> @", 0), 0u) << log;
    EXPECT_NE(log.find(" GET STATUS\n-> @"), std::string::npos) << log;
    EXPECT_NE(log.find(" O1\n<- @"), std::string::npos) << log;
    EXPECT_NE(log.find(" OPENED\n\n"), std::string::npos) << log;

    Receiver& rx = receiver();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 29999999), S_OK);  // 10 Hz steps: 29999990 is the top
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {29999990}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 0), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {0}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 14100000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {14100000}) && rx.Requested().FrqValue == 0xFFFFFFFFu; }));
    EXPECT_EQ(simState().now.frequency, 14100000);

    const struct {
        MODTYPE asked;
        int code;
        MODTYPE reported;
    } modes[] = {{ModAM, 1, ModAM},   {ModLSB, 3, ModLSB}, {ModCW, 5, ModCW},   {ModRTTY, 9, ModRTTY},
                 {ModFAX, 4, ModFAX}, {ModISB, 6, ModISB}, {ModCW_F, 5, ModCW}, {ModUSB, 2, ModUSB}};
    for (const auto& m : modes) {
        ASSERT_EQ(m_drv->put_RxMod(0, m.asked), S_OK);
        EXPECT_TRUE(waitUntil([&] {
            return simState().now.mode == m.code && rx.GetMod() == m.reported && rx.Requested().ModType == ModNone;
        })) << "asked "
            << m.asked << ": receiver " << simState().now.mode << ", reported " << rx.GetMod();
        // The shown frequency stays; RTTY and FAX sit off their carrier.
        std::int32_t hz = 0;
        EXPECT_TRUE(waitUntil([&] {
            m_drv->get_RxFrq(0, NONE, &hz);
            return hz == 14100000;
        })) << "asked "
            << m.asked << ": shown " << hz << ", receiver " << simState().now.frequency;
    }
    EXPECT_TRUE(m_log.has("Mod", {ModRTTY, -2200}));  // -2210 in 100 Hz steps
    EXPECT_TRUE(m_log.has("Mod", {ModCW, -800}));

    for (const auto& [asked, width, code] : {std::tuple{2000, 3100, 2}, {100, 300, 1}, {9000, 8000, 3}}) {
        ASSERT_EQ(m_drv->put_RxFltBW(0, asked), S_OK);
        EXPECT_TRUE(waitUntil([&] { return rx.GetFltBW() == width && simState().now.filter == code; })) << asked;
    }
    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcFast), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Agc", {AgcFast}) && simState().now.agc == 3; }));
    auto sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxAgcSts(0, AgcManual), S_OK);  // needs R_MAgc
    EXPECT_EQ(rx.CommandsSent(), sent);

    // Outputs: exactly one on.
    std::int32_t state = 0;
    ASSERT_EQ(m_drv->put_RxOut(0, 3, -1), S_OK);
    m_drv->get_RxOut(0, 3, &state);
    EXPECT_EQ(state, 1);
    m_drv->get_RxOut(0, 4, &state);
    EXPECT_EQ(state, 0);
    m_drv->get_RxOut(0, 10, &state);
    EXPECT_EQ(state, -1);
    ASSERT_TRUE(waitUntil([&] { return simState().now.output == 3; }));
    sent = rx.CommandsSent();
    EXPECT_EQ(rx.SetOut(-1, 1), -1);
    EXPECT_EQ(rx.SetOut(10, 1), -1);
    EXPECT_EQ(rx.SetOut(5, 0), 1);
    EXPECT_EQ(rx.CommandsSent(), sent);

    // Memory channels.
    RCODE rc = R_KO;
    ASSERT_EQ(m_drv->RxChnWrite(0, 7, 7000000, 0, ModUSB, 2400, AgcSlow, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return simState().channels[7].frequency == 7000000; }));
    EXPECT_EQ(simState().channels[7].filter, 2);
    ASSERT_EQ(m_drv->RxChnWrite(0, 7, 100000000, 0, ModUSB, 2400, AgcSlow, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_PERR);  // would overflow "F%07d"
    ASSERT_EQ(m_drv->RxChnWrite(0, 100, 7000000, 0, ModUSB, 2400, AgcSlow, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_PERR);
    ASSERT_EQ(m_drv->RxChnRead(0, 7, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    RCODE second = R_OK;
    ASSERT_EQ(m_drv->RxChnRead(0, 8, &second), S_OK);
    EXPECT_EQ(second, R_WAIT);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {7, 7000000, 0, ModUSB, 3100, AgcSlow, 0}); }));
    ASSERT_EQ(m_drv->RxChnClear(0, 7, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(
        waitUntil([&] { return simState().channels[7].frequency == 10000000 && simState().channels[7].mode == 5; }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 9000000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {9000000}); }));
    ASSERT_EQ(m_drv->RxChnSave(0, 8, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return simState().channels[8].frequency == 9000000; }));
    ASSERT_EQ(m_drv->RxChnLoad(0, 7, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Chn", {7}) && m_log.has("Frq", {10000000}); }));
    if (GetParam() == Transport::Pty) {
        m_log.clear();
        ASSERT_EQ(m_drv->RxChnDump(0, &rc), S_OK);
        EXPECT_EQ(rc, R_OK);
        ASSERT_TRUE(waitUntil([&] { return m_log.has("ChnStatus", {-1}); }, 60000));
        EXPECT_EQ(m_log.count("ChnStatus"), 101);
        EXPECT_TRUE(m_log.has("ChnStatus", {8, 9000000}));
    }

    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnClosed}));
}

TEST_P(Rek085EndToEnd, FilterVariantOfTheSettings)
{
    sim::ModelOptions options;
    options.options = {"V1"};
    startSim("REK085", options);
    configure(DrvREK085, 0);
    setNumber("R_MOpt", 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.count("Agc") > 0; }));
    std::int16_t count = 0;
    m_drv->get_RxFltCount(0, &count);
    EXPECT_EQ(count, 3);
    std::int32_t width = 0;
    m_drv->get_RxFltValue(0, 1, &width);
    EXPECT_EQ(width, 2400);
    EXPECT_TRUE(m_log.has("Flt", {2400}));
}

TEST_P(Rek085EndToEnd, ConnectFailures)
{
    sim::ModelOptions options;
    options.options = {"ANY-ADDRESS"};
    startSim("REK085", options);
    configure(DrvREK085, 1);
    setNumber(GetParam() == Transport::Pty ? "S_BusAdress" : "T_BusAddr", 5);
    EXPECT_EQ(connect(), ConnectRxBadAddr);
    EXPECT_NE(trace().find("=> Err:bad addr\n"), std::string::npos) << trace();

    sim::FaultPlan plan;
    plan.garbageAfter = 0;
    plan.garbageBytes = "\n*B00K  F0705000I2B   W2R0H0Z0J0\r";  // one letter of the header wrong
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectRxIdenError);
    EXPECT_NE(trace().find("=> Err:bad frame\n"), std::string::npos) << trace();

    plan.garbageBytes = "\x7F\x7F\r";
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    EXPECT_NE(trace().find("=> Err:bad response\n"), std::string::npos) << trace();

    plan = {};
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    EXPECT_NE(connect(), ConnectNoError);
    EXPECT_NE(trace().find("=> Err:empty response\n"), std::string::npos) << trace();
}

TEST_P(Rek085EndToEnd, FaultsAfterConnect)
{
    // Counting replies and silent ticks: the ticks come from the test.
    useManualTicks();
    connectAndSettle();
    sim::FaultPlan plan;
    plan.garbageAfter = 0;
    plan.garbageBytes = "Q?Z garbage garbage\r";
    m_sim->setFaults(plan);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") >= 12; }));
    EXPECT_TRUE(m_log.has("DataError", {ConnectRxFramError}));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    plan = {};
    plan.truncateAfter = 0;
    plan.truncateTo = 20;
    m_sim->setFaults(plan);
    const int frq = m_log.count("Frq");
    tickTimes(4);
    EXPECT_EQ(m_log.count("Frq"), frq);
    plan = {};
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }));
}

TEST_P(Rek085EndToEnd, AnUnansweredChannelReadDoesNotSilenceAReceiverThatAnswersAgain)
{
    // Held in remote the silence limit is the retry count: a channel read
    // whose answer was lost stops the status requests only for part of it,
    // so a receiver that answers again is asked, and stays connected.
    useManualTicks();
    connectAndSettle();
    sim::FaultPlan plan;
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    RCODE rc = R_KO;
    ASSERT_EQ(m_drv->RxChnRead(0, 5, &rc), S_OK);
    ASSERT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] {
        const auto lines = simTrace();
        return std::any_of(lines.begin(), lines.end(),
                           [](const std::string& l) { return l.find("(silent)") != std::string::npos; });
    }));
    m_sim->setFaults({});
    tickTimes(30);
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
    std::int32_t connected = 0;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_NE(connected, 0);
    // The read that was never answered is over: another may start.
    ASSERT_EQ(m_drv->RxChnRead(0, 6, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
}

TEST_P(Rek085EndToEnd, AModeChangedAtThePanelKeepsTheShownFrequency)
{
    // The receiver keeps its own frequency when its mode is turned at the
    // panel; the driver tunes it again for the new mode's carrier, and the
    // frequency shown never moves meanwhile.
    useManualTicks();
    startSim("REK085");
    configure(DrvREK085, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Agc") > 0; }));
    Receiver& rx = receiver();
    ASSERT_EQ(rx.Current().ModType, ModUSB);
    const std::uint32_t shown = rx.Current().FrqValue;
    const std::int32_t receiverBefore = simState().now.frequency;
    m_log.clear();
    m_sim->withLine([](sim::SimLine& line) { line.as<sim::Rek085Sim>()->state().now.mode = 4; });  // FAX
    EXPECT_TRUE(tickUntil(
        [&] {
            return simState().now.frequency != receiverBefore && rx.Requested().FrqValue == 0xFFFFFFFFu &&
                   rx.Current().ModType == ModFAX;
        },
        400));
    EXPECT_EQ(rx.Current().FrqValue, shown);
    for (const Event& e : m_log.all("Frq")) {
        EXPECT_EQ(e.args[1], static_cast<std::int64_t>(shown));
    }

    // A channel recalled at the panel changes mode and frequency at once:
    // taken as the receiver reports it, nothing tuned again.
    m_sim->withLine([](sim::SimLine& line) {
        auto& state = line.as<sim::Rek085Sim>()->state();
        state.now = sim::Rek085Setting{8000000, 2, 0, 2, 0, 0, 0, 0};
        state.channel = 5;
    });
    EXPECT_TRUE(tickUntil([&] { return rx.Current().ModType == ModUSB; }, 400));
    pump(200);
    tickTimes(3);
    EXPECT_EQ(simState().now.frequency, 8000000);
    EXPECT_EQ(rx.Current().FrqValue, 8000000u);
    EXPECT_EQ(m_log.count("DataError"), 0);
}

TEST_P(Rek085EndToEnd, AFirstAnswerLostAfterConnectIsAskedForAgainAtOnce)
{
    // Out of remote the status is asked for every 59th tick only; until the
    // receiver's first answer has come, it is asked for on every tick, so a
    // lost answer does not keep the receiver from connecting for 59 ticks.
    useManualTicks();
    startSim("REK085");
    sim::FaultPlan plan;
    plan.silenceAfter = 1;  // the connect's status is answered, the next not
    m_sim->setFaults(plan);
    configure(DrvREK085, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    tickTimes(1);
    m_sim->setFaults({});
    EXPECT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectNoError}); }, 5));
    EXPECT_FALSE(m_log.connectionLost());
}

INSTANTIATE_TEST_SUITE_P(Links, Rek085EndToEnd, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

class Rek085Tcp : public Rek085EndToEnd {};

TEST_P(Rek085Tcp, HangUpGivesAConnectionEvent)
{
    connectAndSettle();
    sim::FaultPlan plan;
    plan.hangUpAfter = 0;
    m_sim->setFaults(plan);
    ASSERT_TRUE(waitUntil([&] { return m_log.connectionLost(); }));
}

// Two receivers on one line, one instance each, by their addresses.
TEST_P(Rek085Tcp, TwoReceiversShareOneLine)
{
    startSim("REK085:1+REK085:2");
    BusHub hub(m_sim->port());
    ASSERT_TRUE(hub.ok());
    auto& store = platform::SettingsStore::shared();
    for (const auto& [name, address] : {std::pair<std::string, int>{"RxA", 1}, {"RxB", 2}}) {
        const std::string key = instanceKey("E2E", name);
        store.writeNumber(key, "D_Type", DrvREK085);
        store.writeNumber(key, "C_Wait", 150);
        store.writeNumber(key, "C_Type", 1);
        store.writeText(key, "T_Addr", "127.0.0.1");
        store.writeNumber(key, "T_Port", hub.port());
        store.writeNumber(key, "T_TestLink", 0);
        store.writeNumber(key, "T_Delay", 0);
        store.writeNumber(key, "T_BusAddr", address);
    }
    std::int32_t result = 0;
    ASSERT_EQ(m_drv->DrvConfigure("E2E", ConfLoad, &result), S_OK);
    for (std::int16_t i : {0, 1}) {
        ConnErr code = ConnectObjectError;
        ASSERT_EQ(m_drv->RxConnect(i, 1, &code), S_OK);
        EXPECT_EQ(code, ConnectNoError);
    }
    ASSERT_TRUE(waitUntil([&] {
        std::int32_t a = 0;
        std::int32_t b = 0;
        m_drv->get_RxIsConnected(0, &a);
        m_drv->get_RxIsConnected(1, &b);
        return a != 0 && b != 0;
    }));
    m_drv->RxRemote(0, -1, &result);
    m_drv->RxRemote(1, -1, &result);
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 7000000), S_OK);
    ASSERT_EQ(m_drv->put_RxFrq(1, NONE, 9000000), S_OK);
    EXPECT_TRUE(
        waitUntil([&] { return simState(0).now.frequency == 7000000 && simState(1).now.frequency == 9000000; }));
    const auto reportedOn = [&](int index, std::int64_t hz) {
        for (const auto& e : m_log.all("Frq")) {
            if (e.args[0] == index && e.args[1] == hz) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(waitUntil([&] { return reportedOn(0, 7000000) && reportedOn(1, 9000000); }));
    pump(400);
    EXPECT_FALSE(reportedOn(0, 9000000));
    EXPECT_FALSE(reportedOn(1, 7000000));
    ConnErr code = ConnectObjectError;
    m_drv->RxConnect(0, 0, &code);
    m_drv->RxConnect(1, 0, &code);
}

INSTANTIATE_TEST_SUITE_P(Links, Rek085Tcp, ::testing::Values(Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
