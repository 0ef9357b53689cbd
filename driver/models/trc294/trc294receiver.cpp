// TRC294 driver: connect dialogue, poll, status records and frames,
// setters, channels kept in the settings store.
#include "trc294receiver.h"

#include <algorithm>

#include "driver/core/configstore.h"
#include "driver/core/driverevents.h"
#include "driver/models/familyprotocol.h"
#include "platform/settingsstore.h"
#include "platform/wait.h"

namespace quorvin {

namespace {

constexpr int kAfterDelayMs = 40;
constexpr int kRoundMs = 20;
constexpr std::size_t kPlainRecord = 8;
constexpr int kFirstChannel = 1;
constexpr int kLastChannel = 101;
// Written on every save, as the receiver's set-up program always did.
constexpr std::int32_t kChannel127FrqVal = 303366144;  // 0x12150000
constexpr std::int32_t kChannel127FrqExt = 4;

std::uint8_t byteAt(std::string_view bytes, std::size_t pos)
{
    return static_cast<std::uint8_t>(bytes[pos]);
}

bool isRecordStart(std::uint8_t b)
{
    return (b >> 4) == 0x0F;
}

// How the receive buffer is cut: a plain record is 8 bytes from a byte with
// the header nibble 0xF (no other byte of a record has it); a reply frame is
// N bytes from its length byte. A record cut short by the next record start,
// a frame with a wrong length byte or checksum and stray bytes are refused.
RecordCut cutReply(std::string_view buffer)
{
    using Cut = RecordCut;
    const std::uint8_t first = byteAt(buffer, 0);
    if (isRecordStart(first)) {
        const std::size_t scan = std::min(buffer.size(), kPlainRecord - 1);
        for (std::size_t i = 1; i < scan; ++i) {
            if (isRecordStart(byteAt(buffer, i))) {
                return {Cut::Refuse, i};
            }
        }
        return buffer.size() < kPlainRecord ? Cut{Cut::Wait, 0} : Cut{Cut::Take, kPlainRecord};
    }
    if (first >= 3 && first <= trc294::kMaxPayload + 2) {
        if (buffer.size() < first) {
            return {Cut::Wait, 0};
        }
        return {trc294::checkReplyFrame(buffer) == trc294::FrameCheck::Ok ? Cut::Take : Cut::Refuse, first};
    }
    // No record and no frame starts here: everything up to the next record
    // start is refused.
    std::size_t next = 1;
    while (next < buffer.size() && !isRecordStart(byteAt(buffer, next))) {
        ++next;
    }
    return {Cut::Refuse, next};
}

bool validChannel(int chn)
{
    return chn >= kFirstChannel && chn <= kLastChannel;
}

std::string channelValue(int chn, const char* suffix)
{
    std::string name = std::to_string(chn);
    name.insert(0, 3 - std::min<std::size_t>(3, name.size()), '0');
    return name + suffix;
}

// Eight BCD digits of the frequency in 10 Hz units as one number
// (121500000 Hz → 0x12150000), and back.
std::int32_t bcdValue(std::int32_t hz)
{
    std::uint32_t units = static_cast<std::uint32_t>(std::clamp<std::int32_t>(hz, 0, 999999999)) / 10;
    std::uint32_t bcd = 0;
    for (int shift = 0; shift < 32; shift += 4) {
        bcd |= (units % 10) << shift;
        units /= 10;
    }
    return static_cast<std::int32_t>(bcd);
}

std::optional<std::int32_t> hzFromBcd(std::int32_t value)
{
    auto bcd = static_cast<std::uint32_t>(value);
    std::int64_t units = 0;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const std::uint32_t digit = (bcd >> shift) & 0x0F;
        if (digit > 9) {
            return std::nullopt;
        }
        units = units * 10 + digit;
    }
    return static_cast<std::int32_t>(units * 10);
}

}  // namespace

