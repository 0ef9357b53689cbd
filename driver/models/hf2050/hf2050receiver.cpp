// HF2050 driver: unit selection and connect, the records of the replies,
// set-and-query setters, memory channels.
#include "hf2050receiver.h"

#include <algorithm>
#include <cmath>

#include "driver/core/driverevents.h"
#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"
#include "platform/settingsstore.h"

namespace quorvin {

namespace {

constexpr int kAfterDelayMs = 50;
constexpr std::size_t kMaxUnterminated = 160;
constexpr std::int32_t kRttyBfo = -2210;
constexpr std::int32_t kFaxBfo = -1900;

// Frequencies and BFOs go out in kHz with two decimals: 10 Hz steps.
std::int32_t onWire(std::int32_t hz)
{
    return static_cast<std::int32_t>(std::lround(hz / 10.0) * 10);
}

std::string withoutLineEnd(const std::string& record)
{
    std::string text = record;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

Hf2050Receiver::Hf2050Receiver(DriverEvents* owner) : FamilyReceiver(owner, DrvHF2050)
{
    SetRecordFormat('\n', kMaxUnterminated);
    SetManualAgcGated();
}

int Hf2050Receiver::Unit()
{
    const int unit = m_channel.BusAddress();
    return unit < 0 ? 0 : unit;
}

std::uint32_t Hf2050Receiver::FittedOptions() const
{
    return m_isbEnabled != 0 ? optionBit(ModelOption::Isb) : 0;
}

void Hf2050Receiver::LoadModelOptions(const std::string& key)
{
    // The sideband width beyond the four offered slots.
    m_fltValue[4] = std::max<std::int32_t>(0, platform::SettingsStore::shared().readNumber(key, "F_FLS", FlsWidth()));
}

void Hf2050Receiver::SaveModelOptions(const std::string& key)
{
    platform::SettingsStore::shared().writeNumber(key, "F_FLS", FlsWidth());
}

bool Hf2050Receiver::SendText(std::string_view command)
{
    // Every line selects this unit first: on a shared line another driver
    // may have selected its own since.
    const std::string text = "UNIT " + platform::formatInt(Unit()) + ";" + std::string(command);
    return SendTraced(hf2050::frame(text), text, 0, kAfterDelayMs);
}

// ---- Connect and disconnect ----------------------------------------------------------

ConnErr Hf2050Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    ForgetControls();
    m_modeLetter = 0;
    m_receiverBfoKnown = false;
    m_otherUnit = false;
    m_awaited = -1;
    m_dumping = false;

    const std::string command = hf2050::connectCommand(Unit());
    SendTraced(hf2050::frame(command), command, 0, kAfterDelayMs);
    const std::string reply = ReadTraced(100, Records());
    if (reply.empty() || family::beginsWithTwoDel(reply)) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    if (!hf2050::isReplyFromUnit(reply, Unit())) {
        return FailConnect(ConnectRxIdenError, "bad address\n");
    }
    std::string rest = reply;
    while (auto record = family::takeRecord(rest, '\n')) {
        ApplyRecord(*record);
    }
    m_channel.SetEventMode(true);
    TraceConnectDone();
    return ConnectNoError;
}

void Hf2050Receiver::RxClose()
{
    // The receiver stays as the panel switch has it: nothing to hand back.
    m_channel.SetEventMode(false);
    m_awaited = -1;
    m_dumping = false;
}

std::int32_t Hf2050Receiver::RxRemote(std::int32_t)
{
    // Local or remote is the front panel's switch; the replies tell it.
    return IsConnected() != 0 ? 1 : 0;
}

void Hf2050Receiver::FollowPanelSwitch(bool remote)
{
    FamilyReceiver::RxRemote(remote ? 1 : 0);
}

// ---- Poll and received data ---------------------------------------------------------

std::int32_t Hf2050Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    // A channel read that is never answered does not hold the next back for
    // ever, and the client that was told it started learns that it failed.
    if (m_awaited >= 0 && ++m_awaitTicks > RxMaxSilentTicks()) {
        EndChannelRead();
        ReportDataError(DataErrData);
        if (IsConnected() == 0) {
            return 0;  // a handler reconnected or disconnected meanwhile
        }
    }
    SendText(hf2050::kPoll);
    return 0;
}

bool Hf2050Receiver::ApplyRecord(const std::string& record)
{
    const std::string line = withoutLineEnd(record);
    if (line.empty()) {
        return true;
    }
    if (IsConnected() != 0) {
        TraceReceived(" FRAME   " + line + "\n");
    }
    switch (hf2050::recordKind(line)) {
    case 'U': {
        const auto unit = hf2050::unitOf(line);
        if (!unit) {
            OnDataError();
            return true;
        }
        m_otherUnit = *unit != Unit();
        if (!m_otherUnit) {
            ApplyFields(hf2050::parseFields(line));
        }
        return true;
    }
    case 'C':
        if (m_awaited >= 0) {
            ApplyChannel(hf2050::parseFields(line));
        }
        return true;
    case 'N':
    case 'S':
    case 'R':
        if (const auto level = hf2050::parseLevel(line)) {
            if (!m_otherUnit) {
                ApplyLevel(line.front(), *level);
            }
        } else {
            OnDataError();
        }
        return true;
    default:
        // A line of no known record: reported, the receiver counts as alive.
        OnDataError();
        return true;
    }
}

void Hf2050Receiver::ApplyFields(const hf2050::Fields& f)
{
    if (f.bfoHz) {
        ChangeBfo(*f.bfoHz);
        if (m_modeLetter == 'C' && *f.bfoHz != 0) {
            m_receiverBfo = *f.bfoHz;
            m_receiverBfoKnown = true;
        }
    }
    if (f.frequencyHz && *f.frequencyHz >= 0) {
        ChangeFrq(static_cast<std::uint32_t>(*f.frequencyHz));
    }
    if (f.modeWord) {
        m_modeLetter = f.modeWord->empty() ? 0 : f.modeWord->front();
        const std::int32_t mode = hf2050::modeFromWord(*f.modeWord, Current().BFOValue, Current().ModType);
        if (mode >= 0) {
            ChangeMod(static_cast<MODTYPE>(mode));
            // A reply to "MO ?": the receiver brought the new mode's bandwidth.
            if (f.modeFirst && !f.bandwidthHz) {
                ChangeFlt(SlotWidth(hf2050::bandwidthSlotForMode(mode)));
            }
        }
    } else if (f.bfoHz && m_modeLetter == 'C') {
        // A BFO alone: CW, RTTY and FAX are told apart by it.
        const std::int32_t mode = hf2050::modeFromWord("C", Current().BFOValue, Current().ModType);
        ChangeMod(static_cast<MODTYPE>(mode));
    }
    if (f.bandwidthHz && *f.bandwidthHz > 0) {
        ChangeFlt(*f.bandwidthHz);
    }
    if (f.agcWord) {
        const std::int32_t agc = hf2050::agcFromWord(*f.agcWord, Current().AgcType);
        if (agc >= 0) {
            ChangeAgc(static_cast<AGCTYPE>(agc));
        }
    }
    if (f.channel) {
        ChangeChn(static_cast<std::int16_t>(std::clamp(*f.channel, -1, 32767)));
    }
    if (f.remote) {
        FollowPanelSwitch(*f.remote);
    }
}

void Hf2050Receiver::ApplyLevel(char kind, int level)
{
    const auto level16 = static_cast<std::int16_t>(std::clamp(level, -32768, 32767));
    switch (kind) {
    case 'N': {
        const std::int32_t nbl = hf2050::noiseBlankerFromLevel(level, Current().NBlType);
        if (m_current.NBlLevel != level16) {
            m_current.NBlLevel = level16;
            m_changed.NBlLevel = 1;
        }
        ChangeNBl(static_cast<NBLTYPE>(nbl));
        break;
    }
    case 'S':
        if (m_current.SqlLevel != level16) {
            m_current.SqlLevel = level16;
            m_changed.SqlLevel = 1;
        }
        ChangeSql(level > 0 ? SqlOn : SqlOff);
        break;
    case 'R': ChangeAgcLevel(level16); break;
    default: break;
    }
}

void Hf2050Receiver::ApplyChannel(const hf2050::Fields& f)
{
    const int channel = m_awaited;
    if (f.channel && *f.channel >= 0 && *f.channel != channel) {
        return;  // another read's answer
    }
    std::int32_t hz = 0;
    std::int32_t bfo = 0;
    std::int32_t mode = ModNone;
    std::int32_t flt = 0;
    std::int32_t agc = AgcNone;
    if (f.channel && *f.channel >= 0) {
        hz = f.frequencyHz.value_or(0);
        bfo = f.bfoHz.value_or(0);
        mode = f.modeWord ? hf2050::modeFromWord(*f.modeWord, bfo, ModNone) : ModNone;
        flt = std::max(0, f.bandwidthHz.value_or(0));
        agc = f.agcWord ? hf2050::agcFromWord(*f.agcWord, AgcNone) : AgcNone;
    }
    const bool dumping = m_dumping;
    m_awaited = -1;
    if (DriverEvents* owner = Owner()) {
        owner->RxChnStatus(m_index, static_cast<std::int16_t>(channel), hz, bfo, mode, flt, agc, 0);
    }
    // The handler may have disconnected or started another read.
    if (!dumping || !m_dumping || m_awaited >= 0) {
        return;
    }
    if (channel + 1 < ChnCount() && IsConnected() != 0) {
        m_awaited = channel + 1;
        m_awaitTicks = 0;
        if (SendText(hf2050::readChannelCommand(channel + 1))) {
            return;
        }
        m_awaited = -1;
    }
    EndChannelRead();
}

void Hf2050Receiver::EndChannelRead()
{
    const bool dumping = m_dumping;
    m_awaited = -1;
    m_dumping = false;
    if (dumping) {
        if (DriverEvents* owner = Owner()) {
            owner->RxChnStatus(m_index, -1, 0, 0, ModNone, 0, AgcNone, 0);
        }
    }
}

// ---- Setters ------------------------------------------------------------------------

void Hf2050Receiver::RxSendFrq(std::int32_t hz, MODTYPE, std::int32_t)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int64_t receiverHz = static_cast<std::int64_t>(hz) - RxOffset();
    if (receiverHz < RxFrqMin() || receiverHz > RxFrqMax()) {
        return;
    }
    const std::int32_t wire = std::min(onWire(static_cast<std::int32_t>(receiverHz)), RxFrqMax() / 10 * 10);
    const std::uint32_t before = Requested().FrqValue;
    RequestFrq(static_cast<std::uint32_t>(wire));
    if (!SendWrapped(hf2050::frequencyCommand(wire))) {
        RequestFrq(before);
    }
}

