// The TRC294 driver end to end: loaded from libquorvin.so, talking to the
// simulated TRC294 and TRC294A over a pty and over TCP; controls, the
// options, all 101 channels with their masks, the trace file and faults.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "driver/core/configstore.h"
#include "driver/core/receiver.h"
#include "driver/models/trc294/trc294codec.h"
#include "e2esupport.h"
#include "platform/settingsstore.h"
#include "trc294sim.h"

namespace quorvin::e2e {
namespace {

class Trc294EndToEnd : public ModelFixture {
protected:
    // Options of the simulated receiver ("A", "EXT", "SSB"); the driver is
    // told of EXT and SSB through O_EXT and O_SSB.
    void connectAndSettle(std::set<std::string> options = {}, int dbg = 0)
    {
        sim::ModelOptions o;
        o.options = options;
        startSim("TRC294", o);
        auto& store = platform::SettingsStore::shared();
        store.writeNumber(instanceKey("E2E", "Rx"), "O_EXT", options.count("EXT") != 0 ? 1 : 0);
        store.writeNumber(instanceKey("E2E", "Rx"), "O_SSB", options.count("SSB") != 0 ? 1 : 0);
        configure(DrvTRC294, dbg);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(waitUntil([&] { return m_log.count("Att") > 0; })) << "no status after connect";
    }
    template <class F>
    auto state(F&& f)
    {
        return withSim<sim::Trc294Sim>([&](sim::Trc294Sim& s) { return f(s.state()); });
    }
    std::int32_t simFrequency()
    {
        return state([](const sim::Trc294State& s) { return s.frequency; });
    }
    bool simRemote()
    {
        return state([](const sim::Trc294State& s) { return s.remote; });
    }
    std::string readTrace()
    {
        std::ifstream in(traceFile("trc294.log"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_P(Trc294EndToEnd, PlainModelReportsEveryFieldOnceThenEveryControl)
{
    connectAndSettle();
    const int replies = m_sim->repliesSent();
    ASSERT_TRUE(waitUntil([&] { return m_sim->repliesSent() >= replies + 3; }));
    EXPECT_EQ(m_log.count("ConnState"), 1);
    for (const char* field : {"Frq", "Mod", "Flt", "Att"}) {
        EXPECT_EQ(m_log.count(field), 1) << field;
    }
    EXPECT_TRUE(m_log.has("Frq", {100000000}));
    EXPECT_TRUE(m_log.has("Mod", {ModFM}));
    EXPECT_TRUE(m_log.has("Flt", {16000}));  // code 1: F_FL2
    EXPECT_TRUE(m_log.has("Att", {AttOff, 0}));
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "294");
    EXPECT_FALSE(simRemote());
    Receiver& rx = receiver();

    // The range limits; the top is cut to the 1000 Hz step.
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 20000000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {20000000}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 119999999), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {119999000}); }));
    EXPECT_EQ(simFrequency(), 119999000);
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_FALSE(simRemote());  // 0xEE after every setting
    const auto sent = rx.CommandsSent();
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 120000000), S_OK);  // beyond the plain model
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 19999999), S_OK);
    ASSERT_EQ(m_drv->put_RxMod(0, ModUSB), S_OK);  // no SSB hardware
    ASSERT_EQ(m_drv->put_RxMod(0, ModCW), S_OK);
    EXPECT_EQ(rx.CommandsSent(), sent);
    std::int32_t exists = -1;
    m_drv->get_RxModExist(0, ModLSB, &exists);
    EXPECT_EQ(exists, 0);

    for (MODTYPE mod : {ModAM, ModMPH, ModFM}) {
        ASSERT_EQ(m_drv->put_RxMod(0, mod), S_OK);
        EXPECT_TRUE(waitUntil([&] { return rx.GetMod() == mod && rx.Requested().ModType == ModNone; })) << mod;
    }
    ASSERT_EQ(m_drv->put_RxFltBW(0, 30000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Flt", {36000}); }));
    EXPECT_EQ(state([](const sim::Trc294State& s) { return s.filter; }), 2);
    for (ATTSTATE att : {AttOn1, AttOn2, AttOn3, AttOn4, AttOn5, AttOff}) {
        ASSERT_EQ(m_drv->put_RxAttSts(0, att), S_OK);
        EXPECT_TRUE(waitUntil([&] { return m_log.has("Att", {att, att}); })) << att;
    }
    EXPECT_EQ(state([](const sim::Trc294State& s) { return s.filter; }), 2);

    // Held in remote: no hand-back after a setting.
    std::int32_t result = 0;
    ASSERT_EQ(m_drv->RxRemote(0, -1, &result), S_OK);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 50000000), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {50000000}); }));
    EXPECT_TRUE(simRemote());
    ASSERT_EQ(m_drv->RxRemote(0, 0, &result), S_OK);
    EXPECT_TRUE(waitUntil([&] { return !simRemote(); }));

    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {ConnectLnClosed}));
    EXPECT_FALSE(simRemote());
    EXPECT_EQ(state([](const sim::Trc294State& s) { return s.refused; }), 1);  // the A model's request
}

