// REK085 driver: addressed frames, the connect status, the status record
// with its frame checks, setters, outputs and memory channels.
#include "rek085receiver.h"

#include <algorithm>
#include <cmath>

#include "driver/core/driverevents.h"
#include "driver/models/familyprotocol.h"
#include "platform/settingsstore.h"

namespace quorvin {

namespace {

constexpr int kAfterDelayMs = 10;
// Longer than the longest record (LF, 31 characters, CR), so a record split
// between two reads is never thrown away.
constexpr std::size_t kMaxUnterminated = 64;
constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;

std::int32_t roundTo(std::int32_t hz, int step)
{
    return static_cast<std::int32_t>(std::lround(static_cast<double>(hz) / step) * step);
}

}  // namespace

Rek085Receiver::Rek085Receiver(DriverEvents* owner) : FamilyReceiver(owner, DrvREK085)
{
    SetRecordFormat('\r', kMaxUnterminated);
    SetManualAgcGated();
}

int Rek085Receiver::Address()
{
    const int address = m_channel.BusAddress();
    return address > 99 ? 99 : address;
}

bool Rek085Receiver::SendFrame(char prefix, std::string_view command)
{
    return SendTraced(rek085::commandFrame(prefix, Address(), command), command, 0, kAfterDelayMs);
}

bool Rek085Receiver::SendText(std::string_view command)
{
    return SendFrame(rek085::kCommand, command);
}

void Rek085Receiver::LoadModelOptions(const std::string& key)
{
    const auto stored = platform::SettingsStore::shared().readNumber(key, "R_MOpt", kRek085DefaultVariant);
    const Rek085Variant* variant = rek085Variant(stored);
    m_variant = variant != nullptr ? stored : kRek085DefaultVariant;
    if (variant == nullptr) {
        variant = rek085Variant(kRek085DefaultVariant);
    }
    // The variant decides the widths of F_W1..F_W7.
    for (std::size_t slot = 0; slot < variant->widths.size(); ++slot) {
        m_fltValue[slot] = variant->widths[slot];
    }
}

void Rek085Receiver::SaveModelOptions(const std::string& key)
{
    platform::SettingsStore::shared().writeNumber(key, "R_MOpt", m_variant);
}

std::optional<std::int32_t> Rek085Receiver::ModelOptionValue(std::string_view name) const
{
    if (name == "R_MOpt") {
        return m_variant;
    }
    return std::nullopt;
}

void Rek085Receiver::ApplyModelOption(std::string_view name, std::int32_t value)
{
    const Rek085Variant* variant = rek085Variant(value);
    if (name != "R_MOpt" || variant == nullptr) {
        return;
    }
    m_variant = value;
    for (std::size_t slot = 0; slot < variant->widths.size(); ++slot) {
        m_fltValue[slot] = variant->widths[slot];
    }
}

std::array<std::int32_t, 7> Rek085Receiver::SlotWidths() const
{
    std::array<std::int32_t, 7> widths{};
    for (std::size_t slot = 0; slot < widths.size(); ++slot) {
        widths[slot] = m_fltValue[slot];
    }
    return widths;
}

std::int32_t Rek085Receiver::RxMaxSilentTicks()
{
    const std::int32_t retries = FamilyReceiver::RxMaxSilentTicks();
    // Held in remote, and until the first answer of a connection, the
    // status is asked for on every tick.
    if (HeldInRemote() || IsPending() != 0) {
        return retries;
    }
    // Out of remote the status is asked for every kSlowPoll ticks: the
    // silence limit must reach past the next request.
    return std::max(6 * retries, kSlowPoll + retries);
}

// ---- Connect and disconnect ----------------------------------------------------------

ConnErr Rek085Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    m_awaited = -2;
    m_transfer = false;
    m_dumping = false;
    m_output = -1;
    m_reportedOutput = -1;
    m_retuneForMode = false;
    m_receiverHz = -1;
    ForgetRetune();
    m_lastStatus.clear();
    // The first tick asks for the status at once: that answer completes the connection.
    m_pollCounter = kSlowPoll - 1;