void Hf2050Receiver::RxSendBFO(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int32_t bfo = onWire(std::clamp(hz, m_info->bfoMin, m_info->bfoMax));
    RequestBfo(bfo);
    if (SendWrapped(hf2050::bfoCommand(bfo))) {
        m_receiverBfo = bfo;
        m_receiverBfoKnown = true;
    } else {
        ClearBfoRequest();
    }
}

MODTYPE Hf2050Receiver::SetMod(MODTYPE mod)
{
    if (IsConnected() == 0 || mod == ModNone) {
        return Current().ModType;
    }
    // AM_U and AM_L go out as AM, CW_F as CW; ISB only when it is fitted.
    const MODTYPE wanted = (mod == ModAM_U || mod == ModAM_L) ? ModAM : (mod == ModCW_F ? ModCW : mod);
    const std::string_view word = hf2050::modeWord(wanted);
    if (word.empty() || ModExist(wanted) == 0) {
        return Current().ModType;
    }
    if (wanted == EffectiveMode()) {
        // Already there (or on its way): nothing to send, nothing to confirm.
        return wanted;
    }
    // RTTY and FAX are CW with their BFO; CW takes its own BFO back when the
    // one the receiver holds would read as RTTY or FAX.
    bool withBfo = wanted == ModRTTY || wanted == ModFAX;
    if (wanted == ModCW) {
        withBfo = !m_receiverBfoKnown || m_receiverBfo == kRttyBfo || m_receiverBfo == kFaxBfo;
    }
    std::string command = hf2050::modeCommand(word);
    std::int32_t bfo = 0;
    if (withBfo) {
        bfo = onWire(std::clamp(ModeOffset(wanted, 4), m_info->bfoMin, m_info->bfoMax));
        command += ";" + hf2050::bfoCommand(bfo);
        RequestBfo(bfo);
    }
    RequestMod(wanted);
    if (!SendWrapped(command)) {
        RequestMod(ModNone);
        if (withBfo) {
            ClearBfoRequest();
        }
        return Current().ModType;
    }
    if (withBfo) {
        m_receiverBfo = bfo;
        m_receiverBfoKnown = true;
    }
    return wanted;
}

