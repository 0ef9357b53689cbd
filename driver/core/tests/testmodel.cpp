// The test-only receiver model.
#include "testmodel.h"

#include <algorithm>

#include "driver/core/activity.h"
#include "driver/core/configstore.h"
#include "driver/core/driverevents.h"
#include "driver/core/modelregistry.h"
#include "platform/numbers.h"
#include "platform/settingsstore.h"

namespace quorvin::test {

int TestModel::destroyed = 0;

std::vector<TestModel*>& TestModel::live()
{
    static std::vector<TestModel*> models;
    return models;
}

void TestModel::registerFor(std::initializer_list<DrvType> types)
{
    for (const DrvType type : types) {
        registerModel(type, [type](DriverEvents* owner) { return std::make_unique<TestModel>(owner, type); });
    }
}

TestModel::TestModel(DriverEvents* owner, DrvType t) : Receiver(owner), type(t)
{
    m_traceFile = "testrx.log";
    live().push_back(this);
}

TestModel::~TestModel()
{
    std::erase(live(), this);
    ++destroyed;
}

ConnErr TestModel::RxOpen()
{
    ++openCalls;
    if (talk) {
        SendCommand("I\r", 0, 0);
        m_channel.SetEventMode(true);
    }
    return openResult;
}

std::int32_t TestModel::RxPoll(std::uint32_t)
{
    ++pollCalls;
    if (talk && IsLinkOpen() != 0) {
        SendCommand("S\r", 0, 0);
    }
    if (duringPoll) {
        duringPoll();
    }
    return 0;
}

std::int32_t TestModel::OnTimer(std::uint32_t tickTime)
{
    ++ticks;
    return Receiver::OnTimer(tickTime);
}

void TestModel::onLinkData(bool dataReceived)
{
    ++notifications;
    Receiver::onLinkData(dataReceived);
}

std::int32_t TestModel::RxParse()
{
    ticksAtData = ticks;
    std::int32_t result = 0;
    std::size_t end;
    while ((end = m_rxBuffer.find('\r')) != std::string::npos) {
        const std::string record = m_rxBuffer.substr(0, end);
        m_rxBuffer.erase(0, end + 1);
        parsed += record;
        parsed += '|';
        const auto value = record.size() > 1 ? platform::parseInt(std::string_view(record).substr(1)) : std::nullopt;
        if (!value) {
            result = -1;
            continue;
        }
        switch (record[0]) {
        case 'F':
            if (m_current.FrqValue != static_cast<std::uint32_t>(*value)) {
                m_current.FrqValue = static_cast<std::uint32_t>(*value);
                m_changed.FrqValue = -1;
            }
            m_requested.FrqValue = 0xFFFFFFFFu;
            break;
        case 'M':
            if (m_current.ModType != static_cast<MODTYPE>(*value)) {
                m_current.ModType = static_cast<MODTYPE>(*value);
                m_changed.ModType = -1;
            }
            m_requested.ModType = ModNone;
            break;
        case 'W':
            if (m_current.FltValue != static_cast<std::int32_t>(*value)) {
                m_current.FltValue = static_cast<std::int32_t>(*value);
                m_changed.FltValue = -1;
            }
            m_requested.FltValue = -1;
            break;
        case 'G':
            if (m_current.AgcType != static_cast<AGCTYPE>(*value)) {
                m_current.AgcType = static_cast<AGCTYPE>(*value);
                m_changed.AgcType = -1;
            }
            m_requested.AgcType = AgcNone;
            break;
        case 'E':
            // A reply the model cannot use.
            OnDataError();
            break;
        default: result = -1; break;
        }
    }
    if (duringParse) {
        duringParse();
    }
    RxReportChanges();
    return result;
}

void TestModel::RxReportChanges()
{
    if (Owner() == nullptr) {
        return;
    }
    if (m_changed.FrqValue != 0 && m_current.FrqValue != 0xFFFFFFFFu) {
        m_changed.FrqValue = 0;
        Owner()->RxFrqUpdated(m_index, static_cast<std::int32_t>(m_current.FrqValue), GetFrq(NONE));
    }
    if (m_changed.ModType != 0 && m_current.ModType != ModNone) {
        m_changed.ModType = 0;
        Owner()->RxModUpdated(m_index, m_current.ModType, m_current.BFOValue);
    }
    if (m_changed.FltValue != 0 && m_current.FltValue > 0) {
        m_changed.FltValue = 0;
        Owner()->RxFltUpdated(m_index, m_current.FltValue);
    }
    if (m_changed.AgcType != 0 && m_current.AgcType != AgcNone) {
        m_changed.AgcType = 0;
        Owner()->RxAgcUpdated(m_index, m_current.AgcType, m_current.AgcLevel);
    }
}

void TestModel::RxSendFrq(std::int32_t hz, MODTYPE, std::int32_t)
{
    m_requested.FrqValue = static_cast<std::uint32_t>(hz);
    wire.push_back("F" + std::to_string(hz));
    NoteCommandSent();
}

void TestModel::RxSendBFO(std::int32_t hz)
{
    wire.push_back("B" + std::to_string(hz));
    NoteCommandSent();
}

MODTYPE TestModel::SetMod(MODTYPE mod)
{
    if (IsConnected() == 0 || mod == EffectiveMode()) {
        return m_current.ModType;
    }
    m_requested.ModType = mod;
    wire.push_back("M" + std::to_string(mod));
    NoteCommandSent();
    return mod;
}

std::int32_t TestModel::SetFltBW(std::int32_t hz)
{
    if (IsConnected() == 0 || hz == m_current.FltValue) {
        return m_current.FltValue;
    }
    m_requested.FltValue = hz;
    wire.push_back("W" + std::to_string(hz));
    NoteCommandSent();
    return hz;
}

AGCTYPE TestModel::SetAgc(AGCTYPE agc)
{
    if (IsConnected() == 0 || agc == m_current.AgcType) {
        return m_current.AgcType;
    }
    m_requested.AgcType = agc;
    wire.push_back("G" + std::to_string(agc));
    NoteCommandSent();
    return agc;
}

std::int32_t TestModel::RxFrqShift(MODTYPE, FRQTYPE kind, std::int32_t)
{
    // A visible shift per kind: 100 Hz times the kind.
    return static_cast<std::int32_t>(kind) * 100;
}

void TestModel::RxLoadSettings(const std::string& configuration, const std::string& instance)
{
    auto& store = platform::SettingsStore::shared();
    const auto key = instanceKey(configuration, instance);
    m_testLink = store.readNumber(key, "C_Test", m_testLink);
    const auto wait = store.readNumber(key, "C_Wait");
    m_wait = static_cast<std::int16_t>((wait && *wait >= 1 && *wait <= 5000) ? *wait : 250);
    if (!wait || *wait != m_wait) {
        store.writeNumber(key, "C_Wait", m_wait);
    }
    const auto retries = store.readNumber(key, "C_Retr");
    m_retries = static_cast<std::int16_t>((retries && *retries >= 1 && *retries <= 100) ? *retries : 8);
    if (!retries || *retries != m_retries) {
        store.writeNumber(key, "C_Retr", m_retries);
    }
    const auto dbg = store.readNumber(key, "C_Dbg");
    m_dbg = dbg.value_or(0);
    if (!dbg) {
        store.writeNumber(key, "C_Dbg", 0);
    }
    m_manualAgc = store.readNumber(key, "R_MAgc", m_manualAgc);
    m_isbEnabled = store.readNumber(key, "O_ISB", m_isbEnabled);
    storedMax = store.readNumber(key, "X_Max", 0);
    talk = store.readNumber(key, "X_Wire", 0) == 1;
    if (storedMax > 0) {
        frqMax = storedMax;
    }
    pollPeriod = m_wait;
    maxSilentTicks = m_retries;
}

bool TestModel::RxSaveSettings(const std::string& configuration, const std::string& instance)
{
    auto& store = platform::SettingsStore::shared();
    const auto unsaved = store.unsavedWrites();
    const auto key = instanceKey(configuration, instance);
    store.writeNumber(key, "D_Type", type);
    store.writeNumber(key, "C_Test", m_testLink);
    store.writeNumber(key, "R_MAgc", m_manualAgc);
    store.writeNumber(key, "O_ISB", m_isbEnabled);
    store.writeNumber(key, "C_Wait", m_wait);
    store.writeNumber(key, "C_Retr", m_retries);
    store.writeNumber(key, "C_Dbg", m_dbg);
    return store.unsavedWrites() == unsaved;
}

std::int32_t TestModel::feed(const std::string& bytes, int linkError)
{
    ActivityScope scope;
    return ReceiveBytes(bytes, linkError);
}

void TestModel::readNow()
{
    ActivityScope scope;
    const std::string bytes = m_channel.Read(0);
    if (!bytes.empty()) {
        m_rxBuffer += bytes;
        RxParse();
    }
}

std::int32_t TestModel::tick(bool channelOpen, std::uint32_t tickTime)
{
    ActivityScope scope;
    return PollTick(tickTime, &channelOpen);
}

void TestModel::connectNow(std::uint32_t frq)
{
    openLink();
    feed("F" + std::to_string(frq) + "\r");
}

void TestModel::setFilters(std::initializer_list<std::int32_t> widths, std::int16_t slots, std::int16_t shown,
                           std::int16_t first)
{
    m_fltValue.fill(0);
    std::size_t i = 0;
    for (const auto w : widths) {
        if (i < m_fltValue.size()) {
            m_fltValue[i++] = w;
        }
    }
    m_fltSlots = slots;
    m_fltShown = shown;
    m_fltFirst = first;
}

void TestModel::setChangedFlags(std::int32_t value)
{
    m_changed = tag_EventState{value, value, value, value, value, value, value, value, value, value,
                               value, value, value, value, value, value, value, value, value};
}

}  // namespace quorvin::test