    TraceOutcome(" GET STATUS\n");
    SendText(rek085::kStatusQuery);
    const std::string reply = ReadTraced(100, Records());
    if (reply.empty()) {
        const ConnErr link = m_channel.LastError();
        return FailConnect(link != ConnectNoError ? link : ConnectLnTimeOut, "empty response\n");
    }
    if (family::beginsWithTwoDel(reply)) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    // Any one of LF, "*" and "A" out of place makes it no frame of this receiver.
    if (!rek085::hasFrameHeader(reply)) {
        return FailConnect(ConnectRxIdenError, "bad frame\n");
    }
    const auto answered = rek085::responderAddress(reply);
    if (!answered || *answered != Address()) {
        return FailConnect(ConnectRxBadAddr, "bad addr\n");
    }
    const std::string record = reply.substr(0, reply.find('\r'));
    const auto status = rek085::parseStatus(record);
    if (!status) {
        return FailConnect(ConnectRxIdenError, "bad frame\n");
    }
    ApplyStatus(*status, false);
    SendText(rek085::kConnectEnd);
    m_channel.SetEventMode(true);
    TraceConnectDone();
    return ConnectNoError;
}

void Rek085Receiver::RxClose()
{
    if (InDialogue()) {
        return;
    }
    DialogueScope dialogue(*this);
    m_channel.SetEventMode(false);
    // The receiver is left in a plain mode without BFO at the frequency it shows.
    const MODTYPE mode = Current().ModType;
    const MODTYPE restored = (mode == ModCW || mode == ModRTTY || mode == ModFAX || mode == ModNone) ? ModUSB : mode;
    SendText(rek085::modeCommand(rek085::codeFromMode(restored, 2)));
    m_channel.Read(50, NoReply());
    SendText(rek085::bfoCommand(0));
    m_channel.Read(50, NoReply());
    if (Current().FrqValue != kUnknown && static_cast<std::int32_t>(Current().FrqValue) <= RxFrqMax()) {
        SendText(rek085::frequencyCommand(static_cast<std::int32_t>(Current().FrqValue)));
        m_channel.Read(50, NoReply());
    }
    m_awaited = -2;
    m_transfer = false;
    m_dumping = false;
    DropRemote();
}

// ---- Poll and received data ---------------------------------------------------------

std::int32_t Rek085Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    // A channel read that is never answered does not stop the polls for ever,
    // nor for as long as the silence limit held in remote (the retry count):
    // the status requests resume while a receiver that answers them is
    // still counted alive.
    if (m_transfer && ++m_transferTicks > std::max(1, FamilyReceiver::RxMaxSilentTicks() / 2)) {
        EndTransfer();
    }
    ++m_pollCounter;
    // Until the receiver's first answer has come (a lost one would keep the
    // connection pending for the whole slow period), every tick asks.
    if (HeldInRemote() || IsPending() != 0 || m_pollCounter >= kSlowPoll) {
        m_pollCounter = 0;
        if (!m_transfer) {
            SendText(rek085::kStatusQuery);
        }
    }
    return 0;
}

bool Rek085Receiver::ApplyRecord(const std::string& record)
{
    std::string line = record;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.pop_back();
    }
    if (line.size() <= 3) {
        return true;  // a stray short line
    }
    // Noise before the frame's LF is dropped.
    const std::size_t lf = line.find('\n');
    if (lf == std::string::npos) {
        return false;
    }
    const auto status = rek085::parseStatus(std::string_view(line).substr(lf));
    if (!status) {
        return false;
    }
    if (status->address != Address()) {
        return true;  // another receiver on the shared line
    }
    if (m_awaited != -2 && status->channel == m_awaited) {
        ApplyChannel(*status);
    } else {
        ApplyStatus(*status, true);
    }
    return true;
}