Trc294Receiver::Trc294Receiver(DriverEvents* owner) : FamilyReceiver(owner, DrvTRC294)
{
    // A setting takes the receiver into remote by itself; 0xEE hands it back.
    SetRemoteCommands("", trc294::bare(trc294::kReturnToLocal));
    SetRecordFinder(cutReply, kMaxWaiting);
}

std::string Trc294Receiver::hexBytes(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

bool Trc294Receiver::SendMessage(const std::string& bytes, std::string_view mnemonic)
{
    if (bytes.empty()) {
        return false;
    }
    return SendTraced(bytes, mnemonic, 0, kAfterDelayMs);
}

bool Trc294Receiver::SendText(std::string_view command)
{
    const std::string bytes(command);
    return SendMessage(bytes, hexBytes(bytes));
}

std::string Trc294Receiver::ReadHex(int delayMs, const ReplyComplete& complete)
{
    std::string reply = m_channel.Read(delayMs, complete);
    TraceReceived(hexBytes(reply) + "\n");
    return reply;
}

void Trc294Receiver::Rounds(int count)
{
    for (int i = 0; i < count; ++i) {
        Pause(kRoundMs);
        platform::processPendingEvents();
    }
}

std::uint32_t Trc294Receiver::FittedOptions() const
{
    std::uint32_t fitted = 0;
    if (m_ext != 0) {
        fitted |= optionBit(ModelOption::Ext);
    }
    if (m_ssb != 0) {
        fitted |= optionBit(ModelOption::Ssb);
    }
    return fitted;
}

void Trc294Receiver::LoadModelOptions(const std::string& key)
{
    auto& store = platform::SettingsStore::shared();
    m_ext = store.readNumber(key, "O_EXT", 0);
    m_ssb = store.readNumber(key, "O_SSB", 0);
}

void Trc294Receiver::SaveModelOptions(const std::string& key)
{
    auto& store = platform::SettingsStore::shared();
    store.writeNumber(key, "O_EXT", m_ext);
    store.writeNumber(key, "O_SSB", m_ssb);
    store.writeNumber(key, "127_FrqVal", kChannel127FrqVal);
    store.writeNumber(key, "127_FrqExt", kChannel127FrqExt);
}

std::optional<std::int32_t> Trc294Receiver::ModelOptionValue(std::string_view name) const
{
    if (name == "O_EXT") {
        return m_ext != 0 ? 1 : 0;
    }
    if (name == "O_SSB") {
        return m_ssb != 0 ? 1 : 0;
    }
    return std::nullopt;
}

void Trc294Receiver::ApplyModelOption(std::string_view name, std::int32_t value)
{
    if (name == "O_EXT") {
        m_ext = value;
    } else if (name == "O_SSB") {
        m_ssb = value;
    }
}

std::string Trc294Receiver::StatusRequest() const
{
    return m_aModel ? trc294::aStatusRequest() : trc294::bare(trc294::kPlainStatusRequest);
}

int Trc294Receiver::ModeCode() const
{
    return m_modeCode >= 0 ? m_modeCode : trc294::codeFromMode(Current().ModType);
}

int Trc294Receiver::FilterCodeToSend() const
{
    if (Requested().FltValue != -1 && Requested().FltValue == m_sentFilterWidth && m_sentFilterCode >= 0) {
        return m_sentFilterCode;
    }
    return m_filterCode >= 0 ? m_filterCode : 1;
}

int Trc294Receiver::AttCodeToSend() const
{
    return Requested().AttState != AttNone ? Requested().AttState - AttOff : m_attCode;
}

// ---- Connect and disconnect --------------------------------------------------------

ConnErr Trc294Receiver::RxOpen()
{
    DialogueScope dialogue(*this);
    TraceConnectStart();
    m_aModel = false;
    m_modelText = "294";
    m_modeCode = -1;
    m_filterCode = -1;
    SetRemoteCommands("", trc294::bare(trc294::kReturnToLocal));

    SendMessage(trc294::bare(trc294::kReturnToLocal), "SET LOCAL");
    ReadHex(100, NoReply());
    SendMessage(trc294::bare(trc294::kPlainStatusRequest), "GET STATUS");
    const std::string first = ReadHex(100, Records());
    if (first.empty() && m_channel.LastError() != ConnectNoError) {
        return FailConnect(m_channel.LastError(), "empty response\n");
    }
    if (first.empty() || family::beginsWithTwoDel(first)) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }
    if (!trc294::hasStatusHeader(first)) {
        return FailConnect(ConnectRxIdenError, "bad header\n");
    }
    // A record too short for its fields is a bad reply.
    const auto plain = trc294::parsePlainStatus(first);
    if (!plain) {
        return FailConnect(ConnectLnTimeOut, "bad response\n");
    }

    SendMessage(trc294::aStatusRequest(), hexBytes(trc294::aStatusRequest()));
    // The plain model does not answer this request: its read runs to the
    // end of its delay.
    const std::string second = ReadHex(200, Records());
    m_aModel = trc294::isAModelReply(second);
    m_modelText = m_aModel ? "294A" : "294";
    m_romId = m_modelText;
    // The A model's frame when it is whole and checks; else the record of
    // the first request (the plain model does not answer the frame).
    const auto framed = m_aModel ? trc294::parseAStatus(second) : std::nullopt;
    ApplyStatus(framed ? *framed : *plain);
    m_channel.SetEventMode(true);

    if (m_aModel) {
        SetRemoteCommands(trc294::remoteMessage(true), trc294::bare(trc294::kReturnToLocal));
        SendText(trc294::remoteMessage(true));
        Rounds(10);
        SendText(trc294::panelText("\nTRC294A REMOTE  "));
        Rounds(4);
        if (Current().FrqValue != 0xFFFFFFFFu) {
            SendText(trc294::tuneMessage(static_cast<std::int32_t>(Current().FrqValue), ModeCode()));
        }
        Rounds(4);
        SendText(trc294::filterAttMessage(m_filterCode >= 0 ? m_filterCode : 1, m_attCode));
    }
    SendMessage(trc294::bare(trc294::kReturnToLocal), "SET LOCAL");
    Rounds(2);
    SendMessage(StatusRequest(), "GET STATUS");
    TraceConnectDone();
    return ConnectNoError;
}

