// FamilyReceiver: what every model driver shares on top of Receiver. It
// takes the model's row of the table of models (link defaults onto the
// CommChannel, the filter slot table, every capability answer), loads and
// writes back the per-instance settings (C_Test, C_Retr, C_Wait, C_Dbg,
// R_MAgc, O_ISB, the filter slots and the model's options), writes the
// connect trace, and keeps the pending-request and change-report
// bookkeeping that the protocols use alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "driver/core/receiver.h"
#include "driver/models/modeltable.h"

namespace quorvin {

inline constexpr std::int16_t kDefaultRetries = 8;
inline constexpr std::int16_t kDefaultWait = 250;

class FamilyReceiver : public Receiver {
public:
    FamilyReceiver(DriverEvents* owner, DrvType type);

    const ModelInfo& Info() const { return *m_info; }

    // ---- Capability answers from the table ---------------------------------
    std::int32_t RxConfigure() override;
    std::int32_t RxFrqMax() override;
    std::int32_t RxFrqMin() override;
    std::int32_t RxFrqStp() override;
    std::int32_t RxBFOMax() override;
    std::int32_t RxBFOMin() override;
    std::int32_t RxPollPeriod() override;
    std::int32_t RxMaxSilentTicks() override;
    std::int32_t IsBFOMod(MODTYPE mod) override;
    std::int32_t GetBFO() override;
    std::int16_t FltCount() override;
    std::int32_t FltValue(std::int16_t slot) override;
    std::string FltName(std::int16_t slot) override;
    std::int32_t GetFltBW() override;
    std::int32_t FltBWNxt() override;
    std::int16_t ModCount() override;
    std::int32_t IsModEmu(MODTYPE mod) override;
    std::int32_t ModExist(MODTYPE mod) override;
    MODTYPE ModNxt() override;
    std::int16_t AgcCount() override;
    std::int32_t AgcExist(AGCTYPE agc) override;
    AGCTYPE AgcNxt() override;
    std::int16_t NBlCount() override;
    std::int32_t NBlExist(NBLTYPE nbl) override;
    NBLTYPE NBlNxt() override;
    std::int16_t AttCount() override;
    std::int32_t AttExist(ATTSTATE att) override;
    ATTSTATE AttNxt() override;
    std::int32_t SqlExist() override;
    std::int32_t HFFExist() override;
    std::int32_t SMtExist() override;
    std::int16_t ChnCount() override;
    std::int16_t ChnStart() override;
    std::int32_t ChnMskExist() override;
    std::int16_t OutCount() override;

    // ---- Settings ----------------------------------------------------------
    void RxLoadSettings(const std::string& configuration, const std::string& instance) override;
    bool RxSaveSettings(const std::string& configuration, const std::string& instance) override;

    std::int16_t Retries() const { return m_retries; }
    std::int16_t WaitMs() const { return m_wait; }
    std::int32_t TestLink() const { return m_testLink; }
    std::int32_t ManualAgcAllowed() const { return m_manualAgc; }
    // Slots offered outside USB, LSB and ISB, widest last (table slot indices).
    std::vector<int> OfferedSlots() const;

protected:
    // The options that are fitted, as optionBit()s (base: none).
    virtual std::uint32_t FittedOptions() const { return 0; }
    // The model's own settings values (base: none).
    virtual void LoadModelOptions(const std::string& key) { (void)key; }
    virtual void SaveModelOptions(const std::string& key) { (void)key; }

    // ---- Connect trace ------------------------------------------------------
    // "\n=> @stamp TRY CONNECT": opens the trace of one connect when C_Dbg is on.
    void TraceConnectStart();
    // "=> @stamp OPENED" and a blank line; the trace of this connect ends.
    void TraceConnectDone();
    // "=> Err:<text>" without a stamp; the trace of this connect ends.
    void TraceConnectError(std::string_view text);
    // Sends a frame; traces "-> @stamp <mnemonic>" while the connect trace runs.
    bool SendTraced(const std::string& frame, std::string_view mnemonic, int charDelayMs, int afterDelayMs);
    // Reads after a delay; traces "<- @stamp<reply>" while the connect trace runs.
    std::string ReadTraced(int delayMs);
    // A plain wait between commands.
    static void Pause(int ms);

    // Fails the connection attempt: the base reports the code and closes.
    ConnErr FailConnect(ConnErr code, std::string_view traceText);

    // Marks a connect or disconnect dialogue of the driver. Its waits let
    // poll ticks through: while it runs they poll nothing and count no
    // silence, and a nested hand-back is refused.
    class DialogueScope {
    public:
        explicit DialogueScope(FamilyReceiver& rx) : m_rx(rx), m_outer(rx.m_inDialogue)
        {
            m_rx.m_inDialogue = true;
            m_rx.m_pendingTicks = 0;
        }
        ~DialogueScope() { m_rx.m_inDialogue = m_outer; }
        DialogueScope(const DialogueScope&) = delete;
        DialogueScope& operator=(const DialogueScope&) = delete;

    private:
        FamilyReceiver& m_rx;
        bool m_outer;
    };
    bool InDialogue() const { return m_inDialogue; }
    // Whether a poll tick may send its requests now: not during a dialogue,
    // not after giving up a pending attempt, only on an open link.
    bool PollAllowed();

    // Polls while the attempt is pending (the receiver has not yet sent its
    // first answer since the connect dialogue); true when the attempt was
    // given up after as many ticks as the silence limit.
    bool GiveUpPending();

    // ---- Change bookkeeping -------------------------------------------------
    void ChangeFrq(std::uint32_t hz);
    void ChangeMod(MODTYPE mod);
    void ChangeBfo(std::int32_t hz);
    void ChangeFlt(std::int32_t hz);
    void ChangeAgc(AGCTYPE agc);
    void ChangeAgcLevel(std::int16_t level);
    void ChangeChn(std::int16_t chn);
    // Reports the flagged frequency, mode, filter and AGC changes (the fields
    // every model has) and clears their flags.
    void ReportCommonChanges();

    // The width of the offered slot nearest to the request (ties go to the
    // narrower one); -1 when none is offered.
    int NearestOfferedSlot(std::int32_t hz) const;
    std::int32_t SlotWidth(int slot) const { return FilterWidth(static_cast<std::int16_t>(slot)); }

    template <typename T>
    static T nextOf(std::uint32_t mask, T current, int limit)
    {
        for (int step = 1; step <= limit; ++step) {
            const int candidate = (static_cast<int>(current) + step + limit) % limit;
            if ((mask & bitOf(candidate)) != 0) {
                return static_cast<T>(candidate);
            }
        }
        return static_cast<T>(-1);
    }

    const ModelInfo* m_info;
    bool m_traceOpen = false;
    bool m_inDialogue = false;
    int m_pendingTicks = 0;
};

}  // namespace quorvin
