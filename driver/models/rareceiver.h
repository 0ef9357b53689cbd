// RaReceiver: what the RA1792 and the RA6790 drivers share on top of
// FamilyReceiver. Both receivers take the same setter texts (frequency in
// MHz, BFO in kHz, mode, AGC and gain codes of one table) and emulate RTTY
// and FAX with a BFO, so the setters live here once; a model supplies its
// framing, its sideband filter width and its filter command.
#pragma once

#include <optional>
#include <string>

#include "driver/models/familyreceiver.h"

namespace quorvin {

class RaReceiver : public FamilyReceiver {
public:
    using FamilyReceiver::FamilyReceiver;

    // Each remembers its request and sends it inside the remote wrapping;
    // a command that was not written leaves no request behind.
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

    bool BfoSetByPanel() const { return m_bfoPanel; }

protected:
    static bool isSsb(std::int32_t mod) { return mod == ModUSB || mod == ModLSB || mod == ModISB; }

    // Tunes the receiver to its own frequency; false when it lies outside
    // the range or the command was not written.
    bool SendFrequency(std::int32_t receiverHz);

    // ---- What a model supplies ----------------------------------------------
    // Whether a mode may be sent at all (base: every mode the code table maps).
    virtual bool ModeOffered(MODTYPE mod) const
    {
        (void)mod;
        return true;
    }
    // The width the receiver uses in a sideband mode (USB, LSB, ISB).
    virtual std::int32_t SidebandWidth(MODTYPE mod) const = 0;
    // The command that selects a filter slot of the given width.
    virtual std::string FilterCommand(int slot, std::int32_t width) const = 0;

    // The BFO was last set at the front panel (a status showed a new value
    // nobody here asked for): code 3 then reads as CW whatever the BFO.
    bool m_bfoPanel = false;
    // The BFO the receiver holds, as its last status with a B field showed
    // it or as the driver last set it; it keeps it through the other modes,
    // where the status leaves the field out.
    std::optional<std::int32_t> m_receiverBfo;
};

}  // namespace quorvin
