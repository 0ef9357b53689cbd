// TRC243 driver: connect dialogue, poll, acknowledgements and records,
// setters, channels, outputs.
#include "trc243receiver.h"

#include <algorithm>

#include "driver/core/driverevents.h"
#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"

namespace quorvin {

namespace {

constexpr int kAfterDelayMs = 10;
constexpr std::int32_t kFaxBfo = -1900;

}  // namespace

Trc243Receiver::Trc243Receiver(DriverEvents* owner) : FamilyReceiver(owner, DrvTRC243)
{
    SetRemoteCommands("RMT", "LOC");
    SetRecordFormat('\n', kMaxUnterminated);
}

std::string Trc243Receiver::Frame(std::string_view command)
{
    const std::int16_t address = m_channel.BusAddress();
    return trc243::frame(command, address >= 0, address);
}

bool Trc243Receiver::SendText(std::string_view command)
{
    return SendTraced(Frame(command), command, 0, kAfterDelayMs);
}

std::uint32_t Trc243Receiver::FittedOptions() const
{
    return m_identified ? optionBit(ModelOption::Fm) : 0;
}

std::int32_t Trc243Receiver::ModExist(MODTYPE mod)
{
    if (mod == ModISB) {
        return m_isbOption ? 1 : 0;
    }
    return FamilyReceiver::ModExist(mod);
}

int Trc243Receiver::ModeDigit() const
{
    return m_modeDigit >= 0 ? m_modeDigit : trc243::digitFromMode(Current().ModType);
}

std::int32_t Trc243Receiver::WidthOfCode(int code) const
{
    return code >= 0 && code < m_info->slotCount ? SlotWidth(code) : Current().FltValue;
}

// ---- Connect and disconnect --------------------------------------------------------

ConnErr Trc243Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    m_modeDigit = -1;
    m_filterCode = -1;
    m_outputs = -1;
    m_fax = false;
    ForgetControls();

    SendTraced(Frame("LOC"), "SET LOCAL", 0, kAfterDelayMs);
    ReadTraced(100, Records());
    SendTraced(Frame("RMT"), "SET REMOTE", 0, kAfterDelayMs);
    const std::string reply = ReadTraced(200, Records());
    if (reply.empty() && m_channel.LastError() != ConnectNoError) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    if (reply.empty() || family::beginsWithTwoDel(reply)) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    const std::int16_t address = m_channel.BusAddress();
    if (address >= 0 && (reply.size() < 2 || reply[1] != trc243::addressCharacter(address))) {
        return FailConnect(ConnectRxBadAddr, "bad address\n");
    }
    const auto id = trc243::parseIdentification(reply);
    switch (id.error) {
    case trc243::Identification::Error::None: break;
    case trc243::Identification::Error::NoKnownData: return FailConnect(ConnectRxIdenError, "bad ID - No known data\n");
    case trc243::Identification::Error::NoOpFrame:
        return FailConnect(ConnectRxIdenError, "bad ID - No OP frame - Need to reset receiver\n");
    case trc243::Identification::Error::UnknownModel: return FailConnect(ConnectRxIdenError, "unknown model\n");
    case trc243::Identification::Error::NoFilterInformation:
        return FailConnect(ConnectRxIdenError, "bad ID - No filter information\n");
    }
    m_isbOption = id.isb;
    m_identified = true;
    m_romId = id.rom;

    // The present state, then local control again.
    SendTraced(Frame("GA") + Frame("GB"), "GA GB", 0, kAfterDelayMs);
    std::string records = ReadTraced(200, Records(2));
    bool gotA = false;
    while (auto line = family::takeRecord(records, '\n')) {
        const auto text = trc243::lineText(*line, address >= 0, address);
        if (text && !text->empty() && (*text)[0] == 'A') {
            if (const auto a = trc243::parseA(*text)) {
                ApplyA(*a);
                gotA = true;
            }
        } else if (text && !text->empty() && (*text)[0] == 'B') {
            if (const auto b = trc243::parseB(*text)) {
                ApplyB(*b);
            }
        }
    }
    if (!gotA) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    SendText("LOC");
    m_channel.SetEventMode(true);
    TraceConnectDone();
    return ConnectNoError;
}

