// RA6790 driver: connect dialogue with self-test, option and filter list,
// BFO synchronisation, status handling with the S-meter, setters and the
// hand-back to local control.
#include "ra6790receiver.h"

#include <algorithm>

#include "driver/core/driverevents.h"
#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"

namespace quorvin {

namespace {

constexpr int kCharDelayMs = 1;
constexpr std::size_t kMaxUnterminated = 40;

}  // namespace

Ra6790Receiver::Ra6790Receiver(DriverEvents* owner) : RaReceiver(owner, DrvRA6790)
{
    SetRemoteCommands(ra6790::kRemote, ra6790::kLocal, 20);
    SetManualAgcGated();
    SetRecordFormat('\r', kMaxUnterminated);
}

std::string Ra6790Receiver::Frame(std::string_view command)
{
    return ra6790::commandFrame(m_channel.BusAddress(), command);
}

bool Ra6790Receiver::SendText(std::string_view command)
{
    return SendTraced(Frame(command), command, kCharDelayMs, 0);
}

std::uint32_t Ra6790Receiver::FittedOptions() const
{
    return m_option == ra6790::kOptionExtended ? optionBit(ModelOption::A09666) : 0;
}

std::int32_t Ra6790Receiver::ModExist(MODTYPE mod)
{
    // ISB needs the lower sideband filter the receiver reported at connect.
    if (mod == ModISB) {
        return m_isb ? 1 : 0;
    }
    return FamilyReceiver::ModExist(mod);
}

// ---- Connect ----------------------------------------------------------------------

ConnErr Ra6790Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    m_bfoPanel = false;
    m_lastHadBfo = false;
    m_receiverBfo.reset();
    m_retuneForMode = false;
    m_controlState = 0;

    SendText(ra6790::kRemote);
    Pause(25);
    if (family::beginsWithTwoDel(ReadTraced(40, NoReply()))) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }

    SendText(ra6790::kSelfTest);
    const std::string selfTest = ReadTraced(40, Records());
    if (selfTest.empty()) {
        // Nothing within the wait is no answer; a link that failed is the link's error.
        const ConnErr link = m_channel.LastError();
        if (link != ConnectNoError && link != ConnectLnTimeOut) {
            return FailConnect(link, "empty response\n");
        }
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    if (!ra6790::selfTestPassed(selfTest)) {
        return FailConnect(ConnectRxBiteError, "BITE Error\n");
    }
    // The self-test reply ends with the answering receiver's address (two
    // digits before its line end); frames with no address set carry 1.
    const int address = m_channel.BusAddress() < 0 ? 1 : m_channel.BusAddress();
    const auto answered = ra6790::selfTestAddress(selfTest);
    if (!answered || *answered != address % 100) {
        return FailConnect(ConnectRxBadAddr, "bad address\n");
    }

    SendText(ra6790::kOptionsBegin);
    Pause(25);
    SendText(ra6790::kTypeQuery);
    const std::string type = ReadTraced(40, Records());
    const bool typeRead = m_channel.LastError() == ConnectNoError;
    SendText(ra6790::kOptionsEnd);
    Pause(25);
    m_option = std::string(typeRead ? ra6790::optionFromTypeReply(type) : ra6790::kOptionStandard);
    m_romId = m_option;

    SendText(ra6790::kStatusQuery);
    const std::string reply = ReadTraced(40, Records());
    if (reply.empty() && m_channel.LastError() != ConnectNoError) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    const auto status = ra6790::parseStatus(reply);
    if (!status) {
        return FailConnect(ConnectRxIdenError, "bad ID\n");
    }

    SendText(ra6790::kFilterQuery);
    const std::string filters = ReadTraced(40, Records());
    if (m_channel.LastError() == ConnectNoError) {
        if (const auto list = ra6790::parseFilterList(filters)) {
            ApplyFilterList(*list);
        }
    }

    ApplyStatus(*status, false);
    if (!SynchroniseBfo()) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    SendText(ra6790::kLocal);
    Pause(25);
    m_channel.SetEventMode(true);
    TraceConnectDone();
    return ConnectNoError;
}

