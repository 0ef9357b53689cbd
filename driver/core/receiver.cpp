// The Receiver base: shared state, frequency arithmetic, name tables, the
// two-key commands, the filter table, the connection and polling cycle and
// the trace helpers.
#include "receiver.h"

#include <algorithm>
#include <cctype>

#include "driver/core/activity.h"
#include "driver/core/configstore.h"
#include "driver/core/driverevents.h"
#include "driver/core/tracelog.h"
#include "platform/clock.h"

namespace quorvin {

namespace {

constexpr std::array<const char*, 12> kModNames = {"AM",  "CW",    "USB",   "LSB", "FM",  "RTTY",
                                                   "FAX", "ECSSU", "ECSSL", "ISB", "CWF", "MPHI"};
constexpr std::array<const char*, 8> kAgcNames = {"Man", "Fast", "Med", "Slow", "MFast", "MMed", "MSlow", "Data"};
constexpr std::array<const char*, 3> kNBlNames = {"Off", "Peek", "Wide"};
constexpr std::array<const char*, 3> kAttNames = {"Off", "On1", "On2"};

template <std::size_t N>
std::string nameOf(const std::array<const char*, N>& table, std::int32_t value)
{
    if (value < 0 || static_cast<std::size_t>(value) >= N) {
        return {};
    }
    return table[static_cast<std::size_t>(value)];
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

template <std::size_t N>
std::int32_t typeOf(const std::array<const char*, N>& table, std::string_view name)
{
    const std::string wanted = lowered(name);
    for (std::size_t i = 0; i < N; ++i) {
        if (lowered(table[i]) == wanted) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

}  // namespace

void setAllOnes(tag_EventData& record)
{
    record.ChnNumber = -1;
    record.FrqValue = 0xFFFFFFFFu;
    record.FrqStep = 0xFFFFFFFFu;
    record.BFOValue = -1;
    record.ModType = ModNone;
    record.FltValue = -1;
    record.AgcType = AgcNone;
    record.AgcLevel = -1;
    record.NBlType = NBlNone;
    record.NBlLevel = -1;
    record.SqlState = SqlNone;
    record.SqlLevel = -1;
    record.AttState = AttNone;
    record.AttLevel = -1;
    record.HFFState = HFFNone;
    record.SMtLevel = -1;
    record.MskValue = -1;
    record.IOState = -1;
    record.Status = -1;
}

void setAllOnes(tag_EventState& flags)
{
    flags = tag_EventState{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
}

void clearRecord(tag_EventData& record)
{
    record = tag_EventData{};
    record.ChnNumber = -1;
}

Receiver::Receiver(DriverEvents* owner) : m_owner(owner), m_channel(this)
{
    clearRecord(m_current);
    m_current.FrqValue = 0xFFFFFFFFu;
    setAllOnes(m_requested);
    clearRecord(m_channelData);
    setAllOnes(m_changed);
    m_fltOrder.fill(-1);
}

Receiver::~Receiver()
{
    StopTimer();
    if (m_connected != 0 || m_linkOpen != 0) {
        m_channel.SetEventMode(false);
        m_channel.Open(false);
    }
}

// ---- Defaults of the virtual operations ------------------------------------

std::int32_t Receiver::RxConfigureLink(const std::string& title)
{
    return m_channel.Configure(title);
}

std::string Receiver::RxAuxText()
{
    return m_auxText;
}

void Receiver::RxInit(std::int16_t index, const std::string& configuration, const std::string& instance)
{
    m_confName = configuration;
    m_instName = instance;
    m_index = index;
    m_defaultBfo = kDefaultBfo;
    if (!configuration.empty()) {
        m_defaultBfo = readDefaultBfo(configuration);
    }
    if (!configuration.empty() && !instance.empty()) {
        RxLoadSettings(configuration, instance);
        m_channel.Load(configuration, instance);
    }
}

std::int32_t Receiver::RxDeleteSettings()
{
    return deleteInstanceSettings(m_confName, m_instName);
}

std::int32_t Receiver::SetFrq(std::int32_t hz, FRQTYPE kind, std::int32_t notify)
{
    if (m_connected == 0) {
        return static_cast<std::int32_t>(m_current.FrqValue);
    }
    std::int64_t value = hz;
    if (kind != NONE) {
        value -= RxFrqShift(EffectiveMode(), kind, 1);
    }
    const auto result = static_cast<std::int32_t>(value);
    if (static_cast<std::uint32_t>(result) != m_current.FrqValue) {
        RxSendFrq(result, EffectiveMode(), notify);
    }
    return result;
}

std::int32_t Receiver::GetFrq(FRQTYPE kind)
{
    if (m_current.FrqValue == 0xFFFFFFFFu) {
        return -1;
    }
    // Signed 64-bit: a negative offset below the bottom of the range clamps
    // to the bottom, not (as an unsigned sum would) to the top.
    std::int64_t value = static_cast<std::int64_t>(m_current.FrqValue) + m_frqOffset;
    const std::int64_t top = RxFrqMax();
    const std::int64_t bottom = RxFrqMin();
    value = std::min(value, top);
    value = std::max(value, bottom);
    value += RxFrqShift(EffectiveMode(), kind, 1);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

std::int32_t Receiver::IsBFOMod(MODTYPE)
{
    return 0;
}

std::int32_t Receiver::GetBFO()
{
    return 0;
}

std::int16_t Receiver::ModCount()
{
    return 0;
}

std::int32_t Receiver::IsModEmu(MODTYPE)
{
    return 0;
}

std::int32_t Receiver::ModExist(MODTYPE)
{
    return 0;
}

MODTYPE Receiver::GetMod()
{
    return m_current.ModType;
}

MODTYPE Receiver::ModNxt()
{
    return ModNone;
}

std::int16_t Receiver::AgcCount()
{
    return 0;
}

std::int32_t Receiver::AgcExist(AGCTYPE)
{
    return 0;
}

AGCTYPE Receiver::SetAgc(AGCTYPE)
{
    return m_current.AgcType;
}

AGCTYPE Receiver::GetAgc()
{
    return m_current.AgcType;
}

std::int16_t Receiver::SetAgcLvl(std::int16_t)
{
    return m_current.AgcLevel;
}

AGCTYPE Receiver::AgcNxt()
{
    return AgcNone;
}

std::int16_t Receiver::NBlCount()
{
    return 0;
}

std::int32_t Receiver::NBlExist(NBLTYPE)
{
    return 0;
}

NBLTYPE Receiver::SetNBl(NBLTYPE)
{
    return NBlNone;
}

NBLTYPE Receiver::GetNBl()
{
    return m_current.NBlType;
}

std::int16_t Receiver::SetNBlLvl(std::int16_t level)
{
    m_current.NBlLevel = level;
    return level;
}

NBLTYPE Receiver::NBlNxt()
{
    return NBlNone;
}

std::int16_t Receiver::AttCount()
{
    return 0;
}

std::int32_t Receiver::AttExist(ATTSTATE)
{
    return 0;
}

ATTSTATE Receiver::SetAtt(ATTSTATE)
{
    return AttNone;
}

ATTSTATE Receiver::GetAtt()
{
    return m_current.AttState;
}

std::int16_t Receiver::SetAttLvl(std::int16_t level)
{
    m_current.AttLevel = level;
    return level;
}

ATTSTATE Receiver::AttNxt()
{
    return AttNone;
}

std::int32_t Receiver::SqlExist()
{
    return 0;
}

SQLSTATE Receiver::GetSql()
{
    return m_current.SqlState;
}

std::int16_t Receiver::SetSqlLvl(std::int16_t level)
{
    m_current.SqlLevel = level;
    return level;
}

std::int32_t Receiver::HFFExist()
{
    return 0;
}

HFFSTATE Receiver::SetHFF(HFFSTATE)
{
    return HFFNone;
}

HFFSTATE Receiver::GetHFF()
{
    return m_current.HFFState;
}

std::int32_t Receiver::SMtExist()
{
    return 0;
}

std::string Receiver::SMtLvl(SMetVal)
{
    return {};
}

std::int16_t Receiver::ChnCount()
{
    return 0;
}

std::int16_t Receiver::ChnStart()
{
    return 0;
}

std::int16_t Receiver::GetChn()
{
    return m_current.ChnNumber;
}

RCODE Receiver::ChnLoad(std::int16_t)
{
    return R_KO;
}

RCODE Receiver::ChnSave(std::int16_t)
{
    return R_KO;
}

RCODE Receiver::ChnRead(std::int16_t)
{
    return R_KO;
}

RCODE Receiver::ChnWrite(std::int16_t, std::int32_t, std::int32_t, MODTYPE, std::int32_t, AGCTYPE, std::int32_t)
{
    return R_KO;
}

RCODE Receiver::ChnClear(std::int16_t)
{
    return R_KO;
}

RCODE Receiver::ChnDump()
{
    return R_KO;
}

std::int32_t Receiver::ChnMskExist()
{
    return 0;
}

void Receiver::SetTime(const std::string&) {}

std::int16_t Receiver::OutCount()
{
    return 0;
}

std::int32_t Receiver::SetOut(std::int16_t, std::int32_t)
{
    return 0;
}

std::int32_t Receiver::GetOut(std::int16_t)
{
    return 0;
}

std::int32_t Receiver::KeyFilterWidth(int entry)
{
    switch (entry) {
    case 1: return 300;
    case 2: return 1200;
    case 3: return 3100;
    case 4: return 6000;
    case 5: return 8000;
    case 6: return 12000;
    default: return 25000;
    }
}

std::int32_t Receiver::ProcessKey(std::int16_t key)
{
    m_keys[0] = m_keys[1];
    m_keys[1] = static_cast<char>(key & 0xFF);
    const std::string pair(m_keys, 2);

    struct ModKey {
        const char* keys;
        MODTYPE mod;
    };
    static constexpr ModKey kModKeys[] = {{"ma", ModAM}, {"mf", ModFM},   {"mu", ModUSB}, {"ml", ModLSB},
                                          {"mc", ModCW}, {"mr", ModRTTY}, {"mx", ModFAX}, {"mi", ModISB}};
    struct FltKey {
        const char* keys;
        int entry;
    };
    static constexpr FltKey kFltKeys[] = {{"fr", 0}, {"f0", 0}, {"fn", 1}, {"f1", 1}, {"fi", 2}, {"f2", 2},
                                          {"fm", 3}, {"f3", 3}, {"fw", 4}, {"f4", 4}, {"f5", 5}};
    struct AgcKey {
        const char* keys;
        AGCTYPE agc;
    };
    static constexpr AgcKey kAgcKeys[] = {{"af", AgcFast}, {"am", AgcMedium}, {"as", AgcSlow}};

    bool matched = false;
    for (const auto& k : kModKeys) {
        if (pair == k.keys) {
            SetMod(k.mod);
            matched = true;
        }
    }
    for (const auto& k : kFltKeys) {
        if (!matched && pair == k.keys) {
            SetFltBW(KeyFilterWidth(k.entry));
            matched = true;
        }
    }
    for (const auto& k : kAgcKeys) {
        if (!matched && pair == k.keys) {
            SetAgc(k.agc);
            matched = true;
        }
    }
    if (!matched && (pair == "p0" || pair == "p1")) {
        SetHFF(pair == "p0" ? HFFOff : HFFOn);
        matched = true;
    }
    if (!matched) {
        return 0;
    }
    m_keys[0] = ' ';
    m_keys[1] = ' ';
    return 1;
}

std::int32_t Receiver::RxModelReady()
{
    return 1;
}

void Receiver::RxModelIdle() {}

std::int32_t Receiver::RxModelStatus()
{
    return 0;
}

std::int32_t Receiver::RxCodeToMod(std::int32_t)
{
    return -1;
}

std::int16_t Receiver::RxModToCode(std::int32_t)
{
    return -1;
}

std::int32_t Receiver::RxCodeToAgc(std::int32_t)
{
    return -1;
}

std::int16_t Receiver::RxAgcToCode(std::int32_t)
{
    return -1;
}

std::int32_t Receiver::RxCodeToAux1(std::int32_t)
{
    return -1;
}

std::int16_t Receiver::RxAux1ToCode(std::int32_t)
{
    return -1;
}

std::int32_t Receiver::RxCodeToAux2(std::int32_t)
{
    return -1;
}

std::int16_t Receiver::RxAux2ToCode(std::int32_t)
{
    return -1;
}

std::int32_t Receiver::RxCodeToFlt(std::int32_t)
{
    return -1;
}

std::int16_t Receiver::RxFltToCode(std::int32_t)
{
    return -1;
}

std::int32_t Receiver::RxSMtRaw()
{
    return -254;
}

// ---- Names, types, BFO, offset, S-points -----------------------------------

std::string Receiver::ModName(std::int32_t mod)
{
    return nameOf(kModNames, mod);
}

std::string Receiver::AgcName(std::int32_t agc)
{
    return nameOf(kAgcNames, agc);
}

std::string Receiver::NBlName(std::int32_t nbl)
{
    return nameOf(kNBlNames, nbl);
}

std::string Receiver::AttName(std::int32_t att)
{
    return nameOf(kAttNames, att);
}

MODTYPE Receiver::ModType(std::string_view name)
{
    return static_cast<MODTYPE>(typeOf(kModNames, name));
}

AGCTYPE Receiver::AgcType(std::string_view name)
{
    return static_cast<AGCTYPE>(typeOf(kAgcNames, name));
}

NBLTYPE Receiver::NBlType(std::string_view name)
{
    return static_cast<NBLTYPE>(typeOf(kNBlNames, name));
}

ATTSTATE Receiver::AttType(std::string_view name)
{
    return static_cast<ATTSTATE>(typeOf(kAttNames, name));
}

MODTYPE Receiver::EffectiveMode() const
{
    return m_requested.ModType != ModNone ? m_requested.ModType : m_current.ModType;
}

std::uint32_t Receiver::EffectiveFrq() const
{
    return m_requested.FrqValue != 0xFFFFFFFFu ? m_requested.FrqValue : m_current.FrqValue;
}

std::int32_t Receiver::SetBFO(std::int32_t hz)
{
    if (m_connected != 0 && IsBFOMod(EffectiveMode()) != 0) {
        if (hz != m_current.BFOValue) {
            RxSendBFO(hz);
        }
        m_bfoSet = 1;
        return m_current.BFOValue;
    }
    m_current.BFOValue = 0;
    return 0;
}

std::int32_t Receiver::RxOffset(std::int32_t hz)
{
    const std::int32_t frq = GetFrq(NONE);
    m_frqOffset = hz;
    SetFrq(frq, NONE, 1);
    return m_frqOffset;
}

std::string Receiver::SPointText()
{
    const std::int32_t level = RxSMtRaw();
    struct Step {
        std::int32_t below;
        const char* text;
    };
    static constexpr Step kSteps[] = {{-8, " S1"}, {-2, " S2"}, {4, " S3"},   {10, " S4"}, {16, " S5"}, {22, " S6"},
                                      {28, " S7"}, {34, " S8"}, {44, " S9"},  {54, "+10"}, {64, "+20"}, {74, "+30"},
                                      {84, "+40"}, {94, "+50"}, {104, "+60"}, {114, "+70"}};
    for (const auto& step : kSteps) {
        if (level < step.below) {
            return step.text;
        }
    }
    // Strong signals read 114 dBµV and more: show them over range.
    return "+80";
}

// ---- Filter table -----------------------------------------------------------

std::int32_t Receiver::FilterWidth(std::int16_t slot) const
{
    return (slot >= 0 && slot < kFilterSlots) ? m_fltValue[static_cast<std::size_t>(slot)] : 0;
}

std::int32_t Receiver::FilterOrder(std::int16_t position) const
{
    return (position >= 0 && position < kFilterSlots) ? m_fltOrder[static_cast<std::size_t>(position)] : -1;
}

void Receiver::SortFilters(std::int16_t firstSlot)
{
    const int first = std::clamp<int>(firstSlot, 0, kFilterSlots);
    const int last = std::clamp<int>(m_fltSlots, 0, kFilterSlots);
    std::array<std::int32_t, kFilterSlots> order{};
    int count = 0;
    for (int slot = first; slot < last; ++slot) {
        if (m_fltValue[static_cast<std::size_t>(slot)] != 0) {
            order[static_cast<std::size_t>(count++)] = slot;
        }
    }
    // Exchange sort over adjacent pairs, count - 1 rounds: equal widths keep
    // their slot order.
    for (int round = 0; round + 1 < count; ++round) {
        for (int i = 0; i + 1 < count; ++i) {
            auto& a = order[static_cast<std::size_t>(i)];
            auto& b = order[static_cast<std::size_t>(i + 1)];
            if (m_fltValue[static_cast<std::size_t>(a)] > m_fltValue[static_cast<std::size_t>(b)]) {
                std::swap(a, b);
            }
        }
    }
    m_fltOrder.fill(-1);
    std::copy_n(order.begin(), count, m_fltOrder.begin());
}

std::int16_t Receiver::FindFilter()
{
    const int first = std::clamp<int>(m_fltFirst, 0, kFilterSlots);
    const int end = std::clamp<int>(first + std::max<int>(m_fltShown, 0), first, kFilterSlots);
    m_fltIndex = static_cast<std::int16_t>(first);
    for (int pos = first; pos < end; ++pos) {
        const std::int32_t slot = m_fltOrder[static_cast<std::size_t>(pos)];
        if (slot >= 0 && slot < kFilterSlots && m_fltValue[static_cast<std::size_t>(slot)] == m_current.FltValue) {
            m_fltIndex = static_cast<std::int16_t>(pos);
            break;
        }
    }
    return m_fltIndex;
}

// ---- Connection and polling cycle ------------------------------------------

void Receiver::StartTimer(std::int32_t periodMs)
{
    StopTimer();
    m_timerId = TimerRegistry::instance().start(this, std::max<std::int32_t>(1, periodMs));
}

void Receiver::StopTimer()
{
    if (m_timerId != 0) {
        TimerRegistry::instance().stop(m_timerId);
        m_timerId = 0;
    }
}

void Receiver::ReportConnState(ConnErr code)
{
    if (m_owner != nullptr) {
        m_owner->RxConnState(m_index, code);
    }
}

void Receiver::ReportDataError(DataErr code)
{
    if (m_owner != nullptr) {
        m_owner->RxDataError(m_index, code);
    }
}

void Receiver::CloseLink(ConnErr code)
{
    const bool wasOpen = m_linkOpen != 0 || m_pending != 0 || m_connected != 0;
    m_channel.SetEventMode(false);
    m_channel.Open(false);
    m_silentTicks = -1;
    m_linkOpen = 0;
    m_connected = 0;
    m_remoteWanted = 0;
    m_pending = 0;
    m_busy = 0;
    ++m_connection;
    if (code == ConnectNoError || (!wasOpen && m_closeReports > 0)) {
        // A client that closes the receiver from inside the report of its
        // close (say, on every error) is not told again, and cannot nest.
        return;
    }
    ++m_closeReports;
    ReportConnState(code);
    --m_closeReports;
}

ConnErr Receiver::Connect()
{
    // A connect from inside this one (a client retrying in the report of a
    // failed open, or while the model waits in RxOpen) would nest without
    // end: it is answered as the attempt under way.
    if (m_pending != 0 || m_connecting != 0) {
        return ConnectRxComPending;
    }
    struct Connecting {
        int& depth;
        explicit Connecting(int& d) : depth(d) { ++depth; }
        ~Connecting() { --depth; }
    } connecting(m_connecting);
    m_pending = 1;
    if (m_connected != 0) {
        RxClose();
        CloseLink(ConnectNoError);
        // CloseLink cleared it: the new attempt is guarded again.
        m_pending = 1;
    }
    ++m_connection;
    m_romId = m_idleRomId;
    // Bytes left over from an earlier connection would be taken for the
    // first answer of this one.
    m_rxBuffer.clear();
    if (!m_channel.Open(true)) {
        const ConnErr code = mapLinkError(m_channel.LinkErrorNumber());
        CloseLink(code);
        return code;
    }
    return LinkOpened();
}

ConnErr Receiver::LinkOpened()
{
    m_pending = 1;
    m_linkOpen = 1;
    const ConnErr result = RxOpen();
    StartTimer(RxPollPeriod());
    return result;
}

ConnErr Receiver::Disconnect()
{
    if (m_connected != 0) {
        RxClose();
    }
    CloseLink(ConnectLnClosed);
    return ConnectNoError;
}

void Receiver::onLinkData(bool dataReceived)
{
    // Data, or a line error that the next read reports: either way the
    // receive handling reads the channel.
    (void)dataReceived;
    ActivityScope scope;
    OnReceive();
}

std::int32_t Receiver::OnReceive()
{
    if (m_busy != 0) {
        m_receiveDeferred = true;
        return 0;
    }
    std::int32_t result = 0;
    // A notification that came in while this one was handled is served
    // here, by reading again, so nothing waiting is left in the link.
    for (int round = 0; round < 16; ++round) {
        m_receiveDeferred = false;
        m_busy = 1;
        const std::uint32_t connection = m_connection;
        const std::string bytes = m_channel.Read(0);
        result = HandleReceived(bytes, bytes.empty() ? m_channel.LinkErrorNumber() : LinkOk);
        // A handler that reconnected owns the link now; what it left
        // waiting is served by the tick.
        if (!m_receiveDeferred || m_linkOpen == 0 || result != 0 || connection != m_connection) {
            break;
        }
    }
    return result;
}

std::int32_t Receiver::ReceiveBytes(const std::string& bytes, int linkError)
{
    if (m_busy != 0) {
        return 0;
    }
    m_busy = 1;
    return HandleReceived(bytes, bytes.empty() ? linkError : LinkOk);
}

std::int32_t Receiver::HandleReceived(const std::string& bytes, int linkError)
{
    if (m_linkOpen == 0) {
        // A notification for a link already closed: nothing to hand over.
        m_busy = 0;
        return 0;
    }
    if (bytes.empty()) {
        if (linkError == LinkTimeOut) {
            // Nothing waiting: a stale notification whose bytes a
            // synchronous read already took. The link is fine.
            m_busy = 0;
            return 0;
        }
        const ConnErr code = mapLinkError(linkError);
        RxClose();
        CloseLink(code);
        return -1;
    }
    // Every event below may reach a client that reconnects or disconnects
    // from its handler: once the connection count moved, the state is that
    // call's, and the bytes belonged to the connection that went.
    const std::uint32_t connection = m_connection;
    m_dataSeen = 1;
    if (m_silentTicks == -1) {
        StopTimer();
        m_pending = 0;
        m_connected = 1;
        m_silentTicks = 0;
        setAllOnes(m_changed);
        setAllOnes(m_requested);
        RxRemote(m_remoteWanted);
        StartTimer(RxPollPeriod());
        if (connection != m_connection) {
            return 0;
        }
        ReportConnState(ConnectNoError);
        if (connection != m_connection) {
            return 0;
        }
    }
    m_silentTicks = 0;
    m_rxBuffer += bytes;
    const std::int32_t parsed = RxParse();
    if (connection != m_connection) {
        return 0;
    }
    if (parsed == -1) {
        ReportDataError(DataErrFrame);
        if (connection != m_connection) {
            return -1;
        }
    }
    m_busy = 0;
    return parsed == -1 ? -1 : 0;
}

void Receiver::OnDataError()
{
    // The receiver answered: it counts as alive. Noted before the client
    // hears of it, since its handler may reconnect, and the new attempt's
    // state is not to be touched. Silence is counted only while connected:
    // a pending attempt keeps waiting for its first answer.
    m_dataSeen = 1;
    if (m_silentTicks != -1) {
        m_silentTicks = 0;
    }
    ReportDataError(DataErrData);
}

std::int32_t Receiver::OnTimer(std::uint32_t tickTime)
{
    return PollTick(tickTime, nullptr);
}

std::int32_t Receiver::PollTick(std::uint32_t tickTime, const bool* channelOpen)
{
    if (m_inTick) {
        return 0;
    }
    struct TickGuard {
        bool& flag;
        explicit TickGuard(bool& f) : flag(f) { flag = true; }
        ~TickGuard() { flag = false; }
    } guard(m_inTick);
    ++m_tickCount;
    const std::int32_t period = std::max<std::int32_t>(1, RxPollPeriod());
    if (m_tickCount > 2000 / period) {
        m_tickCount = 0;
        m_keys[0] = ' ';
        m_keys[1] = ' ';
    }
    if (m_connected != 0 && m_testLink == 1) {
        const bool open = channelOpen != nullptr ? *channelOpen : m_channel.IsOpen();
        if (open && m_dataSeen == 0) {
            ++m_silentTicks;
        }
        // Reaching or passing the limit: a limit lowered below the count
        // still ends a silent connection.
        if (!open || (m_dataSeen == 0 && m_silentTicks >= RxMaxSilentTicks())) {
            RxClose();
            CloseLink(ConnectRxTimeOut);
            return 0;
        }
    }
    if (m_busy != 0) {
        return 0;
    }
    if (m_receiveDeferred && m_linkOpen != 0) {
        OnReceive();
        if (m_busy != 0) {
            return 0;
        }
    }
    const std::uint32_t connection = m_connection;
    const std::int32_t result = RxPoll(tickTime);
    if (connection == m_connection) {
        m_dataSeen = 0;
    }
    return result;
}

bool Receiver::SendCommand(const std::string& frame, int charDelayMs, int afterDelayMs)
{
    if (!m_channel.Write(frame, charDelayMs, afterDelayMs)) {
        return false;
    }
    ++m_commandsSent;
    m_pausesMs += static_cast<std::uint64_t>(std::max(0, charDelayMs)) * frame.size() +
                  static_cast<std::uint64_t>(std::max(0, afterDelayMs));
    return true;
}

// ---- Trace -----------------------------------------------------------------

std::string Receiver::TraceStamp()
{
    const std::uint32_t now = platform::clock().millis();
    const std::uint32_t elapsed = m_stamped ? now - m_lastLog : 0;
    m_stamped = true;
    m_lastLog = now;
    return traceStamp(elapsed);
}

void Receiver::TraceLine(std::string_view prefix, std::string_view text)
{
    if (m_dbg == 0) {
        return;
    }
    std::string line(prefix);
    line += TraceStamp();
    line += text;
    appendTrace(m_traceFile, line);
}

void Receiver::TraceError(std::string_view text)
{
    if (m_dbg == 0) {
        return;
    }
    std::string line("=> Err:");
    line += text;
    appendTrace(m_traceFile, line);
}

void Receiver::TraceRaw(std::string_view bytes)
{
    if (m_dbg != 0) {
        appendTrace(m_traceFile, bytes);
    }
}

}  // namespace quorvin
