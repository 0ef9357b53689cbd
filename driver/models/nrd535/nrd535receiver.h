// The NRD535 driver. A plain serial line without bus address: commands are
// ASCII texts ended by CR, written whole with a 10 ms pause after each;
// replies are CR-ended records whose first letter names their kind (I full
// status, Q squelch, N noise blanker, M S-meter, W variable bandwidth, U BFO
// or HF filter, L memory channel). Setters wrap their command in "H1"
// (remote) and "H0" (local) unless the operator holds the receiver in remote.
// 200 memory channels are loaded, saved, written, cleared and read back as
// RxChnStatus events.
// Known gaps: the receiver has no squelch level and no read-back of its
// clock; the variable bandwidth exists only with the H option.
#pragma once

#include <optional>
#include <string>

#include "driver/models/familyreceiver.h"
#include "driver/models/nrd535/nrd535codec.h"

namespace quorvin {

class Nrd535Receiver : public FamilyReceiver {
public:
    explicit Nrd535Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t RxRemote(std::int32_t on) override;
    std::int32_t SetFltBW(std::int32_t hz) override;
    MODTYPE SetMod(MODTYPE mod) override;
    std::int32_t AgcExist(AGCTYPE agc) override;
    AGCTYPE SetAgc(AGCTYPE agc) override;
    NBLTYPE SetNBl(NBLTYPE nbl) override;
    ATTSTATE SetAtt(ATTSTATE att) override;
    HFFSTATE SetHFF(HFFSTATE hff) override;
    std::string SMtLvl(SMetVal kind) override;
    RCODE ChnLoad(std::int16_t chn) override;
    RCODE ChnSave(std::int16_t chn) override;
    RCODE ChnRead(std::int16_t chn) override;
    RCODE ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz, AGCTYPE agc,
                   std::int32_t msk) override;
    RCODE ChnClear(std::int16_t chn) override;
    RCODE ChnDump() override;
    void SetTime(const std::string& time) override;
    void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) override;
    void RxSendBFO(std::int32_t hz) override;
    std::int32_t RxSMtRaw() override;

    std::int32_t RxCodeToMod(std::int32_t code) override;
    std::int16_t RxModToCode(std::int32_t mod) override;
    std::int32_t RxCodeToAgc(std::int32_t code) override;
    std::int16_t RxAgcToCode(std::int32_t agc) override;
    std::int32_t RxCodeToFlt(std::int32_t code) override;
    std::int16_t RxFltToCode(std::int32_t value) override;

    bool HasHOption() const { return m_hOption; }
    int RawSmeter() const { return SMtLocal(); }

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;

private:
    // The receiver's frequency for a driver frequency in a mode, and back:
    // RTTY and FAX are shown at their carrier (the kind-3 offset).
    std::int32_t ToReceiver(std::int64_t hz, std::int32_t mod) const;
    std::int32_t ToDriver(std::int64_t hz, std::int32_t mod) const;
    bool SendReceiverFrequency(std::int32_t receiverHz, std::int32_t driverHz);
    std::int32_t FilterWidthForDigit(int digit) const;
    // The driver frequency a status means, and whether the receiver must be
    // tuned again so that a carrier stays where the operator put it.
    std::int32_t StatusFrequency(const nrd535::Status& status, MODTYPE before, MODTYPE now, bool live,
                                 bool& retune) const;
    void ApplyStatus(const nrd535::Status& status, bool live);
    void ReportChannel(const nrd535::ChannelRecord& record);
    // The refresh after connect: the BFO, which no poll asks for.
    void RefreshStatus();
    // Held in remote the poll asks for no full status and the front panel is
    // locked: a command that was written is what the receiver now holds.
    // Each one changes the receiver's status as the driver knows it; the
    // next poll applies that status as if the receiver had sent it.
    template <class Change>
    void NoteWritten(Change&& change);
    void ConfirmWrittenWhileHeld();

    bool m_hOption = false;
    bool m_fm = false;
    int m_lastFilterDigit = -1;
    bool m_varBandwidth = false;
    std::int32_t m_storedBandwidth = 0;
    bool m_channelLoading = false;
    // The last full status the receiver sent, with what was written since
    // while held in remote; whether such writes wait for their confirmation.
    std::optional<nrd535::Status> m_knownStatus;
    bool m_writtenWhileHeld = false;
    // Held in remote, the next poll asks for the full status once all the
    // same: where the hold begins (a request sent before it waits for its
    // status) and after a channel load (only the receiver knows what the
    // channel holds).
    bool m_askStatusOnce = false;
    // The channel a read asked for while its answer is awaited (-1: none),
    // and the polls it has waited.
    int m_awaitedChannel = -1;
    int m_awaitTicks = 0;
};

}  // namespace quorvin
