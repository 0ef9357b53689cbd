// The memory-channel table without a window: the range of channels, the
// changed rule, cell edits, the channel file both ways, and the dump's
// wait for the end marker or a silent receiver.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "controller/core/channeldump.h"
#include "controller/core/channeltable.h"
#include "fakedriver.h"

namespace tessaly {
namespace {

using namespace quorvin;

// A receiver with names for its modes and AGC settings.
class NamedDriver : public test::FakeDriver {
public:
    RCODE dumpResult = R_OK;
    int dumps = 0;

    HRESULT get_RxModName(std::int16_t, MODTYPE m, std::string* p) override
    {
        static const char* const names[] = {"AM", "CW", "USB", "LSB", "FM", "RTTY", "FAX"};
        *p = m >= 0 && m < 7 ? names[m] : "";
        return S_OK;
    }
    HRESULT get_RxModType(std::int16_t, const std::string& n, MODTYPE* p) override
    {
        *p = ModNone;
        for (int m = 0; m < 7; ++m) {
            std::string name;
            get_RxModName(0, static_cast<MODTYPE>(m), &name);
            if (name == n) {
                *p = static_cast<MODTYPE>(m);
            }
        }
        return S_OK;
    }
    HRESULT get_RxModCount(std::int16_t, std::int16_t* p) override
    {
        *p = 7;
        return S_OK;
    }
    HRESULT get_RxModExist(std::int16_t, MODTYPE m, std::int32_t* p) override
    {
        *p = m != ModFM ? -1 : 0;  // no FM on this one
        return S_OK;
    }
    HRESULT get_RxIsModEmu(std::int16_t, MODTYPE m, std::int32_t* p) override
    {
        *p = m == ModFAX ? -1 : 0;
        return S_OK;
    }
    HRESULT get_RxAgcName(std::int16_t, AGCTYPE a, std::string* p) override
    {
        static const char* const names[] = {"Man", "Fast", "Med", "Slow"};
        *p = a >= 0 && a < 4 ? names[a] : "";
        return S_OK;
    }
    HRESULT get_RxAgcType(std::int16_t, const std::string& n, AGCTYPE* p) override
    {
        *p = n == "Man" ? AgcManual : n == "Fast" ? AgcFast : n == "Med" ? AgcMedium : n == "Slow" ? AgcSlow : AgcNone;
        return S_OK;
    }
    HRESULT get_RxAgcCount(std::int16_t, std::int16_t* p) override
    {
        *p = 4;
        return S_OK;
    }
    HRESULT get_RxAgcExist(std::int16_t, AGCTYPE a, std::int32_t* p) override
    {
        *p = a != AgcMedium ? -1 : 0;
        return S_OK;
    }
    HRESULT RxChnDump(std::int16_t, RCODE* p) override
    {
        ++dumps;
        *p = dumpResult;
        return S_OK;
    }
};

class ChannelTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        driver.chnStart = 0;
        driver.chnCount = 200;
        table.setReceiver(&driver, 0);
    }
    QString cell(int channel, int column)
    {
        return table.data(table.index(table.rowOfChannel(channel), column)).toString();
    }
    bool edit(int channel, int column, const QString& text)
    {
        return table.setData(table.index(table.rowOfChannel(channel), column), text);
    }

    NamedDriver driver;
    ChannelTable table;
};

