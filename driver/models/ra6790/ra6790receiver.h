// The RA6790 driver. The receiver sits on its bus line itself: every
// command goes out as "$" + bus address in decimal (no leading zeros) +
// command + CR, one character per millisecond. It answers the status
// request "G" (the RA1792's fields plus the raw signal level R and the
// control state S), the self-test "S6", the type query "TD" (between "S8"
// and "S9") and the filter list "S5"; everything else is confirmed by the
// next status. Setters are wrapped in "S2" (remote) and "S1" (local) unless
// the operator holds the receiver in remote. RTTY and FAX are emulated (CW
// with a BFO of -2210 or -1900 Hz), CW_F goes out as CW.
// At connect the self-test must pass and answer from the bus address, the
// type reply tells the option (A09666: range from 5 kHz, else 500 kHz) and
// the filter list rewrites the slot table: its leading "L" (lower sideband,
// with it ISB) and "U" items are the sideband filters, the symmetric filters
// after them are the ones offered.
// Known gaps: the filter set-up command "S7" is never sent (the receiver's
// own list is taken as it is); the control state S is kept in the state
// record's Status field and not reported by an event of its own.
#pragma once

#include <string>

#include "driver/models/ra6790/ra6790codec.h"
#include "driver/models/rareceiver.h"

namespace quorvin {

class Ra6790Receiver : public RaReceiver {
public:
    explicit Ra6790Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t ModExist(MODTYPE mod) override;
    std::string SMtLvl(SMetVal kind) override;
    std::int32_t RxSMtRaw() override;

    const std::string& Option() const { return m_option; }
    bool IsbFitted() const { return m_isb; }
    // The control state of the last status (1 local, 2 remote; 0 before one).
    int ControlState() const { return m_controlState; }

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;
    void RecordsDone() override;
    std::uint32_t FittedOptions() const override;
    // ISB only when the receiver's filter list has it.
    bool ModeOffered(MODTYPE mod) const override;
    // The upper sideband filter of the receiver's list, in every sideband mode.
    std::int32_t SidebandWidth(MODTYPE mod) const override;
    // "I%.2f": the filter by its bandwidth in kHz.
    std::string FilterCommand(int slot, std::int32_t width) const override;

private:
    std::string Frame(std::string_view command);
    bool SynchroniseBfo();
    void ApplyFilterList(const ra6790::FilterList& list);
    void ApplyStatus(const ra6790::Status& status, bool live);

    std::string m_option = std::string(ra6790::kOptionStandard);
    bool m_isb = false;
    int m_usbSlot = -1;
    int m_controlState = 0;
    bool m_lastHadBfo = false;
    std::int32_t m_syncBfo = 0;
    bool m_retuneForMode = false;
};

}  // namespace quorvin
