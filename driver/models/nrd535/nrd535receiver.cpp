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

Nrd535Receiver::Nrd535Receiver(DriverEvents* owner) : FamilyReceiver(owner, DrvNRD535) {}

bool Nrd535Receiver::Send(std::string_view command)
{
    return SendTraced(nrd535::frame(command), command, 0, kAfterDelayMs);
}

void Nrd535Receiver::SendWrapped(std::initializer_list<std::string> commands)
{
    const bool wrap = m_remoteWanted == 0;
    if (wrap) {
        Send("H1");
    }
    for (const std::string& command : commands) {
        Send(command);
    }
    if (wrap) {
        Send("H0");
    }
}

std::int32_t Nrd535Receiver::ModeOffset(std::int32_t mod, std::int32_t kind) const
{
    switch (kind) {
    case 1:
        switch (mod) {
        case ModUSB: return 1400;
        case ModLSB: return -1400;
        case ModRTTY: return 2210;
        case ModFAX: return 1900;
        default: return 0;
        }
    case 2: return m_current.FltValue / 2;
    case 3: return mod == ModRTTY ? 2210 : (mod == ModFAX ? 1900 : 0);
    case 4:
        if (mod == ModCW) {
            return -m_defaultBfo;
        }
        return mod == ModRTTY ? 2210 : (mod == ModFAX ? 1900 : 0);
    default: return 0;
    }
}

std::int32_t Nrd535Receiver::RxFrqShift(MODTYPE mod, FRQTYPE kind, std::int32_t)
{
    return ModeOffset(mod, kind);
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
    m_smRaw = -1;
    m_fm = false;
    m_lastFilterDigit = -1;
    m_channelLoading = false;
    // Nothing is known of these until the receiver reports them.
    m_current.NBlType = NBlNone;
    m_current.SqlState = SqlNone;
    m_current.HFFState = HFFNone;

    Send("?");
    const std::string ident = ReadTraced(100);
    if (ident.empty()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    const auto id = nrd535::parseIdentification(ident);
    if (!id) {
        return FailConnect(ConnectRxIdenError, "bad ID\n");
    }
    m_hOption = id->hOption;
    m_romId = std::string(family::traceText(ident));

    Send("H");
    const std::string h = ReadTraced(80);
    if (h.empty()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    if (h.rfind("H1", 0) == 0) {
        Send("H0");
        Pause(50);
    }
    Send("I0");
    Pause(50);
    Send("U61");
    ReadTraced(20);

    Send("I");
    const std::string reply = ReadTraced(80);
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
        Send("W");
        std::string w = ReadTraced(80);
        while (auto record = family::takeRecord(w, '\r')) {
            ApplyRecord(*record);
        }
    }
    RefreshStatus();
    // The receiver is tuned once more for its mode, so it and the driver
    // agree on where the carrier sits.
    const auto driverHz = static_cast<std::int32_t>(m_current.FrqValue);
    SendWrapped({nrd535::frequencyCommand(ToReceiver(driverHz, m_current.ModType))});
    m_channel.SetEventMode(true);
    for (const char* query : {"I", "Q", "N", "M", "W", "U1"}) {
        Send(query);
    }
    TraceConnectDone();
    return ConnectNoError;
}

void Nrd535Receiver::RefreshStatus()
{
    Send("U2");
    std::string reply = ReadTraced(80);
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
    Send("H0");
    m_remoteWanted = 0;
}

// ---- Poll and records -------------------------------------------------------------------

std::int32_t Nrd535Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    if (m_remoteWanted == 0) {
        Send("I");
    }
    for (const char* query : {"Q", "N", "M", "W", "U1"}) {
        Send(query);
    }
    return 0;
}

std::int32_t Nrd535Receiver::RxParse()
{
    std::int32_t result = 0;
    while (auto record = family::takeRecord(m_rxBuffer, '\r')) {
        // Some lines add LF after CR; it belongs to no record.
        record->erase(std::remove(record->begin(), record->end(), '\n'), record->end());
        if (record->size() <= 1) {
            continue;
        }
        if (!ApplyRecord(*record)) {
            result = -1;
        }
    }
    if (m_rxBuffer.size() > kMaxUnterminated) {
        m_rxBuffer.clear();
        result = -1;
    }
    RxReportChanges();
    return result;
}

