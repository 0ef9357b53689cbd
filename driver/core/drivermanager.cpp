// The instance list, loading from the store, forwarding, and event delivery
// to the client sinks.
#include "drivermanager.h"

#include <algorithm>
#include <cctype>

#include "driver/core/activity.h"
#include "driver/core/clienttext.h"
#include "driver/core/configstore.h"
#include "driver/core/modelregistry.h"
#include "driver/core/receiver.h"
#include "platform/reporter.h"
#include "platform/settingsstore.h"

namespace quorvin {

namespace {

bool sameNameIgnoringCase(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Subkey names longer than this are not instance names.
constexpr std::size_t kMaxKeyName = 1024;

}  // namespace

DriverManager::DriverManager() = default;

DriverManager::~DriverManager()
{
    m_sinks.clear();
    // Destruction is deferred by the owner until the driver is idle, so
    // removing cannot be refused here; remove directly.
    while (!m_instances.empty()) {
        auto& inst = m_instances.back();
        if (inst->receiver) {
            inst->receiver->Disconnect();
        }
        m_instances.pop_back();
    }
}

bool DriverManager::CanReconfigure() const
{
    // The open selection dialog may change the list; anything running inside
    // it (a tick, a receive, a client's event handler) may not.
    const int depth = ActivityScope::depth();
    if (depth != 0 && !(m_dialogDepth != kNoDialog && depth == m_dialogDepth)) {
        return false;
    }
    return std::none_of(m_instances.begin(), m_instances.end(),
                        [](const auto& inst) { return inst->receiver && inst->receiver->IsEngaged(); });
}

std::int32_t DriverManager::ConfigureReceiver(std::int16_t index)
{
    ReceiverInstance* inst = Route(index);
    if (inst == nullptr || !inst->receiver) {
        return 0;
    }
    if (!CanReconfigure()) {
        // Its settings would change under code that is still using them (or
        // under another receiver's dialogue the operator started).
        platform::reporter().message(inst->name + " Receiver settings",
                                     "A receiver is busy talking to its receiver.\n"
                                     "Try again when it has finished.",
                                     platform::MessageIcon::Warning);
        return 0;
    }
    // The dialog lets events run: while it is open the list stays as it is,
    // and a driver released meanwhile goes once the dialog is done.
    ActivityScope scope;
    return inst->receiver->RxConfigure();
}

bool DriverManager::DrvConfigure(const std::string& name, ConfMode mode, std::int32_t* result)
{
    if (m_dialogDepth != kNoDialog || !CanReconfigure()) {
        return false;
    }
    if (!isKeyName(name)) {
        // An empty name, or one with a backslash, names no configuration
        // key (it would reach another key, or the root): refused, and the
        // configuration loaded stays as it is.
        *result = 0;
        return false;
    }
    m_confName = name;
    LoadConfiguration();
    m_forward = kNoForward;
    m_changed = false;
    const bool wasEmpty = m_instances.empty();
    if (!wasEmpty && mode == ConfLoad) {
        *result = 1;
        return true;
    }
    {
        // The modal dialog lets events run while the operator works in it:
        // a client that releases the driver meanwhile has the manager
        // destroyed only once the dialog is done, when this scope ends.
        ActivityScope scope;
        m_dialogDepth = ActivityScope::depth();
        const bool shown = runSelectionDialog(*this);
        m_dialogDepth = kNoDialog;
        if (shown && m_changed && !wasEmpty) {
            DrvUpdated(static_cast<std::int32_t>(m_instances.size()));
        }
        *result = static_cast<std::int32_t>(m_instances.size());
    }
    return true;
}

void DriverManager::LoadConfiguration()
{
    auto& store = platform::SettingsStore::shared();
    if (!isKeyName(m_confName) || !store.createKey(platform::kSettingsRoot)) {
        return;
    }
    const std::string confKey = configurationKey(m_confName);
    if (!store.createKey(confKey)) {
        return;
    }
    if (!RemoveAllInstances(false)) {
        return;
    }
    for (const std::string& name : store.subkeys(confKey)) {
        if (m_instances.size() >= static_cast<std::size_t>(kDrvMax)) {
            break;
        }
        if (name.size() > kMaxKeyName || !isKeyName(name)) {
            continue;
        }
        const auto type = store.readNumber(instanceKey(m_confName, name), "D_Type");
        if (!type) {
            continue;
        }
        if (*type < DrvNRD535 || *type > DrvHF2050) {
            break;
        }
        auto receiver = createModel(*type, this);
        if (!receiver) {
            // A model without a driver in this build: leave it in the store.
            continue;
        }
        auto inst = std::make_unique<ReceiverInstance>();
        inst->name = name;
        inst->receiver = std::move(receiver);
        Receiver& rx = *inst->receiver;
        const auto index = static_cast<std::int16_t>(m_instances.size());
        m_instances.push_back(std::move(inst));
        rx.RxInit(index, m_confName, name);
    }
}

bool DriverManager::RemoveAllInstances(bool deleteKeys)
{
    if (!CanReconfigure()) {
        return false;
    }
    ActivityScope scope;
    while (!m_instances.empty()) {
        auto& inst = m_instances.back();
        if (inst->receiver) {
            if (deleteKeys) {
                inst->receiver->RxDeleteSettings();
            }
            inst->receiver->Disconnect();
        }
        m_instances.pop_back();
    }
    return true;
}

ReceiverInstance* DriverManager::AddInstance(DrvType type, const std::string& name)
{
    if (!CanReconfigure() || m_instances.size() >= static_cast<std::size_t>(kDrvMax) || !isKeyName(name) ||
        !isKeyName(m_confName)) {
        return nullptr;
    }
    for (const auto& inst : m_instances) {
        if (sameNameIgnoringCase(inst->name, name)) {
            return nullptr;
        }
    }
    auto receiver = createModel(type, this);
    if (!receiver) {
        return nullptr;
    }
    ActivityScope scope;
    auto inst = std::make_unique<ReceiverInstance>();
    inst->name = name;
    inst->receiver = std::move(receiver);
    ReceiverInstance* added = inst.get();
    const auto index = static_cast<std::int16_t>(m_instances.size());
    m_instances.push_back(std::move(inst));
    added->receiver->RxInit(index, m_confName, name);
    // D_Type makes the instance load again next time.
    if (!added->receiver->RxSaveSettings(m_confName, name) && platform::SettingsStore::shared().isPersistent()) {
        // The file should have taken it and did not: an instance that would
        // be missing (or half there) at the next start is not added. The
        // store has told the user why (its lastError says it again).
        added->receiver->RxDeleteSettings();
        m_instances.pop_back();
        return nullptr;
    }
    // A store that keeps nothing (read-only, or running from memory) has
    // told the user so once: the instance serves this session.
    return added;
}

ReceiverInstance* DriverManager::Instance(std::int32_t position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= m_instances.size()) {
        return nullptr;
    }
    return m_instances[static_cast<std::size_t>(position)].get();
}

ReceiverInstance* DriverManager::Route(std::int16_t index)
{
    if (m_instances.empty()) {
        return nullptr;
    }
    ReceiverInstance* inst = Instance(index);
    return inst != nullptr ? inst : m_instances.front().get();
}

Receiver* DriverManager::RouteReceiver(std::int16_t index)
{
    ReceiverInstance* inst = Route(index);
    return inst != nullptr ? inst->receiver.get() : nullptr;
}

std::uint32_t DriverManager::Advise(IReceiverDriverEvents* sink)
{
    if (sink == nullptr) {
        return 0;
    }
    const std::uint32_t cookie = m_nextCookie++;
    if (m_nextCookie == 0) {
        m_nextCookie = 1;
    }
    m_sinks.emplace_back(cookie, sink);
    return cookie;
}

bool DriverManager::Unadvise(std::uint32_t cookie)
{
    const auto before = m_sinks.size();
    std::erase_if(m_sinks, [cookie](const auto& entry) { return entry.first == cookie; });
    return m_sinks.size() != before;
}

void DriverManager::Fire(const std::function<HRESULT(IReceiverDriverEvents&)>& call)
{
    // A sink may connect or disconnect sinks while it runs: walk a snapshot
    // of the cookies and call only sinks that are still connected.
    std::vector<std::uint32_t> cookies;
    cookies.reserve(m_sinks.size());
    for (const auto& entry : m_sinks) {
        cookies.push_back(entry.first);
    }
    for (const std::uint32_t cookie : cookies) {
        auto it = std::find_if(m_sinks.begin(), m_sinks.end(), [cookie](const auto& e) { return e.first == cookie; });
        if (it == m_sinks.end()) {
            continue;
        }
        try {
            (void)call(*it->second);
        } catch (...) {
            // A failing sink does not keep the others from their event.
        }
    }
}

void DriverManager::ForwardChange(std::int16_t index, EchoCounter counter, const std::function<void(Receiver&)>& apply)
{
    ReceiverInstance* source = Instance(index);
    if (source == nullptr) {
        return;
    }
    if (source->*counter != 0) {
        // The echo of a change forwarded to this receiver.
        source->*counter = 0;
        return;
    }
    if (m_forward == kNoForward || (m_forward != kAllMasters && m_forward != index)) {
        return;
    }
    // The targets' setters may wait for their receivers: keep the list
    // as it is until the loop is done.
    ActivityScope scope;
    for (std::size_t i = 0; i < m_instances.size(); ++i) {
        if (static_cast<std::int32_t>(i) == index) {
            continue;
        }
        ReceiverInstance& target = *m_instances[i];
        if (!target.receiver) {
            continue;
        }
        // Expect the echo only when a command actually went out: a receiver
        // that is not connected, or already there, reports nothing back,
        // and a stale counter would swallow its next genuine change.
        const std::uint64_t before = target.receiver->CommandsSent();
        ++(target.*counter);
        apply(*target.receiver);
        if (target.receiver->CommandsSent() == before && target.*counter > 0) {
            --(target.*counter);
        }
    }
}

void DriverManager::DrvUpdated(std::int32_t drvCount)
{
    Fire([=](IReceiverDriverEvents& s) { return s.DrvUpdated(drvCount); });
}

void DriverManager::RxConnState(std::int16_t index, ConnErr err)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxConnState(index, err); });
}

