// NDX264 driver: connect dialogue, poll, status frames, setters, channels.
#include "ndx264receiver.h"

#include <algorithm>
#include <ctime>

#include "driver/core/driverevents.h"
#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"
#include "platform/wait.h"

namespace quorvin {

namespace {

constexpr int kAfterDelayMs = 50;
constexpr int kLastChannel = ndx264::kChannelCount - 1;
constexpr int kSsbDigit = 7;
constexpr int kWaitsPerRecall = 10;
constexpr int kRecalls = 3;
constexpr std::int32_t kFaxBfo = -1900;

bool isLineNoise(std::string_view bytes)
{
    return bytes.find_first_not_of("\r\n ") == std::string_view::npos;
}

// How the receive buffer is cut into frames: 0x11 ... 0x04. Bytes before a
// frame start are noise; a frame that a new status frame ("\x11F") begins
// inside was cut short and is refused, never parsed.
RecordCut cutFrame(std::string_view buffer)
{
    using Cut = RecordCut;
    const std::size_t start = buffer.find(ndx264::kStart);
    if (start == std::string_view::npos) {
        return {isLineNoise(buffer) ? Cut::Skip : Cut::Refuse, buffer.size()};
    }
    if (start > 0) {
        return {isLineNoise(buffer.substr(0, start)) ? Cut::Skip : Cut::Refuse, start};
    }
    const std::size_t end = buffer.find(ndx264::kEnd, 1);
    const std::size_t nextStatus = buffer.find(std::string_view("\x11"
                                                                "F"),
                                               1);
    if (nextStatus != std::string_view::npos && (end == std::string_view::npos || nextStatus < end)) {
        return {Cut::Refuse, nextStatus};
    }
    if (end == std::string_view::npos) {
        return {Cut::Wait, 0};
    }
    return {Cut::Take, end + 1};
}

bool validChannel(std::int16_t chn)
{
    return chn >= 0 && chn < ndx264::kChannelCount;
}

bool isSideband(std::int32_t mod)
{
    return mod == ModUSB || mod == ModLSB || mod == ModISB;
}

// The BFO as the receiver keeps it: 10 Hz places, half away from zero.
std::int32_t receiverBfo(std::int32_t hz)
{
    const std::int32_t clamped = std::clamp(hz, -ndx264::kMaxBfo, ndx264::kMaxBfo);
    return clamped < 0 ? -((-clamped + 5) / 10 * 10) : (clamped + 5) / 10 * 10;
}

}  // namespace

Ndx264Receiver::Ndx264Receiver(DriverEvents* owner) : FamilyReceiver(owner, DrvNDX264)
{
    SetIdleRomID("NDX264");
    SetRecordFinder(cutFrame, kMaxWaiting);
}

bool Ndx264Receiver::SendText(std::string_view command)
{
    return SendTraced(ndx264::frame(command), command, 0, kAfterDelayMs);
}

std::int64_t Ndx264Receiver::ToReceiver(std::int64_t hz, std::int32_t mod) const
{
    const std::int64_t receiverHz = hz - ModeOffset(mod, 3);
    return receiverHz < 0 || receiverHz > ndx264::kMaxFrequency ? hz : receiverHz;
}

char Ndx264Receiver::CurrentLetter() const
{
    return ndx264::letterFromMode(Current().ModType, 'U');
}

char Ndx264Receiver::CurrentAgcChar() const
{
    return ndx264::charFromAgc(Current().AgcType, 'R');
}

std::int32_t Ndx264Receiver::WidthOfDigit(int digit) const
{
    const auto slot = ndx264::slotFromDigit(digit);
    return slot ? SlotWidth(*slot) : Current().FltValue;
}

int Ndx264Receiver::FilterDigitFor(std::int32_t hz, std::int32_t mod) const
{
    if (isSideband(mod)) {
        return kSsbDigit;
    }
    const auto slots = OfferedSlots();
    if (slots.empty()) {
        return -1;
    }
    int chosen = slots.back();
    for (int slot : slots) {
        if (SlotWidth(slot) >= hz) {
            chosen = slot;
            break;
        }
    }
    return ndx264::digitFromSlot(chosen).value_or(-1);
}

// ---- Connect and disconnect ------------------------------------------------------

ConnErr Ndx264Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    TraceOutcome(" SET LOCAL\n");
    m_awaited = -2;
    m_transfer = false;
    m_bfoByPanel = false;
    m_filterDigit = -1;
    ForgetControls();
    ForgetRetune();
    Pause(100);

