// The setters the RA1792 and the RA6790 drivers share.
#include "rareceiver.h"

#include <algorithm>

#include "driver/models/ra1792/ra1792codec.h"

namespace quorvin {

bool RaReceiver::SendFrequency(std::int32_t receiverHz)
{
    if (receiverHz < RxFrqMin() || receiverHz > RxFrqMax()) {
        return false;
    }
    const std::uint32_t pendingBefore = Requested().FrqValue;
    RequestFrq(static_cast<std::uint32_t>(receiverHz));
    if (!SendWrapped(ra1792::frequencyCommand(receiverHz))) {
        // Never sent, never confirmed: the request does not stand.
        RequestFrq(pendingBefore);
        return false;
    }
    return true;
}

void RaReceiver::RxSendFrq(std::int32_t hz, MODTYPE, std::int32_t)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int64_t receiverHz = static_cast<std::int64_t>(hz) - RxOffset();
    // The range is the model's (the RA6790's floor follows its option).
    if (receiverHz < RxFrqMin() || receiverHz > RxFrqMax()) {
        return;
    }
    SendFrequency(static_cast<std::int32_t>(receiverHz));
}

void RaReceiver::RxSendBFO(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int32_t bfo = std::clamp(hz, m_info->bfoMin, m_info->bfoMax);
    RequestBfo(bfo);
    m_bfoPanel = false;
    if (SendWrapped(ra1792::bfoCommand(bfo))) {
        m_receiverBfo = ra1792::bfoOnWire(bfo);
    } else {
        ClearBfoRequest();
    }
}

MODTYPE RaReceiver::SetMod(MODTYPE mod)
{
    // ModNone is no mode: nothing is sent for it ("D-1" would be nonsense).
    // Modes the receiver lacks but its code table maps go out as their code:
    // AM_U and AM_L come back as AM, CW_F as CW, ISB as ISB.
    if (IsConnected() == 0 || mod == ModNone || !ModeOffered(mod)) {
        return Current().ModType;
    }
    const int code = ra1792::codeFromMode(mod);
    if (code < 0) {
        return Current().ModType;
    }
    const MODTYPE wanted = (mod == ModAM_U || mod == ModAM_L) ? ModAM : (mod == ModCW_F ? ModCW : mod);
    if (wanted == EffectiveMode()) {
        // Already there (or on its way): nothing to send, and nothing will
        // come back for a forwarded change to wait for.
        return wanted;
    }
    // The emulated modes live in the BFO: set it with the mode. CW needs its
    // own BFO back whenever the receiver still holds one that reads as an
    // emulated mode, however it got there (the receiver keeps its BFO
    // through the other modes).
    bool withBfo = wanted == ModRTTY || wanted == ModFAX;
    if (wanted == ModCW) {
        withBfo = !m_receiverBfo || ra1792::modeFromCode(3, *m_receiverBfo, m_bfoPanel) != ModCW;
    }
    RequestMod(wanted);
    bool sent = false;
    if (withBfo) {
        const std::int32_t bfo = ModeOffset(wanted, 4);
        RequestBfo(bfo);
        m_bfoPanel = false;
        sent = SendWrapped({ra1792::modeCommand(code), ra1792::bfoCommand(bfo)});
        if (sent) {
            m_receiverBfo = ra1792::bfoOnWire(bfo);
        } else {
            ClearBfoRequest();
        }
    } else {
        sent = SendWrapped(ra1792::modeCommand(code));
    }
    if (!sent) {
        RequestMod(ModNone);
        return Current().ModType;
    }
    return wanted;
}

AGCTYPE RaReceiver::SetAgc(AGCTYPE agc)
{
    if (IsConnected() == 0 || agc == AgcNone || agc == Current().AgcType || AgcRefused(agc)) {
        return Current().AgcType;
    }
    const int code = ra1792::codeFromAgc(agc);
    if (code < 0) {
        return Current().AgcType;
    }
    RequestAgc(agc);
    if (!SendWrapped(ra1792::agcCommand(code))) {
        RequestAgc(AgcNone);
    }
    return Current().AgcType;
}

std::int16_t RaReceiver::SetAgcLvl(std::int16_t level)
{
    if (IsConnected() == 0) {
        return Current().AgcLevel;
    }
    RequestAgcLevel(level);
    if (!SendWrapped(ra1792::gainCommand(level))) {
        RequestAgcLevel(-1);
        return Current().AgcLevel;
    }
    return level;
}

std::int32_t RaReceiver::SetFltBW(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return -1;
    }
    // In the sideband modes the receiver uses its sideband filter.
    const MODTYPE mode = EffectiveMode();
    if (isSsb(mode)) {
        return SidebandWidth(mode);
    }
    const int slot = NearestOfferedSlot(hz);
    if (slot < 0) {
        return -1;
    }
    const std::int32_t width = SlotWidth(slot);
    if (width != Current().FltValue) {
        RequestFlt(width);
        if (!SendWrapped(FilterCommand(slot, width))) {
            RequestFlt(-1);
            return Current().FltValue;
        }
    }
    return width;
}

// ---- Code conversions: one table for both receivers -------------------------------

std::int32_t RaReceiver::RxCodeToMod(std::int32_t code)
{
    return ra1792::modeFromCode(code, Current().BFOValue, m_bfoPanel);
}

std::int16_t RaReceiver::RxModToCode(std::int32_t mod)
{
    return static_cast<std::int16_t>(ra1792::codeFromMode(mod));
}

std::int32_t RaReceiver::RxCodeToAgc(std::int32_t code)
{
    return ra1792::agcFromCode(code);
}

std::int16_t RaReceiver::RxAgcToCode(std::int32_t agc)
{
    return static_cast<std::int16_t>(ra1792::codeFromAgc(agc));
}

}  // namespace quorvin