void Trc294Receiver::RxClose()
{
    if (InDialogue()) {
        return;
    }
    DialogueScope dialogue(*this);
    m_channel.SetEventMode(false);
    if (m_aModel) {
        SendText(trc294::panelText("\nTRC294A LOCAL   "));
    }
    SendText(trc294::bare(trc294::kReturnToLocal));
    DropRemote();
}

std::int32_t Trc294Receiver::RxRemote(std::int32_t on)
{
    const std::int32_t before = IsRemote();
    const std::int32_t result = FamilyReceiver::RxRemote(on);
    // The A model's panel says who holds it.
    if (m_aModel && result != 0 && IsConnected() != 0 && IsRemote() != before) {
        SendText(trc294::panelText(IsRemote() != 0 ? "\nTRC294A LOCKED  " : "\nTRC294A UNLOCKED"));
    }
    return result;
}

// ---- Poll and replies ---------------------------------------------------------------

std::int32_t Trc294Receiver::RxPoll(std::uint32_t)
{
    if (!PollAllowed()) {
        return 0;
    }
    SendMessage(StatusRequest(), "GET STATUS");
    return 0;
}

bool Trc294Receiver::ApplyRecord(const std::string& record)
{
    if (TraceOn() != 0) {
        TraceReceived(" FRAME   " + hexBytes(record) + "\n");
    }
    if (const auto plain = trc294::parsePlainStatus(record)) {
        ApplyStatus(*plain);
        return true;
    }
    if (const auto framed = trc294::parseAStatus(record)) {
        ApplyStatus(*framed);
        return true;
    }
    // A good frame of another type carries nothing the driver reads.
    return trc294::checkReplyFrame(record) == trc294::FrameCheck::Ok && !isRecordStart(byteAt(record, 0));
}