void DriverManager::RxDataError(std::int16_t index, DataErr err)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxDataError(index, err); });
}

void DriverManager::RxFrqUpdated(std::int16_t index, std::int32_t frq, std::int32_t dsp)
{
    ForwardChange(index, &ReceiverInstance::frqEcho, [frq](Receiver& rx) { rx.SetFrq(frq, NONE, 1); });
    Fire([=](IReceiverDriverEvents& s) { return s.RxFrqUpdated(index, frq, dsp); });
}

void DriverManager::RxChnUpdated(std::int16_t index, std::int16_t chn)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxChnUpdated(index, chn); });
}

void DriverManager::RxModUpdated(std::int16_t index, MODTYPE mod, std::int32_t bfo)
{
    ForwardChange(index, &ReceiverInstance::modEcho, [mod](Receiver& rx) { rx.SetMod(mod); });
    Fire([=](IReceiverDriverEvents& s) { return s.RxModUpdated(index, mod, bfo); });
}

void DriverManager::RxFltUpdated(std::int16_t index, std::int32_t flt)
{
    ForwardChange(index, &ReceiverInstance::fltEcho, [flt](Receiver& rx) { rx.SetFltBW(flt); });
    Fire([=](IReceiverDriverEvents& s) { return s.RxFltUpdated(index, flt); });
}