void Trc243Receiver::RxClose()
{
    if (InDialogue()) {
        return;
    }
    DialogueScope dialogue(*this);
    m_channel.SetEventMode(false);
    SendText("LOC");
    DropRemote();
}

// ---- Poll and lines -------------------------------------------------------------------

std::int32_t Trc243Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    SendTraced(Frame("GA") + Frame("GB"), "GA GB", 0, kAfterDelayMs);
    return 0;
}

bool Trc243Receiver::ApplyRecord(const std::string& record)
{
    const std::int16_t address = m_channel.BusAddress();
    const auto text = trc243::lineText(record, address >= 0, address);
    if (TraceOn() != 0) {
        TraceReceived(" FRAME   " + std::string(family::traceText(record)) + "\n");
    }
    // A line that does not begin with CR and the address character is no
    // line of this receiver.
    if (!text) {
        return false;
    }
    if (text->empty() || trc243::isAcknowledgement(*text)) {
        return true;
    }
    switch ((*text)[0] & ~0x20) {
    case 'A':
        if (const auto a = trc243::parseA(*text)) {
            ApplyA(*a);
            return true;
        }
        return false;
    case 'B':
        if (const auto b = trc243::parseB(*text)) {
            ApplyB(*b);
            return true;
        }
        return false;
    case 'C':
        if (const auto c = trc243::parseC(*text)) {
            ReportChannel(*c);
            return true;
        }
        return false;
    default: return false;
    }
}

void Trc243Receiver::ApplyA(const trc243::ARecord& a)
{
    const auto mode = trc243::modeFromDigit(a.mode);
    if (mode) {
        m_modeDigit = a.mode;
        MODTYPE mod = static_cast<MODTYPE>(*mode);
        if (mod == ModCW && m_fax && a.bfoHz == kFaxBfo) {
            mod = ModFAX;
        } else {
            m_fax = false;
        }
        ChangeMod(mod);
    }
    ChangeFrq(static_cast<std::uint32_t>(a.frequencyHz));
    ChangeBfo(a.bfoHz);
    m_filterCode = a.filter;
    ChangeFlt(WidthOfCode(a.filter));
    if (const auto agc = trc243::agcFromLetter(a.agc)) {
        ChangeAgc(static_cast<AGCTYPE>(*agc));
    }
}

void Trc243Receiver::ApplyB(const trc243::BRecord& b)
{
    if (b.attenuator >= 0 && b.attenuator <= 2) {
        ChangeAtt(static_cast<ATTSTATE>(AttOff + b.attenuator), static_cast<std::int16_t>(b.attenuator));
    }
    ChangeHFF(b.preselector != 0 ? HFFOn : HFFOff);
    ChangeSql(b.muted ? SqlOn : SqlOff);
    ChangeSMt(b.signal, static_cast<std::int16_t>(b.signal));
    ChangeChn(static_cast<std::int16_t>(b.channel > 0 ? b.channel : -1));
    const int before = m_outputs;
    m_outputs = b.outputs;
    if (before != m_outputs) {
        for (int output = 1; output <= trc243::kOutputs; ++output) {
            const int bit = 1 << (output - 1);
            if (before < 0 || ((before ^ m_outputs) & bit) != 0) {
                if (DriverEvents* owner = Owner()) {
                    owner->RxOutUpdated(Index(), static_cast<std::int16_t>(output), (m_outputs & bit) != 0 ? 1 : 0);
                }
            }
        }
    }
}

