// The driver object as a client sees it: created from libquorvin.so by its
// class identifier, configured from a settings file, answering by index.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>

#include <fstream>
#include <iterator>

#include "driver/core/drivermanager.h"
#include "driver/core/modelregistry.h"
#include "driver/core/receiverdriver.h"
#include "driver/core/timerregistry.h"
#include "platform/reporter.h"
#include "testsupport.h"

namespace quorvin::test {
namespace {

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Collects what the library tells the user.
class RecordingReporter : public platform::Reporter {
public:
    RecordingReporter() { platform::setReporter(this); }
    ~RecordingReporter() override { platform::setReporter(nullptr); }
    RecordingReporter(const RecordingReporter&) = delete;
    RecordingReporter& operator=(const RecordingReporter&) = delete;
    void message(const std::string& title, const std::string& text, platform::MessageIcon) override
    {
        messages.push_back(title + ": " + text);
    }
    bool confirm(const std::string&, const std::string&, bool fallback) override { return fallback; }
    void beep(int, int) override {}
    std::vector<std::string> messages;
};

class FacadeTest : public ::testing::Test {
protected:
    TempStore temp;
    std::unique_ptr<IReceiverDriver> drv = loadDriver();
    RecordingSink sink;
    std::uint32_t cookie = 0;
    int dialogRuns = 0;

    void SetUp() override
    {
        ASSERT_NE(drv, nullptr);
        ASSERT_EQ(drv->Advise(&sink, &cookie), S_OK);
    }
    void TearDown() override { setSelectionDialog(nullptr); }

    // Counts dialog runs, then does what the operator would.
    void installDialog(std::function<void(DriverManager&)> action = nullptr)
    {
        setSelectionDialog([this, action](DriverManager& m) {
            ++dialogRuns;
            if (action) {
                action(m);
            }
        });
    }

    std::int32_t configure(const std::string& name, ConfMode mode = ConfLoad)
    {
        std::int32_t result = -99;
        EXPECT_EQ(drv->DrvConfigure(name, mode, &result), S_OK);
        return result;
    }

    TestModel& model(int position)
    {
        auto* inst = static_cast<ReceiverDriver*>(drv.get())->Manager().Instance(position);
        EXPECT_NE(inst, nullptr);
        return dynamic_cast<TestModel&>(*inst->receiver);
    }

