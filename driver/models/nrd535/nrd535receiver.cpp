// NRD535 driver: connect dialogue, polls, records, setters, channels.
#include "nrd535receiver.h"

#include <algorithm>
#include <ctime>

#include "driver/core/driverevents.h"
#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"
#include "platform/wait.h"

namespace quorvin {

namespace {

constexpr int kAfterDelayMs = 10;
constexpr std::size_t kMaxUnterminated = 40;
constexpr int kLastChannel = nrd535::kChannelCount - 1;

}  // namespace

Nrd535Receiver::Nrd535Receiver(DriverEvents* owner) : FamilyReceiver(owner, DrvNRD535)
{
    SetRemoteCommands("H1", "H0");
    SetRecordFormat('\r', kMaxUnterminated);
}

bool Nrd535Receiver::SendText(std::string_view command)
{
    return SendTraced(nrd535::frame(command), command, 0, kAfterDelayMs);
}

std::int32_t Nrd535Receiver::ToReceiver(std::int64_t hz, std::int32_t mod) const
{
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(hz - ModeOffset(mod, 3), nrd535::kMinFrequency, nrd535::kMaxFrequency));
}

std::int32_t Nrd535Receiver::ToDriver(std::int64_t hz, std::int32_t mod) const
{
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(hz + ModeOffset(mod, 3), nrd535::kMinFrequency, nrd535::kMaxFrequency));
}

std::int32_t Nrd535Receiver::FilterWidthForDigit(int digit) const
{
    const int slot = nrd535::slotFromFilterDigit(digit);
    return slot < 0 ? nrd535::kUnknownFilterWidth : FilterWidth(static_cast<std::int16_t>(slot));
}

// ---- Connect ----------------------------------------------------------------------

ConnErr Nrd535Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    m_fm = false;
    m_lastFilterDigit = -1;
    m_channelLoading = false;
    m_knownStatus.reset();
    ForgetRetune();
    m_awaitedChannel = -1;
    m_writtenWhileHeld = false;
    m_askStatusOnce = false;
    ForgetControls();

    SendText("?");
    const std::string ident = ReadTraced(100, Records());
    if (ident.empty()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    const auto id = nrd535::parseIdentification(ident);
    if (!id) {
        return FailConnect(ConnectRxIdenError, "bad ID\n");
    }
    m_hOption = id->hOption;
    m_romId = std::string(family::traceText(ident));

    SendText("H");
    const std::string h = ReadTraced(80, Records());
    if (h.empty()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    if (h.rfind("H1", 0) == 0) {
        SendText("H0");
        Pause(50);
    }
    SendText("I0");
    Pause(50);
    SendText("U61");
    ReadTraced(20, NoReply());

    SendText("I");
    const std::string reply = ReadTraced(80, Records());
    std::string pending = reply;
    bool gotStatus = false;
    while (auto record = family::takeRecord(pending, '\r')) {
        if (const auto status = nrd535::parseStatus(*record)) {
            ApplyStatus(*status, false);
            gotStatus = true;
        }
    }
    if (!gotStatus) {
        return FailConnect(reply.empty() ? m_channel.LastError() : ConnectRxIdenError,
                           reply.empty() ? "empty response\n" : "bad response\n");
    }
    if (m_hOption) {
        SendText("W");
        std::string w = ReadTraced(80, Records());
        while (auto record = family::takeRecord(w, '\r')) {
            ApplyRecord(*record);
        }
    }
    RefreshStatus();
    // The receiver is tuned once more for its mode, so it and the driver
    // agree on where the carrier sits.
    const auto driverHz = static_cast<std::int32_t>(Current().FrqValue);
    SendWrapped(nrd535::frequencyCommand(ToReceiver(driverHz, Current().ModType)));
    m_channel.SetEventMode(true);
    for (const char* query : {"I", "Q", "N", "M", "W", "U1"}) {
        SendText(query);
    }
    TraceConnectDone();
    return ConnectNoError;
}

void Nrd535Receiver::RefreshStatus()
{
    SendText("U2");
    std::string reply = ReadTraced(80, Records());
    while (auto record = family::takeRecord(reply, '\r')) {
        ApplyRecord(*record);
    }
}

void Nrd535Receiver::RxClose()
{
    if (InDialogue()) {
        return;
    }
    DialogueScope dialogue(*this);
    // The front panel gets the receiver back.
    m_channel.SetEventMode(false);
    SendText("H0");
    DropRemote();
}

// ---- Poll and records -------------------------------------------------------------------

std::int32_t Nrd535Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    // A channel read that is never answered: the client that was told it
    // started learns that it failed.
    if (m_awaitedChannel >= 0 && ++m_awaitTicks > RxMaxSilentTicks()) {
        m_awaitedChannel = -1;
        TraceError("channel read not answered\n");
        ReportDataError(DataErrData);
        if (IsConnected() == 0) {
            return 0;  // a handler reconnected or disconnected meanwhile
        }
    }
    if (!HeldInRemote() || m_askStatusOnce) {
        m_askStatusOnce = false;
        SendText("I");
    }
    for (const char* query : {"Q", "N", "M", "W", "U1"}) {
        SendText(query);
    }
    // Last: the events it raises may reconnect or disconnect the receiver.
    ConfirmWrittenWhileHeld();
    return 0;
}