TEST_P(Trc294EndToEnd, AModeChangeLostOnTheLineIsSentOnceMoreOrGivenUp)
{
    // Frequency and mode travel in one binary message.
    startSim("TRC294");
    configure(DrvTRC294, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Att") > 0; }));
    const auto hz = static_cast<std::int32_t>(receiver().Current().FrqValue);
    const MODTYPE before = receiver().Current().ModType;
    const MODTYPE other = before == ModFM ? ModAM : ModFM;
    sim::FaultPlan plan;
    plan.dropCommand = trc294::tuneMessage(hz, trc294::codeFromMode(other));
    plan.dropCount = 1;
    m_sim->setFaults(plan);
    m_drv->put_RxMod(0, other);
    EXPECT_TRUE(tickUntil([&] { return m_log.has("Mod", {other}); }, 100));
    EXPECT_EQ(m_log.count("DataError"), 0);

    plan.dropCommand = trc294::tuneMessage(hz, trc294::codeFromMode(before));
    plan.dropCount = 2;
    m_sim->setFaults(plan);
    m_drv->put_RxMod(0, before);
    EXPECT_EQ(receiver().EffectiveMode(), before);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") > 0; }, 150));
    EXPECT_TRUE(m_log.has("DataError", {ConnectRxDataError}));
    EXPECT_TRUE(m_log.all("Mod").back().args[1] == other);
    EXPECT_EQ(receiver().EffectiveMode(), other);
    EXPECT_FALSE(m_log.connectionLost());
}

TEST_P(Trc294EndToEnd, FilterAndAttenuatorAskedForTogetherBothStay)
{
    // Filter and attenuator travel in one message: the second request,
    // sent before the receiver confirmed the first, carries it along
    // instead of putting the old setting back.
    startSim("TRC294");
    configure(DrvTRC294, 0);
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.count("Att") > 0; }));
    ASSERT_NE(receiver().Current().ModType, ModUSB);
    ASSERT_EQ(state([](const sim::Trc294State& s) { return s.filter * 10 + s.attenuator; }), 10);
    m_drv->put_RxFltBW(0, 30000);
    m_drv->put_RxAttSts(0, AttOn2);
    EXPECT_TRUE(tickUntil(
        [&] {
            return receiver().Requested().FltValue == -1 && receiver().Requested().AttState == AttNone &&
                   m_log.has("Flt", {36000}) && m_log.has("Att", {AttOn2, AttOn2});
        },
        100));
    EXPECT_EQ(state([](const sim::Trc294State& s) { return s.filter * 10 + s.attenuator; }), 22);

    // The other way round: an attenuator first, then a filter.
    m_drv->put_RxAttSts(0, AttOn4);
    m_drv->put_RxFltBW(0, 16000);
    EXPECT_TRUE(tickUntil(
        [&] { return receiver().Requested().FltValue == -1 && receiver().Requested().AttState == AttNone; }, 100));
    EXPECT_EQ(state([](const sim::Trc294State& s) { return s.filter * 10 + s.attenuator; }), 14);
    EXPECT_EQ(m_log.count("DataError"), 0);
}

