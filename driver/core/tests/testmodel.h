// A receiver model that exists only in the tests. It speaks a tiny text
// protocol on an in-memory wire: commands "F<hz>", "M<mode>", "W<hz>",
// "G<agc>", "B<hz>"; replies are records ended by CR: "F<hz>", "M<mode>",
// "W<hz>", "G<agc>", and "E<n>" for a reply it cannot use (a data error);
// anything else is a frame error. Its limits, poll
// period and silence limit come from the store like a real model's.
//
// With X_Wire 1 in its settings it also talks on its real channel like a
// simple receiver: RxOpen sends the identification request "I" and turns
// receive notification on, every poll of an open link sends the status
// request "S" (both ended by CR).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "driver/core/dialogseams.h"
#include "driver/core/receiver.h"

namespace quorvin::test {

class TestModel : public Receiver {
public:
    explicit TestModel(DriverEvents* owner, DrvType type);
    ~TestModel() override;

    // Every live test model, in creation order.
    static std::vector<TestModel*>& live();
    static int destroyed;

    // Registers the test model for the given driver types.
    static void registerFor(std::initializer_list<DrvType> types);

    // ---- Receiver ----
    std::int32_t RxConfigure() override
    {
        ++configureCalls;
        return runModelDialog(type, *this);
    }
    std::int32_t RxFrqMax() override { return frqMax; }
    std::int32_t RxFrqMin() override { return frqMin; }
    std::int32_t RxFrqStp() override { return 1; }
    std::int32_t RxBFOMax() override { return 5000; }
    std::int32_t RxBFOMin() override { return -5000; }
    ConnErr RxOpen() override;
    void RxClose() override { ++closeCalls; }
    std::int32_t RxPollPeriod() override { return pollPeriod; }
    std::int32_t RxMaxSilentTicks() override { return maxSilentTicks; }
    std::int32_t RxParse() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t RxRemote(std::int32_t on) override
    {
        remoteCalls.push_back(on);
        return on;
    }
    std::int32_t IsBFOMod(MODTYPE mod) override { return (mod == ModCW || mod == ModUSB || mod == ModLSB) ? 1 : 0; }
    std::int32_t GetBFO() override { return m_current.BFOValue; }
    std::int16_t FltCount() override { return 3; }
    std::int32_t FltValue(std::int16_t slot) override { return FilterWidth(slot); }
    std::string FltName(std::int16_t slot) override { return "FL" + std::to_string(slot); }
    std::int32_t SetFltBW(std::int32_t hz) override;
    std::int32_t GetFltBW() override { return m_current.FltValue; }
    std::int32_t FltBWNxt() override { return -1; }
    MODTYPE SetMod(MODTYPE mod) override;
    AGCTYPE SetAgc(AGCTYPE agc) override;
    HFFSTATE SetHFF(HFFSTATE hff) override
    {
        hffSets.push_back(hff);
        return hff;
    }
    void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) override;
    void RxSendBFO(std::int32_t hz) override;
    void RxReportChanges() override;
    std::int32_t RxFrqShift(MODTYPE mod, FRQTYPE kind, std::int32_t one) override;
    void RxLoadSettings(const std::string& configuration, const std::string& instance) override;
    bool RxSaveSettings(const std::string& configuration, const std::string& instance) override;
    std::int32_t RxSMtRaw() override { return smeter; }
    std::int32_t OnTimer(std::uint32_t tickTime) override;
    void onLinkData(bool dataReceived) override;

    // ---- Test controls ----
    // The link opened (as Connect does once the channel opened).
    ConnErr openLink() { return LinkOpened(); }
    // Bytes arriving (as the link's data notification delivers them).
    std::int32_t feed(const std::string& bytes, int linkError = 0);
    // A synchronous read on the real channel, as a model that reads its
    // reply after a delay does; what comes is parsed at once.
    void readNow();
    // One poll tick, with the channel reported open or closed.
    std::int32_t tick(bool channelOpen = true, std::uint32_t tickTime = 0);
    // Stops the poll timer (as Connect's first step and destruction do).
    void stopTimerNow() { StopTimer(); }
    // Opens and answers: the receiver is connected afterwards.
    void connectNow(std::uint32_t frq = 7000000);
    void setCurrentFrq(std::uint32_t hz) { m_current.FrqValue = hz; }
    void setCurrentMode(MODTYPE mod) { m_current.ModType = mod; }
    void setRequestedMode(MODTYPE mod) { m_requested.ModType = mod; }
    void setOffset(std::int32_t hz) { m_frqOffset = hz; }
    void setTrace(std::int32_t on) { m_dbg = on; }
    void trace(std::string_view prefix, std::string_view text) { TraceLine(prefix, text); }
    void traceError(std::string_view text) { TraceError(text); }
    std::string stamp() { return TraceStamp(); }
    const std::string& traceFile() const { return m_traceFile; }
    std::string keys() const { return KeyBuffer(); }
    void setFilters(std::initializer_list<std::int32_t> widths, std::int16_t slots, std::int16_t shown,
                    std::int16_t first);
    void setCurrentFilter(std::int32_t hz) { m_current.FltValue = hz; }
    std::int32_t tickCount() const { return TickCount(); }
    std::int32_t dataSeen() const { return DataSeen(); }
    const tag_EventState& changed() const { return m_changed; }
    void setChangedFlags(std::int32_t value);
    std::int16_t retries() const { return m_retries; }
    std::int16_t waitMs() const { return m_wait; }

    DrvType type;
    std::int32_t frqMin = 5000;
    std::int32_t frqMax = 29999999;
    std::int32_t pollPeriod = 250;
    std::int32_t maxSilentTicks = 8;
    std::int32_t smeter = -254;
    std::int32_t storedMax = 0;
    int configureCalls = 0;
    int closeCalls = 0;
    int pollCalls = 0;
    ConnErr openResult = ConnectRxComPending;
    int openCalls = 0;
    // Talks on the real channel (X_Wire).
    bool talk = false;
    // Timer ticks that reached this receiver, the tick count when RxParse
    // last got bytes, and the link's data notifications.
    int ticks = 0;
    int ticksAtData = -1;
    int notifications = 0;
    std::vector<std::int32_t> remoteCalls;
    std::vector<HFFSTATE> hffSets;
    // What went out on the wire.
    std::vector<std::string> wire;
    // Everything RxParse was handed, in order.
    std::string parsed;
    // Runs inside RxParse, as a model waiting for its receiver would let
    // other events run.
    std::function<void()> duringParse;
    // Runs inside RxPoll.
    std::function<void()> duringPoll;
};

}  // namespace quorvin::test
