// The family base through the two built drivers, without a port: settings
// loaded and written back, capability answers from the table, filter slots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/core/configstore.h"
#include "driver/links/seriallink.h"
#include "driver/links/socketlink.h"
#include "driver/models/familyprotocol.h"
#include "driver/models/hf2050/hf2050receiver.h"
#include "driver/models/nrd535/nrd535receiver.h"
#include "driver/models/ra1792/ra1792receiver.h"
#include "driver/models/ra6790/ra6790receiver.h"
#include "driver/models/rek085/rek085receiver.h"
#include "platform/settingsstore.h"

namespace quorvin {
namespace {

class FamilyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-models-XXXXXX").string();
        m_dir = mkdtemp(pattern.data());
        platform::SettingsStore::resetShared(m_dir + "/settings.db");
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    platform::SettingsStore& store() { return platform::SettingsStore::shared(); }
    std::string key() const { return instanceKey("Station", "Rx"); }

    std::string m_dir;
};

TEST_F(FamilyTest, FreshStoreGetsDefaultsWrittenBack)
{
    store().writeNumber(key(), "D_Type", DrvRA1792);
    Ra1792Receiver rx(nullptr);
    rx.RxInit(0, "Station", "Rx");
    EXPECT_EQ(rx.Retries(), 8);
    EXPECT_EQ(rx.WaitMs(), 250);
    EXPECT_EQ(rx.TraceOn(), 0);
    EXPECT_EQ(rx.RxPollPeriod(), 250);
    EXPECT_EQ(rx.RxMaxSilentTicks(), 8);
    EXPECT_EQ(store().readNumber(key(), "C_Retr"), std::optional<std::int32_t>(8));
    EXPECT_EQ(store().readNumber(key(), "C_Wait"), std::optional<std::int32_t>(250));
    EXPECT_EQ(store().readNumber(key(), "C_Dbg"), std::optional<std::int32_t>(0));
}

TEST_F(FamilyTest, OutOfRangeValuesFallBackAndInRangeValuesStay)
{
    store().writeNumber(key(), "C_Wait", 600);
    store().writeNumber(key(), "C_Retr", 41);
    store().writeNumber(key(), "C_Dbg", 1);
    store().writeNumber(key(), "C_Test", 0);
    store().writeNumber(key(), "R_MAgc", 1);
    Ra1792Receiver rx(nullptr);
    rx.RxInit(0, "Station", "Rx");
    EXPECT_EQ(rx.WaitMs(), 250);
    EXPECT_EQ(rx.Retries(), 8);
    EXPECT_EQ(store().readNumber(key(), "C_Wait"), std::optional<std::int32_t>(250));
    EXPECT_EQ(store().readNumber(key(), "C_Retr"), std::optional<std::int32_t>(8));
    EXPECT_EQ(rx.TraceOn(), 1);
    EXPECT_EQ(rx.TestLink(), 0);
    EXPECT_EQ(rx.ManualAgcAllowed(), 1);

    store().writeNumber(key(), "C_Wait", 150);
    store().writeNumber(key(), "C_Retr", 40);
    Ra1792Receiver edges(nullptr);
    edges.RxInit(0, "Station", "Rx");
    EXPECT_EQ(edges.WaitMs(), 150);
    EXPECT_EQ(edges.Retries(), 40);
    // A text where a number belongs reads as missing.
    store().writeText(key(), "C_Wait", "300");
    Ra1792Receiver text(nullptr);
    text.RxInit(0, "Station", "Rx");
    EXPECT_EQ(text.WaitMs(), 250);
}

TEST_F(FamilyTest, FilterSlotsLoadAndOfferSortedWidths)
{
    Ra1792Receiver ra(nullptr);
    // RA1792 offers F_FL3..F_FL7: 300, 1000, 3200, 6000, 16000.
    ASSERT_EQ(ra.FltCount(), 5);
    EXPECT_EQ(ra.FltValue(0), 300);
    EXPECT_EQ(ra.FltName(0), "F_FL3");
    EXPECT_EQ(ra.FltValue(4), 16000);
    EXPECT_EQ(ra.FltName(4), "F_FL7");
    EXPECT_EQ(ra.FltValue(5), 0);
    EXPECT_EQ(ra.FltName(-1), "");

    store().writeNumber(key(), "F_FL4", 20000);  // the 1000 Hz slot becomes the widest
    store().writeNumber(key(), "F_FL7", 0);  // an empty slot is not offered
    Ra1792Receiver loaded(nullptr);
    loaded.RxInit(0, "Station", "Rx");
    ASSERT_EQ(loaded.FltCount(), 4);
    EXPECT_EQ(loaded.FltValue(3), 20000);
    EXPECT_EQ(loaded.FltName(3), "F_FL4");

    Nrd535Receiver nrd(nullptr);
    ASSERT_EQ(nrd.FltCount(), 4);
    EXPECT_EQ(nrd.FltValue(0), 1000);
    EXPECT_EQ(nrd.FltName(0), "F_Nar");
    EXPECT_EQ(nrd.FltValue(3), 12000);
}

TEST_F(FamilyTest, SaveWritesTypeAndFamilyValues)
{
    Nrd535Receiver rx(nullptr);
    rx.RxInit(0, "Station", "Rx");
    rx.RxSaveSettings("Station", "Rx");
    EXPECT_EQ(store().readNumber(key(), "D_Type"), std::optional<std::int32_t>(DrvNRD535));
    EXPECT_EQ(store().readNumber(key(), "C_Test"), std::optional<std::int32_t>(1));
    EXPECT_EQ(store().readNumber(key(), "R_MAgc"), std::optional<std::int32_t>(0));
    EXPECT_EQ(store().readNumber(key(), "O_ISB"), std::optional<std::int32_t>(1));
    EXPECT_EQ(store().readNumber(key(), "F_Aux"), std::optional<std::int32_t>(12000));
    EXPECT_EQ(store().readNumber(key(), "F_U3"), std::optional<std::int32_t>(0));
    // Names that would reach another key are refused.
    rx.RxSaveSettings("Station", "a\\b");
    EXPECT_FALSE(store().keyExists(instanceKey("Station", "a")));
}

TEST_F(FamilyTest, CapabilityAnswersComeFromTheTable)
{
    Ra1792Receiver ra(nullptr);
    EXPECT_EQ(ra.RxFrqMin(), 5000);
    EXPECT_EQ(ra.RxFrqMax(), 30000000);
    EXPECT_EQ(ra.RxFrqStp(), 1);
    EXPECT_EQ(ra.RxBFOMin(), -7999);
    EXPECT_EQ(ra.ModCount(), 6);
    EXPECT_EQ(ra.ModExist(ModFM), 1);
    EXPECT_EQ(ra.ModExist(ModISB), 0);
    EXPECT_EQ(ra.IsModEmu(ModRTTY), 1);
    EXPECT_EQ(ra.IsModEmu(ModCW), 0);
    EXPECT_EQ(ra.AgcCount(), 3);
    EXPECT_EQ(ra.AgcExist(AgcSlowManual), 1);
    EXPECT_EQ(ra.AgcExist(AgcData), 0);
    EXPECT_EQ(ra.NBlCount(), 0);
    EXPECT_EQ(ra.SqlExist(), 0);
    EXPECT_EQ(ra.SMtExist(), 0);
    EXPECT_EQ(ra.ChnCount(), 0);
    EXPECT_EQ(ra.ChnLoad(1), R_KO);
    EXPECT_EQ(ra.RomID(), "HPIB");

    Nrd535Receiver nrd(nullptr);
    EXPECT_EQ(nrd.RxFrqMax(), 29999999);
    EXPECT_EQ(nrd.RxBFOMax(), 5000);
    EXPECT_EQ(nrd.ModCount(), 7);
    EXPECT_EQ(nrd.ModExist(ModAM_U), 1);
    EXPECT_EQ(nrd.NBlCount(), 2);
    EXPECT_EQ(nrd.NBlExist(NBlPeek), 1);
    EXPECT_EQ(nrd.AttExist(AttOn1), 1);
    EXPECT_EQ(nrd.AttExist(AttOn2), 0);
    EXPECT_EQ(nrd.SqlExist(), 1);
    EXPECT_EQ(nrd.HFFExist(), 1);
    EXPECT_EQ(nrd.SMtExist(), 1);
    EXPECT_EQ(nrd.ChnCount(), 200);
    EXPECT_EQ(nrd.ChnStart(), 0);
    // Not connected: nothing is sent, channel operations refuse.
    EXPECT_EQ(nrd.ChnDump(), R_KO);
    EXPECT_EQ(nrd.SetMod(ModUSB), nrd.GetMod());
    EXPECT_EQ(nrd.SetFltBW(2200), -1);
    EXPECT_EQ(nrd.CommandsSent(), 0u);
    EXPECT_EQ(nrd.SMtLvl(dBuV), "");
}

// A model that is its table row and nothing else, as a new driver starts.
class TableOnly : public FamilyReceiver {
public:
    explicit TableOnly(DrvType type) : FamilyReceiver(nullptr, type) {}
    ConnErr RxOpen() override { return ConnectNoError; }
    void RxClose() override {}
    std::int32_t RxPoll(std::uint32_t) override { return 0; }
    std::int32_t SetFltBW(std::int32_t) override { return -1; }
    MODTYPE SetMod(MODTYPE) override { return ModNone; }
    void RxSendFrq(std::int32_t, MODTYPE, std::int32_t) override {}
    void RxSendBFO(std::int32_t) override {}
    CommChannel& channel() { return m_channel; }
    ConnErr failWith(ConnErr code) { return FailConnect(code, "empty response\n"); }

protected:
    bool SendText(std::string_view) override { return false; }
    bool ApplyRecord(const std::string&) override { return true; }
};

// A connect dialogue that fails with the link's last error when the link
// saw none (a read that simply came back empty) must still fail: success is
// never what a failed connect reports.
TEST_F(FamilyTest, AFailedConnectNeverReportsSuccess)
{
    TableOnly rx(DrvRA1792);
    EXPECT_EQ(rx.failWith(ConnectNoError), ConnectRxTimeOut);
    EXPECT_EQ(rx.failWith(ConnectRxIdenError), ConnectRxIdenError);
}

TEST_F(FamilyTest, BothLinksStartAtTheModelsBusAddress)
{
    for (const DrvType type : {DrvRA6790, DrvHF2050, DrvRA1792}) {
        TableOnly rx(type);
        const std::int16_t address = modelInfo(type)->link.address;
        EXPECT_EQ(rx.channel().serial().busAddress(), address) << type;
        EXPECT_EQ(rx.channel().socket().busAddress(), address) << type;
        rx.channel().setType(CommChannel::SocketType);
        EXPECT_EQ(rx.channel().BusAddress(), address) << type;
    }
    // A stored address replaces the model's on its own link only.
    store().writeNumber(key(), "T_BusAddr", 7);
    TableOnly stored(DrvHF2050);
    stored.RxInit(0, "Station", "Rx");
    EXPECT_EQ(stored.channel().socket().busAddress(), 7);
    EXPECT_EQ(stored.channel().serial().busAddress(), 15);
}

TEST_F(FamilyTest, ModeOffsetsByKind)
{
    Ra1792Receiver ra(nullptr);
    EXPECT_EQ(ra.ModeOffset(ModUSB, 1), 1400);
    EXPECT_EQ(ra.ModeOffset(ModLSB, 1), -1400);
    EXPECT_EQ(ra.ModeOffset(ModRTTY, 3), -2210);
    EXPECT_EQ(ra.ModeOffset(ModCW, 4), -800);
    EXPECT_EQ(ra.ModeOffset(ModFAX, 4), -1900);
    Nrd535Receiver nrd(nullptr);
    EXPECT_EQ(nrd.ModeOffset(ModRTTY, 3), 2210);
    EXPECT_EQ(nrd.ModeOffset(ModCW, 4), 800);
    EXPECT_EQ(nrd.ModeOffset(ModAM, 1), 0);
}

// The settings dialog's OK, below the dialog: the whole set is refused for
// one bad value (out of range, unknown, or a width the receiver decides),
// and nothing is written or changed then.
TEST_F(FamilyTest, SettingsAreRefusedWholeForOneBadValue)
{
    store().writeNumber(key(), "D_Type", DrvRA6790);
    Ra6790Receiver rx(nullptr);
    rx.RxInit(0, "Station", "Rx");
    const auto before = store().values(key()).size();
    const auto fields = rx.SettingFields();
    const auto fl1 =
        std::find_if(fields.begin(), fields.end(), [](const SettingField& f) { return f.name == "F_FL1"; });
    ASSERT_NE(fl1, fields.end());
    EXPECT_TRUE(fl1->readOnly);

    auto outcome = rx.ApplySettings({{"C_Wait", 300}, {"F_FL1", 2000}});
    EXPECT_EQ(outcome.result, SettingsOutcome::Result::Refused);
    EXPECT_EQ(outcome.field, "F_FL1");
    outcome = rx.ApplySettings({{"C_Wait", 300}, {"C_Retr", 41}});
    EXPECT_EQ(outcome.result, SettingsOutcome::Result::Refused);
    EXPECT_EQ(outcome.message, "Silent polls must be between 10 and 40.");
    outcome = rx.ApplySettings({{"C_Wait", 300}, {"O_EXT", 1}});
    EXPECT_EQ(outcome.result, SettingsOutcome::Result::Refused);
    EXPECT_EQ(rx.WaitMs(), 250);
    EXPECT_EQ(store().values(key()).size(), before);
    EXPECT_EQ(store().readNumber(key(), "C_Wait"), std::optional<std::int32_t>(250));

    // The width the receiver decides may be sent back as it is.
    outcome = rx.ApplySettings({{"C_Wait", 300}, {"F_FL1", fl1->value}});
    EXPECT_EQ(outcome.result, SettingsOutcome::Result::Applied);
    EXPECT_EQ(outcome.changed, std::vector<std::string>{"C_Wait"});
    EXPECT_EQ(rx.WaitMs(), 300);
    EXPECT_EQ(rx.RxPollPeriod(), 300);
    EXPECT_EQ(rx.ApplySettings({{"C_Wait", 300}}).result, SettingsOutcome::Result::Unchanged);
}

// The AGC the receiver reports, without a port.
template <class Model>
class AgcAt : public Model {
public:
    using Model::Model;
    void at(AGCTYPE agc) { this->m_current.AgcType = agc; }
};

// The next AGC skips manual AGC while R_MAgc is 0: the setter would refuse
// it and the AGC button would stop there.
TEST_F(FamilyTest, NextAgcOffersManualOnlyWhenItIsEnabled)
{
    AgcAt<Ra1792Receiver> ra1792(nullptr);
    AgcAt<Ra6790Receiver> ra6790(nullptr);
    for (FamilyReceiver* rx : {static_cast<FamilyReceiver*>(&ra1792), static_cast<FamilyReceiver*>(&ra6790)}) {
        rx->RxInit(0, "Station", "Rx");
        ASSERT_EQ(rx->ManualAgcAllowed(), 0);
    }
    for (AGCTYPE from : {AgcSlowManual, AgcManual}) {
        ra1792.at(from);
        ra6790.at(from);
        EXPECT_EQ(ra1792.AgcNxt(), AgcFast) << from;
        EXPECT_EQ(ra6790.AgcNxt(), AgcFast) << from;
    }
    ra1792.at(AgcSlow);
    EXPECT_EQ(ra1792.AgcNxt(), AgcFastManual);
    // The capability answer stays the receiver's.
    EXPECT_EQ(ra1792.AgcExist(AgcManual), 1);

    ASSERT_EQ(ra1792.ApplySettings({{"R_MAgc", 1}}).result, SettingsOutcome::Result::Applied);
    ASSERT_EQ(ra6790.ApplySettings({{"R_MAgc", 1}}).result, SettingsOutcome::Result::Applied);
    ra1792.at(AgcSlowManual);
    ra6790.at(AgcSlowManual);
    EXPECT_EQ(ra1792.AgcNxt(), AgcManual);
    EXPECT_EQ(ra6790.AgcNxt(), AgcManual);
}

// REK085 and HF2050 gate manual AGC the same way.
TEST_F(FamilyTest, NextAgcOfTheOtherGatedModelsSkipsManualToo)
{
    AgcAt<Rek085Receiver> rek(nullptr);
    AgcAt<Hf2050Receiver> hf(nullptr);
    rek.RxInit(0, "Station", "Rx");
    hf.RxInit(0, "Station", "Rx");
    rek.at(AgcSlow);
    hf.at(AgcSlow);
    EXPECT_EQ(rek.AgcNxt(), AgcFast);
    EXPECT_EQ(hf.AgcNxt(), AgcFast);
    ASSERT_EQ(rek.ApplySettings({{"R_MAgc", 1}}).result, SettingsOutcome::Result::Applied);
    EXPECT_EQ(rek.AgcNxt(), AgcManual);
}

// A store that keeps nothing (a file the user may read but not write):
// the new values serve this session and the file is left as it was.
TEST_F(FamilyTest, ReadOnlyStoreKeepsTheSettingsForThisSession)
{
    store().writeNumber(key(), "D_Type", DrvRA1792);
    store().writeNumber(key(), "C_Wait", 250);
    platform::SettingsStore::resetShared(m_dir + "/settings.db", platform::StoreAccess::ReadOnly);
    Ra1792Receiver rx(nullptr);
    rx.RxInit(0, "Station", "Rx");
    const auto outcome = rx.ApplySettings({{"C_Wait", 180}, {"R_MAgc", 1}, {"F_FL3", 500}});
    EXPECT_EQ(outcome.result, SettingsOutcome::Result::Applied);
    EXPECT_EQ(rx.WaitMs(), 180);
    EXPECT_EQ(rx.ManualAgcAllowed(), 1);
    EXPECT_EQ(rx.FilterWidth(2), 500);
    EXPECT_EQ(store().readNumber(key(), "C_Wait"), std::optional<std::int32_t>(250));
    EXPECT_FALSE(store().readNumber(key(), "F_FL3").has_value());
}

}  // namespace
}  // namespace quorvin

