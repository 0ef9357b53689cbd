// The drivers' handling of received records without a port: the receive
// buffer is filled directly and RxParse runs, with an owner that records
// what the driver reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "driver/core/driverevents.h"
#include "driver/models/nrd535/nrd535receiver.h"
#include "driver/models/ra1792/ra1792receiver.h"

namespace quorvin {
namespace {

class RecordingOwner : public IgnoringDriverEvents {
public:
    std::vector<std::string> events;
    void note(std::string text) { events.push_back(std::move(text)); }
    static std::string n(std::int64_t v) { return std::to_string(v); }
    int count(const std::string& prefix) const
    {
        int c = 0;
        for (const auto& e : events) {
            c += e.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return c;
    }

    void RxConnState(std::int16_t, ConnErr e) override { note("ConnState " + n(e)); }
    void RxDataError(std::int16_t, DataErr e) override { note("DataError " + n(e)); }
    void RxFrqUpdated(std::int16_t, std::int32_t f, std::int32_t) override { note("Frq " + n(f)); }
    void RxChnUpdated(std::int16_t, std::int16_t c) override { note("Chn " + n(c)); }
    void RxModUpdated(std::int16_t, MODTYPE m, std::int32_t b) override { note("Mod " + n(m) + " " + n(b)); }
    void RxFltUpdated(std::int16_t, std::int32_t f) override { note("Flt " + n(f)); }
    void RxAgcUpdated(std::int16_t, AGCTYPE a, std::int16_t l) override { note("Agc " + n(a) + " " + n(l)); }
    void RxNBlUpdated(std::int16_t, NBLTYPE v, std::int16_t) override { note("NBl " + n(v)); }
    void RxSqlUpdated(std::int16_t, SQLSTATE v, std::int16_t) override { note("Sql " + n(v)); }
    void RxAttUpdated(std::int16_t, ATTSTATE v, std::int16_t l) override { note("Att " + n(v) + " " + n(l)); }
    void RxSMtUpdated(std::int16_t, std::int32_t, std::int16_t l, std::int16_t d, const std::string& s) override
    {
        note("SMt " + n(l) + " " + n(d) + " " + s);
    }
    void RxHFFUpdated(std::int16_t, HFFSTATE s) override { note("HFF " + n(s)); }
    void RxChnStatus(std::int16_t, std::int16_t c, std::int32_t f, std::int32_t, std::int32_t m, std::int32_t flt,
                     std::int32_t a, std::int32_t) override
    {
        note("ChnStatus " + n(c) + " " + n(f) + " " + n(m) + " " + n(flt) + " " + n(a));
    }
    void RxRmtState(std::int16_t, std::int32_t s) override { note("Rmt " + n(s)); }
};

// Opens the parse path to the test: the buffer and the parser, no link.
template <class Model>
class Fed : public Model {
public:
    using Model::Model;
    std::int32_t feed(const std::string& bytes)
    {
        this->m_rxBuffer += bytes;
        return this->RxParse();
    }
    const std::string& buffer() const { return this->m_rxBuffer; }
    // Setters act only on a connected receiver; no port is needed to see
    // what they remember. The link counts as opened (the connect dialogue
    // is skipped) and a first answer of bare line ends arrives, as the
    // polling cycle sees a receiver connect.
    void markConnected()
    {
        m_skipDialogue = true;
        this->LinkOpened();
        this->ReceiveBytes("\r\n", 0);
    }
    ConnErr RxOpen() override { return m_skipDialogue ? ConnectRxComPending : Model::RxOpen(); }

    // With the fake wire every command is taken and kept (without the frame);
    // without it the real link, which is closed, refuses every write.
    bool fakeWire = false;
    std::vector<std::string> sent;
    // A command the fake wire refuses to write.
    std::string failOn;
    bool wasSent(const std::string& command) const
    {
        return std::find(sent.begin(), sent.end(), command) != sent.end();
    }

protected:
    bool m_skipDialogue = false;