TEST_F(ChannelTableTest, StatusesOutsideTheRangeAreIgnored)
{
    driver.chnStart = 1;
    driver.chnCount = 100;
    table.setReceiver(&driver, 0);
    EXPECT_EQ(table.rowCount(), 99);
    EXPECT_EQ(cell(1, ColNumber), QStringLiteral("01"));
    for (int c : {0, 100, 101, 300, -1, -300}) {
        EXPECT_FALSE(table.storeStatus(c, 7000000, 0, ModUSB, 2400, AgcFast, 0)) << c;
    }
    EXPECT_TRUE(table.storeStatus(1, 7000000, 0, ModUSB, 2400, AgcFast, 0));
    EXPECT_TRUE(table.storeStatus(99, 9000000, 0, ModAM, 6000, AgcSlow, 0));
    EXPECT_EQ(cell(99, ColFrequency), QStringLiteral("9000000"));
    EXPECT_EQ(cell(99, ColMode), QStringLiteral("AM"));
    EXPECT_EQ(cell(99, ColAgc), QStringLiteral("Slow"));
    EXPECT_TRUE(table.changedChannels().empty());
}

TEST_F(ChannelTableTest, EditsChangeTheWorkingCopyOnly)
{
    table.storeStatus(5, 6000000, 0, ModUSB, 2400, AgcFast, 0);
    table.storeStatus(6, 0, 0, ModNone, 0, AgcNone, 0);  // an empty channel
    EXPECT_EQ(cell(6, ColFrequency), QString());
    EXPECT_EQ(cell(6, ColMode), QString());

    EXPECT_TRUE(edit(5, ColFrequency, QStringLiteral(" 6100000 ")));
    EXPECT_TRUE(edit(5, ColMode, QStringLiteral("LSB")));
    EXPECT_EQ(table.received(5).value(ChannelCells::Frequency), 6000000);
    EXPECT_EQ(table.working(5).value(ChannelCells::Frequency), 6100000);
    EXPECT_EQ(table.working(5).value(ChannelCells::Mode), ModLSB);
    EXPECT_EQ(table.changedChannels(), std::vector<int>{5});

    // Refused: not whole numbers, names the receiver does not know.
    EXPECT_FALSE(edit(5, ColFrequency, QStringLiteral("6100.5")));
    EXPECT_FALSE(edit(5, ColFilter, QStringLiteral("wide")));
    EXPECT_FALSE(edit(5, ColFilter, QStringLiteral("-2400")));
    EXPECT_FALSE(edit(5, ColMode, QStringLiteral("XYZ")));
    EXPECT_FALSE(edit(5, ColNumber, QStringLiteral("7")));
    EXPECT_EQ(table.working(5).value(ChannelCells::Frequency), 6100000);
    EXPECT_TRUE(edit(5, ColBfo, QStringLiteral("-800")));
    EXPECT_EQ(table.working(5).value(ChannelCells::Bfo), -800);

    // The empty channel: an edit takes the whole row, empty cells as 0/-1.
    EXPECT_TRUE(edit(6, ColFrequency, QStringLiteral("7050000")));
    EXPECT_EQ(table.working(6).value(ChannelCells::Mode), ModNone);
    EXPECT_EQ(table.working(6).value(ChannelCells::Filter), 0);
    EXPECT_TRUE(edit(6, ColMask, QStringLiteral("Skip")));
    EXPECT_EQ(table.working(6).value(ChannelCells::Mask), 1);
    EXPECT_EQ(table.changedChannels(), (std::vector<int>{5, 6}));

    // Written: the receiver copy takes the working copy.
    table.markWritten(5);
    EXPECT_EQ(table.changedChannels(), std::vector<int>{6});

    // A channel never read counts as changed once it holds a frequency.
    EXPECT_FALSE(table.isChanged(7));
    ChannelCells cells;
    cells.v[ChannelCells::Frequency] = 5000000;
    table.setWorking(7, cells);
    EXPECT_TRUE(table.isChanged(7));

    EXPECT_EQ(table.modeNames(), (QStringList{"AM", "CW", "USB", "LSB", "RTTY"}));
    EXPECT_EQ(table.agcNames(), (QStringList{"Man", "Fast", "Slow"}));
}

