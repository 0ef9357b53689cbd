// The REK085 and HF2050 drivers' handling of received records without a
// port: the receive buffer is filled directly and RxParse runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/core/driverevents.h"
#include "driver/models/hf2050/hf2050receiver.h"
#include "driver/models/rek085/rek085receiver.h"

namespace quorvin {
namespace {

class Events : public IgnoringDriverEvents {
public:
    std::vector<std::string> events;
    void note(std::string text) { events.push_back(std::move(text)); }
    static std::string n(std::int64_t v) { return std::to_string(v); }

    void RxConnState(std::int16_t, ConnErr e) override { note("ConnState " + n(e)); }
    void RxDataError(std::int16_t, DataErr e) override { note("DataError " + n(e)); }
    void RxFrqUpdated(std::int16_t, std::int32_t f, std::int32_t) override { note("Frq " + n(f)); }
    void RxChnUpdated(std::int16_t, std::int16_t c) override { note("Chn " + n(c)); }
    void RxModUpdated(std::int16_t, MODTYPE m, std::int32_t b) override { note("Mod " + n(m) + " " + n(b)); }
    void RxFltUpdated(std::int16_t, std::int32_t f) override { note("Flt " + n(f)); }
    void RxAgcUpdated(std::int16_t, AGCTYPE a, std::int16_t l) override { note("Agc " + n(a) + " " + n(l)); }
    void RxNBlUpdated(std::int16_t, NBLTYPE v, std::int16_t l) override { note("NBl " + n(v) + " " + n(l)); }
    void RxSqlUpdated(std::int16_t, SQLSTATE v, std::int16_t l) override { note("Sql " + n(v) + " " + n(l)); }
    void RxOutUpdated(std::int16_t, std::int16_t num, std::int32_t s) override { note("Out " + n(num) + " " + n(s)); }
    void RxRmtState(std::int16_t, std::int32_t s) override { note("Rmt " + n(s)); }
};

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
};

// A status record of address 00: LF, 31 characters, CR.
std::string record(const std::string& filterDigit = "2", const std::string& address = "00")
{
    return "\n*A" + address + "K  F0705000I2B   W" + filterDigit + "R0H0Z0J3\r";
}

TEST(Rek085Parse, RecordsAreCheckedAndTakenWhole)
{
    Events owner;
    Fed<Rek085Receiver> rx(&owner);
    EXPECT_EQ(rx.feed(record()), 0);
    EXPECT_EQ(rx.Current().FrqValue, 7050000u);
    EXPECT_EQ(rx.GetMod(), ModUSB);
    EXPECT_EQ(rx.GetFltBW(), 3100);
    EXPECT_EQ(rx.GetAgc(), AgcSlow);
    EXPECT_EQ(rx.GetChn(), -1);
    EXPECT_EQ(rx.GetOut(3), 1);
    EXPECT_EQ(rx.GetOut(-1), -1);

    // Split after its 33rd byte, with noise before its LF: kept until the CR.
    const std::string split = "~~" + record("3");
    EXPECT_EQ(rx.feed(split.substr(0, 34)), 0);
    EXPECT_EQ(rx.buffer().size(), 34u);
    EXPECT_EQ(rx.feed(split.substr(34)), 0);
    EXPECT_EQ(rx.GetFltBW(), 8000);

    // Filter code 0 names no slot: the filter stays; "/" is no digit: a frame error.
    EXPECT_EQ(rx.feed(record("0")), 0);
    EXPECT_EQ(rx.GetFltBW(), 8000);
    EXPECT_EQ(rx.feed(record("/")), -1);
    EXPECT_EQ(rx.GetFltBW(), 8000);
    // A code whose slot holds no filter in this variant (V2 has three).
    EXPECT_EQ(rx.feed(record("5")), 0);
    EXPECT_EQ(rx.GetFltBW(), 8000);

    // Another receiver's record on a shared line changes nothing.
    const std::string other = "\n*A07K  F1000000I1B   W1R3H0Z0J0\r";
    EXPECT_EQ(rx.feed(other), 0);
    EXPECT_EQ(rx.Current().FrqValue, 7050000u);
    // A letter out of place, a record too short, garbage without CR.
    EXPECT_EQ(rx.feed("\n*A00X  F0705000I2B   W2R0H0Z0J3\r"), -1);
    EXPECT_EQ(rx.feed("\n*A00K  F0705000I2\r"), -1);
    EXPECT_EQ(rx.feed(std::string(70, 'x')), -1);
    EXPECT_TRUE(rx.buffer().empty());
    EXPECT_EQ(rx.feed("ab\r"), 0);  // a short stray line is dropped
}

TEST(Rek085Parse, SilenceLimitOutOfRemoteReachesPastTheSlowPoll)
{
    Events owner;
    Rek085Receiver rx(&owner);
    EXPECT_GT(rx.RxMaxSilentTicks(), Rek085Receiver::kSlowPoll);
}

TEST(Hf2050Parse, LevelsCountForTheUnitWhoseRecordCameBefore)
{
    Events owner;
    Fed<Hf2050Receiver> rx(&owner);
    ASSERT_EQ(rx.Unit(), 15);
    EXPECT_EQ(rx.feed("UNIT 15 RMT FR 7050.00 MODE CW BFO -2.21 BW 1000 AGC FA CH NONE\r\nNB 7\r\n"), 0);
    EXPECT_EQ(rx.GetMod(), ModRTTY);
    EXPECT_EQ(rx.Current().FrqValue, 7050000u);
    EXPECT_EQ(rx.GetNBl(), NBlWide);
    // Unit 1's record and the level after it are another unit's.
    EXPECT_EQ(rx.feed("UNIT 1 RMT FR 9000.00 MODE AM BFO NONE BW 6000 AGC SL CH NONE\r\nNB 0\r\n"), 0);
    EXPECT_EQ(rx.Current().FrqValue, 7050000u);
    EXPECT_EQ(rx.GetNBl(), NBlWide);
    // A BFO alone tells CW from FAX; a reply to "MO ?" brings the mode's bandwidth.
    EXPECT_EQ(rx.feed("UNIT 15 BFO -1.90\r\n"), 0);
    EXPECT_EQ(rx.GetMod(), ModFAX);
    EXPECT_EQ(rx.feed("UNIT 15 MODE AM\r\n"), 0);
    EXPECT_EQ(rx.GetFltBW(), 6000);
    EXPECT_EQ(rx.feed("UNIT 15 MODE US\r\n"), 0);
    EXPECT_EQ(rx.GetFltBW(), 3200);  // F_FLS
    // A BFO beyond 4 kHz is refused; a line of no known record is a data error.
    EXPECT_EQ(rx.feed("UNIT 15 BFO 5.00\r\n"), 0);
    EXPECT_EQ(rx.GetBFO(), -1900);
    EXPECT_EQ(rx.feed("Q?Z\r\n"), 0);
    EXPECT_EQ(owner.events.back(), "DataError 1030");
}

}  // namespace
}  // namespace quorvin
