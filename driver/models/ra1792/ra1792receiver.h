// The RA1792 driver. The receiver sits on an instrument bus behind a
// serial-to-bus adapter: receiver commands go out as "$" + two-digit bus
// address + command + CR LF, the adapter itself takes bare "?" and "R".
// The receiver answers only the status request "G"; everything else is
// confirmed by the next status reply. Setters wrap their command in "R"
// (remote) and "L" (local) unless the operator holds the receiver in remote.
// RTTY and FAX are emulated: CW with a BFO of -2210 or -1900 Hz.
// Known gaps: the receiver's manual gain has no reply of its own beyond the
// status "A" field; "P", "TI" and "TR" are sent at connect and their replies
// only traced.
#pragma once

#include <initializer_list>
#include <string>

#include "driver/models/familyreceiver.h"
#include "driver/models/ra1792/ra1792codec.h"

namespace quorvin {

class Ra1792Receiver : public FamilyReceiver {
public:
    explicit Ra1792Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxParse() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t RxRemote(std::int32_t on) override;
    std::int32_t SetFltBW(std::int32_t hz) override;
    MODTYPE SetMod(MODTYPE mod) override;
    AGCTYPE SetAgc(AGCTYPE agc) override;
    std::int16_t SetAgcLvl(std::int16_t level) override;
    void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) override;
    void RxSendBFO(std::int32_t hz) override;
    void RxReportChanges() override;
    std::int32_t RxFrqShift(MODTYPE mod, FRQTYPE kind, std::int32_t one) override;

    std::int32_t RxCodeToMod(std::int32_t code) override;
    std::int16_t RxModToCode(std::int32_t mod) override;
    std::int32_t RxCodeToAgc(std::int32_t code) override;
    std::int16_t RxAgcToCode(std::int32_t agc) override;
    std::int32_t RxCodeToFlt(std::int32_t code) override;
    std::int16_t RxFltToCode(std::int32_t value) override;

    // Mode offset by kind (1 tuning, 2 half filter, 3 display, 4 BFO).
    std::int32_t ModeOffset(std::int32_t mod, std::int32_t kind) const;
    bool BfoSetByPanel() const { return m_bfoPanel; }
    std::int32_t SyncBfo() const { return m_syncBfo; }

private:
    std::string Frame(std::string_view command);
    bool SendRx(std::string_view command, std::string_view traceAs = {});
    // Sends the commands inside "R" ... "L" unless held in remote.
    void SendWrapped(std::initializer_list<std::string> commands);
    void SendFrequency(std::int32_t receiverHz);
    bool SynchroniseBfo();
    void ApplyStatus(const ra1792::Status& status, bool live);
    std::int32_t SsbWidth(MODTYPE mod) const;

    bool m_bfoPanel = false;
    bool m_lastHadBfo = false;
    std::int32_t m_syncBfo = 0;
};

}  // namespace quorvin