TEST_P(Trc294EndToEnd, AllHundredAndOneChannelsWithMasks)
{
    if (GetParam() == Transport::Tcp) {
        GTEST_SKIP() << "the channel walk runs over the pty; TCP is covered by the controls";
    }
    connectAndSettle();
    RCODE rc = R_KO;
    for (int ch = 1; ch <= 101; ++ch) {
        ASSERT_EQ(m_drv->RxChnWrite(0, static_cast<std::int16_t>(ch), 20000000 + ch * 900000 + 999, 0,
                                    ch % 2 == 0 ? ModAM : ModMPH, ch % 3 == 0 ? 36000 : 16000, AgcNone, ch + 100, &rc),
                  S_OK);
        ASSERT_EQ(rc, R_OK) << ch;
    }
    ASSERT_EQ(m_drv->RxChnWrite(0, 0, 30000000, 0, ModAM, 16000, AgcNone, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_PERR);
    ASSERT_EQ(m_drv->RxChnWrite(0, 102, 30000000, 0, ModAM, 16000, AgcNone, 0, &rc), S_OK);
    EXPECT_EQ(rc, R_PERR);
    ASSERT_EQ(m_drv->RxChnWrite(0, 3, 30000000, 0, ModAM, 16000, AgcNone, 256, &rc), S_OK);
    EXPECT_EQ(rc, R_KO);  // the mask is one byte
    ASSERT_TRUE(
        waitUntil([&] { return state([](const sim::Trc294State& s) { return s.channels[100].has_value(); }); }));
    const auto c7 = state([](const sim::Trc294State& s) { return *s.channels[6]; });
    EXPECT_EQ(c7.frequency, 26300000);
    EXPECT_EQ(c7.mode, 3);
    EXPECT_EQ(c7.mask, 107);
    // The driver keeps what it wrote: BCD digits and the codes.
    auto& store = platform::SettingsStore::shared();
    EXPECT_EQ(store.readNumber(instanceKey("E2E", "Rx"), "007_FrqVal"), 0x02630000);
    EXPECT_FALSE(simRemote());

    m_log.clear();
    ASSERT_EQ(m_drv->RxChnDump(0, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    const auto channels = m_log.all("ChnStatus");
    ASSERT_EQ(channels.size(), 102u);
    for (int ch = 1; ch <= 101; ++ch) {
        // index, chn, frq, bfo, mod, flt, agc, msk
        const std::vector<std::int64_t> expected{
            0,       ch,      20000000 + ch * 900000, 0, ch % 2 == 0 ? ModAM : ModMPH, ch % 3 == 0 ? 36000 : 16000,
            AgcNone, ch + 100};
        EXPECT_EQ(channels[static_cast<std::size_t>(ch - 1)].args, expected) << ch;
    }
    EXPECT_EQ(channels[101].args, (std::vector<std::int64_t>{0, -1, 0, 0, ModNone, 0, AgcNone, 0}));

    ASSERT_EQ(m_drv->RxChnClear(0, 5, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    EXPECT_TRUE(waitUntil([&] { return !state([](const sim::Trc294State& s) { return s.channels[4].has_value(); }); }));
    m_log.clear();
    ASSERT_EQ(m_drv->RxChnRead(0, 5, &rc), S_OK);
    EXPECT_EQ(m_log.last("ChnStatus")->args, (std::vector<std::int64_t>{0, 5, 0, 0, ModNone, 0, AgcNone, 0}));
    ASSERT_EQ(m_drv->RxChnLoad(0, 5, &rc), S_OK);
    EXPECT_EQ(rc, R_KO);  // nothing stored there

    ASSERT_EQ(m_drv->RxChnLoad(0, 7, &rc), S_OK);
    EXPECT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {26300000}) && m_log.has("Chn", {7}); }));
    EXPECT_TRUE(m_log.has("Mod", {ModMPH}));
    // A tune leaves the channel.
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 30000000), S_OK);
    EXPECT_TRUE(waitUntil([&] { return m_log.has("Chn", {-1}); }));
}

