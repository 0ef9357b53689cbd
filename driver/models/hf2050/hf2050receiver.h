// The HF2050 driver. Several receivers share one serial line and are
// selected by a unit number: "UNIT n" picks the unit that acts on the
// commands after it. A command line is ASCII ended by CR LF, several
// commands joined by ";", and every setter sends its value and a query for
// it ("FR 7050.00;FR ?"), so the confirmation comes back as an ordinary
// reply. Replies are lines whose first byte names the record: "UNIT n ..."
// (unit status or one field of it: FR, MODE, BFO, BW, AGC, CH, LCL/RMT),
// "CH ..." (a memory channel), "NB n", "SQ n", "RF n" (levels).
// Local or remote is the receiver's front-panel switch: the driver takes it
// from the replies and cannot change it. RTTY and FAX are emulated (CW with
// a BFO of -2210 or -1900 Hz); ISB exists only with O_ISB.
// On a shared line every command line starts with this unit's "UNIT n", so
// it never reaches the unit another driver selected last; level records
// (which carry no unit) count for the unit whose record came before them.
// Known gaps: the receiver has no command to clear a memory channel; the
// RF gain is kept as the AGC level.
#pragma once

#include <string>

#include "driver/models/familyreceiver.h"
#include "driver/models/hf2050/hf2050codec.h"

namespace quorvin {

class Hf2050Receiver : public FamilyReceiver {
public:
    explicit Hf2050Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t RxRemote(std::int32_t on) override;
    std::int32_t SetFltBW(std::int32_t hz) override;
    MODTYPE SetMod(MODTYPE mod) override;
    AGCTYPE SetAgc(AGCTYPE agc) override;
    std::int16_t SetAgcLvl(std::int16_t level) override;
    NBLTYPE SetNBl(NBLTYPE nbl) override;
    std::int16_t SetNBlLvl(std::int16_t level) override;
    std::int16_t SetSqlLvl(std::int16_t level) override;
    void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) override;
    void RxSendBFO(std::int32_t hz) override;

    RCODE ChnLoad(std::int16_t chn) override;
    RCODE ChnSave(std::int16_t chn) override;
    RCODE ChnRead(std::int16_t chn) override;
    RCODE ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz, AGCTYPE agc,
                   std::int32_t msk) override;
    RCODE ChnDump() override;

    std::int32_t RxCodeToMod(std::int32_t code) override;
    std::int32_t RxCodeToAgc(std::int32_t code) override;
    // A channel read or dump waits for its replies (across ticks).
    bool InChannelTransfer() const override { return m_dumping || m_awaited >= 0; }

    int Unit();

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;
    std::uint32_t FittedOptions() const override;
    void LoadModelOptions(const std::string& key) override;
    void SaveModelOptions(const std::string& key) override;

private:
    void ApplyFields(const hf2050::Fields& fields);
    void ApplyChannel(const hf2050::Fields& fields);
    void ApplyLevel(char kind, int level);
    void FollowPanelSwitch(bool remote);
    void EndChannelRead();
    std::int32_t FlsWidth() const { return SlotWidth(4); }

    // The letter of the last mode word (C: CW, RTTY or FAX by the BFO).
    char m_modeLetter = 0;
    // The BFO the receiver holds for CW, as a CW reply or the last send showed it.
    bool m_receiverBfoKnown = false;
    std::int32_t m_receiverBfo = 0;
    // The last unit record on the line was another unit's.
    bool m_otherUnit = false;
    // The channel a read waits for (-1: none), and the dump that goes on.
    int m_awaited = -1;
    int m_awaitTicks = 0;
    bool m_dumping = false;
};

}  // namespace quorvin
