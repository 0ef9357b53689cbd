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

}  // namespace

Ra1792Receiver::Ra1792Receiver(DriverEvents* owner) : RaReceiver(owner, DrvRA1792)
{
    SetRemoteCommands("R", "L", 20);
    SetManualAgcGated();
    SetRecordFormat('\n', kMaxUnterminated);
    // Until a connect identifies the adapter, the ROM text is the bus's name.
    SetIdleRomID("HPIB");
}

std::string Ra1792Receiver::Frame(std::string_view command)
{
    return ra1792::commandFrame(m_channel.BusAddress(), command);
}

bool Ra1792Receiver::SendText(std::string_view command)
{
    return SendTraced(Frame(command), command, kCharDelayMs, 0);
}

// ---- Connect ----------------------------------------------------------------------

ConnErr Ra1792Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    m_bfoPanel = false;
    m_lastHadBfo = false;
    m_receiverBfo.reset();
    m_retuneForMode = false;

    SendTraced(std::string(ra1792::kAdapterIdentify), "?", kCharDelayMs, 0);
    const std::string ident = ReadTraced(40, Records());
    if (ident.empty()) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    SendTraced(std::string(ra1792::kAdapterReset), "R", kCharDelayMs, 0);
    ReadTraced(40, NoReply());
    SendText("L");
    const std::string local = ReadTraced(40, NoReply());
    if (family::beginsWithTwoDel(local)) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    SendText("P");
    Pause(25);
    SendText("R");
    Pause(25);
    m_romId = std::string(family::traceText(ident)).substr(0, 8);

    SendText("G");
    const std::string reply = ReadTraced(100, Records());
    if (reply.empty()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    const auto status = ra1792::parseStatus(reply);
    if (!status) {
        return FailConnect(ConnectRxIdenError, "bad ID\n");
    }
    SendText("TI");
    ReadTraced(400, NoReply());
    SendText("TR");
    ReadTraced(400, NoReply());

    ApplyStatus(*status, false);
    if (!SynchroniseBfo()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    SendText("L");
    Pause(25);
    m_channel.SetEventMode(true);
    TraceConnectDone();
    return ConnectNoError;
}

bool Ra1792Receiver::SynchroniseBfo()
{
    SendText("G");
    const std::string reply = ReadTraced(40, Records());
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
        if (SendText(ra1792::bfoCommand(cwBfo))) {
            m_receiverBfo = ra1792::bfoOnWire(cwBfo);
        }
        ReadTraced(50, NoReply());
        if (tuned >= m_info->frqMin && tuned <= m_info->frqMax) {
            SendText(ra1792::frequencyCommand(tuned));
            ReadTraced(50, NoReply());
        }
        FlagMod();
    } else {
        SendText(ra1792::modeCommand(3));
        ReadTraced(50, NoReply());
        SendText("G");
        if (const auto cw = ra1792::parseStatus(ReadTraced(40, Records()))) {
            m_syncBfo = cw->bfoHz;
        }
        if (SendText(ra1792::bfoCommand(DefaultBfo()))) {
            m_receiverBfo = ra1792::bfoOnWire(DefaultBfo());
        }
        ReadTraced(50, NoReply());
        if (status->modeCode >= 1 && status->modeCode <= 6) {
            SendText(ra1792::modeCommand(status->modeCode));
            ReadTraced(50, NoReply());
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
    const MODTYPE mode = Current().ModType;
    SendText("R");
    if (mode != ModCW) {
        SendText(ra1792::modeCommand(3));
    }
    SendText(ra1792::bfoCommand(std::clamp(m_syncBfo, m_info->bfoMin, m_info->bfoMax)));
    const MODTYPE restored = (mode == ModCW || mode == ModRTTY || mode == ModFAX || mode == ModNone) ? ModUSB : mode;
    const int code = ra1792::codeFromMode(restored);
    if (code > 0) {
        SendText(ra1792::modeCommand(code));
    }
    m_channel.Read(50, NoReply());
    if (Current().FrqValue != 0xFFFFFFFFu) {
        const auto hz = static_cast<std::int32_t>(Current().FrqValue);
        if (hz >= m_info->frqMin && hz <= m_info->frqMax) {
            SendText(ra1792::frequencyCommand(hz));
        }
    }
    m_channel.Read(50, NoReply());
    SendText("L");
    Pause(200);
    SendCommand(std::string(ra1792::kAdapterIdentify), kCharDelayMs, 0);
    Pause(25);
    m_channel.Read(40, Records());
    DropRemote();
}

// ---- Poll and received data ---------------------------------------------------------

std::int32_t Ra1792Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    SendText("G");
    return 0;
}

bool Ra1792Receiver::ApplyRecord(const std::string& record)
{
    const std::string text = family::withoutLineEnds(record);
    if (const auto status = ra1792::parseStatus(text)) {
        ApplyStatus(*status, true);
    } else {
        // An unusable line: reported, and the receiver still counts as alive.
        OnDataError();
    }
    return true;
}

void Ra1792Receiver::RecordsDone()
{
    if (!m_retuneForMode) {
        return;
    }
    m_retuneForMode = false;
    const MODTYPE now = Current().ModType;
    // A frequency request on its way needs no help; otherwise tune again,
    // from the newest status of the read, so the receiver's own frequency
    // follows the mode's offset.
    if (IsConnected() == 0 || now == ModRTTY || now == ModFAX || Requested().FrqValue != 0xFFFFFFFFu ||
        Current().FrqValue == 0xFFFFFFFFu) {
        return;
    }
    const std::int64_t hz = static_cast<std::int64_t>(Current().FrqValue) + ModeOffset(now, 3);
    SendFrequency(static_cast<std::int32_t>(std::clamp<std::int64_t>(hz, m_info->frqMin, m_info->frqMax)));
}

std::int32_t Ra1792Receiver::SidebandWidth(MODTYPE mod) const
{
    return FilterWidth(mod == ModLSB ? 0 : 1);
}

std::string Ra1792Receiver::FilterCommand(int slot, std::int32_t) const
{
    return ra1792::filterCommand(static_cast<unsigned>(ra1792::filterCodeFromSlot(slot, m_info->firstSlot)));
}

void Ra1792Receiver::ApplyStatus(const ra1792::Status& s, bool live)
{
    const std::int32_t bfo = s.hasBfo ? s.bfoHz : 0;
    // The command carries the BFO in 10 Hz steps: the receiver confirms a
    // request with the value the command set, not always the one asked for.
    const std::int32_t requestedBfo = Requested().BFOValue;
    const bool confirms = requestedBfo != -1 && ra1792::bfoOnWire(requestedBfo) == bfo;
    if (bfo != Current().BFOValue) {
        // The panel changed the BFO when the reply shows a new value that
        // nobody here asked for, between two replies that both carry it.
        if (live && !confirms && !HeldInRemote() && s.hasBfo && m_lastHadBfo) {
            m_bfoPanel = true;
        }
    }
    ChangeBfo(bfo);
    if (confirms) {
        ClearBfoRequest();
    }
    m_lastHadBfo = s.hasBfo;
    if (s.hasBfo) {
        m_receiverBfo = bfo;
    }

    ChangeFrq(static_cast<std::uint32_t>(s.frequencyHz));

    const MODTYPE before = Current().ModType;
    const std::int32_t mode = ra1792::modeFromCode(s.modeCode, bfo, m_bfoPanel);
    if (mode >= 0) {
        ChangeMod(static_cast<MODTYPE>(mode));
    }
    const MODTYPE now = Current().ModType;
    if (live && now != before && before != ModNone) {
        // Tuned again once the read is parsed: a later line of the same read
        // may carry a newer frequency.
        m_retuneForMode = true;
    }
    if (isSsb(now)) {
        ChangeFlt(SidebandWidth(now));
    } else if (s.filterCode) {
        ChangeFlt(FilterWidth(
            static_cast<std::int16_t>(ra1792::slotFromFilterCode(*s.filterCode, m_info->firstSlot, m_info->offered))));
    }

    const std::int32_t agc = ra1792::agcFromCode(s.agcCode);
    if (agc >= 0) {
        ChangeAgc(static_cast<AGCTYPE>(agc));
    }
    if (s.gain) {
        ChangeAgcLevel(static_cast<std::int16_t>(std::clamp(*s.gain, 0, 32767)));
    }
    ChangeChn(-1);
}

// ---- Filter codes (the setters are RaReceiver's) ---------------------------------

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