void Trc243Receiver::ReportChannel(const trc243::CRecord& c)
{
    DriverEvents* owner = Owner();
    if (owner != nullptr) {
        const auto chn = static_cast<std::int16_t>(c.channel);
        const auto& s = c.settings;
        if (s.frequencyHz == 0) {
            owner->RxChnStatus(Index(), chn, 0, 0, ModNone, 0, AgcNone, 0);
        } else {
            std::int32_t mod = trc243::modeFromDigit(s.mode).value_or(ModNone);
            if (mod == ModCW && s.bfoHz == kFaxBfo) {
                mod = ModFAX;
            }
            const std::int32_t agc = trc243::agcFromLetter(s.agc).value_or(AgcNone);
            owner->RxChnStatus(Index(), chn, s.frequencyHz, s.bfoHz, mod, WidthOfCode(s.filter), agc, 0);
        }
    }
    if (c.channel == trc243::kChannelCount && Owner() != nullptr) {
        Owner()->RxChnStatus(Index(), -1, 0, 0, ModNone, 0, AgcNone, 0);
    }
}

// ---- S-meter ------------------------------------------------------------------------------

std::int32_t Trc243Receiver::RxSMtRaw()
{
    return SMtLocal() < 0 ? -254 : SMtLocal();
}

std::string Trc243Receiver::SMtLvl(SMetVal kind)
{
    if (SMtLocal() < 0) {
        return {};
    }
    switch (kind) {
    case Local:
    case dBuV: return platform::formatInt(SMtLocal());
    case SPoint: return SPointText();
    default: return {};
    }
}

// ---- Setters ---------------------------------------------------------------------------------

void Trc243Receiver::RxSendFrq(std::int32_t hz, MODTYPE, std::int32_t)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int64_t driverHz = static_cast<std::int64_t>(hz) - RxOffset();
    if (driverHz < trc243::kMinFrequency || driverHz > trc243::kMaxFrequency) {
        return;
    }
    const std::uint32_t before = Requested().FrqValue;
    RequestFrq(static_cast<std::uint32_t>(driverHz));
    if (!SendWrapped(trc243::frequencyCommand(static_cast<std::int32_t>(driverHz)))) {
        RequestFrq(before);
    }
}

void Trc243Receiver::RxSendBFO(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int32_t bfo = std::clamp(hz, -trc243::kMaxBfo, trc243::kMaxBfo);
    RequestBfo(bfo);
    if (!SendWrapped(trc243::bfoCommand(bfo))) {
        ClearBfoRequest();
    }
}

MODTYPE Trc243Receiver::SetMod(MODTYPE mod)
{
    if (IsConnected() == 0 || mod == ModNone || ModExist(mod) == 0) {
        return Current().ModType;
    }
    const int digit = trc243::digitFromMode(mod);
    if (digit < 0) {
        return Current().ModType;
    }
    MODTYPE reported = static_cast<MODTYPE>(trc243::modeFromDigit(digit).value_or(ModNone));
    std::vector<std::string> commands{trc243::modeCommand(digit)};
    if (mod == ModFAX) {
        // FAX: CW with the FAX BFO.
        reported = ModFAX;
        commands.push_back(trc243::bfoCommand(kFaxBfo));
        RequestBfo(kFaxBfo);
    } else if (digit == trc243::kModeCW && Current().BFOValue == kFaxBfo) {
        const std::int32_t bfo = DefaultBfo() == kFaxBfo ? -800 : DefaultBfo();
        commands.push_back(trc243::bfoCommand(bfo));
        RequestBfo(bfo);
    }
    RequestMod(reported);
    if (!SendAll(commands)) {
        RequestMod(ModNone);
        ClearBfoRequest();
        return Current().ModType;
    }
    m_fax = mod == ModFAX;
    return reported;
}

bool Trc243Receiver::SendAll(const std::vector<std::string>& commands)
{
    switch (commands.size()) {
    case 0: return true;
    case 1: return SendWrapped(commands[0]);
    default: break;
    }
    // One remote wrapping around all of them.
    bool sent = true;
    const bool wrap = !HeldInRemote();
    if (wrap) {
        sent = SendText("RMT");
    }
    for (const std::string& command : commands) {
        if (!sent) {
            break;
        }
        sent = SendText(command);
    }
    if (wrap) {
        const bool handedBack = SendText("LOC");
        sent = sent && handedBack;
    }
    return sent;
}