AGCTYPE Hf2050Receiver::SetAgc(AGCTYPE agc)
{
    if (IsConnected() == 0 || agc == AgcNone || agc == Current().AgcType) {
        return Current().AgcType;
    }
    if (AgcRefused(agc)) {
        return Current().AgcType;
    }
    const std::string_view word = hf2050::agcWord(agc);
    if (word.empty()) {
        return Current().AgcType;
    }
    RequestAgc(agc);
    if (!SendWrapped(hf2050::agcCommand(word))) {
        RequestAgc(AgcNone);
    }
    return Current().AgcType;
}

std::int16_t Hf2050Receiver::SetAgcLvl(std::int16_t level)
{
    // The RF gain, which the receiver reports in its R record.
    if (IsConnected() == 0) {
        return Current().AgcLevel;
    }
    RequestAgcLevel(level);
    if (!SendWrapped(hf2050::rfGainCommand(level))) {
        RequestAgcLevel(-1);
        return Current().AgcLevel;
    }
    return level;
}

NBLTYPE Hf2050Receiver::SetNBl(NBLTYPE nbl)
{
    if (IsConnected() == 0 || NBlExist(nbl) == 0) {
        return Current().NBlType;
    }
    // Each state by a level of its range; a level already in the range stays.
    const int level = Current().NBlLevel;
    int wanted = 0;
    if (nbl == NBlPeek) {
        wanted = (level >= 1 && level <= 5) ? level : 3;
    } else if (nbl == NBlWide) {
        wanted = (level >= 6 && level <= 10) ? level : 8;
    }
    RequestNBl(nbl);
    if (!SendWrapped(hf2050::noiseBlankerCommand(wanted))) {
        RequestNBl(NBlNone);
        return Current().NBlType;
    }
    return nbl;
}

