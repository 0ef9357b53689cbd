// The key language against a recording driver and the real frequency
// database library.
#include <gtest/gtest.h>

#include <memory>

#include "controller/core/keylanguage.h"
#include "fakedriver.h"
#include "interfaces/component.h"
#include "platform/componentloader.h"

namespace tessaly {
namespace {

using namespace quorvin;
using test::FakeDriver;

class Host : public KeyHost {
public:
    int beeps = 0;
    int helps = 0;
    int tabs = 0;
    int regions = 0;
    int shown = 0;
    int logs = 0;
    int channelWindows = 0;
    int local = 500;
    int band = 9000;
    int best = lumaret::ModeUSB;
    int bestFlt = 2800;
    QString clip;
    QString walkName, walkTip, walkPos;
    std::function<void()> show;

    void showKeyHelp() override { ++helps; }
    void beepOnError() override { ++beeps; }
    void selectNextTab() override { ++tabs; }
    void nextRegion() override { ++regions; }
    void showReceiverFrequency() override
    {
        ++shown;
        if (show) {
            show();
        }
    }
    void setWalkInfo(const QString& n, const QString& t, const QString& p) override
    {
        walkName = n;
        walkTip = t;
        walkPos = p;
    }
    int localStep() override { return local; }
    void setLocalStep(int hz) override { local = hz; }
    int bandStep() override { return band; }
    int bestMode() override { return best; }
    int bestFilter() override { return bestFlt; }
    void focusFrequencyField() override {}
    QString clipboardText() override { return clip; }
    void setClipboardText(const QString& t) override { clip = t; }
    void openLog(bool) override { ++logs; }
    void openChannels() override { ++channelWindows; }
    void processEvents() override {}
};

class KeyLanguageTest : public ::testing::Test {
protected:
    KeyLanguageTest()
    {
        auto loaded = platform::loadComponent(kLumaretLibraryFile, kFrequencyDataClassId);
        EXPECT_TRUE(loaded.error.empty()) << loaded.error;
        data.reset(static_cast<lumaret::IFrequencyData*>(loaded.object));
        digits.boundary(drv.frqMax, drv.frqMin, drv.frqStep);
        keys = std::make_unique<KeyLanguage>(drv, *data, digits, host);
        host.show = [this] {
            digits.clearTyped();
            digits.setValue(drv.frq);
        };
    }

    // Sends a key the way the window does: by code, then by character.
    void press(int code, QChar ch = QChar(), bool shift = false, bool ctrl = false, bool alt = false,
               bool keypad = false)
    {
        KeyStroke k;
        k.key = code;
        k.ch = ch;
        k.shift = shift;
        k.ctrl = ctrl;
        k.alt = alt;
        k.keypad = keypad;
        if (!keys->keyDown(k) && !k.ch.isNull()) {
            keys->keyPress(k);
        }
    }
    void typeText(const char* text)
    {
        for (const char* p = text; *p != 0; ++p) {
            const char c = *p;
            const int code = c >= 'a' && c <= 'z'   ? Qt::Key_A + (c - 'a')
                             : c >= 'A' && c <= 'Z' ? Qt::Key_A + (c - 'A')
                                                    : c;
            press(code, QLatin1Char(c));
        }
    }