std::int32_t Trc243Receiver::SetFltBW(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return Current().FltValue;
    }
    // USB, LSB and ISB use the SSB filter by themselves.
    if (trc243::ssbMode(ModeDigit())) {
        return SlotWidth(0);
    }
    const int slot = NearestOfferedSlot(hz);
    if (slot < 1) {
        return Current().FltValue;
    }
    const std::int32_t width = SlotWidth(slot);
    if (width != Current().FltValue || slot != m_filterCode) {
        RequestFlt(width);
        if (!SendWrapped(trc243::filterCommand(slot))) {
            RequestFlt(-1);
            return Current().FltValue;
        }
    }
    return width;
}

std::int32_t Trc243Receiver::AgcExist(AGCTYPE agc)
{
    // Until the receiver reported its mode the table answers.
    if (m_modeDigit < 0) {
        return FamilyReceiver::AgcExist(agc);
    }
    return trc243::agcExists(ModeDigit(), agc) ? 1 : 0;
}

AGCTYPE Trc243Receiver::SetAgc(AGCTYPE agc)
{
    if (IsConnected() == 0 || agc == Current().AgcType || !trc243::agcExists(ModeDigit(), agc)) {
        return Current().AgcType;
    }
    RequestAgc(agc);
    if (!SendWrapped(trc243::agcCommand(ModeDigit(), trc243::letterFromAgc(agc)))) {
        RequestAgc(AgcNone);
    }
    return Current().AgcType;
}

ATTSTATE Trc243Receiver::SetAtt(ATTSTATE att)
{
    if (IsConnected() == 0 || att < AttOff || att > AttOn2) {
        return AttNone;
    }
    RequestAtt(att);
    if (!SendWrapped(trc243::attenuatorCommand(att - AttOff))) {
        RequestAtt(AttNone);
        return AttNone;
    }
    return att;
}

HFFSTATE Trc243Receiver::SetHFF(HFFSTATE hff)
{
    if (IsConnected() == 0 || (hff != HFFOff && hff != HFFOn)) {
        return HFFNone;
    }
    RequestHFF(hff);
    if (!SendWrapped(trc243::preselectorCommand(hff == HFFOn))) {
        RequestHFF(HFFNone);
        return HFFNone;
    }
    return hff;
}

std::int16_t Trc243Receiver::SetSqlLvl(std::int16_t level)
{
    if (IsConnected() == 0) {
        return Current().SqlLevel;
    }
    const auto threshold = static_cast<std::int16_t>(std::clamp<int>(level, 0, 99));
    if (!SendWrapped(trc243::squelchCommand(threshold))) {
        return Current().SqlLevel;
    }
    return FamilyReceiver::SetSqlLvl(threshold);
}

std::int32_t Trc243Receiver::SetOut(std::int16_t output, std::int32_t state)
{
    if (IsConnected() == 0 || output < 1 || output > trc243::kOutputs || m_outputs < 0) {
        return 0;
    }
    const int bit = 1 << (output - 1);
    const int mask = state != 0 ? (m_outputs | bit) : (m_outputs & ~bit);
    return SendWrapped(trc243::outputsCommand(mask)) ? 1 : 0;
}

std::int32_t Trc243Receiver::GetOut(std::int16_t output)
{
    if (output < 1 || output > trc243::kOutputs || m_outputs < 0) {
        return 0;
    }
    return (m_outputs & (1 << (output - 1))) != 0 ? 1 : 0;
}

// ---- Memory channels --------------------------------------------------------------------------

RCODE Trc243Receiver::ChnLoad(std::int16_t chn)
{
    const auto command = trc243::recallCommand(chn);
    if (!command) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    return SendWrapped(*command) ? R_OK : R_KO;
}

RCODE Trc243Receiver::ChnSave(std::int16_t chn)
{
    const auto command = trc243::storeCommand(chn);
    if (!command) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    return SendWrapped(*command) ? R_OK : R_KO;
}

