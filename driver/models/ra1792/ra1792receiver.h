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

#include <optional>
#include <string>

#include "driver/models/familyreceiver.h"
#include "driver/models/ra1792/ra1792codec.h"

namespace quorvin {

class Ra1792Receiver : public FamilyReceiver {
public:
    explicit Ra1792Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t SetFltBW(std::int32_t hz) override;
    MODTYPE SetMod(MODTYPE mod) override;
    AGCTYPE SetAgc(AGCTYPE agc) override;
    std::int16_t SetAgcLvl(std::int16_t level) override;
    void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) override;
    void RxSendBFO(std::int32_t hz) override;

    std::int32_t RxCodeToMod(std::int32_t code) override;
    std::int16_t RxModToCode(std::int32_t mod) override;
    std::int32_t RxCodeToAgc(std::int32_t code) override;
    std::int16_t RxAgcToCode(std::int32_t agc) override;
    std::int32_t RxCodeToFlt(std::int32_t code) override;
    std::int16_t RxFltToCode(std::int32_t value) override;

    bool BfoSetByPanel() const { return m_bfoPanel; }
    std::int32_t SyncBfo() const { return m_syncBfo; }

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;
    void RecordsDone() override;

private:
    std::string Frame(std::string_view command);
    bool SendFrequency(std::int32_t receiverHz);
    bool SynchroniseBfo();
    void ApplyStatus(const ra1792::Status& status, bool live);
    std::int32_t SsbWidth(MODTYPE mod) const;

    bool m_bfoPanel = false;
    bool m_lastHadBfo = false;
    std::int32_t m_syncBfo = 0;
    // The BFO the receiver holds, as its last status with a B field showed
    // it or as the driver last set it; it keeps it through the other modes,
    // where the status leaves the field out.
    std::optional<std::int32_t> m_receiverBfo;
    // A status changed the mode: the frequency is sent again for it once
    // the whole read is parsed.
    bool m_retuneForMode = false;
};

}  // namespace quorvin