void Ra6790Receiver::ApplyFilterList(const ra6790::FilterList& list)
{
    m_isb = list.isb;
    m_usbSlot = list.usbSlot;
    for (std::size_t slot = 0; slot < ra6790::kFilterSlots && slot < m_fltValue.size(); ++slot) {
        m_fltValue[slot] = list.widths[slot];
    }
    // The sideband filters stand first in the list; the symmetric filters
    // after them are the ones offered outside USB, LSB and ISB.
    int first = list.isb ? 1 : 0;
    if (list.usbSlot == first) {
        ++first;
    }
    m_fltFirst = static_cast<std::int16_t>(first);
    m_fltShown = static_cast<std::int16_t>(static_cast<int>(ra6790::kFilterSlots) - first);
}

std::int32_t Ra6790Receiver::SidebandWidth(MODTYPE) const
{
    return FilterWidth(static_cast<std::int16_t>(m_usbSlot >= 0 ? m_usbSlot : 0));
}

std::string Ra6790Receiver::FilterCommand(int, std::int32_t width) const
{
    return ra6790::filterCommand(width);
}

bool Ra6790Receiver::ModeOffered(MODTYPE mod) const
{
    return mod != ModISB || m_isb;
}

bool Ra6790Receiver::SynchroniseBfo()
{
    SendText(ra6790::kStatusQuery);
    const std::string reply = ReadTraced(40, Records());
    if (reply.empty()) {
        return m_channel.LastError() == ConnectNoError;
    }
    const auto status = ra6790::parseStatus(reply);
    if (!status) {
        ReportDataError(DataErrData);
        return true;
    }
    const std::int32_t mode = ra6790::modeFromCode(status->modeCode, status->bfoHz, m_bfoPanel);
    m_syncBfo = status->bfoHz;
    if (mode == ModCW) {
        const std::int32_t cwBfo = ModeOffset(ModCW, 4);
        const std::int32_t tuned = status->frequencyHz + (m_syncBfo - cwBfo);
        if (SendText(ra6790::bfoCommand(cwBfo))) {
            m_receiverBfo = ra6790::bfoOnWire(cwBfo);
        }
        ReadTraced(50, NoReply());
        if (tuned >= RxFrqMin() && tuned <= RxFrqMax()) {
            SendText(ra6790::frequencyCommand(tuned));
            ReadTraced(50, NoReply());
        }
        FlagMod();
    } else {
        SendText(ra6790::modeCommand(3));
        ReadTraced(50, NoReply());
        SendText(ra6790::kStatusQuery);
        if (const auto cw = ra6790::parseStatus(ReadTraced(40, Records()))) {
            m_syncBfo = cw->bfoHz;
        }
        if (SendText(ra6790::bfoCommand(DefaultBfo()))) {
            m_receiverBfo = ra6790::bfoOnWire(DefaultBfo());
        }
        ReadTraced(50, NoReply());
        if (status->modeCode >= 1 && status->modeCode <= 6) {
            SendText(ra6790::modeCommand(status->modeCode));
            ReadTraced(50, NoReply());
        }
    }
    return true;
}

// ---- Disconnect -------------------------------------------------------------------

void Ra6790Receiver::RxClose()
{
    if (InDialogue()) {
        return;
    }
    DialogueScope dialogue(*this);
    m_channel.SetEventMode(false);
    const MODTYPE mode = Current().ModType;
    SendText(ra6790::kRemote);
    if (mode != ModCW) {
        SendText(ra6790::modeCommand(3));
    }
    SendText(ra6790::bfoCommand(std::clamp(m_syncBfo, m_info->bfoMin, m_info->bfoMax)));
    const MODTYPE restored = (mode == ModCW || mode == ModRTTY || mode == ModFAX || mode == ModNone) ? ModUSB : mode;
    const int code = ra6790::codeFromMode(restored);
    if (code > 0) {
        SendText(ra6790::modeCommand(code));
    }
    m_channel.Read(50, NoReply());
    if (Current().FrqValue != 0xFFFFFFFFu) {
        const auto hz = static_cast<std::int32_t>(Current().FrqValue);
        if (hz >= RxFrqMin() && hz <= RxFrqMax()) {
            SendText(ra6790::frequencyCommand(hz));
        }
    }
    m_channel.Read(50, NoReply());
    SendText(ra6790::kLocal);
    Pause(25);
    DropRemote();
}

