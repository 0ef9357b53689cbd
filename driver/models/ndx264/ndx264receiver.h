// The NDX264 driver. A serial line without bus address (9600 baud, no
// parity, 8 data bits). Every command and every reply is one frame: the
// byte 0x11, the text, CR, LF and the byte 0x04; commands are written whole
// with a 50 ms pause after each. The status request "?" brings one status
// frame holding every setting, each field introduced by 0x11 and its letters
// (F frequency, M mode, B filter, BF BFO, C AGC, A attenuator, N signal
// level, CAN channel). The receiver has no remote/local switching on the
// line. 100 memory channels (0..99) are stored with "MEM%02u" and recalled
// with "RM%02u;?"; they are read back one by one by recalling each and
// waiting for its status frame.
//
// Decisions and known gaps:
// - ISB is chosen at the front panel only: its letter would make "MI", the
//   identification request, so SetMod(ModISB) sends nothing and keeps the
//   mode. The connect refresh does not resend an ISB mode either.
// - In USB, LSB and ISB the filter setter selects the SSB filter (digit 7,
//   F_FLS); elsewhere the narrowest offered filter not below the request.
// - A channel write tunes the receiver to the settings given, stores them
//   and puts the receiver back where it was.
// - Noise before a frame start and a frame cut short by a new status frame
//   are refused as frame errors; 0x11 without 0x04 waits at most
//   kMaxWaiting bytes.
// - FAX is CW with a BFO of -1900 Hz that the driver set (not the panel).
#pragma once

#include <string>

#include "driver/models/familyreceiver.h"
#include "driver/models/ndx264/ndx264codec.h"

namespace quorvin {

class Ndx264Receiver : public FamilyReceiver {
public:
    explicit Ndx264Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t GetBFO() override;
    std::int32_t FltValue(std::int16_t slot) override;
    std::int32_t SetFltBW(std::int32_t hz) override;
    std::int32_t IsModEmu(MODTYPE mod) override;
    MODTYPE SetMod(MODTYPE mod) override;
    std::int32_t AgcExist(AGCTYPE agc) override;
    AGCTYPE SetAgc(AGCTYPE agc) override;
    ATTSTATE SetAtt(ATTSTATE att) override;
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
    // A channel write, read or dump waits for its frames.
    bool InChannelTransfer() const override { return m_transfer; }

    bool HasIsbOption() const { return m_isbOption; }
    // The clock text last sent ("hhmmss"); empty when the write failed.
    const std::string& LastClock() const { return m_lastClock; }

    // Bytes that may wait after a 0x11 for their 0x04.
    static constexpr std::size_t kMaxWaiting = 256;

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;

private:
    // What the receiver is set to, to put it back after a channel transfer.
    struct Settings {
        std::int16_t channel = -1;
        MODTYPE mode = ModNone;
        std::uint32_t frequency = 0xFFFFFFFFu;
        std::int32_t bfo = 0;
        int filterDigit = -1;
        AGCTYPE agc = AgcNone;
    };
    Settings Remember() const;
    // Sends mode, frequency, BFO, filter and AGC, 50 ms apart; false when a
    // write failed.
    bool SendSettings(MODTYPE mode, std::int64_t hz, std::int32_t bfo, int filterDigit, AGCTYPE agc);
    void Restore(const Settings& s);
    // Recalls the channel and waits for its status frame (three recalls).
    // Whether a channel read can wait for its answers now (not busy).
    bool CanAwaitReplies() const;
    RCODE ReadOneChannel(std::int16_t chn);
    void ReportDumpEnd();

    std::int64_t ToReceiver(std::int64_t hz, std::int32_t mod) const;
    char CurrentLetter() const;
    char CurrentAgcChar() const;
    int FilterDigitFor(std::int32_t hz, std::int32_t mod) const;
    std::int32_t WidthOfDigit(int digit) const;
    void ApplyStatus(const ndx264::StatusFields& f);

    bool m_isbOption = false;
    bool m_transfer = false;
    // Polls that held the status request back (held in remote with a
    // request outstanding) since the receiver was last asked.
    int m_heldPolls = 0;
    bool m_bfoByPanel = false;
    std::int16_t m_awaited = -2;
    bool m_awaitedSeen = false;
    int m_filterDigit = -1;
    std::string m_lastClock;
};

}  // namespace quorvin