RCODE Trc243Receiver::ChnRead(std::int16_t chn)
{
    const auto command = trc243::channelQuery(chn);
    if (!command) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    // Queries are answered under local control too: no wrapping.
    return SendText(*command) ? R_OK : R_KO;
}

RCODE Trc243Receiver::ChnDump()
{
    if (IsConnected() == 0) {
        return R_KO;
    }
    for (int chn = 1; chn <= trc243::kChannelCount; ++chn) {
        if (!SendText(*trc243::channelQuery(chn))) {
            return R_KO;
        }
    }
    return R_OK;
}

std::vector<std::string> Trc243Receiver::SettingCommands(MODTYPE mod, std::int32_t hz, std::int32_t bfo, int filterCode,
                                                         AGCTYPE agc) const
{
    const int digit = trc243::digitFromMode(mod);
    // The mode first: it brings back its own AGC and filter.
    std::vector<std::string> commands{trc243::modeCommand(digit), trc243::frequencyCommand(hz),
                                      trc243::bfoCommand(mod == ModFAX ? kFaxBfo : bfo)};
    if (!trc243::ssbMode(digit) && filterCode >= 1) {
        commands.push_back(trc243::filterCommand(filterCode));
    }
    if (trc243::agcExists(digit, agc)) {
        commands.push_back(trc243::agcCommand(digit, trc243::letterFromAgc(agc)));
    }
    return commands;
}

RCODE Trc243Receiver::ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz,
                               AGCTYPE agc, std::int32_t)
{
    const auto store = trc243::storeCommand(chn);
    if (!store) {
        return R_PERR;
    }
    if (IsConnected() == 0 || hz < trc243::kMinFrequency || hz > trc243::kMaxFrequency || ModExist(mod) == 0 ||
        trc243::digitFromMode(mod) < 0 || Current().FrqValue == 0xFFFFFFFFu) {
        return R_KO;
    }
    // The channel holds the settings it is given: the receiver is set to
    // them, stores them and is set back to what it was.
    const MODTYPE mode = Current().ModType;
    const auto frequency = static_cast<std::int32_t>(Current().FrqValue);
    const std::int32_t currentBfo = Current().BFOValue;
    const int filterCode = m_filterCode;
    const AGCTYPE currentAgc = Current().AgcType;
    const int slot = NearestOfferedSlot(fltHz);
    auto commands = SettingCommands(mod, hz, std::clamp(bfo, -trc243::kMaxBfo, trc243::kMaxBfo), slot, agc);
    commands.push_back(*store);
    const bool stored = SendAll(commands);
    SendAll(SettingCommands(mode, frequency, currentBfo, filterCode, currentAgc));
    return stored ? R_OK : R_KO;
}

RCODE Trc243Receiver::ChnClear(std::int16_t chn)
{
    const auto command = trc243::eraseCommand(chn);
    if (!command) {
        return R_PERR;
    }
    if (IsConnected() == 0) {
        return R_KO;
    }
    return SendWrapped(*command) ? R_OK : R_KO;
}

// ---- Code conversions ----------------------------------------------------------------------------

std::int32_t Trc243Receiver::RxCodeToMod(std::int32_t code)
{
    return trc243::modeFromDigit(code).value_or(-1);
}

std::int16_t Trc243Receiver::RxModToCode(std::int32_t mod)
{
    return static_cast<std::int16_t>(trc243::digitFromMode(mod));
}

std::int32_t Trc243Receiver::RxCodeToAgc(std::int32_t code)
{
    return trc243::agcFromLetter(static_cast<char>(code)).value_or(-1);
}

std::int16_t Trc243Receiver::RxAgcToCode(std::int32_t agc)
{
    const char letter = trc243::letterFromAgc(agc);
    return letter == '\0' ? std::int16_t{-1} : static_cast<std::int16_t>(letter);
}

std::int32_t Trc243Receiver::RxCodeToFlt(std::int32_t code)
{
    return WidthOfCode(code);
}

std::int16_t Trc243Receiver::RxFltToCode(std::int32_t value)
{
    return static_cast<std::int16_t>(NearestOfferedSlot(value));
}

}  // namespace quorvin
