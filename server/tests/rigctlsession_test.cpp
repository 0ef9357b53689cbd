// The rigctld protocol session against a scripted receiver: replies, codes,
// ordering behind changes in progress, limits.
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "rigctlsession.h"

namespace server {
namespace {

using namespace quorvin;

// A receiver whose changes wait until the test completes them.
class FakeReceiver : public ReceiverAccess {
public:
    struct Change {
        std::string what;
        std::int64_t value;
        SetDone done;
    };

    bool connected = true;
    std::optional<std::int32_t> frq = 9650000;
    std::optional<MODTYPE> mod = ModAM;
    std::optional<std::int32_t> flt = 5500;
    std::optional<AGCTYPE> agcValue = AgcFast;
    std::optional<ATTSTATE> attValue = AttOff;
    std::optional<int> dbuv = 44;
    std::optional<int> chn = -1;
    bool preamp = false;
    bool smeter = true;
    std::deque<Change> changes;

    std::string name() override { return "NRD535"; }
    std::string identification() override { return "NRD-535"; }
    bool isConnected() override { return connected; }
    std::int32_t frequencyMin() override { return 5000; }
    std::int32_t frequencyMax() override { return 29999999; }
    std::int32_t frequencyStep() override { return 1; }
    bool modeExists(MODTYPE m) override { return m == ModAM || m == ModCW || m == ModUSB || m == ModLSB; }
    std::vector<std::int32_t> filterWidths() override { return {1000, 2200, 5500}; }
    bool agcExists(AGCTYPE a) override { return a == AgcManual || a == AgcFast || a == AgcSlow; }
    bool attExists(ATTSTATE a) override { return a == AttOff || a == AttOn1 || (preamp && a == AttPre); }
    int attDb(ATTSTATE a) override { return a == AttPre ? 10 : 20; }
    bool hasSMeter() override { return smeter; }
    int channelCount() override { return 200; }
    int channelStart() override { return 0; }
    std::optional<std::int32_t> frequency() override { return connected ? frq : std::nullopt; }
    std::optional<MODTYPE> mode() override { return mod; }
    std::optional<std::int32_t> filterWidth() override { return flt; }
    std::optional<AGCTYPE> agc() override { return agcValue; }
    std::optional<ATTSTATE> att() override { return attValue; }
    std::optional<int> signalDbuv() override { return dbuv; }
    std::optional<int> channel() override { return chn; }
    void setFrequency(std::int32_t hz, SetDone done) override { changes.push_back({"frq", hz, std::move(done)}); }
    void setMode(MODTYPE m, SetDone done) override { changes.push_back({"mod", m, std::move(done)}); }
    void setFilterWidth(std::int32_t hz, SetDone done) override { changes.push_back({"flt", hz, std::move(done)}); }
    void setAgc(AGCTYPE a, SetDone done) override { changes.push_back({"agc", a, std::move(done)}); }
    void setAtt(ATTSTATE a, SetDone done) override { changes.push_back({"att", a, std::move(done)}); }
    void loadChannel(int c, SetDone done) override { changes.push_back({"chn", c, std::move(done)}); }

    // Completes the oldest change; a Done change takes effect first.
    Change complete(SetResult result = SetResult::Done)
    {
        Change c = std::move(changes.front());
        changes.pop_front();
        if (result == SetResult::Done) {
            if (c.what == "frq") {
                frq = static_cast<std::int32_t>(c.value);
            } else if (c.what == "mod") {
                mod = static_cast<MODTYPE>(c.value);
            } else if (c.what == "flt") {
                flt = static_cast<std::int32_t>(c.value);
            }
        }
        c.done(result);
        return c;
    }
};

class SessionTest : public ::testing::Test {
protected:
    FakeReceiver rx;
    std::string out;
    std::unique_ptr<RigctlSession> session =
        std::make_unique<RigctlSession>(rx, [this](const std::string& text) { out += text; });