    SendText(ndx264::kStatusRequest);
    const std::string first = ReadTraced(400, Records());
    // A receiver that left the first request unanswered has failed the
    // connect already: the second request would only hold the line as long
    // again.
    if (first.empty()) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    SendText(ndx264::kStatusRequest);
    const std::string second = ReadTraced(200, Records());
    if (second.empty() || family::beginsWithTwoDel(second)) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    if (second.front() != ndx264::kStart) {
        return FailConnect(ConnectRxIdenError, "bad address\n");
    }
    std::string frames = first + second;
    for (;;) {
        const RecordCut cut = cutFrame(frames);
        const std::size_t length = std::min(cut.length, frames.size());
        if (cut.kind == RecordCut::Wait || length == 0) {
            break;
        }
        if (cut.kind == RecordCut::Take) {
            ApplyRecord(frames.substr(0, length));
        }
        frames.erase(0, length);
    }

    SendText(ndx264::kIdentRequest);
    const std::string ident = ReadTraced(250, Records());
    m_isbOption = ndx264::hasIsbOption(ident);
    m_romId = m_isbOption ? "T.264/ISB" : "T.264";

    if (Current().ChnNumber == -1) {
        // The receiver is set once more to what it reported (an ISB set at
        // the panel stays: its letter would ask for the identification).
        if (Current().ModType != ModISB) {
            SendText(ndx264::modeCommand(CurrentLetter()));
        }
        if (m_filterDigit >= 0) {
            SendText(ndx264::filterCommand(m_filterDigit));
        }
        SendText(ndx264::agcCommand(CurrentAgcChar()));
    } else if (const auto recall = ndx264::recallCommand(Current().ChnNumber)) {
        SendText(*recall);
    }
    m_channel.SetEventMode(true);
    TraceConnectDone();
    return ConnectNoError;
}

void Ndx264Receiver::RxClose()
{
    if (InDialogue()) {
        return;
    }
    DialogueScope dialogue(*this);
    m_channel.SetEventMode(false);
    m_transfer = false;
    // The receiver is left in a plain state: a BFO mode becomes USB, the
    // BFO 0, at the frequency the operator saw.
    MODTYPE mode = Current().ModType;
    if (mode == ModCW || mode == ModCW_F || mode == ModRTTY || mode == ModFAX) {
        mode = ModUSB;
    }
    if (mode != ModISB) {
        SendText(ndx264::modeCommand(ndx264::letterFromMode(mode, CurrentLetter())));
        m_channel.Read(50, NoReply());
    }
    SendText(ndx264::bfoCommand(0));
    m_channel.Read(50, NoReply());
    if (Current().FrqValue != 0xFFFFFFFFu) {
        SendText(ndx264::frequencyCommand(static_cast<std::int32_t>(Current().FrqValue)));
        m_channel.Read(50, NoReply());
    }
    if (m_filterDigit >= 0) {
        SendText(ndx264::filterCommand(m_filterDigit));
        m_channel.Read(50, NoReply());
    }
    DropRemote();
}

// ---- Poll and frames ---------------------------------------------------------------

namespace {
constexpr int kHeldPollsBeforeAsking = 3;
}  // namespace

