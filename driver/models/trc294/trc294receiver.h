// The TRC294 driver, for the TRC294 and the TRC294A (VHF/UHF from 20 MHz).
// A serial line without bus address (4800 baud, odd parity, 8 data bits)
// carrying binary messages: single command bytes (0xAA status request,
// 0xEE return to local control) and frames 0xFF, N, payload, C with N the
// payload length + 2 and C the complement of N XOR-ed with the payload.
// Frequencies are packed BCD in 10 Hz units. Every message is written whole
// with a 40 ms pause after it.
// The plain model answers 0xAA with an 8-byte status record (header nibble
// 0xF, frequency, mode, filter, attenuator, channel, signal); the A model is
// told apart at connect by its answer to the framed status request 08 (a
// reply frame 09 06 ...), is polled with it, and takes remote control (05
// 01) and front-panel texts. Any accepted setting takes the receiver into
// remote; 0xEE hands it back, so setters go out bare followed by 0xEE.
// 101 channels (1..101) with a mask byte: the receiver cannot report them,
// so the driver keeps what it wrote as "%03d_FrqVal" (the eight BCD digits)
// and "%03d_FrqExt" (mode, filter and attenuator codes, mask) in the
// instance's settings and reads them back from there.
//
// Known gaps and decisions:
// - A reply frame with a wrong length byte or checksum is refused, never
//   parsed; a plain record that a new record start cuts short likewise.
// - Filter codes without a slot (4 and up) read as the first offered slot.
// - The plain model does not answer the framed request of the connect: the
//   record of the first status request stands.
// - The panel text "\nTRC294A LOCAL   " is sent when the driver disconnects.
// - No S-meter: the signal byte of the plain record is not used.
#pragma once

#include <string>

#include "driver/models/familyreceiver.h"
#include "driver/models/trc294/trc294codec.h"

namespace quorvin {

class Trc294Receiver : public FamilyReceiver {
public:
    explicit Trc294Receiver(DriverEvents* owner);

    ConnErr RxOpen() override;
    void RxClose() override;
    std::int32_t RxPoll(std::uint32_t tickTime) override;
    std::int32_t RxRemote(std::int32_t on) override;
    std::int32_t SetFltBW(std::int32_t hz) override;
    MODTYPE SetMod(MODTYPE mod) override;
    ATTSTATE SetAtt(ATTSTATE att) override;
    RCODE ChnLoad(std::int16_t chn) override;
    RCODE ChnSave(std::int16_t chn) override;
    RCODE ChnRead(std::int16_t chn) override;
    RCODE ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz, AGCTYPE agc,
                   std::int32_t msk) override;
    RCODE ChnClear(std::int16_t chn) override;
    RCODE ChnDump() override;
    void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) override;
    void RxSendBFO(std::int32_t hz) override;

    std::int32_t RxCodeToMod(std::int32_t code) override;
    std::int16_t RxModToCode(std::int32_t mod) override;
    std::int32_t RxCodeToFlt(std::int32_t code) override;
    std::int16_t RxFltToCode(std::int32_t value) override;

    bool IsAModel() const { return m_aModel; }
    const std::string& ModelText() const { return m_modelText; }

    // The message bytes as "%02X" pairs (unsigned), as the trace shows them.
    static std::string hexBytes(std::string_view bytes);

    static constexpr std::size_t kMaxWaiting = 64;

protected:
    bool SendText(std::string_view command) override;
    bool ApplyRecord(const std::string& record) override;
    std::uint32_t FittedOptions() const override;
    void LoadModelOptions(const std::string& key) override;
    void SaveModelOptions(const std::string& key) override;
    std::optional<std::int32_t> ModelOptionValue(std::string_view name) const override;
    void ApplyModelOption(std::string_view name, std::int32_t value) override;

private:
    bool SendMessage(const std::string& bytes, std::string_view mnemonic);
    std::string ReadHex(int delayMs, const ReplyComplete& complete);
    void Rounds(int count);
    void ApplyStatus(const trc294::Status& s);
    int ModeCode() const;
    // Filter and attenuator travel in one message: the codes it carries,
    // a request still waiting for its confirmation being the one kept (the
    // receiver's last report would put the old setting back).
    int FilterCodeToSend() const;
    int AttCodeToSend() const;
    std::string StatusRequest() const;

    // The stored content of a channel; empty when none was written.
    struct Stored {
        std::int32_t hz = 0;
        int modeCode = 0;
        int filterCode = 0;
        int attCode = 0;
        int mask = 0;
    };
    std::optional<Stored> LoadChannel(int chn) const;
    void StoreChannel(int chn, const Stored& content);
    void ForgetChannel(int chn);
    void ReportChannel(int chn);
    std::string SettingsKey() const;

    bool m_aModel = false;
    std::string m_modelText = "294";
    std::int32_t m_ext = 0;  // O_EXT
    std::int32_t m_ssb = 0;  // O_SSB
    int m_modeCode = -1;
    int m_filterCode = -1;
    int m_attCode = 0;
    // The filter request last sent: its width and code.
    std::int32_t m_sentFilterWidth = -1;
    int m_sentFilterCode = -1;
};

}  // namespace quorvin