    bool SendText(std::string_view command) override
    {
        if (!fakeWire) {
            return Model::SendText(command);
        }
        if (command == failOn) {
            return false;
        }
        sent.emplace_back(command);
        return true;
    }
};

TEST(Ra1792Parse, StatusLinesUpdateTheRecordAndReportChanges)
{
    RecordingOwner owner;
    Fed<Ra1792Receiver> rx(&owner);
    EXPECT_EQ(rx.feed("B-2.21F10.000000D3I3M1A0X0\r\n"), 0);
    EXPECT_EQ(rx.Current().FrqValue, 10000000u);
    EXPECT_EQ(rx.GetMod(), ModRTTY);
    EXPECT_EQ(rx.Current().FltValue, 3200);
    EXPECT_EQ(rx.GetAgc(), AgcFast);
    EXPECT_EQ(rx.GetChn(), -1);
    EXPECT_EQ(owner.count("Frq 10000000"), 1);
    EXPECT_EQ(owner.count("Mod 5 -2210"), 1);
    // The same reply again changes nothing and reports nothing.
    owner.events.clear();
    EXPECT_EQ(rx.feed("B-2.21F10.000000D3I3M1A0X0\r\n"), 0);
    EXPECT_TRUE(owner.events.empty());
    // A reply split across reads waits for its line end.
    EXPECT_EQ(rx.feed("F10.0000"), 0);
    EXPECT_EQ(rx.feed("01D1I1M2X0\r\n"), 0);
    EXPECT_EQ(rx.Current().FrqValue, 10000001u);
    EXPECT_EQ(rx.GetMod(), ModAM);
}

TEST(Ra1792Parse, PanelBfoMakesCodeThreeReadAsCw)
{
    RecordingOwner owner;
    Fed<Ra1792Receiver> rx(&owner);
    rx.feed("B-1.00F10.000000D3I3M1X0\r\n");
    EXPECT_FALSE(rx.BfoSetByPanel());
    rx.feed("B-1.50F10.000000D3I3M1X0\r\n");  // turned at the front panel
    EXPECT_TRUE(rx.BfoSetByPanel());
    rx.feed("B-2.21F10.000000D3I3M1X0\r\n");
    EXPECT_EQ(rx.GetMod(), ModCW);
}

TEST(Ra1792Parse, FilterCodeBeyondTheSlotsReadsAsTheFirstOffered)
{
    RecordingOwner owner;
    Fed<Ra1792Receiver> rx(&owner);
    rx.feed("F10.000000D1I5M1X0\r\n");
    EXPECT_EQ(rx.Current().FltValue, 16000);
    rx.feed("F10.000000D1I6M1X0\r\n");
    EXPECT_EQ(rx.Current().FltValue, 300);  // not 0 Hz
    rx.feed("F10.000000D6I1M1X0\r\n");  // USB: the SSB width
    EXPECT_EQ(rx.Current().FltValue, 2700);
    rx.feed("F10.000000D5I1M1X0\r\n");  // LSB: F_FL1
    EXPECT_EQ(rx.Current().FltValue, 3200);
}

TEST(Ra1792Parse, BfoRequestIsConfirmedByTheValueTheReceiverTakes)
{
    RecordingOwner owner;
    Fed<Ra1792Receiver> rx(&owner);
    rx.feed("B-0.80F10.000000D3I3M1X0\r\n");
    rx.markConnected();
    rx.fakeWire = true;
    // The command carries 10 Hz steps: -1234 Hz goes out as B-1.23.
    rx.RxSendBFO(-1234);
    EXPECT_EQ(rx.Requested().BFOValue, -1234);
    rx.feed("B-1.23F10.000000D3I3M1X0\r\n");
    EXPECT_EQ(rx.Requested().BFOValue, -1);
    EXPECT_FALSE(rx.BfoSetByPanel());  // the driver's own change
    // 9000 Hz is clamped to 7999 and goes out as B8.00.
    rx.RxSendBFO(9000);
    EXPECT_EQ(rx.Requested().BFOValue, 7999);
    rx.feed("B8.00F10.000000D3I3M1X0\r\n");
    EXPECT_EQ(rx.Requested().BFOValue, -1);
    EXPECT_FALSE(rx.BfoSetByPanel());
}

TEST(Ra1792Parse, TwoStatusLinesInOneReadTuneFromTheNewerLine)
{
    RecordingOwner owner;
    Fed<Ra1792Receiver> rx(&owner);
    rx.feed("F10.000000D6I3M1X0\r\n");
    rx.markConnected();
    // One read: the mode changed in the first line, the frequency in the second.
    rx.feed("F10.000000D5I3M1X0\r\nF11.000000D5I3M1X0\r\n");
    EXPECT_EQ(rx.Current().FrqValue, 11000000u);
    EXPECT_EQ(rx.GetMod(), ModLSB);
    // The first line's frequency is stale: nothing tunes back to it.
    EXPECT_NE(rx.Requested().FrqValue, 10000000u);

    rx.fakeWire = true;
    rx.feed("F11.000000D6I3M1X0\r\nF12.000000D6I3M1X0\r\n");
    EXPECT_EQ(rx.sent, (std::vector<std::string>{"R", "F12.000000", "L"}));
    EXPECT_EQ(rx.Requested().FrqValue, 12000000u);
    // While a frequency request is on its way, a mode change leaves it be.
    rx.sent.clear();
    rx.RxSendFrq(13000000, ModUSB, 1);
    rx.feed("F12.000000D5I3M1X0\r\n");
    EXPECT_EQ(rx.sent, (std::vector<std::string>{"R", "F13.000000", "L"}));
    EXPECT_EQ(rx.Requested().FrqValue, 13000000u);
}

TEST(Ra1792Parse, BadLinesAndRunawayBuffers)
{
    RecordingOwner owner;
    Fed<Ra1792Receiver> rx(&owner);
    EXPECT_EQ(rx.feed("F10.0D3M1\r\n"), 0);  // no X: unusable, reported, state kept
    EXPECT_EQ(owner.count("DataError 1030"), 1);
    EXPECT_EQ(rx.Current().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(rx.feed("X"), 0);
    EXPECT_EQ(rx.feed(std::string(1, '\x7F')), 0);  // one byte: no read past it
    EXPECT_EQ(rx.feed(std::string(40, 'Z')), -1);  // more than 40 without a line end
    EXPECT_TRUE(rx.buffer().empty());
}

TEST(Nrd535Parse, RecordsOfEveryKind)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    EXPECT_EQ(rx.feed("I024142500001\r"), 0);
    EXPECT_EQ(rx.GetAgc(), AgcFast);
    EXPECT_EQ(rx.GetAtt(), AttOff);
    EXPECT_EQ(rx.Current().FltValue, 1000);  // F_Nar
    EXPECT_EQ(rx.GetMod(), ModAM);
    EXPECT_EQ(rx.Current().FrqValue, 14250000u);
    EXPECT_EQ(rx.feed("I124142500001\r"), 0);
    EXPECT_EQ(rx.GetAtt(), AttOn1);
    EXPECT_EQ(rx.Current().AttLevel, -20);
    EXPECT_EQ(rx.feed("Q1\rN2\rU11\rU2-1500\rR\r"), 0);
    EXPECT_EQ(rx.GetSql(), SqlOn);
    EXPECT_EQ(rx.GetNBl(), NBlWide);
    EXPECT_EQ(rx.GetHFF(), HFFOn);
    EXPECT_EQ(rx.Current().BFOValue, -1500);
    EXPECT_EQ(owner.count("HFF 1"), 1);
    // In AM the BFO change is not reported with the mode.
    EXPECT_EQ(owner.count("Mod 0 -1500"), 0);
}

TEST(Nrd535Parse, ChannelCommandsThatCannotBeWrittenAreFailures)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    rx.feed("I014096500001\r");
    rx.markConnected();  // but no link: every write fails
    EXPECT_EQ(rx.ChnSave(5), R_KO);
    EXPECT_EQ(rx.ChnLoad(5), R_KO);
    EXPECT_EQ(rx.ChnClear(5), R_KO);
    EXPECT_EQ(rx.ChnWrite(5, 7100000, 0, ModLSB, 2200, AgcSlow, 0), R_KO);
    EXPECT_EQ(rx.ChnRead(5), R_KO);
    EXPECT_EQ(rx.ChnDump(), R_KO);
    // A load that never went out leaves the receiver off any channel.
    EXPECT_EQ(rx.GetChn(), -1);
    rx.fakeWire = true;
    EXPECT_EQ(rx.ChnSave(5), R_OK);
    EXPECT_EQ(rx.sent, (std::vector<std::string>{"H1", "J1005", "H0"}));
}

TEST(Nrd535Parse, HeldInRemoteAWrittenRequestIsConfirmedAtTheNextPoll)
{
    // Held in remote the poll asks for no full status: what was written is
    // what the receiver holds, and the next poll reports it as a status would.
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    rx.feed("I014096500001\r");
    rx.markConnected();
    rx.fakeWire = true;
    ASSERT_EQ(rx.RxRemote(1), 1);
    rx.RxPoll(0);  // the full status asked once as the hold begins
    owner.events.clear();
    rx.sent.clear();

    rx.RxSendFrq(7100000, ModAM, 1);
    EXPECT_EQ(rx.SetMod(ModUSB), ModUSB);
    EXPECT_EQ(rx.SetFltBW(900), 1000);
    rx.SetAgc(AgcSlow);
    EXPECT_EQ(rx.SetAtt(AttOn1), AttOn1);
    EXPECT_EQ(rx.sent, (std::vector<std::string>{"F07100000", "D2", "B2", "G0", "A1"}));
    EXPECT_EQ(rx.GetFrq(NONE), 9650000);  // not before the poll
    EXPECT_TRUE(owner.events.empty());
    rx.sent.clear();
    rx.RxPoll(0);
    EXPECT_FALSE(rx.wasSent("I"));
    EXPECT_EQ(rx.GetFrq(NONE), 7100000);
    EXPECT_EQ(owner.count("Frq 7100000"), 1);
    EXPECT_EQ(owner.count("Mod 2"), 1);
    EXPECT_EQ(owner.count("Flt 1000"), 1);
    EXPECT_EQ(owner.count("Agc 3"), 1);
    EXPECT_EQ(owner.count("Att 1 -20"), 1);
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(rx.Requested().ModType, ModNone);
    EXPECT_EQ(rx.Requested().FltValue, -1);
    EXPECT_EQ(rx.Requested().AgcType, AgcNone);
    EXPECT_EQ(rx.Requested().AttState, AttNone);
    // Reported once: the next poll has nothing new.
    owner.events.clear();
    rx.RxPoll(0);
    EXPECT_TRUE(owner.events.empty());

    // A frame that was not written confirms nothing.
    rx.failOn = "F07200000";
    rx.RxSendFrq(7200000, ModUSB, 1);
    rx.RxPoll(0);
    EXPECT_EQ(rx.GetFrq(NONE), 7100000);
    EXPECT_EQ(owner.count("Frq"), 0);

    // Across carrier offsets the receiver keeps its own frequency, so the
    // driver tunes it again for the new mode, as after a status.
    rx.failOn.clear();
    rx.sent.clear();
    EXPECT_EQ(rx.SetMod(ModRTTY), ModRTTY);
    rx.RxPoll(0);
    EXPECT_TRUE(rx.wasSent("F07097790"));
    EXPECT_EQ(rx.GetFrq(NONE), 7100000);
    rx.RxPoll(0);
    EXPECT_EQ(rx.GetFrq(NONE), 7100000);
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(owner.count("Frq"), 0);
    EXPECT_EQ(owner.count("Mod 5"), 1);
}

TEST(Nrd535Parse, HeldInRemoteTheFullStatusIsAskedOnceWhereNoWriteTellsIt)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    rx.feed("I014096500001\r");
    rx.markConnected();
    rx.fakeWire = true;
    const auto statusAsked = [&] {
        rx.sent.clear();
        rx.RxPoll(0);
        return rx.wasSent("I");
    };
    EXPECT_TRUE(statusAsked());
    // A request sent in local control just before the hold still gets its
    // status: asked once as the hold begins.
    rx.RxSendFrq(7100000, ModAM, 1);
    ASSERT_EQ(rx.RxRemote(1), 1);
    EXPECT_TRUE(statusAsked());
    rx.feed("I014071000001\r");
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_FALSE(statusAsked());
    // A channel load: only the receiver knows what the channel holds.
    EXPECT_EQ(rx.ChnLoad(5), R_OK);
    EXPECT_TRUE(statusAsked());
    EXPECT_FALSE(statusAsked());
    // Out of the hold and back: asked again as it begins.
    ASSERT_EQ(rx.RxRemote(0), 1);
    ASSERT_EQ(rx.RxRemote(1), 1);
    EXPECT_TRUE(statusAsked());
    EXPECT_FALSE(statusAsked());
}

TEST(FamilyChores, AFailedWriteInsideTheWrappingStillHandsTheReceiverBack)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    rx.feed("I014096500001\r");
    rx.markConnected();
    rx.fakeWire = true;
    rx.failOn = "N1";
    // The command fails: reported as failed, no request left, H0 still sent.
    EXPECT_EQ(rx.SetNBl(NBlPeek), NBlNone);
    EXPECT_EQ(rx.sent, (std::vector<std::string>{"H1", "H0"}));
    EXPECT_EQ(rx.Requested().NBlType, NBlNone);
    // The remote command fails: nothing else goes out.
    rx.sent.clear();
    rx.failOn = "H1";
    EXPECT_EQ(rx.SetAtt(AttOn1), AttNone);
    EXPECT_EQ(rx.sent, (std::vector<std::string>{"H0"}));
    EXPECT_EQ(rx.ChnSave(3), R_KO);
    // RxRemote whose command cannot be written changes nothing and says so.
    owner.events.clear();
    std::int32_t result = rx.RxRemote(1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(rx.IsRemote(), 0);
    EXPECT_EQ(owner.count("Rmt"), 0);
    rx.failOn.clear();
    EXPECT_EQ(rx.RxRemote(1), 1);
    EXPECT_EQ(rx.IsRemote(), 1);
    EXPECT_EQ(owner.count("Rmt 1"), 1);
    // Held in remote: no wrapping at all.
    rx.sent.clear();
    EXPECT_EQ(rx.ChnSave(3), R_OK);
    EXPECT_EQ(rx.sent, (std::vector<std::string>{"J1003"}));
}

TEST(FamilyChores, AMappedModeTheReceiverIsAlreadyInSendsNothing)
{
    // A forwarded ISB to a receiver in USB: nothing goes out, so no echo is
    // awaited that would never come.
    RecordingOwner owner;
    Fed<Nrd535Receiver> nrd(&owner);
    nrd.feed("I012141000001\r");
    nrd.markConnected();
    nrd.fakeWire = true;
    EXPECT_EQ(nrd.SetMod(ModISB), ModUSB);
    EXPECT_EQ(nrd.SetMod(ModUSB), ModUSB);
    EXPECT_TRUE(nrd.sent.empty());
    EXPECT_EQ(nrd.SetMod(ModCW_F), ModCW);
    EXPECT_EQ(nrd.sent, (std::vector<std::string>{"H1", "D1", "H0"}));
    EXPECT_EQ(nrd.Requested().ModType, ModCW);

    Fed<Ra1792Receiver> ra(&owner);
    ra.feed("F10.000000D1I3M1X0\r\n");
    ra.markConnected();
    ra.fakeWire = true;
    EXPECT_EQ(ra.SetMod(ModAM_U), ModAM);
    EXPECT_TRUE(ra.sent.empty());
    EXPECT_EQ(ra.SetMod(ModISB), ModISB);
    EXPECT_EQ(ra.sent, (std::vector<std::string>{"R", "D4", "L"}));
}

TEST(Nrd535Parse, ModeChangeAcrossCarrierOffsetsTunesFromTheRecord)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    rx.feed("I014096500001\r");
    rx.markConnected();
    rx.fakeWire = true;
    // Tuned to 14.1 MHz in AM, then RTTY, both before the next status.
    rx.RxSendFrq(14100000, ModAM, 1);
    rx.SetMod(ModRTTY);
    rx.sent.clear();
    rx.feed("I010141000001\r");
    EXPECT_EQ(rx.sent, (std::vector<std::string>{"H1", "F14097790", "H0"}));
    EXPECT_EQ(rx.GetFrq(NONE), 14100000);
    EXPECT_EQ(rx.Requested().FrqValue, 14100000u);
    rx.sent.clear();
    rx.feed("I010140977901\r");
    EXPECT_TRUE(rx.sent.empty());
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(rx.Requested().ModType, ModNone);
}