std::int32_t Ndx264Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed() || m_transfer) {
        return 0;
    }
    const tag_EventData& r = Requested();
    const bool outstanding = r.FrqValue != 0xFFFFFFFFu || r.ModType != ModNone || r.BFOValue != -1 ||
                             r.FltValue != -1 || r.AgcType != AgcNone || r.AttState != AttNone;
    // Held in remote, the receiver's answers would only repeat what is on
    // its way; but a request the line lost would then wait for ever: every
    // few polls the receiver is asked all the same.
    if (HeldInRemote() && outstanding && ++m_heldPolls <= kHeldPollsBeforeAsking) {
        return 0;
    }
    m_heldPolls = 0;
    SendText(ndx264::kStatusRequest);
    return 0;
}

bool Ndx264Receiver::ApplyRecord(const std::string& record)
{
    if (TraceOn() != 0) {
        TraceReceived(" FRAME   " + record + "\n");
    }
    // 0x11, text, CR, LF, 0x04: anything else is no frame of this receiver.
    if (record.size() < 4 || record.front() != ndx264::kStart || record.back() != ndx264::kEnd ||
        record.compare(record.size() - 3, 2, "\r\n") != 0) {
        return false;
    }
    ApplyStatus(ndx264::parseStatusFrame(record));
    return true;
}

void Ndx264Receiver::ApplyStatus(const ndx264::StatusFields& f)
{
    const tag_EventData before = Current();
    const bool live = IsConnected() != 0 && !InDialogue();
    const std::int32_t bfo = f.bfoHz.value_or(before.BFOValue);
    MODTYPE mode = before.ModType;
    if (f.mode) {
        if (const auto m = ndx264::modeFromLetter(*f.mode, bfo, m_bfoByPanel)) {
            mode = static_cast<MODTYPE>(*m);
        }
    }
    const int digit = f.filterDigit.value_or(m_filterDigit);

    // The status of a channel a read waits for is that channel's content.
    if (f.channel && *f.channel >= 0 && *f.channel == m_awaited) {
        m_awaited = -2;
        const std::int32_t hz = f.frequencyHz ? static_cast<std::int32_t>(*f.frequencyHz + ModeOffset(mode, 3)) : 0;
        const std::int32_t agc = f.agc ? ndx264::agcFromChar(*f.agc).value_or(AgcNone) : AgcNone;
        const auto chn = static_cast<std::int16_t>(*f.channel);
        m_channelData.ChnNumber = chn;
        if (DriverEvents* owner = Owner()) {
            owner->RxChnStatus(Index(), chn, hz, bfo, mode, WidthOfDigit(digit), agc, 0);
        }
        if (m_transfer) {
            // Read for the client, not tuned for the operator: the receiver
            // is put back once the transfer ends.
            return;
        }
    }

    if (f.bfoHz) {
        if (live && *f.bfoHz != before.BFOValue && Requested().BFOValue != *f.bfoHz && !HeldInRemote()) {
            m_bfoByPanel = true;
        }
        ChangeBfo(*f.bfoHz);
    }
    ChangeMod(mode);
    if (f.filterDigit) {
        m_filterDigit = *f.filterDigit;
        ChangeFlt(WidthOfDigit(*f.filterDigit));
    }
    if (f.agc) {
        if (const auto agc = ndx264::agcFromChar(*f.agc)) {
            ChangeAgc(static_cast<AGCTYPE>(*agc));
        }
    }
    if (f.attenuationDb) {
        if (const auto att = ndx264::attFromDb(*f.attenuationDb)) {
            ChangeAtt(static_cast<ATTSTATE>(*att), static_cast<std::int16_t>(*f.attenuationDb));
        }
    }
    if (f.signalN) {
        ChangeSMt(*f.signalN, static_cast<std::int16_t>(ndx264::rawSmeter(*f.signalN)));
    }
    const bool recalled = f.channel && *f.channel >= 0;
    if (f.channel) {
        ChangeChn(static_cast<std::int16_t>(*f.channel));
        m_channelData.ChnNumber = static_cast<std::int16_t>(*f.channel);
    }
    if (f.frequencyHz) {
        std::int64_t hz = static_cast<std::int64_t>(*f.frequencyHz) + ModeOffset(mode, 3);
        if (hz < 0 || hz > ndx264::kMaxFrequency) {
            hz = *f.frequencyHz;
        }
        // A new mode with another carrier offset: the receiver kept its own
        // frequency, so it is tuned again to keep the carrier where the
        // operator had it (or asked for it, while that request is on its
        // way), unless the frame already shows it there.
        const std::uint32_t pending = Requested().FrqValue;
        const std::uint32_t target = pending != 0xFFFFFFFFu ? pending : before.FrqValue;
        const bool retune = live && !recalled && before.ModType != mode && target != 0xFFFFFFFFu &&
                            ModeOffset(mode, 3) != ModeOffset(before.ModType, 3) &&
                            static_cast<std::uint32_t>(hz) != target;
        if (retune) {
            const std::uint64_t sentBefore = CommandsSent();
            RxSendFrq(static_cast<std::int32_t>(target) + RxOffset(), mode, 1);
            if (CommandsSent() != sentBefore && Requested().FrqValue != 0xFFFFFFFFu) {
                NoteRetune(*f.frequencyHz, mode, Requested().FrqValue);
            }
        } else if (!(live && SentBeforeRetune(*f.frequencyHz, mode))) {
            ChangeFrq(static_cast<std::uint32_t>(hz));
        }
    }
}