std::int32_t Nrd535Receiver::RxRemote(std::int32_t on)
{
    const bool wasHeld = HeldInRemote();
    const std::int32_t result = FamilyReceiver::RxRemote(on);
    if (!wasHeld && HeldInRemote()) {
        m_askStatusOnce = true;
    }
    return result;
}

template <class Change>
void Nrd535Receiver::NoteWritten(Change&& change)
{
    if (!HeldInRemote() || !m_knownStatus) {
        return;
    }
    change(*m_knownStatus);
    m_writtenWhileHeld = true;
}

void Nrd535Receiver::ConfirmWrittenWhileHeld()
{
    if (!m_writtenWhileHeld || !m_knownStatus) {
        return;
    }
    m_writtenWhileHeld = false;
    if (!HeldInRemote()) {
        // Back in local control: the polled status tells.
        return;
    }
    const nrd535::Status status = *m_knownStatus;
    ApplyStatus(status, true);
    RxReportChanges();
}

bool Nrd535Receiver::ApplyRecord(const std::string& received)
{
    // Some lines add LF after CR; it belongs to no record.
    std::string record = received;
    record.erase(std::remove(record.begin(), record.end(), '\n'), record.end());
    if (record.size() <= 1) {
        return true;
    }
    switch (record.front()) {
    case 'I':
        // A status record that fails its layout is ignored; the next poll
        // asks again.
        if (const auto status = nrd535::parseStatus(record)) {
            ApplyStatus(*status, true);
        }
        return true;
    case 'Q':
        if (const auto digit = nrd535::parseSingleDigit(record, 'Q')) {
            ChangeSql(static_cast<SQLSTATE>(nrd535::squelchFromDigit(*digit)));
            return true;
        }
        return false;
    case 'N':
        if (const auto digit = nrd535::parseSingleDigit(record, 'N')) {
            ChangeNBl(static_cast<NBLTYPE>(nrd535::noiseBlankerFromDigit(*digit)));
            return true;
        }
        return false;
    case 'M':
        if (const auto raw = nrd535::parseSmeter(record)) {
            ChangeSMt(*raw, static_cast<std::int16_t>(nrd535::dbuvFromRaw(*raw)));
            return true;
        }
        return false;
    case 'W':
        if (const auto hz = nrd535::parseBandwidth(record)) {
            if (*hz != 0) {
                m_varBandwidth = true;
                ChangeFlt(*hz);
                if (!HeldInRemote()) {
                    m_storedBandwidth = *hz;
                }
            } else if (m_varBandwidth) {
                m_varBandwidth = false;
                if (m_lastFilterDigit >= 0) {
                    ChangeFlt(FilterWidthForDigit(m_lastFilterDigit));
                }
            }
            return true;
        }
        return false;
    case 'U':
        if (const auto u = nrd535::parseU(record)) {
            if (u->isBfo) {
                const bool changed = u->bfoHz != Current().BFOValue;
                ChangeBfo(u->bfoHz);
                // Reported with the mode only where the mode uses a BFO.
                if (changed && IsBFOMod(Current().ModType) == 0) {
                    UnflagBfo();
                }
            } else {
                ChangeHFF(u->hfFilterOn ? HFFOn : HFFOff);
            }
            return true;
        }
        return false;
    case 'L':
        if (const auto channel = nrd535::parseChannel(record)) {
            ReportChannel(*channel);
            return true;
        }
        return false;
    case 'R': return true;
    default: return false;
    }
}