TEST_P(Trc294EndToEnd, AModelWithOptionsAndItsPanel)
{
    connectAndSettle({"A", "EXT", "SSB"}, 1);
    std::string rom;
    m_drv->get_RxRomID(0, &rom);
    EXPECT_EQ(rom, "294A");
    EXPECT_EQ(state([](const sim::Trc294State& s) { return s.display; }), "TRC294A REMOTE  ");
    EXPECT_FALSE(simRemote());
    Receiver& rx = receiver();

    ASSERT_EQ(m_drv->put_RxMod(0, ModUSB), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Mod", {ModUSB}); }));
    EXPECT_TRUE(m_log.has("Flt", {2700}));  // USB: the SSB filter
    std::int32_t step = 0;
    m_drv->get_RxFrqStp(0, &step);
    EXPECT_EQ(step, 10);
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 499999999), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {499999990}); }));
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 145123456), S_OK);
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Frq", {145123450}); }));
    for (MODTYPE mod : {ModLSB, ModCW, ModAM}) {
        ASSERT_EQ(m_drv->put_RxMod(0, mod), S_OK);
        EXPECT_TRUE(waitUntil([&] { return rx.GetMod() == mod && rx.Requested().ModType == ModNone; })) << mod;
    }
    EXPECT_EQ(simFrequency(), 145123000);  // AM tunes in 1000 Hz steps
    EXPECT_FALSE(simRemote());

    std::int32_t result = 0;
    // The panel text follows the remote message: both have arrived once the
    // panel shows it.
    const auto display = [&] { return state([](const sim::Trc294State& s) { return s.display; }); };
    ASSERT_EQ(m_drv->RxRemote(0, -1, &result), S_OK);
    EXPECT_TRUE(waitUntil([&] { return simRemote() && display() == "TRC294A LOCKED  "; })) << display();
    ASSERT_EQ(m_drv->RxRemote(0, 0, &result), S_OK);
    EXPECT_TRUE(waitUntil([&] { return !simRemote() && display() == "TRC294A UNLOCKED"; })) << display();

    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_TRUE(
        waitUntil([&] { return state([](const sim::Trc294State& s) { return s.display; }) == "TRC294A LOCAL   "; }));
    EXPECT_EQ(state([](const sim::Trc294State& s) { return s.refused; }), 0);

    // The trace: the dialogue, frames as unsigned hexadecimal bytes.
    const std::string log = readTrace();
    EXPECT_EQ(log.rfind("\n=> @0000000 TRY CONNECT\n", 0), 0u) << log;
    EXPECT_NE(log.find(" SET LOCAL\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" GET STATUS\n<- @"), std::string::npos) << log;
    EXPECT_NE(log.find(" FF0308F4\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" FF040501FF\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" OPENED\n\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" FRAME   0906"), std::string::npos) << log;
    EXPECT_EQ(log.find("FFFFFF"), std::string::npos) << log;
}

TEST_P(Trc294EndToEnd, ACorruptedChecksumOrLengthIsRefused)
{
    // Counting refused frames: the ticks come from the test.
    useManualTicks();
    for (int at : {-1, 0}) {
        m_log.clear();
        sim::ModelOptions o;
        o.options = {"A"};
        startSim("TRC294", o);
        sim::FaultPlan plan;
        plan.corruptAfter = 4;  // the connect's two answers and two polls
        plan.corruptAt = at;
        m_sim->setFaults(plan);
        configure(DrvTRC294, 0, 150, 10);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") >= 2; })) << at;
        EXPECT_TRUE(m_log.has("DataError", {ConnectRxFramError}));
        EXPECT_EQ(m_log.count("Frq"), 1) << at;
        ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 30000000), S_OK);
        tickTimes(4);
        EXPECT_EQ(m_log.count("Frq"), 1) << "a refused frame was parsed";
        EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));
        disconnect();
    }
}