// ---- Capabilities that depend on the state ------------------------------------------------

std::int32_t Ndx264Receiver::GetBFO()
{
    return Current().ModType == ModAM ? 0 : Current().BFOValue;
}

std::int32_t Ndx264Receiver::FltValue(std::int16_t slot)
{
    if (isSideband(Current().ModType) && slot >= 0 && slot < FltCount()) {
        return SlotWidth(0);
    }
    return FamilyReceiver::FltValue(slot);
}

std::int32_t Ndx264Receiver::IsModEmu(MODTYPE mod)
{
    return ndx264::isModeEmulated(mod) ? 1 : 0;
}

std::int32_t Ndx264Receiver::AgcExist(AGCTYPE agc)
{
    // Until the receiver reported its mode the table answers.
    if (Current().FrqValue != 0xFFFFFFFFu && Current().ModType == ModAM && ManualAgcAllowed() == 0) {
        return 0;
    }
    return FamilyReceiver::AgcExist(agc);
}

std::int32_t Ndx264Receiver::RxSMtRaw()
{
    return SMtLocal() < 0 ? -254 : ndx264::rawSmeter(SMtLocal());
}

std::string Ndx264Receiver::SMtLvl(SMetVal kind)
{
    if (SMtLocal() < 0) {
        return {};
    }
    switch (kind) {
    case Local: return platform::formatInt(SMtLocal());
    case dBuV: return platform::formatInt(RxSMtRaw());
    case SPoint: return SPointText();
    default: return {};
    }
}

// ---- Setters ----------------------------------------------------------------------------

void Ndx264Receiver::RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int64_t driverHz = static_cast<std::int64_t>(hz) - RxOffset();
    std::int64_t receiverHz = notify != 0 ? ToReceiver(driverHz, mod) : driverHz;
    if (receiverHz < 0 || receiverHz > ndx264::kMaxFrequency) {
        return;
    }
    receiverHz = receiverHz / 10 * 10;
    // What the status will report: the receiver's frequency seen in the mode.
    std::int64_t reported = receiverHz + ModeOffset(mod, 3);
    if (reported < 0 || reported > ndx264::kMaxFrequency) {
        reported = receiverHz;
    }
    const std::uint32_t before = Requested().FrqValue;
    RequestFrq(static_cast<std::uint32_t>(reported));
    if (!SendWrapped(ndx264::frequencyCommand(static_cast<std::int32_t>(receiverHz)))) {
        RequestFrq(before);
    }
}

void Ndx264Receiver::RxSendBFO(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int32_t bfo = receiverBfo(hz);
    RequestBfo(bfo);
    m_bfoByPanel = false;
    if (!SendWrapped(ndx264::bfoCommand(bfo))) {
        ClearBfoRequest();
    }
}