    std::vector<std::string> names()
    {
        std::vector<std::string> out;
        std::int16_t count = 0;
        if (drv->get_RxCount(&count) != S_OK) {
            return out;
        }
        for (std::int16_t i = 0; i < count; ++i) {
            std::string name;
            drv->get_RxName(i, &name);
            out.push_back(name);
        }
        return out;
    }
};

TEST(Factory, CreatesTheDriverByClassIdOnly)
{
    void* handle = dlopen(nullptr, RTLD_NOW);
    auto factory = reinterpret_cast<ComponentFactoryFn>(dlsym(handle, kComponentFactorySymbol));
    ASSERT_NE(factory, nullptr);
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory(kFrequencyDataClassId, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory("{beba4552-a15a-4f4a-b00c-eb647ff476cc}", &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory(nullptr, &object), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(factory(kReceiverDriverClassId, &object), S_OK);
    std::unique_ptr<IReceiverDriver> drv(static_cast<IReceiverDriver*>(object));
    std::int32_t max = 0;
    EXPECT_EQ(drv->DrvMax(&max), S_OK);
    EXPECT_EQ(max, 8);
}

TEST_F(FacadeTest, ConfLoadWithInstancesReturnsOneAndShowsNoDialog)
{
    temp.addInstance("Station", "Rx2", DrvRA1792);
    temp.addInstance("Station", "rx1", DrvNRD535);
    installDialog();
    EXPECT_EQ(configure("Station"), 1);
    EXPECT_EQ(dialogRuns, 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"rx1", "Rx2"}));  // store order: case ignored
    EXPECT_EQ(model(1).type, DrvRA1792);
    EXPECT_EQ(model(1).Index(), 1);
    EXPECT_EQ(model(1).InstanceName(), "Rx2");

    EXPECT_EQ(configure("Station", ConfDialog), 2);
    EXPECT_EQ(dialogRuns, 1);
    // The dialog changed nothing: no DrvUpdated.
    EXPECT_TRUE(sink.events.empty() || sink.events.back().rfind("DrvUpdated", 0) != 0);
}

TEST_F(FacadeTest, EmptyConfigurationRunsTheDialogWhateverTheMode)
{
    EXPECT_EQ(configure("Fresh"), 0);  // no dialog installed: nothing shown, nothing blocks
    EXPECT_TRUE(temp.store().keyExists(configurationKey("Fresh")));

    installDialog();
    EXPECT_EQ(configure("Fresh", ConfLoad), 0);
    EXPECT_EQ(configure("Fresh", ConfDialog), 0);
    EXPECT_EQ(dialogRuns, 2);
    std::int16_t count = 7;
    EXPECT_EQ(drv->get_RxCount(&count), S_FALSE);
    EXPECT_EQ(count, 7);
}

TEST_F(FacadeTest, LoadingSkipsAndStopsAsTheStoreSays)
{
    registerModel(DrvNDX264, {});  // a type without a driver
    temp.addInstance("Mixed", "A", DrvNRD535);
    temp.store().createKey(instanceKey("Mixed", "B"));  // no D_Type: skipped
    temp.store().writeText(instanceKey("Mixed", "C"), "D_Type", "0");  // wrong type: skipped
    temp.addInstance("Mixed", "D", DrvNDX264);  // no driver: skipped
    temp.addInstance("Mixed", "E", DrvRA6790);
    temp.addInstance("Mixed", "F", 8);  // outside 0..7: ends the loading
    temp.addInstance("Mixed", "G", DrvNRD535);
    EXPECT_EQ(configure("Mixed"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "E"}));
    EXPECT_EQ(model(1).Index(), 1);
}

TEST_F(FacadeTest, AtMostEightInstancesLoad)
{
    for (int i = 0; i < 10; ++i) {
        temp.addInstance("Big", "R" + std::to_string(i), DrvNRD535);
    }
    EXPECT_EQ(configure("Big"), 1);
    const auto loaded = names();
    ASSERT_EQ(loaded.size(), 8u);
    EXPECT_EQ(loaded.front(), "R0");
    EXPECT_EQ(loaded.back(), "R7");
}

TEST_F(FacadeTest, BadIndexIsServedByInstanceZero)
{
    temp.addInstance("Two", "A", DrvNRD535);
    temp.addInstance("Two", "B", DrvNRD535);
    temp.store().writeNumber(instanceKey("Two", "A"), "X_Max", 20000000);
    temp.store().writeNumber(instanceKey("Two", "B"), "X_Max", 25000000);
    configure("Two");
    std::int32_t hz = 0;
    EXPECT_EQ(drv->get_RxFrqMax(1, &hz), S_OK);
    EXPECT_EQ(hz, 25000000);
    for (const std::int16_t bad : {std::int16_t{7}, std::int16_t{2}, std::int16_t{-1}}) {
        EXPECT_EQ(drv->get_RxFrqMax(bad, &hz), S_OK);
        EXPECT_EQ(hz, 20000000) << bad;
    }
    std::string name = "x";
    EXPECT_EQ(drv->get_RxName(7, &name), S_OK);
    EXPECT_EQ(name, "");
    EXPECT_EQ(drv->get_RxName(-1, &name), S_OK);
    EXPECT_EQ(name, "");
}

TEST_F(FacadeTest, EveryMemberRefusesWithoutAnInstance)
{
    std::int32_t i32 = 77;
    std::int16_t i16 = 77;
    std::string text = "untouched";
    ConnErr conn = ConnectRxBiteError;
    RCODE rc = R_WAIT;
    MODTYPE mod = ModMPH;
    AGCTYPE agc = AgcData;
    NBLTYPE nbl = NBlWide;
    ATTSTATE att = AttPre;
    HFFSTATE hff = HFFOn;
    SQLSTATE sql = SqlOn;

    EXPECT_EQ(drv->DrvMax(&i32), S_OK);
    EXPECT_EQ(i32, 8);
    i32 = 77;
    EXPECT_EQ(drv->get_RxErrDesc(1000, &text), S_FALSE);
    EXPECT_EQ(drv->get_RxCount(&i16), S_FALSE);
    EXPECT_EQ(drv->get_RxForward(&i16), S_FALSE);
    EXPECT_EQ(drv->put_RxForward(0), S_FALSE);
    EXPECT_EQ(drv->get_RxName(0, &text), S_FALSE);
    EXPECT_EQ(drv->RxConfigure(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxFrqMax(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxFrqMin(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxFrqStp(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxBFOMax(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxBFOMin(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxRomID(0, &text), S_FALSE);
    EXPECT_EQ(drv->RxConnect(0, 1, &conn), S_FALSE);
    EXPECT_EQ(drv->RxRemote(0, 1, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxFrq(0, NONE, &i32), S_FALSE);
    EXPECT_EQ(drv->put_RxFrq(0, NONE, 7000000), S_FALSE);
    EXPECT_EQ(drv->get_RxBFO(0, &i32), S_FALSE);
    EXPECT_EQ(drv->put_RxBFO(0, 100), S_FALSE);
    EXPECT_EQ(drv->get_RxOffset(0, &i32), S_FALSE);
    EXPECT_EQ(drv->put_RxOffset(0, 100), S_FALSE);
    EXPECT_EQ(drv->get_RxModCount(0, &i16), S_FALSE);
    EXPECT_EQ(drv->get_RxAgcCount(0, &i16), S_FALSE);
    EXPECT_EQ(drv->get_RxNBlCount(0, &i16), S_FALSE);
    EXPECT_EQ(drv->get_RxAttCount(0, &i16), S_FALSE);
    EXPECT_EQ(drv->get_RxFltCount(0, &i16), S_FALSE);
    EXPECT_EQ(drv->get_RxChnCount(0, &i16), S_FALSE);
    EXPECT_EQ(drv->get_RxOutCount(0, &i16), S_FALSE);
    EXPECT_EQ(drv->get_RxModName(0, ModAM, &text), S_FALSE);
    EXPECT_EQ(drv->get_RxAgcName(0, AgcFast, &text), S_FALSE);
    EXPECT_EQ(drv->get_RxNBlName(0, NBlOff, &text), S_FALSE);
    EXPECT_EQ(drv->get_RxAttName(0, AttOff, &text), S_FALSE);
    EXPECT_EQ(drv->get_RxModType(0, "AM", &mod), S_FALSE);
    EXPECT_EQ(drv->get_RxAgcType(0, "Fast", &agc), S_FALSE);
    EXPECT_EQ(drv->get_RxNBlType(0, "Off", &nbl), S_FALSE);
    EXPECT_EQ(drv->get_RxAttType(0, "Off", &att), S_FALSE);
    EXPECT_EQ(drv->get_RxIsModEmu(0, ModAM, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxModExist(0, ModAM, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxAgcExist(0, AgcFast, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxNBlExist(0, NBlOff, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxAttExist(0, AttOff, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxSqlExist(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxHFFExist(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxSMtExist(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxChnMskExist(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxMod(0, &mod), S_FALSE);
    EXPECT_EQ(drv->put_RxMod(0, ModAM), S_FALSE);
    EXPECT_EQ(drv->get_RxModNxt(0, &mod), S_FALSE);
    EXPECT_EQ(drv->get_RxAgcSts(0, &agc), S_FALSE);
    EXPECT_EQ(drv->put_RxAgcSts(0, AgcFast), S_FALSE);
    EXPECT_EQ(drv->get_RxAgcNxt(0, &agc), S_FALSE);
    EXPECT_EQ(drv->get_RxAgcLvl(0, &i16), S_FALSE);
    EXPECT_EQ(drv->put_RxAgcLvl(0, 1), S_FALSE);
    EXPECT_EQ(drv->get_RxNBlLvl(0, &i16), S_FALSE);
    EXPECT_EQ(drv->put_RxNBlLvl(0, 1), S_FALSE);
    EXPECT_EQ(drv->get_RxAttLvl(0, &i16), S_FALSE);
    EXPECT_EQ(drv->put_RxAttLvl(0, 1), S_FALSE);
    EXPECT_EQ(drv->get_RxSqlLvl(0, &i16), S_FALSE);
    EXPECT_EQ(drv->put_RxSqlLvl(0, 1), S_FALSE);
    EXPECT_EQ(drv->get_RxNBlSts(0, &nbl), S_FALSE);
    EXPECT_EQ(drv->put_RxNBlSts(0, NBlOff), S_FALSE);
    EXPECT_EQ(drv->get_RxNBlNxt(0, &nbl), S_FALSE);
    EXPECT_EQ(drv->get_RxAttSts(0, &att), S_FALSE);
    EXPECT_EQ(drv->put_RxAttSts(0, AttOff), S_FALSE);
    EXPECT_EQ(drv->get_RxAttNxt(0, &att), S_FALSE);
    EXPECT_EQ(drv->get_RxHFFSts(0, &hff), S_FALSE);
    EXPECT_EQ(drv->put_RxHFFSts(0, HFFOff), S_FALSE);
    EXPECT_EQ(drv->get_RxSqlSts(0, &sql), S_FALSE);
    EXPECT_EQ(drv->get_RxFltValue(0, 0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxFltName(0, 0, &text), S_FALSE);
    EXPECT_EQ(drv->get_RxFltBW(0, &i32), S_FALSE);
    EXPECT_EQ(drv->put_RxFltBW(0, 2400), S_FALSE);
    EXPECT_EQ(drv->get_RxFltBWNxt(0, &i32), S_FALSE);
    EXPECT_EQ(drv->get_RxSMtLvl(0, SPoint, &text), S_FALSE);
    EXPECT_EQ(drv->get_RxChnStart(0, &i16), S_FALSE);
    EXPECT_EQ(drv->get_RxChn(0, &i16), S_FALSE);
    EXPECT_EQ(drv->RxChnSave(0, 1, &rc), S_FALSE);
    EXPECT_EQ(drv->RxChnLoad(0, 1, &rc), S_FALSE);
    EXPECT_EQ(drv->RxChnRead(0, 1, &rc), S_FALSE);
    EXPECT_EQ(drv->RxChnClear(0, 1, &rc), S_FALSE);
    EXPECT_EQ(drv->RxChnWrite(0, 1, 7000000, 0, ModAM, 6000, AgcFast, 0, &rc), S_FALSE);
    EXPECT_EQ(drv->RxChnDump(0, &rc), S_FALSE);
    EXPECT_EQ(drv->get_RxOut(0, 1, &i32), S_FALSE);
    EXPECT_EQ(drv->put_RxOut(0, 1, 1), S_FALSE);
    EXPECT_EQ(drv->put_RxTime(0, "12:00:00"), S_FALSE);
    EXPECT_EQ(drv->RxProcessKey(0, 'm', &i32), S_FALSE);

    // Nothing was touched...
    EXPECT_EQ(i32, 77);
    EXPECT_EQ(i16, 77);
    EXPECT_EQ(text, "untouched");
    EXPECT_EQ(conn, ConnectRxBiteError);
    EXPECT_EQ(rc, R_WAIT);
    EXPECT_EQ(mod, ModMPH);
    EXPECT_EQ(agc, AgcData);
    EXPECT_EQ(nbl, NBlWide);
    EXPECT_EQ(att, AttPre);
    EXPECT_EQ(hff, HFFOn);
    EXPECT_EQ(sql, SqlOn);

    // ...except by the three that write 0 first.
    std::int32_t flag = 5;
    EXPECT_EQ(drv->get_RxIsConnected(0, &flag), S_FALSE);
    EXPECT_EQ(flag, 0);
    flag = 5;
    EXPECT_EQ(drv->get_RxIsRemote(0, &flag), S_FALSE);
    EXPECT_EQ(flag, 0);
    flag = 5;
    EXPECT_EQ(drv->get_RxIsBFOMod(0, ModUSB, &flag), S_FALSE);
    EXPECT_EQ(flag, 0);
}

TEST_F(FacadeTest, RoutedMembersReachTheModel)
{
    temp.addInstance("One", "A", DrvNRD535);
    configure("One");
    std::int32_t i32 = 0;
    std::string text;
    MODTYPE mod = ModNone;
    ATTSTATE att = AttOn5;
    EXPECT_EQ(drv->get_RxModType(0, "fax", &mod), S_OK);
    EXPECT_EQ(mod, ModFAX);
    EXPECT_EQ(drv->get_RxAttType(0, "Wide", &att), S_OK);
    EXPECT_EQ(att, AttNone);
    EXPECT_EQ(drv->get_RxAgcName(0, AgcMediumManual, &text), S_OK);
    EXPECT_EQ(text, "MMed");
    EXPECT_EQ(drv->get_RxFltName(0, 2, &text), S_OK);
    EXPECT_EQ(text, "FL2");
    EXPECT_EQ(drv->RxConfigure(0, &i32), S_OK);
    EXPECT_EQ(i32, 0);  // no settings dialog installed: nothing shown
    setModelDialog(DrvNRD535, [](Receiver& rx) { return rx.Index() + 1; });
    EXPECT_EQ(drv->RxConfigure(0, &i32), S_OK);
    EXPECT_EQ(i32, 1);
    setModelDialog(DrvNRD535, nullptr);
    EXPECT_EQ(model(0).configureCalls, 2);
    EXPECT_EQ(drv->get_RxFrq(0, NONE, &i32), S_OK);
    EXPECT_EQ(i32, -1);
    EXPECT_EQ(drv->put_RxNBlLvl(0, 12), S_OK);
    std::int16_t level = 0;
    EXPECT_EQ(drv->get_RxNBlLvl(0, &level), S_OK);
    EXPECT_EQ(level, 12);
    std::int32_t isBfo = 0;
    EXPECT_EQ(drv->get_RxIsBFOMod(0, ModUSB, &isBfo), S_OK);
    EXPECT_EQ(isBfo, 1);
    RCODE rc = R_OK;
    EXPECT_EQ(drv->RxChnRead(0, 3, &rc), S_OK);
    EXPECT_EQ(rc, R_KO);

    model(0).connectNow(7000000);
    EXPECT_EQ(drv->RxProcessKey(0, 'm', &i32), S_OK);
    EXPECT_EQ(i32, 0);
    EXPECT_EQ(drv->RxProcessKey(0, 'l', &i32), S_OK);
    EXPECT_EQ(i32, 1);
    EXPECT_EQ(model(0).wire.back(), "M3");
    model(0).smeter = 120;
    EXPECT_EQ(model(0).SPointText(), "+80");
}

TEST_F(FacadeTest, ErrorTexts)
{
    temp.addInstance("One", "A", DrvNRD535);
    configure("One");
    const std::pair<std::int32_t, const char*> cases[] = {
        {999, "Active/X not registered"},
        {1000, "No error"},
        {1001, "Link has been closed"},
        {1002, "Link not connected"},
        {1003, "Link time out"},
        {1004, "Bad link address or port"},
        {1005, "Link configuration error"},
        {1006, "Cannot open, being used by another"},
        {1007, "Unknown error"},
        {1010, "Unknown link errors"},
        {1020, "Comm. connection pending"},
        {1021, "Comm. time out while talking"},
        {1022, "Comm. ident error"},
        {1023, "Comm. error"},
        {1024, "Bad Rx address"},
        {1025, "Autotest error"},
        {1030, "Comm. data  error"},
        {1031, "Comm. frame error"},
        {0, "Unknown error"},
        {-1, "Unknown error"},
    };
    for (const auto& [code, expected] : cases) {
        std::string text;
        EXPECT_EQ(drv->get_RxErrDesc(code, &text), S_OK);
        EXPECT_EQ(text, expected) << code;
    }
}

TEST_F(FacadeTest, DefaultBfoFromTheConfiguration)
{
    for (const auto& [stored, expected] :
         {std::pair{1500, 1500}, std::pair{2500, -800}, std::pair{-2000, -800}, std::pair{-1900, -1900}}) {
        temp.addInstance("Bfo", "A", DrvNRD535);
        temp.store().writeNumber(configurationKey("Bfo"), "DefaultBfo", stored);
        configure("Bfo");
        EXPECT_EQ(model(0).DefaultBfo(), expected) << stored;
    }
    temp.store().deleteValue(configurationKey("Bfo"), "DefaultBfo");
    configure("Bfo");
    EXPECT_EQ(model(0).DefaultBfo(), -800);
}

TEST_F(FacadeTest, InstancesAndTheirValuesSurviveARestart)
{
    registerModel(DrvNDX264, {});  // a type without a driver
    installDialog([](DriverManager& m) {
        ASSERT_NE(m.AddInstance(DrvRA1792, "Main"), nullptr);
        ASSERT_NE(m.AddInstance(DrvNRD535, "Spare"), nullptr);
        EXPECT_EQ(m.AddInstance(DrvNRD535, "MAIN"), nullptr);  // taken, case ignored
        EXPECT_EQ(m.AddInstance(DrvNDX264, "Other"), nullptr);  // no driver
        EXPECT_EQ(m.AddInstance(DrvNRD535, "a\\b"), nullptr);  // not a key name
        m.SetChanged(true);
    });
    EXPECT_EQ(configure("Site"), 2);
    EXPECT_TRUE(std::none_of(sink.events.begin(), sink.events.end(),
                             [](const std::string& e) { return e.rfind("DrvUpdated", 0) == 0; }));
    temp.store().writeNumber(instanceKey("Site", "Main"), "C_Wait", 400);
    setSelectionDialog(nullptr);
    drv.reset();

    // A new driver object on the same file, after the store was reopened.
    platform::SettingsStore::resetShared(temp.file());
    drv = loadDriver();
    EXPECT_EQ(configure("Site"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Main", "Spare"}));
    EXPECT_EQ(model(0).type, DrvRA1792);
    EXPECT_EQ(model(0).waitMs(), 400);
    EXPECT_EQ(model(0).retries(), 8);
    EXPECT_EQ(model(1).type, DrvNRD535);
    EXPECT_EQ(temp.store().readNumber(instanceKey("Site", "Spare"), "C_Dbg"), 0);
    EXPECT_TRUE(model(1).RxSaveSettings("Site", "Spare"));
}

TEST_F(FacadeTest, RemoveAllDeletesEveryInstanceKeyButKeepsTheConfiguration)
{
    temp.addInstance("Site", "A", DrvNRD535);
    temp.addInstance("Site", "B", DrvNRD535);
    temp.store().writeNumber(instanceKey("Site", "B") + "\\Deeper", "X", 1);
    temp.store().writeNumber(configurationKey("Site"), "DefaultBfo", 1000);
    temp.addInstance("Other", "A", DrvNRD535);
    configure("Site");

    installDialog([](DriverManager& m) {
        EXPECT_TRUE(m.RemoveAllInstances(true));
        m.SetChanged(true);
    });
    sink.events.clear();
    EXPECT_EQ(configure("Site", ConfDialog), 0);
    EXPECT_EQ(sink.events.back(), "DrvUpdated 0");
    EXPECT_TRUE(temp.store().keyExists(configurationKey("Site")));
    EXPECT_TRUE(temp.store().subkeys(configurationKey("Site")).empty());
    EXPECT_EQ(temp.store().readNumber(configurationKey("Site"), "DefaultBfo"), 1000);
    EXPECT_TRUE(temp.store().keyExists(instanceKey("Other", "A")));
}

TEST_F(FacadeTest, DeletingSettingsRefusesAnEmptyName)
{
    temp.addInstance("Site", "A", DrvNRD535);
    temp.store().writeNumber(configurationKey("Site"), "DefaultBfo", 1000);
    configure("Site");
    TestModel stray(nullptr, DrvNRD535);
    stray.RxInit(0, "Site", "");
    EXPECT_NE(stray.RxDeleteSettings(), StoreOk);
    TestModel noConf(nullptr, DrvNRD535);
    noConf.RxInit(0, "", "A");
    EXPECT_NE(noConf.RxDeleteSettings(), StoreOk);
    EXPECT_TRUE(temp.store().keyExists(instanceKey("Site", "A")));
    EXPECT_EQ(model(0).RxDeleteSettings(), StoreOk);
    EXPECT_FALSE(temp.store().keyExists(instanceKey("Site", "A")));
    EXPECT_EQ(temp.store().readNumber(configurationKey("Site"), "DefaultBfo"), 1000);
}

TEST_F(FacadeTest, AConfigurationNameThatNamesNoKeyIsRefusedAndChangesNothing)
{
    temp.addInstance("Site", "A", DrvNRD535);
    temp.addInstance("Site", "B", DrvNRD535);
    temp.addInstance("Other", "C", DrvNRD535);
    EXPECT_EQ(configure("Site"), 1);
    ASSERT_EQ(drv->put_RxForward(0), S_OK);
    installDialog();
    for (const std::string bad : {"", "\\", "Other\\C", "Other\\", "\\Other"}) {
        for (const ConfMode mode : {ConfLoad, ConfDialog}) {
            std::int32_t result = -99;
            EXPECT_EQ(drv->DrvConfigure(bad, mode, &result), S_FALSE) << "'" << bad << "'";
            EXPECT_EQ(result, 0);
        }
    }
    EXPECT_EQ(dialogRuns, 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(static_cast<ReceiverDriver*>(drv.get())->Manager().ConfigurationName(), "Site");
    std::int16_t forward = -1;
    EXPECT_EQ(drv->get_RxForward(&forward), S_OK);
    EXPECT_EQ(forward, 0);
    EXPECT_EQ(model(0).ConfigurationName(), "Site");
    EXPECT_EQ(temp.store().subkeys(platform::kSettingsRoot), (std::vector<std::string>{"Other", "Site"}));
    // A good name still works afterwards.
    EXPECT_EQ(configure("Other"), 1);
    EXPECT_EQ(names(), std::vector<std::string>{"C"});
}

TEST_F(FacadeTest, AFailedOpenReportsItsCodeAndStartsNoTimer)
{
    temp.addInstance("One", "A", DrvNRD535);
    temp.pointAtClosedPort("One", "A");
    configure("One");
    const auto timers = TimerRegistry::instance().count();
    ConnErr result = ConnectNoError;
    EXPECT_EQ(drv->RxConnect(0, -1, &result), S_OK);
    EXPECT_TRUE(isLinkFailure(result)) << result;
    EXPECT_EQ(sink.events, std::vector<std::string>{"ConnState 0 " + std::to_string(result)});
    EXPECT_EQ(TimerRegistry::instance().count(), timers);
    EXPECT_EQ(model(0).TimerId(), 0u);
    std::int32_t connected = 5;
    EXPECT_EQ(drv->get_RxIsConnected(0, &connected), S_OK);
    EXPECT_EQ(connected, 0);
}

TEST_F(FacadeTest, DisconnectReportsTheClosedLink)
{
    temp.addInstance("One", "A", DrvNRD535);
    configure("One");
    model(0).connectNow();
    std::int32_t flag = 0;
    EXPECT_EQ(drv->get_RxIsConnected(0, &flag), S_OK);
    EXPECT_EQ(flag, 1);
    sink.events.clear();
    ConnErr result = ConnectLnAnyError;
    EXPECT_EQ(drv->RxConnect(0, 0, &result), S_OK);
    EXPECT_EQ(result, ConnectNoError);
    EXPECT_EQ(sink.events, std::vector<std::string>{"ConnState 0 1001"});
    EXPECT_EQ(model(0).closeCalls, 1);
}

TEST_F(FacadeTest, AnUnreadableSettingsFileIsLeftAloneAndTheUserIsToldOnce)
{
    const std::string file = temp.dir() + "/broken.db";
    const std::string garbage = "not a settings store\n";
    {
        std::ofstream out(file, std::ios::binary);
        out << garbage;
    }
    RecordingReporter reports;
    platform::SettingsStore::resetShared(file);
    EXPECT_EQ(configure("Site"), 0);
    installDialog([](DriverManager& m) {
        EXPECT_NE(m.AddInstance(DrvNRD535, "A"), nullptr);
        EXPECT_NE(m.AddInstance(DrvNRD535, "B"), nullptr);
    });
    EXPECT_EQ(configure("Site"), 2);  // runs from defaults in memory, for this session
    EXPECT_FALSE(model(0).RxSaveSettings("Site", "A"));
    ASSERT_EQ(reports.messages.size(), 1u);
    EXPECT_NE(reports.messages[0].find(file), std::string::npos) << reports.messages[0];
    EXPECT_NE(reports.messages[0].find("not saved"), std::string::npos) << reports.messages[0];
    EXPECT_EQ(fileBytes(file), garbage);
}

TEST_F(FacadeTest, AReadOnlySettingsFileLoadsItsReceiversAndIsNeverWritten)
{
    temp.addInstance("Site", "A", DrvNRD535);
    temp.addInstance("Site", "B", DrvRA1792);
    temp.store().writeNumber(configurationKey("Site"), "DefaultBfo", 1000);
    const std::string before = fileBytes(temp.file());
    RecordingReporter reports;
    platform::SettingsStore::resetShared(temp.file(), platform::StoreAccess::ReadOnly);
    EXPECT_EQ(configure("Site"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(model(0).DefaultBfo(), 1000);
    EXPECT_EQ(model(1).type, DrvRA1792);
    EXPECT_FALSE(model(1).RxSaveSettings("Site", "B"));
    // An instance added now serves this session only.
    installDialog([](DriverManager& m) { EXPECT_NE(m.AddInstance(DrvNRD535, "C"), nullptr); });
    EXPECT_EQ(configure("Site", ConfDialog), 3);
    // The models' defaults could not be written back on loading: said once.
    ASSERT_EQ(reports.messages.size(), 1u);
    EXPECT_NE(reports.messages[0].find("read-only"), std::string::npos) << reports.messages[0];
    EXPECT_EQ(fileBytes(temp.file()), before);
}

TEST_F(FacadeTest, AnInstanceTheFileDoesNotTakeIsNotAdded)
{
    temp.addInstance("Site", "A", DrvNRD535);
    // A damaged row (one claiming to be the root) holds the name "C" below
    // the configuration: the file cannot take an instance of that name.
    const std::string damage =
        "sqlite3 '" + temp.file() +
        "' \"INSERT INTO keys(id, parent, name) SELECT 0, id, 'C' FROM keys WHERE name = 'Site'\"";
    ASSERT_EQ(std::system(damage.c_str()), 0);
    RecordingReporter reports;
    platform::SettingsStore::resetShared(temp.file());
    ASSERT_TRUE(temp.store().isPersistent());
    EXPECT_EQ(configure("Site"), 1);
    ReceiverInstance* refused = nullptr;
    ReceiverInstance* added = nullptr;
    installDialog([&](DriverManager& m) {
        refused = m.AddInstance(DrvNRD535, "C");
        added = m.AddInstance(DrvRA1792, "D");
    });
    EXPECT_EQ(configure("Site", ConfDialog), 2);
    EXPECT_EQ(refused, nullptr);
    EXPECT_NE(added, nullptr);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "D"}));
    // The damage was told at opening, the lost write when it happened.
    EXPECT_EQ(reports.messages.size(), 2u);
    EXPECT_EQ(temp.store().readNumber(instanceKey("Site", "D"), "D_Type"), DrvRA1792);
}

class ForwardingTest : public FacadeTest {
protected:
    void SetUp() override
    {
        FacadeTest::SetUp();
        for (const char* name : {"A", "B", "C"}) {
            temp.addInstance("Fwd", name, DrvNRD535);
        }
        configure("Fwd");
        for (int i = 0; i < 3; ++i) {
            model(i).connectNow(7000000);
            model(i).feed("M0\rW6000\rG1\r");
            model(i).wire.clear();
        }
        sink.events.clear();
    }
    ReceiverInstance& instance(int i) { return *static_cast<ReceiverDriver*>(drv.get())->Manager().Instance(i); }
    void forward(std::int16_t value) { ASSERT_EQ(drv->put_RxForward(value), S_OK); }
};

TEST_F(ForwardingTest, AMasterRetunesTheOthersAndTheirEchoesStop)
{
    forward(0);
    model(0).feed("F9000000\r");
    EXPECT_EQ(model(1).wire, std::vector<std::string>{"F9000000"});
    EXPECT_EQ(model(2).wire, std::vector<std::string>{"F9000000"});
    EXPECT_EQ(instance(1).frqEcho, 1);
    EXPECT_EQ(instance(2).frqEcho, 1);
    EXPECT_EQ(sink.events, std::vector<std::string>{"Frq 0 9000000 9000000"});

    // The echoes come back: counters cleared, nothing forwarded again.
    model(1).feed("F9000000\r");
    model(2).feed("F9000000\r");
    EXPECT_EQ(instance(1).frqEcho, 0);
    EXPECT_EQ(instance(2).frqEcho, 0);
    EXPECT_TRUE(model(0).wire.empty());

    // Mode, filter and AGC go the same way.
    model(0).feed("M2\rW2400\rG3\r");
    EXPECT_EQ(model(1).wire, (std::vector<std::string>{"F9000000", "M2", "W2400", "G3"}));
    EXPECT_EQ(instance(2).modEcho, 1);
    EXPECT_EQ(instance(2).fltEcho, 1);
    EXPECT_EQ(instance(2).agcEcho, 1);
}

TEST_F(ForwardingTest, OnlyTheMasterIsForwardedUnlessEveryoneIs)
{
    // Forwarding starts off (-1) after a configuration is loaded.
    model(0).feed("F7900000\r");
    EXPECT_TRUE(model(1).wire.empty());
    EXPECT_TRUE(model(2).wire.empty());
    sink.events.clear();

    forward(1);
    model(0).feed("F8000000\r");
    EXPECT_TRUE(model(1).wire.empty());
    EXPECT_TRUE(model(2).wire.empty());
    EXPECT_EQ(sink.events, std::vector<std::string>{"Frq 0 8000000 8000000"});

    forward(-2);
    model(2).feed("F8100000\r");
    EXPECT_EQ(model(0).wire, std::vector<std::string>{"F8100000"});
    EXPECT_EQ(model(1).wire, std::vector<std::string>{"F8100000"});
}

TEST_F(ForwardingTest, AClientSetClearsTheEchoCounter)
{
    forward(-2);
    model(0).feed("F9000000\r");
    EXPECT_EQ(instance(1).frqEcho, 1);
    EXPECT_EQ(drv->put_RxFrq(1, NONE, 9100000), S_OK);
    EXPECT_EQ(instance(1).frqEcho, 0);
    model(0).wire.clear();
    model(1).feed("F9100000\r");  // a genuine change: forwarded
    EXPECT_EQ(model(0).wire, std::vector<std::string>{"F9100000"});
}

TEST_F(ForwardingTest, AnEchoIsExpectedOnlyWhenACommandWentOut)
{
    forward(0);
    model(2).Disconnect();
    model(1).feed("F9000000\r");  // receiver 1 already there
    sink.events.clear();
    model(0).feed("F9000000\r");
    EXPECT_TRUE(model(1).wire.empty());
    EXPECT_TRUE(model(2).wire.empty());
    EXPECT_EQ(instance(1).frqEcho, 0);
    EXPECT_EQ(instance(2).frqEcho, 0);

    // Receiver 1's next genuine change is therefore not swallowed.
    forward(-2);
    model(1).feed("F9200000\r");
    EXPECT_EQ(model(0).wire, std::vector<std::string>{"F9200000"});
}

TEST_F(ForwardingTest, AnyStoredForwardValueIsSafe)
{
    for (const std::int16_t value : {std::int16_t{3}, std::int16_t{42}, std::int16_t{-3}, std::int16_t{-32768}}) {
        forward(value);
        std::int16_t read = 0;
        EXPECT_EQ(drv->get_RxForward(&read), S_OK);
        EXPECT_EQ(read, value);
        model(0).feed("F" + std::to_string(7100000 + value) + "\r");
        EXPECT_TRUE(model(1).wire.empty()) << value;
        EXPECT_TRUE(model(2).wire.empty()) << value;
    }
    // A new configuration turns forwarding off.
    configure("Fwd");
    std::int16_t read = 0;
    drv->get_RxForward(&read);
    EXPECT_EQ(read, -1);
}

TEST_F(FacadeTest, SinksAreCalledInOrderAndAFailingSinkStopsNoOne)
{
    temp.addInstance("One", "A", DrvNRD535);
    configure("One");
    RecordingSink failing, throwing, last;
    failing.result = E_FAIL;
    throwing.onEvent = [](const std::string&) { throw std::runtime_error("sink failed"); };
    std::uint32_t c1 = 0, c2 = 0, c3 = 0;
    drv->Advise(&failing, &c1);
    drv->Advise(&throwing, &c2);
    drv->Advise(&last, &c3);
    EXPECT_EQ(drv->Advise(nullptr, &c3), E_POINTER);
    std::vector<std::string> order;
    sink.onEvent = [&](const std::string&) { order.push_back("first"); };
    last.onEvent = [&](const std::string&) { order.push_back("last"); };
    ConnErr result;
    drv->RxConnect(0, 0, &result);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "last"}));
    EXPECT_EQ(failing.events.size(), 1u);
    EXPECT_EQ(throwing.events.size(), 1u);

    // A sink that disconnects another while the event is delivered.
    sink.onEvent = [&](const std::string&) { drv->Unadvise(c3); };
    drv->RxConnect(0, 0, &result);
    EXPECT_EQ(last.events.size(), 1u);
    EXPECT_EQ(drv->Unadvise(c3), static_cast<HRESULT>(0x80040200u));
    EXPECT_EQ(drv->Unadvise(c1), S_OK);
    EXPECT_EQ(drv->Unadvise(c2), S_OK);
}

TEST_F(FacadeTest, ReconfigurationWaitsUntilNoReceiverCodeRuns)
{
    temp.addInstance("One", "A", DrvNRD535);
    temp.addInstance("One", "B", DrvNRD535);
    configure("One");
    TestModel& a = model(0);
    a.openLink();
    const int destroyedBefore = TestModel::destroyed;

    // While A handles its first answer the client, from an event handler,
    // asks for a reload and then drops the driver object.
    HRESULT reload = S_OK;
    std::int32_t result = -5;
    bool aliveAfterRelease = false;
    a.duringParse = [&] {
        reload = drv->DrvConfigure("One", ConfLoad, &result);
        drv.reset();
        aliveAfterRelease = TestModel::destroyed == destroyedBefore;
        sink.events.push_back("released");
    };
    a.feed("F7000000\r");
    EXPECT_EQ(reload, S_FALSE);
    EXPECT_EQ(result, -5);
    EXPECT_TRUE(aliveAfterRelease);
    // Once A's code returned, both receivers went.
    EXPECT_EQ(TestModel::destroyed, destroyedBefore + 2);
    // No event reached the client after it let go.
    EXPECT_EQ(sink.events.back(), "released");
}

TEST_F(FacadeTest, TheSelectionDialogKeepsTheDriverWhileItIsOpen)
{
    temp.addInstance("Two", "A", DrvNRD535);
    temp.addInstance("Two", "B", DrvNRD535);
    configure("Two");
    int destroyedBefore = 0;

    // While the modal dialog waits for the operator, events run: the client
    // asks for another configuration, then lets go of the driver object.
    // The dialog goes on working on its list.
    IReceiverDriver* raw = drv.get();
    HRESULT nested = S_OK;
    std::int32_t nestedResult = -5;
    bool aliveAfterRelease = false;
    bool removed = false;
    ReceiverInstance* added = nullptr;
    installDialog([&](DriverManager& m) {
        destroyedBefore = TestModel::destroyed;
        nested = raw->DrvConfigure("Other", ConfDialog, &nestedResult);
        EXPECT_EQ(m.Count(), 2u) << "the nested configure changed nothing";
        drv.reset();
        aliveAfterRelease = TestModel::destroyed == destroyedBefore;
        removed = m.RemoveAllInstances(false);
        added = m.AddInstance(DrvNRD535, "C");
        m.SetChanged(true);
    });
    std::int32_t result = -1;
    EXPECT_EQ(raw->DrvConfigure("Two", ConfDialog, &result), S_OK);
    EXPECT_EQ(nested, S_FALSE);
    EXPECT_EQ(nestedResult, -5);
    EXPECT_EQ(dialogRuns, 1);
    EXPECT_TRUE(aliveAfterRelease);
    EXPECT_TRUE(removed);
    EXPECT_NE(added, nullptr);
    EXPECT_EQ(result, 1);
    // Once the dialog returned, the released driver took its receivers along.
    EXPECT_EQ(TestModel::destroyed, destroyedBefore + 3);
}

}  // namespace
}  // namespace quorvin::test