std::int16_t Hf2050Receiver::SetNBlLvl(std::int16_t level)
{
    if (IsConnected() == 0 || level < 0 || level > 10) {
        return Current().NBlLevel;
    }
    if (!SendWrapped(hf2050::noiseBlankerCommand(level))) {
        return Current().NBlLevel;
    }
    return level;
}

std::int16_t Hf2050Receiver::SetSqlLvl(std::int16_t level)
{
    if (IsConnected() == 0 || level < 0) {
        return Current().SqlLevel;
    }
    if (!SendWrapped(hf2050::squelchCommand(level))) {
        return Current().SqlLevel;
    }
    return level;
}

std::int32_t Hf2050Receiver::SetFltBW(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return -1;
    }
    const int slot = NearestOfferedSlot(hz);
    if (slot < 0) {
        return -1;
    }
    const std::int32_t width = SlotWidth(slot);
    if (width != Current().FltValue) {
        RequestFlt(width);
        if (!SendWrapped(hf2050::bandwidthCommand(width))) {
            RequestFlt(-1);
            return Current().FltValue;
        }
    }
    return width;
}

// ---- Memory channels -----------------------------------------------------------------

RCODE Hf2050Receiver::ChnLoad(std::int16_t chn)
{
    if (chn < 0 || chn >= ChnCount()) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    return ChannelLoadSent(SendWrapped(hf2050::channelCommand(chn)));
}