void DriverManager::RxAgcUpdated(std::int16_t index, AGCTYPE agc, std::int16_t agcLevel)
{
    ForwardChange(index, &ReceiverInstance::agcEcho, [agc](Receiver& rx) { rx.SetAgc(agc); });
    Fire([=](IReceiverDriverEvents& s) { return s.RxAgcUpdated(index, agc, agcLevel); });
}

void DriverManager::RxNBlUpdated(std::int16_t index, NBLTYPE nbl, std::int16_t nblLevel)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxNBlUpdated(index, nbl, nblLevel); });
}

void DriverManager::RxSqlUpdated(std::int16_t index, SQLSTATE sql, std::int16_t sqlLevel)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxSqlUpdated(index, sql, sqlLevel); });
}

void DriverManager::RxAttUpdated(std::int16_t index, ATTSTATE att, std::int16_t attLevel)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxAttUpdated(index, att, attLevel); });
}

void DriverManager::RxSMtUpdated(std::int16_t index, std::int32_t frq, std::int16_t locale, std::int16_t dbuv,
                                 const std::string& sPoint)
{
    const std::string text = toClientText(sPoint);
    Fire([&](IReceiverDriverEvents& s) { return s.RxSMtUpdated(index, frq, locale, dbuv, text); });
}

void DriverManager::RxHFFUpdated(std::int16_t index, HFFSTATE state)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxHFFUpdated(index, state); });
}

void DriverManager::RxChnStatus(std::int16_t index, std::int16_t chn, std::int32_t frq, std::int32_t bfo,
                                std::int32_t mod, std::int32_t flt, std::int32_t agc, std::int32_t msk)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxChnStatus(index, chn, frq, bfo, mod, flt, agc, msk); });
}

void DriverManager::RxOutUpdated(std::int16_t index, std::int16_t num, std::int32_t sts)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxOutUpdated(index, num, sts); });
}

void DriverManager::RxStpUpdated(std::int16_t index, std::int32_t stp)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxStpUpdated(index, stp); });
}

void DriverManager::RxRmtState(std::int16_t index, std::int32_t sts)
{
    Fire([=](IReceiverDriverEvents& s) { return s.RxRmtState(index, sts); });
}

}  // namespace quorvin
