// Requests that the receiver's replies keep contradicting, on a family model
// with a fake wire: the status rounds are fed by hand and the frames the
// model writes are recorded.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/core/driverevents.h"
#include "driver/models/familyreceiver.h"

namespace quorvin {
namespace {

class EventLog : public IgnoringDriverEvents {
public:
    std::vector<std::string> events;
    std::function<void(const std::string&)> onEvent;

    void note(const std::string& text)
    {
        events.push_back(text);
        if (onEvent) {
            onEvent(text);
        }
    }
    static std::string n(std::int64_t v) { return std::to_string(v); }
    void RxConnState(std::int16_t, ConnErr e) override { note("ConnState " + n(e)); }
    void RxDataError(std::int16_t, DataErr e) override { note("DataError " + n(e)); }
    void RxFrqUpdated(std::int16_t, std::int32_t f, std::int32_t) override { note("Frq " + n(f)); }
    void RxModUpdated(std::int16_t, MODTYPE m, std::int32_t) override { note("Mod " + n(m)); }
    void RxFltUpdated(std::int16_t, std::int32_t f) override { note("Flt " + n(f)); }
};

// Records "F<hz>" and "M<mode>" each ended by a LF; commands are the same
// texts. A write can be made to fail.
class WireModel : public FamilyReceiver {
public:
    explicit WireModel(DriverEvents* owner) : FamilyReceiver(owner, DrvRA1792) { SetRecordFormat('\n', 40); }

    using FamilyReceiver::kContradictionsToResend;
    std::vector<std::string> sent;
    bool writesFail = false;

    ConnErr RxOpen() override { return ConnectRxComPending; }
    void RxClose() override {}
    std::int32_t RxPoll(std::uint32_t) override
    {
        if (PollAllowed()) {
            SendText("?");
        }
        return 0;
    }
    std::int32_t SetFltBW(std::int32_t) override { return -1; }
    MODTYPE SetMod(MODTYPE mod) override
    {
        RequestMod(mod);
        if (!SendWrapped("M" + std::to_string(mod))) {
            RequestMod(ModNone);
        }
        return mod;
    }
    void RxSendFrq(std::int32_t hz, MODTYPE, std::int32_t) override
    {
        // As the models do: a request that was not written does not stand,
        // the one before it does.
        const std::uint32_t before = Requested().FrqValue;
        RequestFrq(static_cast<std::uint32_t>(hz));
        if (!SendWrapped("F" + std::to_string(hz))) {
            RequestFrq(before);
        }
    }
    void RxSendBFO(std::int32_t) override {}

    void connect(const std::string& firstStatus)
    {
        LinkOpened();
        ReceiveBytes(firstStatus, 0);
    }
    void status(const std::string& bytes) { ReceiveBytes(bytes, 0); }
    void tick()
    {
        const bool open = true;
        PollTick(0, &open);
    }
    // A poll round: the tick, then the receiver's status.
    void round(const std::string& bytes)
    {
        tick();
        status(bytes);
    }
    int sentCount(const std::string& command) const
    {
        int count = 0;
        for (const auto& s : sent) {
            count += s == command ? 1 : 0;
        }
        return count;
    }

protected:
    bool SendText(std::string_view command) override
    {
        if (writesFail) {
            return false;
        }
        sent.emplace_back(command);
        return true;
    }
    bool ApplyRecord(const std::string& record) override
    {
        const std::string text = record.substr(0, record.find('\n'));
        if (text.size() < 2) {
            return false;
        }
        const auto value = std::stol(text.substr(1));
        if (text[0] == 'F') {
            ChangeFrq(static_cast<std::uint32_t>(value));
        } else if (text[0] == 'M') {
            ChangeMod(static_cast<MODTYPE>(value));
        }
        return true;
    }
};

class RequestWatchTest : public ::testing::Test {
protected:
    EventLog log;
    WireModel rx{&log};