void Trc294Receiver::ApplyStatus(const trc294::Status& s)
{
    if (const auto mod = trc294::modeFromCode(s.modeCode)) {
        m_modeCode = s.modeCode;
        ChangeMod(static_cast<MODTYPE>(*mod));
    }
    ChangeFrq(static_cast<std::uint32_t>(s.frequencyHz));
    m_filterCode = s.filterCode;
    ChangeFlt(SlotWidth(trc294::slotFromFilterCode(s.filterCode, ModeCode())));
    if (const auto att = trc294::attFromCode(s.attCode)) {
        m_attCode = s.attCode;
        ChangeAtt(static_cast<ATTSTATE>(*att), static_cast<std::int16_t>(s.attCode));
    }
    if (s.channel) {
        ChangeChn(static_cast<std::int16_t>(validChannel(*s.channel) ? *s.channel : -1));
    }
}

// ---- Setters ----------------------------------------------------------------------------

void Trc294Receiver::RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t)
{
    if (IsConnected() == 0) {
        return;
    }
    const std::int64_t driverHz = static_cast<std::int64_t>(hz) - RxOffset();
    if (driverHz < RxFrqMin() || driverHz > RxFrqMax()) {
        return;
    }
    int code = trc294::codeFromMode(mod);
    if (code < 0) {
        code = ModeCode();
    }
    if (code < 0) {
        return;
    }
    const std::int32_t step = trc294::frequencyStep(code);
    const auto cut = static_cast<std::int32_t>(driverHz / step * step);
    const std::uint32_t before = Requested().FrqValue;
    RequestFrq(static_cast<std::uint32_t>(cut));
    if (!SendWrapped(trc294::tuneMessage(cut, code))) {
        RequestFrq(before);
        return;
    }
    if (m_aModel) {
        ChangeChn(-1);
    }
}

void Trc294Receiver::RxSendBFO(std::int32_t)
{
    // The receiver has no BFO.
}

MODTYPE Trc294Receiver::SetMod(MODTYPE mod)
{
    if (IsConnected() == 0 || mod == ModNone || ModExist(mod) == 0 || Current().FrqValue == 0xFFFFFFFFu) {
        return Current().ModType;
    }
    const int code = trc294::codeFromMode(mod);
    if (code < 0) {
        return Current().ModType;
    }
    // Frequency and mode travel together: the frequency is kept, cut to the
    // new mode's step. A frequency still waiting for its confirmation is the
    // one kept: the receiver's last report would tune it back.
    RequestMod(mod);
    if (!SendWrapped(trc294::tuneMessage(static_cast<std::int32_t>(EffectiveFrq()), code))) {
        RequestMod(ModNone);
        return Current().ModType;
    }
    if (m_aModel) {
        ChangeChn(-1);
    }
    return mod;
}

std::int32_t Trc294Receiver::SetFltBW(std::int32_t hz)
{
    if (IsConnected() == 0) {
        return Current().FltValue;
    }
    // USB and LSB always use the SSB filter.
    const int modeCode = ModeCode();
    if (modeCode == trc294::kModeUSB || modeCode == trc294::kModeLSB) {
        return SlotWidth(0);
    }
    const int slot = NearestOfferedSlot(hz);
    const int code = trc294::filterCodeFromSlot(slot);
    if (slot < 0 || code < 0) {
        return Current().FltValue;
    }
    const std::int32_t width = SlotWidth(slot);
    if (width != Current().FltValue || code != m_filterCode) {
        RequestFlt(width);
        m_sentFilterWidth = width;
        m_sentFilterCode = code;
        if (!SendWrapped(trc294::filterAttMessage(code, AttCodeToSend()))) {
            RequestFlt(-1);
            return Current().FltValue;
        }
        if (m_aModel) {
            ChangeChn(-1);
        }
    }
    return width;
}