std::int32_t Nrd535Receiver::StatusFrequency(const nrd535::Status& s, MODTYPE before, MODTYPE now, bool live,
                                             bool& retune) const
{
    retune = false;
    const std::int32_t shown = ToDriver(s.frequencyHz, now);
    const std::uint32_t frqBefore = Current().FrqValue;
    if (!live || IsConnected() == 0 || m_channelLoading || now == before || before == ModNone ||
        frqBefore == 0xFFFFFFFFu || ModeOffset(now, 3) == ModeOffset(before, 3)) {
        return shown;
    }
    // A mode with another carrier offset. The receiver kept its own
    // frequency; read in the mode it had before, that is where the operator
    // put the carrier.
    const std::int32_t asBefore = ToDriver(s.frequencyHz, before);
    const std::uint32_t pending = Requested().FrqValue;
    if (pending != 0xFFFFFFFFu) {
        // A frequency request is on its way: it either went out for the new
        // mode already (the record confirms it) or for the old one (keep it).
        retune = static_cast<std::uint32_t>(shown) != pending && static_cast<std::uint32_t>(asBefore) == pending;
    } else {
        // Nothing pending: a mode change alone leaves the receiver's frequency
        // where it was; a change of both at once (a channel recalled at the
        // front panel) is taken as the receiver reports it.
        retune = s.frequencyHz == ToReceiver(frqBefore, before);
    }
    return retune ? asBefore : shown;
}

void Nrd535Receiver::ApplyStatus(const nrd535::Status& s, bool live)
{
    const tag_EventData before = Current();
    m_knownStatus = s;

    const std::int32_t agc = nrd535::agcFromDigit(s.agc);
    if (agc >= 0) {
        ChangeAgc(static_cast<AGCTYPE>(agc));
    }
    const std::int32_t att = nrd535::attenuatorFromDigit(s.attenuator);
    if (att >= 0) {
        ChangeAtt(static_cast<ATTSTATE>(att), static_cast<std::int16_t>(att == AttOn1 ? -20 : 0));
    }
    if (s.filter != m_lastFilterDigit) {
        m_lastFilterDigit = s.filter;
        if (!(m_varBandwidth && (s.filter == 0 || s.filter == 1))) {
            ChangeFlt(FilterWidthForDigit(s.filter));
        }
    }

    const std::int32_t mode = nrd535::modeFromDigit(s.mode);
    const MODTYPE newMode = mode >= 0 ? static_cast<MODTYPE>(mode) : before.ModType;
    bool retune = false;
    const std::int32_t hz = StatusFrequency(s, before.ModType, newMode, live, retune);
    ChangeMod(newMode);
    if (!(live && SentBeforeRetune(s.frequencyHz, newMode))) {
        ChangeFrq(static_cast<std::uint32_t>(hz));
    }
    if (retune) {
        // Tune again for the new mode, so the carrier stays where it is shown.
        if (SendReceiverFrequency(ToReceiver(hz, newMode), hz)) {
            NoteRetune(s.frequencyHz, newMode, static_cast<std::uint32_t>(hz));
        }
    }
    if (newMode == ModFM) {
        m_fm = true;
    } else if (m_fm) {
        m_fm = false;
        if (live && m_varBandwidth && (m_lastFilterDigit == 0 || m_lastFilterDigit == 1) && m_storedBandwidth > 0 &&
            IsConnected() != 0) {
            SendWrapped(nrd535::bandwidthCommand(m_storedBandwidth));
        }
    }

    const tag_EventData& after = Current();
    const bool anyChange = after.AgcType != before.AgcType || after.AttState != before.AttState ||
                           after.FltValue != before.FltValue || after.FrqValue != before.FrqValue ||
                           after.ModType != before.ModType;
    if (m_channelLoading) {
        // The change a channel load brought: the receiver now sits on it.
        m_channelLoading = !anyChange;
    } else if (live && anyChange && !HeldInRemote() && after.ChnNumber != -1) {
        ChangeChn(-1);
    }
}