MODTYPE Ndx264Receiver::SetMod(MODTYPE mod)
{
    // ISB has the letter of the identification request and cannot be set
    // by command; modes without a letter have nothing to send.
    if (IsConnected() == 0 || mod == ModNone || mod == ModISB || mod == ModFM || mod == ModMPH) {
        return Current().ModType;
    }
    const char letter = ndx264::letterFromMode(mod, '\0');
    if (letter == '\0') {
        return Current().ModType;
    }
    MODTYPE reported = mod;
    if (mod == ModAM_U || mod == ModAM_L) {
        reported = ModAM;
    } else if (mod == ModCW_F) {
        reported = ModCW;
    }
    RequestMod(reported);
    bool sent = false;
    if (reported == ModFAX) {
        // FAX is CW with the driver's -1900 Hz BFO.
        RequestBfo(kFaxBfo);
        m_bfoByPanel = false;
        sent = SendWrapped({ndx264::modeCommand(letter), ndx264::bfoCommand(kFaxBfo)});
    } else if (reported == ModCW && Current().BFOValue == kFaxBfo && !m_bfoByPanel) {
        // The FAX BFO would make CW read as FAX: CW takes the default BFO.
        const std::int32_t bfo = receiverBfo(DefaultBfo() == kFaxBfo ? -800 : DefaultBfo());
        RequestBfo(bfo);
        sent = SendWrapped({ndx264::modeCommand(letter), ndx264::bfoCommand(bfo)});
    } else {
        sent = SendWrapped(ndx264::modeCommand(letter));
    }
    if (!sent) {
        RequestMod(ModNone);
        ClearBfoRequest();
        return Current().ModType;
    }
    return reported;
}

AGCTYPE Ndx264Receiver::SetAgc(AGCTYPE agc)
{
    if (IsConnected() == 0 || agc == AgcNone || agc == Current().AgcType ||
        (agc == AgcManual && ManualAgcAllowed() == 0)) {
        return Current().AgcType;
    }
    if (agc != AgcManual && agc != AgcFast && agc != AgcSlow) {
        return Current().AgcType;
    }
    RequestAgc(agc);
    if (!SendWrapped(ndx264::agcCommand(ndx264::charFromAgc(agc, CurrentAgcChar())))) {
        RequestAgc(AgcNone);
    }
    return Current().AgcType;
}

ATTSTATE Ndx264Receiver::SetAtt(ATTSTATE att)
{
    if (IsConnected() == 0 || att == AttNone || att == Current().AttState) {
        return Current().AttState;
    }
    const auto db = ndx264::dbFromAtt(att);
    if (!db) {
        return Current().AttState;
    }
    RequestAtt(att);
    if (!SendWrapped(ndx264::attenuatorCommand(*db))) {
        RequestAtt(AttNone);
    }
    return Current().AttState;
}

std::int32_t Ndx264Receiver::SetFltBW(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return Current().FltValue;
    }
    const int digit = FilterDigitFor(hz, EffectiveMode());
    if (digit < 0) {
        return Current().FltValue;
    }
    const std::int32_t width = WidthOfDigit(digit);
    if (width != Current().FltValue || digit != m_filterDigit) {
        RequestFlt(width);
        if (!SendWrapped(ndx264::filterCommand(digit))) {
            RequestFlt(-1);
            return Current().FltValue;
        }
    }
    return width;
}

void Ndx264Receiver::SetTime(const std::string& time)
{
    m_lastClock.clear();
    if (IsConnected() == 0) {
        return;
    }
    std::optional<std::string> command;
    std::string text;
    if (time.empty()) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        if (localtime_r(&now, &local) == nullptr) {
            return;
        }
        command = ndx264::clockCommand(local.tm_hour, local.tm_min, local.tm_sec);
        text = platform::formatInt(local.tm_hour, 2, true) + platform::formatInt(local.tm_min, 2, true) +
               platform::formatInt(local.tm_sec, 2, true);
    } else {
        command = ndx264::clockCommand(time);
        text = time;
    }
    if (command && SendWrapped(*command)) {
        m_lastClock = text;
    }
}