TEST(Nrd535Parse, SpointTextFollowsTheDbuvValue)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    // Raw 105: v = 150, 30 dBµV, which is S8 (the raw value would read +60).
    EXPECT_EQ(rx.feed("I014096500001\rM105\r"), 0);
    EXPECT_EQ(owner.count("SMt 105 30  S8"), 1);
    EXPECT_EQ(rx.SMtLvl(Local), "105");
    EXPECT_EQ(rx.SMtLvl(dBuV), "30");
    EXPECT_EQ(rx.SMtLvl(SPoint), " S8");
    EXPECT_EQ(rx.RxSMtRaw(), 30);
}

TEST(Nrd535Parse, ShortAndUnknownRecords)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    EXPECT_EQ(rx.feed("I0241425\r"), 0);  // short status: ignored
    EXPECT_EQ(rx.Current().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(rx.feed("Q\r"), -1);  // short squelch record
    EXPECT_EQ(rx.feed("Z1\r"), -1);  // unknown kind
    EXPECT_EQ(rx.feed("M12\r"), -1);
    EXPECT_EQ(rx.feed(std::string(41, '7')), -1);
    EXPECT_TRUE(rx.buffer().empty());
    EXPECT_TRUE(owner.events.empty());
}

TEST(Nrd535Parse, ChannelRecordsAndTheEndMarker)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    EXPECT_EQ(rx.feed("L007124096500000\r"), 0);
    EXPECT_EQ(owner.count("ChnStatus 7 9650000 0 1000 3"), 1);
    EXPECT_EQ(rx.feed("L198000000000000\r"), 0);
    EXPECT_EQ(owner.count("ChnStatus 198 0 -1 0 -1"), 1);  // empty: nothing invented
    EXPECT_EQ(rx.feed("L199014096500001\r"), 0);
    ASSERT_GE(owner.events.size(), 2u);
    EXPECT_EQ(owner.events.back(), "ChnStatus -1 0 -1 0 -1");
    EXPECT_EQ(owner.events[owner.events.size() - 2], "ChnStatus 199 9650000 0 2200 1");
}

TEST(Nrd535Parse, RttyAndFaxChannelsListAtTheFrequencyTheyShowWhenLoaded)
{
    RecordingOwner owner;
    Fed<Nrd535Receiver> rx(&owner);
    // Channel 5 holds RTTY with the receiver at 10000000 Hz, channel 6 FAX.
    EXPECT_EQ(rx.feed("L005010100000001\r"), 0);
    EXPECT_EQ(owner.count("ChnStatus 5 10002210 5 2200 1"), 1);
    EXPECT_EQ(rx.feed("L006016100000001\r"), 0);
    EXPECT_EQ(owner.count("ChnStatus 6 10001900 6 2200 1"), 1);
    // Loaded, the receiver reports the same place: the listed frequency.
    EXPECT_EQ(rx.feed("I010100000001\r"), 0);
    EXPECT_EQ(rx.Current().FrqValue, 10002210u);
}

}  // namespace
}  // namespace quorvin