bool Nrd535Receiver::ApplyRecord(const std::string& record)
{
    if (record.empty()) {
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
            const std::int32_t sql = nrd535::squelchFromDigit(*digit);
            if (sql >= 0 && sql != m_current.SqlState) {
                m_current.SqlState = static_cast<SQLSTATE>(sql);
                m_changed.SqlState = 1;
            }
            return true;
        }
        return false;
    case 'N':
        if (const auto digit = nrd535::parseSingleDigit(record, 'N')) {
            const std::int32_t nbl = nrd535::noiseBlankerFromDigit(*digit);
            if (nbl >= 0 && nbl != m_current.NBlType) {
                m_current.NBlType = static_cast<NBLTYPE>(nbl);
                m_changed.NBlType = 1;
            }
            if (m_requested.NBlType == nbl) {
                m_requested.NBlType = NBlNone;
            }
            return true;
        }
        return false;
    case 'M':
        if (const auto raw = nrd535::parseSmeter(record)) {
            if (*raw != m_smRaw) {
                m_smRaw = *raw;
                m_current.SMtLevel = static_cast<std::int16_t>(nrd535::dbuvFromRaw(*raw));
                m_changed.SMtLevel = 1;
            }
            return true;
        }
        return false;
    case 'W':
        if (const auto hz = nrd535::parseBandwidth(record)) {
            if (*hz != 0) {
                m_varBandwidth = true;
                ChangeFlt(*hz);
                if (m_remoteWanted == 0) {
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
                const bool changed = u->bfoHz != m_current.BFOValue;
                ChangeBfo(u->bfoHz);
                // Reported with the mode only where the mode uses a BFO.
                if (changed && IsBFOMod(m_current.ModType) == 0) {
                    m_changed.BFOValue = 0;
                }
            } else {
                const HFFSTATE hff = u->hfFilterOn ? HFFOn : HFFOff;
                if (hff != m_current.HFFState) {
                    m_current.HFFState = hff;
                    m_changed.HFFState = 1;
                }
                if (m_requested.HFFState == hff) {
                    m_requested.HFFState = HFFNone;
                }
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
    case 'R':
        return true;
    default:
        return false;
    }
}

void Nrd535Receiver::ApplyStatus(const nrd535::Status& s, bool live)
{
    const tag_EventState before = m_changed;
    const std::uint32_t frqBefore = m_current.FrqValue;
    const MODTYPE modeBefore = m_current.ModType;

    const std::int32_t agc = nrd535::agcFromDigit(s.agc);
    if (agc >= 0) {
        ChangeAgc(static_cast<AGCTYPE>(agc));
    }
    const std::int32_t att = nrd535::attenuatorFromDigit(s.attenuator);
    if (att >= 0) {
        if (att != m_current.AttState) {
            m_current.AttState = static_cast<ATTSTATE>(att);
            m_current.AttLevel = static_cast<std::int16_t>(att == AttOn1 ? -20 : 0);
            m_changed.AttState = 1;
        }
        if (m_requested.AttState == att) {
            m_requested.AttState = AttNone;
        }
    }
    if (s.filter != m_lastFilterDigit) {
        m_lastFilterDigit = s.filter;
        if (!(m_varBandwidth && (s.filter == 0 || s.filter == 1))) {
            ChangeFlt(FilterWidthForDigit(s.filter));
        }
    }

    const std::int32_t mode = nrd535::modeFromDigit(s.mode);
    const MODTYPE newMode = mode >= 0 ? static_cast<MODTYPE>(mode) : m_current.ModType;
    const bool modeChanged = newMode != modeBefore;
    if (live && modeChanged && modeBefore != ModNone && frqBefore != 0xFFFFFFFFu &&
        ModeOffset(newMode, 3) != ModeOffset(modeBefore, 3) && m_connected != 0) {
        // A mode with another carrier offset: tune again so the frequency
        // the operator sees stays where it was.
        ChangeMod(newMode);
        SendReceiverFrequency(ToReceiver(frqBefore, newMode), static_cast<std::int32_t>(frqBefore));
    } else {
        ChangeMod(newMode);
        ChangeFrq(static_cast<std::uint32_t>(ToDriver(s.frequencyHz, newMode)));
    }
    if (newMode == ModFM) {
        m_fm = true;
    } else if (m_fm) {
        m_fm = false;
        if (live && m_varBandwidth && (m_lastFilterDigit == 0 || m_lastFilterDigit == 1) && m_storedBandwidth > 0 &&
            m_connected != 0) {
            SendWrapped({nrd535::bandwidthCommand(m_storedBandwidth)});
        }
    }

    const bool anyChange = m_changed.AgcType != before.AgcType || m_changed.AttState != before.AttState ||
                           m_changed.FltValue != before.FltValue || m_changed.FrqValue != before.FrqValue ||
                           m_changed.ModType != before.ModType;
    if (m_channelLoading) {
        // The change a channel load brought: the receiver now sits on it.
        m_channelLoading = !anyChange;
    } else if (live && anyChange && m_remoteWanted == 0 && m_current.ChnNumber != -1) {
        ChangeChn(-1);
    }
}

void Nrd535Receiver::ReportChannel(const nrd535::ChannelRecord& record)
{
    DriverEvents* owner = Owner();
    if (owner != nullptr) {
        const auto& f = record.fields;
        if (f.frequencyHz == 0) {
            // An empty channel: nothing stored, nothing to invent.
            owner->RxChnStatus(m_index, static_cast<std::int16_t>(record.channel), 0, 0, ModNone, 0, AgcNone, 0);
        } else {
            const std::int32_t mode = nrd535::modeFromDigit(f.mode);
            // Listed where the channel will show once loaded: RTTY and FAX
            // at their carrier, like every frequency the driver reports.
            owner->RxChnStatus(m_index, static_cast<std::int16_t>(record.channel), ToDriver(f.frequencyHz, mode), 0,
                               mode,
                               FilterWidthForDigit(f.filter), nrd535::agcFromDigit(f.agc), 0);
        }
    }
    if (record.channel == kLastChannel) {
        platform::processPendingEvents();
        if (Owner() != nullptr) {
            Owner()->RxChnStatus(m_index, -1, 0, 0, ModNone, 0, AgcNone, 0);
        }
    }
}

void Nrd535Receiver::RxReportChanges()
{
    DriverEvents* owner = Owner();
    if (m_current.FrqValue == 0xFFFFFFFFu) {
        // No status yet: the flags wait until the receiver has told its state.
        return;
    }
    if (m_changed.ChnNumber != 0) {
        m_changed.ChnNumber = 0;
        if (owner != nullptr) {
            owner->RxChnUpdated(m_index, m_current.ChnNumber);
        }
    }
    ReportCommonChanges();
    owner = Owner();
    if (owner == nullptr) {
        return;
    }
    if ((m_changed.AttState != 0 || m_changed.AttLevel != 0) && m_current.AttState != AttNone) {
        m_changed.AttState = 0;
        m_changed.AttLevel = 0;
        owner->RxAttUpdated(m_index, m_current.AttState, m_current.AttLevel);
    }
    if ((m_changed.NBlType != 0 || m_changed.NBlLevel != 0) && m_current.NBlType != NBlNone) {
        m_changed.NBlType = 0;
        m_changed.NBlLevel = 0;
        owner->RxNBlUpdated(m_index, m_current.NBlType, m_current.NBlLevel);
    }
    if ((m_changed.SqlState != 0 || m_changed.SqlLevel != 0) && m_current.SqlState != SqlNone) {
        m_changed.SqlState = 0;
        m_changed.SqlLevel = 0;
        owner->RxSqlUpdated(m_index, m_current.SqlState, m_current.SqlLevel);
    }
    if (m_changed.SMtLevel != 0 && m_smRaw >= 0) {
        m_changed.SMtLevel = 0;
        owner->RxSMtUpdated(m_index, GetFrq(NONE), static_cast<std::int16_t>(m_smRaw), m_current.SMtLevel,
                            SPointText());
    }
    if (m_changed.HFFState != 0 && m_current.HFFState != HFFNone) {
        m_changed.HFFState = 0;
        owner->RxHFFUpdated(m_index, m_current.HFFState);
    }
}

// ---- S-meter ------------------------------------------------------------------------------

std::int32_t Nrd535Receiver::RxSMtRaw()
{
    return m_smRaw < 0 ? -254 : nrd535::dbuvFromRaw(m_smRaw);
}

std::string Nrd535Receiver::SMtLvl(SMetVal kind)
{
    if (m_smRaw < 0) {
        return {};
    }
    switch (kind) {
    case Local: return platform::formatInt(m_smRaw);
    case dBuV: return platform::formatInt(nrd535::dbuvFromRaw(m_smRaw));
    case SPoint: return SPointText();
    default: return {};
    }
}

// ---- Setters ---------------------------------------------------------------------------------

void Nrd535Receiver::SendReceiverFrequency(std::int32_t receiverHz, std::int32_t driverHz)
{
    m_requested.FrqValue = static_cast<std::uint32_t>(driverHz);
    SendWrapped({nrd535::frequencyCommand(receiverHz)});
    ChangeChn(-1);
}

void Nrd535Receiver::RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify)
{
    if (m_connected == 0) {
        return;
    }
    const std::int64_t driverHz = static_cast<std::int64_t>(hz) - m_frqOffset;
    if (driverHz < nrd535::kMinFrequency || driverHz > nrd535::kMaxFrequency) {
        return;
    }
    const auto value = static_cast<std::int32_t>(driverHz);
    SendReceiverFrequency(notify != 0 ? ToReceiver(value, mod) : value, value);
}

void Nrd535Receiver::RxSendBFO(std::int32_t hz)
{
    if (m_connected == 0) {
        return;
    }
    const std::int32_t bfo = std::clamp(hz, -nrd535::kMaxBfo, nrd535::kMaxBfo);
    m_requested.BFOValue = bfo;
    SendWrapped({nrd535::bfoCommand(bfo)});
    // No poll asks for the BFO: ask once, so the request gets its confirmation.
    Send("U2");
    if (m_current.ChnNumber != -1 && m_current.FrqValue != 0xFFFFFFFFu) {
        const auto driverHz = static_cast<std::int32_t>(m_current.FrqValue);
        SendReceiverFrequency(ToReceiver(driverHz, m_current.ModType), driverHz);
    }
}

MODTYPE Nrd535Receiver::SetMod(MODTYPE mod)
{
    // ModNone is no mode: nothing is sent for it ("D-1" would be nonsense).
    if (m_connected == 0 || mod == ModNone || ModExist(mod) == 0) {
        return m_current.ModType;
    }
    const int digit = nrd535::digitFromMode(mod);
    if (digit < 0) {
        return m_current.ModType;
    }
    m_requested.ModType = mod;
    SendWrapped({nrd535::modeCommand(digit)});
    return mod;
}

std::int32_t Nrd535Receiver::AgcExist(AGCTYPE agc)
{
    // The receiver has no AGC choice in FM.
    if (m_current.ModType == ModFM) {
        return 0;
    }
    return FamilyReceiver::AgcExist(agc);
}

AGCTYPE Nrd535Receiver::SetAgc(AGCTYPE agc)
{
    if (m_connected == 0 || agc == AgcNone || agc == m_current.AgcType || m_current.ModType == ModFM) {
        return m_current.AgcType;
    }
    const int digit = nrd535::digitFromAgc(agc);
    if (digit < 0) {
        return m_current.AgcType;
    }
    m_requested.AgcType = static_cast<AGCTYPE>(nrd535::agcFromDigit(digit));
    SendWrapped({nrd535::agcCommand(digit)});
    return m_current.AgcType;
}

NBLTYPE Nrd535Receiver::SetNBl(NBLTYPE nbl)
{
    if (m_connected == 0 || nbl < NBlOff || nbl > NBlWide) {
        return NBlNone;
    }
    m_requested.NBlType = nbl;
    SendWrapped({nrd535::noiseBlankerCommand(nbl)});
    return nbl;
}

ATTSTATE Nrd535Receiver::SetAtt(ATTSTATE att)
{
    if (m_connected == 0 || (att != AttOff && att != AttOn1)) {
        return AttNone;
    }
    m_requested.AttState = att;
    SendWrapped({nrd535::attenuatorCommand(att)});
    return att;
}

HFFSTATE Nrd535Receiver::SetHFF(HFFSTATE hff)
{
    if (m_connected == 0 || (hff != HFFOff && hff != HFFOn)) {
        return HFFNone;
    }
    m_requested.HFFState = hff;
    SendWrapped({nrd535::hfFilterCommand(hff == HFFOn)});
    return hff;
}

std::int32_t Nrd535Receiver::SetFltBW(std::int32_t hz)
{
    if (m_connected == 0) {
        return -1;
    }
    const int slot = NearestOfferedSlot(hz);
    const int digit = nrd535::filterDigitFromSlot(slot);
    if (slot < 0 || digit < 0) {
        return -1;
    }
    const std::int32_t width = SlotWidth(slot);
    if (width != m_current.FltValue) {
        m_requested.FltValue = width;
        SendWrapped({nrd535::filterCommand(digit)});
    }
    return width;
}

std::int32_t Nrd535Receiver::RxRemote(std::int32_t on)
{
    if (m_connected == 0) {
        m_remoteWanted = 0;
        return 0;
    }
    const std::int32_t wanted = on != 0 ? 1 : 0;
    if (wanted != m_remoteWanted) {
        Send(wanted != 0 ? "H1" : "H0");
        m_remoteWanted = wanted;
        if (Owner() != nullptr) {
            Owner()->RxRmtState(m_index, wanted);
        }
    }
    return 1;
}

void Nrd535Receiver::SetTime(const std::string& time)
{
    // "hhmmss", "hhmm", "hh:mm[:ss]"; an empty text sets the computer's
    // local time.
    if (m_connected == 0) {
        return;
    }
    if (time.empty()) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        if (localtime_r(&now, &local) == nullptr) {
            return;
        }
        SendWrapped({nrd535::clockCommand(local.tm_hour, local.tm_min)});
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
    SendWrapped({nrd535::clockCommand(static_cast<int>(*hours), static_cast<int>(*minutes))});
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
    if (m_connected == 0 || !validChannel(chn)) {
        return R_KO;
    }
    m_channelLoading = true;
    SendWrapped({nrd535::loadChannelCommand(chn)});
    ChangeChn(chn);
    return R_OK;
}

RCODE Nrd535Receiver::ChnSave(std::int16_t chn)
{
    if (m_connected == 0 || !validChannel(chn)) {
        return R_KO;
    }
    SendWrapped({nrd535::saveChannelCommand(chn)});
    return R_OK;
}

RCODE Nrd535Receiver::ChnRead(std::int16_t chn)
{
    if (m_connected == 0 || !validChannel(chn)) {
        return R_KO;
    }
    return Send(nrd535::readChannelsCommand(chn, chn)) ? R_OK : R_KO;
}

RCODE Nrd535Receiver::ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t, MODTYPE mod, std::int32_t fltHz,
                               AGCTYPE agc, std::int32_t)
{
    if (m_connected == 0 || !validChannel(chn)) {
        return R_KO;
    }
    nrd535::ChannelFields fields;
    fields.attenuator = m_current.AttState == AttOn1 ? 1 : 0;
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
    SendWrapped({*command});
    return R_OK;
}

RCODE Nrd535Receiver::ChnClear(std::int16_t chn)
{
    if (m_connected == 0 || !validChannel(chn)) {
        return R_KO;
    }
    SendWrapped({nrd535::clearChannelCommand(chn)});
    return R_OK;
}

RCODE Nrd535Receiver::ChnDump()
{
    if (m_connected == 0) {
        return R_KO;
    }
    return Send(nrd535::readChannelsCommand(0, kLastChannel)) ? R_OK : R_KO;
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