ATTSTATE Trc294Receiver::SetAtt(ATTSTATE att)
{
    if (IsConnected() == 0 || att < AttOff || att > AttOn5) {
        return AttNone;
    }
    if (att == Current().AttState) {
        return att;
    }
    RequestAtt(att);
    if (!SendWrapped(trc294::filterAttMessage(FilterCodeToSend(), att - AttOff))) {
        RequestAtt(AttNone);
        return AttNone;
    }
    if (m_aModel) {
        ChangeChn(-1);
    }
    return att;
}

// ---- Memory channels --------------------------------------------------------------------

std::string Trc294Receiver::SettingsKey() const
{
    if (!isKeyName(ConfigurationName()) || !isKeyName(InstanceName())) {
        return {};
    }
    return instanceKey(ConfigurationName(), InstanceName());
}

std::optional<Trc294Receiver::Stored> Trc294Receiver::LoadChannel(int chn) const
{
    const std::string key = SettingsKey();
    if (key.empty()) {
        return std::nullopt;
    }
    auto& store = platform::SettingsStore::shared();
    const auto value = store.readNumber(key, channelValue(chn, "_FrqVal"));
    const auto ext = store.readNumber(key, channelValue(chn, "_FrqExt"));
    if (!value || !ext || *value == 0) {
        return std::nullopt;
    }
    const auto hz = hzFromBcd(*value);
    if (!hz) {
        return std::nullopt;  // a broken value: the channel counts as empty
    }
    Stored s;
    s.hz = *hz;
    s.modeCode = *ext & 0x0F;
    s.filterCode = (*ext >> 4) & 0x0F;
    s.attCode = (*ext >> 8) & 0x0F;
    s.mask = (*ext >> 16) & 0xFF;
    return s;
}

void Trc294Receiver::StoreChannel(int chn, const Stored& s)
{
    const std::string key = SettingsKey();
    if (key.empty()) {
        return;
    }
    auto& store = platform::SettingsStore::shared();
    store.writeNumber(key, channelValue(chn, "_FrqVal"), bcdValue(s.hz));
    store.writeNumber(key, channelValue(chn, "_FrqExt"),
                      (s.modeCode & 0x0F) | (s.filterCode & 0x0F) << 4 | (s.attCode & 0x0F) << 8 |
                          (s.mask & 0xFF) << 16);
}

void Trc294Receiver::ForgetChannel(int chn)
{
    const std::string key = SettingsKey();
    if (key.empty()) {
        return;
    }
    auto& store = platform::SettingsStore::shared();
    store.deleteValue(key, channelValue(chn, "_FrqVal"));
    store.deleteValue(key, channelValue(chn, "_FrqExt"));
}

void Trc294Receiver::ReportChannel(int chn)
{
    DriverEvents* owner = Owner();
    if (owner == nullptr) {
        return;
    }
    const auto stored = LoadChannel(chn);
    const auto number = static_cast<std::int16_t>(chn);
    if (!stored) {
        owner->RxChnStatus(Index(), number, 0, 0, ModNone, 0, AgcNone, 0);
        return;
    }
    const std::int32_t mod = trc294::modeFromCode(stored->modeCode).value_or(ModNone);
    const std::int32_t width = SlotWidth(trc294::slotFromFilterCode(stored->filterCode, stored->modeCode));
    owner->RxChnStatus(Index(), number, stored->hz, 0, mod, width, AgcNone, stored->mask);
}