TEST_F(ChannelTableTest, ExportWritesTheExactLayout)
{
    table.storeStatus(5, 6000000, 0, ModUSB, 2400, AgcFast, 0);
    table.storeStatus(6, 0, 0, ModNone, 0, AgcNone, 0);
    table.storeStatus(150, 15400000, -800, ModCW, 500, AgcSlow, 1);
    const std::string text = channelfile::format(table.exportLines());
    EXPECT_EQ(text, "005;    6000000;    0;  USB; 2400;Fast;0;\r\n"
                    "150;   15400000; -800;   CW;  500;Slow;1;\r\n");

    // Read back into a fresh table: the same working rows.
    ChannelTable other;
    other.setReceiver(&driver, 0);
    const auto result = other.importText(text);
    EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    EXPECT_EQ(result.taken, 2);
    EXPECT_EQ(other.working(5), table.working(5));
    EXPECT_EQ(other.working(150), table.working(150));
    EXPECT_EQ(other.changedChannels(), (std::vector<int>{5, 150}));
}

TEST_F(ChannelTableTest, ImportStopsAtTheFirstFaultyLineAndSkipsForeignChannels)
{
    driver.chnStart = 1;
    driver.chnCount = 100;
    table.setReceiver(&driver, 0);
    const std::string text = "003;7050000;;LSB;2200;Man;;\r\n"  // empty BFO and mask
                             "000;7060000;0;LSB;2200;Man;0;\r\n"  // no channel 0 here
                             "100;7070000;0;LSB;2200;Man;0;\r\n"  // nor 100
                             "099;7080000;0;CW;500;Slow;0;\r\n"
                             "004;7090000;0\r\n"  // three fields
                             "005;7100000;0;USB;2400;Fast;0;\r\n";
    const auto r = table.importText(text);
    EXPECT_EQ(r.error, QStringLiteral("Line 5 don't contain the required number of fields !"));
    EXPECT_EQ(r.taken, 2);
    EXPECT_EQ(r.skipped, 2);
    EXPECT_EQ(r.firstSkipped, 2);
    EXPECT_EQ(table.working(3).value(ChannelCells::Bfo), 0);
    EXPECT_EQ(table.working(3).value(ChannelCells::Frequency), 7050000);
    EXPECT_EQ(table.working(99).value(ChannelCells::Mode), ModCW);
    EXPECT_FALSE(table.working(4).anyKnown());
    EXPECT_FALSE(table.working(5).anyKnown());

    // A mode or AGC the receiver does not know stops the import there:
    // nothing of that line is taken.
    const auto fm = table.importText("010;7050000;0;LSB;2200;Man;0;\r\n011;7050000;0;FM;2200;Man;0;\r\n");
    EXPECT_EQ(fm.error, QStringLiteral("Unknown mode \"FM\" on line 2"));
    EXPECT_TRUE(table.working(10).anyKnown());
    EXPECT_FALSE(table.working(11).anyKnown());
    const auto agc = table.importText("012;7050000;0;LSB;2200;Auto;0;\r\n");
    EXPECT_EQ(agc.error, QStringLiteral("Unknown AGC \"Auto\" on line 1"));
    EXPECT_FALSE(table.working(12).anyKnown());
    // Not a whole channel number.
    EXPECT_EQ(table.importText("2.5;7050000;0;LSB;2200;Man;0;\r\n").error,
              QStringLiteral("Non numerical field(s) on line 1"));
    EXPECT_EQ(table.importText("\r\n010;7050000;0;LSB;2200;Man;0;\r\n").error, QStringLiteral("Line 1 is invalid"));
}