    void SetUp() override
    {
        rx.connect("F7000000\nM2\n");
        ASSERT_EQ(rx.IsConnected(), 1);
        log.events.clear();
        rx.sent.clear();
    }
    int count(const std::string& event) const
    {
        int n = 0;
        for (const auto& e : log.events) {
            n += e == event ? 1 : 0;
        }
        return n;
    }
};

TEST_F(RequestWatchTest, ALostFrameIsSentOnceMoreAndThenConfirmed)
{
    rx.SetFrq(7100000, NONE, 1);
    ASSERT_EQ(rx.sentCount("F7100000"), 1);
    // The frame never arrived: the receiver keeps reporting the old value.
    for (int i = 0; i < WireModel::kContradictionsToResend; ++i) {
        rx.round("F7000000\n");
    }
    EXPECT_EQ(rx.sentCount("F7100000"), 1);
    rx.tick();
    EXPECT_EQ(rx.sentCount("F7100000"), 2);  // sent once more, before the status request
    EXPECT_EQ(rx.sent.back(), "?");
    rx.status("F7100000\n");
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(count("Frq 7100000"), 1);
    EXPECT_EQ(count("DataError 1030"), 0);
}

TEST_F(RequestWatchTest, ARequestStillContradictedAfterItsResendIsGivenUp)
{
    rx.SetMod(ModLSB);
    for (int i = 0; i < 2 * WireModel::kContradictionsToResend; ++i) {
        rx.round("F7000000\nM2\n");
    }
    EXPECT_EQ(rx.sentCount("M3"), 2);
    EXPECT_EQ(rx.Requested().ModType, ModLSB);
    rx.tick();
    EXPECT_EQ(rx.Requested().ModType, ModNone);
    EXPECT_EQ(rx.EffectiveMode(), ModUSB);
    // The truth first, then the failure.
    EXPECT_EQ(log.events, (std::vector<std::string>{"Mod 2", "DataError 1030"}));
    // Nothing more comes of it.
    for (int i = 0; i < 8; ++i) {
        rx.round("F7000000\nM2\n");
    }
    EXPECT_EQ(rx.sentCount("M3"), 2);
    EXPECT_EQ(count("DataError 1030"), 1);
}

TEST_F(RequestWatchTest, StepsTowardsTheRequestAndANewRequestStartTheCountAgain)
{
    rx.SetFrq(7100000, NONE, 1);
    // A receiver that reports the tune in steps: every round another value.
    for (int hz = 7010000; hz < 7100000; hz += 10000) {
        rx.round("F" + std::to_string(hz) + "\n");
    }
    EXPECT_EQ(rx.sentCount("F7100000"), 1);
    EXPECT_EQ(rx.Requested().FrqValue, 7100000u);
    // Two rounds against it, then a new request: the count starts again.
    rx.round("F7090000\n");
    rx.round("F7090000\n");
    rx.SetFrq(7200000, NONE, 1);
    rx.round("F7090000\n");
    rx.round("F7090000\n");
    rx.tick();
    EXPECT_EQ(rx.sentCount("F7200000"), 1);
    // Several records of one read count as one round.
    rx.status("F7090000\nF7090000\nF7090000\n");
    rx.tick();
    EXPECT_EQ(rx.sentCount("F7200000"), 2);
    EXPECT_EQ(count("DataError 1030"), 0);
}

TEST_F(RequestWatchTest, AResendThatCannotBeWrittenGivesTheRequestUp)
{
    rx.SetFrq(7100000, NONE, 1);
    for (int i = 0; i < WireModel::kContradictionsToResend; ++i) {
        rx.round("F7000000\n");
    }
    rx.writesFail = true;
    rx.tick();
    EXPECT_EQ(rx.Requested().FrqValue, 0xFFFFFFFFu);
    EXPECT_EQ(log.events, (std::vector<std::string>{"Frq 7000000", "DataError 1030"}));
}

TEST_F(RequestWatchTest, ARequestPutBackAfterAFailedWriteKeepsItsOwnCommands)
{
    rx.SetFrq(7100000, NONE, 1);
    rx.writesFail = true;
    rx.SetFrq(7200000, NONE, 1);  // never written: 7100000 stands again
    rx.writesFail = false;
    EXPECT_EQ(rx.Requested().FrqValue, 7100000u);
    rx.SetMod(ModLSB);
    for (int i = 0; i < WireModel::kContradictionsToResend; ++i) {
        rx.round("F7000000\nM3\n");
    }
    rx.tick();
    EXPECT_EQ(rx.sentCount("F7100000"), 2);
    EXPECT_EQ(rx.sentCount("M3"), 1);

    // Asked for again after another request was written, the same value is
    // a new request: its count starts afresh.
    rx.SetFrq(7300000, NONE, 1);
    rx.SetFrq(7100000, NONE, 1);
    for (int i = 0; i < WireModel::kContradictionsToResend; ++i) {
        rx.round("F7000000\nM3\n");
    }
    rx.tick();
    EXPECT_EQ(rx.sentCount("F7100000"), 4);  // written, then sent once more
    EXPECT_EQ(rx.Requested().FrqValue, 7100000u);
}

TEST_F(RequestWatchTest, AClientThatDisconnectsFromTheReportIsLeftAlone)
{
    rx.SetFrq(7100000, NONE, 1);
    rx.SetMod(ModLSB);
    log.onEvent = [this](const std::string& e) {
        if (e.rfind("Frq", 0) == 0) {
            rx.Disconnect();
        }
    };
    for (int i = 0; i < 2 * WireModel::kContradictionsToResend; ++i) {
        rx.round("F7000000\nM2\n");
    }
    rx.tick();
    EXPECT_EQ(rx.IsConnected(), 0);
    EXPECT_EQ(count("ConnState 1001"), 1);
    EXPECT_EQ(count("DataError 1030"), 1);
}

}  // namespace
}  // namespace quorvin