void Rek085Receiver::ApplyStatus(const rek085::Status& s, bool live)
{
    m_lastStatus = s.settings;
    const std::uint32_t displayBefore = Current().FrqValue;
    const MODTYPE before = Current().ModType;
    const std::int32_t receiverBefore = m_receiverHz;
    const bool requested = Requested().FrqValue != kUnknown || Requested().ModType != ModNone;
    m_receiverHz = s.frequencyHz;

    ChangeChn(static_cast<std::int16_t>(s.channel));
    ChangeBfo(s.bfoHz);
    const std::int32_t mode = rek085::modeFromCode(s.modeCode, Current().ModType);
    if (mode >= 0) {
        ChangeMod(static_cast<MODTYPE>(mode));
    }
    const MODTYPE now = Current().ModType;
    // A mode turned at the panel: the receiver kept its own frequency. It
    // is tuned again for the new mode's carrier once the read is parsed,
    // and the frequency shown stays where it was. A channel recalled there
    // changes both at once: taken as the receiver reports it.
    const bool panelMode = live && !requested && before != ModNone && now != before &&
                           Carrier(before) != Carrier(now) && s.frequencyHz == receiverBefore &&
                           displayBefore != kUnknown;
    if (panelMode) {
        m_retuneForMode = true;
        m_displayBefore = displayBefore;
    } else if (!(live && SentBeforeRetune(s.frequencyHz, now))) {
        // RTTY and FAX are shown at their carrier; the frequency the driver
        // sends takes the same offset off again.
        const std::int64_t shown = static_cast<std::int64_t>(s.frequencyHz) + Carrier(now);
        ChangeFrq(static_cast<std::uint32_t>(std::clamp<std::int64_t>(shown, RxFrqMin(), RxFrqMax())));
    }

    // Codes outside 1..7 (0, "/") name no slot; a slot without a fitted filter neither.
    const int slot = rek085::slotFromFilterCode(s.filterCode);
    if (slot >= 0 && SlotWidth(slot) > 0) {
        ChangeFlt(SlotWidth(slot));
    }
    const std::int32_t agc = rek085::agcFromCode(s.agcCode, Current().AgcType);
    if (agc >= 0) {
        ChangeAgc(static_cast<AGCTYPE>(agc));
    }
    m_output = s.output;
}

void Rek085Receiver::ApplyChannel(const rek085::Status& s)
{
    // A channel read recalls the channel: the next status shows it as the
    // receiver's own state; the record itself only describes the channel.
    const int channel = m_awaited;
    const std::int32_t mode = rek085::modeFromCode(s.modeCode, ModNone);
    const int slot = rek085::slotFromFilterCode(s.filterCode);
    const std::int32_t flt = slot >= 0 ? SlotWidth(slot) : 0;
    const std::int32_t agc = rek085::agcFromCode(s.agcCode, AgcNone);
    m_awaited = -2;
    m_transfer = false;
    const bool dumping = m_dumping;
    if (DriverEvents* owner = Owner()) {
        owner->RxChnStatus(m_index, static_cast<std::int16_t>(channel), s.frequencyHz, s.bfoHz, mode, flt, agc, 0);
    }
    // The handler may have disconnected or started a read of its own.
    if (!dumping || !m_dumping || m_awaited != -2) {
        return;
    }
    m_dumping = false;
    if (channel + 1 < ChnCount() && IsConnected() != 0) {
        m_dumping = true;
        if (ChnRead(static_cast<std::int16_t>(channel + 1)) == R_OK) {
            return;
        }
        m_dumping = false;
    }
    if (DriverEvents* owner = Owner()) {
        owner->RxChnStatus(m_index, -1, 0, 0, ModNone, 0, AgcNone, 0);
    }
}

void Rek085Receiver::EndTransfer()
{
    const bool dumping = m_dumping;
    m_awaited = -2;
    m_transfer = false;
    m_dumping = false;
    if (dumping) {
        if (DriverEvents* owner = Owner()) {
            owner->RxChnStatus(m_index, -1, 0, 0, ModNone, 0, AgcNone, 0);
        }
    }
}

void Rek085Receiver::RecordsDone()
{
    // The selected output, reported when the receiver shows another one.
    if (m_output >= 0 && m_output != m_reportedOutput && Current().FrqValue != kUnknown && IsConnected() != 0) {
        const int old = m_reportedOutput;
        m_reportedOutput = m_output;
        if (DriverEvents* owner = Owner()) {
            if (old >= 0) {
                owner->RxOutUpdated(m_index, static_cast<std::int16_t>(old), 0);
            }
            owner->RxOutUpdated(m_index, static_cast<std::int16_t>(m_output), 1);
        }
    }
    if (!m_retuneForMode) {
        return;
    }
    m_retuneForMode = false;
    // A mode changed at the panel: the shown frequency stays, the receiver
    // is tuned for the new mode's carrier.
    if (IsConnected() == 0 || Requested().FrqValue != kUnknown || Requested().ModType != ModNone ||
        m_displayBefore == kUnknown) {
        return;
    }
    const std::uint64_t sentBefore = CommandsSent();
    RxSendFrq(static_cast<std::int32_t>(m_displayBefore) + RxOffset(), Current().ModType, 1);
    if (CommandsSent() != sentBefore && Requested().FrqValue != kUnknown) {
        NoteRetune(m_receiverHz, Current().ModType, Requested().FrqValue);
    }
}

// ---- Setters ------------------------------------------------------------------------