TEST_P(Trc294EndToEnd, ConnectFailures)
{
    startSim("TRC294");
    sim::FaultPlan plan;
    plan.garbageAfter = 0;
    plan.garbageBytes = std::string("\x12\x34\x56\x78\x90\x12\x34\x56", 8);
    m_sim->setFaults(plan);
    configure(DrvTRC294, 1);
    EXPECT_EQ(connect(), ConnectRxIdenError);
    EXPECT_NE(readTrace().find("=> Err:bad header\n"), std::string::npos);

    plan.garbageBytes = std::string("\x7F\xFF\x00", 3);
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    // A record too short for its fields.
    plan.garbageBytes = std::string("\xF1\x45\x00", 3);
    m_sim->setFaults(plan);
    EXPECT_EQ(connect(), ConnectLnTimeOut);
    EXPECT_NE(readTrace().find("=> Err:bad response\n"), std::string::npos);

    plan = {};
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    const ConnErr silent = connect();
    EXPECT_NE(silent, ConnectNoError);
    EXPECT_TRUE(m_log.has("ConnState", {silent}));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectNoError}));
}

TEST_P(Trc294EndToEnd, SilenceGarbageAndCutRecordsAfterConnect)
{
    startSim("TRC294");
    sim::FaultPlan plan;
    plan.truncateAfter = 3;
    plan.truncateTo = 4;
    m_sim->setFaults(plan);
    configure(DrvTRC294, 0, 150, 10);
    // Counting replies and silent ticks: the ticks come from the test.
    useManualTicks();
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("DataError", {ConnectRxFramError}); }));
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") >= 2; }));
    EXPECT_LE(m_log.count("Frq"), 1);

    plan = {};
    plan.garbageAfter = 0;
    plan.garbageBytes = "garbage";
    m_sim->setFaults(plan);
    m_log.clear();
    ASSERT_TRUE(tickUntil([&] { return m_log.count("DataError") >= 12; }));
    EXPECT_FALSE(m_log.has("ConnState", {ConnectRxTimeOut}));

    plan = {};
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    ASSERT_TRUE(tickUntil([&] { return m_log.has("ConnState", {ConnectRxTimeOut}); }));
}

TEST_P(Trc294EndToEnd, AModeSetRightAfterATuneKeepsTheNewFrequency)
{
    // Frequency and mode travel in one message: a mode set before the
    // receiver confirmed a new frequency must carry that frequency, not
    // tune the receiver back (the request would then stay pending for ever).
    connectAndSettle();
    MODTYPE mod = ModNone;
    m_drv->get_RxMod(0, &mod);
    const MODTYPE other = mod == ModFM ? ModAM : ModFM;
    ASSERT_EQ(m_drv->put_RxFrq(0, NONE, 45503000), S_OK);
    ASSERT_EQ(m_drv->put_RxMod(0, other), S_OK);  // no event handled in between
    EXPECT_TRUE(waitUntil([&] { return m_log.has("Frq", {45503000}) && m_log.has("Mod", {other}); }));
    EXPECT_EQ(simFrequency(), 45503000);
    std::int32_t hz = 0;
    m_drv->get_RxFrq(0, NONE, &hz);
    EXPECT_EQ(hz, 45503000);
}

INSTANTIATE_TEST_SUITE_P(Links, Trc294EndToEnd, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

class Trc294Tcp : public Trc294EndToEnd {};

TEST_P(Trc294Tcp, DroppedConnectionGivesAConnectionEvent)
{
    startSim("TRC294");
    sim::FaultPlan plan;
    plan.hangUpAfter = 4;
    m_sim->setFaults(plan);
    configure(DrvTRC294, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.connectionLost(); }));
    std::int32_t connected = -1;
    m_drv->get_RxIsConnected(0, &connected);
    EXPECT_EQ(connected, 0);
    pump(300);
}

INSTANTIATE_TEST_SUITE_P(Links, Trc294Tcp, ::testing::Values(Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
