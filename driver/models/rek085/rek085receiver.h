// The REK085 driver. Several receivers share one line and are selected by
// a two-digit address: every command is one frame, LF + prefix + "A%02d" +
// command + CR, with the prefix "*" (commands), "%" (writing a memory
// channel) or "&" (reading one). The receiver answers only the status
// request "O1" (and a channel read) with one fixed-layout status record
// that carries every setting, the memory channel and the selected output:
//   LF "*A" aa "K" cc "F" fffffff "I" m "B" bb s "W" w "R" r "H" h "Z" z "J" j CR
// There is no remote command: RxRemote only decides how often the status
// is asked for (every tick held in remote, every 59th tick otherwise), so a
// setter made out of remote is confirmed by the next slow status.
// Filters come from the variant R_MOpt (F_W1..F_W7); 100 memory channels;
// ten outputs of which exactly one is on.
// Records of other addresses on a shared line are passed over.
// Known gaps: without bus addressing (address -1) the frame leaves out "A"
// and the digits; the H and Z digits of the record are read but unused.
#pragma once

#include <string>

#include "driver/models/familyreceiver.h"
#include "driver/models/rek085/rek085codec.h"

namespace quorvin {

class Rek085Receiver : public FamilyReceiver {
public:
    explicit Rek085Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t RxMaxSilentTicks() override;
    std::int32_t SetFltBW(std::int32_t hz) override;
    MODTYPE SetMod(MODTYPE mod) override;
    AGCTYPE SetAgc(AGCTYPE agc) override;
    void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) override;
    void RxSendBFO(std::int32_t hz) override;
    std::int32_t SetOut(std::int16_t output, std::int32_t state) override;
    std::int32_t GetOut(std::int16_t output) override;

    RCODE ChnLoad(std::int16_t chn) override;
    RCODE ChnSave(std::int16_t chn) override;
    RCODE ChnRead(std::int16_t chn) override;
    RCODE ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz, AGCTYPE agc,
                   std::int32_t msk) override;
    RCODE ChnClear(std::int16_t chn) override;
    RCODE ChnDump() override;

    std::int32_t RxCodeToMod(std::int32_t code) override;
    std::int16_t RxModToCode(std::int32_t mod) override;
    std::int32_t RxCodeToAgc(std::int32_t code) override;
    std::int16_t RxAgcToCode(std::int32_t agc) override;
    std::int32_t RxCodeToFlt(std::int32_t code) override;
    std::int16_t RxFltToCode(std::int32_t value) override;
    // A channel read waits for its record (across ticks).
    bool InChannelTransfer() const override { return m_transfer; }

    std::int32_t Variant() const { return m_variant; }
    // Ticks between two status requests out of remote.
    static constexpr int kSlowPoll = 59;

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;
    void RecordsDone() override;
    void LoadModelOptions(const std::string& key) override;
    void SaveModelOptions(const std::string& key) override;
    std::optional<std::int32_t> ModelOptionValue(std::string_view name) const override;
    void ApplyModelOption(std::string_view name, std::int32_t value) override;

private:
    int Address();
    bool SendFrame(char prefix, std::string_view command);
    std::array<std::int32_t, 7> SlotWidths() const;
    void ApplyStatus(const rek085::Status& status, bool live);
    void ApplyChannel(const rek085::Status& status);
    void EndTransfer();
    std::int32_t Carrier(std::int32_t mod) const { return ModeOffset(mod, 3); }

    std::int32_t m_variant = kRek085DefaultVariant;
    std::string m_lastStatus;
    int m_awaited = -2;
    bool m_transfer = false;
    bool m_dumping = false;
    int m_transferTicks = 0;
    std::uint8_t m_pollCounter = 0;
    int m_output = -1;
    bool m_outputReported = false;
    int m_reportedOutput = -1;
    bool m_retuneForMode = false;
    std::uint32_t m_displayBefore = 0xFFFFFFFFu;
    // The receiver's own frequency in its last status (-1: none yet).
    std::int32_t m_receiverHz = -1;
};

}  // namespace quorvin
