// The TRC243 driver, for the TRC243 and the TRC241. The wire protocol is
// written down in trc243protocol.h: ASCII command frames CR, the address
// character ("0" plus the bus address, with bus addressing in use), the
// command, LF, written whole with a 10 ms pause; every frame is answered by
// one line CR, [address character], text, LF. Lines holding "OM", "om",
// "TST", "tst", "OP", "op", "REM", "rem", "LOC" or "loc" are
// acknowledgements; other lines are A (frequency, mode, filter, BFO, AGC),
// B (attenuator, preselector, squelch, S-meter, outputs, channel) or C
// (a memory channel) records. Connect sends "LOC" and "RMT": the answer
// "REM OPmxyz" names the model (m: S = 243, T = 241) and its options (x "5"
// ISB, y "%" filter F1, z "/" filter FI). Setters go out inside "RMT" ...
// "LOC" unless the operator holds the receiver in remote; the poll asks
// "GA" and "GB".
//
// Decisions and known gaps:
// - The model character is the one right after "OP"; a reply too short for
//   it or for the three option characters fails the connect.
// - The connect ends with "LOC": the receiver is under local control while
//   the operator does not hold it in remote.
// - FM is offered once a receiver was identified (both models have it); ISB
//   only with the ISB option.
// - FAX is emulated as CW with a BFO of -1900 Hz set by the driver.
// - In USB, LSB and ISB the receiver uses its SSB filter by itself: the
//   filter setter sends nothing there.
// - Frequencies are the receiver's own (no carrier offset for RTTY).
// - The receiver has no clock command.
#pragma once

#include <string>
#include <vector>

#include "driver/models/familyreceiver.h"
#include "driver/models/trc243/trc243codec.h"

namespace quorvin {

class Trc243Receiver : public FamilyReceiver {
public:
    explicit Trc243Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t ModExist(MODTYPE mod) override;
    std::int32_t SetFltBW(std::int32_t hz) override;
    MODTYPE SetMod(MODTYPE mod) override;
    std::int32_t AgcExist(AGCTYPE agc) override;
    AGCTYPE SetAgc(AGCTYPE agc) override;
    ATTSTATE SetAtt(ATTSTATE att) override;
    std::int16_t SetSqlLvl(std::int16_t level) override;
    HFFSTATE SetHFF(HFFSTATE hff) override;
    std::string SMtLvl(SMetVal kind) override;
    RCODE ChnLoad(std::int16_t chn) override;
    RCODE ChnSave(std::int16_t chn) override;
    RCODE ChnRead(std::int16_t chn) override;
    RCODE ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz, AGCTYPE agc,
                   std::int32_t msk) override;
    RCODE ChnClear(std::int16_t chn) override;
    RCODE ChnDump() override;
    std::int32_t SetOut(std::int16_t output, std::int32_t state) override;
    std::int32_t GetOut(std::int16_t output) override;
    void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) override;
    void RxSendBFO(std::int32_t hz) override;
    std::int32_t RxSMtRaw() override;

    std::int32_t RxCodeToMod(std::int32_t code) override;
    std::int16_t RxModToCode(std::int32_t mod) override;
    std::int32_t RxCodeToAgc(std::int32_t code) override;
    std::int16_t RxAgcToCode(std::int32_t agc) override;
    std::int32_t RxCodeToFlt(std::int32_t code) override;
    std::int16_t RxFltToCode(std::int32_t value) override;

    bool HasIsbOption() const { return m_isbOption; }

    static constexpr std::size_t kMaxUnterminated = 64;

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;
    std::uint32_t FittedOptions() const override;

private:
    bool BusInUse() { return m_channel.BusAddress() >= 0; }
    std::string Frame(std::string_view command);
    int ModeDigit() const;
    std::int32_t WidthOfCode(int code) const;
    void ApplyA(const trc243::ARecord& a);
    void ApplyB(const trc243::BRecord& b);
    void ReportChannel(const trc243::CRecord& c);
    // The commands that set the receiver to these settings.
    std::vector<std::string> SettingCommands(MODTYPE mod, std::int32_t hz, std::int32_t bfo, int filterCode,
                                             AGCTYPE agc) const;
    bool SendAll(const std::vector<std::string>& commands);

    bool m_isbOption = false;
    bool m_identified = false;
    bool m_fax = false;
    int m_modeDigit = -1;
    int m_filterCode = -1;
    int m_outputs = -1;
};

}  // namespace quorvin