void Nrd535Receiver::ReportChannel(const nrd535::ChannelRecord& record)
{
    if (record.channel == m_awaitedChannel) {
        m_awaitedChannel = -1;
    }
    DriverEvents* owner = Owner();
    if (owner != nullptr) {
        const auto& f = record.fields;
        if (f.frequencyHz == 0) {
            // An empty channel: nothing stored, nothing to invent.
            owner->RxChnStatus(Index(), static_cast<std::int16_t>(record.channel), 0, 0, ModNone, 0, AgcNone, 0);
        } else {
            const std::int32_t mode = nrd535::modeFromDigit(f.mode);
            // Listed where the channel will show once loaded: RTTY and FAX
            // at their carrier, like every frequency the driver reports.
            owner->RxChnStatus(Index(), static_cast<std::int16_t>(record.channel), ToDriver(f.frequencyHz, mode), 0,
                               mode, FilterWidthForDigit(f.filter), nrd535::agcFromDigit(f.agc), 0);
        }
    }
    if (record.channel == kLastChannel) {
        platform::processPendingEvents();
        if (Owner() != nullptr) {
            Owner()->RxChnStatus(Index(), -1, 0, 0, ModNone, 0, AgcNone, 0);
        }
    }
}

// ---- S-meter ------------------------------------------------------------------------------

std::int32_t Nrd535Receiver::RxSMtRaw()
{
    return SMtLocal() < 0 ? -254 : nrd535::dbuvFromRaw(SMtLocal());
}

std::string Nrd535Receiver::SMtLvl(SMetVal kind)
{
    const std::int32_t raw = SMtLocal();
    if (raw < 0) {
        return {};
    }
    switch (kind) {
    case Local: return platform::formatInt(raw);
    case dBuV: return platform::formatInt(nrd535::dbuvFromRaw(raw));
    case SPoint: return SPointText();
    default: return {};
    }
}

// ---- Setters ---------------------------------------------------------------------------------

bool Nrd535Receiver::SendReceiverFrequency(std::int32_t receiverHz, std::int32_t driverHz)
{
    const std::uint32_t pendingBefore = Requested().FrqValue;
    RequestFrq(static_cast<std::uint32_t>(driverHz));
    if (!SendWrapped(nrd535::frequencyCommand(receiverHz))) {
        // Never sent, never confirmed: the request does not stand.
        RequestFrq(pendingBefore);
        return false;
    }
    NoteWritten([receiverHz](nrd535::Status& s) { s.frequencyHz = receiverHz; });
    ChangeChn(-1);
    return true;
}

void Nrd535Receiver::RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int64_t driverHz = static_cast<std::int64_t>(hz) - RxOffset();
    if (driverHz < nrd535::kMinFrequency || driverHz > nrd535::kMaxFrequency) {
        return;
    }
    const auto value = static_cast<std::int32_t>(driverHz);
    SendReceiverFrequency(notify != 0 ? ToReceiver(value, mod) : value, value);
}

void Nrd535Receiver::RxSendBFO(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int32_t bfo = std::clamp(hz, -nrd535::kMaxBfo, nrd535::kMaxBfo);
    RequestBfo(bfo);
    if (!SendWrapped(nrd535::bfoCommand(bfo))) {
        ClearBfoRequest();
        return;
    }
    // No poll asks for the BFO: ask once, so the request gets its confirmation.
    SendText("U2");
    if (Current().ChnNumber != -1 && Current().FrqValue != 0xFFFFFFFFu) {
        const auto driverHz = static_cast<std::int32_t>(Current().FrqValue);
        SendReceiverFrequency(ToReceiver(driverHz, Current().ModType), driverHz);
    }
}

MODTYPE Nrd535Receiver::SetMod(MODTYPE mod)
{
    // ModNone is no mode: nothing is sent for it ("D-1" would be nonsense).
    // Modes the receiver lacks but its code table maps (ISB, CW_F) go out as
    // their digit and come back as the mode of that digit.
    if (IsConnected() == 0 || mod == ModNone) {
        return Current().ModType;
    }
    const int digit = nrd535::digitFromMode(mod);
    const std::int32_t reported = nrd535::modeFromDigit(digit);
    if (digit < 0 || reported < 0) {
        return Current().ModType;
    }
    if (reported == EffectiveMode()) {
        // Already there (or on its way): nothing to send, and nothing will
        // come back for a forwarded change to wait for.
        return static_cast<MODTYPE>(reported);
    }
    RequestMod(static_cast<MODTYPE>(reported));
    if (!SendWrapped(nrd535::modeCommand(digit))) {
        RequestMod(ModNone);
        return Current().ModType;
    }
    NoteWritten([digit](nrd535::Status& s) { s.mode = digit; });
    return static_cast<MODTYPE>(reported);
}