namespace quorvin {
namespace {

// A binary framing through the record finder: a length byte counts the
// record, 0 is a broken length, "." is line noise.
class LengthFramed : public FamilyReceiver {
public:
    LengthFramed() : FamilyReceiver(nullptr, DrvTRC294)
    {
        SetRecordFinder(
            [](std::string_view b) -> RecordCut {
                if (b.front() == '.') {
                    return {RecordCut::Skip, 1};
                }
                const auto n = static_cast<std::size_t>(static_cast<unsigned char>(b.front()));
                if (n == 0) {
                    return {RecordCut::Refuse, 1};
                }
                return b.size() < n ? RecordCut{RecordCut::Wait, 0} : RecordCut{RecordCut::Take, n};
            },
            16);
    }
    ConnErr RxOpen() override { return ConnectNoError; }
    void RxClose() override {}
    std::int32_t RxPoll(std::uint32_t) override { return 0; }
    std::int32_t SetFltBW(std::int32_t) override { return -1; }
    MODTYPE SetMod(MODTYPE) override { return ModNone; }
    void RxSendFrq(std::int32_t, MODTYPE, std::int32_t) override {}
    void RxSendBFO(std::int32_t) override {}
    std::int32_t Feed(const std::string& bytes)
    {
        m_rxBuffer += bytes;
        return RxParse();
    }
    std::vector<std::string> records;
    using FamilyReceiver::NoReply;
    using FamilyReceiver::Records;
    using FamilyReceiver::WholeRecords;

protected:
    bool SendText(std::string_view) override { return false; }
    bool ApplyRecord(const std::string& record) override
    {
        records.push_back(record);
        return true;
    }
};

TEST(FamilyRecordFinder, TakesSkipsRefusesWaitsAndCapsTheBuffer)
{
    LengthFramed rx;
    EXPECT_EQ(rx.Feed(std::string("..\x03"
                                  "ab\x02",
                                  6)),
              0);
    EXPECT_EQ(rx.records, (std::vector<std::string>{"\x03"
                                                    "ab"}));
    EXPECT_EQ(rx.ReceiveBuffer(), "\x02");  // waits for its second byte
    EXPECT_EQ(rx.Feed("c"), 0);
    EXPECT_EQ(rx.records.back(), "\x02"
                                 "c");
    // A broken length byte fails the round; the record after it is taken.
    EXPECT_EQ(rx.Feed(std::string("\x00\x02z", 3)), -1);
    EXPECT_EQ(rx.records.back(), "\x02z");
    // A record that never completes is capped, not kept growing.
    EXPECT_EQ(rx.Feed(std::string(1, '\x40') + std::string(20, 'q')), -1);
    EXPECT_TRUE(rx.ReceiveBuffer().empty());
}

TEST(FamilyReplyChecks, ReadsCompleteOnWholeRecordsOnly)
{
    LengthFramed rx;
    // Noise before a frame, a frame, and the start of the next one: one.
    EXPECT_EQ(rx.WholeRecords(std::string("..\x03"
                                          "ab\x02",
                                          6)),
              1u);
    // A refused byte completes nothing; a read meeting it waits its delay.
    EXPECT_EQ(rx.WholeRecords(std::string("\x00", 1)), 0u);
    EXPECT_EQ(rx.WholeRecords(std::string("\x00\x02z", 3)), 1u);
    const ReplyComplete two = rx.Records(2);
    EXPECT_FALSE(two(std::string("\x02z\x03"
                                 "a",
                                 4)));
    EXPECT_TRUE(two(std::string("\x02z\x03"
                                "ab",
                                5)));
    EXPECT_FALSE(rx.Records()(""));

    // A command without an answer: done at once on a quiet line, never on
    // stray bytes (two DEL bytes must still be seen).
    const ReplyComplete none = LengthFramed::NoReply();
    EXPECT_TRUE(none(""));
    EXPECT_FALSE(none("\x7F"));

    // End-byte records: line ends alone (a CR LF pair split at either byte)
    // are no record, as in the parse.
    EXPECT_EQ(family::countRecords("B-2.21F10.000000D3I3M1A0X0\r\n", '\n'), 1u);
    EXPECT_EQ(family::countRecords("\r\nF7.05D6M1X0\r", '\n'), 0u);
    EXPECT_EQ(family::countRecords("\r\nF7.05D6M1X0\r\nF7", '\n'), 1u);
    EXPECT_EQ(family::countRecords("I10240142500001\rQ0\r\n", '\r'), 2u);
    EXPECT_EQ(family::countRecords("", '\r'), 0u);
}

}  // namespace
}  // namespace quorvin