// A receiver without AGC settings (and with masks): its export has an
// empty AGC field, and its import takes it back.
class NoAgcDriver : public NamedDriver {
public:
    HRESULT get_RxAgcCount(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
};

TEST(ChannelTableNoAgc, ExportedChannelsComeBack)
{
    NoAgcDriver d;
    d.chnStart = 1;
    d.chnCount = 101;
    ChannelTable table;
    table.setReceiver(&d, 0);
    table.storeStatus(7, 7050000, 0, ModLSB, 2400, AgcNone, 1);
    const std::string text = channelfile::format(table.exportLines());
    EXPECT_EQ(text, "007;    7050000;    0;  LSB; 2400;    ;1;\r\n");
    ChannelTable back;
    back.setReceiver(&d, 0);
    const auto r = back.importText(text);
    EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(back.working(7), table.working(7));
    // A receiver with AGC settings still wants the name.
    ChannelTable withAgc;
    NamedDriver named;
    named.chnCount = 200;
    withAgc.setReceiver(&named, 0);
    EXPECT_EQ(withAgc.importText(text).error, QStringLiteral("Empty field(s) on line 1"));
}

// A receiver whose reported frequency follows a request only after a
// while, as a real one does: the driver keeps the old value until then.
class SlowDriver : public NamedDriver {
public:
    std::int32_t pending = -1;
    int polls = 0;
    HRESULT get_RxFrq(std::int16_t, FRQTYPE, std::int32_t* p) override
    {
        *p = frq;
        return S_OK;
    }
    HRESULT put_RxFrq(std::int16_t, FRQTYPE kind, std::int32_t hz) override
    {
        writes.push_back({"frq", hz, kind});
        if (hz != frq) {
            pending = hz;  // equal to the current value: nothing is sent
        }
        return S_OK;
    }
    void poll()
    {
        if (++polls >= 3 && pending >= 0) {
            frq = pending;
            pending = -1;
        }
    }
};

TEST(ChannelClear, StepsOffTheChannelAndBackToTheOriginalFrequency)
{
    SlowDriver d;
    d.frq = 15400000;
    ASSERT_TRUE(stepOffChannel(
        d, 0, [&] { d.poll(); }, 10000));
    while (d.pending >= 0) {
        d.poll();
    }
    EXPECT_EQ(d.frq, 15400000);
    ASSERT_EQ(d.of("frq").size(), 2u);
    EXPECT_EQ(d.of("frq")[0].value, 15401000);
    EXPECT_EQ(d.of("frq")[1].value, 15400000);

    // At the top of the range the step goes down; without a frequency
    // nothing is sent.
    SlowDriver top;
    top.frq = top.frqMax;
    ASSERT_TRUE(stepOffChannel(
        top, 0, [&] { top.poll(); }, 10000));
    EXPECT_EQ(top.of("frq")[0].value, top.frqMax - 1000);
    SlowDriver none;
    none.frq = -1;
    EXPECT_FALSE(stepOffChannel(
        none, 0, [] {}, 10));
    EXPECT_TRUE(none.writes.empty());
}

// The dump waits in an event loop: it needs the application object.
class ChannelDumpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "tessaly_core_tests";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
    }
    NamedDriver driver;
    ChannelDump dump;
    QStringList shown;
    void SetUp() override
    {
        QObject::connect(&dump, &ChannelDump::indicator, [this](const QString& t) { shown << t; });
    }
};

TEST_F(ChannelDumpTest, EndsWithTheEndMarker)
{
    QTimer::singleShot(0, [&] {
        dump.status(7, 200);
        dump.status(12, 99);
        dump.status(-1, 200);
    });
    EXPECT_TRUE(dump.run(driver, 0));
    EXPECT_FALSE(dump.failed());
    EXPECT_EQ(shown, (QStringList{"007", "12"}));
}

TEST_F(ChannelDumpTest, ASilentReceiverOrARefusalEndsWithErr)
{
    dump.setTickInterval(50);
    EXPECT_FALSE(dump.run(driver, 0));
    EXPECT_TRUE(dump.failed());
    EXPECT_EQ(shown.value(0), QStringLiteral("Err"));

    shown.clear();
    driver.dumpResult = R_KO;
    EXPECT_FALSE(dump.run(driver, 0));
    EXPECT_EQ(shown, QStringList{QStringLiteral("Err")});
}

}  // namespace
}  // namespace tessaly
