// The Receiver base on the test model: frequency arithmetic, BFO, names and
// types, the two-key commands, S-points, the filter table and the trace.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "driver/core/clienttext.h"
#include "driver/core/drivermanager.h"
#include "driver/core/tracelog.h"
#include "platform/clock.h"
#include "testsupport.h"

namespace quorvin::test {
namespace {

class ReceiverTest : public ::testing::Test {
protected:
    TempStore temp;
    DriverManager manager;
    RecordingSink sink;
    TestModel rx{&manager, DrvNRD535};

    void SetUp() override
    {
        std::uint32_t cookie = 0;
        cookie = manager.Advise(&sink);
        ASSERT_NE(cookie, 0u);
    }
};

TEST_F(ReceiverTest, ConstructionValues)
{
    EXPECT_EQ(rx.Current().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(rx.Current().ChnNumber, -1);
    EXPECT_EQ(rx.Current().ModType, ModAM);
    EXPECT_EQ(rx.Requested().ModType, ModNone);
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(rx.changed().FrqValue, -1);
    EXPECT_EQ(rx.SilentTicks(), -1);
    EXPECT_EQ(rx.keys(), "  ");
    EXPECT_EQ(rx.TimerId(), 0u);
    EXPECT_EQ(rx.IsConnected(), 0);
    EXPECT_EQ(rx.DefaultBfo(), -800);
    EXPECT_EQ(rx.RxSMtRaw(), -254);
    EXPECT_EQ(rx.RxCodeToMod(3), -1);
    EXPECT_EQ(rx.RxFltToCode(3), -1);
    EXPECT_EQ(rx.RxModelReady(), 1);
    EXPECT_EQ(rx.RxModelStatus(), 0);
    EXPECT_EQ(rx.ChnDump(), R_KO);
    EXPECT_EQ(rx.SetNBl(NBlWide), NBlNone);
    EXPECT_EQ(rx.SetAttLvl(7), 7);
    EXPECT_EQ(rx.Current().AttLevel, 7);
}

TEST_F(ReceiverTest, GetFrqIsUnknownUntilReportedWhateverTheOffset)
{
    rx.setOffset(5000);
    EXPECT_EQ(rx.GetFrq(NONE), -1);
    EXPECT_EQ(rx.GetFrq(RXAsDisp), -1);
}

TEST_F(ReceiverTest, GetFrqClampsBeforeAddingTheShift)
{
    rx.setCurrentFrq(29999000);
    rx.setOffset(5000);
    EXPECT_EQ(rx.GetFrq(NONE), 29999999);
    EXPECT_EQ(rx.GetFrq(ITUSpace), 29999999 + 100);
    rx.setOffset(0);
    EXPECT_EQ(rx.GetFrq(RXAsDisp), 29999000 + 300);
}

TEST_F(ReceiverTest, GetFrqWithNegativeOffsetClampsToTheBottomNotTheTop)
{
    rx.setCurrentFrq(6000);
    rx.setOffset(-10000);
    EXPECT_EQ(rx.GetFrq(NONE), 5000);
    rx.frqMin = 0;
    EXPECT_EQ(rx.GetFrq(NONE), 0);
}

TEST_F(ReceiverTest, SetFrqSendsOnlyWhenConnectedAndDifferent)
{
    rx.setCurrentFrq(7000000);
    EXPECT_EQ(rx.SetFrq(7100000, NONE, 1), 7000000);  // not connected: nothing, current returned
    EXPECT_TRUE(rx.wire.empty());

    rx.connectNow(7000000);
    EXPECT_EQ(rx.SetFrq(7000000, NONE, 1), 7000000);
    EXPECT_TRUE(rx.wire.empty());
    EXPECT_EQ(rx.SetFrq(7000300, RXAsDisp, 1), 7000000);  // the shift of the kind comes off
    EXPECT_TRUE(rx.wire.empty());
    EXPECT_EQ(rx.SetFrq(7100000, NONE, 1), 7100000);
    ASSERT_EQ(rx.wire.size(), 1u);
    EXPECT_EQ(rx.wire[0], "F7100000");
    EXPECT_EQ(rx.CommandsSent(), 1u);
}

TEST_F(ReceiverTest, OffsetRetunesToKeepTheShownFrequency)
{
    rx.connectNow(7000000);
    EXPECT_EQ(rx.RxOffset(1000), 1000);
    EXPECT_EQ(rx.RxOffset(), 1000);
    // The shown frequency (7000000) is sent as the receiver frequency.
    EXPECT_TRUE(rx.wire.empty());
    EXPECT_EQ(rx.GetFrq(NONE), 7001000);
}

TEST_F(ReceiverTest, SetBfoInAModeWithoutBfoZeroesIt)
{
    rx.connectNow();
    rx.setCurrentMode(ModAM);
    EXPECT_EQ(rx.SetBFO(1200), 0);
    EXPECT_EQ(rx.Current().BFOValue, 0);
    EXPECT_TRUE(rx.wire.empty());

    rx.setRequestedMode(ModUSB);  // the effective mode is the pending one
    EXPECT_EQ(rx.SetBFO(1200), 0);
    ASSERT_EQ(rx.wire.size(), 1u);
    EXPECT_EQ(rx.wire[0], "B1200");
}

TEST_F(ReceiverTest, NamesAndTypes)
{
    EXPECT_EQ(Receiver::ModName(ModAM_U), "ECSSU");
    EXPECT_EQ(Receiver::ModName(ModMPH), "MPHI");
    EXPECT_EQ(Receiver::ModName(12), "");
    EXPECT_EQ(Receiver::ModName(-1), "");
    EXPECT_EQ(Receiver::AgcName(AgcData), "Data");
    EXPECT_EQ(Receiver::NBlName(NBlPeek), "Peek");
    EXPECT_EQ(Receiver::AttName(AttOn2), "On2");
    EXPECT_EQ(Receiver::AttName(AttOn3), "");

    EXPECT_EQ(Receiver::ModType("usb"), ModUSB);
    EXPECT_EQ(Receiver::ModType("USB"), ModUSB);
    EXPECT_EQ(Receiver::ModType("mphi"), ModMPH);
    EXPECT_EQ(Receiver::AgcType("Data"), AgcData);
    EXPECT_EQ(Receiver::AgcType("mslow"), AgcSlowManual);
    EXPECT_EQ(Receiver::NBlType("WIDE"), NBlWide);
    EXPECT_EQ(Receiver::AttType("on1"), AttOn1);
    // A name in no table gives -1, the attenuator's included.
    EXPECT_EQ(Receiver::ModType("SSB"), ModNone);
    EXPECT_EQ(Receiver::AgcType(""), AgcNone);
    EXPECT_EQ(Receiver::NBlType("On"), NBlNone);
    EXPECT_EQ(Receiver::AttType("Peek"), AttNone);
}

TEST_F(ReceiverTest, TwoKeyCommands)
{
    rx.connectNow();
    rx.wire.clear();
    EXPECT_EQ(rx.ProcessKey('m'), 0);  // "m" alone: nothing yet
    EXPECT_EQ(rx.ProcessKey('u'), 1);
    EXPECT_EQ(rx.keys(), "  ");
    EXPECT_EQ(rx.wire.back(), "M2");

    // A stray key is shifted out: "x", "m", "u" still selects USB (LSB first
    // so that the command has something to change).
    rx.feed("M3\r");
    EXPECT_EQ(rx.ProcessKey('x'), 0);
    EXPECT_EQ(rx.ProcessKey('m'), 0);
    EXPECT_EQ(rx.ProcessKey('u'), 1);
    EXPECT_EQ(rx.wire.back(), "M2");

    // Case counts: "MU" is no command.
    EXPECT_EQ(rx.ProcessKey('M'), 0);
    EXPECT_EQ(rx.ProcessKey('U'), 0);

    struct Case {
        char a, b;
        const char* sent;
    };
    const Case filters[] = {{'f', 'r', "W25000"}, {'f', '1', "W300"},  {'f', 'i', "W1200"},
                            {'f', '3', "W3100"},  {'f', 'w', "W6000"}, {'f', '5', "W8000"}};
    for (const auto& c : filters) {
        rx.ProcessKey(c.a);
        EXPECT_EQ(rx.ProcessKey(c.b), 1) << c.a << c.b;
        EXPECT_EQ(rx.wire.back(), c.sent) << c.a << c.b;
        rx.feed(std::string(c.sent) + "\r");
    }
    rx.ProcessKey('a');
    EXPECT_EQ(rx.ProcessKey('s'), 1);
    EXPECT_EQ(rx.wire.back(), "G3");
    rx.ProcessKey('p');
    EXPECT_EQ(rx.ProcessKey('1'), 1);
    ASSERT_EQ(rx.hffSets.size(), 1u);
    EXPECT_EQ(rx.hffSets[0], HFFOn);
}

TEST_F(ReceiverTest, SPointText)
{
    struct Case {
        std::int32_t dbuv;
        const char* text;
    };
    const Case cases[] = {{-254, " S1"}, {-9, " S1"},  {-8, " S2"}, {33, " S8"},  {34, " S9"},
                          {43, " S9"},   {44, "+10"},  {54, "+20"}, {103, "+60"}, {104, "+70"},
                          {113, "+70"},  {114, "+80"}, {200, "+80"}};
    for (const auto& c : cases) {
        rx.smeter = c.dbuv;
        EXPECT_EQ(rx.SPointText(), c.text) << c.dbuv;
    }
}

TEST_F(ReceiverTest, FilterTableSortsAndFindsWithinTwentySlots)
{
    rx.setFilters({3200, 2700, 300, 1000, 3200, 6000, 16000}, 7, 5, 0);
    rx.SortFilters(2);
    // Slots 2..6 ascending: 300(2), 1000(3), 3200(4), 6000(5), 16000(6).
    const std::int32_t expected[] = {2, 3, 4, 5, 6, -1, -1};
    for (std::int16_t pos = 0; pos < 7; ++pos) {
        EXPECT_EQ(rx.FilterOrder(pos), expected[pos]) << pos;
    }
    rx.setCurrentFilter(3200);
    EXPECT_EQ(rx.FindFilter(), 2);
    rx.setCurrentFilter(4444);
    EXPECT_EQ(rx.FindFilter(), 0);  // none matches: the first shown position

    // A full table of twenty, and counts beyond it, stay inside the table.
    rx.setFilters({20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 40, 40, -3);
    rx.SortFilters(0);
    EXPECT_EQ(rx.FilterOrder(0), 19);
    EXPECT_EQ(rx.FilterOrder(19), 0);
    EXPECT_EQ(rx.FilterOrder(20), -1);
    EXPECT_EQ(rx.FilterWidth(25), 0);
    rx.setCurrentFilter(1);
    EXPECT_EQ(rx.FindFilter(), 0);
    rx.setCurrentFilter(20);
    EXPECT_EQ(rx.FindFilter(), 19);
    rx.SortFilters(-5);
    rx.SortFilters(100);
    EXPECT_EQ(rx.FilterOrder(0), -1);
}

TEST(ClientText, ReceiverBytesBecomeUtf8)
{
    EXPECT_EQ(toClientText("S9+10"), "S9+10");
    EXPECT_EQ(toClientText("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");  // already UTF-8
    EXPECT_EQ(toClientText("R\xE9"), "R\xC3\xA9");  // Latin-1
    EXPECT_EQ(toClientText("\xC3"), "\xC3\x83");  // cut short: Latin-1
    EXPECT_EQ(toClientText(std::string("A\0B", 3)), std::string("A\0B", 3));
    EXPECT_EQ(toClientText("\xE2\x82\xAC"), "\xE2\x82\xAC");  // a euro sign in UTF-8
    // Byte runs shaped like UTF-8 that are not (an overlong form, a surrogate,
    // a code beyond U+10FFFF) are Latin-1 text, never passed on as they are.
    EXPECT_EQ(toClientText("\xE0\x80\xAA"), "\xC3\xA0\xC2\x80\xC2\xAA");
    EXPECT_EQ(toClientText("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
    EXPECT_EQ(toClientText("\xF4\x90\x80\x80"), "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80");
    EXPECT_EQ(toClientText("\xF0\x8F\xBF\xBF"), "\xC3\xB0\xC2\x8F\xC2\xBF\xC2\xBF");
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST_F(ReceiverTest, TraceStampsAndLines)
{
    const auto dir = std::filesystem::path(temp.dir()) / "traces";
    EnvGuard env(kTraceDirEnvVar, dir.c_str());
    platform::FakeTimeGuard time;
    time.time.m_now = 42;

    rx.trace("-> @", " G\n");
    EXPECT_FALSE(std::filesystem::exists(dir / rx.traceFile()));  // C_Dbg 0: no file at all

    rx.setTrace(1);
    rx.trace("-> @", " G\n");
    time.time.advance(1500);
    const std::string reply = std::string("R") + '\0' + "\xFF\n";
    rx.trace("<- @", reply);
    time.time.advance(20);
    rx.trace("\n=> @", " TRY CONNECT\n");
    rx.traceError("bad response\n");
    EXPECT_EQ(readFile(dir / rx.traceFile()),
              "-> @0000000 G\n<- @0001500" + reply + "\n=> @0000020 TRY CONNECT\n=> Err:bad response\n");
}

TEST_F(ReceiverTest, TraceDirectoryIsNeverTheRoot)
{
    EnvGuard trace(kTraceDirEnvVar, "/");
    EnvGuard state("XDG_STATE_HOME", "/tmp/korvane-state-test");
    EXPECT_EQ(traceDirectory(), std::filesystem::path("/tmp/korvane-state-test/korvane"));
    {
        EnvGuard noState("XDG_STATE_HOME", nullptr);
        EnvGuard home("HOME", "/");
        const auto dir = traceDirectory();
        EXPECT_FALSE(dir.empty());
        EXPECT_NE(dir, dir.root_path());
    }
}

}  // namespace
}  // namespace quorvin::test