void Rek085Receiver::RxSendFrq(std::int32_t hz, MODTYPE, std::int32_t)
{
    if (IsConnected() == 0) {
        return;
    }
    // The receiver tunes in 10 Hz steps, up to the last step below its top.
    const std::int64_t asked = static_cast<std::int64_t>(hz) - RxOffset();
    if (asked < RxFrqMin() || asked > RxFrqMax()) {
        return;
    }
    const std::int64_t shown = std::min(roundTo(static_cast<std::int32_t>(asked), 10), RxFrqMax() / 10 * 10);
    const std::int64_t wire = shown - Carrier(EffectiveMode());
    if (wire < RxFrqMin() || wire > RxFrqMax() || shown < RxFrqMin() || shown > RxFrqMax()) {
        return;
    }
    const std::uint32_t before = Requested().FrqValue;
    RequestFrq(static_cast<std::uint32_t>(shown));
    if (!SendWrapped(rek085::frequencyCommand(static_cast<std::int32_t>(wire)))) {
        RequestFrq(before);
    }
}

void Rek085Receiver::RxSendBFO(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int32_t bfo = roundTo(std::clamp(hz, m_info->bfoMin, m_info->bfoMax), 100);
    RequestBfo(bfo);
    if (!SendWrapped(rek085::bfoCommand(bfo))) {
        ClearBfoRequest();
    }
}

MODTYPE Rek085Receiver::SetMod(MODTYPE mod)
{
    if (IsConnected() == 0 || mod == ModNone || mod == Current().ModType) {
        return Current().ModType;
    }
    const int code = rek085::codeFromMode(mod, -1);
    if (code < 0) {
        return Current().ModType;
    }
    const MODTYPE wanted = static_cast<MODTYPE>(rek085::modeFromCode(code, Current().ModType));
    if (wanted == EffectiveMode()) {
        // Already there (or on its way): nothing to send, nothing to confirm.
        return Current().ModType;
    }
    // Taken before any send: a status may arrive during the sends' waits.
    const std::uint32_t shown = Current().FrqValue;
    const bool retune = Carrier(wanted) != Carrier(Current().ModType) && shown != kUnknown;
    RequestMod(wanted);
    bool sent = SendWrapped(rek085::modeCommand(code));
    // CW, RTTY and FAX bring their BFO along.
    if (sent && (wanted == ModCW || wanted == ModRTTY || wanted == ModFAX)) {
        RxSendBFO(ModeOffset(wanted, 4));
    }
    // The shown frequency stays where it is for the new mode's carrier.
    if (sent && retune) {
        const std::uint32_t target = Requested().FrqValue != kUnknown ? Requested().FrqValue : shown;
        RxSendFrq(static_cast<std::int32_t>(target) + RxOffset(), wanted, 1);
    }
    if (!sent) {
        RequestMod(ModNone);
    }
    return Current().ModType;
}

AGCTYPE Rek085Receiver::SetAgc(AGCTYPE agc)
{
    if (IsConnected() == 0 || agc == AgcNone || agc == Current().AgcType) {
        return Current().AgcType;
    }
    if (AgcRefused(agc)) {
        return Current().AgcType;
    }
    const int code = rek085::codeFromAgc(agc, -1);
    if (code < 0) {
        return Current().AgcType;
    }
    RequestAgc(static_cast<AGCTYPE>(rek085::agcFromCode(code, agc)));
    if (!SendWrapped(rek085::agcCommand(code))) {
        RequestAgc(AgcNone);
    }
    return Current().AgcType;
}

std::int32_t Rek085Receiver::SetFltBW(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return -1;
    }
    const int slot = rek085::chooseFilterSlot(SlotWidths(), m_fltShown, hz);
    if (slot < 0) {
        return -1;
    }
    const std::int32_t width = SlotWidth(slot);
    if (width != Current().FltValue) {
        RequestFlt(width);
        if (!SendWrapped(rek085::filterCommand(slot + 1))) {
            RequestFlt(-1);
            return Current().FltValue;
        }
    }
    return width;
}

std::int32_t Rek085Receiver::SetOut(std::int16_t output, std::int32_t state)
{
    if (output < 0 || output >= OutCount()) {
        return -1;
    }
    if (state == 0) {
        return 1;  // one output is always on: switching one off does nothing
    }
    if (IsConnected() == 0 || !SendWrapped(rek085::outputCommand(static_cast<unsigned>(output)))) {
        return -1;
    }
    m_output = output;
    return state;
}