// ---- Poll and received data ---------------------------------------------------------

std::int32_t Ra6790Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    SendText(ra6790::kStatusQuery);
    return 0;
}

bool Ra6790Receiver::ApplyRecord(const std::string& record)
{
    if (const auto status = ra6790::parseStatus(record)) {
        ApplyStatus(*status, true);
    } else {
        // An unusable line: reported, and the receiver still counts as alive.
        OnDataError();
    }
    return true;
}

void Ra6790Receiver::RecordsDone()
{
    if (!m_retuneForMode) {
        return;
    }
    m_retuneForMode = false;
    const MODTYPE now = Current().ModType;
    if (IsConnected() == 0 || now == ModRTTY || now == ModFAX || Requested().FrqValue != 0xFFFFFFFFu ||
        Current().FrqValue == 0xFFFFFFFFu) {
        return;
    }
    const std::int64_t hz = static_cast<std::int64_t>(Current().FrqValue) + ModeOffset(now, 3);
    SendFrequency(static_cast<std::int32_t>(std::clamp<std::int64_t>(hz, RxFrqMin(), RxFrqMax())));
}

void Ra6790Receiver::ApplyStatus(const ra6790::Status& s, bool live)
{
    const std::int32_t bfo = s.hasBfo ? s.bfoHz : 0;
    // "B%1.2lf" carries 10 Hz steps: a request is confirmed by the value it set.
    const std::int32_t requestedBfo = Requested().BFOValue;
    const bool confirms = requestedBfo != -1 && ra6790::bfoOnWire(requestedBfo) == bfo;
    if (bfo != Current().BFOValue && live && !confirms && !HeldInRemote() && s.hasBfo && m_lastHadBfo) {
        // A new BFO nobody here asked for, between two replies that carry it.
        m_bfoPanel = true;
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
    const std::int32_t mode = ra6790::modeFromCode(s.modeCode, bfo, m_bfoPanel);
    if (mode >= 0) {
        ChangeMod(static_cast<MODTYPE>(mode));
    }
    if (live && Current().ModType != before && before != ModNone) {
        m_retuneForMode = true;
    }
    // The receiver reports the bandwidth in use: its sideband filter in
    // USB, LSB and ISB, the selected symmetric filter otherwise.
    if (s.filterHz) {
        ChangeFlt(*s.filterHz);
    } else if (isSsb(Current().ModType)) {
        ChangeFlt(SidebandWidth(Current().ModType));
    }

    const std::int32_t agc = ra6790::agcFromCode(s.agcCode);
    if (agc >= 0) {
        ChangeAgc(static_cast<AGCTYPE>(agc));
    }
    if (s.gain) {
        ChangeAgcLevel(static_cast<std::int16_t>(std::clamp(*s.gain, 0, 32767)));
    }
    if (s.signal) {
        const int raw = std::clamp(*s.signal, 0, 32767);
        ChangeSMt(raw, static_cast<std::int16_t>(ra6790::smeterDbuv(raw)));
    }
    m_controlState = s.s;
    m_current.Status = static_cast<std::int16_t>(std::clamp(s.s, 0, 32767));
    ChangeChn(-1);
}

// ---- S-meter ------------------------------------------------------------------------

std::int32_t Ra6790Receiver::RxSMtRaw()
{
    return SMtLocal() < 0 ? -254 : ra6790::smeterDbuv(SMtLocal());
}

std::string Ra6790Receiver::SMtLvl(SMetVal kind)
{
    const std::int32_t raw = SMtLocal();
    if (raw < 0) {
        return {};
    }
    switch (kind) {
    case Local: return platform::formatInt(raw);
    case dBuV: return platform::formatInt(ra6790::smeterDbuv(raw));
    case SPoint: return SPointText();
    default: return {};
    }
}

}  // namespace quorvin
