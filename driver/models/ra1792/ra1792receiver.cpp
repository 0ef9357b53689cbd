// RA1792 driver: connect dialogue, BFO synchronisation, status handling,
// setters and the hand-back to local control.
#include "ra1792receiver.h"

#include <algorithm>

#include "driver/core/driverevents.h"
#include "driver/models/familyprotocol.h"

namespace quorvin {

namespace {

constexpr int kCharDelayMs = 1;
constexpr std::size_t kMaxUnterminated = 40;
constexpr std::int32_t kRttyBfo = -2210;
constexpr std::int32_t kFaxBfo = -1900;

bool isSsb(std::int32_t mod)
{
    return mod == ModUSB || mod == ModLSB || mod == ModISB;
}

}  // namespace

Ra1792Receiver::Ra1792Receiver(DriverEvents* owner) : FamilyReceiver(owner, DrvRA1792)
{
    m_romId = "HPIB";
}

std::string Ra1792Receiver::Frame(std::string_view command)
{
    return ra1792::commandFrame(m_channel.BusAddress(), command);
}

bool Ra1792Receiver::SendRx(std::string_view command, std::string_view traceAs)
{
    return SendTraced(Frame(command), traceAs.empty() ? command : traceAs, kCharDelayMs, 0);
}

void Ra1792Receiver::SendWrapped(std::initializer_list<std::string> commands)
{
    const bool wrap = m_remoteWanted == 0;
    if (wrap) {
        SendRx("R");
    }
    for (const std::string& command : commands) {
        SendRx(command);
    }
    if (wrap) {
        SendRx("L");
    }
}

std::int32_t Ra1792Receiver::ModeOffset(std::int32_t mod, std::int32_t kind) const
{
    switch (kind) {
    case 1:
        switch (mod) {
        case ModUSB:
        case ModISB: return 1400;
        case ModLSB: return -1400;
        case ModRTTY: return 2210;
        case ModFAX: return 1900;
        default: return 0;
        }
    case 2: return m_current.FltValue / 2;
    case 3: return mod == ModRTTY ? kRttyBfo : (mod == ModFAX ? kFaxBfo : 0);
    case 4:
        if (mod == ModCW) {
            return m_defaultBfo;
        }
        return mod == ModRTTY ? kRttyBfo : (mod == ModFAX ? kFaxBfo : 0);
    default: return 0;
    }
}

std::int32_t Ra1792Receiver::RxFrqShift(MODTYPE mod, FRQTYPE kind, std::int32_t)
{
    return ModeOffset(mod, kind);
}

// ---- Connect ----------------------------------------------------------------------

ConnErr Ra1792Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    m_bfoPanel = false;
    m_lastHadBfo = false;

    SendTraced(std::string(ra1792::kAdapterIdentify), "?", kCharDelayMs, 0);
    const std::string ident = ReadTraced(40);
    if (ident.empty()) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    SendTraced(std::string(ra1792::kAdapterReset), "R", kCharDelayMs, 0);
    ReadTraced(40);
    SendRx("L");
    const std::string local = ReadTraced(40);
    if (family::beginsWithTwoDel(local)) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    SendRx("P");
    Pause(25);
    SendRx("R");
    Pause(25);
    m_romId = std::string(family::traceText(ident)).substr(0, 8);

