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

#include <string>

#include "driver/models/ra1792/ra1792codec.h"
#include "driver/models/rareceiver.h"

namespace quorvin {

class Ra1792Receiver : public RaReceiver {
public:
    explicit Ra1792Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t RxCodeToFlt(std::int32_t code) override;
    std::int16_t RxFltToCode(std::int32_t value) override;

    std::int32_t SyncBfo() const { return m_syncBfo; }

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;
    void RecordsDone() override;
    // USB and ISB use the F_FL2 width, LSB that of F_FL1.
    std::int32_t SidebandWidth(MODTYPE mod) const override;
    // "I%u" with the slot's filter code.
    std::string FilterCommand(int slot, std::int32_t width) const override;

private:
    std::string Frame(std::string_view command);
    bool SynchroniseBfo();
    void ApplyStatus(const ra1792::Status& status, bool live);

    bool m_lastHadBfo = false;
    std::int32_t m_syncBfo = 0;
    // A status changed the mode: the frequency is sent again for it once
    // the whole read is parsed.
    bool m_retuneForMode = false;
};

}  // namespace quorvin