RCODE Trc294Receiver::ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t, MODTYPE mod, std::int32_t fltHz,
                               AGCTYPE, std::int32_t msk)
{
    if (!validChannel(chn)) {
        return R_PERR;
    }
    if (IsConnected() == 0 || hz < RxFrqMin() || hz > RxFrqMax() || ModExist(mod) == 0 || msk < 0 || msk > 0xFF) {
        return R_KO;
    }
    Stored s;
    s.modeCode = trc294::codeFromMode(mod);
    if (s.modeCode < 0) {
        return R_KO;
    }
    const std::int32_t step = trc294::frequencyStep(s.modeCode);
    s.hz = hz / step * step;
    const int slot = NearestOfferedSlot(fltHz);
    s.filterCode = slot < 0 ? 1 : std::max(0, trc294::filterCodeFromSlot(slot));
    s.attCode = m_attCode;
    s.mask = msk;
    if (!SendWrapped(trc294::channelWriteMessage(chn, s.hz, s.modeCode, s.filterCode, s.attCode,
                                                 static_cast<std::uint8_t>(s.mask)))) {
        return R_KO;
    }
    StoreChannel(chn, s);
    return R_OK;
}

RCODE Trc294Receiver::ChnSave(std::int16_t chn)
{
    if (!validChannel(chn)) {
        return R_PERR;
    }
    if (IsConnected() == 0 || Current().FrqValue == 0xFFFFFFFFu) {
        return R_KO;
    }
    const auto stored = LoadChannel(chn);
    return ChnWrite(chn, static_cast<std::int32_t>(Current().FrqValue), 0, Current().ModType, Current().FltValue,
                    AgcNone, stored ? stored->mask : 0);
}

RCODE Trc294Receiver::ChnLoad(std::int16_t chn)
{
    if (!validChannel(chn)) {
        return R_PERR;
    }
    // The receiver refuses to recall a channel that holds nothing.
    if (IsConnected() == 0 || !LoadChannel(chn)) {
        return R_KO;
    }
    if (!SendWrapped(trc294::channelRecallMessage(chn))) {
        return R_KO;
    }
    ChangeChn(chn);
    return ChannelLoadSent(true);
}

RCODE Trc294Receiver::ChnClear(std::int16_t chn)
{
    if (!validChannel(chn)) {
        return R_PERR;
    }
    if (IsConnected() == 0 || !SendWrapped(trc294::channelClearMessage(chn))) {
        return R_KO;
    }
    ForgetChannel(chn);
    if (Current().ChnNumber == chn) {
        ChangeChn(-1);
    }
    return R_OK;
}

RCODE Trc294Receiver::ChnRead(std::int16_t chn)
{
    if (!validChannel(chn)) {
        return R_PERR;
    }
    ReportChannel(chn);
    if (chn == kLastChannel) {
        platform::processPendingEvents();
        if (Owner() != nullptr) {
            Owner()->RxChnStatus(Index(), -1, 0, 0, ModNone, 0, AgcNone, 0);
        }
    }
    return R_OK;
}

RCODE Trc294Receiver::ChnDump()
{
    for (int chn = kFirstChannel; chn <= kLastChannel; ++chn) {
        ChnRead(static_cast<std::int16_t>(chn));
    }
    return R_OK;
}

// ---- Code conversions -----------------------------------------------------------------------

std::int32_t Trc294Receiver::RxCodeToMod(std::int32_t code)
{
    return trc294::modeFromCode(code).value_or(-1);
}

std::int16_t Trc294Receiver::RxModToCode(std::int32_t mod)
{
    return static_cast<std::int16_t>(trc294::codeFromMode(mod));
}

std::int32_t Trc294Receiver::RxCodeToFlt(std::int32_t code)
{
    return SlotWidth(trc294::slotFromFilterCode(code, ModeCode()));
}

std::int16_t Trc294Receiver::RxFltToCode(std::int32_t value)
{
    return static_cast<std::int16_t>(trc294::filterCodeFromSlot(NearestOfferedSlot(value)));
}

}  // namespace quorvin