// ---- Memory channels --------------------------------------------------------------------

RCODE Ndx264Receiver::ChnSave(std::int16_t chn)
{
    const auto command = ndx264::storeCommand(chn);
    if (!command) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    return SendWrapped(*command) ? R_OK : R_KO;
}

RCODE Ndx264Receiver::ChnLoad(std::int16_t chn)
{
    const auto command = ndx264::recallCommand(chn);
    if (!command) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    return ChannelLoadSent(SendWrapped(*command));
}

Ndx264Receiver::Settings Ndx264Receiver::Remember() const
{
    Settings s;
    s.channel = Current().ChnNumber;
    s.mode = Current().ModType;
    s.frequency = Current().FrqValue;
    s.bfo = Current().BFOValue;
    s.filterDigit = m_filterDigit;
    s.agc = Current().AgcType;
    return s;
}

bool Ndx264Receiver::SendSettings(MODTYPE mode, std::int64_t hz, std::int32_t bfo, int filterDigit, AGCTYPE agc)
{
    if (mode != ModISB && mode != ModNone) {
        if (!SendText(ndx264::modeCommand(ndx264::letterFromMode(mode, CurrentLetter())))) {
            return false;
        }
    }
    if (hz >= 0 && hz <= ndx264::kMaxFrequency && !SendText(ndx264::frequencyCommand(static_cast<std::int32_t>(hz)))) {
        return false;
    }
    if (!SendText(ndx264::bfoCommand(bfo))) {
        return false;
    }
    if (filterDigit >= 0 && !SendText(ndx264::filterCommand(filterDigit))) {
        return false;
    }
    const char agcChar = ndx264::charFromAgc(agc, '\0');
    return agcChar == '\0' || SendText(ndx264::agcCommand(agcChar));
}

void Ndx264Receiver::Restore(const Settings& s)
{
    if (IsConnected() == 0) {
        return;
    }
    if (s.channel >= 0) {
        ChnLoad(s.channel);
        return;
    }
    if (s.frequency == 0xFFFFFFFFu) {
        return;
    }
    SendSettings(s.mode, ToReceiver(s.frequency, s.mode), s.bfo, s.filterDigit, s.agc);
}

bool Ndx264Receiver::CanAwaitReplies() const
{
    // Asked for from an event delivered while this receiver writes a frame
    // or handles a reply, a read could not work: its recall would wait
    // behind that frame and the answers would be thrown away unparsed.
    return IsBusy() == 0;
}

RCODE Ndx264Receiver::ReadOneChannel(std::int16_t chn)
{
    const auto recall = ndx264::recallCommand(chn);
    if (!recall) {
        return R_PERR;
    }
    m_awaited = chn;
    for (int round = 0; round < kRecalls; ++round) {
        if (!SendText(*recall)) {
            break;
        }
        for (int wait = 0; wait < kWaitsPerRecall; ++wait) {
            // A short wait, then a look at what came: a read with a delay
            // would wait 50 steps more over TCP each time a silent receiver
            // leaves it unanswered (thirty times in all).
            platform::sleepMs(m_channel.AddedLatency() + 20);
            platform::processPendingEvents();
            const std::string got = m_channel.Read(0);
            if (!got.empty()) {
                ReceiveBytes(got, 0);
            }
            // A handler may have disconnected the receiver meanwhile.
            if (IsConnected() == 0) {
                m_awaited = -2;
                return R_KO;
            }
            if (m_awaited == -2) {
                return R_OK;
            }
        }
    }
    m_awaited = -2;
    return R_KO;
}

void Ndx264Receiver::ReportDumpEnd()
{
    platform::processPendingEvents();
    if (DriverEvents* owner = Owner()) {
        owner->RxChnStatus(Index(), -1, 0, 0, ModNone, 0, AgcNone, 0);
    }
}