std::int32_t Rek085Receiver::GetOut(std::int16_t output)
{
    if (output < 0 || output >= OutCount()) {
        return -1;
    }
    return output == m_output ? 1 : 0;
}

// ---- Memory channels -----------------------------------------------------------------

RCODE Rek085Receiver::ChnLoad(std::int16_t chn)
{
    if (chn < 0 || chn >= ChnCount()) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    return ChannelLoadSent(SendWrapped(rek085::channelCommand(static_cast<unsigned>(chn))));
}

RCODE Rek085Receiver::ChnSave(std::int16_t chn)
{
    if (chn < 0 || chn >= ChnCount() || m_lastStatus.empty()) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    return SendFrame(rek085::kChannelWrite, rek085::channelCommand(static_cast<unsigned>(chn)) + m_lastStatus) ? R_OK
                                                                                                               : R_KO;
}

RCODE Rek085Receiver::ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz,
                               AGCTYPE agc, std::int32_t)
{
    if (chn < 0 || chn >= ChnCount()) {
        return R_PERR;
    }
    // "F%07d" holds 0..99999990 Hz; the receiver tunes to 29999999.
    if (hz < RxFrqMin() || hz > RxFrqMax()) {
        return R_PERR;
    }
    const int modeCode = rek085::codeFromMode(mod, -1);
    const int slot = rek085::chooseFilterSlot(SlotWidths(), m_fltShown, fltHz);
    int agcCode = rek085::codeFromAgc(agc, -1);
    if (agcCode < 0) {
        agcCode = rek085::codeFromAgc(AgcSlow, 0);
    }
    if (modeCode < 0 || slot < 0) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    const std::int32_t channelBfo = roundTo(std::clamp(bfo, m_info->bfoMin, m_info->bfoMax), 100);
    const std::string text = rek085::channelCommand(static_cast<unsigned>(chn)) +
                             rek085::settingsText(hz, modeCode, channelBfo, slot + 1, agcCode);
    return SendFrame(rek085::kChannelWrite, text) ? R_OK : R_KO;
}

RCODE Rek085Receiver::ChnClear(std::int16_t chn)
{
    return ChnWrite(chn, 10000000, 0, ModCW, 3400, AgcSlow, 0);
}

RCODE Rek085Receiver::ChnRead(std::int16_t chn)
{
    if (chn < 0 || chn >= ChnCount()) {
        return R_PERR;
    }
    if (m_awaited != -2) {
        return IsConnected() != 0 ? R_WAIT : R_KO;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    m_transfer = true;
    m_transferTicks = 0;
    m_awaited = chn;
    if (!SendFrame(rek085::kChannelRead, rek085::channelCommand(static_cast<unsigned>(chn)))) {
        m_transfer = false;
        m_awaited = -2;
        return R_KO;
    }
    return R_OK;
}

RCODE Rek085Receiver::ChnDump()
{
    if (m_awaited != -2) {
        return IsConnected() != 0 ? R_WAIT : R_KO;
    }
    m_dumping = true;
    const RCODE first = ChnRead(0);
    if (first != R_OK) {
        m_dumping = false;
    }
    return first;
}

// ---- Code conversions -------------------------------------------------------------

std::int32_t Rek085Receiver::RxCodeToMod(std::int32_t code)
{
    return rek085::modeFromCode(code, Current().ModType);
}

std::int16_t Rek085Receiver::RxModToCode(std::int32_t mod)
{
    return static_cast<std::int16_t>(rek085::codeFromMode(mod, rek085::codeFromMode(Current().ModType, -1)));
}

std::int32_t Rek085Receiver::RxCodeToAgc(std::int32_t code)
{
    return rek085::agcFromCode(code, Current().AgcType);
}

std::int16_t Rek085Receiver::RxAgcToCode(std::int32_t agc)
{
    return static_cast<std::int16_t>(rek085::codeFromAgc(agc, rek085::codeFromAgc(Current().AgcType, -1)));
}

std::int32_t Rek085Receiver::RxCodeToFlt(std::int32_t code)
{
    const int slot = rek085::slotFromFilterCode(code);
    return slot >= 0 ? SlotWidth(slot) : -1;
}

std::int16_t Rek085Receiver::RxFltToCode(std::int32_t value)
{
    const int slot = rek085::chooseFilterSlot(SlotWidths(), m_fltShown, value);
    return static_cast<std::int16_t>(slot < 0 ? -1 : slot + 1);
}

}  // namespace quorvin