std::int32_t Nrd535Receiver::AgcExist(AGCTYPE agc)
{
    // The receiver has no AGC choice in FM.
    if (Current().ModType == ModFM) {
        return 0;
    }
    return FamilyReceiver::AgcExist(agc);
}

AGCTYPE Nrd535Receiver::SetAgc(AGCTYPE agc)
{
    if (IsConnected() == 0 || agc == AgcNone || agc == Current().AgcType || Current().ModType == ModFM) {
        return Current().AgcType;
    }
    const int digit = nrd535::digitFromAgc(agc);
    if (digit < 0) {
        return Current().AgcType;
    }
    RequestAgc(static_cast<AGCTYPE>(nrd535::agcFromDigit(digit)));
    if (!SendWrapped(nrd535::agcCommand(digit))) {
        RequestAgc(AgcNone);
    } else {
        NoteWritten([digit](nrd535::Status& s) { s.agc = digit; });
    }
    return Current().AgcType;
}

NBLTYPE Nrd535Receiver::SetNBl(NBLTYPE nbl)
{
    if (IsConnected() == 0 || nbl < NBlOff || nbl > NBlWide) {
        return NBlNone;
    }
    RequestNBl(nbl);
    if (!SendWrapped(nrd535::noiseBlankerCommand(nbl))) {
        RequestNBl(NBlNone);
        return NBlNone;
    }
    return nbl;
}

ATTSTATE Nrd535Receiver::SetAtt(ATTSTATE att)
{
    if (IsConnected() == 0 || (att != AttOff && att != AttOn1)) {
        return AttNone;
    }
    RequestAtt(att);
    if (!SendWrapped(nrd535::attenuatorCommand(att))) {
        RequestAtt(AttNone);
        return AttNone;
    }
    NoteWritten([att](nrd535::Status& s) { s.attenuator = att == AttOn1 ? 1 : 0; });
    return att;
}

HFFSTATE Nrd535Receiver::SetHFF(HFFSTATE hff)
{
    if (IsConnected() == 0 || (hff != HFFOff && hff != HFFOn)) {
        return HFFNone;
    }
    RequestHFF(hff);
    if (!SendWrapped(nrd535::hfFilterCommand(hff == HFFOn))) {
        RequestHFF(HFFNone);
        return HFFNone;
    }
    return hff;
}

std::int32_t Nrd535Receiver::SetFltBW(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return -1;
    }
    const int slot = NearestOfferedSlot(hz);
    const int digit = nrd535::filterDigitFromSlot(slot);
    if (slot < 0 || digit < 0) {
        return -1;
    }
    const std::int32_t width = SlotWidth(slot);
    if (width != Current().FltValue) {
        RequestFlt(width);
        if (!SendWrapped(nrd535::filterCommand(digit))) {
            RequestFlt(-1);
            return Current().FltValue;
        }
        NoteWritten([digit](nrd535::Status& s) { s.filter = digit; });
    }
    return width;
}

void Nrd535Receiver::SetTime(const std::string& time)
{
    // "hhmmss", "hhmm", "hh:mm[:ss]"; an empty text sets the computer's
    // local time.
    if (IsConnected() == 0) {
        return;
    }
    if (time.empty()) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        if (localtime_r(&now, &local) == nullptr) {
            return;
        }
        SendWrapped(nrd535::clockCommand(local.tm_hour, local.tm_min));
        return;
    }
    std::string digits;
    for (char c : time) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c != ':' && c != ' ') {
            return;
        }
    }
    const auto hours = family::digitsAt(digits, 0, 2);
    const auto minutes = family::digitsAt(digits, 2, 2);
    if (!hours || !minutes || *hours > 23 || *minutes > 59) {
        return;
    }
    SendWrapped(nrd535::clockCommand(static_cast<int>(*hours), static_cast<int>(*minutes)));
}

// ---- Memory channels --------------------------------------------------------------------------