    std::string ask(const std::string& lines)
    {
        out.clear();
        session->feed(lines);
        return out;
    }
};

TEST_F(SessionTest, GetsAnswerValuesOnePerLineWithoutRprt)
{
    EXPECT_EQ(ask("f\n"), "9650000\n");
    EXPECT_EQ(ask("m\n"), "AM\n5500\n");
    EXPECT_EQ(ask("v\n"), "VFOA\n");
    EXPECT_EQ(ask("s\n"), "0\nVFOA\n");
    EXPECT_EQ(ask("\\chk_vfo\n"), "0\n");
    EXPECT_EQ(ask("\\get_powerstat\n"), "1\n");
    EXPECT_EQ(ask("\\get_lock_mode\n"), "0\n");
    EXPECT_EQ(ask("l STRENGTH\n"), "10\n");  // 44 dBµV is 10 dB over S9
    EXPECT_EQ(ask("l ATT\n"), "0\n");
    EXPECT_EQ(ask("l AGC\n"), "2\n");
    EXPECT_EQ(ask("n\n"), "1\n");
    EXPECT_EQ(ask("_\n"), "NRD535 NRD-535\n");
    EXPECT_EQ(ask("\\get_freq\r\n"), "9650000\n");
    // Empty lines ask nothing; several lines in one piece answer in order.
    EXPECT_EQ(ask("\n\r\nf\nv\n"), "9650000\nVFOA\n");
    // A line in two pieces is answered once it is complete.
    EXPECT_EQ(ask("l STR"), "");
    EXPECT_EQ(ask("ENGTH\n"), "10\n");
    rx.dbuv = 4;
    EXPECT_EQ(ask("l STRENGTH\n"), "-30\n");
    rx.mod = ModCW_F;
    EXPECT_EQ(ask("m\n"), "CW\n5500\n");
    rx.mod = ModISB;
    EXPECT_EQ(ask("m\n"), "RPRT -11\n");
}

TEST_F(SessionTest, ExtendedFormLabelsValuesAndEndsWithRprt)
{
    EXPECT_EQ(ask("+f\n"), "get_freq:\nFrequency: 9650000\nRPRT 0\n");
    EXPECT_EQ(ask("+\\get_mode\n"), "get_mode:\nMode: AM\nPassband: 5500\nRPRT 0\n");
    EXPECT_EQ(ask(";f\n"), "get_freq:;Frequency: 9650000;RPRT 0\n");
    EXPECT_EQ(ask("|v\n"), "get_vfo:|VFO: VFOA|RPRT 0\n");
    EXPECT_EQ(ask("+l STRENGTH\n"), "get_level: STRENGTH\n10\nRPRT 0\n");
    EXPECT_EQ(ask("+T 1\n"), "set_ptt: 1\nRPRT -11\n");
    ask("+F 7050000\n");
    rx.complete();
    EXPECT_EQ(out, "set_freq: 7050000\nRPRT 0\n");
}

TEST_F(SessionTest, SetFrequencyAnswersWhenTheReceiverConfirmsAndLaterLinesWait)
{
    EXPECT_EQ(ask("F 7050000.000000\nf\nv\n"), "");
    ASSERT_EQ(rx.changes.size(), 1u);
    EXPECT_EQ(rx.changes.front().value, 7050000);
    EXPECT_TRUE(session->busy());
    rx.complete();
    EXPECT_EQ(out, "RPRT 0\n7050000\nVFOA\n");
    EXPECT_FALSE(session->busy());

    // What really happened decides the code.
    ask("F 7100000\n");
    out.clear();
    rx.complete(SetResult::TimedOut);
    EXPECT_EQ(out, "RPRT -5\n");
    ask("F 7100000\n");
    out.clear();
    rx.complete(SetResult::NotConnected);
    EXPECT_EQ(out, "RPRT -6\n");
    ask("F 7100000\n");
    out.clear();
    rx.complete(SetResult::NotAvailable);
    EXPECT_EQ(out, "RPRT -11\n");
    EXPECT_EQ(rx.frq, 7050000);

    // Malformed and out of range: nothing reaches the receiver.
    EXPECT_EQ(ask("F abc\n"), "RPRT -1\n");
    EXPECT_EQ(ask("F\n"), "RPRT -1\n");
    EXPECT_EQ(ask("F 7050000 12\n"), "RPRT -1\n");
    EXPECT_EQ(ask("F 4999\n"), "RPRT -1\n");
    EXPECT_EQ(ask("F 30000000\n"), "RPRT -1\n");
    EXPECT_EQ(ask("F nan\n"), "RPRT -1\n");
    EXPECT_EQ(ask("F 7,05e6\n"), "RPRT -1\n");
    EXPECT_TRUE(rx.changes.empty());
    // A VFO named first is the receiver's own.
    ask("F VFOA 7050100.4\n");
    ASSERT_EQ(rx.changes.size(), 1u);
    EXPECT_EQ(rx.changes.front().value, 7050100);
    rx.complete();
}

TEST_F(SessionTest, SetModeThenPassband)
{
    ask("M USB 2400\n");
    ASSERT_EQ(rx.changes.size(), 1u);
    EXPECT_EQ(rx.changes.front().what, "mod");
    EXPECT_EQ(rx.changes.front().value, ModUSB);
    rx.complete();
    ASSERT_EQ(rx.changes.size(), 1u);
    EXPECT_EQ(rx.changes.front().what, "flt");
    EXPECT_EQ(rx.changes.front().value, 2400);
    EXPECT_EQ(out, "");
    rx.complete();
    EXPECT_EQ(out, "RPRT 0\n");
    EXPECT_EQ(ask("m\n"), "USB\n2400\n");

    // 0: the mode's normal passband; -1: the filter stays.
    ask("M AM 0\n");
    rx.complete();
    EXPECT_EQ(rx.changes.front().value, 6000);
    rx.complete();
    ask("M CW -1\n");
    rx.complete();
    EXPECT_TRUE(rx.changes.empty());
    EXPECT_EQ(out, "RPRT 0\n");

    // A refused mode change sets no filter.
    ask("M LSB 2400\n");
    out.clear();
    rx.complete(SetResult::TimedOut);
    EXPECT_TRUE(rx.changes.empty());
    EXPECT_EQ(out, "RPRT -5\n");

    EXPECT_EQ(ask("M FM 12000\n"), "RPRT -11\n");  // this receiver has no FM
    EXPECT_EQ(ask("M WFM 0\n"), "RPRT -11\n");  // no receiver here has it
    EXPECT_EQ(ask("M XYZ 0\n"), "RPRT -1\n");
    EXPECT_EQ(ask("M USB wide\n"), "RPRT -1\n");
    EXPECT_EQ(ask("M USB -5\n"), "RPRT -1\n");
    EXPECT_EQ(ask("M\n"), "RPRT -1\n");
    EXPECT_EQ(ask("M ?\n"), "AM CW USB LSB \nRPRT 0\n");
    EXPECT_TRUE(rx.changes.empty());
}

TEST_F(SessionTest, LevelsMapOntoAttenuatorAgcAndMeter)
{
    ask("L ATT 20\n");
    ASSERT_EQ(rx.changes.size(), 1u);
    EXPECT_EQ(rx.changes.front().what, "att");
    EXPECT_EQ(rx.changes.front().value, AttOn1);
    rx.complete();
    EXPECT_EQ(out, "RPRT 0\n");
    rx.attValue = AttOn1;
    EXPECT_EQ(ask("l ATT\n"), "20\n");
    ask("L ATT 0\n");
    EXPECT_EQ(rx.changes.front().value, AttOff);
    rx.complete();

    ask("L AGC 3\n");
    EXPECT_EQ(rx.changes.front().value, AgcSlow);
    rx.complete();
    EXPECT_EQ(ask("L AGC 5\n"), "RPRT -11\n");  // no medium AGC here
    EXPECT_EQ(ask("L AGC fast\n"), "RPRT -1\n");
    EXPECT_EQ(ask("L PREAMP 10\n"), "RPRT -11\n");
    EXPECT_EQ(ask("l PREAMP\n"), "RPRT -11\n");
    EXPECT_EQ(ask("L STRENGTH 3\n"), "RPRT -11\n");
    EXPECT_EQ(ask("l SWR\n"), "RPRT -11\n");
    EXPECT_EQ(ask("l FOO\n"), "RPRT -1\n");
    EXPECT_EQ(ask("l\n"), "RPRT -1\n");
    EXPECT_EQ(ask("l ?\n"), "ATT AGC STRENGTH \n");
    EXPECT_EQ(ask("L ?\n"), "ATT AGC \nRPRT 0\n");

    rx.preamp = true;
    ask("L PREAMP 10\n");
    EXPECT_EQ(rx.changes.front().value, AttPre);
    rx.complete();
    rx.attValue = AttPre;
    EXPECT_EQ(ask("l PREAMP\n"), "10\n");
    EXPECT_EQ(ask("l ATT\n"), "0\n");

    rx.smeter = false;
    EXPECT_EQ(ask("l STRENGTH\n"), "RPRT -11\n");
    rx.smeter = true;
    rx.dbuv.reset();
    EXPECT_EQ(ask("l STRENGTH\n"), "RPRT -5\n");  // no reading yet
    rx.connected = false;
    EXPECT_EQ(ask("l STRENGTH\n"), "RPRT -6\n");
    EXPECT_EQ(ask("f\n"), "RPRT -6\n");
}

TEST_F(SessionTest, TransmitSplitVfoAndUnknownCommands)
{
    EXPECT_EQ(ask("T 1\n"), "RPRT -11\n");
    EXPECT_EQ(ask("T 0\n"), "RPRT -11\n");
    EXPECT_EQ(ask("t\n"), "RPRT -11\n");
    EXPECT_EQ(ask("Z 100\n"), "RPRT -11\n");
    EXPECT_EQ(ask("I 7050000\n"), "RPRT -11\n");
    EXPECT_EQ(ask("S 1 VFOB\n"), "RPRT -11\n");
    EXPECT_EQ(ask("S 0 VFOA\n"), "RPRT 0\n");
    EXPECT_EQ(ask("S x\n"), "RPRT -1\n");
    EXPECT_EQ(ask("V VFOA\n"), "RPRT 0\n");
    EXPECT_EQ(ask("V VFOB\n"), "RPRT -11\n");
    EXPECT_EQ(ask("V Banana\n"), "RPRT -1\n");
    EXPECT_EQ(ask("\\set_powerstat 0\n"), "RPRT -11\n");
    EXPECT_EQ(ask("\\set_powerstat 1\n"), "RPRT 0\n");
    EXPECT_EQ(ask("\\set_lock_mode 0\n"), "RPRT 0\n");
    EXPECT_EQ(ask("w FA;\n"), "RPRT -4\n");
    EXPECT_EQ(ask("k\n"), "RPRT -4\n");
    EXPECT_EQ(ask("\\no_such_command 1 2\n"), "RPRT -4\n");
    EXPECT_EQ(ask("\\\n"), "RPRT -4\n");
    EXPECT_EQ(ask("+\n"), "unknown:\nRPRT -1\n");
    EXPECT_EQ(ask("f VFOB\n"), "RPRT -1\n");
    EXPECT_EQ(ask(std::string("\x01\xff\x7f garbage\n", 12)), "RPRT -4\n");
    EXPECT_EQ(ask(std::string("\0f\n", 3)), "RPRT -4\n");
    // Still serving after all that.
    EXPECT_EQ(ask("f\n"), "9650000\n");
    EXPECT_FALSE(session->closed());
}

TEST_F(SessionTest, MemoryChannelRecall)
{
    EXPECT_EQ(ask("e\n"), "RPRT -11\n");  // on no channel
    ask("E 5\n");
    ASSERT_EQ(rx.changes.size(), 1u);
    EXPECT_EQ(rx.changes.front().what, "chn");
    EXPECT_EQ(rx.changes.front().value, 5);
    rx.complete();
    EXPECT_EQ(out, "RPRT 0\n");
    rx.chn = 5;
    EXPECT_EQ(ask("e\n"), "5\n");
    EXPECT_EQ(ask("E 200\n"), "RPRT -1\n");
    EXPECT_EQ(ask("E -1\n"), "RPRT -1\n");
    EXPECT_EQ(ask("E five\n"), "RPRT -1\n");
}

TEST_F(SessionTest, DumpStateDescribesTheReceiver)
{
    const std::string dump = ask("\\dump_state\n");
    std::vector<std::string> lines;
    for (std::size_t start = 0, eol; (eol = dump.find('\n', start)) != std::string::npos; start = eol + 1) {
        lines.push_back(dump.substr(start, eol - start));
    }
    ASSERT_EQ(lines.size(), 24u) << dump;
    EXPECT_EQ(lines[0], "0");
    // AM, CW, USB, LSB: bits 0..3.
    EXPECT_EQ(lines[3], "5000.000000 29999999.000000 0xf -1 -1 0x1 0x1");
    EXPECT_EQ(lines[4], "0 0 0 0 0 0 0");
    EXPECT_EQ(lines[5], "0 0 0 0 0 0 0");
    EXPECT_EQ(lines[6], "0xf 1");
    EXPECT_EQ(lines[7], "0 0");
    EXPECT_EQ(lines[8], "0xf 1000");
    EXPECT_EQ(lines[9], "0xf 2200");
    EXPECT_EQ(lines[10], "0xf 5500");
    EXPECT_EQ(lines[11], "0 0");
    EXPECT_EQ(lines[16], "");  // no preamplifier
    EXPECT_EQ(lines[17], "20 ");  // one attenuator step
    EXPECT_EQ(lines[20], "0x40020002");  // ATT, AGC, STRENGTH
    EXPECT_EQ(lines[21], "0x20002");
    const std::string ext = ask("+\\dump_state\n");
    EXPECT_EQ(ext, "dump_state:\n" + dump + "RPRT 0\n");
}

TEST_F(SessionTest, FloodAndOversizedLinesCloseTheSession)
{
    bool closedNotice = false;
    session->setCloseHandler([&] { closedNotice = true; });
    EXPECT_EQ(ask(std::string(2000, 'f')), "RPRT -1\n");
    EXPECT_TRUE(session->closed());
    EXPECT_TRUE(closedNotice);
    EXPECT_EQ(ask("f\n"), "");

    // Lines piling up behind a change in progress are bounded as well.
    session = std::make_unique<RigctlSession>(
        rx, [this](const std::string& t) { out += t; }, SessionLimits{64, 256});
    ask("F 7050000\n");
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += "f\n";
    }
    EXPECT_EQ(ask(many), "");
    EXPECT_FALSE(session->closed());  // 80 bytes wait
    EXPECT_EQ(ask(many + many + many), "RPRT -1\n");
    EXPECT_TRUE(session->closed());
    rx.complete();  // the session answers nothing more
    EXPECT_EQ(out, "RPRT -1\n");

    // Quit closes after its answer.
    session = std::make_unique<RigctlSession>(rx, [this](const std::string& t) { out += t; });
    EXPECT_EQ(ask("q\nf\n"), "RPRT 0\n");
    EXPECT_TRUE(session->closed());
}

TEST_F(SessionTest, ACompletionAfterTheSessionWentIsHarmless)
{
    ask("F 7050000\n");
    session.reset();
    rx.complete();
    EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace server