RCODE Ndx264Receiver::ChnRead(std::int16_t chn)
{
    if (!validChannel(chn)) {
        return R_PERR;
    }
    if (IsConnected() == 0 || m_transfer || !CanAwaitReplies()) {
        return R_KO;
    }
    const Settings before = Remember();
    m_transfer = true;
    m_channel.SetEventMode(false);
    const RCODE result = ReadOneChannel(chn);
    m_transfer = false;
    if (IsConnected() == 0) {
        return R_KO;
    }
    m_channel.SetEventMode(true);
    if (chn == kLastChannel && result == R_OK) {
        ReportDumpEnd();
    }
    Restore(before);
    return result;
}

RCODE Ndx264Receiver::ChnDump()
{
    if (IsConnected() == 0 || m_transfer || !CanAwaitReplies()) {
        return R_KO;
    }
    const Settings before = Remember();
    m_transfer = true;
    m_channel.SetEventMode(false);
    RCODE result = R_OK;
    int last = -1;
    for (std::int16_t chn = 0; chn <= kLastChannel; ++chn) {
        result = ReadOneChannel(chn);
        if (result != R_OK) {
            break;
        }
        last = chn;
    }
    m_transfer = false;
    if (IsConnected() == 0) {
        return R_KO;
    }
    m_channel.SetEventMode(true);
    if (last == kLastChannel) {
        ReportDumpEnd();
    }
    Restore(before);
    // A dump that stopped on a channel it could not read failed.
    return result;
}

RCODE Ndx264Receiver::ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz,
                               AGCTYPE agc, std::int32_t)
{
    if (!validChannel(chn)) {
        return R_PERR;
    }
    if (IsConnected() == 0 || m_transfer) {
        return R_KO;
    }
    // The channel holds what it is given: the receiver is tuned to it,
    // stores it, and goes back to what it was tuned to.
    if (hz < 0 || hz > ndx264::kMaxFrequency || mod == ModISB || ndx264::letterFromMode(mod, '\0') == '\0') {
        return R_KO;
    }
    const std::int32_t channelBfo = mod == ModFAX ? kFaxBfo : receiverBfo(bfo);
    const Settings before = Remember();
    m_transfer = true;
    RCODE result = R_KO;
    if (SendSettings(mod, ToReceiver(hz, mod), channelBfo, FilterDigitFor(fltHz, mod), agc)) {
        result = ChnSave(chn);
    }
    m_transfer = false;
    Restore(before);
    return result;
}

RCODE Ndx264Receiver::ChnClear(std::int16_t chn)
{
    const RCODE result = ChnWrite(chn, 10000000, 0, ModCW, 3400, AgcSlow, 0);
    Pause(m_channel.AddedLatency() + 20);
    return result;
}

// ---- Code conversions -----------------------------------------------------------------------

std::int32_t Ndx264Receiver::RxCodeToMod(std::int32_t code)
{
    return ndx264::modeFromLetter(static_cast<char>(code), Current().BFOValue, m_bfoByPanel).value_or(-1);
}

std::int16_t Ndx264Receiver::RxModToCode(std::int32_t mod)
{
    return static_cast<std::int16_t>(ndx264::letterFromMode(mod, CurrentLetter()));
}

std::int32_t Ndx264Receiver::RxCodeToAgc(std::int32_t code)
{
    return ndx264::agcFromChar(static_cast<char>(code)).value_or(-1);
}

std::int16_t Ndx264Receiver::RxAgcToCode(std::int32_t agc)
{
    return static_cast<std::int16_t>(ndx264::charFromAgc(agc, CurrentAgcChar()));
}

std::int32_t Ndx264Receiver::RxCodeToFlt(std::int32_t code)
{
    return WidthOfDigit(code);
}

std::int16_t Ndx264Receiver::RxFltToCode(std::int32_t value)
{
    return static_cast<std::int16_t>(FilterDigitFor(value, Current().ModType));
}

}  // namespace quorvin