namespace {

bool validChannel(std::int16_t chn)
{
    return chn >= 0 && chn < nrd535::kChannelCount;
}

}  // namespace

RCODE Nrd535Receiver::ChnLoad(std::int16_t chn)
{
    if (IsConnected() == 0 || !validChannel(chn)) {
        return R_KO;
    }
    m_channelLoading = true;
    if (!SendWrapped(nrd535::loadChannelCommand(chn))) {
        m_channelLoading = false;
        return R_KO;
    }
    m_askStatusOnce = HeldInRemote() || m_askStatusOnce;
    ChangeChn(chn);
    return ChannelLoadSent(true);
}

RCODE Nrd535Receiver::ChnSave(std::int16_t chn)
{
    if (IsConnected() == 0 || !validChannel(chn)) {
        return R_KO;
    }
    return SendWrapped(nrd535::saveChannelCommand(chn)) ? R_OK : R_KO;
}

RCODE Nrd535Receiver::ChnRead(std::int16_t chn)
{
    if (IsConnected() == 0 || !validChannel(chn)) {
        return R_KO;
    }
    if (!SendText(nrd535::readChannelsCommand(chn, chn))) {
        return R_KO;
    }
    m_awaitedChannel = chn;
    m_awaitTicks = 0;
    return R_OK;
}

RCODE Nrd535Receiver::ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t, MODTYPE mod, std::int32_t fltHz,
                               AGCTYPE agc, std::int32_t)
{
    if (IsConnected() == 0 || !validChannel(chn)) {
        return R_KO;
    }
    nrd535::ChannelFields fields;
    fields.attenuator = Current().AttState == AttOn1 ? 1 : 0;
    const int slot = NearestOfferedSlot(fltHz);
    fields.filter = slot < 0 ? 1 : std::max(0, nrd535::filterDigitFromSlot(slot));
    fields.mode = nrd535::digitFromMode(mod);
    // The receiver stores its own frequency: RTTY and FAX without the
    // carrier offset the driver shows (0 stays 0, an empty channel).
    if (hz != 0) {
        const std::int64_t receiverHz = static_cast<std::int64_t>(hz) - ModeOffset(mod, 3);
        if (receiverHz < nrd535::kMinFrequency || receiverHz > nrd535::kMaxFrequency) {
            return R_KO;
        }
        hz = static_cast<std::int32_t>(receiverHz);
    }
    fields.frequencyHz = hz;
    fields.agc = agc == AgcNone ? 1 : nrd535::digitFromAgc(agc);
    if (fields.mode < 0) {
        return R_KO;
    }
    const auto command = nrd535::writeChannelCommand(chn, fields);
    if (!command) {
        return R_KO;
    }
    return SendWrapped(*command) ? R_OK : R_KO;
}

RCODE Nrd535Receiver::ChnClear(std::int16_t chn)
{
    if (IsConnected() == 0 || !validChannel(chn)) {
        return R_KO;
    }
    return SendWrapped(nrd535::clearChannelCommand(chn)) ? R_OK : R_KO;
}

RCODE Nrd535Receiver::ChnDump()
{
    if (IsConnected() == 0) {
        return R_KO;
    }
    return SendText(nrd535::readChannelsCommand(0, kLastChannel)) ? R_OK : R_KO;
}

// ---- Code conversions ----------------------------------------------------------------------------

std::int32_t Nrd535Receiver::RxCodeToMod(std::int32_t code)
{
    return nrd535::modeFromDigit(code);
}

std::int16_t Nrd535Receiver::RxModToCode(std::int32_t mod)
{
    return static_cast<std::int16_t>(nrd535::digitFromMode(mod));
}

std::int32_t Nrd535Receiver::RxCodeToAgc(std::int32_t code)
{
    return nrd535::agcFromDigit(code);
}

std::int16_t Nrd535Receiver::RxAgcToCode(std::int32_t agc)
{
    return static_cast<std::int16_t>(nrd535::digitFromAgc(agc));
}

std::int32_t Nrd535Receiver::RxCodeToFlt(std::int32_t code)
{
    return FilterWidthForDigit(code);
}

std::int16_t Nrd535Receiver::RxFltToCode(std::int32_t value)
{
    return static_cast<std::int16_t>(nrd535::filterDigitFromSlot(NearestOfferedSlot(value)));
}

}  // namespace quorvin