    FakeDriver drv;
    std::unique_ptr<lumaret::IFrequencyData> data;
    DigitModel digits;
    Host host;
    std::unique_ptr<KeyLanguage> keys;
};

TEST_F(KeyLanguageTest, TypedKilohertzThenEnterTunes)
{
    typeText("7050.5\r");
    ASSERT_EQ(drv.of("frq").size(), 1u);
    EXPECT_EQ(drv.of("frq")[0].value, 7050500);
    EXPECT_EQ(drv.of("frq")[0].extra, NONE);
    typeText(":14000\r");
    EXPECT_EQ(drv.of("frq").back().value, 14000000);
    EXPECT_EQ(drv.of("frq").back().extra, ITUSpace);
}

TEST_F(KeyLanguageTest, ArrowsStepByModifier)
{
    press(Qt::Key_Right, {}, false, true);
    EXPECT_EQ(drv.frq, 7050010) << "Ctrl: 10 Hz";
    press(Qt::Key_Right, {}, false, false, true);
    EXPECT_EQ(drv.frq, 7050110) << "Alt: 100 Hz";
    press(Qt::Key_Right, {}, true);
    EXPECT_EQ(drv.frq, 7050111) << "Shift: 1 Hz";
    press(Qt::Key_Right, {}, true, true, true);
    EXPECT_EQ(drv.frq, 7050211) << "Alt wins";
    press(Qt::Key_Left);
    EXPECT_EQ(drv.frq, 7049711) << "the local step";
    press(Qt::Key_Up);
    EXPECT_EQ(drv.frq, 7058711) << "the band step";
    typeText("250");
    press(Qt::Key_Right);
    EXPECT_EQ(host.local, 250);
    EXPECT_EQ(drv.frq, 7058711) << "a number then an arrow sets the step";
}

TEST_F(KeyLanguageTest, StepsStopAtTheReceiversLimits)
{
    drv.frq = drv.frqMax - 3;
    press(Qt::Key_Right, {}, false, true);
    EXPECT_EQ(drv.frq, drv.frqMax);
    drv.writes.clear();
    press(Qt::Key_Right, {}, false, true);
    EXPECT_TRUE(drv.of("frq").empty()) << "at the edge nothing is written";
    drv.frq = 5;
    press(Qt::Key_Down);
    EXPECT_EQ(drv.frq, 0);
    // The wheel: away from the operator steps down by 10 Hz.
    drv.frq = 7000000;
    keys->wheel(120);
    EXPECT_EQ(drv.frq, 6999990);
    keys->wheel(-120);
    EXPECT_EQ(drv.frq, 7000000);
}

TEST_F(KeyLanguageTest, NothingRemoteOnlyActsOnALocalReceiver)
{
    drv.remote = 0;
    typeText("7050\r");
    press(Qt::Key_Right);
    typeText("12C");
    EXPECT_TRUE(drv.writes.empty());
    // These still act.
    typeText("R\t");
    press(Qt::Key_F1);
    EXPECT_EQ(host.regions, 1);
    EXPECT_EQ(host.tabs, 1);
    EXPECT_EQ(host.helps, 1);
    typeText("U");
    EXPECT_TRUE(drv.wrote("remote", -1)) << "U takes remote control";
}

TEST_F(KeyLanguageTest, ChannelCommands)
{
    drv.chnCount = 13;
    typeText("12C");
    EXPECT_TRUE(drv.wrote("load", 12));
    drv.chnCount = 10;
    typeText("12C");
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(drv.of("load").size(), 1u);
    drv.chn = 3;
    typeText("C");
    EXPECT_EQ(keys->prefix(), QStringLiteral("C"));
    press(Qt::Key_Plus, QLatin1Char('+'), false, false, false, true);
    EXPECT_TRUE(drv.wrote("load", 4));
    EXPECT_TRUE(keys->prefix().isEmpty());
    typeText("C\x1b");
    EXPECT_TRUE(keys->prefix().isEmpty()) << "Esc cancels the prefix";
    typeText("5S");
    EXPECT_TRUE(drv.wrote("save", 5));
    typeText("S");
    EXPECT_EQ(host.channelWindows, 1);
}

TEST_F(KeyLanguageTest, BestModeFilterAndNumberCommands)
{
    typeText("MB");
    EXPECT_TRUE(drv.wrote("mod", ModUSB));
    typeText("FB");
    EXPECT_TRUE(drv.wrote("flt", 2800));
    typeText("2400F");
    EXPECT_TRUE(drv.wrote("flt", 2400));
    typeText("800B");
    EXPECT_TRUE(drv.wrote("bfo", 800));
    drv.writes.clear();
    typeText("B");
    EXPECT_TRUE(drv.of("bfo").empty()) << "B without a number sets no BFO";
}

TEST_F(KeyLanguageTest, TwoKeyCommandsGoToTheDriverInLowerCase)
{
    drv.keyResult = 1;
    typeText("U");
    ASSERT_FALSE(drv.keys.empty());
    EXPECT_EQ(drv.keys.back(), 'u');
    EXPECT_TRUE(drv.of("remote").empty()) << "the driver took the key";
}

TEST_F(KeyLanguageTest, ClipboardCopyAndPaste)
{
    drv.frq = 7050500;
    press(Qt::Key_C, QChar(3), false, true);
    EXPECT_EQ(host.clip, QStringLiteral("7050.5"));
    host.clip = QStringLiteral(" 14100.25 ");
    press(Qt::Key_V, QChar(22), false, true);
    EXPECT_EQ(drv.frq, 14100250);
    host.clip = QStringLiteral("14100,25");
    press(Qt::Key_V, QChar(22), false, true);
    EXPECT_EQ(host.beeps, 1) << "a comma is no decimal point here";
    host.clip = QStringLiteral("40000");
    press(Qt::Key_V, QChar(22), false, true);
    EXPECT_EQ(host.beeps, 2) << "above the receiver's range";
    host.clip = QStringLiteral("99999999999999");
    press(Qt::Key_V, QChar(22), false, true);
    EXPECT_EQ(host.beeps, 3);
    EXPECT_EQ(drv.frq, 14100250);
}

TEST_F(KeyLanguageTest, BandWalkWritesFrequencyModeAndFilter)
{
    drv.frq = 7050000;
    std::int32_t found = 0;
    data->get_BandLook(7050000, &found);
    press(Qt::Key_Plus, QLatin1Char('+'), false, false, false, true);
    ASSERT_EQ(drv.of("frq").size(), 1u);
    EXPECT_GT(drv.frq, 7050000);
    EXPECT_FALSE(drv.of("flt").empty());
    // Downwards from the lowest band the walk wraps to the top of the range.
    drv.frqMin = 100000;
    drv.frqMax = 29999999;
    data->get_BandLook(100000, &found);
    press(Qt::Key_Minus, QLatin1Char('-'), false, false, false, true);
    press(Qt::Key_Minus, QLatin1Char('-'), false, false, false, true);
    EXPECT_GE(drv.frq, drv.frqMin);
    EXPECT_LE(drv.frq, drv.frqMax);
}

TEST_F(KeyLanguageTest, KnownFrequencyWalkSkipsAMissingBestMode)
{
    // Nothing selected: the walk beeps and writes nothing.
    press(Qt::Key_Plus, QLatin1Char('+'), false, true, false, true);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_TRUE(drv.writes.empty());
    // A list by name: NAVTEX, best mode RTTY written as it is.
    std::int32_t found = 0;
    data->get_FreqLook(518000 - 1700, 0, &found);
    data->get_FreqLook(488300, 0, &found);
    press(Qt::Key_Plus, QLatin1Char('+'), false, false, true, true);
    EXPECT_FALSE(drv.of("frq").empty());
    EXPECT_EQ(host.walkName, QStringLiteral("Kf"));
    EXPECT_TRUE(drv.wrote("mod", ModRTTY));
}

TEST_F(KeyLanguageTest, HomeTunesToTheKnownFrequency)
{
    drv.frq = 2182100;
    digits.setValue(drv.frq);
    press(Qt::Key_Home);
    EXPECT_EQ(drv.frq, 2182000);
    drv.frq = 7050777;
    digits.setValue(drv.frq);
    press(Qt::Key_Home);
    EXPECT_EQ(drv.frq, 7050000);
}

TEST_F(KeyLanguageTest, SelectedDigitTakesTheKeys)
{
    digits.setValue(drv.frq);
    digits.focus(5, true);
    press(Qt::Key_Up);
    EXPECT_EQ(drv.frq, 7051000);
    press('4', QLatin1Char('4'));
    EXPECT_EQ(digits.selected(), 6);
    press(Qt::Key_Return, QLatin1Char('\r'));
    EXPECT_EQ(digits.selected(), -1);
    EXPECT_EQ(drv.frq, 7054000);
}

}  // namespace
}  // namespace tessaly