    SendRx("G");
    const std::string reply = ReadTraced(100);
    if (reply.empty()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    const auto status = ra1792::parseStatus(reply);
    if (!status) {
        return FailConnect(ConnectRxIdenError, "bad ID\n");
    }
    SendRx("TI");
    ReadTraced(400);
    SendRx("TR");
    ReadTraced(400);

    ApplyStatus(*status, false);
    if (!SynchroniseBfo()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    SendRx("L");
    Pause(25);
    m_channel.SetEventMode(true);
    TraceConnectDone();
    return ConnectNoError;
}

bool Ra1792Receiver::SynchroniseBfo()
{
    SendRx("G");
    const std::string reply = ReadTraced(40);
    if (reply.empty()) {
        return false;
    }
    const auto status = ra1792::parseStatus(reply);
    if (!status) {
        // A reply that does not parse leaves the receiver as it is.
        ReportDataError(DataErrData);
        return true;
    }
    const std::int32_t mode = ra1792::modeFromCode(status->modeCode, status->bfoHz, m_bfoPanel);
    m_syncBfo = status->bfoHz;
    if (mode == ModCW) {
        const std::int32_t cwBfo = ModeOffset(ModCW, 4);
        const std::int32_t tuned = status->frequencyHz + (m_syncBfo - cwBfo);
        SendRx(ra1792::bfoCommand(cwBfo));
        ReadTraced(50);
        if (tuned >= m_info->frqMin && tuned <= m_info->frqMax) {
            SendRx(ra1792::frequencyCommand(tuned));
            ReadTraced(50);
        }
        m_changed.ModType = 1;
    } else {
        SendRx(ra1792::modeCommand(3));
        ReadTraced(50);
        SendRx("G");
        if (const auto cw = ra1792::parseStatus(ReadTraced(40))) {
            m_syncBfo = cw->bfoHz;
        }
        SendRx(ra1792::bfoCommand(m_defaultBfo));
        ReadTraced(50);
        if (status->modeCode >= 1 && status->modeCode <= 6) {
            SendRx(ra1792::modeCommand(status->modeCode));
            ReadTraced(50);
        }
    }
    return true;
}

// ---- Disconnect -------------------------------------------------------------------

void Ra1792Receiver::RxClose()
{
    if (InDialogue()) {
        return;
    }
    DialogueScope dialogue(*this);
    m_channel.SetEventMode(false);
    const MODTYPE mode = m_current.ModType;
    SendRx("R");
    if (mode != ModCW) {
        SendRx(ra1792::modeCommand(3));
    }
    SendRx(ra1792::bfoCommand(std::clamp(m_syncBfo, m_info->bfoMin, m_info->bfoMax)));
    const MODTYPE restored = (mode == ModCW || mode == ModRTTY || mode == ModFAX || mode == ModNone) ? ModUSB : mode;
    const int code = ra1792::codeFromMode(restored);
    if (code > 0) {
        SendRx(ra1792::modeCommand(code));
    }
    m_channel.Read(50);
    if (m_current.FrqValue != 0xFFFFFFFFu) {
        const auto hz = static_cast<std::int32_t>(m_current.FrqValue);
        if (hz >= m_info->frqMin && hz <= m_info->frqMax) {
            SendRx(ra1792::frequencyCommand(hz));
        }
    }
    m_channel.Read(50);
    SendRx("L");
    Pause(200);
    SendCommand(std::string(ra1792::kAdapterIdentify), kCharDelayMs, 0);
    Pause(25);
    m_channel.Read(40);
    m_remoteWanted = 0;
}

// ---- Poll and received data ---------------------------------------------------------

std::int32_t Ra1792Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    SendRx("G");
    return 0;
}

std::int32_t Ra1792Receiver::RxParse()
{
    std::int32_t result = 0;
    while (auto record = family::takeRecord(m_rxBuffer, '\n')) {
        const std::string text = family::withoutLineEnds(*record);
        if (text.empty()) {
            continue;
        }
        if (const auto status = ra1792::parseStatus(text)) {
            ApplyStatus(*status, true);
        } else {
            OnDataError();
        }
    }
    if (m_rxBuffer.size() > kMaxUnterminated) {
        m_rxBuffer.clear();
        result = -1;
    }
    RxReportChanges();
    return result;
}

std::int32_t Ra1792Receiver::SsbWidth(MODTYPE mod) const
{
    return FilterWidth(mod == ModLSB ? 0 : 1);
}

void Ra1792Receiver::ApplyStatus(const ra1792::Status& s, bool live)
{
    const std::int32_t bfo = s.hasBfo ? s.bfoHz : 0;
    // The command carries the BFO in 10 Hz steps: the receiver confirms a
    // request with the value the command set, not always the one asked for.
    const bool confirms = m_requested.BFOValue != -1 && ra1792::bfoOnWire(m_requested.BFOValue) == bfo;
    if (bfo != m_current.BFOValue) {
        // The panel changed the BFO when the reply shows a new value that
        // nobody here asked for, between two replies that both carry it.
        if (live && !confirms && m_remoteWanted == 0 && s.hasBfo && m_lastHadBfo) {
            m_bfoPanel = true;
        }
    }
    ChangeBfo(bfo);
    if (confirms) {
        m_requested.BFOValue = -1;
    }
    m_lastHadBfo = s.hasBfo;

    ChangeFrq(static_cast<std::uint32_t>(s.frequencyHz));

    const MODTYPE before = m_current.ModType;
    const std::int32_t mode = ra1792::modeFromCode(s.modeCode, bfo, m_bfoPanel);
    if (mode >= 0) {
        ChangeMod(static_cast<MODTYPE>(mode));
    }
    const MODTYPE now = m_current.ModType;
    if (live && now != before && before != ModNone && now != ModRTTY && now != ModFAX && m_connected != 0) {
        // A new mode: tune again for it, so the receiver's own frequency
        // follows the mode's offset.
        const std::int64_t hz = static_cast<std::int64_t>(m_current.FrqValue) + ModeOffset(now, 3);
        SendFrequency(static_cast<std::int32_t>(std::clamp<std::int64_t>(hz, m_info->frqMin, m_info->frqMax)));
    }
    if (isSsb(now)) {
        ChangeFlt(SsbWidth(now));
    } else if (s.filterCode) {
        ChangeFlt(FilterWidth(static_cast<std::int16_t>(
            ra1792::slotFromFilterCode(*s.filterCode, m_info->firstSlot, m_info->offered))));
    }

    const std::int32_t agc = ra1792::agcFromCode(s.agcCode);
    if (agc >= 0) {
        ChangeAgc(static_cast<AGCTYPE>(agc));
    }
    if (s.gain) {
        ChangeAgcLevel(static_cast<std::int16_t>(std::clamp(*s.gain, 0, 32767)));
    }
    m_current.ChnNumber = -1;
}

void Ra1792Receiver::RxReportChanges()
{
    ReportCommonChanges();
}

// ---- Setters ------------------------------------------------------------------------

void Ra1792Receiver::SendFrequency(std::int32_t receiverHz)
{
    if (receiverHz < m_info->frqMin || receiverHz > m_info->frqMax) {
        return;
    }
    m_requested.FrqValue = static_cast<std::uint32_t>(receiverHz);
    SendWrapped({ra1792::frequencyCommand(receiverHz)});
}

void Ra1792Receiver::RxSendFrq(std::int32_t hz, MODTYPE, std::int32_t)
{
    if (m_connected == 0) {
        return;
    }
    const std::int64_t receiverHz = static_cast<std::int64_t>(hz) - m_frqOffset;
    if (receiverHz < m_info->frqMin || receiverHz > m_info->frqMax) {
        return;
    }
    SendFrequency(static_cast<std::int32_t>(receiverHz));
}

void Ra1792Receiver::RxSendBFO(std::int32_t hz)
{
    if (m_connected == 0) {
        return;
    }
    const std::int32_t bfo = std::clamp(hz, m_info->bfoMin, m_info->bfoMax);
    m_requested.BFOValue = bfo;
    m_bfoPanel = false;
    SendWrapped({ra1792::bfoCommand(bfo)});
}

MODTYPE Ra1792Receiver::SetMod(MODTYPE mod)
{
    // ModNone is no mode: nothing is sent for it ("D-1" would be nonsense).
    if (m_connected == 0 || mod == ModNone || ModExist(mod) == 0) {
        return m_current.ModType;
    }
    const int code = ra1792::codeFromMode(mod);
    if (code < 0) {
        return m_current.ModType;
    }
    m_requested.ModType = mod;
    const MODTYPE from = m_current.ModType;
    const bool emulatedTo = mod == ModRTTY || mod == ModFAX;
    const bool emulatedFrom = from == ModRTTY || from == ModFAX;
    if (emulatedTo || (mod == ModCW && emulatedFrom)) {
        // The emulated modes live in the BFO: set it with the mode.
        const std::int32_t bfo = ModeOffset(mod, 4);
        m_requested.BFOValue = bfo;
        m_bfoPanel = false;
        SendWrapped({ra1792::modeCommand(code), ra1792::bfoCommand(bfo)});
    } else {
        SendWrapped({ra1792::modeCommand(code)});
    }
    return mod;
}

AGCTYPE Ra1792Receiver::SetAgc(AGCTYPE agc)
{
    if (m_connected == 0 || agc == AgcNone || agc == m_current.AgcType) {
        return m_current.AgcType;
    }
    if (agc == AgcManual && m_manualAgc == 0) {
        return m_current.AgcType;
    }
    const int code = ra1792::codeFromAgc(agc);
    if (code < 0) {
        return m_current.AgcType;
    }
    m_requested.AgcType = agc;
    SendWrapped({ra1792::agcCommand(code)});
    return m_current.AgcType;
}

std::int16_t Ra1792Receiver::SetAgcLvl(std::int16_t level)
{
    if (m_connected == 0) {
        return m_current.AgcLevel;
    }
    m_requested.AgcLevel = level;
    SendWrapped({ra1792::gainCommand(level)});
    return level;
}

std::int32_t Ra1792Receiver::SetFltBW(std::int32_t hz)
{
    if (m_connected == 0) {
        return -1;
    }
    const MODTYPE mode = EffectiveMode();
    if (isSsb(mode)) {
        return SsbWidth(mode);
    }
    const int slot = NearestOfferedSlot(hz);
    if (slot < 0) {
        return -1;
    }
    const std::int32_t width = SlotWidth(slot);
    if (width != m_current.FltValue) {
        m_requested.FltValue = width;
        SendWrapped({ra1792::filterCommand(static_cast<unsigned>(ra1792::filterCodeFromSlot(slot, m_info->firstSlot)))});
    }
    return width;
}

std::int32_t Ra1792Receiver::RxRemote(std::int32_t on)
{
    if (m_connected == 0) {
        m_remoteWanted = 0;
        return 0;
    }
    const std::int32_t wanted = on != 0 ? 1 : 0;
    if (wanted != m_remoteWanted) {
        SendRx(wanted != 0 ? "R" : "L");
        Pause(20);
        m_remoteWanted = wanted;
        if (Owner() != nullptr) {
            Owner()->RxRmtState(m_index, wanted);
        }
    }
    return 1;
}

// ---- Code conversions -------------------------------------------------------------

std::int32_t Ra1792Receiver::RxCodeToMod(std::int32_t code)
{
    return ra1792::modeFromCode(code, m_current.BFOValue, m_bfoPanel);
}

std::int16_t Ra1792Receiver::RxModToCode(std::int32_t mod)
{
    return static_cast<std::int16_t>(ra1792::codeFromMode(mod));
}

std::int32_t Ra1792Receiver::RxCodeToAgc(std::int32_t code)
{
    return ra1792::agcFromCode(code);
}

std::int16_t Ra1792Receiver::RxAgcToCode(std::int32_t agc)
{
    return static_cast<std::int16_t>(ra1792::codeFromAgc(agc));
}

std::int32_t Ra1792Receiver::RxCodeToFlt(std::int32_t code)
{
    return FilterWidth(static_cast<std::int16_t>(ra1792::slotFromFilterCode(code, m_info->firstSlot, m_info->offered)));
}

std::int16_t Ra1792Receiver::RxFltToCode(std::int32_t value)
{
    const int slot = NearestOfferedSlot(value);
    return static_cast<std::int16_t>(slot < 0 ? -1 : ra1792::filterCodeFromSlot(slot, m_info->firstSlot));
}

}  // namespace quorvin