RCODE Hf2050Receiver::ChnRead(std::int16_t chn)
{
    if (chn < 0 || chn >= ChnCount()) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    if (m_awaited >= 0) {
        return R_WAIT;
    }
    m_awaited = chn;
    m_awaitTicks = 0;
    if (!SendWrapped(hf2050::readChannelCommand(chn))) {
        m_awaited = -1;
        return R_KO;
    }
    return R_OK;
}

RCODE Hf2050Receiver::ChnDump()
{
    if (IsConnected() == 0) {
        return R_KO;
    }
    if (m_awaited >= 0) {
        return R_WAIT;
    }
    m_dumping = true;
    const RCODE first = ChnRead(0);
    if (first != R_OK) {
        m_dumping = false;
    }
    return first;
}

RCODE Hf2050Receiver::ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz,
                               AGCTYPE agc, std::int32_t)
{
    if (chn < 0 || chn >= ChnCount()) {
        return R_PERR;
    }
    const std::string_view modeWord = hf2050::modeWord(mod);
    if (modeWord.empty() || hz < RxFrqMin() || hz > RxFrqMax()) {
        return R_PERR;
    }
    std::string_view agcWord = hf2050::agcWord(agc);
    if (agcWord.empty()) {
        agcWord = hf2050::agcWord(Current().AgcType);
    }
    if (agcWord.empty()) {
        agcWord = hf2050::agcWord(AgcSlow);
    }
    const int slot = NearestOfferedSlot(fltHz);
    if (slot < 0) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    const bool withBfo = IsBFOMod(mod) != 0;
    std::int32_t channelBfo = onWire(std::clamp(bfo, m_info->bfoMin, m_info->bfoMax));
    if (withBfo && (mod == ModRTTY || mod == ModFAX)) {
        channelBfo = ModeOffset(mod, 4);
    }
    const std::string command =
        hf2050::writeChannelCommand(chn, onWire(hz), modeWord, withBfo, channelBfo, SlotWidth(slot), agcWord);
    return SendWrapped(command) ? R_OK : R_KO;
}

RCODE Hf2050Receiver::ChnSave(std::int16_t chn)
{
    if (Current().FrqValue == 0xFFFFFFFFu) {
        return R_PERR;
    }
    const tag_EventData& now = Current();
    return ChnWrite(chn, static_cast<std::int32_t>(now.FrqValue), now.BFOValue, now.ModType, now.FltValue, now.AgcType,
                    0);
}

// ---- Code conversions -------------------------------------------------------------

std::int32_t Hf2050Receiver::RxCodeToMod(std::int32_t code)
{
    const char word[2] = {static_cast<char>(code), '\0'};
    return hf2050::modeFromWord(std::string_view(word, code == 0 ? 0 : 1), Current().BFOValue, Current().ModType);
}

std::int32_t Hf2050Receiver::RxCodeToAgc(std::int32_t code)
{
    const char word[2] = {static_cast<char>(code), '\0'};
    return hf2050::agcFromWord(std::string_view(word, code == 0 ? 0 : 1), Current().AgcType);
}

}  // namespace quorvin
